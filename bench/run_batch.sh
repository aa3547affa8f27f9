#!/usr/bin/env bash
# The batch job: many short recordings. sactab -m, a few processes of many
# files each through xargs on every core, as the README recommends, against
# an in-process floor (bench/floor.cpp: reads each file whole, writes as
# many bytes as its table to a temporary beside it, renames it; started the
# same way), against one sactab process per file, and against a static
# program that does nothing, started once per file (the cost of starting
# processes alone).
#   bench/run_batch.sh [FILES] [SAMPLES] [RUNS] [FOLDER]
# Defaults: 2000 files of 3000 samples, medians of 5 interleaved runs, files
# under build/bench/batch.
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/common.sh
files=${1:-2000}
samples=${2:-3000}
runs=${3:-5}
data=${4:-build/bench/batch}/$files-$samples

build_bench
bin=build/bench
if [ ! -f "$data/done" ]; then
  rm -rf "$data" && mkdir -p "$data"
  "$bin/bench/make_bench_file" "$data/template" "$samples"
  for i in $(seq "$files"); do cp "$data/template" "$data/event$i.sac"; done
  rm "$data/template" && touch "$data/done"
fi

"$bin/src/sactab" "$data/event1.sac" && mv "$data/event1.sac.asc" "$data/one.asc"
"$bin/src/sactab" -m "$data/event1.sac"
cmp -s "$data/event1.sac.asc" "$data/one.asc" || { echo "the tables of -m and of one file differ" >&2; exit 1; }
table_bytes=$(stat -c %s "$data/one.asc")

cores=$(nproc)
each() { # command... -> runs it with every file, in groups of 500, on every core
  find "$data" -name '*.sac' -print0 | xargs -0 -r -P"$cores" -n 500 "$@"
}
one_each() { # program -> runs it once per file, on every core
  find "$data" -name '*.sac' -print0 | xargs -0 -r -P"$cores" -n 1 "$1"
}
read -r m f o n < <(interleaved_medians "$runs" "each $bin/src/sactab -m --" "each $bin/bench/floor $table_bytes" \
  "one_each $bin/src/sactab" "one_each $bin/bench/do_nothing")
echo "batch of $files files of $samples samples on $cores cores; medians of $runs interleaved runs"
echo "  sactab -m (xargs -n 500): $m s; in-process floor: $f s"
echo "  one process per file (xargs -n 1): sactab $o s, a static do-nothing $n s"
awk -v m="$m" -v f="$f" -v o="$o" 'BEGIN { printf "  sactab -m takes %.2fx the floor and is %.1fx faster than one process per file\n", m / f, o / m }'
