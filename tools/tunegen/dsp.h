// tunegen/dsp: the synthesizer's oscillators and filters: deterministic
// noise, a state-variable filter, the ADSR envelope and the band-limited
// step of the saw and square waves. Header only: each is a few lines that
// run once a sample.
#pragma once

#include "score.h"
#include "synth.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

// 2^(n/12) for the arpeggio's offsets of 0 to 15 semitones.
inline double semitoneRatio(int n)
{
    static const struct SemitoneRatios {
        double ratio[16];
        SemitoneRatios()
        {
            for (int n = 0; n < 16; ++n) ratio[n] = std::pow(2.0, n / 12.0);
        }
    } ratios;
    return ratios.ratio[n];
}

// xorshift32: deterministic noise in -1..1.
struct Noise {
    uint32_t state;
    explicit Noise(uint32_t seed) : state(seed ? seed : 0x9e3779b9u) {}
    double next()
    {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return static_cast<double>(state) / 2147483648.0 - 1.0;
    }
};

// Topology-preserving state-variable filter (one channel).
struct Svf {
    double ic1 = 0, ic2 = 0;
    double g = 0, k = 2, a1 = 0, a2 = 0, a3 = 0;
    void set(double cutoff, double resonance)
    {
        cutoff = std::clamp(cutoff, 20.0, 0.45 * sampleRate);
        g = std::tan(pi * cutoff / sampleRate);
        k = 2.0 - 1.96 * std::clamp(resonance, 0.0, 1.0);
        a1 = 1.0 / (1.0 + g * (g + k));
        a2 = g * a1;
        a3 = g * a2;
    }
    // Returns low, band and high outputs.
    void process(double x, double& low, double& band, double& high)
    {
        const double v3 = x - ic2;
        const double v1 = a1 * ic1 + a2 * v3;
        const double v2 = ic2 + a2 * ic1 + a3 * v3;
        ic1 = 2.0 * v1 - ic1;
        ic2 = 2.0 * v2 - ic2;
        low = v2;
        band = v1;
        high = x - k * v1 - v2;
    }
};

// Linear ADSR; the release runs from wherever the level stands.
struct EnvelopeState {
    const Envelope* shape = nullptr;
    double time = 0;
    double level = 0;
    bool released = false;
    double releaseFrom = 0;
    double releaseTime = 0;

    double next(double dt)
    {
        if (!released) {
            if (time < shape->attack) {
                level = shape->attack > 0 ? time / shape->attack : 1.0;
            } else if (time < shape->attack + shape->decay) {
                const double t = (time - shape->attack) / shape->decay;
                level = 1.0 + (shape->sustain - 1.0) * t;
            } else {
                level = shape->sustain;
            }
        } else {
            level = shape->release > 0 ? releaseFrom * std::max(0.0, 1.0 - releaseTime / shape->release) : 0.0;
            releaseTime += dt;
        }
        time += dt;
        return level;
    }
    void release()
    {
        if (!released) {
            released = true;
            releaseFrom = level;
            releaseTime = 0;
        }
    }
    bool finished() const { return released && (shape->release <= 0 || releaseTime >= shape->release); }
};

inline double polyBlep(double t, double dt)
{
    if (t < dt) {
        t /= dt;
        return t + t - t * t - 1.0;
    }
    if (t > 1.0 - dt) {
        t = (t - 1.0) / dt;
        return t * t + t + t + 1.0;
    }
    return 0.0;
}

