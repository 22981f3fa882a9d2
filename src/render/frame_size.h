// render/frame_size: the size every target of the frame takes.
//
// The render folder owns the frame: the frame driver (render_screen.h), the
// pass targets (render_targets.h), this size, and the GPU resources made at
// start-up and kept for the run (programs.h).
//
// The start-up sets sceneRenderScale from its configuration and records the
// window's size once with recordWindowSize(); in the demo's executables
// neither changes afterwards. A tool may resize the frame
// (render_screen.h: resizeFrame, setFrameSize), and then these are the
// frame's size, which may differ from the window's.
#pragma once

// The size every target of the frame takes, kept here alone.
struct FrameSize {
    // The window's size in pixels as recorded at start-up; 0 before. After
    // a tool resized the frame, the frame's.
    float windowWidth = 0.0f;
    float windowHeight = 0.0f;
    // Scale of the first scene pass against the window (0.68 or 1.0 in the
    // demo's executables; a tool may pick another).
    float sceneRenderScale = 1.0f;
};

// A view of it, for reading.
const FrameSize& frameSize();

// Sets the scale of the first scene pass, from the next frame on.
void setSceneRenderScale(float scale);

// Takes width x height as the frame's size, for every target from the next
// frame on (render_screen.h: resizeFrame, setFrameSize).
void setFrameDimensions(int width, int height);

// Reads the window's size, once the window exists. With `fullScreen` (the
// switch to full screen asked for at start-up, which takes effect once the
// main loop runs) it is the screen's size until the switch has happened;
// otherwise the window's. The depth buffers take their storage from this one
// reading (render_targets.h: allocateDepthBuffers), so no pass is clipped to
// a size read earlier.
void recordWindowSize(bool fullScreen);
