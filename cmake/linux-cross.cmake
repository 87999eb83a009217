# The toolchain of every Linux cross build: QUORVAST_PLATFORM names a row
# of platforms.conf (the cache variable, or the environment variable the
# linux-cross preset passes), whose triple names Debian's cross compiler.
if(NOT QUORVAST_PLATFORM)
  set(QUORVAST_PLATFORM "$ENV{QUORVAST_PLATFORM}" CACHE STRING "The row of platforms.conf to build for")
endif()
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES QUORVAST_PLATFORM)
include(${CMAKE_CURRENT_LIST_DIR}/platforms.cmake)
quorvast_platform("${QUORVAST_PLATFORM}" QUORVAST_PLATFORM)
if(QUORVAST_PLATFORM_TRIPLE STREQUAL "-")
  message(FATAL_ERROR "platform '${QUORVAST_PLATFORM}' is the native build: make release")
endif()
set(CMAKE_SYSTEM_NAME Linux)
# The first uname: what turns on SSE2 arithmetic on i686 (CMakeLists.txt).
list(GET QUORVAST_PLATFORM_UNAME 0 CMAKE_SYSTEM_PROCESSOR)
set(CMAKE_CXX_COMPILER ${QUORVAST_PLATFORM_TRIPLE}-g++)

set(CMAKE_FIND_ROOT_PATH /usr/${QUORVAST_PLATFORM_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
