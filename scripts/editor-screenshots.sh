#!/bin/bash
# The editor page's pictures, taken from the live player as a maker walks
# through it on Orvanta's own demo: the timeline at 960x540 with the split
# at 0.3 (the tune's loudness in the ruler, a loop, twelve lanes), the
# inspector with a fader pass recorded while the music played, and the
# panel at 1280x720 and 960x540. Each runs the player in an X server of its
# own on a copy of the demo's tracks text; the pictures go to docs/ (or the
# folder given).
#
#     scripts/editor-screenshots.sh [FOLDER]      # after make build
set -euo pipefail

if [[ "${1:-}" == "--help" ]]; then
    sed -n '2,10p' "$0" | sed 's/^# \{0,1\}//'
    exit 0
fi
if (($# > 1)); then
    echo "usage: scripts/editor-screenshots.sh [FOLDER]" >&2
    exit 2
fi
here=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$here/docs}
live=$here/build/bin/orvanta-live
for tool in Xvfb xdotool ffmpeg; do
    command -v "$tool" >/dev/null || { echo "editor-screenshots: $tool is needed" >&2; exit 1; }
done
[ -x "$live" ] || { echo "editor-screenshots: $live is missing: make build first" >&2; exit 1; }
mkdir -p "$out"

work=$(mktemp -d)
server=
player=
partial=
finish() {
    [ -n "$partial" ] && rm -f "$partial"
    [ -n "$player" ] && kill "$player" 2>/dev/null && wait "$player" 2>/dev/null || true
    [ -n "$server" ] && kill "$server" 2>/dev/null && wait "$server" 2>/dev/null || true
    rm -rf "$work"
}
trap finish EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# Starts the player in a WxH X server of its own, commands on a FIFO.
start() {
    local size=$1
    finish_player
    exec 4>&- 2>/dev/null || true
    [ -n "$server" ] && kill "$server" 2>/dev/null && wait "$server" 2>/dev/null || true
    Xvfb -displayfd 5 -screen 0 "${size}x24" -noreset 5>"$work/display" >/dev/null 2>&1 &
    server=$!
    for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.1; done
    export DISPLAY=:$(cat "$work/display")
    cp "$here/data/tracks/demo.tracks" "$work/demo.tracks"
    rm -f "$work/commands"
    mkfifo "$work/commands"
    XDG_STATE_HOME=$work/state SDL_AUDIODRIVER=none "$live" --window "$size" --data "$here/data" \
        --data "$here/build/run" --tracks "$work/demo.tracks" <"$work/commands" >"$work/log" 2>&1 &
    player=$!
    exec 4>"$work/commands"
    for _ in $(seq 300); do grep -q "tracks" "$work/log" 2>/dev/null && break; sleep 0.1; done
}

finish_player() {
    if [ -n "$player" ]; then
        kill "$player" 2>/dev/null || true
        wait "$player" 2>/dev/null || true
        player=
    fi
}

say() {
    printf '%s\n' "$@" >&4
    sleep "${WAIT:-3}"
}

# A picture of the screen, written whole beside its place and renamed over
# it.
shot() {
    local size=$1 file=$2
    partial=$(mktemp --suffix=.jpg "$out/.$file.XXXXXX")
    ffmpeg -loglevel error -y -f x11grab -video_size "$size" -i "$DISPLAY" -frames:v 1 -q:v 3 "$partial"
    chmod "$(printf '%04o' $((0666 & ~$(umask))))" "$partial"
    mv -f "$partial" "$out/$file"
    partial=
    echo "editor-screenshots: $out/$file"
}

window() {
    xdotool search --name orvanta-live | head -1
}

# The timeline: the split at 0.3, the gain tracks at the drop, a loop
# over the bars before it, the selection of its first beat's keys.
start 960x540
say "pause" "split 0.3" "filter gain" "goto 25:0:0" "loop 23:0:0 25:0:0" "goto 24:0:0" "select gain.* 384 387"
shot 960x540 timeline-960.jpg

# The inspector, and a fader pass on gain.r: held over the slider from
# its left end to its right while the music plays two bars.
say "deselect" "loop off" "copy gain.r 0 0" "inspector on" "goto 40:0:0" "play"
w=$(window)
xdotool mousemove --window "$w" --sync 700 471 mousedown 1
for x in $(seq 700 8 940); do xdotool mousemove --window "$w" "$x" 471 sleep 0.12; done
xdotool mouseup 1
sleep 1
# The view from the pass's first row: its keys and its curve left of the
# inspector, the row where it began.
range=$(sed -n 's/.*recorded gain.r at [0-9]* rows, \([0-9]*\) to \([0-9]*\).*/\1/p' "$work/log" | tail -1)
[ -n "$range" ] || { echo "editor-screenshots: no fader pass was recorded" >&2; exit 1; }
say "pause" "goto 0"
say "goto $((range + 31))"
say "select gain.r $range $((range + 64))" "goto $range"
shot 960x540 fader-pass-960.jpg

# The panel at 1280x720: two keys of the drop selected, their curves.
start 1280x720
say "pause" "panel on" "goto 24:0:0" "select close_blur 380 384"
shot 1280x720 live-panel.jpg

# At 960x540, the cam and dir groups folded.
start 960x540
say "pause" "panel on" "goto 10:0:0" "fold cam" "fold dir"
shot 960x540 live-panel-960.jpg
