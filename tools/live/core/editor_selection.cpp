// The track editor's selection: keys picked across tracks and rows, then
// moved in time, shifted in value or scaled, each as one edit.
#include "editor.h"

#include <algorithm>
#include <cmath>
#include <climits>
#include <cstdlib>
#include <functional>
#include <map>

namespace {

// Marks, in a key's origin while a transform sorts them, the keys that move.
constexpr int selectedOrigin = 1 << 30;

bool readNumber(const std::string& word, double& value)
{
    char* end = nullptr;
    value = std::strtod(word.c_str(), &end);
    return !word.empty() && *end == '\0' && std::isfinite(value);
}

} // namespace

bool TrackEditor::selectCommand(const std::vector<std::string>& words)
{
    if (words[0] == "deselect") {
        selection_.clear();
        hooks_.say("nothing selected");
        return true;
    }
    int32_t from = 0, to = 0;
    std::string message;
    if (!parseTrackPosition(words[2], from, message) || !parseTrackPosition(words[3], to, message)) {
        return refuse(message);
    }
    if (to < from) return refuse("select takes a span of rows: FROM up to TO");
    // A track, all of them, or those whose names start with a prefix ("gain.*").
    const std::string& pattern = words[1];
    const bool prefix = !pattern.empty() && pattern.back() == '*';
    const std::string stem = prefix ? pattern.substr(0, pattern.size() - 1) : pattern;
    if (!prefix && pattern != "all" && !known(pattern)) return refuse("unknown track '" + pattern + "'");
    std::vector<std::pair<std::string, int32_t>> picked;
    size_t tracks = 0;
    for (const TextTrack& track : document_.tracks()) {
        if (!known(track.name)) continue;
        if (pattern != "all" && (prefix ? track.name.rfind(stem, 0) != 0 : track.name != pattern)) continue;
        bool any = false;
        for (const TrackKey& key : track.keys) {
            if (key.row < from || key.row > to) continue;
            picked.emplace_back(track.name, key.row);
            any = true;
        }
        tracks += any ? 1 : 0;
    }
    selection_ = std::move(picked);
    hooks_.say("selected " + std::to_string(selection_.size()) + " keys of " + std::to_string(tracks) +
               (tracks == 1 ? " track" : " tracks"));
    return true;
}

namespace {

// "a beat", "2 bars", "3 rows": a span of rows as a maker counts it.
std::string rowsText(int32_t rows)
{
    const int32_t n = rows < 0 ? -rows : rows;
    auto count = [](int32_t k, const char* one, const char* many) {
        return k == 1 ? std::string("a ") + one : std::to_string(k) + " " + many;
    };
    if (n != 0 && n % 16 == 0) return count(n / 16, "bar", "bars");
    if (n != 0 && n % 4 == 0) return count(n / 4, "beat", "beats");
    return count(n, "row", "rows");
}

} // namespace

std::string replacedText(size_t replaced)
{
    if (replaced == 0) return "";
    return "; replaced " + std::to_string(replaced) + (replaced == 1 ? " key" : " keys") + " (undo brings " +
           (replaced == 1 ? "it" : "them") + " back)";
}

bool TrackEditor::changeSelection(const std::vector<std::string>& words)
{
    if (selection_.empty()) return refuse("nothing is selected: select TRACK|PREFIX*|all POS POS first");
    const std::string& command = words[0];
    double rows = 0, amount = 0, factor = 1;
    if (command == "move" && (!readNumber(words[1], rows) || rows != std::floor(rows) || std::fabs(rows) > 1e6)) {
        return refuse("move takes a whole number of rows, such as 4 or -16");
    }
    if (command == "shift" && !readNumber(words[1], amount)) return refuse("shift takes a value, such as 0.25");
    if (command == "scale" && (!readNumber(words[1], factor) || !readNumber(words[2], amount) || factor <= 0 ||
                               factor > 1e3 || std::fabs(amount) > 1e6)) {
        return refuse("scale takes a factor in time above 0 and one in value, such as 2 1");
    }
    Change change;
    change.rows = static_cast<int32_t>(rows);
    change.amount = command == "shift" ? amount : 0;
    change.factor = command == "scale" ? factor : 1;
    change.valueFactor = command == "scale" ? amount : 1;
    size_t count = 0;
    if (!transform(change, true, count)) return false;
    const std::string replaced = replacedText(replaced_);
    if (command == "move") {
        hooks_.say("moved " + std::to_string(count) + " keys by " + rowsText(change.rows) +
                   (change.rows < 0 ? " back" : "") + replaced);
    } else if (command == "shift") {
        hooks_.say("shifted " + std::to_string(count) + " keys by " + words[1]);
    } else {
        hooks_.say("scaled " + std::to_string(count) + " keys by " + words[1] + " in time about row " +
                   std::to_string(currentRow()) + ", by " + words[2] + " in value about their mean" + replaced);
    }
    return true;
}

