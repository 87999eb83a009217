# What every Linux cross build shares; each platform's toolchain file sets
# QUORVAST_TRIPLE (the GNU triple of Debian's cross compiler) and
# CMAKE_SYSTEM_PROCESSOR, then includes this file.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_CXX_COMPILER ${QUORVAST_TRIPLE}-g++)

set(CMAKE_FIND_ROOT_PATH /usr/${QUORVAST_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
