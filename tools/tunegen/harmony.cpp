#include "harmony.h"

#include <algorithm>

namespace {

// One note or off of a channel, laid out on the song's grid.
struct Struck {
    int row;
    const Cell* cell;
};

// A channel's notes and offs in row order, where its order list puts them.
std::vector<Struck> layOut(const Song& song, const Channel& channel)
{
    std::vector<Struck> struck;
    forEachStruck(song, channel, [&](int row, const Cell& cell, const OrderEntry&) { struck.push_back({row, &cell}); });
    return struck;
}

const Channel* channelNamed(const Song& song, const std::string& name)
{
    for (const Channel& channel : song.channels) {
        if (channel.name == name) return &channel;
    }
    return nullptr;
}

} // namespace

std::string noteName(int note)
{
    static const char* const names[12] = {"C", "C#", "D", "D#", "E", "F", "F#", "G", "G#", "A", "A#", "B"};
    const int pitchClass = ((note % 12) + 12) % 12;
    return names[pitchClass] + std::to_string(note / 12 - 1);
}

std::string ChordClash::describe(int rowsPerBeat, int beatsPerBar) const
{
    const int rowsPerBar = rowsPerBeat * beatsPerBar;
    std::string text = "bar " + std::to_string(row / rowsPerBar) + " beat " +
                       std::to_string((row % rowsPerBar) / rowsPerBeat + 1) + " (row " + std::to_string(row) +
                       "): " + channel + " holds " + noteName(note) + " for " + std::to_string(rows) + " rows over";
    for (int n : chord) text += " " + noteName(n);
    return text;
}

std::vector<ChordClash> findChordClashes(const Song& song, const std::string& chordChannel,
                                         const std::vector<std::string>& melodyChannels)
{
    std::vector<ChordClash> clashes;
    const Channel* chords = channelNamed(song, chordChannel);
    if (!chords) return clashes;
    const std::vector<Struck> harmony = layOut(song, *chords);

    for (const std::string& name : melodyChannels) {
        const Channel* melody = channelNamed(song, name);
        if (!melody) continue;
        const std::vector<Struck> notes = layOut(song, *melody);
        for (size_t i = 0; i < notes.size(); ++i) {
            const Struck& note = notes[i];
            if (note.cell->type != Cell::Type::Note || note.row % song.rowsPerBeat != 0) continue;
            const int held = (i + 1 < notes.size() ? notes[i + 1].row : song.rows) - note.row;
            if (held < 2) continue;
            // The chord sounding at the note's row.
            auto after = std::upper_bound(harmony.begin(), harmony.end(), note.row,
                                          [](int row, const Struck& s) { return row < s.row; });
            if (after == harmony.begin()) continue;
            const Cell& chord = *std::prev(after)->cell;
            if (chord.type != Cell::Type::Note) continue;
            for (int pitch : note.cell->notes) {
                const bool tone = std::any_of(chord.notes.begin(), chord.notes.end(),
                                              [&](int c) { return (c - pitch) % 12 == 0; });
                if (!tone) clashes.push_back({name, note.row, pitch, held, chord.notes});
            }
        }
    }
    std::stable_sort(clashes.begin(), clashes.end(),
                     [](const ChordClash& a, const ChordClash& b) { return a.row < b.row; });
    return clashes;
}
