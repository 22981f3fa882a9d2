#include "master.h"

#include "synth.h"

#include <algorithm>
#include <cstdio>
#include <cmath>
#include <deque>

namespace {

constexpr double pi = 3.14159265358979323846;

struct Biquad {
    double b0 = 1, b1 = 0, b2 = 0, a1 = 0, a2 = 0;
    double z1 = 0, z2 = 0;
    double process(double x)
    {
        const double y = b0 * x + z1;
        z1 = b1 * x - a1 * y + z2;
        z2 = b2 * x - a2 * y;
        return y;
    }
};

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

// Freeverb-style reverb: eight damped combs and four all-passes a channel.
class Reverb {
public:
    explicit Reverb(const ReverbEffect& settings) : settings_(settings)
    {
        static const int combs[8] = {1116, 1188, 1277, 1356, 1422, 1491, 1557, 1617};
        static const int allpasses[4] = {556, 441, 341, 225};
        for (int c = 0; c < 2; ++c) {
            const int spread = c == 0 ? 0 : 23;
            for (int i = 0; i < 8; ++i) comb_[c][i].buffer.assign(static_cast<size_t>(combs[i] + spread), 0.0f);
            for (int i = 0; i < 4; ++i) allpass_[c][i].buffer.assign(static_cast<size_t>(allpasses[i] + spread), 0.0f);
        }
        feedback_ = 0.7f + 0.28f * static_cast<float>(settings.size);
        damp_ = 0.4f * static_cast<float>(settings.damp);
    }

    void process(float inLeft, float inRight, float& outLeft, float& outRight)
    {
        const float input = (inLeft + inRight) * 0.015f;
        float out[2] = {0, 0};
        for (int c = 0; c < 2; ++c) {
            for (Comb& comb : comb_[c]) {
                float& cell = comb.buffer[comb.index];
                const float y = cell;
                comb.store = y * (1.0f - damp_) + comb.store * damp_;
                cell = input + comb.store * feedback_;
                if (++comb.index == comb.buffer.size()) comb.index = 0;
                out[c] += y;
            }
            for (Allpass& allpass : allpass_[c]) {
                float& cell = allpass.buffer[allpass.index];
                const float y = -out[c] + cell;
                cell = out[c] + cell * 0.5f;
                if (++allpass.index == allpass.buffer.size()) allpass.index = 0;
                out[c] = y;
            }
        }
        const float width = static_cast<float>(settings_.width);
        const float wet1 = 0.5f * (1.0f + width), wet2 = 0.5f * (1.0f - width);
        outLeft = out[0] * wet1 + out[1] * wet2;
        outRight = out[1] * wet1 + out[0] * wet2;
    }

private:
    struct Comb {
        std::vector<float> buffer;
        size_t index = 0;
        float store = 0;
    };
    struct Allpass {
        std::vector<float> buffer;
        size_t index = 0;
    };
    ReverbEffect settings_;
    Comb comb_[2][8];
    Allpass allpass_[2][4];
    float feedback_;
    float damp_;
};

// Four points between each pair of samples, from a 16-tap windowed sinc.
template <typename F>
void oversampledPeaks(const std::vector<float>& samples, F&& visit)
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

Premaster premaster(const Song& song, const Mixdown& voices, const MasterLevels* held)
{
    const std::vector<float>& delaySend = voices.delaySend;
    const std::vector<float>& reverbSend = voices.reverbSend;
    const size_t frames = voices.dry.size() / 2;
    std::vector<float> mix(voices.dry);

    // Ping-pong delay, echo time on the grid, darkened in its feedback.
    const size_t delayFrames = static_cast<size_t>(std::llround(song.delay.rows * sampleRate / song.rowRate()));
    std::vector<float> line[2] = {std::vector<float>(delayFrames, 0.0f), std::vector<float>(delayFrames, 0.0f)};
    float tone[2] = {0, 0};
    const float feedback = static_cast<float>(song.delay.feedback), damp = static_cast<float>(song.delay.damp);
    Reverb reverb(song.reverb);
    for (size_t i = 0, at = 0; i < frames; ++i) {
        const float echoLeft = line[0][at], echoRight = line[1][at];
        tone[0] = echoRight * (1.0f - damp) + tone[0] * damp;
        tone[1] = echoLeft * (1.0f - damp) + tone[1] * damp;
        // Input enters on the left, then crosses from side to side.
        line[0][at] = 0.5f * (delaySend[2 * i] + delaySend[2 * i + 1]) + tone[0] * feedback;
        line[1][at] = tone[1] * feedback;
        if (++at == delayFrames) at = 0;
        float wetLeft, wetRight;
        reverb.process(reverbSend[2 * i], reverbSend[2 * i + 1], wetLeft, wetRight);
        mix[2 * i] += echoLeft + wetLeft;
        mix[2 * i + 1] += echoRight + wetRight;
    }

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

namespace {

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

std::vector<float> masterMix(const Song& song, const Mixdown& voices, double ceilingDb)
{
    return limit(song, premaster(song, voices), ceilingDb);
}
