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
#include "platform/audio/decode.h"
#include "score.h"
#include "synth.h"
#include "tune_source.h"
#include "usage.h"
#include "vorbis_writer.h"

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

const char* const levelsTag = "ORVANTA_MASTER=";

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

// The levels tunegen recorded in an earlier tune. Failure: false with a
// message when the file cannot be read; true without levels (`found` false)
// when it holds none.
bool recordedLevels(const std::string& path, MasterLevels& levels, bool& found, std::string& error)
{
    std::vector<std::string> comments;
    if (!readOggComments(path, comments)) {
        error = path + ": not an Ogg Vorbis file that can be read";
        return false;
    }
    found = false;
    bool refused = false;
    for (const std::string& line : comments) {
        if (line.rfind(levelsTag, 0) != 0) continue;
        found = parseLevels(line.substr(std::string(levelsTag).size()), levels);
        refused = !found;
    }
    if (refused) {
        std::fprintf(stderr, "tunegen: %s: its levels are not ones tunegen masters at; the section is mastered at "
                             "the score's target loudness\n", path.c_str());
    }
    return true;
}

int renderSection(const Options& options, const Song& song)
{
    MasterLevels levels;
    bool held = false;
    std::string error;
    if (!options.levels.empty() && !recordedLevels(options.levels, levels, held, error)) {
        std::fprintf(stderr, "tunegen: %s\n", error.c_str());
        return 1;
    }
    const int64_t end = options.to >= song.rows ? songSamples(song) : rowSample(song, options.to);
    const int64_t from = std::min(rowSample(song, options.from), end);
    const int64_t start = std::max<int64_t>(0, from - rowSample(song, song.rowsPerBar()));
    const Mixdown mix = renderVoices(song, start, end, [&](double done) { report(options, 0.9 * done); });
    const Premaster prepared = premaster(song, mix, held ? &levels : nullptr);
    const std::vector<float> mastered = held ? limitAt(prepared, levels) : limit(song, prepared, song.ceiling - 1.4);
    std::string bytes;
    bytes.reserve(static_cast<size_t>(end - from) * 4);
    for (size_t i = 2 * static_cast<size_t>(from - start); i < mastered.size(); ++i) {
        const long value = std::lround(std::clamp(mastered[i] * 32768.0f, -32768.0f, 32767.0f));
        bytes.push_back(static_cast<char>(value & 0xff));
        bytes.push_back(static_cast<char>((value >> 8) & 0xff));
    }
    if (!writeFileAtomically(options.out, bytes, error)) {
        std::fprintf(stderr, "tunegen: %s\n", error.c_str());
        return 1;
    }
    report(options, 1.0);
    std::printf("%s: rows %d to %d, %.2f s, %s\n", options.out.c_str(), options.from, options.to,
                static_cast<double>(end - from) / sampleRate,
                held ? "mastered at the tune's levels" : "mastered at the target loudness");
    return 0;
}

int renderTune(const Options& options, const Song& song, const std::string& scoreText)
{
    const auto start = std::chrono::steady_clock::now();
    const Mixdown mix = renderVoices(song, 0, songSamples(song), [&](double done) { report(options, 0.7 * done); });
    const double voiceTime = secondsSince(start);
    int attempts = 0;

    // Encoding moves peaks: the song's ceiling holds for the decoded file.
    // Master a little under it, check what decodes, and master again lower
    // when a peak came out above it.
    TemporaryFile temporary;
    std::string error;
    if (!createTemporary(options.out, "", temporary, error)) {
        std::fprintf(stderr, "tunegen: %s\n", error.c_str());
        return 1;
    }
    const Premaster prepared = premaster(song, mix);
    report(options, 0.75);
    double margin = 1.4;
    double filePeakDb = 0;
    double loudness = 0;
    size_t frames = 0;
    std::vector<std::string> comments = tuneSourceComments(scoreText);
    for (int attempt = 0;; ++attempt) {
        attempts = attempt + 1;
        MasterLevels levels;
        const std::vector<float> mastered = limit(song, prepared, song.ceiling - margin, &levels);
        comments.resize(2);
        comments.push_back(std::string(levelsTag) + describeLevels(levels));
        report(options, 0.8);
        frames = mastered.size() / 2;
        // Each attempt writes the file again from its start, through a
        // descriptor of its own that the writer closes.
        const int fd = ftruncate(temporary.fd, 0) == 0 && lseek(temporary.fd, 0, SEEK_SET) == 0 ? dup(temporary.fd) : -1;
        std::FILE* file = fd >= 0 ? fdopen(fd, "wb") : nullptr;
        if (!file && fd >= 0) close(fd);
        const bool written = file && writeOggVorbis(file, sampleRate, 2, frames,
                                            [&](uint64_t frame, uint32_t channel) {
                                                return mastered[2 * frame + channel];
                                            },
                                            static_cast<float>(options.quality), comments);
        DecodedAudio decoded;
        if (!written || !decodeOggVorbis(temporary.path, decoded)) {
            discardTemporary(temporary);
            std::fprintf(stderr, "tunegen: cannot write %s\n", options.out.c_str());
            return 1;
        }
        std::vector<float> check(decoded.samples.size());
        for (size_t i = 0; i < check.size(); ++i) check[i] = decoded.samples[i] / 32768.0f;
        filePeakDb = 20.0 * std::log10(std::max(truePeak(check), 1e-9));
        loudness = integratedLoudness(check);
        if (filePeakDb <= song.ceiling || attempt == 4) break;
        margin += filePeakDb - song.ceiling + 0.25;
    }
    if (!commitTemporary(temporary, options.out, error)) {
        std::fprintf(stderr, "tunegen: %s\n", error.c_str());
        return 1;
    }
    report(options, 1.0);
    std::printf("%s: %.2f s, %.1f LUFS, true peak %.2f dBTP; voices %.1f s, master and encode %.1f s (%d %s)\n",
                options.out.c_str(), frames / static_cast<double>(sampleRate), loudness, filePeakDb, voiceTime,
                secondsSince(start) - voiceTime, attempts, attempts == 1 ? "pass" : "passes");
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
