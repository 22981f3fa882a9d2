// tunegen/score: a song written as text, the way tracker musicians think.
//
//     song                      # tempo, grid, length, master and send effects
//       tempo 122
//       rows_per_beat 4
//       rows 1152
//       sidechain attack 0.004 release 0.12
//       eq lowshelf 100 -4      # also highshelf HZ DB, peak HZ DB Q
//       compressor threshold -11 ratio 2 attack 0.01 release 0.18
//     end
//     instrument bass           # oscillators, envelopes, filter, mix
//       osc saw level 0.6 detune 8
//       amp attack 0.005 decay 0.2 sustain 0.7 release 0.1
//       filter lowpass cutoff 300 resonance 0.4 env 1800 decay 0.18
//       highpass 30             # and lowpass HZ, after the filter
//       gain 0.5
//       duck 0.7                # under the notes of the `sidechain` instrument
//     end
//     instrument kick
//       kind kick
//       sidechain               # its notes key the duck
//     end
//     pattern walk 16           # one line a row; "N:" jumps to row N
//       A-1 v90                 # a note, with effects
//       ...                     # an empty row
//       8: E-2
//       12: ===                 # note off
//     end
//     order bass bass           # channel, instrument: patterns in turn
//       _*8 walk*4              # "_" is a bar of rest, "*N" repeats
//       @bass2 walk*2           # "@name" changes the channel's instrument
//     end
//
// The full reference is the score in data/music/.
#pragma once

#include <map>
#include <string>
#include <vector>

struct Envelope {
    double attack = 0.005;
    double decay = 0.1;
    double sustain = 1.0;
    double release = 0.05;
};

enum class Wave { Saw, Square, Sine, Triangle, Noise };

struct Oscillator {
    Wave wave = Wave::Saw;
    double level = 1.0;
    double detune = 0.0; // cents
    int octave = 0;
    int voices = 1;      // unison voices, spread by `spread` cents
    double spread = 0.0;
};

enum class FilterMode { None, Lowpass, Highpass, Bandpass };

struct Filter {
    FilterMode mode = FilterMode::None;
    double cutoff = 20000.0;
    double resonance = 0.0; // 0 to 1
    double envAmount = 0.0; // Hz added at the envelope's peak
    Envelope env{0.001, 0.2, 0.0, 0.1};
};

enum class InstrumentKind { Synth, Kick, Snare, Hat };

struct Instrument {
    std::string name;
    InstrumentKind kind = InstrumentKind::Synth;
    std::vector<Oscillator> oscillators;
    Envelope amp;
    Filter filter;
    std::map<std::string, double> drum; // parameters of a drum kind
    double gain = 0.5;
    double pan = 0.0;  // -1 left to 1 right
    double chordSpread = 0.3; // pan spread of a chord's notes
    double sendDelay = 0.0;
    double sendReverb = 0.0;
    double highpass = 0.0;    // Hz, after the voice's own filter; 0: none
    double lowpass = 0.0;     // Hz, likewise; 0: none
    double width = 0.0;       // 0 to 1: unison voices spread over the stereo field
    double duck = 0.0;        // 0 to 1: how far the sidechain key pulls it down
    bool sidechainKey = false; // its notes are the sidechain's key
};

struct Cell {
    enum class Type { Empty, Note, Off } type = Type::Empty;
    std::vector<int> notes;  // MIDI notes (a chord gives several)
    int instrument = -1;     // override of the channel's instrument
    int velocity = 80;       // 0 to 99
    int arpeggio = 0;        // 0xXY: cycle +0, +X, +Y semitones each tick
    int retrigger = 0;       // restart every N ticks within the row
    int delay = 0;           // start N ticks into the row
    int filter = 50;         // 50 leaves the cutoff; each 50 up or down is 3 octaves
};

struct Pattern {
    std::string name;
    std::vector<Cell> rows;
};

struct OrderEntry {
    int pattern = -1;    // -1: a bar of rest
    int instrument = 0;  // the channel's instrument at this point of the order
};

struct Channel {
    std::string name;
    std::vector<OrderEntry> order;
};

struct DelayEffect {
    double rows = 3.0;     // echo time in rows of the grid
    double feedback = 0.35;
    double damp = 0.3;     // 0 bright to 1 dark
};

struct ReverbEffect {
    double size = 0.8;     // 0 to 1
    double damp = 0.4;
    double width = 1.0;
};

// The duck that key notes put on the instruments that have `duck`: down
// over `attack`, back up over about `release` (seconds).
struct Sidechain {
    double attack = 0.003;
    double release = 0.15;
};

// One band of the master equaliser (RBJ biquads).
struct EqBand {
    enum class Type { LowShelf, HighShelf, Peak } type = Type::Peak;
    double frequency = 1000.0;
    double gain = 0.0; // dB
    double q = 0.7;    // peaks only
};

// The master bus compressor, stereo-linked, on the mix at its target
// loudness (so the threshold reads against the finished level). Off at
// ratio 1.
struct Compressor {
    double threshold = -12.0; // dBFS
    double ratio = 1.0;
    double attack = 0.01;     // seconds
    double release = 0.15;
};

// The longest song the parser takes, in minutes.
constexpr int maxSongMinutes = 60;
constexpr size_t maxEqBands = 8;

struct Song {
    double tempo = 122.0;
    int rowsPerBeat = 4;
    int ticksPerRow = 6;
    int beatsPerBar = 4;
    int rows = 0;             // rows rendered; the effects' tail rings on after
    double tail = 3.0;        // seconds after the last row
    double loudness = -14.0;  // LUFS, integrated
    double ceiling = -1.0;    // dBTP the encoded file's peaks stay under
    DelayEffect delay;
    ReverbEffect reverb;
    Sidechain sidechain;
    std::vector<EqBand> eq;   // at most maxEqBands
    Compressor compressor;
    std::vector<Instrument> instruments;
    std::vector<Pattern> patterns;
    std::vector<Channel> channels;

    int rowsPerBar() const { return rowsPerBeat * beatsPerBar; }
    double rowRate() const { return tempo * rowsPerBeat / 60.0; }
};

struct ScoreError {
    std::string file;
    int line = 0;
    std::string message;
    std::string describe() const { return file + ":" + std::to_string(line) + ": " + message; }
};

// Calls visit(row, cell, entry) for every note and off of `channel`, in row
// order, at the row of the song where its order list puts it: a pattern
// takes its own length, a rest a bar; rows from the song's end on are left
// out. `entry` is the order entry that plays the cell.
template <typename Visit> void forEachStruck(const Song& song, const Channel& channel, Visit&& visit)
{
    int row = 0;
    for (const OrderEntry& entry : channel.order) {
        if (entry.pattern < 0) {
            row += song.rowsPerBar();
        } else {
            const Pattern& pattern = song.patterns[static_cast<size_t>(entry.pattern)];
            const int length = static_cast<int>(pattern.rows.size());
            for (int r = 0; r < length && row + r < song.rows; ++r) {
                const Cell& cell = pattern.rows[static_cast<size_t>(r)];
                if (cell.type != Cell::Type::Empty) visit(row + r, cell, entry);
            }
            row += length;
        }
        if (row >= song.rows) break;
    }
}

// Parses a whole score. Failure: false with the first error, naming the line.
bool parseScore(const std::string& text, const std::string& fileName, Song& song, ScoreError& error);

// "C-4" -> 60, "A#3" -> 58, "Bb2" -> 46; -1 when not a note.
int parseNoteName(const std::string& text);
