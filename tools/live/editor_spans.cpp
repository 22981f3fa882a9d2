// The track editor's spans: copy, paste, and rows inserted or removed (a
// section retimed), in one track or in all, each as one edit.
#include "editor.h"

#include <cstdint>

bool TrackEditor::targets(const std::string& word, std::vector<std::string>& names)
{
    names.clear();
    if (word == "all") {
        for (const TextTrack& track : document_.tracks()) {
            if (known(track.name)) names.push_back(track.name);
        }
        return true;
    }
    if (!known(word)) return fail("unknown track '" + word + "'");
    select(word);
    names.push_back(word);
    return true;
}

bool TrackEditor::span(const std::vector<std::string>& words)
{
    int32_t from = 0, to = 0;
    std::string message;
    if (!parseTrackPosition(words[2], from, message) || !parseTrackPosition(words[3], to, message)) {
        return fail(message);
    }
    if (from < 0 || to < from || to > document_.lastRow) return fail("copy takes a span of rows: FROM up to TO");
    std::vector<std::string> names;
    if (!targets(words[1], names)) return false;
    Clipboard copied;
    copied.all = words[1] == "all";
    copied.length = to - from;
    size_t count = 0;
    for (const std::string& name : names) {
        std::vector<TrackKey> keys;
        if (const TextTrack* track = document_.find(name)) {
            for (TrackKey key : track->keys) {
                if (key.row < from || key.row > to) continue;
                key.row -= from;
                keys.push_back(key);
            }
        }
        count += keys.size();
        copied.tracks.emplace_back(name, keys);
    }
    clipboard_ = copied;
    hooks_.say("copied " + std::to_string(count) + " keys of " + words[1] + ", rows " + std::to_string(from) + " to " +
               std::to_string(to));
    return true;
}

bool TrackEditor::pasteInto(const std::vector<std::string>& names)
{
    if (clipboard_.length < 0) return fail("nothing copied");
    const bool all = names.size() != 1 || clipboard_.all;
    if (all != clipboard_.all) return fail(clipboard_.all ? "all tracks were copied: paste all" : "one track was copied: paste TRACK");
    const int32_t at = currentRow();
    std::string message;
    size_t count = 0;
    for (size_t c = 0; c < clipboard_.tracks.size(); ++c) {
        const std::string& name = all ? clipboard_.tracks[c].first : names[0];
        const std::vector<TrackKey>& pasted = clipboard_.tracks[c].second;
        if (pasted.empty() && !document_.find(name)) continue;
        if (!document_.find(name) &&
            !document_.setKey(name, at + pasted[0].row, pasted[0].value, pasted[0].interpolation, message)) {
            return fail(message);
        }
        const std::vector<TrackKey>& old = document_.find(name)->keys;
        std::vector<TrackKey> keys;
        std::vector<int> origin;
        size_t p = 0;
        auto takePasted = [&](int32_t upTo) {
            for (; p < pasted.size() && at + pasted[p].row < upTo; ++p) {
                if (at + pasted[p].row > document_.lastRow) continue;
                TrackKey key = pasted[p];
                key.row += at;
                keys.push_back(key);
                origin.push_back(-1);
            }
        };
        for (size_t k = 0; k < old.size(); ++k) {
            takePasted(old[k].row);
            if (old[k].row >= at && old[k].row <= at + clipboard_.length) continue; // pasted over
            keys.push_back(old[k]);
            origin.push_back(static_cast<int>(k));
        }
        takePasted(INT32_MAX);
        if (!document_.rewriteTrack(name, keys, origin, message)) return fail(message);
        count += pasted.size();
    }
    hooks_.say("pasted " + std::to_string(count) + " keys at row " + std::to_string(at));
    return true;
}

bool TrackEditor::shift(const std::vector<std::string>& names, int32_t rows)
{
    const int32_t at = currentRow();
    std::string message;
    for (const std::string& name : names) {
        const TextTrack* track = document_.find(name);
        if (!track) continue;
        std::vector<TrackKey> keys;
        std::vector<int> origin;
        for (size_t k = 0; k < track->keys.size(); ++k) {
            TrackKey key = track->keys[k];
            if (key.row >= at) {
                if (rows < 0 && key.row < at - rows) continue; // removed
                key.row += rows;
            }
            keys.push_back(key);
            origin.push_back(static_cast<int>(k));
        }
        if (!keys.empty() && keys.back().row > document_.lastRow) {
            return fail(name + ": inserting " + std::to_string(rows) + " rows pushes keys past the end of the music");
        }
        if (!document_.rewriteTrack(name, keys, origin, message)) return fail(message);
    }
    return true;
}
