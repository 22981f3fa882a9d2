#!/bin/sh
# The GPU check runs here too, on llvmpipe at a small size, so that it still
# works on the day a GPU is at hand: its report names the renderer, times
# the six scenes and their passes, and compares six stills, which on one
# renderer are the same.
#
#   tests/gpu_check_test.sh SCRIPT BUILD_DIR
set -u
script=$1
build=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT INT TERM
fail() {
  echo "FAILED: $*"
  exit 1
}

"$script" --build "$build" --size 160x90 --still-size 96x54 --frames 5 --report "$work/report.txt" \
  > "$work/log" 2>&1 || fail "the check: $(cat "$work/log")"
report=$work/report.txt
grep -q "^Start to first presented frame: .*offscreen frame 160x90, scene scale 1.0, llvmpipe" "$report" ||
  fail "no renderer line: $(cat "$report")"
for scene in hall whirligig ball_scene flyby tunnel ribbon; do
  [ "$(grep -c "^$scene " "$report")" -eq 3 ] || fail "$scene is not in all three tables"
done
[ "$(grep -c '^row [0-9]*: 99$' "$report")" -eq 6 ] || fail "six stills, the same on one renderer: $(grep '^row' "$report")"
tail -n 1 "$report" | grep -q "gpu-check: done" || fail "the report does not end as done"

# A build folder's name is a path, never a command: with a cmake that fails
# at once, the check fails, and nothing in the name runs.
mkdir "$work/bin"
printf '#!/bin/sh\nexit 1\n' > "$work/bin/cmake"
chmod +x "$work/bin/cmake"
PATH=$work/bin:$PATH "$script" --build "$work/x'; touch $work/PWNED; exit 0; '" --frames 1 \
  --report "$work/injected.txt" > "$work/log" 2>&1
[ $? -eq 1 ] || fail "a build that cannot be made fails the check: $(cat "$work/log")"
[ ! -e "$work/PWNED" ] || fail "the build folder's name ran as a command"

# The report replaces a regular file only: a link and a device are left alone.
echo kept > "$work/target"
ln -s "$work/target" "$work/link"
for report in "$work/link" /dev/null; do
  "$script" --report "$report" > "$work/log" 2>&1
  [ $? -eq 2 ] || fail "--report $report is refused as a usage error: $(cat "$work/log")"
done
[ "$(cat "$work/target")" = kept ] && [ -L "$work/link" ] || fail "the link or its target changed"

"$script" --size 1920 > "$work/log" 2>&1
[ $? -eq 2 ] && [ "$(wc -l < "$work/log")" -eq 1 ] || fail "a bad size is a one-line usage error: $(cat "$work/log")"
echo "gpu-check: passed"
