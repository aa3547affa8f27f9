#!/usr/bin/env bash
# End-to-end figures: sactab against the straightforward build and against
# the time it takes merely to write as many bytes, plus peak memory.
#   bench/run_bench.sh [RUNS] [FOLDER]
# RUNS interleaved runs of each (default 7) give the medians. The files go to
# FOLDER (default build/bench/data), so every contender writes to one disk.
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-7}
data=${2:-build/bench/data}

cmake --preset bench >/dev/null
cmake --build --preset bench -j "$(nproc)" >/dev/null
bin=build/bench
mkdir -p "$data"
even=$data/even-5M.sac
uneven=$data/uneven-1M.sac
[ -f "$even" ] || "$bin/bench/make_bench_file" "$even" 5000000
[ -f "$uneven" ] || "$bin/bench/make_bench_file" "$uneven" 1000000 uneven

seconds() { # command... -> wall seconds of one run
  local start end
  sync # the previous run's dirty pages are not this run's to write back
  start=$(date +%s%N)
  "$@" >/dev/null
  end=$(date +%s%N)
  echo "$(( end - start ))" | awk '{ printf "%.4f\n", $1 / 1e9 }'
}
median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
peak_kib() { /usr/bin/time -f %M "$@" 2>&1 >/dev/null | tail -n 1; }

measure() { # label file -> prints the figures for one input
  local label=$1 file=$2 plain=() fast=() write=()
  "$bin/bench/straightforward" "$file" && mv "$file.asc" "$file.plain.asc"
  "$bin/src/sactab" "$file"
  cmp -s "$file.asc" "$file.plain.asc" || { echo "$label: tables differ" >&2; exit 1; }
  local bytes
  bytes=$(stat -c %s "$file.asc")
  for _ in $(seq "$runs"); do
    plain+=("$(seconds "$bin/bench/straightforward" "$file")")
    fast+=("$(seconds "$bin/src/sactab" "$file")")
    write+=("$(seconds sh -c "head -c $bytes /dev/zero > '$data/zeros'")")
  done
  local p f w
  p=$(printf '%s\n' "${plain[@]}" | median)
  f=$(printf '%s\n' "${fast[@]}" | median)
  w=$(printf '%s\n' "${write[@]}" | median)
  echo "$label: $bytes bytes of table; medians of $runs runs"
  echo "  straightforward $p s, sactab $f s, writing the bytes $w s"
  awk -v p="$p" -v f="$f" -v w="$w" 'BEGIN { printf "  sactab is %.1fx faster than straightforward, %.2fx the write time\n", p / f, f / w }'
  echo "  peak memory: sactab $(peak_kib "$bin/src/sactab" "$file") KiB, straightforward $(peak_kib "$bin/bench/straightforward" "$file") KiB"
  rm -f "$file.plain.asc" "$data/zeros"
}

measure "evenly spaced, 5,000,000 samples" "$even"
measure "unevenly spaced, 1,000,000 samples" "$uneven"
