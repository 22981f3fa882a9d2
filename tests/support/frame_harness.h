// Runs the demo's own start-up and frames inside a test process, in place of
// the window system's main loop: a private X server (1280x720 unless told
// otherwise), the GL debug
// context of gl_context, a scratch run folder as the working directory, the
// silent audio clock. One harness a process: start-up runs once.
#pragma once

#include "support/run_folder.h"

#include <cstdint>
#include <string>
#include <vector>

class FrameHarness {
public:
    // Copies the run folder; files may be changed there before start(). The
    // first harness of a process starts the X server with its screen size.
    explicit FrameHarness(int screenWidth = 1280, int screenHeight = 720);
    ~FrameHarness();

    const RunFolder& folder() const { return folder_; }

    // initDemo and the GPU resources; returns what start-up printed.
    std::string start();

    // One frame through renderScreen; returns its console output.
    std::string frame();

    // Replaces a track's file with keys (row, value, code) and reopens every
    // track, as start-up would.
    void setTrack(const std::string& name, const std::vector<std::tuple<int32_t, float, int8_t>>& keys);

private:
    RunFolder folder_;
    std::string previousDirectory_;
};

// Live GL objects of each kind (textures, buffers, framebuffers, ...), found
// by asking the driver about every name up to a bound.
std::vector<int> liveGlObjects();
