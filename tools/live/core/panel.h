// live/core/panel: the track panel's geometry, with no drawing in it, so that
// what is drawn (panel_draw.cpp) and where a click lands (hitPanel) agree,
// and tests can aim the mouse. The panel is docked under the picture,
// opaque; from its top:
// - the header: the filter, the selection, what is muted or soloed;
// - the splitter, dragged to share the height between picture and panel;
// - the ruler: bar numbers, the sections' names, the markers, the row, and
//   under them the loop's band; the tune's loudness lies behind them;
// - the dope sheet: a line a track (its name, its value at the row, its
//   mute and solo boxes; its keys in the lane on the right), tracks that
//   share a name's first part ("cam" of "cam.rot.y") under a header line
//   that folds them; it scrolls when the lines do not fit;
// - the curve view: the selected track and the tracks with selected keys,
//   each in its colour, on a value axis;
// - the strip: the whole demo, its sections, cuts, loop and markers.
// The picture keeps the demo's 16:9 in the space above, centred.
//
//     PanelView view;                              // the maker's choices
//     const PanelLayout layout = layoutPanel(960, 540, row, view, names);
//     const PanelHit hit = hitPanel(layout, facts, x, y);
#pragma once

#include "track_text.h"
#include "waveform.h"

#include <functional>
#include <set>
#include <string>
#include <utility>
#include <vector>

struct PanelRect {
    float x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    bool contains(float x, float y) const { return x >= x0 && x < x1 && y >= y0 && y < y1; }
    float width() const { return x1 - x0; }
    float height() const { return y1 - y0; }
};

// A track's group: its name up to the first '.', or "" for a name without.
std::string trackGroup(const std::string& name);

// A line of the dope sheet: a group's header (track -1), or a track.
struct SheetLine {
    std::string group;
    int track = -1;
};

// The sheet's lines, tracks in the demo's order: a group of two tracks or
// more under its header (the header alone when folded); a filter keeps the
// tracks whose names hold it (case apart), with their headers, unfolded.
std::vector<SheetLine> sheetLines(const std::vector<std::string>& names, const std::string& filter,
                                  const std::set<std::string>& folded);

// What the maker set, kept from frame to frame.
struct PanelView {
    double span = 64.0;        // rows shown
    // The first row shown, once the view has been placed: it stays while
    // the row moves inside it, so that what the mouse points at stays put.
    bool placed = false;
    double from = 0.0;
    double split = 0.48;       // the picture's share of the window's height
    bool inspector = false;    // the inspector stands at the curve view's right
    int scroll = 0;            // the first line of the sheet shown
    std::string filter;
    std::set<std::string> folded;
    float valueZoom = 1.0f;    // the curve view's value range, divided by this
    static constexpr size_t filterLimit = 64;
};

struct PanelLayout {
    int width = 0, height = 0;
    PanelRect picture;          // the frame, 16:9, centred in the space above
    PanelRect panel;            // all of the panel
    PanelRect header, ruler;
    PanelRect loopBand;         // the ruler's lowest band: the loop, dragged there
    PanelRect names, lanes;     // the dope sheet: names left, lanes right
    float lane = 0;             // a line's height
    std::vector<SheetLine> lines;
    int firstLine = 0;          // the view's scroll, held inside the lines
    int shownLines = 0;
    PanelRect axis, curve;      // the curve view: its value axis left
    PanelRect inspector;        // right of the curve view, where it is shown (else empty)
    PanelRect strip;
    PanelRect splitter;         // the bar between the picture and the panel, dragged
    double row = 0, firstRow = 0, lastRow = 0;
    float fontSize = 13;

    // Rows map onto the lanes less a margin at each end, so that a key on
    // the first or the last row shown is drawn whole.
    float margin = 8;
    float xOfRow(double r) const;
    double rowOfX(float x) const;
    // The line at a height of the sheet, or -1.
    int lineAt(float y) const;
    float lineTop(int line) const { return names.y0 + lane * static_cast<float>(line - firstLine); }
    // The mute and solo boxes of a shown line, at the names' right.
    PanelRect muteBox(int line) const;
    PanelRect soloBox(int line) const;
};

