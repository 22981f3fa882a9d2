// capture/join: the part files of a split render, read back through ffprobe
// and joined into one video with the music through ffmpeg.
//
//     PartTag tag;
//     if (!readPart(path, tag, error)) ...     // not a whole part: error names the file
//     const int status = joinParts(plan);      // --join: 0, or 1 having said why
//
// A part is whole when ffprobe decodes every frame of it without a
// complaint, its comment is a part tag, and its picture bears the tag out:
// as many frames as the tag says (counted by decoding them, since a copy cut
// short still has its whole index at the front), its frame rate and size.
// A join is counted the same way before it takes the output's name: every
// frame of the parts, and as much sound as picture.
#pragma once

#include "parts.h"

#include <string>

// Reads a part file. Failure: false with a message naming the file.
bool readPart(const std::string& path, PartTag& tag, std::string& error);

// Whether `path` is a whole part that this run would write: the same part,
// frames and settings, showing the demo as it is now (plan.shown). When it
// is not, `why` says why ("" where there is no such file).
bool partIsComplete(const CapturePlan& plan, const std::string& path, long first, long last, std::string& why);

// Joins plan.joined into plan.out with the music from plan.dataDir: checks
// that the parts are one render's, all there, each whole, that their frames
// follow on, and that they show the demo as it is now (plan.shown: the
// music they are joined with is its music); copies their video and encodes
// the sound once. Returns the exit status; on failure the message names the
// file or the missing part, and what differs.
int joinParts(const CapturePlan& plan);
