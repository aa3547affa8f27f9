# Cross build for 64-bit ARM (servers, laptops, Raspberry Pi OS 64-bit), run
# under qemu-user. Static (SACTAB_STATIC is on for cross builds), so qemu needs no ARM system libraries.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-aarch64)
