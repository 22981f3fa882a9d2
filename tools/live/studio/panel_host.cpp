// The editor's panel in the page: placed under the picture, drawn by the
// core (panel_draw.h) over the frame, with the core's mouse over it
// (panel_mouse.h) and its view's commands (view_commands.h).
#include "studio.h"

#include "gui.h"
#include "panel_draw.h"
#include "panel_mouse.h"
#include "view_commands.h"

#include "demo/clock.h"
#include "demo/timeline.h"
#include "demo/tracks.h"
#include "render/render_screen.h"

#include <imgui.h>

#include <GL/freeglut.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace studio {

namespace {

int trackIndex(const std::string& name)
{
    const auto& names = state().names;
    const auto at = std::find(names.begin(), names.end(), name);
    return at == names.end() ? -1 : static_cast<int>(at - names.begin());
}

PanelLayout layout()
{
    const Studio& s = state();
    return layoutPanel(s.sizing.width, s.sizing.height, s.row, s.view, s.names, guiFontSize());
}

PanelFacts facts()
{
    Studio& s = state();
    PanelFacts f;
    f.names = s.names;
    f.selected = std::max(0, trackIndex(s.editor->selected()));
    f.curves.push_back(f.selected);
    for (const auto& [name, row] : s.editor->selection()) {
        const int track = trackIndex(name);
        if (track >= 0) f.selection.emplace_back(track, row);
    }
    f.keys = [](int track) { return state().editor->document().find(state().names[static_cast<size_t>(track)]); };
    f.value = [](int track, double row) { return sampleTrackAt(track, row); };
    for (const TrackDocument::Marker& marker : s.editor->document().markers()) f.markers.emplace_back(marker.row, marker.name);
    f.lastRow = s.folder.description.endRow;
    const auto& ranges = s.folder.ranges;
    if (static_cast<size_t>(f.selected) < ranges.size() && ranges[static_cast<size_t>(f.selected)].given) {
        f.fixedRange = true;
        f.low = ranges[static_cast<size_t>(f.selected)].low;
        f.high = ranges[static_cast<size_t>(f.selected)].high;
    }
    f.valueZoom = s.view.valueZoom;
    if (s.mouse.holdsRange()) {
        f.fixedRange = true;
        f.low = s.mouse.dragLow;
        f.high = s.mouse.dragHigh;
    }
    f.muted = s.muted;
    f.soloed = s.soloed;
    f.cuts = s.time.cuts;
    f.loop = s.time.loop;
    f.loopFrom = s.time.loopFrom;
    f.loopTo = s.time.loopTo;
    if (!s.loudness.empty()) f.loudness = &s.loudness;
    return f;
}

std::string header()
{
    const Studio& s = state();
    const double rowsPerBeat = std::max(1, s.folder.manifest.rowsPerBeat);
    const int row = static_cast<int>(std::floor(s.row));
    const int beat = static_cast<int>(row / rowsPerBeat);
    char position[64];
    std::snprintf(position, sizeof position, "row %d  (%d:%d:%d)", row, beat / 4, beat % 4,
                  row % static_cast<int>(rowsPerBeat));
    return std::string(position) + "   " + s.editor->selected() + "   " + std::to_string(static_cast<int>(s.view.span)) +
           " rows";
}

} // namespace

std::string layoutText()
{
    Studio& s = state();
    if (!s.panel || !guiStarted()) return "{}";
    const PanelLayout l = layout();
    const auto rect = [](const PanelRect& r) {
        char text[96];
        std::snprintf(text, sizeof text, "[%.1f,%.1f,%.1f,%.1f]", r.x0, r.y0, r.x1, r.y1);
        return std::string(text);
    };
    std::string lines;
    for (int line = l.firstLine; line < l.firstLine + l.shownLines && line < static_cast<int>(l.lines.size()); ++line) {
        const SheetLine& sheet = l.lines[static_cast<size_t>(line)];
        const std::string name = sheet.track >= 0 ? s.names[static_cast<size_t>(sheet.track)] : sheet.group;
        lines += std::string(lines.empty() ? "" : ",") + "{\"name\":\"" + printableText(name) + "\",\"top\":" +
                 std::to_string(l.lineTop(line)) + "}";
    }
    return "{\"picture\":" + rect(l.picture) + ",\"ruler\":" + rect(l.ruler) + ",\"lanes\":" + rect(l.lanes) +
           ",\"inspector\":" + rect(l.inspector) + ",\"curve\":" + rect(l.curve) +
           ",\"names\":" + rect(l.names) + ",\"lane\":" + std::to_string(l.lane) + ",\"margin\":" + std::to_string(l.margin) +
           ",\"firstRow\":" + std::to_string(l.firstRow) + ",\"lastRow\":" + std::to_string(l.lastRow) +
           ",\"selected\":\"" + printableText(s.editor->selected()) + "\",\"lines\":[" + lines + "]}";
}

