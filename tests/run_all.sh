#!/usr/bin/env bash
# Builds sactab and runs every test:
#   1. the optimised build's unit and end-to-end tests, with g++ and clang;
#   2. a short libFuzzer run (FUZZ_SECONDS, default 60);
#   3. the end-to-end tests against an s390x (big-endian) build under qemu;
#   4. the whole suite under AddressSanitizer + UndefinedBehaviorSanitizer.
# It installs clang, the s390x cross compiler and qemu-user from
# Debian's packages when they are missing and this runs as root.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)
fuzz_seconds=${FUZZ_SECONDS:-60}

have_or_install() { # command package...
  local command=$1
  shift
  command -v "$command" >/dev/null && return 0
  if [ "$(id -u)" -ne 0 ]; then
    echo "missing $command (Debian packages: $*); run as root to install them" >&2
    return 1
  fi
  apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "$@" >/dev/null
}

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

echo "== end-to-end tests on a big-endian host (s390x under qemu) =="
have_or_install s390x-linux-gnu-g++ g++-s390x-linux-gnu
have_or_install qemu-s390x qemu-user
cmake --preset s390x
cmake --build --preset s390x -j "$jobs" --target sactab
SACTAB_BINARY="$PWD/build/s390x/src/sactab" SACTAB_EMULATOR=qemu-s390x SACTAB_BIG_ENDIAN_HOST=1 \
  build/release/tests/e2e_tests --gtest_brief=1

echo "== the same tests under ASan + UBSan =="
cmake --preset asan
cmake --build --preset asan -j "$jobs"
ctest --preset asan -j "$jobs"
