// tunegen/harmony: checks a score's melody against its chords.
//
//     std::vector<ChordClash> clashes = findChordClashes(song, "pad", {"arp", "lead"});
//     for (const ChordClash& c : clashes) std::puts(c.describe().c_str());
//
// The chord at a row is the last chord (or note) the chord channel struck at
// or before it; a note-off or rest there leaves no chord. A melody note
// clashes when it starts on a beat, lasts two rows or more (until its
// channel's next note or off) and is not a tone of that chord in any octave.
// Passing notes off the beat and short ones on it are the melody's own.
#pragma once

#include "score.h"

#include <string>
#include <vector>

struct ChordClash {
    std::string channel;
    int row = 0;     // on the song's grid
    int note = 0;    // MIDI
    int rows = 0;    // how long it is held
    std::vector<int> chord; // the chord's MIDI notes
    // "bar 65 beat 1 (row 1040): arp holds F4 for 2 rows over G3 B3 D4"
    std::string describe(int rowsPerBeat, int beatsPerBar) const;
};

// Every clash of the melodic channels named, in row order, then channel
// order. Names that the song lacks are skipped. Never fails.
std::vector<ChordClash> findChordClashes(const Song& song, const std::string& chordChannel,
                                         const std::vector<std::string>& melodyChannels);

// "F4", "C#5": a MIDI note's name.
std::string noteName(int note);
