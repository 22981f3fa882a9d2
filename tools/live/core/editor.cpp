#include "editor.h"


#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <sstream>

namespace {

using Clock = std::chrono::steady_clock;

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

const char* const TrackEditor::needsTracks =
    "editing keys needs --tracks FILE.tracks; make one from the track files with "
    "synctool dump DIR/sync_*.track > FILE.tracks";

TrackEditor::TrackEditor(std::unique_ptr<TextStore> store, std::vector<std::string> trackNames, EditorHooks hooks)
    : store_(std::move(store)), name_(store_ ? store_->name() : ""), trackNames_(std::move(trackNames)),
      hooks_(std::move(hooks))
{
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

bool TrackEditor::refuse(const std::string& message)
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
    const std::string& after = document_.text();
    if (after == before) {
        if (undoable) amendable_ = false;
        hooks_.showError("edit", "");
        return true;
    }
    // A drag's later moves join the step its first move made.
    if (undoable || !amendable_) history_.remember(before, after);
    else history_.amend(before, after);
    amendable_ = true;
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
        if (!known(track)) return refuse("unknown track '" + track + "'");
        selected_ = indexOf(track);
        return true;
    };
    const auto& table = editorCommands();
    const auto entry = std::find_if(table.begin(), table.end(), [&](const EditorCommand& c) { return command == c.name; });
    if (entry == table.end() || !arguments(static_cast<size_t>(entry->least), static_cast<size_t>(entry->most))) {
        return refuse("'" + line.substr(0, 200) + "' is not a command: " + editorCommandHelp());
    }
    if (entry->view) return hooks_.view ? hooks_.view(words) : refuse("'" + command + "' needs the player's window");
    if (entry->edits && !store_) return refuse(needsTracks);
    const std::string before = document_.text();
    std::string message, track;
    if (command == "goto") {
        int32_t row = 0;
        if (const int32_t* marked = document_.marker(words[1])) {
            if (*marked < 0 || *marked > document_.lastRow) {
                return refuse("marker " + words[1] + " is at row " + std::to_string(*marked) + ", outside the music (0 to " +
                              std::to_string(document_.lastRow) + ")");
            }
            hooks_.moveTo(*marked);
            hooks_.say("at marker " + words[1] + ", row " + std::to_string(*marked));
            return true;
        }
        if (!parseTrackPosition(words[1], row, message)) {
            const bool position = words[1].find_first_not_of("0123456789:+-") == std::string::npos;
            return refuse(position ? message : "no marker named '" + words[1].substr(0, 64) + "'");
        }
        if (row < 0 || row > document_.lastRow) return refuse("row " + std::to_string(row) + " is outside the music");
        hooks_.moveTo(row);
        return true;
    }
    if (command == "key" && arguments(2, 3)) {
        if (!trackArgument(track)) return false;
        char* end = nullptr;
        const float value = std::strtof(words[2].c_str(), &end);
        if (*end != '\0' || !std::isfinite(value)) return refuse("'" + words[2] + "' is not a finite number");
        const int32_t mode = words.size() == 4 ? modeCode(words[3]) : -1;
        if (words.size() == 4 && mode < 0) return refuse("'" + words[3] + "' is not step, linear, smooth or ramp");
        if (!document_.setKey(track, currentRow(), value, mode, message, words[2])) return refuse(message);
        if (document_.text() == before) {
            hooks_.say(track + ": the key at row " + std::to_string(currentRow()) + " is " + words[2] + " already");
            return true;
        }
        hooks_.say(track + ": key " + shortestFloatText(value) + " at row " + std::to_string(currentRow()));
        return apply(before, track);
    }
    if (command == "del" && arguments(1, 1)) {
        if (!trackArgument(track)) return false;
        if (!document_.removeKey(track, currentRow(), message)) return refuse(message);
        hooks_.say(track + ": key at row " + std::to_string(currentRow()) + " deleted");
        return apply(before, track);
    }
    if (command == "interp" && arguments(2, 2)) {
        if (!trackArgument(track)) return false;
        const int32_t mode = modeCode(words[2]);
        if (mode < 0) return refuse("'" + words[2] + "' is not step, linear, smooth or ramp");
        const int32_t row = currentRow();
        const TrackKey* at = keyAtOrBefore(track, row);
        if (!at) return refuse(track + " has no key at or before row " + std::to_string(row));
        if (!document_.setInterpolation(track, at->row, mode, message)) return refuse(message);
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
        if (*end != '\0' || rows < 1 || rows > document_.lastRow) return refuse("'" + words[2] + "' is not a count of rows");
        if (!targets(words[1], names)) return false;
        std::string said;
        if (!shift(names, static_cast<int32_t>(command == "insert" ? rows : -rows), said)) {
            restore(before);
            return false;
        }
        hooks_.say(command + " " + words[2] + " rows at row " + std::to_string(currentRow()) + " in " + words[1] + said);
        return apply(before, words[1] == "all" ? "" : words[1]);
    }
    if (arguments(0, 0)) {
        if (command == "undo") return undo() || refuse("nothing to undo");
        if (command == "redo") return redo() || refuse("nothing to redo");
        if (command == "save") return save();
        if (command == "play" || command == "pause") {
            hooks_.setPaused(command == "pause");
            return true;
        }
    }
    if (command == "mark" || command == "unmark") return markCommand(words);
    if (command == "select" || command == "deselect") return selectCommand(words);
    if (command == "move" || command == "shift" || command == "scale") return changeSelection(words);
    return refuse("'" + command + "' is in the command table but not handled");
}

