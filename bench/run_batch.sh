#!/usr/bin/env bash
# The batch job: many short recordings, one process each, through xargs on
# every core. sactab against the straightforward build and against a static
# program that does nothing (the cost of starting processes alone).
#   bench/run_batch.sh [FILES] [SAMPLES] [RUNS] [FOLDER]
# Defaults: 2000 files of 3000 samples, medians of 7 interleaved runs, files
# under build/bench/batch.
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/common.sh
files=${1:-2000}
samples=${2:-3000}
runs=${3:-7}
data=${4:-build/bench/batch}/$files-$samples

build_bench
bin=build/bench
if [ ! -f "$data/done" ]; then
  rm -rf "$data" && mkdir -p "$data"
  "$bin/bench/make_bench_file" "$data/template" "$samples"
  for i in $(seq "$files"); do cp "$data/template" "$data/event$i.sac"; done
  rm "$data/template" && touch "$data/done"
fi

batch() { # program -> converts every file, one process each
  find "$data" -name '*.sac' -print0 | xargs -0 -P"$(nproc)" -n1 "$1"
}
"$bin/bench/straightforward" "$data/event1.sac" && mv "$data/event1.sac.asc" "$data/plain.asc"
"$bin/src/sactab" "$data/event1.sac"
cmp -s "$data/event1.sac.asc" "$data/plain.asc" || { echo "tables differ" >&2; exit 1; }

read -r p f n < <(interleaved_medians "$runs" "batch $bin/bench/straightforward" "batch $bin/src/sactab" \
  "batch $bin/bench/do_nothing")
echo "batch of $files files of $samples samples, xargs -P$(nproc) -n1; medians of $runs runs"
echo "  straightforward $p s, sactab $f s, static do-nothing $n s"
awk -v p="$p" -v f="$f" -v n="$n" 'BEGIN { printf "  sactab takes %.2fx the straightforward time and %.2fx the do-nothing time\n", f / p, f / n }'
