#!/usr/bin/env bash
# Builds sactab and runs every test:
#   1. the optimised build's unit and end-to-end tests, with g++ and clang,
#      and a check that the release program is static;
#   2. a short libFuzzer run (FUZZ_SECONDS, default 60);
#   3. the end-to-end tests against the cross builds under qemu: s390x
#      (big-endian), aarch64 and armhf (32-bit);
#   4. the end-to-end tests and the output fault sweep against the portable
#      output path (posix preset);
#   5. the whole suite under AddressSanitizer + UndefinedBehaviorSanitizer.
# It installs what it needs from Debian's packages (GoogleTest, clang,
# strace, the cross compilers, qemu-user) when missing and this runs as root.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)
fuzz_seconds=${FUZZ_SECONDS:-60}

have_or_install() { # file-or-command package...
  local wanted=$1
  shift
  command -v "$wanted" >/dev/null || [ -e "$wanted" ] && return 0
  if [ "$(id -u)" -ne 0 ]; then
    echo "missing $wanted (Debian packages: $*); run as root to install them" >&2
    return 1
  fi
  apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "$@" >/dev/null
}

e2e_against() { # preset emulator... -> the end-to-end tests against that build
  local preset=$1
  shift
  SACTAB_BINARY="$PWD/build/$preset/src/sactab" SACTAB_EMULATOR="${1:-}" SACTAB_BIG_ENDIAN_HOST="${2:-0}" \
    build/release/tests/e2e_tests --gtest_brief=1
}

have_or_install /usr/include/gtest/gtest.h libgtest-dev
have_or_install strace strace

echo "== release build and tests =="
cmake --preset release
cmake --build --preset release -j "$jobs"
ctest --preset release -j "$jobs"
# Batches of short files depend on a quick start: no dynamic loader.
if readelf -lW build/release/src/sactab | grep -q INTERP; then
  echo "the release sactab is dynamically linked" >&2
  exit 1
fi

have_or_install clang++ clang libclang-rt-14-dev

echo "== the same tests built with clang =="
cmake --preset clang
cmake --build --preset clang -j "$jobs"
ctest --preset clang -j "$jobs"

echo "== fuzzing for ${fuzz_seconds} s =="
cmake --preset fuzz
cmake --build --preset fuzz -j "$jobs"
corpus=build/fuzz/corpus
mkdir -p "$corpus"
build/fuzz/tests/make_fuzz_seeds "$corpus"
if ! build/fuzz/tests/fuzz_sactab -max_total_time="$fuzz_seconds" -max_len=8192 -print_final_stats=1 \
  -artifact_prefix=build/fuzz/ "$corpus" > build/fuzz/fuzz.log 2>&1; then
  tail -n 60 build/fuzz/fuzz.log
  echo "the fuzzer found a fault; its input is saved under build/fuzz/" >&2
  exit 1
fi
grep -E '^(Done|stat::number_of_executed_units|stat::peak_rss_mb)' build/fuzz/fuzz.log

have_or_install qemu-s390x qemu-user
for target in "s390x s390x-linux-gnu-g++ g++-s390x-linux-gnu qemu-s390x 1" \
              "aarch64 aarch64-linux-gnu-g++ g++-aarch64-linux-gnu qemu-aarch64 0" \
              "armhf arm-linux-gnueabihf-g++ g++-arm-linux-gnueabihf qemu-arm 0"; do
  read -r preset compiler package emulator bigEndian <<< "$target"
  echo "== end-to-end tests on $preset under $emulator =="
  have_or_install "$compiler" "$package"
  cmake --preset "$preset"
  cmake --build --preset "$preset" -j "$jobs" --target sactab
  e2e_against "$preset" "$emulator" "$bigEndian"
done

echo "== end-to-end tests and fault sweep on the portable output path =="
cmake --preset posix
cmake --build --preset posix -j "$jobs" --target sactab
e2e_against posix
tests/fault_sweep.sh build/posix/src/sactab | tail -n 3

echo "== the same tests under ASan + UBSan =="
cmake --preset asan
cmake --build --preset asan -j "$jobs"
ctest --preset asan -j "$jobs"
