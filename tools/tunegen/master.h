// tunegen/master: the send effects and the master chain.
//
// Dry mix + tempo-synced ping-pong delay + reverb, a DC filter, the song's
// equaliser and bus compressor, a gain that
// brings the integrated loudness (ITU-R BS.1770) to the song's target, and a
// look-ahead limiter that keeps true peaks (4x oversampled) under the ceiling.
#pragma once

#include "loudness.h"
#include "score.h"

#include <string>
#include <vector>

struct Mixdown;

// The levels a master ran at: the level the compressor read the mix at, the
// gain that brought it to the target loudness, the limiter's ceiling. A
// part of the song mastered at the whole song's levels sounds as it does in
// the whole.
constexpr double maxLevelGainDb = 70.0;
constexpr double minLevelCeilingDb = -24.0;

struct MasterLevels {
    double compressorDb = 0.0;
    double gainDb = 0.0;
    double ceilingDb = 0.0;
};

// As tunegen records them in its file's comment ("compressor C gain G
// ceiling L", in dB), and back. Failure: false for any other text, and for
// levels this master never runs at: a gain past +-70 dB, a ceiling above
// 0 dBFS or below -24.
std::string describeLevels(const MasterLevels& levels);
bool parseLevels(const std::string& text, MasterLevels& levels);

// The mix with its send effects and DC filter, and its true peaks, ready to
// be limited (at any ceiling, as often as needed). The compressor reads the
// mix at the song's target loudness, or at `held` levels when given.
struct Premaster {
    std::vector<float> mix;    // interleaved stereo
    std::vector<double> peaks; // true peak of each frame
    double compressorDb = 0.0; // the level the compressor read it at
};
Premaster premaster(const Song& song, const Mixdown& voices, const MasterLevels* held = nullptr);

// The mastered mix, interleaved stereo: loudness at the song's target, true
// peaks under `ceilingDb` (dBTP). The levels it took go to `used`.
std::vector<float> limit(const Song& song, const Premaster& premaster, double ceilingDb, MasterLevels* used = nullptr);

// The mix mastered at given levels, as they were: one pass, no loudness
// measured.
std::vector<float> limitAt(const Premaster& premaster, const MasterLevels& levels);

// Both steps at once.
std::vector<float> masterMix(const Song& song, const Mixdown& voices, double ceilingDb);

