// tunegen/voice: one sounding note of an instrument: its oscillators,
// filters and envelopes (voice.cpp), or its drum (drums.cpp), rendered into
// the dry mix and the sends a span at a time.
#pragma once

#include "dsp.h"
#include "score.h"

#include <cstdint>
#include <vector>

struct Voice {
    const Instrument* instrument = nullptr;
    int channel = 0;
    double frequency = 440.0;
    double velocity = 1.0;
    double pan = 0.0;
    double filterScale = 1.0;
    int arpeggio = 0;
    int64_t ticksLength = 1; // samples a tick, for the arpeggio
    int64_t age = 0;         // samples since the start
    EnvelopeState amp;
    EnvelopeState filterEnv;
    Svf filter[2];       // left and right: unison voices may be spread
    Svf tone[2][2];      // the instrument's high-pass and low-pass, left and right
    Svf drumFilter;
    std::vector<double> unisonPan; // left and right gains of each oscillator voice
    std::vector<double> phases;
    std::vector<double> increments;
    Noise noise{1};
    bool done = false;
    double drumPhase = 0;
    double releaseAt = -1; // drums: seconds of a note-off, ignored

    void release();

    // Phase increments of every oscillator voice at the note's own pitch.
    void prepare();

    // The instrument's own high-pass and low-pass, on one channel.
    double toneFilter(int c, double x);

    // One stereo sample of the synth voice, in `left` and `right`.
    void synthSample(double dt, double& left, double& right);

    double drum(const char* name, double fallback) const;

    // A drum's settings, looked up once a note rather than once a sample.
    struct DrumSettings {
        double pitch, endPitch, sweep, decay, drive, click; // kick
        double toneDecay, noiseDecay, tone, noise;          // snare
        double cutoff, ring;                                // snare and hat
    } kit{};

    void prepareDrum();
    double drumSample(double t);

    // Adds `count` samples of this voice into the dry mix and the two sends,
    // pulled down by `duck` (the sidechain's envelope at the same samples)
    // as far as the instrument asks.
    void render(int64_t count, float* dry, float* delaySend, float* reverbSend, const float* duck);
};
