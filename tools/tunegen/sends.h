// tunegen/sends: the master's send effects: a ping-pong delay on the song's
// grid and a Freeverb-style reverb, fed by what each instrument sends.
#pragma once

#include "score.h"
#include "synth.h"

#include <vector>

// Adds the delay's and the reverb's returns of the voices' sends to `mix`
// (interleaved stereo, as long as the voices).
void addSends(const Song& song, const Mixdown& voices, std::vector<float>& mix);
