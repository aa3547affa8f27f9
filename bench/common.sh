# Helpers shared by the benchmark scripts: sourced, not run.

# Builds the bench preset (the release program with the benchmark tools).
build_bench() {
  cmake --preset bench >/dev/null
  cmake --build --preset bench -j "$(nproc)" >/dev/null
}

seconds() { # command... -> wall seconds of one run
  local start end
  sync # the previous run's dirty pages are not this run's to write back
  start=$(date +%s%N)
  "$@" >/dev/null
  end=$(date +%s%N)
  echo "$(( end - start ))" | awk '{ printf "%.4f\n", $1 / 1e9 }'
}

median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

# Runs each command (a string, for eval) RUNS times, interleaved so that
# they share the machine's moods alike; prints their medians on one line.
interleaved_medians() { # runs command...
  local runs=$1 folder i command
  shift
  folder=$(mktemp -d)
  for _ in $(seq "$runs"); do
    i=0
    for command in "$@"; do
      seconds eval "$command" >> "$folder/$i"
      i=$((i + 1))
    done
  done
  for i in $(seq 0 $(($# - 1))); do median < "$folder/$i"; done | paste -sd ' '
  rm -rf "$folder"
}
