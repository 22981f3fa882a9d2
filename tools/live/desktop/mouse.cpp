// The track panel's facts for a frame, and the mouse over it: the core's
// (panel_mouse.h), with the player's splitter and loop band as its rooms.
#include "live.h"
#include "view_commands.h"

#include "demo/clock.h"
#include "demo/timeline.h"
#include "demo/tracks.h"
#include "gui.h"

#include <GL/freeglut.h>

#include <algorithm>
#include <cmath>
#include <set>

namespace live {

PanelLayout panelLayout()
{
    return layoutPanel(LIVE.sizing.width, LIVE.sizing.height, LIVE.row, LIVE.edit.view, trackNameList(), guiFontSize());
}

PanelFacts panelFacts()
{
    PanelFacts facts;
    facts.names = trackNameList();
    const TrackEditor& editor = *LIVE.editor;
    facts.selected = std::max(0, trackIndex(editor.selected()));
    facts.curves.push_back(facts.selected);
    for (const auto& [name, row] : editor.selection()) {
        const int track = trackIndex(name);
        if (track < 0) continue;
        facts.selection.emplace_back(track, row);
        if (std::find(facts.curves.begin(), facts.curves.end(), track) == facts.curves.end() && facts.curves.size() < 6) {
            facts.curves.push_back(track);
        }
    }
    facts.keys = [](int track) { return LIVE.editor->document().find(LIVE.demo.names[track]); };
    facts.value = [](int track, double row) { return sampleTrackAt(track, row); };
    facts.muted = LIVE.edit.muted;
    facts.unread = LIVE.demo.unread;
    facts.soloed = LIVE.edit.soloed;
    facts.cuts = LIVE.time.cuts;
    facts.sections = sections();
    for (const TrackDocument::Marker& marker : editor.document().markers()) facts.markers.emplace_back(marker.row, marker.name);
    facts.loudness = &LIVE.loudness;
    facts.loop = LIVE.time.loop;
    facts.loopFrom = LIVE.time.loopFrom;
    facts.loopTo = LIVE.time.loopTo;
    facts.lastRow = LIVE.demo.description.endRow;
    facts.fixedRange = LIVE.edit.mouse.holdsRange();
    facts.low = LIVE.edit.mouse.dragLow;
    facts.high = LIVE.edit.mouse.dragHigh;
    // A parameter's annotated range holds the curve view where it shows alone.
    const UniformRange& range = LIVE.demo.ranges[static_cast<size_t>(facts.selected)];
    if (!facts.fixedRange && range.given && facts.curves.size() == 1) {
        facts.fixedRange = true;
        facts.low = range.low;
        facts.high = range.high;
    }
    facts.valueZoom = LIVE.edit.view.valueZoom;
    return facts;
}

std::string panelHeader()
{
    const TrackEditor& editor = *LIVE.editor;
    const PanelView& view = LIVE.edit.view;
    std::string line = position(LIVE.row) + "   " + editor.selected();
    if (!editor.selection().empty()) {
        // What the header counts is what is highlighted; keys of tracks the
        // filter leaves out are counted apart.
        std::set<int> shown;
        for (const SheetLine& sheet : sheetLines(trackNameList(), view.filter, {})) shown.insert(sheet.track);
        size_t hidden = 0;
        for (const auto& [name, row] : editor.selection()) hidden += shown.count(trackIndex(name)) ? 0 : 1;
        line += "   " + std::to_string(editor.selection().size() - hidden) + " keys selected";
        if (hidden > 0) line += " (" + std::to_string(hidden) + " more, filtered out)";
    }
    line += "   filter: " + (view.filter.empty() ? std::string("none (f)") : "'" + view.filter + "'");
    if (!LIVE.edit.muted.empty()) line += "   " + std::to_string(LIVE.edit.muted.size()) + " muted";
    if (!LIVE.edit.soloed.empty()) line += "   " + std::to_string(LIVE.edit.soloed.size()) + " soloed";
    line += "   " + std::to_string(static_cast<int>(view.span)) + " rows   h: help";
    return line;
}

// A track picked with tab or a command comes into the sheet's view: the
// wheel scrolls freely until the next pick.
void followSelectedTrack()
{
    const int track = trackIndex(LIVE.editor->selected());
    if (track == LIVE.edit.followedTrack || !LIVE.edit.panel) return;
    LIVE.edit.followedTrack = track;
    const PanelLayout layout = panelLayout();
    for (int line = 0; line < static_cast<int>(layout.lines.size()); ++line) {
        const SheetLine& sheet = layout.lines[line];
        const bool holds = sheet.track == track ||
                           (sheet.track < 0 && trackGroup(LIVE.demo.names[track]) == sheet.group &&
                            LIVE.edit.view.folded.count(sheet.group));
        if (!holds) continue;
        if (line < layout.firstLine) LIVE.edit.view.scroll = line;
        if (line >= layout.firstLine + layout.shownLines) LIVE.edit.view.scroll = line - layout.shownLines + 1;
        return;
    }
}

namespace {

class DesktopMouse final : public MouseHost {
public:
    PanelLayout layout() override { return panelLayout(); }
    PanelFacts facts() override { return panelFacts(); }
    const std::vector<std::string>& names() override { return LIVE.demo.names; }
    PanelView& view() override { return LIVE.edit.view; }
    void moveTo(double row) override { live::moveTo(row); }
    void openPrompt(const std::string& text) override { live::openPrompt(text); }
    void say(const std::string& line) override { live::say(line); }
    Transport& time() override { return LIVE.time; }
    void setLoop(double from, double to) override { live::setLoop(from, to); }
    void splitChosen() override
    {
        saveViewState();
        live::say("the picture takes " + splitText(LIVE.edit.view.split) + " of the height");
    }
};

} // namespace

void onMouse(int button, int state, int x, int y)
{
    if (button != GLUT_LEFT_BUTTON) return;
    DesktopMouse host;
    MouseState& mouse = LIVE.edit.mouse;
    mouse.mouseX = x;
    mouse.mouseY = y;
    if (state == GLUT_UP) {
        releasePanel(mouse, host, *LIVE.editor);
        return;
    }
    if (!LIVE.edit.panel) return;
    pressPanel(mouse, host, *LIVE.editor, x, y, (glutGetModifiers() & GLUT_ACTIVE_SHIFT) != 0);
}

void onMotion(int x, int y)
{
    DesktopMouse host;
    movePointer(LIVE.edit.mouse, host, *LIVE.editor, x, y);
}

void pasteUnderPointer()
{
    TrackEditor& editor = *LIVE.editor;
    std::string track;
    if (LIVE.edit.panel) {
        DesktopMouse host;
        track = trackUnderPointer(LIVE.edit.mouse, host);
    }
    editor.pasteShape(track.empty() ? editor.selected() : track);
}

void onWheel(int direction, int x, int y)
{
    if (!LIVE.edit.panel) return;
    DesktopMouse host;
    wheelOverPanel(host, direction, x, y);
}

} // namespace live
