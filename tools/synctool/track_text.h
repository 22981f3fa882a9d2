// The text form of keyframe tracks, for people, and its binary counterpart.
//
//     # comments run to the end of a line
//     track cam.dist.x
//       0        1.0    step       # row 0
//       2:1:0   -2.5    smooth     # bar 2, beat 1, row 0 of the beat = row 36
//       48       0.25   linear
//
// A value is a number, inf, -inf or nan; a NaN of other bits (a sign, a
// payload) is written nan:XXXXXXXX with its bits in hexadecimal, so that
// every value comes back to the bit. A key line is a position, a value and
// an interpolation (step, linear,
// smooth, ramp, or code:N for a raw code from -128 to 127, which the demo
// treats as invalid unless it is 0 to 3). A position is a row or
// bar:beat:row on the demo's grid of 4 rows a beat and 4 beats a bar, all
// counted from 0. Rows must increase strictly within a track.
#pragma once

#include "demo/timeline.h"
#include "sync.h"

#include <cstdint>
#include <string>
#include <vector>

struct TextTrack {
    std::string name;
    std::vector<TrackKey> keys;
    int line = 0; // where the track was named
};

struct TextError {
    std::string file;
    int line = 0;
    std::string message;
    std::string describe() const; // "file:line: message"
};

// Parses one source text. Returns false with the first error found; on
// success appends its tracks to `tracks`. A track named twice, in this text
// or in `tracks` already, is an error.
bool parseTrackText(const std::string& text, const std::string& fileName, std::vector<TextTrack>& tracks,
                    TextError& error);

// A position as the text writes it: a whole row, or bar:beat:row on the
// demo's grid. Failure: false with a message naming the word.
bool parseTrackPosition(const std::string& word, int32_t& row, std::string& message);

// Writes tracks in the text form; each key's position as bar:beat:row (a
// plain row when negative), its value exact to the bit for finite values.
std::string formatTrackText(const std::vector<TextTrack>& tracks);

// The binary track file of a track's keys.
std::string encodeTrackFile(const std::vector<TrackKey>& keys);

// What the demo's reader would mend or ignore in a track file's bytes.
struct TrackFileProblem {
    int key = -1; // key index, or -1 for the file as a whole
    std::string message;
};

// Decodes a track file as stored, without the reader's mends: every complete
// key record up to the count. Problems found go to `problems`.
std::vector<TrackKey> decodeTrackFile(const std::string& bytes, std::vector<TrackFileProblem>& problems);
