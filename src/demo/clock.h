// demo/clock: the music, the demo's only clock.
//
// The music's playback position, turned into rows, is the time of every
// frame. The start-up opens the music once; then each frame calls
//
//     const double row = beginFrameClock(); // starts the music on the first frame
//     ... draw at row ...
//     endFrameClock(row);                   // ends the run once row > endRow
//
// Tools and tests that pick the row themselves hold the music instead of
// letting it play:
//
//     holdMusicAt(384.0);   // every frame now draws at row 384
//     resumeMusic();        // plays on from there
#pragma once

#include <cstdint>

// The clock's state (the music stream, whether it started, whether it is
// paused) is kept here alone, read and changed through these calls.

// The timeline the clock reads rows on: rows a second, and the row after
// which the run ends. Orvanta's (timeline.h) until a demo sets its own,
// before the first frame.
void setTimeline(double rowsPerSecond, double lastRow);
double timelineEndRow();

// Whether "tune.ogg" was opened as the music.
bool musicLoaded();

// Whether the music is paused: the pause key flips it; a hold sets it and a
// resume clears it, so that the pause key always flips between the two.
bool musicIsPaused();

// The pause key: pauses or plays the music, and flips musicIsPaused().
void toggleMusicPause();

// The seek keys: moves the music `bytes` of its decoded stream forward or
// back; a move past either end is refused by the audio layer.
void seekMusicBytes(bool forward, uint64_t bytes);

// Opens the audio output and "tune.ogg" from the working directory. Never
// fails: without an output the music runs silently on a real-time clock, and
// without the file every frame stands at the position the audio layer
// reports for a dead stream. Nothing is printed.
void openMusic();

// The music position now, in rows (seconds x rowRate).
double currentRow();

// Starts the music on the first frame, then returns the frame's row.
double beginFrameClock();

// The frame's closing step: once `row` has passed endRow, closes the
// tracks, releases the music and leaves the main loop; not while the music
// is held, when the tool holding it decides where the run ends.
void endFrameClock(double row);

// True once endFrameClock has ended the run, or quitDemo has.
bool demoEnded();

// The quit key's ending: releases the music and the audio output and leaves
// the main loop; no frame is drawn after it.
void quitDemo();

// Stops the music (or keeps the first frame from starting it) and moves it to
// `row`: to the first whole sample frame at which the row reads `row` or
// later, so that a frame held on a key's row shows that key. Rows before 0
// go to 0. Frames then draw at that row until the music is moved or resumed.
// A row past the end of the stream is refused by the audio layer and changes
// nothing. The hold lasts until resumeMusic; the pause key leaves it alone.
void holdMusicAt(double row);

// Moves the music to `row` as a hold does, playing on if it plays.
void moveMusicTo(double row);

// Opens "tune.ogg" again, as a new version of the music, at the row the old
// one stood at, playing if it played. Failure: false when the new file cannot
// be opened or decoded; the old music goes on.
bool reopenMusic();

// Puts a new version of part of the music in place while it plays (the live
// player's quick render of a changed score): `frames` frames of 16-bit
// stereo from sample frame `first` on, crossing over from the old audio in
// about 10 ms where playback stands. False when no music is open or it is
// not stereo.
bool spliceMusic(uint64_t first, const int16_t* samples, uint64_t frames);

// Ends a hold and plays on from where the music is.
void resumeMusic();

// Releases the music and the audio output.
void closeMusic();
