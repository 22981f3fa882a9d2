// The track panel's facts for a frame, and the mouse over it: scrubbing,
// picking and folding, mute and solo, selecting keys (a click, shift, a
// box), and dragging them in time or value, each drag one step of undo.
#include "live.h"

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
    facts.fixedRange = LIVE.edit.dragFrom >= 0 || LIVE.edit.shiftingSelection;
    facts.low = LIVE.edit.dragLow;
    facts.high = LIVE.edit.dragHigh;
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

// A drag in the curve view: the key follows the mouse, its row snapped to
// rows (to beats when shift was held as the drag began).
void dragTo(int x, int y)
{
    const PanelLayout layout = panelLayout();
    const float cx = std::clamp(static_cast<float>(x), layout.curve.x0, layout.curve.x1 - 1);
    const float cy = std::clamp(static_cast<float>(y), layout.curve.y0, layout.curve.y1 - 1);
    const PanelHit hit = hitPanel(layout, panelFacts(), cx, cy);
    if (hit.where != PanelHit::Curve) return;
    const int snap = LIVE.edit.dragByBeats ? rowsPerBeat : 1;
    const int row = static_cast<int>(std::lround(hit.row / snap)) * snap;
    // Values snap to the track's fine step as the drag began, as the nudge
    // keys move them.
    const double step = LIVE.edit.dragStep;
    const std::string text = TrackEditor::valueText(std::round(hit.value / step) * step, static_cast<float>(step));
    const float value = std::strtof(text.c_str(), nullptr);
    const int landed = LIVE.editor->dragKey(LIVE.edit.dragFrom, row, value, !LIVE.edit.dragStarted, text);
    if (landed < 0) {
        LIVE.edit.dragFrom = -1;
        return;
    }
    LIVE.edit.dragStarted = true;
    LIVE.edit.dragFrom = landed;
    LIVE.editor->setSelection({{LIVE.editor->selected(), landed}}, true);
}

// The selection follows the mouse in time (lanes) or value (curves): what
// is still to do since the last step, refused where keys would collide.
void dragSelectionTo(int x, int y)
{
    Editing& edit = LIVE.edit;
    const PanelLayout layout = panelLayout();
    if (edit.movingSelection) {
        const int rows = static_cast<int>(std::lround(layout.rowOfX(static_cast<float>(x)) - edit.dragRow));
        if (rows == edit.movedRows) return;
        if (LIVE.editor->dragSelection(rows, 0, 0, !edit.selectionDragged)) {
            edit.movedRows = rows;
            edit.selectionDragged = true;
        }
        return;
    }
    const PanelFacts facts = panelFacts();
    const float cy = std::clamp(static_cast<float>(y), layout.curve.y0, layout.curve.y1 - 1);
    const float value = facts.low + (layout.curve.y1 - 4 - cy) / (layout.curve.height() - 8) * (facts.high - facts.low);
    const double step = edit.dragStep;
    const double by = std::round((value - edit.dragValue) / step) * step;
    if (std::fabs(by - edit.shiftedBy) < step / 2) return;
    if (LIVE.editor->dragSelection(0, by, static_cast<float>(step), !edit.selectionDragged)) {
        edit.shiftedBy = by;
        edit.selectionDragged = true;
    }
}

void endDrags()
{
    Editing& edit = LIVE.edit;
    TrackEditor& editor = *LIVE.editor;
    if (edit.dragStarted) say(editor.selected() + ": key dragged to row " + std::to_string(edit.dragFrom));
    if (edit.selectionDragged && edit.movingSelection) {
        say("moved " + std::to_string(editor.selection().size()) + " keys by " + std::to_string(edit.movedRows) + " rows" +
            replacedText(editor.lastReplaced()));
    }
    if (edit.selectionDragged && edit.shiftingSelection) {
        say("shifted " + std::to_string(editor.selection().size()) + " keys by " +
            TrackEditor::valueText(edit.shiftedBy, static_cast<float>(edit.dragStep)));
    }
    if (edit.boxing) {
        const PanelLayout layout = panelLayout();
        const PanelFacts facts = panelFacts();
        std::vector<std::pair<std::string, int32_t>> keys;
        if (edit.boxAdds) keys = editor.selection();
        for (const auto& [track, row] : keysInBox(layout, facts, edit.boxX0, edit.boxY0, edit.boxX1, edit.boxY1)) {
            const std::pair<std::string, int32_t> key{LIVE.demo.names[track], row};
            if (std::find(keys.begin(), keys.end(), key) == keys.end()) keys.push_back(key);
        }
        if (std::fabs(edit.boxX1 - edit.boxX0) > 3 || std::fabs(edit.boxY1 - edit.boxY0) > 3 || !keys.empty() ||
            !editor.selection().empty()) {
            editor.setSelection(keys);
        }
    }
    edit.scrubbing = false;
    edit.dragFrom = -1;
    edit.dragStarted = false;
    edit.movingSelection = false;
    edit.shiftingSelection = false;
    edit.selectionDragged = false;
    edit.boxing = false;
}

