# Linux on 32-bit ARM (armhf): 32-bit Raspberry Pi OS on every Raspberry Pi,
# the Pi 1 and Pi Zero (ARMv6) among them. Debian's armhf compiler emits
# ARMv7 instructions, which stop an ARMv6 processor at once ("Illegal
# instruction"); the armel compiler's code (ARMv5TE, soft-float calling
# convention) runs on ARMv6 and everything after it. The program is
# static, so its calling convention is its own business.
set(QUORVAST_TRIPLE arm-linux-gnueabi)
set(CMAKE_SYSTEM_PROCESSOR armv7l)
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross.cmake)
