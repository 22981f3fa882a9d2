#include "panel_mouse.h"

#include "demo/timeline.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {

// A drag in the curve view: the key follows the mouse, its row snapped to
// rows (to beats when shift was held as the drag began).
void dragTo(MouseState& mouse, MouseHost& host, TrackEditor& editor, int x, int y)
{
    const PanelLayout layout = host.layout();
    const float cx = std::clamp(static_cast<float>(x), layout.curve.x0, layout.curve.x1 - 1);
    const float cy = std::clamp(static_cast<float>(y), layout.curve.y0, layout.curve.y1 - 1);
    const PanelHit hit = hitPanel(layout, host.facts(), cx, cy);
    if (hit.where != PanelHit::Curve) return;
    const int snap = mouse.dragByBeats ? rowsPerBeat : 1;
    const int row = static_cast<int>(std::lround(hit.row / snap)) * snap;
    // Values snap to the track's fine step as the drag began, as the nudge
    // keys move them.
    const double step = mouse.dragStep;
    const std::string text = TrackEditor::valueText(std::round(hit.value / step) * step, static_cast<float>(step));
    const float value = std::strtof(text.c_str(), nullptr);
    const int landed = editor.dragKey(mouse.dragFrom, row, value, !mouse.dragStarted, text);
    if (landed < 0) {
        mouse.dragFrom = -1;
        return;
    }
    mouse.dragStarted = true;
    mouse.dragFrom = landed;
    editor.setSelection({{editor.selected(), landed}}, true);
}

// The selection follows the mouse in time (lanes) or value (curves): what
// is still to do since the last step, refused where keys would collide.
void dragSelectionTo(MouseState& mouse, MouseHost& host, TrackEditor& editor, int x, int y)
{
    const PanelLayout layout = host.layout();
    if (mouse.movingSelection) {
        const int rows = static_cast<int>(std::lround(layout.rowOfX(static_cast<float>(x)) - mouse.dragRow));
        if (rows == mouse.movedRows) return;
        if (editor.dragSelection(rows, 0, 0, !mouse.selectionDragged)) {
            mouse.movedRows = rows;
            mouse.selectionDragged = true;
        }
        return;
    }
    const PanelFacts facts = host.facts();
    const float cy = std::clamp(static_cast<float>(y), layout.curve.y0, layout.curve.y1 - 1);
    const float value = facts.low + (layout.curve.y1 - 4 - cy) / (layout.curve.height() - 8) * (facts.high - facts.low);
    const double step = mouse.dragStep;
    const double by = std::round((value - mouse.dragValue) / step) * step;
    if (std::fabs(by - mouse.shiftedBy) < step / 2) return;
    if (editor.dragSelection(0, by, static_cast<float>(step), !mouse.selectionDragged)) {
        mouse.shiftedBy = by;
        mouse.selectionDragged = true;
    }
}

