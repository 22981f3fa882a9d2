// Orvanta in a web page: the process entry of the browser build. The page
// has laid the data files out in the program's file system and decoded the
// tune before it calls main (web/index.html); the start-up is the desktop's,
// in a window the size of the page's canvas, and the frames come from the
// browser's animation frames. The page tells the scene scale (0.68 unless
// asked otherwise), a row to start at and whether to hold there. A page made
// from a demo folder carries its manifest and its shaders' sources in demo/
// (orvanta-stage lays them out), and plays that demo instead of Orvanta.
#include "app/startup.h"
#include "demo/clock.h"
#include "demo/timeline.h"
#include "render/demo_folder.h"
#include "render/render_screen.h"

#include <GL/freeglut.h>

#include <emscripten.h>

#include <cstdio>
#include <fstream>

namespace {

EM_JS(double, pageNumber, (const char* name, double fallback), {
    const value = Module.orvantaOptions ? Module.orvantaOptions[UTF8ToString(name)] : undefined;
    return typeof value === 'number' ? value : fallback;
});

} // namespace

// Where the demo stands, for the page: the music's row, and whether it is
// paused.
extern "C" EMSCRIPTEN_KEEPALIVE double orvantaRow()
{
    return currentRow();
}

extern "C" EMSCRIPTEN_KEEPALIVE int orvantaPaused()
{
    return musicIsPaused() ? 1 : 0;
}

// The page's canvas took a new size (a resize, or a new device pixel ratio).
extern "C" EMSCRIPTEN_KEEPALIVE void orvantaResize(int width, int height)
{
    if (width > 0 && height > 0) resizeFrame(width, height);
}

int main(int argc, char** argv)
{
    DemoStartup startup;
    startup.window = WindowMode::Windowed;
    startup.width = static_cast<int>(pageNumber("width", 1280));
    startup.height = static_cast<int>(pageNumber("height", 720));
    startup.sceneScale = static_cast<float>(pageNumber("scale", 0.68));
    std::string error;
    DemoFolder folder;
    if (std::ifstream("demo/demo.toml")) {
        if (readDemoFolder("demo", boundedFileReader(size_t(8) << 20), folder, error)) {
            startup.description = folder.description;
        } else {
            std::fprintf(stderr, "%s\n", error.c_str());
        }
    }
    startDemo(argc, argv, startup, error);
    const double rowsASecond = demoDescription().rowRate;
    const double row = pageNumber("row", 0.0);
    if (pageNumber("hold", 0.0) != 0.0) {
        // The second before the row first, at 60 frames a second, then the
        // row, as the desktop capture's stills are drawn: pass 2's trails
        // are those of a run that reached the row. The page keeps this
        // picture; the held frames after it settle, as a paused desktop's do.
        for (int k = 60; k >= 1; --k) {
            const double before = row - k * rowsASecond / 60.0;
            if (before >= 0.0) drawFrameAt(before);
        }
        drawFrameAt(row);
    } else if (row > 0.0) {
        moveMusicTo(row);
    }
    glutMainLoop();
    return 0;
}
