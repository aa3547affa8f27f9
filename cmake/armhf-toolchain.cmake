# Cross build for 32-bit ARM with hardware floating point (Raspberry Pi OS
# 32-bit, Debian armhf), run under qemu-user. Static (SACTAB_STATIC is on for cross builds), so qemu needs no ARM
# system libraries. The processor is named as Debian names the port, which
# also names the release archive.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR armhf)
set(CMAKE_CXX_COMPILER arm-linux-gnueabihf-g++)
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-arm)