// A click on a key in a lane: the key alone, or (shift) added to or taken
// from the selection; then a drag moves the selection in time.
void clickKey(const PanelLayout& layout, const PanelHit& hit, bool shift)
{
    TrackEditor& editor = *LIVE.editor;
    const std::vector<int> tracks = lineTracks(layout, trackNameList(), hit.line);
    // The keys the click means: the line's track's, or on a group's line,
    // each of its tracks' at that row.
    std::vector<std::pair<std::string, int32_t>> keys;
    for (int t : tracks) {
        const TextTrack* text = editor.document().find(LIVE.demo.names[t]);
        if (text && std::any_of(text->keys.begin(), text->keys.end(), [&](const TrackKey& k) { return k.row == hit.key; })) {
            keys.emplace_back(LIVE.demo.names[t], hit.key);
        }
    }
    std::vector<std::pair<std::string, int32_t>> selection = editor.selection();
    const bool held = !keys.empty() && std::find(selection.begin(), selection.end(), keys.front()) != selection.end();
    if (shift) {
        for (const auto& key : keys) {
            const auto at = std::find(selection.begin(), selection.end(), key);
            if (held && at != selection.end()) selection.erase(at);
            else if (!held && at == selection.end()) selection.push_back(key);
        }
        editor.setSelection(selection);
    } else if (!held) {
        editor.setSelection(keys);
    }
    if (hit.track >= 0) editor.select(LIVE.demo.names[hit.track]);
    if (!shift) moveTo(hit.key);
    if (!editor.selection().empty()) {
        LIVE.edit.movingSelection = true;
        LIVE.edit.dragRow = hit.key;
        LIVE.edit.movedRows = 0;
    }
}

void clickCurve(const PanelLayout& layout, const PanelHit& hit)
{
    Editing& edit = LIVE.edit;
    TrackEditor& editor = *LIVE.editor;
    if (hit.key < 0) {
        moveTo(std::round(hit.row));
        return;
    }
    const PanelFacts facts = panelFacts();
    curveRange(layout, facts, edit.dragLow, edit.dragHigh);
    const std::pair<std::string, int32_t> key{LIVE.demo.names[hit.track], hit.key};
    const auto& selection = editor.selection();
    if (selection.size() > 1 && std::find(selection.begin(), selection.end(), key) != selection.end()) {
        // The selection together, in value.
        edit.shiftingSelection = true;
        edit.dragValue = hit.value;
        edit.shiftedBy = 0;
        edit.dragStep = editor.stepFor(key.first, false);
        return;
    }
    editor.select(key.first);
    editor.setSelection({key});
    edit.dragStep = editor.stepFor(key.first, false);
    edit.dragFrom = hit.key;
    edit.dragStarted = false;
    edit.dragByBeats = (glutGetModifiers() & GLUT_ACTIVE_SHIFT) != 0;
}

} // namespace

