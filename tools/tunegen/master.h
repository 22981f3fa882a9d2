// tunegen/master: the send effects and the master chain.
//
// Dry mix + tempo-synced ping-pong delay + reverb, a DC filter, the song's
// equaliser and bus compressor, a gain that
// brings the integrated loudness (ITU-R BS.1770) to the song's target, and a
// look-ahead limiter that keeps true peaks (4x oversampled) under the ceiling.
#pragma once

#include "score.h"

#include <vector>

struct Mixdown;

// The mix with its send effects and DC filter, and its true peaks, ready to
// be limited (at any ceiling, as often as needed).
struct Premaster {
    std::vector<float> mix;    // interleaved stereo
    std::vector<double> peaks; // true peak of each frame
};
Premaster premaster(const Song& song, const Mixdown& voices);

// The mastered mix, interleaved stereo: loudness at the song's target, true
// peaks under `ceilingDb` (dBTP).
std::vector<float> limit(const Song& song, const Premaster& premaster, double ceilingDb);

// Both steps at once.
std::vector<float> masterMix(const Song& song, const Mixdown& voices, double ceilingDb);

// Integrated loudness in LUFS of interleaved stereo at 44.1 kHz (-70 or
// below for silence).
double integratedLoudness(const std::vector<float>& samples);

// The highest sample or inter-sample peak (4x oversampled), linear.
double truePeak(const std::vector<float>& samples);
