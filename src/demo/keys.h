// demo/keys: the viewer's keys.
//
// Escape quits, space pauses and resumes, A/a and D/d seek back and forth by
// seekStepBytes of the music's position. Installed as the keyboard callback
// by the start-up; other keys do nothing.
#pragma once

#include <cstdint>

// About 0.62 s of the 16-bit stereo tune at 44.1 kHz.
constexpr uint64_t seekStepBytes = 110000;

// Keyboard callback (the mouse position is ignored). A seek writes
// "BACKWARDS" or "FORWARDS" first; one past either end of the music is
// refused by the audio layer and changes nothing.
void handleKey(unsigned char key, int x, int y);
