// The studio's music as the page renders it (web/studio/src/music.js, with
// tunegen in a Worker): what the page needs to know of the demo's score and
// grid, the quick renders spliced into the playing music as the desktop's
// player splices them, and the tune's loudness under the panel's lanes.
#include "studio.h"
#include "json_text.h"

#include "demo/clock.h"

#include <emscripten.h>

#include <cstdio>

using studio::state;

extern "C" {

// The open demo's score (the manifest's `music` where it is a score, "" for
// none), its music as the manifest names it, its grid's rate, the row that
// plays, the show's sections and the loudness under the lanes (the loudest
// of each 16 rows), as JSON.
EMSCRIPTEN_KEEPALIVE const char* studio_music()
{
    static std::string result;
    const studio::Studio& s = state();
    const std::string& music = s.folder.manifest.music;
    const bool score = music.size() > 6 && music.compare(music.size() - 6, 6, ".score") == 0;
    char numbers[96];
    std::snprintf(numbers, sizeof numbers, ",\"rowRate\":%.17g,\"row\":%.17g,\"sections\":[", s.folder.description.rowRate,
                  s.row);
    result = "{\"score\":" + jsonString(s.started && score ? music : "") + ",\"music\":" +
             jsonString(s.started ? music : "") + numbers;
    bool first = true;
    for (const double row : s.started ? studio::sectionRows() : std::vector<double>{}) {
        std::snprintf(numbers, sizeof numbers, "%s%.17g", first ? "" : ",", row);
        result += numbers;
        first = false;
    }
    // The loudness under the lanes, the loudest quarter row of each bar.
    result += "],\"wave\":[";
    const double lastRow = s.loudness.empty() ? 0 : s.loudness.peaks.size() / double(Loudness::bucketsPerRow);
    for (double row = 0; row < lastRow; row += 16) {
        std::snprintf(numbers, sizeof numbers, "%s%.6g", row > 0 ? "," : "", s.loudness.peak(row, row + 16));
        result += numbers;
    }
    result += "]}";
    return result.c_str();
}

// `frames` frames of 16-bit stereo from sample frame `first` on, rendered
// again: into the music where it plays (crossing over where playback
// stands) and into the loudness under the lanes. 1 where they went in.
EMSCRIPTEN_KEEPALIVE int studio_splice(double first, const int16_t* samples, double frames)
{
    studio::Studio& s = state();
    if (!s.started || !samples || first < 0 || frames < 0) return 0;
    const auto from = static_cast<uint64_t>(first);
    const auto count = static_cast<uint64_t>(frames);
    if (!spliceMusic(from, samples, count)) return 0;
    if (!s.loudness.empty()) spliceLoudness(s.loudness, from, samples, count);
    return 1;
}

// The whole tune's samples (16-bit stereo at 44.1 kHz), for its loudness
// under the lanes; none clears it.
EMSCRIPTEN_KEEPALIVE void studio_loudness(const int16_t* samples, double frames)
{
    studio::Studio& s = state();
    if (!samples || frames <= 0 || s.folder.description.rowRate <= 0) {
        s.loudness = Loudness{};
        return;
    }
    s.loudness = loudnessOf(samples, static_cast<uint64_t>(frames), 2, 44100.0, s.folder.description.rowRate);
}

} // extern "C"
