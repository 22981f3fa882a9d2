// Orvanta Studio's program: the process entry, the frame, and the calls the
// page makes (web/studio/studio.js). Strings handed back stay valid until
// the next call of the same kind.
#include "studio.h"
#include "json_text.h"

#include "gui.h"

#include "demo/clock.h"
#include "render/render_screen.h"

#include <GL/freeglut.h>

#include <emscripten.h>

#include <chrono>
#include <cstdio>
#include <iostream>
#include <sstream>

namespace studio {

namespace {

Studio STUDIO;

double secondsNow()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}


void frame()
{
    Studio& s = STUDIO;
    if (!s.started || s.still) return;
    const double start = secondsNow();
    s.editor->tick();
    s.row = advanceTransport(s.time, studio::timeline());
    if (s.panel) followRow(s.view, s.row);
    s.inspector->follow(*s.editor, s.panel && s.view.inspector);
    placePicture();
    std::streambuf* console = std::cout.rdbuf(nullptr);
    drawFrame(s.row);
    std::cout.rdbuf(console);
    ++s.frames;
    const double now = secondsNow();
    s.frameTimes.push_back(now);
    while (!s.frameTimes.empty() && now - s.frameTimes.front() > 2.0) s.frameTimes.erase(s.frameTimes.begin());
    if (s.sizing.control->frameTook(now - start, now)) placePicture();
}

} // namespace

Studio& state()
{
    return STUDIO;
}

} // namespace studio

using studio::STUDIO;

