# Linux on 32-bit ARM with hardware floating point (armhf, ARMv7): 32-bit
# Raspberry Pi OS on a Raspberry Pi 2 and later.
set(QUORVAST_TRIPLE arm-linux-gnueabihf)
set(CMAKE_SYSTEM_PROCESSOR armv7l)
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross.cmake)
