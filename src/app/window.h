// app/window: the one window and its OpenGL 4.3 core context.
//
// initWindow() runs once, right after glutInit: display mode, the window at
// the configuration's first size, the context, GLEW, full screen (not for a
// window that stays one), hidden pointer, and the idle and display callbacks.
#pragma once

#include "app/startup.h"

constexpr int fixedWindowWidth = 1280;
constexpr int fixedWindowHeight = 720;

// For the Fixed, Screen and Windowed modes of `startup`. Failure: when GLEW cannot be initialised it
// writes "Unable to initialize GLEW ... exiting" to standard error and ends
// the process with status 1. A window or context that cannot be created is
// left to freeglut.
void initWindow(const DemoStartup& startup);

// Reshape callback: deliberately does nothing. The sizes recorded at start-up
// stay in force for the whole run.
void reshapeWindow(int width, int height);
