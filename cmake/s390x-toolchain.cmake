# Cross build for s390x, a big-endian host, run under qemu-user. Static (SACTAB_STATIC is on for cross builds), so
# qemu needs no s390x system libraries.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR s390x)
set(CMAKE_CXX_COMPILER s390x-linux-gnu-g++)
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-s390x)
