// tunegen/synth: renders a Song to 44.1 kHz stereo.
//
// Notes start on the exact sample of their row, round(row x 44100 / rows a
// second), plus any tick delay. Rendering is deterministic: noise comes from
// generators seeded by channel and row.
#pragma once

#include "score.h"

#include <cstdint>
#include <functional>
#include <vector>

constexpr int sampleRate = 44100;
constexpr double pi = 3.14159265358979323846;

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

// Samples in the whole song: its rows and the tail after them.
int64_t songSamples(const Song& song);

Mixdown renderVoices(const Song& song);

// Samples [begin, end) of the song's voices (clamped to the song), as the
// whole song's render has them there: every note that sounds in the window
// runs from its own start. Releases and drums struck more than two seconds
// before `begin` are left out, so a render from 0 is the whole song's exactly
// and a later window differs from it only by what rings longer than that.
// `progress`, when given, hears how far the render is (0 to 1) about once
// a second of music.
Mixdown renderVoices(const Song& song, int64_t begin, int64_t end,
                     const std::function<void(double)>& progress = nullptr);

// renderVoices, then the master chain with the song's own ceiling.
Rendered renderSong(const Song& song);
