# Linux on 64-bit ARM (arm64): 64-bit Raspberry Pi OS, Raspberry Pi 3 and later.
set(QUORVAST_TRIPLE aarch64-linux-gnu)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross.cmake)
