# A compile-and-link check for macOS, with the macOS headers and libc++ that
# zig bundles (zig c++ -target aarch64-macos or x86_64-macos); there is no
# macOS here to run the program. SACTAB_MACOS_TARGET (in the environment)
# picks the target, ZIG the zig program (else zig from the PATH).
set(CMAKE_SYSTEM_NAME Darwin)
if("$ENV{SACTAB_MACOS_TARGET}" MATCHES "^x86_64")
  set(CMAKE_SYSTEM_PROCESSOR x86_64)
else()
  set(CMAKE_SYSTEM_PROCESSOR arm64)
endif()
set(CMAKE_CXX_COMPILER ${CMAKE_CURRENT_LIST_DIR}/zig-c++.sh)
set(CMAKE_OSX_SYSROOT "")
