// capture/parts: a capture split into parts, pure text: what a part's file
// is called, and the tag it carries so that --join and --resume can tell
// what it is. Which frames each part holds is schedule.h's; the tag's
// settings are written and read as the options' table (options.h) does.
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

// FILE.mp4 -> FILE.part03of12.mp4: the part number padded to the count's
// width, so that the shell lists the parts in order.
std::string partPath(const std::string& out, int part, int parts);

// The tag written into a part, and its reading; parsePartTag validates
// every field as the command line would and fails on anything else.
std::string partTag(const CapturePlan& plan, int part, int parts, long first, long last);
bool parsePartTag(const std::string& text, PartTag& tag);

// What sets two parts' tags apart, for a message: "another state of the
// demo (its tracks, music differ)" where what they show differs, else
// "another render's settings"; "" for one render's parts.
std::string partDifference(const PartTag& a, const PartTag& b);