bool TrackEditor::transform(const Change& change, bool undoable, size_t& count, const std::string& amending)
{
    replaced_ = 0;
    // The selected keys that still stand, track by track, and the mean of
    // their values for scaling.
    std::map<std::string, std::vector<int32_t>> chosen;
    double sum = 0;
    count = 0;
    for (const auto& [name, row] : selection_) {
        const TextTrack* track = document_.find(name);
        if (!track) continue;
        for (const TrackKey& key : track->keys) {
            if (key.row != row) continue;
            chosen[name].push_back(row);
            sum += key.value;
            ++count;
        }
    }
    if (count == 0) return refuse("the selected keys are gone");
    const double mean = sum / static_cast<double>(count);
    const int32_t at = currentRow();
    const std::string before = document_.text();
    std::vector<std::pair<std::string, int32_t>> moved;
    std::string message;
    for (const auto& [name, rowsChosen] : chosen) {
        const std::vector<TrackKey>& old = document_.find(name)->keys;
        std::vector<std::pair<TrackKey, int>> keys;
        std::vector<int32_t> landed;
        for (size_t k = 0; k < old.size(); ++k) {
            TrackKey key = old[k];
            if (std::find(rowsChosen.begin(), rowsChosen.end(), key.row) == rowsChosen.end()) {
                keys.emplace_back(key, static_cast<int>(k));
                continue;
            }
            {
                // Worked out wide and checked: a row a text cannot hold is
                // refused, never wrapped round into the music.
                double row = static_cast<double>(key.row) + change.rows;
                if (change.factor != 1) row = std::round(at + (row - at) * change.factor);
                if (!(row >= INT32_MIN && row <= INT32_MAX)) {
                    restore(before);
                    return refuse(name + ": the key at row " + std::to_string(key.row) + " would land past row " +
                                  std::to_string(row < 0 ? INT32_MIN : INT32_MAX) + ", the last a tracks text holds");
                }
                key.row = static_cast<int32_t>(row);
                key.value = static_cast<float>(key.value + change.amount);
                if (change.valueFactor != 1) key.value = static_cast<float>(mean + (key.value - mean) * change.valueFactor);
                if (change.step > 0) {
                    key.value = std::strtof(valueText(key.value, change.step).c_str(), nullptr);
                }
                if (!std::isfinite(key.value)) {
                    restore(before);
                    return refuse(name + ": a value would leave the range of a float");
                }
                moved.emplace_back(name, key.row);
                landed.push_back(key.row);
            }
            keys.emplace_back(key, static_cast<int>(k) | selectedOrigin);
        }
        // A key not selected where a selected one lands gives way.
        const size_t had = keys.size();
        keys.erase(std::remove_if(keys.begin(), keys.end(),
                                  [&](const auto& k) {
                                      return !(k.second & selectedOrigin) &&
                                             std::find(landed.begin(), landed.end(), k.first.row) != landed.end();
                                  }),
                   keys.end());
        replaced_ += had - keys.size();
        for (auto& k : keys) k.second &= ~selectedOrigin;
        std::stable_sort(keys.begin(), keys.end(), [](const auto& a, const auto& b) { return a.first.row < b.first.row; });
        std::vector<TrackKey> sorted;
        std::vector<int> origin;
        for (const auto& [key, k] : keys) {
            sorted.push_back(key);
            origin.push_back(k);
        }
        if (!document_.rewriteTrack(name, sorted, origin, message)) {
            restore(before);
            return refuse(message);
        }
    }
    selection_ = moved;
    return apply(amending.empty() ? before : amending, "", undoable);
}

bool TrackEditor::dragSelection(int32_t rows, double amount, float step, bool first)
{
    // Each step is worked out from where the drag began, so that a key the
    // selection passes over comes back when it moves on.
    const std::string current = document_.text();
    const auto currentSelection = selection_;
    if (first || dragBase_.empty()) {
        dragBase_ = current;
        dragBaseSelection_ = selection_;
    } else {
        restore(dragBase_);
        selection_ = dragBaseSelection_;
    }
    Change change;
    change.rows = rows;
    change.amount = amount;
    change.step = amount != 0 ? step : 0;
    size_t count = 0;
    if (transform(change, first, count, first ? "" : current)) return true;
    restore(current);
    selection_ = currentSelection;
    return false;
}

