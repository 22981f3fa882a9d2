#include "voice.h"

#include <algorithm>
#include <cmath>

void Voice::release()
{
    amp.release();
    filterEnv.release();
}

void Voice::prepare()
{
    increments.clear();
    for (const Oscillator& osc : instrument->oscillators) {
        for (int u = 0; u < osc.voices; ++u) {
            const double unison = osc.voices > 1 ? (u / double(osc.voices - 1) - 0.5) * osc.spread : 0.0;
            increments.push_back(frequency * std::pow(2.0, osc.octave + (osc.detune + unison) / 1200.0) / sampleRate);
        }
    }
    phases.resize(increments.size());
    // Unison voices spread from left to right by the instrument's width,
    // at constant power, so width 0 leaves every voice in the middle.
    unisonPan.clear();
    for (const Oscillator& osc : instrument->oscillators) {
        for (int u = 0; u < osc.voices; ++u) {
            const double place = osc.voices > 1 ? (u / double(osc.voices - 1) - 0.5) * 2.0 * instrument->width : 0.0;
            const double angle = (place + 1.0) * pi / 4.0;
            unisonPan.push_back(std::cos(angle) * std::sqrt(2.0));
            unisonPan.push_back(std::sin(angle) * std::sqrt(2.0));
        }
    }
    for (int c = 0; c < 2; ++c) {
        if (instrument->highpass > 0) tone[0][c].set(instrument->highpass, 0.0);
        if (instrument->lowpass > 0) tone[1][c].set(instrument->lowpass, 0.0);
    }
}

double Voice::toneFilter(int c, double x)
{
    double low, band, high;
    if (instrument->highpass > 0) {
        tone[0][c].process(x, low, band, high);
        x = high;
    }
    if (instrument->lowpass > 0) {
        tone[1][c].process(x, low, band, high);
        x = low;
    }
    return x;
}

void Voice::synthSample(double dt, double& left, double& right)
{
    const Instrument& in = *instrument;
    double pitch = 1.0;
    if (arpeggio) {
        const int step = static_cast<int>((age / ticksLength) % 3);
        const int offset = step == 0 ? 0 : step == 1 ? (arpeggio >> 4) : (arpeggio & 15);
        pitch = semitoneRatio(offset);
    }
    double sum[2] = {0, 0};
    size_t p = 0;
    for (const Oscillator& osc : in.oscillators) {
        for (int u = 0; u < osc.voices; ++u, ++p) {
            const double inc = std::min(increments[p] * pitch, 0.49);
            double& phase = phases[p];
            double v = 0;
            switch (osc.wave) {
            case Wave::Saw: v = 2.0 * phase - 1.0 - polyBlep(phase, inc); break;
            case Wave::Square: {
                const double half = phase < 0.5 ? phase + 0.5 : phase - 0.5;
                v = (phase < 0.5 ? 1.0 : -1.0) + polyBlep(phase, inc) - polyBlep(half, inc);
                break;
            }
            case Wave::Sine: v = std::sin(2.0 * pi * phase); break;
            case Wave::Triangle: v = 4.0 * std::fabs(phase - 0.5) - 1.0; break;
            case Wave::Noise: v = noise.next(); break;
            }
            v *= osc.level / osc.voices;
            sum[0] += v * unisonPan[2 * p];
            sum[1] += v * unisonPan[2 * p + 1];
            phase += inc;
            if (phase >= 1.0) phase -= 1.0;
        }
    }
    if (in.filter.mode != FilterMode::None) {
        const double envelope = filterEnv.next(dt);
        if ((age & 15) == 0) {
            const double cutoff = in.filter.cutoff * filterScale + in.filter.envAmount * envelope;
            for (Svf& side : filter) side.set(cutoff, in.filter.resonance);
        }
        for (int c = 0; c < 2; ++c) {
            double low, band, high;
            filter[c].process(sum[c], low, band, high);
            sum[c] = in.filter.mode == FilterMode::Lowpass ? low : in.filter.mode == FilterMode::Highpass ? high : band;
        }
    }
    const double level = amp.next(dt);
    // A note that has decayed to a sustain of 0 is silent for good.
    const bool decayed = !amp.released && amp.shape->sustain <= 0.0 &&
                         amp.time > amp.shape->attack + amp.shape->decay;
    if (amp.finished() || decayed) done = true;
    left = toneFilter(0, sum[0]) * level;
    right = toneFilter(1, sum[1]) * level;
}

void Voice::render(int64_t count, float* dry, float* delaySend, float* reverbSend, const float* duck)
{
    const double dt = 1.0 / sampleRate;
    const double angle = (pan + 1.0) * pi / 4.0;
    const double leftGain = std::cos(angle) * instrument->gain * velocity;
    const double rightGain = std::sin(angle) * instrument->gain * velocity;
    const double depth = instrument->duck;
    for (int64_t i = 0; i < count && !done; ++i, ++age) {
        double x[2];
        if (instrument->kind == InstrumentKind::Synth) {
            synthSample(dt, x[0], x[1]);
        } else {
            x[0] = x[1] = toneFilter(0, drumSample(age * dt));
        }
        const double ducked = depth > 0 ? 1.0 - depth * duck[i] : 1.0;
        const float l = static_cast<float>(x[0] * leftGain * ducked), r = static_cast<float>(x[1] * rightGain * ducked);
        dry[2 * i] += l;
        dry[2 * i + 1] += r;
        delaySend[2 * i] += l * static_cast<float>(instrument->sendDelay);
        delaySend[2 * i + 1] += r * static_cast<float>(instrument->sendDelay);
        reverbSend[2 * i] += l * static_cast<float>(instrument->sendReverb);
        reverbSend[2 * i + 1] += r * static_cast<float>(instrument->sendReverb);
    }
}
