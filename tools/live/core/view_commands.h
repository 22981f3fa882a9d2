// live/core/view_commands: the view's commands of the command language, the
// ones every host runs the same: filter, fold, unfold, mute, solo, unmute,
// panel, zoom, split and inspector. They change what the panel shows, never
// the text; the host holds the state (ViewState: references into its own)
// and says what was done. The rest of the view's commands (loop, log, help)
// are a host's own.
//
//     const ViewDone done = runViewCommand(words, {view, panel, muted, soloed}, names, row);
//     if (done.outcome == ViewOutcome::NotMine) ...  // the host's own command
//     if (done.mutesChanged) ...                     // the demo's tracks, held or not, again
#pragma once

#include "panel.h"

#include <cstdint>
#include <set>
#include <string>
#include <vector>

struct ViewState {
    PanelView& view;
    bool& panel;            // the panel shown
    std::set<int>& muted;   // tracks by index, held at their first key's value
    std::set<int>& soloed;  // tracks by index: the others held
};

enum class ViewOutcome { NotMine, Done, Refused };

struct ViewDone {
    ViewOutcome outcome = ViewOutcome::NotMine;
    std::string said;          // what was done, or why it was refused
    bool mutesChanged = false; // muted or soloed changed: every track to the demo again
    bool splitChanged = false; // the split changed: a host that keeps it keeps it
};

// Runs `words` (a command and its arguments, checked against the command
// table) on `state`; `names` the demo's tracks in order, `row` the row shown.
ViewDone runViewCommand(const std::vector<std::string>& words, ViewState state, const std::vector<std::string>& names,
                        double row);

// `loop POS POS|off` read: `off`, or the span FROM before TO. False with
// why where it is neither; the loop itself is the host's transport's.
bool readLoopCommand(const std::vector<std::string>& words, bool& off, int32_t& from, int32_t& to, std::string& error);

// The split as a command and the view's file write it ("0.48"), and read
// back: false where it is not a share from leastSplit to mostSplit.
std::string splitText(double split);
bool readSplit(const std::string& word, double& split);