extern "C" {

// The canvas's size in pixels; the first call starts the interface.
EMSCRIPTEN_KEEPALIVE void studio_resize(int width, int height)
{
    if (width <= 0 || height <= 0) return;
    STUDIO.sizing.width = width;
    STUDIO.sizing.height = height;
    STUDIO.sizing.area = {};
    if (STUDIO.started) resizeFrame(width, height);
}

// Reads /demo and draws it. Returns "" or why it could not.
EMSCRIPTEN_KEEPALIVE const char* studio_open()
{
    static std::string result;
    result.clear();
    const bool first = !STUDIO.started;
    if (!studio::openFolder(result)) return result.c_str();
    if (first) {
        GuiSettings settings;
        settings.glsl = "#version 300 es";
        FILE* font = std::fopen("/studio/font.ttf", "rb");
        if (font) {
            char buffer[65536];
            size_t got = 0;
            while ((got = std::fread(buffer, 1, sizeof buffer, font)) > 0 && settings.font.size() < (16u << 20)) {
                settings.font.append(buffer, got);
            }
            std::fclose(font);
        }
        std::string error;
        if (!startGui(std::move(settings), error)) studio::say("the panel does not start: " + error);
        STUDIO.sizing.control = std::make_unique<ResolutionControl>(0, 0, 0.0f);
        glutDisplayFunc(studio::frame);
        glutIdleFunc(glutPostRedisplay);
        // The page hands the canvas's keys and mouse on itself: GLUT's would
        // take every key and wheel of the page, the text pane's too.
        glutKeyboardFunc(nullptr);
        glutSpecialFunc(nullptr);
        glutMouseFunc(nullptr);
        glutMotionFunc(nullptr);
        glutPassiveMotionFunc(nullptr);
        setBeforeSwap(studio::drawInterface);
    }
    STUDIO.sizing.area = {};
    STUDIO.sizing.applied = {};
    return result.c_str();
}

// Whether `folder` reads as a demo the studio can draw: "" or why not.
EMSCRIPTEN_KEEPALIVE const char* studio_check(const char* folder)
{
    static std::string result;
    result.clear();
    studio::checkFolder(folder, result);
    return result.c_str();
}

// The canvas's mouse, in its pixels from the top left; button 0 left.
EMSCRIPTEN_KEEPALIVE void studio_mouse(int button, int down, int shift, int x, int y)
{
    if (STUDIO.started) studio::onMouse(button, down != 0, shift != 0, x, y);
}

EMSCRIPTEN_KEEPALIVE void studio_motion(int x, int y)
{
    if (STUDIO.started) studio::onMotion(x, y);
}

EMSCRIPTEN_KEEPALIVE void studio_wheel(int direction, int x, int y)
{
    if (STUDIO.started) studio::onWheel(direction, x, y);
}

// The page decoded the demo's tune after it opened: the music takes it
// where the silent clock stood.
EMSCRIPTEN_KEEPALIVE int studio_tune()
{
    return STUDIO.started && reopenMusic() ? 1 : 0;
}

// A key on the canvas, numbered as GLUT numbers them (key_table.h): 1 where
// it is one of the editor's keys.
EMSCRIPTEN_KEEPALIVE int studio_key(int key, int shift)
{
    return STUDIO.started && studio::pressKey(key, shift != 0) ? 1 : 0;
}

// A file of /demo was written.
EMSCRIPTEN_KEEPALIVE const char* studio_saved(const char* name)
{
    static std::string result;
    STUDIO.said.clear();
    studio::takeSave(name);
    result.clear();
    for (const std::string& line : STUDIO.said) result += (result.empty() ? "" : "\n") + line;
    return result.c_str();
}

// One line of the editor's command language; returns what it said.
EMSCRIPTEN_KEEPALIVE const char* studio_run(const char* line)
{
    static std::string result;
    STUDIO.said.clear();
    if (STUDIO.editor) STUDIO.editor->run(line);
    result.clear();
    for (const std::string& said : STUDIO.said) result += (result.empty() ? "" : "\n") + said;
    return result.c_str();
}

EMSCRIPTEN_KEEPALIVE const char* studio_tracks()
{
    static std::string result;
    result = "[";
    for (size_t t = 0; t < STUDIO.names.size(); ++t) result += (t ? "," : "") + jsonString(STUDIO.names[t]);
    result += "]";
    return result.c_str();
}

EMSCRIPTEN_KEEPALIVE const char* studio_errors()
{
    static std::string result;
    result = "[";
    bool any = false;
    for (const auto& [file, lines] : STUDIO.errors) {
        for (const ShaderError& error : lines) {
            result += std::string(any ? "," : "") + "{\"file\":" + jsonString(file) +
                      ",\"line\":" + std::to_string(error.line) + ",\"message\":" + jsonString(error.message) + "}";
            any = true;
        }
    }
    result += "]";
    return result.c_str();
}

EMSCRIPTEN_KEEPALIVE const char* studio_layout()
{
    static std::string result;
    result = STUDIO.started ? studio::layoutText() : "{}";
    return result.c_str();
}

EMSCRIPTEN_KEEPALIVE double studio_row()
{
    return STUDIO.row;
}

EMSCRIPTEN_KEEPALIVE int studio_frames()
{
    return static_cast<int>(STUDIO.frames);
}

EMSCRIPTEN_KEEPALIVE double studio_fps()
{
    const auto& times = STUDIO.frameTimes;
    if (times.size() < 2) return 0;
    return static_cast<double>(times.size() - 1) / std::max(1e-6, times.back() - times.front());
}

// The picture at `row`, width x height, as the desktop capture's still
// draws it: the second before at 60 frames a second, then the row, at the
// full scene scale. RGBA rows bottom up; the pointer stays valid until the
// next still.
EMSCRIPTEN_KEEPALIVE const unsigned char* studio_still(double row, int width, int height)
{
    static std::vector<unsigned char> pixels;
    if (!STUDIO.started || width < 16 || height < 16 || width > 4096 || height > 4096) return nullptr;
    const double was = STUDIO.row;
    STUDIO.still = true;
    setFrameSize(width, height, 1.0f, width, height);
    setShownArea(0, 0, 0, 0);
    std::streambuf* console = std::cout.rdbuf(nullptr);
    const double rowsASecond = STUDIO.folder.description.rowRate;
    for (int k = 60; k >= 1; --k) {
        const double before = row - k * rowsASecond / 60.0;
        if (before >= 0.0) drawFrameAt(before);
    }
    pixels.clear();
    drawFrameInto(row, pixels);
    std::cout.rdbuf(console);
    STUDIO.still = false;
    STUDIO.sizing.applied = {};
    STUDIO.sizing.area = {};
    // Back where the picture stood; playing, the music plays on from there.
    studio::moveTo(was);
    return pixels.size() == static_cast<size_t>(width) * height * 4 ? pixels.data() : nullptr;
}

} // extern "C"

int main()
{
    // The page calls studio_open once the folder is laid out; the frames
    // then come from the browser's animation frames.
    return 0;
}
