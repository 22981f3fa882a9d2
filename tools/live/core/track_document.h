// live/core/track_document: the tracks text as the editor holds it. It is parsed
// for its keys and kept line by line, so that an edit rewrites only the
// lines of the keys it changes: comments, blank lines, the order of the
// tracks and the spelling of every other line stay as they were written.
//
//     TrackDocument document;
//     TextError error;
//     if (!document.load(text, "demo.tracks", error)) report(error.describe());
//     std::string message;
//     if (!document.setKey("gain.r", 64, 0.5f, -1, message)) report(message);
//     write(document.text());                  // the file with one line more
//
// A new key takes the style of the key it follows (or, first in its track,
// the key it precedes): its indentation, its columns, its position written
// as bar:beat:row or as a plain row, and its interpolation; a new line ends
// in CR LF where the text's lines do. An edit that changes nothing leaves
// the text's bytes as they were. Loading a text
// and asking for it back gives the same bytes, and a text after any edits
// parses to the keys the document holds.
#pragma once

#include "track_text.h"

#include <cstdint>
#include <string>
#include <vector>

class TrackDocument {
public:
    // Takes a whole tracks text. Failure: false with the first error, and
    // the document as it was.
    bool load(const std::string& text, const std::string& fileName, TextError& error);

    // The whole text, joined from its lines when an edit changed them.
    const std::string& text() const;
    const std::vector<TextTrack>& tracks() const { return tracks_; }

    // The track's keys, or nullptr when the text has no such track.
    const TextTrack* find(const std::string& name) const;

    // Edits. Each refuses, with `message` saying why and nothing changed,
    // a row outside 0 to `lastRow`, a value that is not finite, a missing
    // track or key. A track the text lacks is added at its end by setKey.
    // `interpolation` -1 keeps a key's own, or takes its neighbour's for a
    // new key.
    // setKey writes the value as `typed` where that is a word that reads
    // back as exactly `value`, else in its shortest exact form; a key that
    // already has this value and interpolation is left as it is.
    bool setKey(const std::string& track, int32_t row, float value, int32_t interpolation, std::string& message,
                const std::string& typed = "");
    bool removeKey(const std::string& track, int32_t row, std::string& message);
    bool setInterpolation(const std::string& track, int32_t row, int32_t interpolation, std::string& message);
    bool moveKey(const std::string& track, int32_t from, int32_t to, std::string& message);

    // Gives a track these keys, in increasing rows, in one edit: key i comes
    // from the track's key `origin[i]` (its line kept, its position, value
    // and interpolation rewritten where they changed), or is new (-1, a line
    // in the style of the key before it). Keys no key comes from lose their
    // lines. Refuses rows out of order, and rows outside the music except
    // those of keys that stay where the text has them (and, with `pastEnd`,
    // rows past the music's end: a retime pushes keys there and keeps them).
    bool rewriteTrack(const std::string& track, const std::vector<TrackKey>& keys, const std::vector<int>& origin,
                      std::string& message, bool pastEnd = false);

    // Markers: named rows, kept as comment lines "#mark NAME POS" that the
    // track parser passes over. A name is 1 to 64 letters, digits, '_', '-'
    // or '.'; a marker named twice takes its first line. setMarker moves a
    // marker's line or adds one at the end; both refuse, saying why, a bad
    // name, a row outside the music, or (removeMarker) a missing marker.
    struct Marker {
        std::string name;
        int32_t row;
        size_t line;
    };
    const std::vector<Marker>& markers() const { return markers_; }
    const int32_t* marker(const std::string& name) const;
    bool setMarker(const std::string& name, int32_t row, std::string& message);
    bool removeMarker(const std::string& name, std::string& message);

    // The last row a key may stand on.
    int32_t lastRow = 1147;

private:
    bool rebuild(const std::vector<std::string>& lines, std::string& message);
    static std::vector<Marker> findMarkers(const std::vector<std::string>& lines);
    bool checkRow(int32_t row, std::string& message) const;
    // The text's own style for a key line where a track has none to follow:
    // its last key line, or "" in a text without keys.
    std::string styleLine() const;
    std::string newKeyLine(const std::string& model, int32_t row, const std::string& value, const std::string& mode) const;
    // Single-key edits change a line and the keys in place, without parsing
    // the text again: a text of thousands of keys takes a hundred edits a
    // second. Line numbers after an inserted or erased line shift by one.
    void insertLine(size_t at, const std::string& line);
    void eraseLine(size_t at);

    std::vector<std::string> lines_ = {""}; // an empty text is one empty line
    bool crlf_ = false;                      // its lines end in CR LF
    mutable std::string text_;
    mutable bool joined_ = true;
    std::string fileName_;
    std::vector<TextTrack> tracks_;
    std::vector<size_t> trackLines_;             // each track's header line
    std::vector<std::vector<size_t>> keyLines_;  // each key's line, by track
    std::vector<Marker> markers_;
};

// The shortest decimal text that reads back as exactly `value`.
std::string shortestFloatText(float value);

// "step", "linear", "smooth", "ramp"; "" for any other code.
const char* interpolationName(int32_t code);

// A row as the text writes it: a plain row, or bar:beat:row (a negative
// row stays plain).
std::string trackPositionText(int32_t row, bool barBeatRow);

// As the text writes a code: its name, or code:N for any other.
std::string interpolationText(int32_t code);