// A click on a key in a lane: the key alone, or (shift) added to or taken
// from the selection; then a drag moves the selection in time.
void clickKey(MouseState& mouse, MouseHost& host, TrackEditor& editor, const PanelLayout& layout, const PanelHit& hit,
              bool shift)
{
    const std::vector<std::string>& names = host.names();
    const std::vector<int> tracks = lineTracks(layout, names, hit.line);
    // The keys the click means: the line's track's, or on a group's line,
    // each of its tracks' at that row.
    std::vector<std::pair<std::string, int32_t>> keys;
    for (int t : tracks) {
        const TextTrack* text = editor.document().find(names[static_cast<size_t>(t)]);
        if (text && std::any_of(text->keys.begin(), text->keys.end(), [&](const TrackKey& k) { return k.row == hit.key; })) {
            keys.emplace_back(names[static_cast<size_t>(t)], hit.key);
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
    if (hit.track >= 0) editor.select(names[static_cast<size_t>(hit.track)]);
    if (!shift) host.moveTo(hit.key);
    if (!editor.selection().empty()) {
        mouse.movingSelection = true;
        mouse.dragRow = hit.key;
        mouse.movedRows = 0;
    }
}

void clickCurve(MouseState& mouse, MouseHost& host, TrackEditor& editor, const PanelLayout& layout, const PanelHit& hit,
                bool shift)
{
    if (hit.key < 0) {
        host.moveTo(std::round(hit.row));
        return;
    }
    const PanelFacts facts = host.facts();
    curveRange(layout, facts, mouse.dragLow, mouse.dragHigh);
    const std::pair<std::string, int32_t> key{host.names()[static_cast<size_t>(hit.track)], hit.key};
    const auto& selection = editor.selection();
    if (selection.size() > 1 && std::find(selection.begin(), selection.end(), key) != selection.end()) {
        // The selection together, in value.
        mouse.shiftingSelection = true;
        mouse.dragValue = hit.value;
        mouse.shiftedBy = 0;
        mouse.dragStep = editor.stepFor(key.first, false);
        return;
    }
    editor.select(key.first);
    editor.setSelection({key});
    mouse.dragStep = editor.stepFor(key.first, false);
    mouse.dragFrom = hit.key;
    mouse.dragStarted = false;
    mouse.dragByBeats = shift;
}

// The splitter and the loop's band under the mouse: true where taken.
bool pressRoom(MouseState& mouse, MouseHost& host, const PanelHit& hit)
{
    if (hit.where == PanelHit::Splitter) {
        mouse.splitting = true;
        return true;
    }
    if (hit.where != PanelHit::LoopBand) return false;
    const Transport& t = host.time();
    const double row = std::round(hit.row);
    mouse.loopDrag = MouseState::LoopDrag::Draw;
    mouse.loopPressRow = row;
    mouse.loopDragged = false;
    // Inside the loop: the drag moves it.
    if (t.loop && row > t.loopFrom && row < t.loopTo) {
        mouse.loopDrag = MouseState::LoopDrag::Move;
        mouse.loopWas[0] = t.loopFrom;
        mouse.loopWas[1] = t.loopTo;
    }
    return true;
}

bool dragRoom(MouseState& mouse, MouseHost& host, int x, int y)
{
    if (mouse.splitting) {
        const PanelLayout layout = host.layout();
        host.view().split = std::clamp(static_cast<double>(y) / std::max(1, layout.height), leastSplit, mostSplit);
        return true;
    }
    if (mouse.loopDrag == MouseState::LoopDrag::None) return false;
    const double end = host.facts().lastRow;
    const double row = std::round(std::clamp(host.layout().rowOfX(static_cast<float>(x)), 0.0, end));
    if (row == mouse.loopPressRow && !mouse.loopDragged) return true;
    mouse.loopDragged = true;
    Transport& t = host.time();
    if (mouse.loopDrag == MouseState::LoopDrag::Draw) {
        t.loop = row != mouse.loopPressRow;
        t.loopFrom = std::min(row, mouse.loopPressRow);
        t.loopTo = std::max(row, mouse.loopPressRow);
        return true;
    }
    const double length = mouse.loopWas[1] - mouse.loopWas[0];
    const double from = std::clamp(mouse.loopWas[0] + row - mouse.loopPressRow, 0.0, end - length);
    t.loopFrom = from;
    t.loopTo = from + length;
    return true;
}

// A click on the band without a drag clears the loop; a drag sets it.
bool releaseRoom(MouseState& mouse, MouseHost& host)
{
    if (mouse.splitting) {
        mouse.splitting = false;
        host.splitChosen();
        return true;
    }
    if (mouse.loopDrag == MouseState::LoopDrag::None) return false;
    mouse.loopDrag = MouseState::LoopDrag::None;
    const Transport& t = host.time();
    if (!mouse.loopDragged || !t.loop) host.setLoop(0, 0);
    else host.setLoop(t.loopFrom, t.loopTo);
    return true;
}

} // namespace

void pressPanel(MouseState& mouse, MouseHost& host, TrackEditor& editor, int x, int y, bool shift)
{
    mouse.mouseX = x;
    mouse.mouseY = y;
    const PanelLayout layout = host.layout();
    const PanelHit hit = hitPanel(layout, host.facts(), static_cast<float>(x), static_cast<float>(y));
    if (pressRoom(mouse, host, hit)) return;
    const std::vector<std::string>& names = host.names();
    switch (hit.where) {
    case PanelHit::Strip:
    case PanelHit::Ruler:
        // The ruler lands on whole rows, as keys stand; shift: anywhere.
        mouse.scrubbing = true;
        mouse.scrubbingRuler = hit.where == PanelHit::Ruler;
        mouse.scrubExact = shift;
        host.moveTo(hit.where == PanelHit::Ruler && !shift ? std::round(hit.row) : hit.row);
        break;
    case PanelHit::Header: host.openPrompt("filter " + host.view().filter); break;
    case PanelHit::Fold: editor.run((host.view().folded.count(hit.group) ? "unfold " : "fold ") + hit.group); break;
    case PanelHit::Mute:
    case PanelHit::Solo:
        editor.run(std::string(hit.where == PanelHit::Mute ? "mute " : "solo ") +
                   (hit.track >= 0 ? names[static_cast<size_t>(hit.track)] : hit.group));
        break;
    case PanelHit::Name: editor.select(names[static_cast<size_t>(hit.track)]); break;
    case PanelHit::Lane:
        if (hit.key >= 0) {
            clickKey(mouse, host, editor, layout, hit, shift);
            break;
        }
        if (hit.track >= 0) editor.select(names[static_cast<size_t>(hit.track)]);
        mouse.boxing = true;
        mouse.boxAdds = shift;
        mouse.boxX0 = mouse.boxX1 = static_cast<float>(x);
        mouse.boxY0 = mouse.boxY1 = static_cast<float>(y);
        break;
    case PanelHit::Curve: clickCurve(mouse, host, editor, layout, hit, shift); break;
    case PanelHit::Splitter:
    case PanelHit::LoopBand:
    case PanelHit::Nothing: break;
    }
}

void movePointer(MouseState& mouse, MouseHost& host, TrackEditor& editor, int x, int y)
{
    mouse.mouseX = x;
    mouse.mouseY = y;
    if (dragRoom(mouse, host, x, y)) return;
    if (mouse.scrubbing) {
        const PanelLayout layout = host.layout();
        if (mouse.scrubbingRuler) {
            const double row = layout.rowOfX(static_cast<float>(x));
            host.moveTo(mouse.scrubExact ? row : std::round(row));
        } else {
            host.moveTo(static_cast<double>(x) / std::max(1, layout.width) * host.facts().lastRow);
        }
    } else if (mouse.dragFrom >= 0) {
        dragTo(mouse, host, editor, x, y);
    } else if (mouse.movingSelection || mouse.shiftingSelection) {
        dragSelectionTo(mouse, host, editor, x, y);
    } else if (mouse.boxing) {
        mouse.boxX1 = static_cast<float>(x);
        mouse.boxY1 = static_cast<float>(y);
    }
}

void releasePanel(MouseState& mouse, MouseHost& host, TrackEditor& editor)
{
    if (releaseRoom(mouse, host)) return;
    if (mouse.dragStarted) host.say(editor.selected() + ": key dragged to row " + std::to_string(mouse.dragFrom));
    if (mouse.selectionDragged && mouse.movingSelection) {
        host.say("moved " + std::to_string(editor.selection().size()) + " keys by " + std::to_string(mouse.movedRows) +
                 " rows" + replacedText(editor.lastReplaced()));
    }
    if (mouse.selectionDragged && mouse.shiftingSelection) {
        host.say("shifted " + std::to_string(editor.selection().size()) + " keys by " +
                 TrackEditor::valueText(mouse.shiftedBy, static_cast<float>(mouse.dragStep)));
    }
    if (mouse.boxing) {
        const PanelLayout layout = host.layout();
        const PanelFacts facts = host.facts();
        std::vector<std::pair<std::string, int32_t>> keys;
        if (mouse.boxAdds) keys = editor.selection();
        for (const auto& [track, row] : keysInBox(layout, facts, mouse.boxX0, mouse.boxY0, mouse.boxX1, mouse.boxY1)) {
            const std::pair<std::string, int32_t> key{host.names()[static_cast<size_t>(track)], row};
            if (std::find(keys.begin(), keys.end(), key) == keys.end()) keys.push_back(key);
        }
        if (std::fabs(mouse.boxX1 - mouse.boxX0) > 3 || std::fabs(mouse.boxY1 - mouse.boxY0) > 3 || !keys.empty() ||
            !editor.selection().empty()) {
            editor.setSelection(keys);
        }
    }
    mouse.scrubbing = false;
    mouse.dragFrom = -1;
    mouse.dragStarted = false;
    mouse.movingSelection = false;
    mouse.shiftingSelection = false;
    mouse.selectionDragged = false;
    mouse.boxing = false;
}

void wheelOverPanel(MouseHost& host, int direction, int x, int y)
{
    const PanelLayout layout = host.layout();
    const float fx = static_cast<float>(x), fy = static_cast<float>(y);
    PanelView& view = host.view();
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

std::string trackUnderPointer(const MouseState& mouse, MouseHost& host)
{
    if (mouse.mouseX < 0) return "";
    const PanelHit hit = hitPanel(host.layout(), host.facts(), static_cast<float>(mouse.mouseX), static_cast<float>(mouse.mouseY));
    if ((hit.where == PanelHit::Lane || hit.where == PanelHit::Name) && hit.track >= 0) {
        return host.names()[static_cast<size_t>(hit.track)];
    }
    return "";
}
