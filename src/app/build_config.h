// app/build_config: the settings that tell the three executables apart.
//
// The app folder owns the process entry, the window, the demo set-up, the
// music clock and the keyboard.
//
// The values are fixed when an executable is built: build_config.cpp is
// compiled once per executable with ORVANTA_SCREEN_WINDOW and
// ORVANTA_SCENE_SCALE defined, and everything else links against these
// constants. There is no run-time option, file or environment variable.
#pragma once

// True: the window first opens at the screen's size; false: at 1280x720.
extern const bool windowUsesScreenSize;

// Scale of the first scene pass against the window (0.68 or 1.0). A
// reference, so that the capture tool can take its scale from its command
// line; the demo's executables bind it to a constant.
extern const float& sceneRenderScale;

constexpr int fixedWindowWidth = 1280;
constexpr int fixedWindowHeight = 720;
