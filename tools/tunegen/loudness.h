// tunegen/loudness: measuring a mix: its integrated loudness (BS.1770, gated)
// and its true peak (four times oversampled), as the master and the checks
// of the encoded file read them.
#pragma once

#include "synth.h"

#include <cmath>
#include <vector>

// Integrated loudness in LUFS of interleaved stereo at 44.1 kHz (-70 or
// below for silence).
double integratedLoudness(const std::vector<float>& samples);

// The highest sample or inter-sample peak (4x oversampled), linear.
double truePeak(const std::vector<float>& samples);

// Four points between each pair of samples, from a 16-tap windowed sinc.
template <typename F>
inline void oversampledPeaks(const std::vector<float>& samples, F&& visit)
{
    static const int taps = 8;
    static double kernel[3][2 * taps];
    static bool ready = false;
    if (!ready) {
        for (int phase = 1; phase <= 3; ++phase) {
            const double frac = phase / 4.0;
            for (int t = 0; t < 2 * taps; ++t) {
                const double x = t - (taps - 1) - frac;
                const double sinc = x == 0 ? 1.0 : std::sin(pi * x) / (pi * x);
                const double window = 0.5 + 0.5 * std::cos(pi * x / taps);
                kernel[phase - 1][t] = sinc * window;
            }
        }
        ready = true;
    }
    const size_t frames = samples.size() / 2;
    for (size_t i = 0; i < frames; ++i) {
        double peak = std::max(std::fabs(samples[2 * i]), std::fabs(samples[2 * i + 1]));
        if (i + taps < frames && i >= static_cast<size_t>(taps - 1)) {
            for (int c = 0; c < 2; ++c) {
                for (int phase = 0; phase < 3; ++phase) {
                    double sum = 0;
                    for (int t = 0; t < 2 * taps; ++t) {
                        sum += kernel[phase][t] * samples[2 * (i - (taps - 1) + static_cast<size_t>(t)) + static_cast<size_t>(c)];
                    }
                    peak = std::max(peak, std::fabs(sum));
                }
            }
        }
        visit(i, peak);
    }
}
