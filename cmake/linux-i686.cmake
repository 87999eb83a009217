# Linux on 32-bit x86 (i386 in Debian's terms). The processor must be named:
# it is what turns on SSE2 arithmetic instead of the x87's wider registers.
set(QUORVAST_TRIPLE i686-linux-gnu)
set(CMAKE_SYSTEM_PROCESSOR i686)
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross.cmake)