// Keeps `row` in the view: a view not placed yet centres it; a row that
// leaves the view past its end, as the music plays on, turns the page
// (the row near the left edge); a jump anywhere else centres it. A row
// inside the view moves nothing.
void followRow(PanelView& view, double row);

// Shows `span` rows (8 to 1024), the row `anchor` staying where it is on
// screen.
void zoomView(PanelView& view, double span, double anchor);

// The picture's share of the height that `split` may take.
constexpr double leastSplit = 0.2, mostSplit = 0.8;

// The interface's font size in pixels for a window `height` pixels high:
// 13 up to 512 lines, then a pixel more for each 38 lines, 24 at most.
float panelFontSize(int height);

// The panel for a window, the rows around `row`; `fontSize` the interface's.
PanelLayout layoutPanel(int width, int height, double row, const PanelView& view,
                        const std::vector<std::string>& names, float fontSize);

// The picture's place in a window without the panel: all of it.
PanelRect wholeWindow(int width, int height);

// What the panel shows, by track index in the demo's order.
struct PanelFacts {
    std::vector<std::string> names;
    int selected = 0;
    std::vector<std::pair<int, int>> selection; // (track, row) of each selected key
    std::vector<int> curves;                    // the tracks the curve view shows, the selected one first
    std::function<const TextTrack*(int)> keys;  // nullptr: none known
    std::function<float(int, double)> value;    // the demo's value of a track at a row
    std::set<int> muted, soloed;
    std::set<int> unread;                       // tracks no uniform reads: no value to show
    std::vector<double> cuts;
    std::vector<std::pair<double, std::string>> sections;
    std::vector<std::pair<double, std::string>> markers;
    bool loop = false;
    double loopFrom = 0, loopTo = 0;
    const Loudness* loudness = nullptr;         // the tune's, drawn in the ruler
    double lastRow = 1147.5;
    bool fixedRange = false;    // the curve view's value range held (through a drag)
    float low = 0, high = 1;
    float valueZoom = 1.0f;
    bool isSelected(int track, int row) const;
};

// The curve view's value range: what its tracks take on the rows shown,
// their keys there included, with a margin, narrowed by the value zoom;
// or the range held.
void curveRange(const PanelLayout& layout, const PanelFacts& facts, float& low, float& high);
float yOfValue(const PanelRect& curve, float value, float low, float high);

// Values for the axis: round numbers (1, 2 or 5 times a power of ten
// apart) inside [low, high], at most `most` of them.
std::vector<double> axisTicks(double low, double high, int most);

// Where the inspector stands (the layout's, with PanelView::inspector), and
// where its slider (or colour) and its list of interpolations are, under
// its heading (value_pane.h draws them there).
struct InspectorPlaces {
    PanelRect window, control, list;
};
InspectorPlaces inspectorPlaces(const PanelLayout& layout);

struct PanelHit {
    enum Where { Nothing, Splitter, Header, Ruler, LoopBand, Fold, Mute, Solo, Name, Lane, Curve, Strip } where = Nothing;
    double row = 0;   // the row under the point (the strip: of the whole demo)
    int line = -1;    // Fold, Mute, Solo, Name, Lane: the sheet's line
    int track = -1;   // Mute, Solo, Name, Lane: the line's track, or -1 for a group's header; Curve: the key's track
    std::string group;
    int key = -1;     // Lane, Curve: the row of a key within reach, or -1
    float value = 0;  // Curve: the value under the point
};
PanelHit hitPanel(const PanelLayout& layout, const PanelFacts& facts, float x, float y);

// The tracks a line stands for: its own, or its group's (those shown
// under its header, or, folded, every track `names` puts in the group).
std::vector<int> lineTracks(const PanelLayout& layout, const std::vector<std::string>& names, int line);

// The keys inside a box of the lanes, from (x0, y0) to (x1, y1) in any order.
std::vector<std::pair<int, int>> keysInBox(const PanelLayout& layout, const PanelFacts& facts, float x0, float y0,
                                           float x1, float y1);

// The line with every control byte shown as '?', and every byte that is not
// part of valid UTF-8: what a tracks text or a command holds is drawn, never
// interpreted.
std::string printableText(const std::string& line);
