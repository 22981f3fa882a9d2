// live/panel: the track panel over the picture. From the top: the dope
// sheet, a lane a track in the demo's order, its keys on a window of rows
// around the current row; the curve view of the selected track over the
// same rows, its keys as dots on the curve the demo samples; and along the
// bottom, the timeline strip of the whole demo with its sections, cuts, loop
// and the current row. Bar and beat lines run through the first two.
//
//     const PanelLayout layout = layoutPanel(width, height, row, span);
//     drawPanel(text, layout, facts);                      // over the frame
//     const PanelHit hit = hitPanel(layout, facts, x, y);  // where a click lands
//
// Geometry only depends on the window and the rows shown, so that drawing
// and clicking agree.
#pragma once

#include "overlay.h"
#include "track_text.h"

#include <functional>
#include <string>
#include <vector>

struct PanelRect {
    float x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    bool contains(float x, float y) const { return x >= x0 && x < x1 && y >= y0 && y < y1; }
};

struct PanelLayout {
    int width = 0, height = 0;
    double row = 0;            // the current row, at the middle
    double firstRow = 0;       // the rows the dope sheet and the curve view show
    double lastRow = 0;
    PanelRect names, lanes;    // the dope sheet: names on the left, lanes on the right
    float lane = 0;            // a lane's height
    PanelRect curve, strip;
    float textScale = 1;
};

// What the panel shows, by track index in the demo's order.
struct PanelFacts {
    std::vector<std::string> names;
    int selected = 0;
    int selectedKey = -1;       // a key's row in the selected track, or -1
    std::function<const TextTrack*(int)> keys; // nullptr: none known
    std::function<float(int, double)> value;   // the demo's value of a track at a row
    std::vector<double> cuts;
    std::vector<std::pair<double, std::string>> sections;
    bool loop = false;
    double loopFrom = 0, loopTo = 0;
    double lastRow = 1147.5;
    bool fixedRange = false;    // the curve view's value range held (through a drag)
    float low = 0, high = 1;
};

// `span` rows around `row` in the dope sheet and the curve view.
PanelLayout layoutPanel(int width, int height, double row, double span);

// The curve view's value range: what the selected track takes on the rows
// shown, its keys there included, with a margin; or the range held.
void curveRange(const PanelLayout& layout, const PanelFacts& facts, float& low, float& high);

void drawPanel(OverlayText& text, const PanelLayout& layout, const PanelFacts& facts);

struct PanelHit {
    enum Where { Nothing, Strip, Lane, Curve } where = Nothing;
    double row = 0;   // the row under the point (the strip: of the whole demo)
    int track = -1;   // Lane: the track of the lane
    int key = -1;     // Lane, Curve: the row of a key within reach, or -1
    float value = 0;  // Curve: the value under the point
};
PanelHit hitPanel(const PanelLayout& layout, const PanelFacts& facts, float x, float y);
