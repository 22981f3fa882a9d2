#include "support/frame_harness.h"

#include "app/startup.h"
#include "demo/tracks.h"
#include "render/render_screen.h"
#include "support/gl_context.h"
#include "support/x_server.h"

#include <GL/glew.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <iostream>
#include <unistd.h>

FrameHarness::FrameHarness(int screenWidth, int screenHeight)
{
    // A screen of its own, so that the window size the demo records (the
    // screen's, before the switch to full screen) is the same everywhere.
    static XServer server(screenWidth, screenHeight);
    setenv("DISPLAY", server.display().c_str(), 1);
    char previous[4096];
    if (getcwd(previous, sizeof previous)) previousDirectory_ = previous;
    setenv("SDL_AUDIODRIVER", "none", 1);
}

FrameHarness::~FrameHarness()
{
    if (!previousDirectory_.empty() && chdir(previousDirectory_.c_str()) != 0) {
        ADD_FAILURE() << "cannot return to " << previousDirectory_;
    }
}

std::string FrameHarness::start()
{
    static bool started = false;
    if (started) {
        ADD_FAILURE() << "the demo starts once a process; run this test in a process of its own";
        return "";
    }
    started = true;
    ensureGlContext();
    DemoStartup startup;
    startup.window = WindowMode::Current;
    startup.sceneScale = 0.68f; // the reduced scale of orvanta and orvanta-screen-reduced
    startup.dataFolder = folder_.path();
    std::string error;
    int argc = 0;
    testing::internal::CaptureStdout();
    const bool ok = startDemo(argc, nullptr, startup, error);
    std::cout.flush();
    const std::string printed = testing::internal::GetCapturedStdout();
    if (!ok) ADD_FAILURE() << error;
    return printed;
}

std::string FrameHarness::frame()
{
    testing::internal::CaptureStdout();
    renderScreen();
    std::cout.flush();
    return testing::internal::GetCapturedStdout();
}

std::string FrameHarness::frameAt(double row, int frames)
{
    std::string printed;
    for (int i = 0; i < frames; ++i) {
        testing::internal::CaptureStdout();
        drawFrameAt(row);
        std::cout.flush();
        printed = testing::internal::GetCapturedStdout();
    }
    return printed;
}

void FrameHarness::setTrack(const std::string& name, const std::vector<TestKey>& keys)
{
    folder_.write("sync_" + name + ".track", trackFileBytes(keys));
    closeDemoTracks();
    openDemoTracks();
}

std::vector<int> liveGlObjects()
{
    GLboolean (*const checks[])(GLuint) = {glIsTexture, glIsBuffer, glIsFramebuffer, glIsRenderbuffer,
                                           glIsVertexArray, glIsProgram, glIsShader};
    std::vector<int> counts;
    for (auto check : checks) {
        int live = 0;
        for (GLuint name = 1; name < 4096; ++name) live += check(name) ? 1 : 0;
        counts.push_back(live);
    }
    return counts;
}
