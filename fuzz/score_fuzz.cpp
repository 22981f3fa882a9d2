// libFuzzer target: any bytes as a tunegen score. Parsing must never crash;
// a parsed score's patterns and orders must only name what exists, and its
// harmony check must run through whatever it parsed. The same bytes as the
// master levels a tune's comment records: read back only when they are
// levels a master could have run at.
#include "harmony.h"
#include "master.h"
#include "score.h"

#include <cmath>

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    MasterLevels levels;
    if (parseLevels(text, levels)) {
        for (double value : {levels.compressorDb, levels.gainDb, levels.ceilingDb}) {
            if (!(std::fabs(value) <= 120.0)) std::abort();
        }
    }
    Song song;
    ScoreError error;
    if (!parseScore(std::string(reinterpret_cast<const char*>(data), size), "fuzz.score", song, error)) {
        if (error.line < 1 || error.message.empty()) std::abort();
        return 0;
    }
    for (const Channel& channel : song.channels) {
        for (const OrderEntry& entry : channel.order) {
            if (entry.pattern >= static_cast<int>(song.patterns.size())) std::abort();
            if (entry.instrument < 0 || entry.instrument >= static_cast<int>(song.instruments.size())) std::abort();
        }
    }
    for (const Pattern& pattern : song.patterns) {
        for (const Cell& cell : pattern.rows) {
            if (cell.instrument >= static_cast<int>(song.instruments.size())) std::abort();
            if (cell.type == Cell::Type::Note && cell.notes.empty()) std::abort();
        }
    }
    if (song.eq.size() > maxEqBands) std::abort();
    for (const ChordClash& clash : findChordClashes(song, "pad", {"arp", "lead"})) {
        if (clash.rows < 2 || clash.chord.empty()) std::abort();
        clash.describe(song.rowsPerBeat, song.beatsPerBar);
    }
    return 0;
}
