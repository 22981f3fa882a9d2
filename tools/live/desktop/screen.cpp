// The live player's screen over the frame: the figures of the overlay, the
// frame's size against the window's, the music's state, the errors, the
// panel and the help; the frame counter and the window's title.
#include "live.h"

#include "demo/timeline.h"
#include "demo/tracks.h"
#include "render/programs.h"
#include "render/render_screen.h"
#include "render/scene_index.h"
#include "gui.h"
#include "panel_draw.h"

#include <imgui.h>

#include <GL/freeglut.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>

namespace fs = std::filesystem;

namespace live {

namespace {

const char* const sceneNames[sceneCount] = {"hall", "whirligig", "ball scene", "flyby", "tunnel", "ribbon"};

} // namespace

std::string position(double row)
{
    const int whole = static_cast<int>(row);
    char text[96];
    std::snprintf(text, sizeof text, "row %.2f  %d:%d:%d", row, whole / rowsPerBar, whole % rowsPerBar / rowsPerBeat,
                  whole % rowsPerBeat);
    return text;
}

std::vector<std::string> figures()
{
    const DemoDescription& demo = LIVE.demo.description;
    const int scene = sceneFromIndex(truncateToInt(sampleTrackAt(LIVE.demo.sceneTrack, LIVE.row)),
                                     static_cast<int>(demo.scenes.size()));
    const std::string name = LIVE.demo.folder.empty() ? sceneNames[scene] : demo.scenes[static_cast<size_t>(scene)].name;
    char line[160];
    std::vector<std::string> lines;
    std::snprintf(line, sizeof line, "%s  scene %d %s", position(LIVE.row).c_str(), scene, name.c_str());
    lines.push_back(line);
    std::string mode = LIVE.time.paused ? "paused" : "playing";
    if (LIVE.time.slowness) mode += " at 1/" + std::to_string(1 << LIVE.time.slowness);
    if (LIVE.time.loop) {
        mode += "  loop " + std::to_string(static_cast<int>(LIVE.time.loopFrom)) + "-" +
                std::to_string(static_cast<int>(LIVE.time.loopTo));
    }
    std::snprintf(line, sizeof line, "%.1f fps  %s", LIVE.stats.fps, mode.c_str());
    lines.push_back(line);
    lines.push_back(describeFrameSize());
    double ms[passCount + 1];
    if (!passTimesMeasurable()) {
        // Its queries would put each pass's work wherever the renderer
        // happened to run it: no figures rather than wrong ones.
        const char* renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
        const char* detail = std::strstr(renderer, " (");
        std::snprintf(line, sizeof line, "gpu ms  not timed: %.*s is a software renderer (make bench times passes)",
                      static_cast<int>(detail ? detail - renderer : std::strlen(renderer)), renderer);
        lines.push_back(line);
    } else if (passMilliseconds(ms)) {
        std::snprintf(line, sizeof line, "gpu ms  pass1 %.2f  pass2 %.2f  pass3 %.2f  pass4 %.2f  final %.2f", ms[1],
                      ms[2], ms[3], ms[4], ms[0]);
        lines.push_back(line);
    }
    return lines;
}

std::string describeFrameSize()
{
    const Sizing& sizing = LIVE.sizing;
    const FrameChoice& frame = sizing.applied;
    char line[160];
    std::snprintf(line, sizeof line, "frame %dx%d, scene pass %dx%d, in a window of %dx%d (%s)", frame.width,
                  frame.height, std::max(1, static_cast<int>(frame.width * frame.sceneScale)),
                  std::max(1, static_cast<int>(frame.height * frame.sceneScale)), sizing.width,
                  sizing.height, sizing.control->adaptive() ? "adaptive" : "fixed");
    return line;
}

// The frame's size as the control chooses it, for the space it is shown
// in: the window, or the picture's place above the panel.
void applyFrameSize()
{
    Sizing& sizing = LIVE.sizing;
    const FrameChoice choice = sizing.control->choice();
    setFrameSize(choice.width, choice.height, choice.sceneScale, sizing.width, sizing.height);
    const PanelRect& area = sizing.area;
    if (area.width() >= sizing.width && area.height() >= sizing.height) {
        setShownArea(0, 0, 0, 0);
    } else {
        setShownArea(static_cast<int>(area.x0), sizing.height - static_cast<int>(area.y1), static_cast<int>(area.width()),
                     static_cast<int>(area.height()), panelBackdrop[0], panelBackdrop[1], panelBackdrop[2]);
    }
    const bool changed = !(choice == sizing.applied);
    sizing.applied = choice;
    if (changed && LIVE.frame > 0) sayOnConsole(describeFrameSize());
}

// Where the picture goes: the window, or above the panel when it shows.
void placePicture()
{
    Sizing& sizing = LIVE.sizing;
    const PanelRect area = LIVE.edit.panel && guiStarted() ? panelLayout().picture : wholeWindow(sizing.width, sizing.height);
    if (area.x0 == sizing.area.x0 && area.y0 == sizing.area.y0 && area.x1 == sizing.area.x1 &&
        area.y1 == sizing.area.y1) {
        return;
    }
    sizing.area = area;
    sizing.control->setWindow(std::max(1, static_cast<int>(area.width())), std::max(1, static_cast<int>(area.height())));
    applyFrameSize();
}

namespace {

constexpr ImGuiWindowFlags plainWindow = ImGuiWindowFlags_NoDecoration | ImGuiWindowFlags_NoInputs |
                                         ImGuiWindowFlags_AlwaysAutoResize | ImGuiWindowFlags_NoSavedSettings |
                                         ImGuiWindowFlags_NoFocusOnAppearing | ImGuiWindowFlags_NoNav;

const ImVec4 errorColour(1.0f, 0.35f, 0.3f, 1.0f);

void message(const Message& m)
{
    const bool error = m.text.rfind("error: ", 0) == 0;
    ImGui::TextColored(error ? errorColour : ImVec4(0.85f, 0.95f, 0.85f, 1.0f), "%s", printableText(m.text).c_str());
}

// The messages' log over the curve view, the newest at the bottom.
void drawLog(const PanelLayout& l)
{
    ImGui::SetNextWindowPos(ImVec2(l.curve.x0, l.curve.y0), ImGuiCond_Always);
    ImGui::SetNextWindowSize(ImVec2(l.curve.width(), l.curve.height()), ImGuiCond_Always);
    ImGui::SetNextWindowBgAlpha(1.0f);
    if (ImGui::Begin("log", nullptr, plainWindow & ~(ImGuiWindowFlags_NoInputs | ImGuiWindowFlags_AlwaysAutoResize))) {
        for (const Message& m : LIVE.messages) message(m);
        if (ImGui::GetScrollY() >= ImGui::GetScrollMaxY() - 1) ImGui::SetScrollHereY(1.0f);
    }
    ImGui::End();
}

void lines(const std::vector<std::string>& text, const ImVec4& colour)
{
    for (const std::string& line : text) ImGui::TextColored(colour, "%s", printableText(line).c_str());
}

// Keys and commands in two columns, scrolling, as large as the window lets.
void drawHelp(int width, int height)
{
    const float w = std::min(static_cast<float>(width) - 16, guiFontSize() * 52);
    const float h = static_cast<float>(height) - 16;
    ImGui::SetNextWindowPos(ImVec2((static_cast<float>(width) - w) / 2, 8), ImGuiCond_Always);
    ImGui::SetNextWindowSize(ImVec2(w, h), ImGuiCond_Always);
    // Its backdrop is cleared, not drawn (gui.h): the help is fast to show.
    // The panel's flat shapes would lie over a cleared box, so the panel is
    // not drawn while the help shows.
    guiFillBox((static_cast<float>(width) - w) / 2, 8, (static_cast<float>(width) + w) / 2, 8 + h, IM_COL32(18, 19, 22, 255));
    ImGui::SetNextWindowBgAlpha(0.0f);
    const bool open = ImGui::Begin("Keys and commands (h closes, the wheel scrolls)", nullptr,
                     ImGuiWindowFlags_NoCollapse | ImGuiWindowFlags_NoSavedSettings | ImGuiWindowFlags_NoMove |
                         ImGuiWindowFlags_NoResize);
    if (open) {
        if (ImGui::BeginTable("help", 2, ImGuiTableFlags_SizingStretchProp)) {
            ImGui::TableSetupColumn("key", ImGuiTableColumnFlags_WidthStretch, 0.38f);
            ImGui::TableSetupColumn("does", ImGuiTableColumnFlags_WidthStretch, 0.62f);
            for (const std::string& line : helpText()) {
                ImGui::TableNextRow();
                ImGui::TableNextColumn();
                if (line.rfind("# ", 0) == 0) {
                    ImGui::Spacing();
                    ImGui::TextColored(ImVec4(1.0f, 0.85f, 0.4f, 1.0f), "%s", line.c_str() + 2);
                    continue;
                }
                const size_t tab = line.find('\t');
                ImGui::TextWrapped("%s", line.substr(0, tab).c_str());
                ImGui::TableNextColumn();
                ImGui::TextWrapped("%s", tab == std::string::npos ? "" : line.c_str() + tab + 1);
            }
            ImGui::EndTable();
        }
    }
    ImGui::End();
}

} // namespace

// Before the swap, over the finished picture: the figures when asked for,
// the errors always, what actions did for a few seconds, the command line,
// the panel and the help.
void drawOverlay()
{
    if (!guiStarted()) return;
    const int width = LIVE.sizing.width, height = LIVE.sizing.height;
    guiBeginFrame(width, height);
    const PanelRect& area = LIVE.sizing.area;
    // The help covers the panel: the panel is not drawn under it.
    if (LIVE.edit.panel && !LIVE.edit.help) {
        const PanelLayout layout = panelLayout();
        drawPanel(layout, panelFacts(), panelHeader());
        if (LIVE.edit.mouse.boxing) {
            const MouseState& e = LIVE.edit.mouse;
            ImGui::GetForegroundDrawList()->AddRect(ImVec2(std::min(e.boxX0, e.boxX1), std::min(e.boxY0, e.boxY1)),
                                                    ImVec2(std::max(e.boxX0, e.boxX1), std::max(e.boxY0, e.boxY1)),
                                                    IM_COL32(255, 255, 255, 220));
        }
    }
    // Top left: figures, the music's render, errors.
    std::vector<std::string> errors;
    for (const auto& [file, text] : LIVE.errors) {
        for (size_t i = 0; i < text.size() && i < 4; ++i) errors.push_back(text[i]);
    }
    if (LIVE.overlay || !errors.empty() || !LIVE.tunegen.status.empty()) {
        ImGui::SetNextWindowPos(ImVec2(0, 0), ImGuiCond_Always);
        ImGui::SetNextWindowBgAlpha(0.75f);
        // Wrapping is set inside a window: outside, it would show ImGui's
        // own debug window.
        if (ImGui::Begin("figures", nullptr, plainWindow)) {
            ImGui::PushTextWrapPos(static_cast<float>(width) - 16);
            if (LIVE.overlay) lines(figures(), ImVec4(1, 1, 1, 1));
            if (!LIVE.tunegen.status.empty()) lines({LIVE.tunegen.status}, ImVec4(0.55f, 0.85f, 1.0f, 1.0f));
            lines(errors, errorColour);
            ImGui::PopTextWrapPos();
        }
        ImGui::End();
    }
    // Bottom left of the picture: what the last actions did, and the
    // command line under them.
    const bool fresh = !LIVE.messages.empty() && Clock::now() - LIVE.messages.back().at < std::chrono::seconds(4);
    if (fresh || LIVE.edit.prompting) {
        ImGui::SetNextWindowPos(ImVec2(area.x0 + 4, area.y1 - 4), ImGuiCond_Always, ImVec2(0, 1));
        ImGui::SetNextWindowBgAlpha(0.8f);
        if (ImGui::Begin("messages", nullptr, plainWindow)) {
            ImGui::PushTextWrapPos(std::max(120.0f, area.width() * 0.55f));
            if (fresh) message(LIVE.messages.back());
            if (LIVE.edit.prompting) {
                ImGui::TextColored(ImVec4(1, 1, 1, 1), ":%s_", printableText(LIVE.edit.prompt).c_str());
            }
            ImGui::PopTextWrapPos();
        }
        ImGui::End();
    }
    if (LIVE.edit.help) {
        drawHelp(width, height);
    } else {
        if (LIVE.edit.log && LIVE.edit.panel) drawLog(panelLayout());
        inspect();
    }
    guiEndFrame();
}

void countFrame()
{
    Stats& s = LIVE.stats;
    ++s.frames;
    const double seconds = std::chrono::duration<double>(Clock::now() - s.since).count();
    if (seconds < 1.0) return;
    s.fps = s.frames / seconds;
    s.frames = 0;
    s.since = Clock::now();
    if (LIVE.overlay) {
        std::string line;
        for (const std::string& part : figures()) line += (line.empty() ? "" : "  |  ") + part;
        sayOnConsole(line);
    }
}

// The window's title names the player, the tracks text and the row, while
// the demo's own executables keep theirs.
void updateTitle()
{
    static int shown = -1;
    const int row = static_cast<int>(LIVE.row);
    if (row == shown) return;
    shown = row;
    std::string title = "orvanta-live";
    if (!LIVE.files.tracks.empty()) title += " - " + fs::path(LIVE.files.tracks).filename().string();
    title += " - " + position(LIVE.row);
    glutSetWindowTitle(title.c_str());
}

} // namespace live
