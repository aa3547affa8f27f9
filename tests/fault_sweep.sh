#!/usr/bin/env bash
# Makes each system call of the output path fail in turn, at each of its
# occurrences in a run (strace -e inject), and checks what must hold then:
# the run exits 0 with the exact table, or exits 1 with one line, leaving the
# earlier table (or its absence) byte for byte, the input unchanged and no
# other file in the folder.
#   tests/fault_sweep.sh SACTAB [FOLDER]
set -uo pipefail
sactab=$1
top=${2:-$(mktemp -d)}
calls="openat write fchmod fchown linkat rename close unlink"
failures=0
runs=0
nameless_open=none

errors_for() { # call -> the errors worth injecting into it
  case $1 in
    openat) echo "EACCES EOPNOTSUPP" ;;
    write) echo "ENOSPC EIO" ;;
    close) echo "EIO EDQUOT" ;;
    rename) echo "EIO EXDEV" ;;
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
  echo "FAIL [$scenario] $call:$error:when=$n: $*"
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
    case $call in
      close | rename) [[ $said == "Cannot Write Output File $input.asc: "* ]] || fail "message: $said" ;;
    esac
  else
    fail "exit status $status: $said"
  fi
  [ "$(entries)" = "$expected_entries" ] || fail "folder holds: $(ls -A "$folder" | tr '\n' ' ')"
}

must_succeed() { # a refused fchown, or a file system without nameless files
  [ "$call" = fchown ] || { [ "$call" = openat ] && [ "$error" = EOPNOTSUPP ] && [ "$n" = "$nameless_open" ]; }
}

sweep() { # scenario folder input earlier(yes/no)
  scenario=$1 folder=$2 input=$3 earlier=$4
  write_input "$input"
  cp "$input" "$keep/input"
  rm -f "$input.asc"
  "$sactab" "$input" || { echo "clean run failed"; exit 1; }
  cp "$input.asc" "$keep/reference"
  printf 'an earlier table\n' > "$keep/earlier"
  local clean_trace=$keep/trace
  for call in $calls; do
    setup
    strace -f -qq -o "$clean_trace" -e trace="$call" "$sactab" "$input" >/dev/null
    local count
    count=$(grep -cE "(^|[ ])$call\(" "$clean_trace")
    # Which openat asks for a nameless file, where the build uses them.
    [ "$call" != openat ] || nameless_open=$(grep -E "(^|[ ])openat\(" "$clean_trace" | grep -n O_TMPFILE | cut -d: -f1)
    rm -f "$clean_trace"
    for error in $(errors_for "$call"); do
      for n in $(seq "$count"); do
        setup
        local said status
        said=$(strace -f -qq -o /dev/null -e trace="$call" -e inject="$call:error=$error:when=$n" "$sactab" "$input")
        status=$?
        runs=$((runs + 1))
        check_run "$status" "$said"
        if must_succeed && [ "$status" -ne 0 ]; then fail "should have converted: $said"; fi
      done
    done
  done
  rm -f "$input" "$input.asc"
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
mkdir -p "$top/replace" "$top/new" "$keep"
sweep "replacing a table" "$top/replace" "$top/replace/x.sac" yes
sweep "a new table" "$top/new" "$top/new/x.sac" no
# A file in / has its table in /, not in an empty folder name.
if [ -w / ]; then
  sweep "an input in /" / "/.sactab-sweep-$$.sac" yes
fi
rm -rf "$top"
echo "$runs injected runs, $failures failed"
echo "$((runs - failures)) passed, $failures failed"
[ "$failures" -eq 0 ]
