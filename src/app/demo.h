// app/demo: the demo set-up, the music clock and the keyboard.
//
// initDemo() runs once after the window exists. Every frame then calls
// beginFrameClock() first (it starts the music on the first frame and
// returns the frame's row) and endFrameClock(row) right after presenting
// (it ends the run once the row has passed endRow).
#pragma once

#include <cstdint>

constexpr double rowRate = 488.0 / 60.0; // rows a second: 122 BPM, 4 rows a beat
constexpr uint64_t seekStepBytes = 110000;
constexpr double endRow = 1147.5;

// The window size recorded at the end of initDemo; never updated.
extern float windowWidth;
extern float windowHeight;

extern uint32_t musicStream;
extern bool musicStarted;
extern bool musicPaused;

// Render targets, keyboard, audio output and "tune.ogg", the parameter
// tracks, a 200 ms pause, then the window size. Never fails: a missing
// music file or track file leaves that part silent or at 0.0.
void initDemo();

// The music position now, in rows (seconds x rowRate).
double currentRow();

// Moves the music to `seconds`, on the nearest whole sample frame of the
// 16-bit stereo tune. Where tools and tests pick the row a frame is drawn
// at; paused, the position then stays there. A position past the end of
// the stream is refused by the audio library and changes nothing.
void setMusicSeconds(double seconds);

double beginFrameClock();
void endFrameClock(double row);

// True once endFrameClock has ended the run.
bool demoEnded();

// Keyboard callback: Escape quits, space pauses and resumes, A/a and D/d
// seek back and forth by seekStepBytes. Other keys do nothing.
void handleKey(unsigned char key, int x, int y);
