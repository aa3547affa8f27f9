# Cross build for 64-bit Windows with MinGW-w64 (posix threads), run under
# wine. Static (SACTAB_STATIC is on for cross builds), so the program imports no MinGW runtime DLL: only Windows'
# own KERNEL32.dll and msvcrt.dll.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_CROSSCOMPILING_EMULATOR wine)
set(CMAKE_STRIP x86_64-w64-mingw32-strip)
