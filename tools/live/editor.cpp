#include "editor.h"

#include "files.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>

namespace fs = std::filesystem;

const char* const editorCommandHelp =
    "goto POS | key TRACK VALUE [step|linear|smooth|ramp] | del TRACK | interp TRACK MODE | copy TRACK|all POS POS | "
    "paste TRACK|all | insert TRACK|all ROWS | remove TRACK|all ROWS | undo | redo | save | play | pause";

namespace {

using Clock = std::chrono::steady_clock;

const char* const needsTracks =
    "editing keys needs --tracks FILE.tracks; make one from the track files with "
    "synctool dump DIR/sync_*.track > FILE.tracks";

constexpr size_t undoSteps = 256;
// Edits come in bursts (a key held down, a script): they are written
// together once the burst has paused this long, and always within a second.
constexpr auto writeDelay = std::chrono::milliseconds(100);
constexpr auto maxDelay = std::chrono::milliseconds(800);
constexpr auto retryDelay = std::chrono::seconds(1);

int32_t modeCode(const std::string& word)
{
    for (int32_t code = 0; code < 4; ++code) {
        if (word == interpolationName(code)) return code;
    }
    return -1;
}

// 1, 2 or 5 times a power of ten, the nearest at or below `step`.
float niceStep(double step)
{
    if (!(step > 0) || !std::isfinite(step)) return 1.0f;
    const double power = std::pow(10.0, std::floor(std::log10(step)));
    const double lead = step / power;
    return static_cast<float>(power * (lead >= 5 ? 5 : lead >= 2 ? 2 : 1));
}

} // namespace

TrackEditor::TrackEditor(std::string path, std::vector<std::string> trackNames, EditorHooks hooks)
    : path_(std::move(path)), name_(fs::path(path_).filename().string()), trackNames_(std::move(trackNames)),
      hooks_(std::move(hooks))
{
}

bool TrackEditor::reload()
{
    if (path_.empty()) return true;
    std::string bytes, message;
    if (!readWholeFile(path_, bytes, message, textFileLimit)) {
        hooks_.showError(name_, message);
        hooks_.say(message);
        return false;
    }
    // The editor's own write coming back, or nothing new.
    if (bytes == written_ || bytes == document_.text()) return true;
    TrackDocument loaded;
    TextError error;
    if (!loaded.load(bytes, name_, error)) {
        hooks_.showError(name_, error.describe());
        hooks_.say(error.describe() + " (the tracks stay as they were)");
        return false;
    }
    const bool first = written_.empty() && document_.text().empty();
    if (!first) {
        if (unwritten()) {
            hooks_.say(name_ + ": saved outside while edits were not written; the saved file wins, undo brings the "
                               "edits back");
        }
        remember(document_.text());
    }
    loaded.lastRow = document_.lastRow;
    document_ = std::move(loaded);
    written_ = bytes;
    int found = 0;
    for (const std::string& track : trackNames_) {
        const TextTrack* keys = document_.find(track);
        found += keys ? 1 : 0;
        hooks_.keysChanged(track, keys);
    }
    hooks_.showError(name_, "");
    hooks_.say(name_ + ": " + std::to_string(found) + " of " + std::to_string(trackNames_.size()) + " tracks");
    return true;
}

void TrackEditor::remember(const std::string& text)
{
    undo_.push_back(text);
    if (undo_.size() > undoSteps) undo_.erase(undo_.begin());
    redo_.clear();
}

int32_t TrackEditor::currentRow() const
{
    return static_cast<int32_t>(std::floor(hooks_.row() + 1e-6));
}

size_t TrackEditor::indexOf(const std::string& track) const
{
    return static_cast<size_t>(std::find(trackNames_.begin(), trackNames_.end(), track) - trackNames_.begin());
}

bool TrackEditor::known(const std::string& track) const
{
    return indexOf(track) < trackNames_.size();
}

const TrackKey* TrackEditor::keyAtOrBefore(const std::string& track, int32_t row) const
{
    const TextTrack* keys = document_.find(track);
    const TrackKey* at = nullptr;
    for (size_t k = 0; keys && k < keys->keys.size() && keys->keys[k].row <= row; ++k) at = &keys->keys[k];
    return at;
}

bool TrackEditor::fail(const std::string& message)
{
    hooks_.say("error: " + message);
    std::fprintf(stderr, "error: %s\n", message.c_str());
    hooks_.showError("edit", "error: " + message);
    return false;
}

// After an edit of `track` ("" for any): undo keeps what was before, the demo
// gets the new keys, the write is due.
bool TrackEditor::apply(const std::string& before, const std::string& track, bool undoable)
{
    if (undoable) remember(before);
    for (const std::string& name : trackNames_) {
        if (track.empty() || name == track) hooks_.keysChanged(name, document_.find(name));
    }
    hooks_.showError("edit", "");
    changed_ = Clock::now();
    return true;
}

