#include "master.h"

#include "biquad.h"
#include "loudness.h"
#include "sends.h"
#include "synth.h"

#include <algorithm>
#include <cstdio>
#include <cmath>

namespace {

// RBJ's cookbook shelves and peak for one band of the master equaliser.
Biquad equaliser(const EqBand& band)
{
    const double a = std::pow(10.0, band.gain / 40.0);
    const double w = 2.0 * pi * std::min(band.frequency, 0.45 * sampleRate) / sampleRate;
    const double cw = std::cos(w), sw = std::sin(w);
    double b0, b1, b2, a0, a1, a2;
    if (band.type == EqBand::Type::Peak) {
        const double alpha = sw / (2.0 * band.q);
        b0 = 1.0 + alpha * a;
        b1 = -2.0 * cw;
        b2 = 1.0 - alpha * a;
        a0 = 1.0 + alpha / a;
        a1 = -2.0 * cw;
        a2 = 1.0 - alpha / a;
    } else {
        // Shelf slope 1.
        const double alpha = sw / 2.0 * std::sqrt(2.0);
        const double root = 2.0 * std::sqrt(a) * alpha;
        const double sign = band.type == EqBand::Type::LowShelf ? -1.0 : 1.0;
        b0 = a * ((a + 1.0) + sign * (a - 1.0) * cw + root);
        b1 = -2.0 * sign * a * ((a - 1.0) + sign * (a + 1.0) * cw);
        b2 = a * ((a + 1.0) + sign * (a - 1.0) * cw - root);
        a0 = (a + 1.0) - sign * (a - 1.0) * cw + root;
        a1 = 2.0 * sign * ((a - 1.0) - sign * (a + 1.0) * cw);
        a2 = (a + 1.0) - sign * (a - 1.0) * cw - root;
    }
    Biquad q;
    q.b0 = b0 / a0;
    q.b1 = b1 / a0;
    q.b2 = b2 / a0;
    q.a1 = a1 / a0;
    q.a2 = a2 / a0;
    return q;
}

// The bus compressor on interleaved stereo, its detector linked across the
// channels and reading the mix as it will sound at `levelGain`.
void compress(const Compressor& settings, double levelGain, std::vector<float>& mix)
{
    if (settings.ratio <= 1.0) return;
    const double attack = std::exp(-1.0 / (settings.attack * sampleRate));
    const double release = std::exp(-1.0 / (settings.release * sampleRate));
    const double knee = 6.0; // dB, soft
    double envelope = 0.0;
    for (size_t i = 0; i + 1 < mix.size(); i += 2) {
        const double level = levelGain * std::max(std::fabs(mix[i]), std::fabs(mix[i + 1]));
        const double coefficient = level > envelope ? attack : release;
        envelope = coefficient * envelope + (1.0 - coefficient) * level;
        const double over = 20.0 * std::log10(std::max(envelope, 1e-9)) - settings.threshold;
        double reduction = 0.0;
        if (over >= knee / 2.0) {
            reduction = over * (1.0 - 1.0 / settings.ratio);
        } else if (over > -knee / 2.0) {
            const double into = over + knee / 2.0;
            reduction = (1.0 - 1.0 / settings.ratio) * into * into / (2.0 * knee);
        }
        const float gain = static_cast<float>(std::pow(10.0, -reduction / 20.0));
        mix[i] *= gain;
        mix[i + 1] *= gain;
    }
}

} // namespace

Premaster premaster(const Song& song, const Mixdown& voices, const MasterLevels* held)
{
    const size_t frames = voices.dry.size() / 2;
    std::vector<float> mix(voices.dry);
    addSends(song, voices, mix);

    // DC filter: a first-order high-pass at about 5 Hz.
    const double r = 1.0 - 2.0 * pi * 5.0 / sampleRate;
    for (int c = 0; c < 2; ++c) {
        double x1 = 0, y1 = 0;
        for (size_t i = 0; i < frames; ++i) {
            const double x = mix[2 * i + static_cast<size_t>(c)];
            const double y = x - x1 + r * y1;
            x1 = x;
            y1 = y;
            mix[2 * i + static_cast<size_t>(c)] = static_cast<float>(y);
        }
    }

    // The master equaliser, then the bus compressor at the target loudness.
    for (const EqBand& band : song.eq) {
        for (int c = 0; c < 2; ++c) {
            Biquad filter = equaliser(band);
            for (size_t i = 0; i < frames; ++i) {
                float& x = mix[2 * i + static_cast<size_t>(c)];
                x = static_cast<float>(filter.process(x));
            }
        }
    }
    double compressorDb = 0.0;
    if (song.compressor.ratio > 1.0) {
        compressorDb = held ? held->compressorDb : song.loudness - integratedLoudness(mix);
        compress(song.compressor, std::pow(10.0, compressorDb / 20.0), mix);
    }

    std::vector<double> peaks(frames);
    oversampledPeaks(mix, [&](size_t i, double p) { peaks[i] = p; });
    return {std::move(mix), std::move(peaks), compressorDb};
}

std::string describeLevels(const MasterLevels& levels)
{
    char text[160];
    std::snprintf(text, sizeof text, "compressor %.17g gain %.17g ceiling %.17g", levels.compressorDb, levels.gainDb,
                  levels.ceilingDb);
    return text;
}

bool parseLevels(const std::string& text, MasterLevels& levels)
{
    MasterLevels read;
    int used = 0;
    if (std::sscanf(text.c_str(), "compressor %lf gain %lf ceiling %lf%n", &read.compressorDb, &read.gainDb,
                    &read.ceilingDb, &used) != 3 ||
        static_cast<size_t>(used) != text.size()) {
        return false;
    }
    // Levels this master could have run at: the gains from a target of -40
    // to -6 LUFS over a mix of -70 LUFS (silence) or louder, the ceiling at
    // most full scale. Anything else would be a file's word against the ear.
    if (!(std::fabs(read.compressorDb) <= maxLevelGainDb && std::fabs(read.gainDb) <= maxLevelGainDb &&
          read.ceilingDb >= minLevelCeilingDb && read.ceilingDb <= 0.0)) {
        return false;
    }
    levels = read;
    return true;
}

std::vector<float> masterMix(const Song& song, const Mixdown& voices, double ceilingDb)
{
    return limit(song, premaster(song, voices), ceilingDb);
}
