#!/usr/bin/env bash
# Builds the release archives, sactab-VERSION-Linux-ARCH.tar.gz, for x86_64,
# aarch64 and armhf (static programs, so each runs on any Linux of its
# kind), and the Debian package sactab_VERSION_ARCH.deb (dynamic, as Debian
# wants it), and sactab-VERSION-win64.zip (a static sactab.exe), into
# build/archives. Installs the cross compilers when missing and this runs as
# root.
#   packaging/release.sh
set -euo pipefail
cd "$(dirname "$0")/.."
umask 022 # cpack gives the packages' folders the builder's umask
for pair in "aarch64-linux-gnu-g++ g++-aarch64-linux-gnu" "arm-linux-gnueabihf-g++ g++-arm-linux-gnueabihf" \
  "x86_64-w64-mingw32-g++-posix g++-mingw-w64-x86-64-posix"; do
  set -- $pair
  command -v "$1" >/dev/null || { apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "$2" >/dev/null; }
done
mkdir -p build/archives
for preset in release aarch64 armhf; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$(nproc)" --target sactab
  (cd "build/$preset" && cpack -G TGZ -B "$PWD/../archives" >/dev/null)
done
cmake --preset deb >/dev/null
cmake --build --preset deb -j "$(nproc)"
(cd build/deb && cpack -G DEB -B "$PWD/../archives" >/dev/null)
cmake --preset windows >/dev/null
cmake --build --preset windows -j "$(nproc)"
(cd build/windows && cpack -G ZIP -B "$PWD/../archives" >/dev/null)
rm -rf build/archives/_CPack_Packages
ls -l build/archives/*.tar.gz build/archives/*.deb build/archives/*.zip
