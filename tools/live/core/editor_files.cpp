// The track editor and its file: reading it back when it is saved from
// outside, writing the edits when they are due, and keeping every text that
// cannot go where it belongs in a file of its own.
#include "editor.h"

namespace {

using Clock = std::chrono::steady_clock;

// Edits come in bursts (a key held down, a script): they are written
// together once the burst has paused this long, and always within a second.
constexpr auto writeDelay = std::chrono::milliseconds(100);
constexpr auto maxDelay = std::chrono::milliseconds(800);
constexpr auto retryDelay = std::chrono::seconds(1);

} // namespace

bool TrackEditor::reload()
{
    if (!store_) return true;
    std::string bytes, message;
    if (!store_->read(bytes, message)) {
        hooks_.showError(name_, message);
        hooks_.say(message);
        return false;
    }
    // The editor's own write coming back, or nothing new.
    if (loaded_ && (bytes == written_ || bytes == document_.text())) {
        written_ = bytes;
        if (diskRejected_) hooks_.showError(name_, "");
        diskRejected_ = false;
        rejected_.clear();
        return true;
    }
    TrackDocument loaded;
    TextError error;
    if (!loaded.load(bytes, name_, error)) {
        // Kept as it is on disk: edits wait in memory until it parses.
        diskRejected_ = true;
        rejected_ = bytes;
        const std::string line = error.describe() + "; the file is left as it is and edits stay here until it "
                                                    "parses, or 'save' keeps it as " + name_ + ".rejected and writes them";
        hooks_.showError(name_, line);
        hooks_.say(line);
        return false;
    }
    if (loaded_) {
        if (unwritten()) {
            hooks_.say(name_ + ": saved outside while edits were not written; the saved file wins, undo brings the "
                               "edits back");
        }
        history_.remember(document_.text(), bytes);
        amendable_ = false;
    }
    loaded.lastRow = document_.lastRow;
    document_ = std::move(loaded);
    written_ = bytes;
    loaded_ = true;
    diskRejected_ = false;
    rejected_.clear();
    keepSelectedKeys();
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

void TrackEditor::tick()
{
    if (!unwritten() || diskRejected_) {
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

bool TrackEditor::diskChanged()
{
    std::string bytes, message;
    if (!loaded_ || !store_->read(bytes, message) || bytes == written_) return false;
    reload();
    return true;
}

bool TrackEditor::writeNow()
{
    if (!unwritten()) return true;
    if (diskRejected_) return false;
    // A save from outside that the watcher has not passed on yet wins too.
    if (diskChanged()) return !unwritten();
    return writeText();
}

bool TrackEditor::writeText()
{
    // Through a link, the file it points at is written, and the link stays.
    std::string message;
    lastTry_ = Clock::now();
    if (!store_->write(document_.text(), false, message)) {
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

bool TrackEditor::save()
{
    if (!diskRejected_) return writeNow();
    // Read again: the maker may have mended it meanwhile.
    std::string bytes, message;
    if (store_->read(bytes, message) && bytes != rejected_ && reload()) return writeNow();
    const std::string target = store_->linkTarget();
    if (!target.empty()) {
        // The link's target is not this editor's to write: the link gives
        // way to the tracks text, and what it pointed at stays as it was.
        if (!store_->write(document_.text(), true, message)) {
            hooks_.say(name_ + ": not written: " + message);
            return false;
        }
        hooks_.say(name_ + " pointed at " + target + ", which is not a tracks text; " + name_ +
                   " is now a file of its own, " + target + " is left as it was");
    } else {
        const std::string kept = store_->keepBeside("rejected", rejected_, message);
        if (kept.empty()) {
            hooks_.say(name_ + ": not written: the text that did not parse cannot be kept (" + message + ")");
            return false;
        }
        if (!writeText()) return false;
        hooks_.say(name_ + ": the text that did not parse is kept as " + kept);
    }
    written_ = document_.text();
    diskRejected_ = false;
    rejected_.clear();
    hooks_.showError(name_, "");
    return true;
}

std::string TrackEditor::writeUnsaved()
{
    if (!store_) return "";
    std::string message;
    const std::string kept = store_->keepBeside("unsaved", document_.text(), message);
    return kept.empty() ? store_->keepElsewhere(document_.text()) : kept;
}
