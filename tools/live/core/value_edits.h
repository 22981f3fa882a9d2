// live/core/value_edits: the inspector's edits, and a fader recorded. It
// turns what the maker does with the inspector (value_pane.h draws it) into
// the editor's edits: paused, a slider sets the key at the row, one step of
// undo from its first change on; while the music plays, a slider held
// writes its value as a key at every row the music passes, as one step of
// undo, and a second pass over the same rows writes over them. The host
// says what the demo is doing (InspectorHost); the inspector holds the
// slider's range and the pass, and nothing else.
//
//     Inspector inspector(host);
//     inspector.drawAndEdit(layout, editor); // between guiBeginFrame and guiEndFrame, when shown
//     inspector.follow(editor, shown);       // every frame: the pass goes on with the music
#pragma once

#include "editor.h"
#include "panel.h"
#include "value_pane.h"

#include <functional>
#include <string>
#include <vector>

struct InspectorHost {
    std::function<double()> row;   // the row shown now
    std::function<bool()> playing; // the music plays at full speed
    std::function<float(const std::string& track, double row)> value; // the demo's value of a track
    std::function<bool(const std::string& track)> known;              // a track of the demo
    // The parameter's declared range and whether it is a component of a
    // colour[...]; false where the shader declares no range.
    std::function<bool(const std::string& track, float& low, float& high, bool& colour)> range;
    std::function<void(const std::string& line)> say;
};

class Inspector {
public:
    explicit Inspector(InspectorHost host) : host_(std::move(host)) {}

    // Draws the inspector for the editor's selected track and makes what
    // the maker did with it the editor's edits.
    void drawAndEdit(const PanelLayout& layout, TrackEditor& editor);

    // Every frame, shown or not: a pass goes on at the rows the music
    // passed, and ends when the music stops or the inspector is out of
    // sight (`shown` false), where it says what it wrote.
    void follow(TrackEditor& editor, bool shown);

    bool recording() const { return pass_.active; }

    // What the inspector shows now (for drawing and for tests).
    InspectorFacts facts(const TrackEditor& editor) const;

private:
    struct Pass {
        bool active = false;
        bool first = true;               // the next key written begins the step of undo
        std::vector<std::string> tracks; // one, or a colour's three
        std::vector<float> values;       // held now
        int lastRow = 0;                 // the last row written
        int firstRow = 0, lastWritten = 0;
        int written = 0;                 // rows written in this pass
    };
    void write(TrackEditor& editor, int row);
    void end();
    std::vector<std::string> colourTracks(const std::string& track) const;

    InspectorHost host_;
    Pass pass_;
    bool fresh_ = false; // the control was just taken: the next edit is a step of undo
    bool held_ = false;  // the slider is held, over this range
    float heldLow_ = 0, heldHigh_ = 1;
};
