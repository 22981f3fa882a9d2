#!/usr/bin/env bash
# The compo capture's speed in one process against the same frames split
# into parts across the cores with GNU parallel, in one run, on this machine.
#
#   bench/capture_split.sh [--size WxH] [--to-row R] [--parts N] [--build DIR]
#
# Defaults: 960x540, rows 0 to 130 (16 s, 960 frames at 60 fps), as many
# parts as cores, each drawn by llvmpipe with cores / parts threads
# (LP_NUM_THREADS); the single process draws with all of them. Each part
# draws its own run-up second, which a short capture feels and the whole
# demo (141 s) does not.
set -euo pipefail

usage="usage: bench/capture_split.sh [--size WxH] [--to-row R] [--parts N] [--build DIR]"
size=960x540 to_row=130 parts=$(nproc) build=build
while [ $# -gt 0 ]; do
  case $1 in
    --help|-h) echo "$usage"; exit 0 ;;
    --size|--to-row|--parts|--build)
      [ $# -ge 2 ] || { echo "capture_split: $1 needs a value" >&2; exit 2; }
      case $1 in --size) size=$2 ;; --to-row) to_row=$2 ;; --parts) parts=$2 ;; --build) build=$2 ;; esac
      shift 2 ;;
    *) echo "capture_split: unknown argument '$1'; $usage" >&2; exit 2 ;;
  esac
done
[[ $parts =~ ^[1-9][0-9]*$ ]] || { echo "capture_split: --parts is a whole number from 1" >&2; exit 2; }
capture=$(realpath "$build/bin/orvanta-capture")
data=$(realpath "$build/run")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
cores=$(nproc)
threads=$(( cores / parts > 0 ? cores / parts : 1 ))
options=(--preset compo --size "$size" --to-row "$to_row" --data "$data")

start=$(date +%s.%N)
"$capture" "${options[@]}" --out "$work/single.mp4" 2> "$work/single.log"
single=$(awk -v a="$start" -v b="$(date +%s.%N)" 'BEGIN { print b - a }')
frames=$(ffprobe -v error -count_packets -select_streams v:0 -show_entries stream=nb_read_packets \
  -of default=nw=1:nk=1 "$work/single.mp4")

start=$(date +%s.%N)
LP_NUM_THREADS=$threads parallel --will-cite --halt now,fail=1 \
  "$capture" --part "{}/$parts" "${options[@]}" --out "$work/split.mp4" ::: $(seq 1 "$parts") 2> "$work/split.log"
rendered=$(awk -v a="$start" -v b="$(date +%s.%N)" 'BEGIN { print b - a }')
"$capture" --join "$work"/split.part*of"$parts".mp4 --out "$work/joined.mp4" --data "$data" 2> "$work/join.log"
split=$(awk -v a="$start" -v b="$(date +%s.%N)" 'BEGIN { print b - a }')

printf 'compo preset at %s, %s frames, %s cores (%s)\n' "$size" "$frames" "$cores" \
  "$(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //')"
line() { awk -v what="$1" -v s="$2" -v f="$frames" -v one="$single" \
  'BEGIN { printf "%-44s %8.1f s  %6.2f fps  x%.2f\n", what, s, f / s, one / s }'; }
line "one process, llvmpipe on all cores" "$single"
line "$parts parts with parallel, LP_NUM_THREADS=$threads" "$rendered"
line "the same, joined" "$split"
