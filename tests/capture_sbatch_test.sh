#!/bin/sh
# The Slurm recipe runs here as Slurm would run one task of its array: task
# 2 of 3 renders part 2/3 with --resume, so running it again keeps the part;
# outside an array it says so in one line and exits 2.
#
#   tests/capture_sbatch_test.sh SCRIPT CAPTURE RUN_DIR
set -u
script=$1
capture=$2
data=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT INT TERM
fail() {
  echo "FAILED: $*"
  exit 1
}

run() {
  ORVANTA_CAPTURE=$capture SLURM_ARRAY_TASK_ID=2 SLURM_ARRAY_TASK_COUNT=3 SLURM_CPUS_PER_TASK=1 \
    "$script" "$work/m.mp4" --size 64x36 --fps 10 --to-row 64 --data "$data" > "$work/log" 2>&1
}
run || fail "task 2 of 3: $(cat "$work/log")"
[ -f "$work/m.part2of3.mp4" ] || fail "no part 2 of 3: $(ls "$work")"
[ ! -e "$work/m.part1of3.mp4" ] || fail "task 2 rendered part 1 too"
grep -q "^part 2/3: frames 20-39 in $work/m.part2of3.mp4" "$work/log" || fail "no line for the part: $(cat "$work/log")"
run || fail "task 2 again: $(cat "$work/log")"
grep -q "complete: kept" "$work/log" || fail "a task run again renders its whole part again: $(cat "$work/log")"

env -u SLURM_ARRAY_TASK_ID "$script" "$work/m.mp4" > "$work/log" 2>&1
[ $? -eq 2 ] && [ "$(wc -l < "$work/log")" -eq 1 ] || fail "outside an array: one line, exit 2: $(cat "$work/log")"

# The video's name comes first; an --out among the options is refused, not
# left to win silently.
ORVANTA_CAPTURE=$capture SLURM_ARRAY_TASK_ID=1 SLURM_ARRAY_TASK_COUNT=3 \
  "$script" "$work/m.mp4" --out "$work/other.mp4" --data "$data" > "$work/log" 2>&1
[ $? -eq 2 ] && [ "$(wc -l < "$work/log")" -eq 1 ] || fail "--out in the options: one line, exit 2: $(cat "$work/log")"
[ ! -e "$work/other.part1of3.mp4" ] || fail "the second --out was rendered"