void onMouse(int button, int state, int x, int y)
{
    if (button != GLUT_LEFT_BUTTON) return;
    LIVE.edit.mouseX = x;
    LIVE.edit.mouseY = y;
    if (state == GLUT_UP) {
        if (!releaseRoom()) endDrags();
        return;
    }
    if (!LIVE.edit.panel) return;
    const bool shift = (glutGetModifiers() & GLUT_ACTIVE_SHIFT) != 0;
    const PanelLayout layout = panelLayout();
    const PanelHit hit = hitPanel(layout, panelFacts(), static_cast<float>(x), static_cast<float>(y));
    TrackEditor& editor = *LIVE.editor;
    if (pressRoom(hit)) return;
    switch (hit.where) {
    case PanelHit::Strip:
    case PanelHit::Ruler:
        // The ruler lands on whole rows, as keys stand; shift: anywhere.
        LIVE.edit.scrubbing = true;
        LIVE.edit.scrubbingRuler = hit.where == PanelHit::Ruler;
        LIVE.edit.scrubExact = shift;
        moveTo(hit.where == PanelHit::Ruler && !shift ? std::round(hit.row) : hit.row);
        break;
    case PanelHit::Header: openPrompt("filter " + LIVE.edit.view.filter); break;
    case PanelHit::Fold:
        editor.run((LIVE.edit.view.folded.count(hit.group) ? "unfold " : "fold ") + hit.group);
        break;
    case PanelHit::Mute:
    case PanelHit::Solo:
        editor.run(std::string(hit.where == PanelHit::Mute ? "mute " : "solo ") +
                   (hit.track >= 0 ? std::string(LIVE.demo.names[hit.track]) : hit.group));
        break;
    case PanelHit::Name: editor.select(LIVE.demo.names[hit.track]); break;
    case PanelHit::Lane:
        if (hit.key >= 0) {
            clickKey(layout, hit, shift);
            break;
        }
        if (hit.track >= 0) editor.select(LIVE.demo.names[hit.track]);
        LIVE.edit.boxing = true;
        LIVE.edit.boxAdds = shift;
        LIVE.edit.boxX0 = LIVE.edit.boxX1 = static_cast<float>(x);
        LIVE.edit.boxY0 = LIVE.edit.boxY1 = static_cast<float>(y);
        break;
    case PanelHit::Curve: clickCurve(layout, hit); break;
    case PanelHit::Splitter:
    case PanelHit::LoopBand:
    case PanelHit::Nothing: break;
    }
}

void onMotion(int x, int y)
{
    Editing& edit = LIVE.edit;
    edit.mouseX = x;
    edit.mouseY = y;
    if (dragRoom(x, y)) return;
    if (edit.scrubbing) {
        if (edit.scrubbingRuler) {
            const double row = panelLayout().rowOfX(static_cast<float>(x));
            moveTo(edit.scrubExact ? row : std::round(row));
        } else {
            moveTo(static_cast<double>(x) / LIVE.sizing.width * LIVE.demo.description.endRow);
        }
    } else if (edit.dragFrom >= 0) {
        dragTo(x, y);
    } else if (edit.movingSelection || edit.shiftingSelection) {
        dragSelectionTo(x, y);
    } else if (edit.boxing) {
        edit.boxX1 = static_cast<float>(x);
        edit.boxY1 = static_cast<float>(y);
    }
}

void pasteUnderPointer()
{
    TrackEditor& editor = *LIVE.editor;
    std::string track = editor.selected();
    if (LIVE.edit.panel && LIVE.edit.mouseX >= 0) {
        const PanelHit hit = hitPanel(panelLayout(), panelFacts(), static_cast<float>(LIVE.edit.mouseX),
                                      static_cast<float>(LIVE.edit.mouseY));
        if ((hit.where == PanelHit::Lane || hit.where == PanelHit::Name) && hit.track >= 0) track = LIVE.demo.names[hit.track];
    }
    editor.pasteShape(track);
}

void onWheel(int direction, int x, int y)
{
    if (!LIVE.edit.panel) return;
    const PanelLayout layout = panelLayout();
    const float fx = static_cast<float>(x), fy = static_cast<float>(y);
    PanelView& view = LIVE.edit.view;
    if (layout.names.contains(fx, fy)) {
        view.scroll = std::clamp(layout.firstLine - direction * 3, 0,
                                 std::max(0, static_cast<int>(layout.lines.size()) - layout.shownLines));
    } else if (layout.lanes.contains(fx, fy) || layout.ruler.contains(fx, fy)) {
        // About the row under the pointer, which stays under it.
        zoomView(view, view.span * (direction > 0 ? 0.8 : 1.25), layout.rowOfX(fx));
    } else if (layout.curve.contains(fx, fy) || layout.axis.contains(fx, fy)) {
        view.valueZoom = std::clamp(view.valueZoom * (direction > 0 ? 1.25f : 0.8f), 1.0f / 64, 64.0f);
    }
}

} // namespace live
