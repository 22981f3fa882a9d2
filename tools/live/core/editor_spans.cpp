// The track editor's spans: copy, paste, and rows inserted or removed (a
// section retimed), in one track or in all, each as one edit.
#include "editor.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

bool TrackEditor::targets(const std::string& word, std::vector<std::string>& names)
{
    names.clear();
    if (word == "all") {
        for (const TextTrack& track : document_.tracks()) {
            if (known(track.name)) names.push_back(track.name);
        }
        return true;
    }
    if (!known(word)) return refuse("unknown track '" + word + "'");
    select(word);
    names.push_back(word);
    return true;
}

bool TrackEditor::span(const std::vector<std::string>& words)
{
    int32_t from = 0, to = 0;
    std::string message;
    if (!parseTrackPosition(words[2], from, message) || !parseTrackPosition(words[3], to, message)) {
        return refuse(message);
    }
    if (from < 0 || to < from || to > document_.lastRow) return refuse("copy takes a span of rows: FROM up to TO");
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
    if (clipboard_.length < 0) return refuse("nothing copied");
    const bool all = names.size() != 1 || clipboard_.all;
    if (all != clipboard_.all) return refuse(clipboard_.all ? "all tracks were copied: paste all" : "one track was copied: paste TRACK");
    std::vector<std::string> onto;
    for (const auto& copied : clipboard_.tracks) onto.push_back(all ? copied.first : names[0]);
    return pasteOnto(onto);
}

bool TrackEditor::pasteShape(const std::string& track)
{
    if (!store_) return refuse(needsTracks);
    if (clipboard_.length < 0) return refuse("nothing copied");
    if (!known(track)) return refuse("unknown track '" + track + "'");
    // The copied tracks keep their distances in the demo's order.
    size_t first = trackNames_.size();
    for (const auto& copied : clipboard_.tracks) first = std::min(first, indexOf(copied.first));
    if (first == trackNames_.size()) first = 0;
    std::vector<std::string> onto;
    for (const auto& copied : clipboard_.tracks) {
        const size_t from = indexOf(copied.first);
        const size_t to = indexOf(track) + (from == trackNames_.size() ? 0 : from - first);
        if (to >= trackNames_.size()) {
            return refuse("the copied keys span " + std::to_string(from - first + 1) + " lanes; from " + track +
                          " they would run past the last track");
        }
        onto.push_back(trackNames_[to]);
    }
    const std::string before = document_.text();
    if (!pasteOnto(onto)) {
        restore(before);
        return false;
    }
    return apply(before, "");
}

bool TrackEditor::pasteOnto(const std::vector<std::string>& onto)
{
    const int32_t at = currentRow();
    const int32_t lastRow = document_.lastRow;
    // The span pasted over, as far as the music goes: keys past its end
    // stay where they are.
    const int32_t end = static_cast<int32_t>(std::min<int64_t>(int64_t(at) + clipboard_.length, lastRow));
    std::string message;
    size_t landed = 0, pastEnd = 0, replaced = 0;
    for (size_t c = 0; c < clipboard_.tracks.size(); ++c) {
        const std::string& name = onto[c];
        std::vector<TrackKey> landing;
        for (TrackKey key : clipboard_.tracks[c].second) {
            if (int64_t(at) + key.row > lastRow) {
                ++pastEnd;
                continue;
            }
            key.row += at;
            landing.push_back(key);
        }
        if (!document_.find(name)) {
            if (landing.empty()) continue;
            if (!document_.setKey(name, landing[0].row, landing[0].value, landing[0].interpolation, message)) {
                return refuse(message);
            }
        }
        const std::vector<TrackKey>& old = document_.find(name)->keys;
        std::vector<TrackKey> keys;
        std::vector<int> origin;
        size_t p = 0;
        for (size_t k = 0; k < old.size(); ++k) {
            for (; p < landing.size() && landing[p].row < old[k].row; ++p) {
                keys.push_back(landing[p]);
                origin.push_back(-1);
            }
            if (old[k].row >= at && old[k].row <= end) {
                const bool same = p < landing.size() && landing[p].row == old[k].row &&
                                  landing[p].interpolation == old[k].interpolation &&
                                  std::memcmp(&landing[p].value, &old[k].value, sizeof(float)) == 0;
                replaced += same ? 0 : 1;
                // Pasted over; a key pasted onto it keeps its line, so that
                // the same key pasted again writes nothing.
                if (p < landing.size() && landing[p].row == old[k].row) {
                    keys.push_back(landing[p++]);
                    origin.push_back(static_cast<int>(k));
                }
                continue;
            }
            keys.push_back(old[k]);
            origin.push_back(static_cast<int>(k));
        }
        for (; p < landing.size(); ++p) {
            keys.push_back(landing[p]);
            origin.push_back(-1);
        }
        if (!document_.rewriteTrack(name, keys, origin, message)) return refuse(message);
        landed += landing.size();
    }
    hooks_.say("pasted " + std::to_string(landed) + " keys at row " + std::to_string(at) +
               (pastEnd ? "; " + std::to_string(pastEnd) + " fell past the last row (" + std::to_string(lastRow) +
                              ") and were left out"
                        : "") +
               replacedText(replaced));
    return true;
}

bool TrackEditor::shift(const std::vector<std::string>& names, int32_t rows, std::string& said)
{
    const int32_t at = currentRow();
    const int32_t lastRow = document_.lastRow;
    std::string message;
    // Every key from the row on moves, those past the end of the music too,
    // so that removing what was inserted gives the text back as it was.
    long pastBefore = 0, pastAfter = 0, removed = 0;
    for (const std::string& name : names) {
        const TextTrack* track = document_.find(name);
        if (!track) continue;
        std::vector<TrackKey> keys;
        std::vector<int> origin;
        for (size_t k = 0; k < track->keys.size(); ++k) {
            TrackKey key = track->keys[k];
            pastBefore += key.row > lastRow ? 1 : 0;
            if (key.row >= at) {
                if (rows < 0 && int64_t(key.row) < int64_t(at) - rows) { // removed
                    ++removed;
                    continue;
                }
                const int64_t row = int64_t(key.row) + rows;
                if (row > INT32_MAX) {
                    return refuse(name + ": inserting " + std::to_string(rows) + " rows pushes the key at row " +
                                  std::to_string(key.row) + " past row " + std::to_string(INT32_MAX) +
                                  ", the last a tracks text holds");
                }
                key.row = static_cast<int32_t>(row);
            }
            pastAfter += key.row > lastRow ? 1 : 0;
            keys.push_back(key);
            origin.push_back(static_cast<int>(k));
        }
        if (!document_.rewriteTrack(name, keys, origin, message, true)) return refuse(message);
    }
    if (removed > 0) said += "; " + std::to_string(removed) + (removed == 1 ? " key" : " keys") + " removed";
    if (pastAfter != pastBefore && pastAfter > 0) {
        said += "; " + std::to_string(pastAfter) + (pastAfter == 1 ? " key now lies" : " keys now lie") +
                " past the end (row " + std::to_string(lastRow) + "), kept in the text";
    } else if (pastAfter != pastBefore) {
        said += "; no key lies past the end now";
    }
    return true;
}
