// capture/parts: a capture split into parts, pure arithmetic and text: which
// frames each part holds, what its file is called, and the tag it carries
// so that --join and --resume can tell what it is.
#pragma once

#include "plan.h"

#include <string>

// What a part file says of itself (its MP4 comment), read back by --join
// and --resume: which part it is, its frames, and the settings of the whole
// render, which every part of it shares.
struct PartTag {
    int part = 0;
    int parts = 0;
    long first = 0; // the part's frames, of the whole capture
    long last = 0;
    std::string text; // the whole tag
    std::string job;  // its settings, compared as they are
    CapturePlan plan;  // the same settings, parsed: fps, rows, frames, encoding
};

// Frames from one keyframe to the next, two seconds' worth, counted from the
// first frame written: every part starts on one, and a whole video places
// its keyframes on the same frames.
long keyframeInterval(const CapturePlan& plan);

// The frames of part `part` of `parts` of the frames the plan writes, split
// on keyframes into runs as even as they can be. False when there are fewer
// keyframe intervals than parts.
bool partFrames(const CapturePlan& plan, int part, int parts, long& first, long& last);

// FILE.mp4 -> FILE.part03of12.mp4: the part number padded to the count's
// width, so that the shell lists the parts in order.
std::string partPath(const std::string& out, int part, int parts);

// The tag written into a part, and its reading; parsePartTag validates
// every field as the command line would and fails on anything else.
std::string partTag(const CapturePlan& plan, int part, int parts, long first, long last);
bool parsePartTag(const std::string& text, PartTag& tag);
