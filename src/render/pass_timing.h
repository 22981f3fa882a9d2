// render/pass_timing: the GPU time of each pass, measured with timer queries
// when asked for, its state kept here alone. The frame driver brackets each
// pass; a tool turns the measuring on and reads the figures.
#pragma once

#include "render/render_targets.h"

// Measures each pass's GPU time with timer queries from now on (or stops).
// The figures lag a few frames behind, so that reading them never waits.
void setPassTiming(bool on);

// The last measured GPU time of each pass in milliseconds, index 0 the final
// pass and 1 to 4 the scene's passes. False while timing is off or before
// the first figures are in. Meaningless where !passTimesMeasurable().
bool passMilliseconds(double (&milliseconds)[passCount + 1]);

// Whether timer queries time the passes on this context's driver: not on a
// software renderer (llvmpipe, softpipe, SwiftShader), which draws only
// when something waits for the picture, so each query holds whatever work
// happened to run inside it. Needs a current context.
bool passTimesMeasurable();

// The frame driver's brackets: the queries of the frame's set, read back
// `depth - 1` frames later so that measuring never waits on the GPU.
void collectPassTimes(); // at the head of a frame
void beginPassTime(int pass);
void endPassTime();
void frameTimed();       // at the end of a frame
