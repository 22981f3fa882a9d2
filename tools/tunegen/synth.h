// tunegen/synth: renders a Song to 44.1 kHz stereo.
//
// Notes start on the exact sample of their row, round(row x 44100 / rows a
// second), plus any tick delay. Rendering is deterministic: noise comes from
// generators seeded by channel and row.
#pragma once

#include "score.h"

#include <cstdint>
#include <vector>

constexpr int sampleRate = 44100;

struct Rendered {
    std::vector<float> samples; // interleaved stereo
    size_t frames() const { return samples.size() / 2; }
};

// Every voice of the song, before the master: the dry mix and what each
// instrument sends to the delay and the reverb, all interleaved stereo.
struct Mixdown {
    std::vector<float> dry;
    std::vector<float> delaySend;
    std::vector<float> reverbSend;
};

// The first sample of a row on the song's grid.
int64_t rowSample(const Song& song, double row);

Mixdown renderVoices(const Song& song);

// renderVoices, then the master chain with the song's own ceiling.
Rendered renderSong(const Song& song);
