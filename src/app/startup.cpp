#include "app/startup.h"

#include "app/offscreen.h"
#include "app/window.h"
#include "demo/clock.h"
#include "demo/keys.h"
#include "demo/tracks.h"
#include "render/frame_size.h"
#include "render/programs.h"
#include "render/render_screen.h"
#include "render/render_targets.h"

#include <GL/freeglut.h>

#include <cassert>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <thread>
#include <unistd.h>

namespace {

// A process started with standard input, output or error closed would hand
// those descriptors to the next files it opens (the X connection among them):
// the shader log could then be written into the X stream, and the wait after
// a failed fragment shader could read from it. Point closed ones at /dev/null.
void openClosedStandardStreams()
{
    for (int fd = 0; fd <= 2; ++fd) {
        if (fcntl(fd, F_GETFD) == -1 && errno == EBADF) {
            const int opened = open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
            if (opened != fd && opened >= 0) {
                dup2(opened, fd);
                close(opened);
            }
        }
    }
}

// The demo's own set-up, once the window exists: render targets, keyboard,
// music, tracks, then the window's size after a pause in which the window
// system settles.
void initDemo(const DemoStartup& startup, const DemoDescription& description)
{
    createRenderTargets();
    const bool windowSystem = startup.window != WindowMode::Offscreen;
    if (windowSystem) glutKeyboardFunc(handleKey);
    openMusic();
    std::vector<std::string> tracks;
    for (const TrackDescription& track : description.tracks) tracks.push_back(track.name);
    openTracks(tracks);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    if (windowSystem) {
        recordWindowSize(startup.window != WindowMode::Windowed);
    } else {
        setFrameDimensions(startup.width, startup.height);
    }
    allocateDepthBuffers(static_cast<int>(frameSize().windowWidth), static_cast<int>(frameSize().windowHeight));
}

void presentNothing()
{
    glFlush();
}

} // namespace

bool startDemo(int& argc, char** argv, const DemoStartup& startup, std::string& error)
{
    static bool started = false;
    assert(!started && "the demo starts once a process");
    started = true;

    openClosedStandardStreams();
    const DemoDescription description = startup.description.scenes.empty() ? orvantaDescription() : startup.description;
    if (!checkDescription(description, error)) return false;
    if (!startup.dataFolder.empty() && chdir(startup.dataFolder.c_str()) != 0) {
        error = "cannot enter " + startup.dataFolder + ": " + std::strerror(errno);
        return false;
    }
    setDemoDescription(description);
    setTimeline(description.rowRate, description.endRow);
    setSceneRenderScale(startup.sceneScale);
    if (startup.window == WindowMode::Offscreen) {
        if (!initOffscreen(error)) return false;
        createPresentTarget(startup.width, startup.height);
        setPresent(presentNothing);
    } else if (startup.window != WindowMode::Current) {
        glutInit(&argc, argv);
        initWindow(startup);
    }
    initDemo(startup, description);
    buildDemoResources(description);
    return true;
}

bool redescribeDemo(const DemoDescription& description, std::string& error)
{
    if (!checkDescription(description, error)) return false;
    setDemoDescription(description);
    setTimeline(description.rowRate, description.endRow);
    std::vector<std::string> tracks;
    for (const TrackDescription& track : description.tracks) tracks.push_back(track.name);
    closeDemoTracks();
    openTracks(tracks);
    replaceShaderPrograms(description);
    return true;
}