bool TrackEditor::run(const std::string& line)
{
    std::istringstream in(line);
    std::vector<std::string> words;
    for (std::string word; in >> word;) words.push_back(word);
    if (words.empty()) return true;
    const std::string& command = words[0];
    auto arguments = [&](size_t low, size_t high) { return words.size() >= low + 1 && words.size() <= high + 1; };
    auto trackArgument = [&](std::string& track) {
        track = words[1];
        if (!known(track)) return fail("unknown track '" + track + "'");
        selected_ = indexOf(track);
        return true;
    };
    const bool edit = command == "key" || command == "del" || command == "interp" || command == "undo" ||
                      command == "redo" || command == "save" || command == "copy" || command == "paste" ||
                      command == "insert" || command == "remove";
    if (edit && path_.empty()) return fail(needsTracks);
    const std::string before = document_.text();
    std::string message, track;
    if (command == "goto" && arguments(1, 1)) {
        int32_t row = 0;
        if (!parseTrackPosition(words[1], row, message)) return fail(message);
        if (row < 0 || row > document_.lastRow) return fail("row " + std::to_string(row) + " is outside the music");
        hooks_.moveTo(row);
        return true;
    }
    if (command == "key" && arguments(2, 3)) {
        if (!trackArgument(track)) return false;
        char* end = nullptr;
        const float value = std::strtof(words[2].c_str(), &end);
        if (*end != '\0' || !std::isfinite(value)) return fail("'" + words[2] + "' is not a finite number");
        const int32_t mode = words.size() == 4 ? modeCode(words[3]) : -1;
        if (words.size() == 4 && mode < 0) return fail("'" + words[3] + "' is not step, linear, smooth or ramp");
        if (!document_.setKey(track, currentRow(), value, mode, message)) return fail(message);
        hooks_.say(track + ": key " + shortestFloatText(value) + " at row " + std::to_string(currentRow()));
        return apply(before, track);
    }
    if (command == "del" && arguments(1, 1)) {
        if (!trackArgument(track)) return false;
        if (!document_.removeKey(track, currentRow(), message)) return fail(message);
        hooks_.say(track + ": key at row " + std::to_string(currentRow()) + " deleted");
        return apply(before, track);
    }
    if (command == "interp" && arguments(2, 2)) {
        if (!trackArgument(track)) return false;
        const int32_t mode = modeCode(words[2]);
        if (mode < 0) return fail("'" + words[2] + "' is not step, linear, smooth or ramp");
        const int32_t row = currentRow();
        const TrackKey* at = keyAtOrBefore(track, row);
        if (!at) return fail(track + " has no key at or before row " + std::to_string(row));
        if (!document_.setInterpolation(track, at->row, mode, message)) return fail(message);
        hooks_.say(track + ": key at row " + std::to_string(at->row) + " " + words[2]);
        return apply(before, track);
    }
    if (command == "copy" && arguments(3, 3)) return span(words);
    std::vector<std::string> names;
    if (command == "paste" && arguments(1, 1)) {
        if (!targets(words[1], names)) return false;
        if (!pasteInto(names)) {
            restore(before);
            return false;
        }
        return apply(before, words[1] == "all" ? "" : words[1]);
    }
    if ((command == "insert" || command == "remove") && arguments(2, 2)) {
        char* end = nullptr;
        const long rows = std::strtol(words[2].c_str(), &end, 10);
        if (*end != '\0' || rows < 1 || rows > document_.lastRow) return fail("'" + words[2] + "' is not a count of rows");
        if (!targets(words[1], names)) return false;
        if (!shift(names, static_cast<int32_t>(command == "insert" ? rows : -rows))) {
            restore(before);
            return false;
        }
        hooks_.say(command + " " + words[2] + " rows at row " + std::to_string(currentRow()) + " in " + words[1]);
        return apply(before, words[1] == "all" ? "" : words[1]);
    }
    if (arguments(0, 0)) {
        if (command == "undo") return undo() || fail("nothing to undo");
        if (command == "redo") return redo() || fail("nothing to redo");
        if (command == "save") return writeNow();
        if (command == "play" || command == "pause") {
            hooks_.setPaused(command == "pause");
            return true;
        }
    }
    return fail("'" + line + "' is not a command: " + editorCommandHelp);
}

void TrackEditor::restore(const std::string& text)
{
    TextError error;
    const int32_t lastRow = document_.lastRow;
    document_.load(text, name_, error);
    document_.lastRow = lastRow;
}

void TrackEditor::select(int step)
{
    const int count = static_cast<int>(trackNames_.size());
    selected_ = static_cast<size_t>(((static_cast<int>(selected_) + step) % count + count) % count);
    hooks_.say("track " + selected());
}

void TrackEditor::select(const std::string& track)
{
    const size_t index = indexOf(track);
    if (index == trackNames_.size() || index == selected_) return;
    selected_ = index;
    hooks_.say("track " + selected());
}

