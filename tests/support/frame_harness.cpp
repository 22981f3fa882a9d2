#include "support/frame_harness.h"

#include "app/demo.h"
#include "app/programs.h"
#include "demo/tracks.h"
#include "render/render_screen.h"
#include "support/gl_context.h"
#include "support/x_server.h"

#include <GL/glew.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <iostream>
#include <tuple>
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
    ensureGlContext();
    if (chdir(folder_.path().c_str()) != 0) ADD_FAILURE() << "cannot enter " << folder_.path();
    testing::internal::CaptureStdout();
    initDemo();
    buildDemoResources();
    std::cout.flush();
    return testing::internal::GetCapturedStdout();
}

std::string FrameHarness::frame()
{
    testing::internal::CaptureStdout();
    renderScreen();
    std::cout.flush();
    return testing::internal::GetCapturedStdout();
}

void FrameHarness::setTrack(const std::string& name, const std::vector<std::tuple<int32_t, float, int8_t>>& keys)
{
    const int32_t count = static_cast<int32_t>(keys.size());
    std::string bytes(reinterpret_cast<const char*>(&count), 4);
    for (const auto& [row, value, code] : keys) {
        bytes.append(reinterpret_cast<const char*>(&row), 4);
        bytes.append(reinterpret_cast<const char*>(&value), 4);
        bytes.push_back(static_cast<char>(code));
    }
    folder_.write("sync_" + name + ".track", bytes);
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
