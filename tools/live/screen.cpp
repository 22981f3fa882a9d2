// The live player's screen over the frame: the figures of the overlay, the
// frame's size against the window's, the music's state, the errors, the
// panel and the help; the frame counter and the window's title.
#include "live.h"

#include "demo/timeline.h"
#include "demo/tracks.h"
#include "render/programs.h"
#include "render/render_screen.h"
#include "render/scene_index.h"

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
    const int scene = sceneFromIndex(truncateToInt(sampleTrack(DemoTrack::Scene, LIVE.row)));
    char line[160];
    std::vector<std::string> lines;
    std::snprintf(line, sizeof line, "%s  scene %d %s", position(LIVE.row).c_str(), scene, sceneNames[scene]);
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

// The frame's size as the control chooses it, for the window as it is.
void applyFrameSize()
{
    Sizing& sizing = LIVE.sizing;
    const FrameChoice choice = sizing.control->choice();
    setFrameSize(choice.width, choice.height, choice.sceneScale, sizing.width, sizing.height);
    const bool changed = !(choice == sizing.applied);
    sizing.applied = choice;
    if (changed && LIVE.frame > 0) say(describeFrameSize());
}

// Before the swap, over the finished picture: the errors always, the
// figures when asked for.
void drawOverlay()
{
    const int width = LIVE.sizing.width, height = LIVE.sizing.height;
    int y = 0;
    if (LIVE.overlay) {
        const std::vector<std::string> lines = figures();
        LIVE.text->draw(lines, 0, y, {1.0f, 1.0f, 1.0f}, width, height);
        y += static_cast<int>(lines.size()) * 24 + 8;
    }
    if (LIVE.edit.panel) drawPanel(*LIVE.text, panelLayout(), panelFacts());
    if (LIVE.edit.help) {
        LIVE.text->draw(helpLines, 0, y, {1.0f, 0.9f, 0.5f}, width, height);
        y += static_cast<int>(helpLines.size()) * 24 + 8;
    }
    if (LIVE.edit.prompting) {
        LIVE.text->draw({":" + LIVE.edit.prompt + "_"}, 0, y, {1.0f, 1.0f, 1.0f}, width, height);
        y += 24 + 8;
    }
    if (!LIVE.tunegen.status.empty()) {
        LIVE.text->draw({LIVE.tunegen.status}, 0, y, {0.55f, 0.85f, 1.0f}, width, height);
        y += 24 + 8;
    }
    std::vector<std::string> errors;
    for (const auto& [file, lines] : LIVE.errors) {
        for (size_t i = 0; i < lines.size() && i < 4; ++i) errors.push_back(lines[i]);
    }
    LIVE.text->draw(errors, 0, y, {1.0f, 0.35f, 0.3f}, width, height);
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
        say(line);
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
