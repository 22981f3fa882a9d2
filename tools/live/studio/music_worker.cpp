// live/studio/music_worker: tunegen in the studio page's Worker
// (web/studio/music_worker.js calls these). The same synthesizer and
// encoder calls as tunegen (tune_render.h), so that a score rendered in the
// page is the desktop's tune. One call at a time; the Worker runs them in
// order, and the page ends a render by ending the Worker.
//
//     music_read(text, name)      the score read: {"rows","rowsPerBar","rowRate",
//                                 "seconds"} or {"error","line"}
//     music_levels(path)          the levels a tune records: 1 found, 0 none,
//                                 -1 not a tune that reads
//     music_renders(path)         1 where the tune at `path` is the render of
//                                 the score read last, by this synthesizer
//     music_section(from, to, held)  rows [from, to) as 16-bit stereo at the
//                                 levels read last (held) or the target
//                                 loudness; music_samples / music_count /
//                                 music_first say where they are
//     music_tune(path, quality)   the whole tune into the file at `path`
//                                 (created here): {"frames","loudness",
//                                 "peak","attempts"}, or why not
//
// Progress goes to Module.musicProgress(fraction) about once a second of
// music.
#include "json_text.h"
#include "score.h"
#include "synth.h"
#include "tune_render.h"
#include "tune_source.h"

#include <emscripten.h>

#include <cstdio>
#include <fcntl.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

struct MusicWorker {
    Song song;
    std::string text;
    bool read = false;
    MasterLevels levels;
    bool held = false;
    std::vector<int16_t> samples;
    int64_t first = 0;
    std::string reply;
} worker;

EM_JS(void, tellProgress, (double fraction), {
    if (Module.musicProgress) Module.musicProgress(fraction);
});

void progress(double fraction)
{
    tellProgress(fraction);
}

} // namespace

extern "C" {

EMSCRIPTEN_KEEPALIVE const char* music_read(const char* text, const char* name)
{
    worker.read = false;
    worker.text = text;
    ScoreError error;
    Song song;
    if (!parseScore(worker.text, name, song, error)) {
        worker.reply = "{\"error\":" + jsonString(error.describe()) + ",\"line\":" + std::to_string(error.line) + "}";
        return worker.reply.c_str();
    }
    worker.song = std::move(song);
    worker.read = true;
    char facts[160];
    std::snprintf(facts, sizeof facts, "{\"rows\":%d,\"rowsPerBar\":%d,\"rowRate\":%.17g,\"seconds\":%.17g}",
                  worker.song.rows, worker.song.rowsPerBar(), worker.song.rowRate(),
                  static_cast<double>(songSamples(worker.song)) / sampleRate);
    worker.reply = facts;
    return worker.reply.c_str();
}

EMSCRIPTEN_KEEPALIVE int music_levels(const char* path)
{
    std::string error, note;
    worker.held = false;
    if (!recordedLevels(path, worker.levels, worker.held, error, note)) return -1;
    return worker.held ? 1 : 0;
}

EMSCRIPTEN_KEEPALIVE int music_renders(const char* path)
{
    return worker.read && tuneRendersScore(path, worker.text) ? 1 : 0;
}

EMSCRIPTEN_KEEPALIVE int music_section(int from, int to, int held)
{
    if (!worker.read || from < 0 || from >= to) return 0;
    worker.samples = renderSection(worker.song, from, to, held && worker.held ? &worker.levels : nullptr, progress);
    worker.first = rowSample(worker.song, from);
    return 1;
}

EMSCRIPTEN_KEEPALIVE const int16_t* music_samples()
{
    return worker.samples.data();
}

EMSCRIPTEN_KEEPALIVE double music_count()
{
    return static_cast<double>(worker.samples.size());
}

EMSCRIPTEN_KEEPALIVE double music_first()
{
    return static_cast<double>(worker.first);
}

EMSCRIPTEN_KEEPALIVE const char* music_tune(const char* path, double quality)
{
    worker.reply.clear();
    if (!worker.read) {
        worker.reply = "no score read";
        return worker.reply.c_str();
    }
    const int fd = open(path, O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) {
        worker.reply = std::string(path) + ": cannot be made";
        return worker.reply.c_str();
    }
    TuneReport report;
    const bool written = writeTune(worker.song, worker.text, quality, fd, path, report, progress);
    if (close(fd) != 0 || !written) {
        unlink(path);
        worker.reply = std::string(path) + ": the tune could not be written";
        return worker.reply.c_str();
    }
    char facts[200];
    std::snprintf(facts, sizeof facts, "{\"frames\":%llu,\"loudness\":%.2f,\"peak\":%.2f,\"attempts\":%d}",
                  static_cast<unsigned long long>(report.frames), report.loudness, report.peakDb, report.attempts);
    worker.reply = facts;
    return worker.reply.c_str();
}

} // extern "C"
