#include "limiter.h"

#include "loudness.h"
#include "synth.h"

#include <algorithm>
#include <cmath>
#include <deque>

namespace {

// Gains that keep every peak under `ceiling`: the lowest gain any peak in the
// next `lookahead` frames needs, smoothed over that window (so the gain is
// down when the peak arrives), released slowly.
std::vector<float> limiterGains(const std::vector<double>& peaks, double ceiling, size_t lookahead, double release)
{
    const size_t n = peaks.size();
    std::vector<double> need(n);
    for (size_t i = 0; i < n; ++i) need[i] = peaks[i] > ceiling ? ceiling / peaks[i] : 1.0;

    // Sliding minimum of `need` over [i, i + lookahead].
    std::vector<double> ahead(n);
    std::deque<size_t> window;
    for (size_t j = n; j-- > 0;) {
        while (!window.empty() && need[window.back()] >= need[j]) window.pop_back();
        window.push_back(j);
        while (window.front() > j + lookahead) window.pop_front();
        ahead[j] = need[window.front()];
    }
    // Moving average of the minimum over the look-ahead window, then release.
    std::vector<float> gains(n);
    double sum = 0;
    std::deque<double> recent;
    double gain = 1.0;
    const double coefficient = std::exp(-1.0 / (release * sampleRate));
    for (size_t i = 0; i < n; ++i) {
        sum += ahead[i];
        recent.push_back(ahead[i]);
        if (recent.size() > lookahead) {
            sum -= recent.front();
            recent.pop_front();
        }
        const double smooth = std::min(sum / recent.size(), ahead[i]);
        gain = std::min(smooth, gain * coefficient + (1.0 - coefficient));
        gains[i] = static_cast<float>(gain);
    }
    return gains;
}

// The mix at `gainDb`, held under the ceiling.
void limitInto(const Premaster& premaster, double gainDb, double ceilingDb, std::vector<float>& out)
{
    const std::vector<float>& mix = premaster.mix;
    const std::vector<double>& peaks = premaster.peaks;
    const size_t frames = peaks.size();
    const double gain = std::pow(10.0, gainDb / 20.0);
    std::vector<double> scaled(frames);
    for (size_t i = 0; i < frames; ++i) scaled[i] = peaks[i] * gain;
    const std::vector<float> gains = limiterGains(scaled, std::pow(10.0, ceilingDb / 20.0), sampleRate / 200, 0.08);
    out.resize(mix.size());
    for (size_t i = 0; i < frames; ++i) {
        out[2 * i] = static_cast<float>(mix[2 * i] * gain * gains[i]);
        out[2 * i + 1] = static_cast<float>(mix[2 * i + 1] * gain * gains[i]);
    }
}

} // namespace

std::vector<float> limitAt(const Premaster& premaster, const MasterLevels& levels)
{
    std::vector<float> out;
    limitInto(premaster, levels.gainDb, levels.ceilingDb, out);
    return out;
}

std::vector<float> limit(const Song& song, const Premaster& premaster, double ceilingDb, MasterLevels* used)
{
    // Loudness to the target, limited under the ceiling. The limiter takes
    // some loudness away, so the gain is corrected and the chain run again.
    double gainDb = song.loudness - integratedLoudness(premaster.mix);
    double appliedDb = gainDb;
    std::vector<float> out;
    for (int pass = 0; pass < 4; ++pass) {
        appliedDb = gainDb;
        limitInto(premaster, gainDb, ceilingDb, out);
        const double error = song.loudness - integratedLoudness(out);
        if (std::fabs(error) < 0.05) break;
        gainDb += error;
    }
    if (used) *used = {premaster.compressorDb, appliedDb, ceilingDb};
    return out;
}
