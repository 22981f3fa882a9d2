// Runs the demo's own start-up and frames inside a test process, in place of
// the window system's main loop: a private X server (1280x720 unless told
// otherwise), the GL debug context of gl_context, a scratch run folder as the
// working directory, the silent audio clock, and the reduced scene scale.
// The demo starts once a process: a second harness that starts fails its
// test (ctest runs every test in a process of its own).
#pragma once

#include "support/run_folder.h"
#include "support/track_bytes.h"

#include <string>
#include <vector>

class FrameHarness {
public:
    // Copies the run folder; files may be changed there before start(). The
    // first harness of a process starts the X server with its screen size.
    explicit FrameHarness(int screenWidth = 1280, int screenHeight = 720);
    ~FrameHarness();

    const RunFolder& folder() const { return folder_; }

    // The demo's start-up in the current GL context; returns what it printed.
    std::string start();

    // One frame through renderScreen; returns its console output.
    std::string frame();

    // Holds the music at `row` and draws `frames` frames there; returns the
    // last frame's console output.
    std::string frameAt(double row, int frames = 1);

    // Replaces a track's file with keys and reopens every track, as start-up
    // would.
    void setTrack(const std::string& name, const std::vector<TestKey>& keys);

private:
    RunFolder folder_;
    std::string previousDirectory_;
};

// Live GL objects of each kind (textures, buffers, framebuffers, ...), found
// by asking the driver about every name up to a bound.
std::vector<int> liveGlObjects();
