// tunegen/tune_render: a score's whole tune, and a section of it, as tunegen
// writes them. tunegen and the studio page's music worker both render
// through these calls, so that the same score gives the same samples and
// the same file on the desktop and in the browser.
//
//     Song song; ...parseScore(text, name, song, error)...
//     TuneReport report;
//     if (!writeTune(song, text, 0.5, fd, path, report, progress)) fail();
//
//     MasterLevels levels; bool found; std::string error, note;
//     recordedLevels("tune.ogg", levels, found, error, note);
//     std::vector<int16_t> bars = renderSection(song, 64, 112, found ? &levels : nullptr);
#pragma once

#include "master.h"
#include "score.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// The comment that records the levels a tune was mastered at.
extern const char* const masterLevelsTag; // "ORVANTA_MASTER="

// The levels recorded in a tune tunegen wrote. Failure: false with `error`
// naming the file when it cannot be read as Ogg Vorbis; true without levels
// (`found` false) when it records none, with `note` saying so when it
// records levels this master never runs at.
bool recordedLevels(const std::string& path, MasterLevels& levels, bool& found, std::string& error,
                    std::string& note);

// Rows [from, to) of the song (`to` past the last row: to the end of its
// tail) as 16-bit interleaved stereo from the first sample of `from`, the
// voices and effects run in from a bar before it: mastered at `levels` when
// given (the playing tune's, so that it sounds as it does in the whole), else
// at the song's target loudness over the section. `progress` hears 0 to 0.9.
std::vector<int16_t> renderSection(const Song& song, int from, int to, const MasterLevels* levels,
                                   const std::function<void(double)>& progress = nullptr);

struct TuneReport {
    uint64_t frames = 0;
    double loudness = 0;     // LUFS, of the decoded file
    double peakDb = 0;       // dBTP, of the decoded file
    double voiceSeconds = 0; // the time the voices took to render
    int attempts = 0;        // masters encoded
};

// The whole song, mastered and encoded at `quality` (-0.1 to 1) into the
// file open at `fd`, which `path` names: written again from its start on
// each attempt, and decoded to check that the song's ceiling holds in what
// a player hears (mastered lower and encoded again where it does not). The
// comments record the score's text (tune_source.h) and the levels.
// `progress` hears 0 to 1. Failure: false when the file cannot be written
// or decoded.
bool writeTune(const Song& song, const std::string& scoreText, double quality, int fd, const std::string& path,
               TuneReport& report, const std::function<void(double)>& progress = nullptr);
