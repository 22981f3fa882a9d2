// capture/encoder: ffmpeg, reading raw frames on its standard input and
// writing H.264: a whole video with the music, or a part (with its tag) of
// the video alone. Ended at once, and its unfinished file thrown away, when
// the capture ends early.
#pragma once

#include "plan.h"
#include "subprocess.h"

#include <string>
#include <vector>

class Encoder {
public:
    // Starts ffmpeg writing `path`: `frames` frames from `startSeconds` of
    // the music, tagged as a part when `tag` is not empty. False when it
    // could not be started.
    bool start(const CapturePlan& plan, const std::string& path, double startSeconds, long frames,
               const std::string& tag);
    // One frame, RGBA, the bottom row first. False when ffmpeg stopped.
    bool write(const std::vector<unsigned char>& frame);
    // Ends the input and waits: true when ffmpeg wrote the whole file.
    bool finish();

private:
    Subprocess ffmpeg_;
};