bool TrackEditor::markCommand(const std::vector<std::string>& words)
{
    const std::string before = document_.text();
    const std::string& name = words[1];
    std::string message;
    if (words[0] == "unmark") {
        if (!document_.removeMarker(name, message)) return refuse(message);
        hooks_.say("marker " + name + " taken away");
        return apply(before, "");
    }
    int32_t row = currentRow();
    if (words.size() == 3 && !parseTrackPosition(words[2], row, message)) return refuse(message);
    if (!document_.setMarker(name, row, message)) return refuse(message);
    hooks_.say("marker " + name + " at row " + std::to_string(row));
    return apply(before, "");
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

int32_t TrackEditor::dragKey(int32_t from, int32_t to, float value, bool first, const std::string& typed)
{
    if (!store_) {
        refuse(needsTracks);
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
        !document_.setKey(selected(), to, value, -1, message, typed)) {
        restore(before);
        refuse(message);
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

std::string TrackEditor::valueText(double value, float step)
{
    const int decimals = std::clamp(static_cast<int>(-std::floor(std::log10(static_cast<double>(step)) + 1e-6)), 0, 9);
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    // No "-0.0": a value that rounds to nothing is 0.
    if (std::strtod(text, nullptr) == 0.0) return "0";
    // Nor zeros the step does not need: 1, not 1.000.
    std::string out = text;
    if (out.find('.') != std::string::npos) {
        out.erase(out.find_last_not_of('0') + 1);
        if (out.back() == '.') out.pop_back();
    }
    return out;
}

void TrackEditor::nudge(int steps, bool coarse)
{
    const std::string& track = selected();
    const float step = stepFor(track, coarse);
    const double value = static_cast<double>(hooks_.valueAt(track)) + steps * static_cast<double>(step);
    if (!std::isfinite(value) || std::fabs(value) > 3.0e38) {
        refuse(track + ": the value would leave the range of a float");
        return;
    }
    run("key " + track + " " + valueText(value, step));
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
    if (!store_) {
        refuse(needsTracks);
        return;
    }
    const std::string before = document_.text();
    std::string message;
    const int32_t from = currentRow(), to = from + rows;
    if (!document_.moveKey(selected(), from, to, message)) {
        refuse(message);
        return;
    }
    hooks_.say(selected() + ": key moved from row " + std::to_string(from) + " to " + std::to_string(to));
    apply(before, selected());
    hooks_.moveTo(to);
}

bool TrackEditor::undo()
{
    return travel(true);
}

bool TrackEditor::redo()
{
    return travel(false);
}

// A step of undo, or of redo, onto the text and to the demo.
bool TrackEditor::travel(bool back)
{
    std::string text = document_.text();
    if (!(back ? history_.undo(text) : history_.redo(text))) return false;
    restore(text);
    keepSelectedKeys();
    changedAll();
    hooks_.say(std::string(back ? "undone (" : "redone (") +
               std::to_string(back ? history_.undoSteps() : history_.redoSteps()) + " more)");
    return true;
}

void TrackEditor::setTrackNames(std::vector<std::string> trackNames)
{
    const std::string was = trackNames_[selected_];
    trackNames_ = std::move(trackNames);
    selected_ = std::min(indexOf(was), trackNames_.size() - 1);
    for (const std::string& name : trackNames_) hooks_.keysChanged(name, document_.find(name));
}

void TrackEditor::setLastRow(int32_t row)
{
    document_.lastRow = row;
}

void TrackEditor::changedAll()
{
    for (const std::string& name : trackNames_) hooks_.keysChanged(name, document_.find(name));
    changed_ = Clock::now();
}
