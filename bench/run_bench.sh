#!/usr/bin/env bash
# End-to-end figures: sactab against the straightforward build and against
# the time dd takes to write as many bytes in 1 MiB blocks to the same
# folder (the disk's own limit), plus peak memory.
#   bench/run_bench.sh [RUNS] [FOLDER]
# RUNS interleaved runs of each (default 7) give the medians. The files go to
# FOLDER (default build/bench/data), so every contender writes to one disk.
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/common.sh
runs=${1:-7}
data=${2:-build/bench/data}

build_bench
bin=build/bench
mkdir -p "$data"
even=$data/even-5M.sac
uneven=$data/uneven-1M.sac
[ -f "$even" ] || "$bin/bench/make_bench_file" "$even" 5000000
[ -f "$uneven" ] || "$bin/bench/make_bench_file" "$uneven" 1000000 uneven

peak_kib() { /usr/bin/time -f %M "$@" 2>&1 >/dev/null | tail -n 1; }

measure() { # label file [-p] -> prints the figures for one input
  local label=$1 file=$2 option=${3:-}
  "$bin/bench/straightforward" $option "$file" && mv "$file.asc" "$file.plain.asc"
  "$bin/src/sactab" $option "$file"
  cmp -s "$file.asc" "$file.plain.asc" || { echo "$label: tables differ" >&2; exit 1; }
  local bytes
  bytes=$(stat -c %s "$file.asc")
  local p f w
  read -r p f w < <(interleaved_medians "$runs" "$bin/bench/straightforward $option $file" "$bin/src/sactab $option $file" \
    "dd if=/dev/zero of=$data/zeros bs=1M count=$bytes iflag=count_bytes status=none")
  echo "$label: $bytes bytes of table; medians of $runs runs"
  echo "  straightforward $p s, sactab $f s, writing the bytes $w s"
  awk -v p="$p" -v f="$f" -v w="$w" 'BEGIN { printf "  sactab is %.1fx faster than straightforward, %.2fx the write time\n", p / f, f / w }'
  echo "  peak memory: sactab $(peak_kib "$bin/src/sactab" $option "$file") KiB, straightforward $(peak_kib "$bin/bench/straightforward" $option "$file") KiB"
  rm -f "$file.plain.asc" "$data/zeros"
}

measure "evenly spaced, 5,000,000 samples" "$even"
measure "evenly spaced, 5,000,000 samples, -p" "$even" -p
measure "unevenly spaced, 1,000,000 samples" "$uneven"
measure "unevenly spaced, 1,000,000 samples, -p" "$uneven" -p