void TrackEditor::keepSelectedKeys()
{
    selection_.erase(std::remove_if(selection_.begin(), selection_.end(),
                                    [&](const std::pair<std::string, int32_t>& key) {
                                        const TextTrack* track = document_.find(key.first);
                                        return !track || std::none_of(track->keys.begin(), track->keys.end(),
                                                                      [&](const TrackKey& k) { return k.row == key.second; });
                                    }),
                     selection_.end());
}

bool TrackEditor::setKeyLive(const std::string& track, int32_t row, float value, bool first, int32_t interpolation)
{
    if (!store_) return refuse(needsTracks);
    if (!known(track)) return refuse("unknown track '" + track + "'");
    const std::string before = document_.text();
    std::string message;
    if (!document_.setKey(track, row, value, interpolation, message)) return refuse(message);
    return apply(before, track, first);
}

bool TrackEditor::eachSelectedKey(size_t& count,
                                  const std::function<bool(const std::string&, int32_t, std::string&)>& edit)
{
    const std::string before = document_.text();
    std::string message;
    count = 0;
    for (const auto& [name, row] : selection_) {
        const TextTrack* track = document_.find(name);
        const int32_t at = row; // a structured binding cannot be captured in C++17
        if (!track || std::none_of(track->keys.begin(), track->keys.end(), [at](const TrackKey& k) { return k.row == at; })) {
            continue;
        }
        if (!edit(name, row, message)) {
            restore(before);
            return refuse(message);
        }
        ++count;
    }
    return true;
}

bool TrackEditor::setInterpolationOfKeys(int32_t mode)
{
    if (!store_) return refuse(needsTracks);
    if (selection_.empty()) return run("interp " + selected() + " " + interpolationName(mode));
    const std::string before = document_.text();
    size_t count = 0;
    if (!eachSelectedKey(count, [&](const std::string& name, int32_t row, std::string& message) {
            return document_.setInterpolation(name, row, mode, message);
        })) {
        return false;
    }
    hooks_.say(std::to_string(count) + (count == 1 ? " key " : " keys ") + interpolationName(mode));
    return apply(before, "");
}

void TrackEditor::setSelection(std::vector<std::pair<std::string, int32_t>> keys, bool quiet)
{
    selection_ = std::move(keys);
    if (quiet) return;
    std::vector<std::string> tracks;
    for (const auto& [name, row] : selection_) {
        if (std::find(tracks.begin(), tracks.end(), name) == tracks.end()) tracks.push_back(name);
    }
    hooks_.say(selection_.empty() ? std::string("nothing selected")
                                  : "selected " + std::to_string(selection_.size()) +
                                        (selection_.size() == 1 ? " key of " : " keys of ") +
                                        std::to_string(tracks.size()) + (tracks.size() == 1 ? " track" : " tracks"));
}

bool TrackEditor::deleteSelection()
{
    if (!store_) return refuse(needsTracks);
    if (selection_.empty()) return refuse("nothing is selected");
    const std::string before = document_.text();
    size_t count = 0;
    if (!eachSelectedKey(count, [&](const std::string& name, int32_t row, std::string& message) {
            return document_.removeKey(name, row, message);
        })) {
        return false;
    }
    selection_.clear();
    hooks_.say("deleted " + std::to_string(count) + (count == 1 ? " key" : " keys"));
    return apply(before, "");
}

bool TrackEditor::copySelection()
{
    if (selection_.empty()) return refuse("nothing is selected");
    int32_t first = INT32_MAX, last = INT32_MIN;
    std::map<std::string, std::vector<TrackKey>> keys;
    size_t count = 0;
    for (const auto& [name, row] : selection_) {
        const TextTrack* track = document_.find(name);
        for (size_t k = 0; track && k < track->keys.size(); ++k) {
            if (track->keys[k].row != row) continue;
            keys[name].push_back(track->keys[k]);
            first = std::min(first, row);
            last = std::max(last, row);
            ++count;
        }
    }
    if (count == 0) return refuse("the selected keys are gone");
    Clipboard copied;
    copied.all = keys.size() > 1;
    copied.length = last - first;
    for (auto& [name, list] : keys) {
        std::sort(list.begin(), list.end(), [](const TrackKey& a, const TrackKey& b) { return a.row < b.row; });
        for (TrackKey& key : list) key.row -= first;
        copied.tracks.emplace_back(name, list);
    }
    clipboard_ = copied;
    if (!copied.all) select(copied.tracks.front().first);
    hooks_.say("copied " + std::to_string(count) + (count == 1 ? " key of " : " keys of ") +
               std::to_string(keys.size()) + (keys.size() == 1 ? " track" : " tracks"));
    return true;
}
