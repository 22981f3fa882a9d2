// live/core/value_pane: the inspector, at the right of the panel's curve view: the
// selected track's value at the row (its key's, where one stands there) on a
// slider over the parameter's range, or three tracks of a colour[...] on a
// colour picker, and the interpolation of the key at or before the row (or
// of the selected keys) chosen by name from a list. It draws with ImGui and
// holds no state of the player's: it is given what to show and says what
// the maker did, which the player turns into edits (recording.cpp).
//
//     const InspectorFacts facts = ...;               // from the editor
//     const InspectorAction did = drawInspector(layout, facts);
//     if (did.kind == InspectorAction::Value) ...     // did.first: a new drag
#pragma once

#include "panel.h"

#include <string>

struct InspectorFacts {
    std::string track;        // the selected track
    int row = 0;              // the whole row the edits go to
    bool keyHere = false;     // a key of the track stands on the row
    int interpolation = -1;   // of the key at or before the row (-1: none)
    float value = 0;          // the track's value at the row
    float low = 0, high = 1;  // the slider's range: the parameter's, else its keys'
    bool colour = false;      // the track is a component of a colour
    std::string colourTracks[3]; // its colour's red, green and blue tracks
    float colourValues[3] = {0, 0, 0};
    size_t selectedKeys = 0;  // keys selected: the list sets their interpolation
    bool playing = false;     // a slider held while the music plays records
    bool recording = false;
    bool editable = true;     // a tracks text takes edits
};

struct InspectorAction {
    enum Kind { None, Value, Colour, Interpolation } kind = None;
    bool first = false;   // the first change since the control was taken
    bool held = false;    // the control is still held
    bool released = false; // the slider or the picker was let go this frame
    bool changed = false;  // the maker moved it this frame (held still: false)
    float value = 0;
    float colour[3] = {0, 0, 0};
    int interpolation = -1;
};

// Draws the inspector (between guiBeginFrame and guiEndFrame) and returns
// what the maker did with it this frame.
InspectorAction drawInspector(const PanelLayout& layout, const InspectorFacts& facts);