int32_t TrackEditor::dragKey(int32_t from, int32_t to, float value, bool first)
{
    if (path_.empty()) {
        fail(needsTracks);
        return -1;
    }
    const TextTrack* keys = document_.find(selected());
    if (!keys) return -1;
    const auto key = std::find_if(keys->keys.begin(), keys->keys.end(), [&](const TrackKey& k) { return k.row == from; });
    if (key == keys->keys.end()) return -1;
    // Between its neighbours, inside the music.
    int32_t low = 0, high = document_.lastRow;
    if (key != keys->keys.begin()) low = (key - 1)->row + 1;
    if (key + 1 != keys->keys.end()) high = (key + 1)->row - 1;
    to = std::clamp(to, low, high);
    const std::string before = document_.text();
    std::string message;
    if ((to != from && !document_.moveKey(selected(), from, to, message)) ||
        !document_.setKey(selected(), to, value, -1, message)) {
        restore(before);
        fail(message);
        return -1;
    }
    apply(before, selected(), first);
    return to;
}

float TrackEditor::stepFor(const std::string& track, bool coarse) const
{
    const TextTrack* keys = document_.find(track);
    double low = 0, high = 0;
    bool any = false;
    for (size_t k = 0; keys && k < keys->keys.size(); ++k) {
        const double value = keys->keys[k].value;
        if (!std::isfinite(value)) continue;
        low = any ? std::min(low, value) : value;
        high = any ? std::max(high, value) : value;
        any = true;
    }
    double range = high - low;
    if (range <= 0) range = std::max(1.0, std::fabs(high));
    return niceStep(range / (coarse ? 10.0 : 100.0));
}

void TrackEditor::nudge(int steps, bool coarse)
{
    const std::string& track = selected();
    const float value = hooks_.valueAt(track) + static_cast<float>(steps) * stepFor(track, coarse);
    run("key " + track + " " + shortestFloatText(value));
}

void TrackEditor::cycleInterpolation()
{
    const TrackKey* at = keyAtOrBefore(selected(), currentRow());
    const int32_t next = at ? (std::clamp(at->interpolation, -1, 3) + 1) % 4 : 0;
    run("interp " + selected() + " " + interpolationName(next));
}

void TrackEditor::deleteKey()
{
    run("del " + selected());
}

void TrackEditor::moveKey(int rows)
{
    if (path_.empty()) {
        fail(needsTracks);
        return;
    }
    const std::string before = document_.text();
    std::string message;
    const int32_t from = currentRow(), to = from + rows;
    if (!document_.moveKey(selected(), from, to, message)) {
        fail(message);
        return;
    }
    hooks_.say(selected() + ": key moved from row " + std::to_string(from) + " to " + std::to_string(to));
    apply(before, selected());
    hooks_.moveTo(to);
}

bool TrackEditor::undo()
{
    return travel(undo_, redo_, "undone");
}

bool TrackEditor::redo()
{
    return travel(redo_, undo_, "redone");
}

// Takes the newest text of `from`, keeping the text now on `to`.
bool TrackEditor::travel(std::vector<std::string>& from, std::vector<std::string>& to, const char* word)
{
    if (from.empty()) return false;
    to.push_back(document_.text());
    restore(from.back());
    from.pop_back();
    for (const std::string& name : trackNames_) hooks_.keysChanged(name, document_.find(name));
    changed_ = Clock::now();
    hooks_.say(std::string(word) + " (" + std::to_string(from.size()) + " more)");
    return true;
}

void TrackEditor::tick()
{
    if (!unwritten()) {
        waiting_ = false;
        return;
    }
    const auto now = Clock::now();
    if (!waiting_) {
        waiting_ = true;
        since_ = now;
    }
    const bool due = now - changed_ >= writeDelay || now - since_ >= maxDelay;
    if (!due || (failing_ && now - lastTry_ < retryDelay)) return;
    if (writeNow()) waiting_ = false;
}

bool TrackEditor::writeNow()
{
    if (!unwritten()) return true;
    // Through a link, the file it points at is written, and the link stays.
    std::error_code ignored;
    const fs::path target = fs::canonical(path_, ignored);
    std::string message;
    lastTry_ = Clock::now();
    if (!writeFileAtomically(ignored ? path_ : target.string(), document_.text(), message)) {
        if (!failing_) hooks_.say(name_ + ": not written: " + message + "; the edits are kept");
        hooks_.showError(name_ + " write", name_ + ": not written: " + message + "; the edits are kept");
        failing_ = true;
        return false;
    }
    written_ = document_.text();
    if (failing_) hooks_.showError(name_ + " write", "");
    failing_ = false;
    hooks_.say(name_ + ": written");
    return true;
}

std::string TrackEditor::writeUnsaved()
{
    const std::string unsaved = path_ + ".unsaved";
    std::string message;
    return writeFileAtomically(unsaved, document_.text(), message) ? unsaved : "";
}
