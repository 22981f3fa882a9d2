// render/render_screen: the frame driver, installed as the display callback,
// with the scene schedule, the pass chain and the history image that pass 2
// reads back. It draws a demo description (demo_description.h): which
// program a scene index picks, which images and uniforms each pass gets,
// which track feeds each. Its state is kept here alone; tools reach it
// through these calls.
//
// A tool drawing and reading frames, once startDemo (app/startup.h) has run:
//
//     std::vector<unsigned char> rgba;
//     drawFrameAt(warmUpRow);            // a frame whose picture is not wanted
//     drawFrameInto(row, rgba);          // the frame at `row`, its picture read
//     const FrameDimensions size = frameDimensions();
//     // rgba: size.width x size.height x 4 bytes, the bottom row first
//
// None of these fails: a broken shader draws what its program draws (see
// ShaderProgram), missing files leave their part empty, and rows outside
// the music draw where the audio layer leaves it.
#pragma once

#include "render/demo_description.h"
#include "render/pass_timing.h"
#include "render/render_targets.h"

#include <vector>

class Texture;

// The description the frame driver draws, taken at start-up (app/startup.h
// calls this before the programs are built), and a view of it.
void setDemoDescription(const DemoDescription& description);
const DemoDescription& demoDescription();
int sceneCountDrawn();

struct FrameDimensions {
    int width;
    int height;
};

// The size frames are drawn at, and the window's: the same unless a tool
// draws its frames smaller than its window (setFrameSize).
FrameDimensions frameDimensions();
FrameDimensions windowDimensions();

// Draws and presents one frame: the music row, the tracks sampled at it, the
// status line, the scene's four passes and the final pass, the copy of pass
// 2 to the history, the present (the swap), the clock's closing step. Called only by the
// window system's main loop (or a test standing in for it).
void renderScreen();

// The frame itself at `row`, without the clock's steps: the tracks sampled
// at the row, the status line, the passes, the history, the swap. Where a
// tool that keeps its own time (the live player) draws.
void drawFrame(double row);

// Takes a new window size for every target from the next frame on: the pass
// images, the depth buffers and the history (which starts over).
void resizeFrame(int width, int height);

// Draws every later frame at width x height, the scene pass at `sceneScale`
// of that, into an image of the frame's own, and shows it scaled (bilinear)
// to fill a window of shownWidth x shownHeight: a window's size and the
// frame's apart, where a tool trades sharpness for frame rate. The history
// is scaled over, so trails and feedback go on across a change. The
// before-swap hook then draws over the window at the window's size. For a
// window only; sizes are positive.
void setFrameSize(int width, int height, float sceneScale, int shownWidth, int shownHeight);

// Shows the frame in the part of the window from (x, y), counted from its
// bottom left, of width x height, the rest cleared to the colour given
// (black by default) for the before-swap hook; a width or height of 0 gives the frame the whole
// window again. For a window whose frame is drawn apart (setFrameSize).
void setShownArea(int x, int y, int width, int height, float red = 0, float green = 0, float blue = 0);

// Shows the last frame again, scaled to the window, with the before-swap
// hook's drawing over it, and swaps: a tool whose scene is slow keeps what
// it draws over it current between frames. Only after setFrameSize.
void showFrameAgain();


// Holds the music at `row` (see holdMusicAt) and draws the frame there: where
// tools and tests draw the demo at rows of their choosing. Feedback builds up
// as it does in the demo: each call's pass 2 sees the previous call's image.
void drawFrameAt(double row);

// Draws the frame at `row` as drawFrameAt does and reads its finished
// picture into `rgba` (resized to the frame's size x 4 bytes, RGBA, the
// bottom row first, as GL reads it), before it is shown and before the
// before-swap hook draws over it.
void drawFrameInto(double row, std::vector<unsigned char>& rgba);

// Pass 2's image of the previous frame; null before the first frame and
// after the run has ended.
const Texture* historyImage();

// What shows the finished frame: glutSwapBuffers, unless a context without
// a window asks for another call (or none: glFlush).
void setPresent(void (*call)());

// Called once a frame after the final pass has drawn into the window and
// before the buffers are swapped, with the default framebuffer bound: where
// a tool draws over the finished picture (the live player's overlay). Null
// (the demo's case) calls nothing.
void setBeforeSwap(void (*hook)());
