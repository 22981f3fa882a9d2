// live/core/edit_history: the track editor's undo and redo. Each step keeps the
// edit itself, the bytes it replaced and the bytes it put in their place,
// not a copy of the whole text: a key nudged in a text of megabytes costs a
// few dozen bytes. At most 256 steps and 64 MiB of them are kept; the
// oldest go first.
//
//     EditHistory history;
//     history.remember(before, document.text());   // after each edit
//     std::string text = document.text();
//     if (history.undo(text)) document.load(text);  // text is a step older
#pragma once

#include <cstddef>
#include <deque>
#include <string>

class EditHistory {
public:
    static constexpr size_t maxSteps = 256;
    static constexpr size_t maxBytes = size_t(64) << 20;

    // An edit that turned `before` into `after`; what redo held is
    // forgotten. The same text twice is no step.
    void remember(const std::string& before, const std::string& after);

    // The newest step goes on to `after` (from `current`, the text it left):
    // a drag of many moves undoes in one.
    void amend(const std::string& current, const std::string& after);

    // Takes `text` a step back or forth. False, with `text` as it was, when
    // there is no step, or the text is not the one the step left.
    bool undo(std::string& text);
    bool redo(std::string& text);

    size_t undoSteps() const { return undo_.size(); }
    size_t redoSteps() const { return redo_.size(); }
    size_t bytes() const { return bytes_; }

private:
    struct Step {
        size_t at = 0;
        std::string before; // the bytes at `at` before the edit
        std::string after;  // and after it
    };
    static Step between(const std::string& before, const std::string& after);
    static bool apply(const Step& step, bool backwards, std::string& text);
    bool travel(std::deque<Step>& from, std::deque<Step>& to, bool backwards, std::string& text);
    void trim();

    std::deque<Step> undo_, redo_;
    size_t bytes_ = 0;
};
