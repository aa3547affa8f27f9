#!/usr/bin/env bash
# Makes each system call of the output path fail in turn, at each of its
# occurrences in a run (strace -e inject), and checks what must hold then:
# the run exits 0 with the exact table, or exits 1 with one line that names
# the injected error, leaving the earlier table (or its absence) byte for
# byte, the input unchanged and no other file in the folder. Its files live in a new folder under PARENT (by
# default TMPDIR), removed again whatever happens.
#   tests/fault_sweep.sh SACTAB [PARENT]
set -uo pipefail
sactab=$(realpath "$1")
top=$(mktemp -d "${2:-${TMPDIR:-/tmp}}/fault-sweep.XXXXXX") || exit 1
trap 'rm -rf "$top"' EXIT
calls="openat write fchmod fchown linkat renameat close unlinkat"
failures=0
runs=0
nameless_open=none

errors_for() { # call -> the errors worth injecting into it
  case $1 in
    openat) echo "EACCES EOPNOTSUPP" ;;
    write) echo "ENOSPC EIO" ;;
    close) echo "EIO EDQUOT" ;;
    renameat) echo "EIO EXDEV" ;;
    *) echo "EPERM EIO" ;;
  esac
}

# A little-endian SAC file: DELTA 0.5, B 0, 20000 zero samples (two blocks).
write_input() {
  {
    printf '\x00\x00\x00\x3f'
    head -c 312 /dev/zero
    printf '\x20\x4e\x00\x00'
    head -c $((312 + 4 * 20000)) /dev/zero
  } > "$1"
}

fail() {
  echo "FAIL [$scenario] $call:$error:when=$((offset + n)): $*"
  failures=$((failures + 1))
}

check_run() { # status said -> checks the folder against the clean state
  local status=$1 said=$2
  if ! cmp -s "$input" "$keep/input"; then fail "input changed"; fi
  if [ "$status" -eq 0 ]; then
    [ -z "$said" ] || fail "printed on success: $said"
    cmp -s "$input.asc" "$keep/reference" || fail "table differs from the clean run's"
    if [ "$earlier" = yes ] && [ "$(stat -c %a "$input.asc")" != 640 ]; then fail "mode not kept"; fi
  elif [ "$status" -eq 1 ]; then
    [ "$(printf '%s\n' "$said" | wc -l)" -eq 1 ] || fail "not one line: $said"
    if [ "$earlier" = yes ]; then
      cmp -s "$input.asc" "$keep/earlier" || fail "earlier table changed"
    elif [ -e "$input.asc" ]; then
      fail "a table was left after a failure"
    fi
    local reason
    reason=$(perl -MPOSIX -e 'print strerror(&{"POSIX::$ARGV[0]"})' "$error")
    case $call:$said in
      openat:"Empty SAC File Found. " | openat:"Cannot Create Output File $as_run.asc: $reason. Exiting...") ;;
      *:"Cannot Write Output File $as_run.asc: $reason. Exiting...") ;;
      *) fail "message: $said" ;;
    esac
  else
    fail "exit status $status: $said"
  fi
  [ "$(entries)" = "$expected_entries" ] || fail "folder holds: $(ls -A "$folder" | tr '\n' ' ')"
}

must_succeed() { # a refused fchown, or a file system without nameless files
  [ "$call" = fchown ] || { [ "$call" = openat ] && [ "$error" = EOPNOTSUPP ] && [ "$n" = "$nameless_open" ]; }
}

# The calls of the program itself: those after the last execve, for a
# program started through another (chroot). Prints the number made before
# it, the number it makes, and which of them asks for a nameless file.
count_calls() { # trace call
  awk -v call="$2" '
    $2 ~ "^execve\\(" { before += after; after = 0; nameless = ""; next }
    $2 ~ "^" call "\\(" { after++; if (/O_TMPFILE/) nameless = after }
    END { print before + 0, after + 0, (nameless == "" ? "none" : nameless) }' "$1"
}

sweep() { # scenario folder input earlier(yes/no) input-as-the-program-sees-it command...
  scenario=$1 folder=$2 input=$3 earlier=$4 as_run=$5
  shift 5
  local run=("$@") first_run=$runs
  write_input "$input"
  cp "$input" "$keep/input"
  rm -f "$input.asc"
  "${run[@]}" "$as_run" || { echo "clean run failed: $scenario"; failures=$((failures + 1)); return; }
  cp "$input.asc" "$keep/reference"
  printf 'an earlier table\n' > "$keep/earlier"
  local clean_trace=$keep/trace count
  for call in $calls; do
    setup
    strace -f -qq -o "$clean_trace" -e trace="$call,execve" "${run[@]}" "$as_run" >/dev/null
    read -r offset count nameless_open < <(count_calls "$clean_trace" "$call")
    rm -f "$clean_trace"
    for error in $(errors_for "$call"); do
      for n in $(seq "$count"); do
        setup
        local said status
        said=$(strace -f -qq -o /dev/null -e trace="$call" -e inject="$call:error=$error:when=$((offset + n))" "${run[@]}" "$as_run")
        status=$?
        runs=$((runs + 1))
        check_run "$status" "$said"
        if must_succeed && [ "$status" -ne 0 ]; then fail "should have converted: $said"; fi
      done
    done
  done
  rm -f "$input" "$input.asc"
  echo "$scenario: $((runs - first_run)) injected runs"
}

entries() { # the folder's entries but the table, which is checked on its own
  ls -A "$folder" | grep -vxF "$(basename "$input").asc" | tr '\n' ' '
}

setup() { # the earlier table, if any, in place again; what the folder must hold
  rm -f "$input.asc"
  if [ "$earlier" = yes ]; then
    cp "$keep/earlier" "$input.asc"
    chmod 640 "$input.asc"
  fi
  expected_entries=$(entries)
}

keep=$top/keep # the clean copies, outside the folders swept
mkdir -p "$top/replace" "$top/new" "$top/root" "$keep"
sweep "replacing a table" "$top/replace" "$top/replace/x.sac" yes "$top/replace/x.sac" "$sactab"
sweep "a new table" "$top/new" "$top/new/x.sac" no "$top/new/x.sac" "$sactab"
# A file in / has its table in /, not in an empty folder name: a folder of
# our own made / by chroot, for a static program run as root.
cp "$sactab" "$top/root/sactab"
if [ "$(id -u)" -eq 0 ] && chroot "$top/root" /sactab --version >/dev/null 2>&1; then
  sweep "an input in /" "$top/root" "$top/root/x.sac" yes /x.sac chroot "$top/root" /sactab
else
  echo "skipped: an input in / (needs root and a static program)"
fi
echo "$runs injected runs, $failures failed"
echo "$((runs - failures)) passed, $failures failed"
[ "$failures" -eq 0 ]
