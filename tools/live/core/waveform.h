// live/core/waveform: the tune's loudness as the panel draws it under the ruler
// and the lanes: the root mean square of each quarter row, 0 to 1 (a full
// scale square wave), worked out from the samples that play (the whole tune
// when it is loaded, and each quick render spliced into it). Its envelope
// shows the beats and the sections, where peaks would fill the band.
//
//     Loudness loud = loudnessOf(samples, frames, 2, 44100, rowRate);
//     spliceLoudness(loud, firstFrame, samples, frames);  // a part rendered again
//     const float peak = loud.peak(firstRow, lastRow);     // what a column shows
#pragma once

#include <cstdint>
#include <vector>

struct Loudness {
    static constexpr int bucketsPerRow = 4;
    int channels = 2;
    double framesPerRow = 0; // sample frames a row lasts
    std::vector<float> peaks; // the level of each quarter row from row 0

    bool empty() const { return peaks.empty(); }
    // The loudest of the quarter rows that meet [from, to); 0 outside the tune.
    float peak(double from, double to) const;
};

// From interleaved 16-bit samples, `channels` to a frame, at `sampleRate`,
// for music `rowRate` rows a second. Bounded: a tune of at most an hour
// (longer ones are cut there), so no tune makes it allocate without bound.
Loudness loudnessOf(const int16_t* samples, uint64_t frames, int channels, double sampleRate, double rowRate);

// Frames from `first` on were replaced by `samples`: the quarter rows they
// cover are worked out again (from these frames; a quarter row they cover in
// part takes the louder of old and new).
void spliceLoudness(Loudness& loudness, uint64_t first, const int16_t* samples, uint64_t frames);
