#!/usr/bin/env bash
# The frame on a GPU, in one short run: builds what it needs, names the GL
# renderer, times every scene and each pass (timer queries, and by
# substitution) at 1920x1080 in the full-scale configuration, draws a still
# of each scene on the GPU and on Mesa's llvmpipe and compares them (PSNR),
# and writes everything to one report. Made for a machine with an NVIDIA GPU
# and no X server (EGL's device platform); on a machine without a GPU it
# runs the same steps on llvmpipe.
#
#   scripts/gpu-check.sh [--build DIR] [--size WxH] [--still-size WxH]
#                        [--frames N] [--report FILE]
#
# Defaults: --build build-gpu (configured and built when it has no
# frame_bench), --size 1920x1080, --still-size 640x360, --frames 40,
# --report gpu-check-report.txt. Each step has a time limit; the whole run
# stays under 8 minutes. Exit status: 0 with the report written, 1 when a
# step failed (the report says which), 2 on a usage error.
set -euo pipefail

usage="usage: scripts/gpu-check.sh [--build DIR] [--size WxH] [--still-size WxH] [--frames N] [--report FILE]"
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build-gpu
size=1920x1080
still_size=640x360
frames=40
report=gpu-check-report.txt
size_pattern='^[1-9][0-9]{1,3}x[1-9][0-9]{1,3}$'
while [ $# -gt 0 ]; do
  case $1 in
    --help) echo "$usage"; exit 0 ;;
    --build|--size|--still-size|--frames|--report)
      [ $# -ge 2 ] || { echo "gpu-check: $1 needs a value" >&2; exit 2; }
      case $1 in
        --build) build=$(realpath -m "$2") ;;
        --size) size=$2 ;;
        --still-size) still_size=$2 ;;
        --frames) frames=$2 ;;
        --report) report=$2 ;;
      esac
      shift 2 ;;
    *) echo "gpu-check: unknown argument $1 ($usage)" >&2; exit 2 ;;
  esac
done
[[ $size =~ $size_pattern ]] || { echo "gpu-check: --size is WxH, such as 1920x1080" >&2; exit 2; }
[[ $still_size =~ $size_pattern ]] || { echo "gpu-check: --still-size is WxH, such as 640x360" >&2; exit 2; }
[[ $frames =~ ^[1-9][0-9]{0,3}$ ]] || { echo "gpu-check: --frames is a number from 1 to 9999" >&2; exit 2; }
# The report replaces a regular file, never a link, a device or a folder.
if [ -L "$report" ] || { [ -e "$report" ] && [ ! -f "$report" ]; }; then
  echo "gpu-check: --report $report is not a regular file; it is left as it is" >&2
  exit 2
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/orvanta-gpu-check-XXXXXX")
# A signal ends the step under way (timeout passes it on) and the check.
child=
finish() { [ -n "$child" ] && kill -TERM "$child" 2> /dev/null; wait 2> /dev/null; rm -rf "$work"; }
trap 'rm -rf "$work"' EXIT
trap 'finish; trap - INT; kill -INT $$' INT
trap 'finish; trap - TERM; kill -TERM $$' TERM
log=$work/report.txt
say() { echo "$@" | tee -a "$log"; }
failed=0
# Runs a step under a time limit, its output into the report.
step() {
  local limit=$1 title=$2
  shift 2
  say ""
  say "== $title"
  # In the background, so that a signal is handled at once, not when the
  # step ends.
  timeout --kill-after=10 "$limit" "$@" > "$work/step.txt" 2>&1 &
  child=$!
  local status=0
  wait "$child" || status=$?
  child=
  if [ $status -ne 0 ]; then
    cat "$work/step.txt" >> "$log"
    say "FAILED: $title (see above; limit ${limit} s)"
    failed=1
    return 1
  fi
  cat "$work/step.txt" | tee -a "$log"
}

say "Orvanta GPU check, $(date -u '+%Y-%m-%d %H:%M UTC') on $(hostname)"
say "source $(git -C "$root" describe --always --dirty 2>/dev/null || echo unknown), build $build"
if command -v nvidia-smi > /dev/null; then
  say "$(nvidia-smi --query-gpu=name,driver_version,memory.total --format=csv,noheader 2>/dev/null || true)"
fi

if [ ! -x "$build/bin/frame_bench" ] || [ ! -x "$build/bin/orvanta-capture" ]; then
  # The paths go in as arguments, never pasted into the command's text.
  step 300 "build ($build)" bash -c '
    cmake -S "$1" -B "$2" -G Ninja -DCMAKE_BUILD_TYPE=Release > /dev/null &&
    cmake --build "$2" --target frame_bench orvanta-capture' build "$root" "$build" || true
fi
if [ $failed -eq 0 ]; then
  # EGL without X: the GPU's device where there is one, else Mesa's
  # surfaceless platform (llvmpipe). The first line names the renderer.
  step 150 "frame_bench --egl --size $size --frames $frames" \
    "$build/bin/frame_bench" --egl --size "$size" --frames "$frames" || true

  rows=64,256,512,704,896,1088
  run=$build/run
  mkdir -p "$work/gpu" "$work/llvmpipe"
  step 90 "stills at rows $rows, $still_size, on the GPU (EGL)" \
    "$build/bin/orvanta-capture" --gl egl --stills "$rows" --size "$still_size" --scene-scale 1 \
      --data "$run" --out "$work/gpu/" || true
  # Mesa alone, in software: glvnd is told to load Mesa's EGL only.
  mesa=$(ls /usr/share/glvnd/egl_vendor.d/*mesa*.json 2>/dev/null | head -n 1 || true)
  step 150 "the same stills on llvmpipe" env LIBGL_ALWAYS_SOFTWARE=1 ${mesa:+__EGL_VENDOR_LIBRARY_FILENAMES=$mesa} \
    "$build/bin/orvanta-capture" --gl egl --stills "$rows" --size "$still_size" --scene-scale 1 \
      --data "$run" --out "$work/llvmpipe/" || true

  say ""
  say "== PSNR of the GPU's stills against llvmpipe's (dB; 99 means identical)"
  for row in ${rows//,/ }; do
    gpu=$work/gpu/row_$row.png soft=$work/llvmpipe/row_$row.png
    if [ ! -f "$gpu" ] || [ ! -f "$soft" ]; then
      say "row $row: missing still"
      failed=1
      continue
    fi
    psnr=$(ffmpeg -hide_banner -nostdin -i "$gpu" -i "$soft" -lavfi "[0][1]psnr" -f null - 2>&1 |
           sed -n 's/.*average:\([0-9.inf]*\).*/\1/p' | tail -n 1)
    [ "$psnr" = inf ] && psnr=99
    say "row $row: ${psnr:-?}"
  done
fi

say ""
if [ $failed -eq 0 ]; then say "gpu-check: done"; else say "gpu-check: a step failed"; fi
mkdir -p "$(dirname "$report")"
# A new file beside the report, made by mktemp (never a name planted
# beforehand), renamed over it.
written=$(mktemp "$report.tmp-XXXXXX")
cp "$log" "$written" && chmod 0644 "$written" && mv -T "$written" "$report" || { rm -f "$written"; exit 1; }
echo "report: $report"
exit $failed
