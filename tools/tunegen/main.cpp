// tunegen: renders a score (data/music/*.score) to an Ogg Vorbis file.
//
//   tunegen SCORE -o OUT.ogg [--quality Q]
//
// Bad input is reported as file:line: message, with exit status 1 and no
// output file; the output appears only once it is completely written.
#include "cleanup.h"
#include "files.h"
#include "master.h"
#include "platform/audio/decode.h"
#include "score.h"
#include "synth.h"
#include "usage.h"
#include "vorbis_writer.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {

const char* const usageText =
    "usage: tunegen SCORE -o OUT.ogg [--quality Q]\n"
    "Renders a score (a song of at most 60 minutes) to Ogg Vorbis, 44.1 kHz stereo.\n"
    "  SCORE          the score to render, at most 8 MiB; errors name its file and line\n"
    "  -o OUT.ogg     the file to write, not the score; it appears only once it is whole\n"
    "  --quality Q    Vorbis quality, -0.1 to 1 (default 0.5)\n"
    "  --help         this text\n";

int usage(const std::string& message)
{
    return usageError("tunegen", message, usageText);
}

double secondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

} // namespace

int main(int argc, char** argv)
{
    std::string scorePath, outPath;
    double quality = 0.5;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::fputs(usageText, stdout);
            return 0;
        }
        if ((arg == "-o" || arg == "--quality") && i + 1 < argc) {
            if (arg == "-o") {
                outPath = argv[++i];
            } else {
                char* end = nullptr;
                quality = std::strtod(argv[++i], &end);
                if (*end != '\0' || !(quality >= -0.1 && quality <= 1.0)) return usage("quality runs from -0.1 to 1");
            }
        } else if (!arg.empty() && arg[0] != '-' && scorePath.empty()) {
            scorePath = arg;
        } else {
            return usage("unexpected argument '" + arg + "'");
        }
    }
    if (scorePath.empty() || outPath.empty()) return usage("a score and -o OUT.ogg are needed");
    if (!inputWrittenBy(outPath, {scorePath}).empty()) return usage(outPath + " is the score " + scorePath);

    std::string text, message;
    if (!readWholeFile(scorePath, text, message, textFileLimit)) {
        std::fprintf(stderr, "%s\n", message.c_str());
        return 1;
    }
    Song song;
    ScoreError error;
    if (!parseScore(text, scorePath, song, error)) {
        std::fprintf(stderr, "%s\n", error.describe().c_str());
        return 1;
    }

    const auto start = std::chrono::steady_clock::now();
    const Mixdown mix = renderVoices(song);
    const double voiceTime = secondsSince(start);
    int attempts = 0;

    // Encoding moves peaks: the song's ceiling holds for the decoded file.
    // Master a little under it, check what decodes, and master again lower
    // when a peak came out above it.
    endOnSignals();
    const std::string temporary = outPath + ".tmp-" + std::to_string(getpid());
    const int held = holdTemporary(temporary);
    const Premaster prepared = premaster(song, mix);
    double margin = 1.4;
    double filePeakDb = 0;
    double loudness = 0;
    size_t frames = 0;
    for (int attempt = 0;; ++attempt) {
        attempts = attempt + 1;
        const std::vector<float> mastered = limit(song, prepared, song.ceiling - margin);
        frames = mastered.size() / 2;
        const bool written = writeOggVorbis(temporary, sampleRate, 2, frames,
                                            [&](uint64_t frame, uint32_t channel) {
                                                return mastered[2 * frame + channel];
                                            },
                                            static_cast<float>(quality));
        DecodedAudio decoded;
        if (!written || !decodeOggVorbis(temporary, decoded)) {
            std::remove(temporary.c_str());
            std::fprintf(stderr, "tunegen: cannot write %s\n", outPath.c_str());
            return 1;
        }
        std::vector<float> check(decoded.samples.size());
        for (size_t i = 0; i < check.size(); ++i) check[i] = decoded.samples[i] / 32768.0f;
        filePeakDb = 20.0 * std::log10(std::max(truePeak(check), 1e-9));
        loudness = integratedLoudness(check);
        if (filePeakDb <= song.ceiling || attempt == 4) break;
        margin += filePeakDb - song.ceiling + 0.25;
    }
    if (std::rename(temporary.c_str(), outPath.c_str()) != 0) {
        std::remove(temporary.c_str());
        std::fprintf(stderr, "tunegen: cannot write %s\n", outPath.c_str());
        return 1;
    }
    releaseTemporary(held);
    std::printf("%s: %.2f s, %.1f LUFS, true peak %.2f dBTP; voices %.1f s, master and encode %.1f s (%d %s)\n",
                outPath.c_str(), frames / static_cast<double>(sampleRate), loudness, filePeakDb, voiceTime,
                secondsSince(start) - voiceTime, attempts, attempts == 1 ? "pass" : "passes");
    return 0;
}
