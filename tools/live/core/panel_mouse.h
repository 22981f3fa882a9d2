// live/core/panel_mouse: the mouse over the track panel, the same for every
// host: scrubbing on the ruler and the strip, picking and folding, mute and
// solo, selecting keys (a click, shift, a box), dragging them in time or
// value (each drag one step of undo), the splitter, and the loop's band (a
// drag draws a loop or moves it, a click clears it). The host gives the panel as it lays it
// out and says what the demo shows (MouseHost); the drags in progress are
// the host's MouseState, which its drawing reads (the box, the held range).
//
//     pressPanel(mouse, host, editor, x, y, shift);   // a left button down
//     movePointer(mouse, host, editor, x, y);         // each motion
//     releasePanel(mouse, host, editor);              // the button up
#pragma once

#include "editor.h"
#include "panel.h"
#include "transport.h"

#include <string>
#include <vector>

struct MouseState {
    bool scrubbing = false;      // the strip or the ruler held
    bool scrubbingRuler = false;
    bool scrubExact = false;     // shift held as the ruler was taken: rows between rows
    // A key dragged in the curve view: its row and value.
    int dragFrom = -1;           // the key's row, or -1
    bool dragStarted = false;
    bool dragByBeats = false;
    float dragLow = 0, dragHigh = 1; // the curve view's range, held while a key is dragged
    double dragStep = 0.01;          // and the step its value snaps to
    // The selection dragged: in time in the lanes, in value in the curves.
    bool movingSelection = false;
    bool shiftingSelection = false;
    double dragRow = 0;          // where the drag began
    float dragValue = 0;
    int movedRows = 0;           // what it has done so far
    double shiftedBy = 0;
    bool selectionDragged = false;
    // A box drawn across the lanes.
    bool boxing = false;
    bool boxAdds = false;
    float boxX0 = 0, boxY0 = 0, boxX1 = 0, boxY1 = 0;
    int mouseX = -1, mouseY = -1; // where the pointer is, held or not
    bool splitting = false;       // the splitter held
    // The loop's band: a drag draws a loop, or moves the one it began in.
    enum class LoopDrag { None, Draw, Move } loopDrag = LoopDrag::None;
    double loopPressRow = 0;
    double loopWas[2] = {0, 0};
    bool loopDragged = false;

    // The curve view's range held while a key or the selection is dragged.
    bool holdsRange() const { return dragFrom >= 0 || shiftingSelection; }
};

class MouseHost {
public:
    virtual ~MouseHost() = default;
    virtual PanelLayout layout() = 0;
    virtual PanelFacts facts() = 0;
    virtual const std::vector<std::string>& names() = 0; // the demo's tracks, in order
    virtual PanelView& view() = 0;
    virtual void moveTo(double row) = 0;
    virtual void openPrompt(const std::string& text) = 0;
    virtual void say(const std::string& line) = 0;
    virtual Transport& time() = 0;
    // A loop chosen on the band (a span under a row: none), said, and the
    // music moved into it where it played outside.
    virtual void setLoop(double from, double to) = 0;
    // The splitter let go at view().split: a host that keeps it keeps it.
    virtual void splitChosen() = 0;
};

void pressPanel(MouseState& mouse, MouseHost& host, TrackEditor& editor, int x, int y, bool shift);
void movePointer(MouseState& mouse, MouseHost& host, TrackEditor& editor, int x, int y);
void releasePanel(MouseState& mouse, MouseHost& host, TrackEditor& editor);
void wheelOverPanel(MouseHost& host, int direction, int x, int y);

// The track under the pointer (its lane or its name), or "" for none.
std::string trackUnderPointer(const MouseState& mouse, MouseHost& host);
