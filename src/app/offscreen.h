// app/offscreen: an OpenGL 4.3 core context without a window or an X
// server, through EGL, for tools that render frames to read them back: on a
// GPU's device platform where one is present, on Mesa's surfaceless
// platform otherwise. The frame is presented into a framebuffer of its own.
#pragma once

#include <string>

// Makes the context current on this thread and loads GL's entry points.
// Failure: false with `error` saying which step failed.
bool initOffscreen(std::string& error);

// Which platform the context came from: "device" or "surfaceless".
const char* offscreenPlatform();
