#include "waveform.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {

constexpr double mostSeconds = 3600;

float level(const int16_t* frame, int channels)
{
    int most = 0;
    for (int c = 0; c < channels; ++c) most = std::max(most, std::abs(static_cast<int>(frame[c])));
    return static_cast<float>(most) / 32768.0f;
}

} // namespace

float Loudness::peak(double from, double to) const
{
    if (peaks.empty() || !(to > from) || !std::isfinite(from) || !std::isfinite(to)) return 0;
    const double last = static_cast<double>(peaks.size());
    const double a = std::clamp(std::floor(from * bucketsPerRow), 0.0, last);
    const double b = std::clamp(std::ceil(to * bucketsPerRow), 0.0, last);
    float most = 0;
    for (size_t i = static_cast<size_t>(a); i < static_cast<size_t>(b); ++i) most = std::max(most, peaks[i]);
    return most;
}

Loudness loudnessOf(const int16_t* samples, uint64_t frames, int channels, double sampleRate, double rowRate)
{
    Loudness out;
    if (!samples || channels < 1 || channels > 8 || !(sampleRate > 0) || !(rowRate > 0) || !std::isfinite(rowRate)) {
        return out;
    }
    out.channels = channels;
    out.framesPerRow = sampleRate / rowRate;
    frames = std::min<uint64_t>(frames, static_cast<uint64_t>(mostSeconds * sampleRate));
    const double framesPerBucket = out.framesPerRow / Loudness::bucketsPerRow;
    if (!(framesPerBucket >= 1)) return out;
    out.peaks.assign(static_cast<size_t>(std::ceil(static_cast<double>(frames) / framesPerBucket)), 0.0f);
    std::vector<double> sums(out.peaks.size(), 0.0);
    std::vector<uint32_t> counts(out.peaks.size(), 0);
    for (uint64_t f = 0; f < frames; ++f) {
        const size_t bucket = std::min(out.peaks.size() - 1, static_cast<size_t>(static_cast<double>(f) / framesPerBucket));
        const double v = level(samples + f * static_cast<uint64_t>(channels), channels);
        sums[bucket] += v * v;
        ++counts[bucket];
    }
    for (size_t b = 0; b < out.peaks.size(); ++b) {
        out.peaks[b] = counts[b] ? static_cast<float>(std::sqrt(sums[b] / counts[b])) : 0.0f;
    }
    return out;
}

void spliceLoudness(Loudness& loudness, uint64_t first, const int16_t* samples, uint64_t frames)
{
    if (loudness.empty() || !samples || !(loudness.framesPerRow > 0)) return;
    const double framesPerBucket = loudness.framesPerRow / Loudness::bucketsPerRow;
    const size_t count = loudness.peaks.size();
    const auto bucketOf = [&](uint64_t frame) { return static_cast<size_t>(static_cast<double>(frame) / framesPerBucket); };
    if (bucketOf(first) >= count || frames == 0) return;
    const size_t a = bucketOf(first), b = std::min(count - 1, bucketOf(first + frames - 1));
    std::vector<double> sums(b - a + 1, 0.0);
    std::vector<uint32_t> counts(b - a + 1, 0);
    for (uint64_t f = 0; f < frames; ++f) {
        const size_t bucket = bucketOf(first + f);
        if (bucket >= count) break;
        const double v = level(samples + f * static_cast<uint64_t>(loudness.channels), loudness.channels);
        sums[bucket - a] += v * v;
        ++counts[bucket - a];
    }
    // A quarter row the splice covers whole takes its level; one it meets in
    // part, the louder of the old and the new.
    const size_t wholeFrom = static_cast<size_t>(std::ceil(static_cast<double>(first) / framesPerBucket));
    const size_t wholeTo = bucketOf(first + frames);
    for (size_t bucket = a; bucket <= b; ++bucket) {
        if (!counts[bucket - a]) continue;
        const float level = static_cast<float>(std::sqrt(sums[bucket - a] / counts[bucket - a]));
        const bool whole = bucket >= wholeFrom && bucket < wholeTo;
        loudness.peaks[bucket] = whole ? level : std::max(loudness.peaks[bucket], level);
    }
}
