#include "loudness.h"

#include "biquad.h"
#include "synth.h"

#include <algorithm>

namespace {

// The K-weighting of BS.1770: a high shelf, then the RLB high-pass, designed
// for the sample rate from the standard's analogue parameters.
void kWeighting(Biquad& shelf, Biquad& highpass)
{
    double f0 = 1681.974450955533, gain = 3.999843853973347, q = 0.7071752369554196;
    double k = std::tan(pi * f0 / sampleRate);
    const double vh = std::pow(10.0, gain / 20.0), vb = std::pow(vh, 0.4996667741545416);
    double a0 = 1.0 + k / q + k * k;
    shelf.b0 = (vh + vb * k / q + k * k) / a0;
    shelf.b1 = 2.0 * (k * k - vh) / a0;
    shelf.b2 = (vh - vb * k / q + k * k) / a0;
    shelf.a1 = 2.0 * (k * k - 1.0) / a0;
    shelf.a2 = (1.0 - k / q + k * k) / a0;

    f0 = 38.13547087602444;
    q = 0.5003270373238773;
    k = std::tan(pi * f0 / sampleRate);
    a0 = 1.0 + k / q + k * k;
    highpass.b0 = 1.0;
    highpass.b1 = -2.0;
    highpass.b2 = 1.0;
    highpass.a1 = 2.0 * (k * k - 1.0) / a0;
    highpass.a2 = (1.0 - k / q + k * k) / a0;
}

} // namespace

double integratedLoudness(const std::vector<float>& samples)
{
    Biquad shelf[2], highpass[2];
    for (int c = 0; c < 2; ++c) kWeighting(shelf[c], highpass[c]);
    const size_t frames = samples.size() / 2;
    const size_t step = sampleRate / 10; // 100 ms; blocks are 400 ms
    std::vector<double> power(frames / step + 1, 0.0);
    for (size_t i = 0; i < frames; ++i) {
        double sum = 0;
        for (int c = 0; c < 2; ++c) {
            const double y = highpass[c].process(shelf[c].process(samples[2 * i + static_cast<size_t>(c)]));
            sum += y * y;
        }
        power[i / step] += sum;
    }
    std::vector<double> blocks;
    for (size_t b = 0; b + 4 <= frames / step; ++b) {
        blocks.push_back((power[b] + power[b + 1] + power[b + 2] + power[b + 3]) / (4.0 * step));
    }
    auto loudness = [](double meanSquare) { return -0.691 + 10.0 * std::log10(std::max(meanSquare, 1e-20)); };
    double sum = 0;
    size_t count = 0;
    for (double block : blocks) {
        if (loudness(block) > -70.0) {
            sum += block;
            ++count;
        }
    }
    if (count == 0) return -70.0;
    const double relativeGate = loudness(sum / count) - 10.0;
    sum = 0;
    count = 0;
    for (double block : blocks) {
        if (loudness(block) > -70.0 && loudness(block) > relativeGate) {
            sum += block;
            ++count;
        }
    }
    return count ? loudness(sum / count) : -70.0;
}

double truePeak(const std::vector<float>& samples)
{
    double peak = 0;
    oversampledPeaks(samples, [&](size_t, double p) { peak = std::max(peak, p); });
    return peak;
}
