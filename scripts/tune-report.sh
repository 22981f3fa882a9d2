#!/usr/bin/env bash
# Measures an encoded tune as a mastering engineer would and prints the
# music page's tables in Markdown: loudness (ffmpeg's ebur128), band levels and
# L/R correlation (astats on filtered copies), section by section.
#
#   scripts/tune-report.sh [build/run/tune.ogg]
#
# The sections are the score's: 122 BPM, 4 rows a beat, cuts at rows 128,
# 384, 640, 768 and 1024. Needs ffmpeg and awk.
set -euo pipefail

if [[ "${1:-}" == "--help" ]]; then
    sed -n '2,9p' "$0" | sed 's/^# \{0,1\}//'
    exit 0
fi
if (($# > 1)); then
    echo "usage: scripts/tune-report.sh [TUNE.ogg]" >&2
    exit 2
fi
tune=${1:-build/run/tune.ogg}
if [[ ! -r "$tune" ]]; then
    echo "tune-report: cannot read $tune" >&2
    exit 1
fi

rows_per_second=$(awk 'BEGIN { printf "%.10f", 122 * 4 / 60 }')
seconds() { awk -v r="$1" -v rate="$rows_per_second" 'BEGIN { printf "%.4f", r / rate }'; }

names=(intro build drop breakdown climax outro)
starts=(0 128 384 640 768 1024)
ends=(128 384 640 768 1024 1152)

# 4th-order Butterworth band edges, as two 2nd-order stages.
above() { echo "highpass=f=$1,highpass=f=$1"; }
below() { echo "lowpass=f=$1,lowpass=f=$1"; }

# Overall RMS level in dB of [from, to) seconds through a filter chain.
rms() {
    local chain=${3:+$3,}
    ffmpeg -hide_banner -nostats -i "$tune" -af "atrim=$1:$2,${chain}astats=measure_perchannel=none:measure_overall=RMS_level" \
        -f null - 2>&1 | awk '/RMS level dB/ { value = $NF } END { print value }'
}

# Per-channel RMS levels in dB, one a line.
channel_rms() {
    local chain=${3:+$3,}
    ffmpeg -hide_banner -nostats -i "$tune" -af "atrim=$1:$2,${chain}astats=measure_perchannel=RMS_level:measure_overall=none" \
        -f null - 2>&1 | awk '/RMS level dB/ { print $NF }'
}

# Integrated loudness (LUFS) of [from, to) seconds through a filter chain.
loudness() {
    local chain=${3:+$3,}
    ffmpeg -hide_banner -nostats -i "$tune" -af "atrim=$1:$2,${chain}ebur128" -f null - 2>&1 |
        awk '/^ *I:/ { value = $2 } END { print value }'
}

# L/R correlation, sum(LR) / sqrt(sum(L^2) sum(R^2)), from the RMS levels of
# L, R, mid (L+R)/2 and side (L-R)/2: LR = mid^2 - side^2.
correlation() {
    local lr ms
    lr=$(channel_rms "$1" "$2" "" | tr '\n' ' ')
    ms=$(channel_rms "$1" "$2" "pan=stereo|c0=0.5*c0+0.5*c1|c1=0.5*c0-0.5*c1" | tr '\n' ' ')
    awk -v lr="$lr" -v ms="$ms" 'BEGIN {
        split(lr, a, " "); split(ms, b, " ")
        l = 10 ^ (a[1] / 10); r = 10 ^ (a[2] / 10); m = 10 ^ (b[1] / 10); s = 10 ^ (b[2] / 10)
        printf "%.2f", (m - s) / sqrt(l * r)
    }'
}

summary=$(ffmpeg -hide_banner -nostats -i "$tune" -af ebur128=peak=true -f null - 2>&1)
integrated=$(awk '/^ *I:/ { v = $2 } END { print v }' <<<"$summary")
range=$(awk '/^ *LRA:/ { v = $2 } END { print v }' <<<"$summary")
peak=$(awk '/^ *Peak:/ { v = $2 } END { print v }' <<<"$summary")
length=$(ffprobe -v error -show_entries format=duration -of csv=p=0 "$tune")

printf '| whole tune | |\n|---|---|\n'
# How far the last notes and effects have died away: the peak of the file's
# last second.
tail_peak=$(ffmpeg -hide_banner -nostats -i "$tune" \
    -af "atrim=$(awk -v l="$length" 'BEGIN { printf "%.3f", l - 1 }'),astats=measure_perchannel=none:measure_overall=Peak_level" \
    -f null - 2>&1 | awk '/Peak level dB/ { v = $NF } END { printf "%.1f", v }')

printf '| length | %.1f s |\n| integrated loudness | %s LUFS |\n| loudness range (LRA) | %s LU |\n| true peak | %s dBTP |\n' \
    "$length" "$integrated" "$range" "$peak"
printf '| peak of the last second | %s dBFS |\n\n' "$tail_peak"

printf '| section | rows | loudness | above 200 Hz | L/R correlation |\n|---|---|---|---|---|\n'
for i in "${!names[@]}"; do
    from=$(seconds "${starts[$i]}")
    to=$(seconds "${ends[$i]}")
    printf '| %s | %s-%s | %s LUFS | %s LUFS | %s |\n' "${names[$i]}" "${starts[$i]}" "$((ends[i] - 1))" \
        "$(loudness "$from" "$to" "")" "$(loudness "$from" "$to" "$(above 200)")" "$(correlation "$from" "$to")"
done
echo

printf '| band, dB against the full band | < 60 Hz | 60-250 Hz | 250 Hz-1 kHz | 1-4 kHz | 250 Hz-4 kHz | > 8 kHz |\n'
printf '|---|---|---|---|---|---|---|\n'
for i in 1 2 4; do
    from=$(seconds "${starts[$i]}")
    to=$(seconds "${ends[$i]}")
    full=$(rms "$from" "$to" "")
    row="| ${names[$i]} |"
    for chain in "$(below 60)" "$(above 60),$(below 250)" "$(above 250),$(below 1000)" "$(above 1000),$(below 4000)" \
        "$(above 250),$(below 4000)" "$(above 8000)"; do
        row+=$(awk -v b="$(rms "$from" "$to" "$chain")" -v f="$full" 'BEGIN { printf " %.1f |", b - f }')
    done
    echo "$row"
done
echo

# Short-term loudness (3 s windows) just before and 3 s after each cut
# into a big section, from one pass of ebur128's log of every 100 ms.
framelog=$(ffmpeg -hide_banner -nostats -loglevel verbose -i "$tune" -af ebur128=framelog=verbose -f null - 2>&1 |
    awk '/ebur128/ && / t: / { for (i = 1; i <= NF; ++i) { if ($i == "t:") t = $(i + 1); if ($i == "S:") s = $(i + 1) }
                             print t, s }')
shortterm() {
    awk -v t="$1" '$1 + 0.05 >= t { print $2; exit }' <<<"$framelog"
}
printf '| cut | row | short-term before | short-term after | rise |\n|---|---|---|---|---|\n'
for cut in "build to drop:384" "breakdown to climax:768"; do
    name=${cut%:*}
    row=${cut#*:}
    at=$(seconds "$row")
    before=$(shortterm "$at")
    after=$(shortterm "$(awk -v a="$at" 'BEGIN { printf "%.4f", a + 3 }')")
    printf '| %s | %s | %s LUFS | %s LUFS | %s LU |\n' "$name" "$row" "$before" "$after" \
        "$(awk -v a="$after" -v b="$before" 'BEGIN { printf "%+.1f", a - b }')"
done