void placePicture()
{
    Studio& s = state();
    Sizing& sizing = s.sizing;
    const PanelRect area = s.panel && guiStarted() ? layout().picture : wholeWindow(sizing.width, sizing.height);
    const bool moved = area.x0 != sizing.area.x0 || area.y0 != sizing.area.y0 || area.x1 != sizing.area.x1 ||
                       area.y1 != sizing.area.y1;
    if (moved) {
        sizing.area = area;
        sizing.control->setWindow(std::max(1, static_cast<int>(area.width())), std::max(1, static_cast<int>(area.height())));
    }
    const FrameChoice choice = sizing.control->choice();
    if (!moved && choice == sizing.applied) return;
    setFrameSize(choice.width, choice.height, choice.sceneScale, sizing.width, sizing.height);
    if (area.width() >= sizing.width && area.height() >= sizing.height) {
        setShownArea(0, 0, 0, 0);
    } else {
        setShownArea(static_cast<int>(area.x0), sizing.height - static_cast<int>(area.y1), static_cast<int>(area.width()),
                     static_cast<int>(area.height()), panelBackdrop[0], panelBackdrop[1], panelBackdrop[2]);
    }
    sizing.applied = choice;
}

void drawInterface()
{
    Studio& s = state();
    if (s.still || !guiStarted() || !s.editor) return;
    guiBeginFrame(s.sizing.width, s.sizing.height);
    if (s.panel) drawPanel(layout(), facts(), header());
    if (s.panel && s.view.inspector) s.inspector->drawAndEdit(layout(), *s.editor);
    if (s.panel && s.mouse.boxing) {
        const MouseState& m = s.mouse;
        ImGui::GetForegroundDrawList()->AddRect(ImVec2(std::min(m.boxX0, m.boxX1), std::min(m.boxY0, m.boxY1)),
                                                ImVec2(std::max(m.boxX0, m.boxX1), std::max(m.boxY0, m.boxY1)),
                                                IM_COL32(255, 255, 255, 220));
    }
    if (!s.lastMessage.empty()) {
        const PanelRect& area = s.sizing.area;
        ImGui::SetNextWindowPos(ImVec2(area.x0 + 4, area.y1 - 4), ImGuiCond_Always, ImVec2(0, 1));
        ImGui::SetNextWindowBgAlpha(0.6f);
        const ImGuiWindowFlags plain = ImGuiWindowFlags_NoDecoration | ImGuiWindowFlags_NoInputs |
                                       ImGuiWindowFlags_AlwaysAutoResize | ImGuiWindowFlags_NoSavedSettings |
                                       ImGuiWindowFlags_NoFocusOnAppearing | ImGuiWindowFlags_NoNav;
        if (ImGui::Begin("message", nullptr, plain)) ImGui::TextUnformatted(printableText(s.lastMessage).c_str());
        ImGui::End();
    }
    guiEndFrame();
}

namespace {

class StudioMouse final : public MouseHost {
public:
    PanelLayout layout() override { return studio::layout(); }
    PanelFacts facts() override { return studio::facts(); }
    const std::vector<std::string>& names() override { return state().names; }
    PanelView& view() override { return state().view; }
    void moveTo(double row) override { studio::moveTo(row); }
    void openPrompt(const std::string& text) override { openPagePrompt(text); }
    void say(const std::string& line) override { studio::say(line); }
    Transport& time() override { return state().time; }
    void setLoop(double from, double to) override { studio::setLoop(from, to); }
    void splitChosen() override { studio::say("the picture takes " + splitText(state().view.split) + " of the height"); }
};

} // namespace

void onMouse(int button, int down, bool shift, int x, int y)
{
    Studio& s = state();
    guiMouse(button, down ? GLUT_DOWN : GLUT_UP, x, y);
    s.mouse.mouseX = x;
    s.mouse.mouseY = y;
    if (!s.editor || button != GLUT_LEFT_BUTTON) return;
    StudioMouse host;
    if (!down) {
        releasePanel(s.mouse, host, *s.editor);
        return;
    }
    // A press on one of ImGui's windows (the inspector's controls) is ImGui's.
    if (!s.panel || guiWantsMouse()) return;
    pressPanel(s.mouse, host, *s.editor, x, y, shift);
}

void onMotion(int x, int y)
{
    Studio& s = state();
    guiMotion(x, y);
    if (!s.editor) return;
    StudioMouse host;
    movePointer(s.mouse, host, *s.editor, x, y);
}

void onWheel(int direction, int x, int y)
{
    Studio& s = state();
    guiWheel(direction, x, y);
    if (!s.panel) return;
    StudioMouse host;
    wheelOverPanel(host, direction, x, y);
}

std::string trackUnderPointer()
{
    Studio& s = state();
    if (!s.panel) return "";
    StudioMouse host;
    return ::trackUnderPointer(s.mouse, host);
}

bool viewCommand(const std::vector<std::string>& words)
{
    Studio& s = state();
    const ViewDone done = runViewCommand(words, {s.view, s.panel, s.muted, s.soloed}, s.names, s.row);
    if (done.outcome == ViewOutcome::NotMine && words[0] == "loop") {
        bool off = false;
        int32_t from = 0, to = 0;
        std::string error;
        if (!readLoopCommand(words, off, from, to, error)) {
            say("error: " + error);
            return false;
        }
        if (off && !s.time.loop) say("no loop");
        setLoop(off ? 0 : from, off ? 0 : to);
        return true;
    }
    if (done.outcome == ViewOutcome::NotMine) {
        say("error: " + words[0] + " is the desktop player's alone for now");
        return false;
    }
    if (done.outcome == ViewOutcome::Refused) {
        say("error: " + done.said);
        return false;
    }
    if (done.mutesChanged) {
        for (size_t t = 0; t < s.names.size(); ++t) pushTrack(static_cast<int>(t));
    }
    say(done.said);
    return true;
}

} // namespace studio
