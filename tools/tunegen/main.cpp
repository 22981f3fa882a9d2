// tunegen: renders a score (data/music/*.score) to an Ogg Vorbis file.
//
//   tunegen SCORE -o OUT.ogg [--quality Q] [--progress]
//   tunegen SCORE -o OUT.pcm --section A:B [--levels TUNE.ogg]
//
// Bad input is reported as file:line: message, with exit status 1 and no
// output file; the output appears only once it is completely written. The
// file's comment records the levels it was mastered at, so that a section
// of a later version of the score (the live player's quick render) can be
// mastered as the whole tune was, and which score it is the render of
// (tune_source.h), so that a tool finding it beside a score knows whether it
// is that score's.
#include "cleanup.h"
#include "files.h"
#include "master.h"
#include "score.h"
#include "synth.h"
#include "tune_render.h"
#include "usage.h"

#include <algorithm>
#include <chrono>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {

const char* const usageText =
    "Usage: tunegen SCORE -o OUT.ogg [--quality Q] [--progress]\n"
    "  or:  tunegen SCORE -o OUT.pcm --section A:B [--levels TUNE.ogg]\n"
    "Renders a score (a song of at most 60 minutes) to Ogg Vorbis, 44.1 kHz stereo.\n"
    "  SCORE          the score to render, at most 8 MiB; errors name its file and line\n"
    "  -o OUT         the file to write, not an input; it appears only once it is whole\n"
    "  --quality Q    Vorbis quality, -0.1 to 1 (default 0.5)\n"
    "  --progress     prints \"progress N%\" lines as the render goes\n"
    "  --section A:B  renders rows A to B alone (B past the last row: to the end of the\n"
    "                 tail) as raw 16-bit little-endian stereo PCM from the first sample\n"
    "                 of row A, the voices and effects run in from a bar before it\n"
    "  --levels TUNE  masters the section at the levels recorded in TUNE.ogg (a file of\n"
    "                 this tunegen), so that it sounds as it would in the whole tune;\n"
    "                 without them, at the song's target loudness over the section\n"
    "  --help         this text\n";

int usage(const std::string& message)
{
    return usageError("tunegen", message, usageText);
}

double secondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

struct Options {
    std::string score, out, levels;
    double quality = 0.5;
    bool progress = false;
    bool section = false;
    int from = 0, to = 0;
};

void report(const Options& options, double fraction)
{
    if (!options.progress) return;
    std::printf("progress %d%%\n", static_cast<int>(fraction * 100.0));
    std::fflush(stdout);
}

// A row of --section: digits alone, within what an int holds.
bool parseRow(const std::string& text, int& row)
{
    if (text.empty() || text.size() > 10 || text.find_first_not_of("0123456789") != std::string::npos) return false;
    const long long value = std::stoll(text);
    if (value > INT_MAX) return false;
    row = static_cast<int>(value);
    return true;
}

bool parseSection(const std::string& text, int& from, int& to)
{
    const size_t colon = text.find(':');
    return colon != std::string::npos && parseRow(text.substr(0, colon), from) &&
           parseRow(text.substr(colon + 1), to) && from < to;
}

int renderSection(const Options& options, const Song& song)
{
    MasterLevels levels;
    bool held = false;
    std::string error, note;
    if (!options.levels.empty() && !recordedLevels(options.levels, levels, held, error, note)) {
        std::fprintf(stderr, "tunegen: %s\n", error.c_str());
        return 1;
    }
    if (!note.empty()) std::fprintf(stderr, "tunegen: %s; the section is mastered at the score's target loudness\n", note.c_str());
    const std::vector<int16_t> samples = renderSection(song, options.from, options.to, held ? &levels : nullptr,
                                                       [&](double done) { report(options, done); });
    std::string bytes;
    bytes.reserve(samples.size() * 2);
    for (const int16_t sample : samples) {
        const auto value = static_cast<uint16_t>(sample);
        bytes.push_back(static_cast<char>(value & 0xff));
        bytes.push_back(static_cast<char>(value >> 8));
    }
    if (!writeFileAtomically(options.out, bytes, error)) {
        std::fprintf(stderr, "tunegen: %s\n", error.c_str());
        return 1;
    }
    report(options, 1.0);
    std::printf("%s: rows %d to %d, %.2f s, %s\n", options.out.c_str(), options.from, options.to,
                static_cast<double>(samples.size() / 2) / sampleRate,
                held ? "mastered at the tune's levels" : "mastered at the target loudness");
    return 0;
}

int renderTune(const Options& options, const Song& song, const std::string& scoreText)
{
    const auto start = std::chrono::steady_clock::now();
    TemporaryFile temporary;
    std::string error;
    if (!createTemporary(options.out, "", temporary, error)) {
        std::fprintf(stderr, "tunegen: %s\n", error.c_str());
        return 1;
    }
    TuneReport tune;
    if (!writeTune(song, scoreText, options.quality, temporary.fd, temporary.path, tune,
                   [&](double done) { if (done < 1.0) report(options, done); })) {
        discardTemporary(temporary);
        std::fprintf(stderr, "tunegen: cannot write %s\n", options.out.c_str());
        return 1;
    }
    if (!commitTemporary(temporary, options.out, error)) {
        std::fprintf(stderr, "tunegen: %s\n", error.c_str());
        return 1;
    }
    report(options, 1.0);
    std::printf("%s: %.2f s, %.1f LUFS, true peak %.2f dBTP; voices %.1f s, master and encode %.1f s (%d %s)\n",
                options.out.c_str(), tune.frames / static_cast<double>(sampleRate), tune.loudness, tune.peakDb,
                tune.voiceSeconds, secondsSince(start) - tune.voiceSeconds, tune.attempts,
                tune.attempts == 1 ? "pass" : "passes");
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::fputs(usageText, stdout);
            return 0;
        }
        if (arg == "--progress") {
            options.progress = true;
        } else if ((arg == "-o" || arg == "--quality" || arg == "--section" || arg == "--levels") && i + 1 < argc) {
            const std::string value = argv[++i];
            if (arg == "-o") {
                options.out = value;
            } else if (arg == "--levels") {
                options.levels = value;
            } else if (arg == "--section") {
                if (!parseSection(value, options.from, options.to)) return usage("--section is A:B, rows from 0 to 2147483647 with A < B");
                options.section = true;
            } else {
                char* end = nullptr;
                options.quality = std::strtod(value.c_str(), &end);
                if (*end != '\0' || !(options.quality >= -0.1 && options.quality <= 1.0)) {
                    return usage("quality runs from -0.1 to 1");
                }
            }
        } else if (!arg.empty() && arg[0] != '-' && options.score.empty()) {
            options.score = arg;
        } else {
            return usage("unexpected argument '" + arg + "'");
        }
    }
    if (options.score.empty() || options.out.empty()) return usage("a score and -o OUT are needed");
    if (!options.levels.empty() && !options.section) return usage("--levels goes with --section");
    const std::string overwritten = inputWrittenBy(options.out, {options.score, options.levels});
    if (!overwritten.empty()) return usage(options.out + " is the input " + overwritten);

    std::string text, message;
    if (!readWholeFile(options.score, text, message, textFileLimit)) {
        std::fprintf(stderr, "%s\n", message.c_str());
        return 1;
    }
    Song song;
    ScoreError error;
    if (!parseScore(text, options.score, song, error)) {
        std::fprintf(stderr, "%s\n", error.describe().c_str());
        return 1;
    }
    endOnSignals();
    return options.section ? renderSection(options, song) : renderTune(options, song, text);
}
