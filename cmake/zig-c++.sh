#!/bin/sh
# zig as a C++ compiler for macOS-toolchain.cmake.
exec "${ZIG:-zig}" c++ -target "${SACTAB_MACOS_TARGET:-aarch64-macos}" "$@"
