#include "tune_render.h"

#include "loudness.h"
#include "synth.h"
#include "tune_source.h"
#include "vorbis_writer.h"

#include "platform/audio/decode.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <unistd.h>

const char* const masterLevelsTag = "ORVANTA_MASTER=";

namespace {

void report(const std::function<void(double)>& progress, double fraction)
{
    if (progress) progress(fraction);
}

} // namespace

bool recordedLevels(const std::string& path, MasterLevels& levels, bool& found, std::string& error,
                    std::string& note)
{
    std::vector<std::string> comments;
    if (!readOggComments(path, comments)) {
        error = path + ": not an Ogg Vorbis file that can be read";
        return false;
    }
    found = false;
    bool refused = false;
    const std::string tag = masterLevelsTag;
    for (const std::string& line : comments) {
        if (line.rfind(tag, 0) != 0) continue;
        found = parseLevels(line.substr(tag.size()), levels);
        refused = !found;
    }
    if (refused) note = path + ": its levels are not ones tunegen masters at";
    return true;
}

std::vector<int16_t> renderSection(const Song& song, int from, int to, const MasterLevels* levels,
                                   const std::function<void(double)>& progress)
{
    const int64_t end = to >= song.rows ? songSamples(song) : rowSample(song, to);
    const int64_t first = std::min(rowSample(song, from), end);
    const int64_t start = std::max<int64_t>(0, first - rowSample(song, song.rowsPerBar()));
    const Mixdown mix = renderVoices(song, start, end, [&](double done) { report(progress, 0.9 * done); });
    const Premaster prepared = premaster(song, mix, levels);
    const std::vector<float> mastered = levels ? limitAt(prepared, *levels) : limit(song, prepared, song.ceiling - 1.4);
    std::vector<int16_t> samples;
    const size_t skip = 2 * static_cast<size_t>(first - start);
    samples.reserve(mastered.size() > skip ? mastered.size() - skip : 0);
    for (size_t i = skip; i < mastered.size(); ++i) {
        samples.push_back(static_cast<int16_t>(std::lround(std::clamp(mastered[i] * 32768.0f, -32768.0f, 32767.0f))));
    }
    return samples;
}

bool writeTune(const Song& song, const std::string& scoreText, double quality, int fd, const std::string& path,
               TuneReport& result, const std::function<void(double)>& progress)
{
    const auto started = std::chrono::steady_clock::now();
    const Mixdown mix = renderVoices(song, 0, songSamples(song), [&](double done) { report(progress, 0.7 * done); });
    result.voiceSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();

    // Encoding moves peaks: the song's ceiling holds for the decoded file.
    // Master a little under it, check what decodes, and master again lower
    // when a peak came out above it.
    const Premaster prepared = premaster(song, mix);
    report(progress, 0.75);
    double margin = 1.4;
    std::vector<std::string> comments = tuneSourceComments(scoreText);
    const size_t sourceComments = comments.size();
    for (int attempt = 0;; ++attempt) {
        result.attempts = attempt + 1;
        MasterLevels levels;
        const std::vector<float> mastered = limit(song, prepared, song.ceiling - margin, &levels);
        comments.resize(sourceComments);
        comments.push_back(std::string(masterLevelsTag) + describeLevels(levels));
        report(progress, 0.8);
        result.frames = mastered.size() / 2;
        // Each attempt writes the file again from its start, through a
        // descriptor of its own that the writer closes.
        const int copy = ftruncate(fd, 0) == 0 && lseek(fd, 0, SEEK_SET) == 0 ? dup(fd) : -1;
        std::FILE* file = copy >= 0 ? fdopen(copy, "wb") : nullptr;
        if (!file && copy >= 0) close(copy);
        const bool written = file && writeOggVorbis(file, sampleRate, 2, result.frames,
                                                    [&](uint64_t frame, uint32_t channel) {
                                                        return mastered[2 * frame + channel];
                                                    },
                                                    static_cast<float>(quality), comments);
        DecodedAudio decoded;
        if (!written || !decodeOggVorbis(path, decoded)) return false;
        std::vector<float> check(decoded.samples.size());
        for (size_t i = 0; i < check.size(); ++i) check[i] = decoded.samples[i] / 32768.0f;
        result.peakDb = 20.0 * std::log10(std::max(truePeak(check), 1e-9));
        result.loudness = integratedLoudness(check);
        if (result.peakDb <= song.ceiling || attempt == 4) break;
        margin += result.peakDb - song.ceiling + 0.25;
    }
    report(progress, 1.0);
    return true;
}
