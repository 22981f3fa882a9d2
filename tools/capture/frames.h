// capture/frames: the frames of a capture drawn with the demo's own frame
// code and their pictures pulled from it, the run-up before the first one
// included, so that a capture starting anywhere draws what one from the
// start draws there.
#pragma once

#include "plan.h"
#include "progress.h"

#include <vector>

// A frame's picture: RGBA, the bottom row first, as GL reads it.
struct Picture {
    int width = 0;
    int height = 0;
    std::vector<unsigned char> rgba;

    // Top row first, for image files.
    std::vector<unsigned char> flipped() const;
};

// Draws the frame at `seconds` of music; with `keep`, pulls its picture
// into `picture`. The rows a capture draws are its seconds on the music's
// clock, as they always were, so that the same rows give the same frames to
// the bit.
void drawAt(double seconds, Picture* keep = nullptr);

// The frames drawn before `seconds`, at most a second's worth, so that pass
// 2's history matches a capture that reached this point from the start.
long warmUpFrames(const CapturePlan& plan, double seconds);

// Draws the run-up before `seconds`, each frame reported as done.
void warmUp(const CapturePlan& plan, double seconds, Progress* progress = nullptr);
