// capture/encoding: the ffmpeg options a capture is encoded with: BT.709
// colour conversion and tags on limited range, keyframes every
// keyframeInterval (schedule.h), and what the plan asks for.
#pragma once

#include "plan.h"

#include <string>
#include <vector>

// The lowest H.264 level from 4.2 up whose frame size and macroblock rate
// hold `width` x `height` at `fps`; "" when even level 6.2 does not.
std::string h264Level(int width, int height, int fps);

// The video's and the audio's options together, and each alone: a part has
// no sound, and the join encodes the sound alone.
std::vector<std::string> encoderOptions(const CapturePlan& plan);
std::vector<std::string> videoEncoderOptions(const CapturePlan& plan);
std::vector<std::string> audioEncoderOptions(const CapturePlan& plan);
