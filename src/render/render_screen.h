// render/render_screen: the frame driver, installed as the display callback,
// with the scene schedule, the pass chain and the history image that pass 2
// reads back.
#pragma once

class Texture;

// Draws and presents one frame: the music row, the tracks sampled at it, the
// status line, the scene's four passes and the final pass, the copy of pass
// 2 to the history, the swap, the clock's closing step. Called only by the
// window system's main loop (or a test standing in for it).
void renderScreen();

// Holds the music at `row` (see holdMusicAt) and draws the frame there: where
// tools and tests draw the demo at rows of their choosing. Feedback builds up
// as it does in the demo: each call's pass 2 sees the previous call's image.
void drawFrameAt(double row);

// Pass 2's image of the previous frame; null before the first frame and
// after the run has ended.
const Texture* historyImage();

// Called once a frame after the final pass has drawn into the window and
// before the buffers are swapped, with the default framebuffer bound: where
// a tool reads the finished picture. Null (the demo's case) calls nothing.
void setBeforeSwap(void (*hook)());
