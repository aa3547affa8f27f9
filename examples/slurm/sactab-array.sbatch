#!/bin/bash
#SBATCH --job-name=sactab
#SBATCH --cpus-per-task=1
#SBATCH --output=sactab-%A_%a.out
# Converts the SAC files listed in LIST, one path per line (spaces allowed),
# with sactab -m, as the tasks of a Slurm job array:
#
#   sbatch --array=0-N sactab-array.sbatch [-p] LIST
#
# Line i of LIST goes to task i mod the number of tasks, so any array size
# works, with a step or a limit (--array=0-N, 0-N:S, 0-N%K); an array that
# is no such range (--array=1,5,10) is refused by every task before
# anything is converted. Each task runs up to --cpus-per-task sactab
# processes at once, each on a group of files, every file in the byte order
# its header says. Every file that fails prints one line "PATH: MESSAGE" in
# the task's output, and its path is added to sactab-failed-JOB_TASK.list in
# the folder sbatch ran in; a task with any failure exits 1, so sbatch
# --wait, sacct and the array's state show it. sactab comes from the PATH,
# or from $SACTAB. -p (precise tables) is passed on to every run. A second
# argument after LIST (the byte order of earlier versions) is accepted and
# has no effect.
#
# Make the list:     find /archive -iname '*.sac' ! -name '._*' > list.txt
# Size the array:    by the file system, which sets the pace, not by the
#                    CPUs (figures in docs/DEVELOPING.md)
# Resubmit failures: cat sactab-failed-JOB_*.list > retry.txt
#                    sbatch --array=0-3 sactab-array.sbatch retry.txt
set -uo pipefail
usage="usage: sbatch --array=0-N sactab-array.sbatch [-p] LIST"
export SACTAB_PRECISE=
if [ "${1:-}" = -p ] || [ "${1:-}" = --precise ]; then
  SACTAB_PRECISE=-p
  shift
fi
list=${1:?$usage}
export SACTAB=${SACTAB:-sactab}
export SACTAB_FAILED="${SLURM_SUBMIT_DIR:-.}/sactab-failed-${SLURM_ARRAY_JOB_ID:-${SLURM_JOB_ID:-0}}_${SLURM_ARRAY_TASK_ID:-0}.list"

# This task's place among the array's tasks, from Slurm's own count and
# step; outside an array, the one task.
min=${SLURM_ARRAY_TASK_MIN:-0} max=${SLURM_ARRAY_TASK_MAX:-0} step=${SLURM_ARRAY_TASK_STEP:-1}
tasks=${SLURM_ARRAY_TASK_COUNT:-$(((max - min) / step + 1))}
if [ $(((max - min) % step)) -ne 0 ] || [ $(((max - min) / step + 1)) -ne "$tasks" ]; then
  echo "sactab-array.sbatch: the array's $tasks tasks from $min to $max are no range; submit it as --array=0-N, 0-N:S or 0-N%K"
  exit 1
fi
task=$(((${SLURM_ARRAY_TASK_ID:-0} - min) / step))

# This task's share of the lines, separated by NUL for xargs, in groups of
# 64 files a process. A group with a failure runs its files once more one
# by one, so each failure is known by its path, whatever its name holds.
awk -v tasks="$tasks" -v task="$task" 'length($0) > 0 && (NR - 1) % tasks == task { printf "%s%c", $0, 0 }' "$list" |
  xargs -0 -r -n 64 -P "${SLURM_CPUS_PER_TASK:-1}" sh -c '
    "$SACTAB" -m $SACTAB_PRECISE -- "$@" > /dev/null && exit 0
    status=0
    for file; do
      said=$("$SACTAB" -m $SACTAB_PRECISE -- "$file") && continue
      echo "$file: $said"
      printf "%s\n" "$file" >> "$SACTAB_FAILED"
      status=1
    done
    exit $status' sh || exit 1
