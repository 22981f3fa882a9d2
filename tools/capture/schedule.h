// capture/schedule: which frames a capture draws and where each stands in
// the music: the whole capture, the frames --frames picks, the parts a
// split render takes, the contact sheet's cells. Pure arithmetic.
//
// Frame i of a capture shows the row (start seconds + i / fps) x rows a
// second, start seconds = --from-row / rows a second. A capture runs while
// the row is at most --to-row; without --to-row it ends, as the program
// does, with the first frame past the last row.
#pragma once

#include "plan.h"

#include <vector>

// Seconds of music and row of frame i.
double frameSeconds(const CapturePlan& plan, long frame);
double frameRow(const CapturePlan& plan, long frame);

// Frames in the whole capture (before --frames picks some of them).
long frameCount(const CapturePlan& plan);

// The frames written: [first, last] of the whole capture, clipped to it.
void writtenFrames(const CapturePlan& plan, long& first, long& last);

// The rows of the contact sheet's cells: 0, every, 2 x every, ... up to toRow.
std::vector<double> contactRows(const CapturePlan& plan);

// Frames from one keyframe to the next, two seconds' worth, counted from the
// first frame written: every part starts on one, and a whole video places
// its keyframes on the same frames.
long keyframeInterval(const CapturePlan& plan);

// The frames of part `part` of `parts` of the frames the plan writes, split
// on keyframes into runs as even as they can be. False when there are fewer
// keyframe intervals than parts.
bool partFrames(const CapturePlan& plan, int part, int parts, long& first, long& last);
