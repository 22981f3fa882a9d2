// The few Xlib queries the tests make of the demo's window and screen, and
// a display for in-process GL tests (XServer itself is in tools/common).
#pragma once

#include "xvfb.h"

// Window ids are plain numbers here so that Xlib's macros stay out of the tests.
using XWindowId = unsigned long;

#include <string>
#include <vector>

struct WindowFacts {
    XWindowId window = 0;
    int width = 0;
    int height = 0;
    int requestedWidth = 0;  // the size hint the program asked for
    int requestedHeight = 0;
    bool mapped = false;
};

// Waits up to `seconds` for a mapped top-level window whose title starts
// with `title`.
// Returns its facts, with window 0 when none appeared.
WindowFacts findWindow(const std::string& display, const std::string& title, double seconds);

// Facts of a known window now; window 0 when it is gone.
WindowFacts describeWindow(const std::string& display, XWindowId window);

// Asks the window to close as a window manager would (WM_DELETE_WINDOW).
void requestWindowClose(const std::string& display, XWindowId window);

// Maps or unmaps the window, as a window manager does when it is restored
// or minimised.
void setWindowMapped(const std::string& display, XWindowId window, bool mapped);

// The colour (0xRRGGBB) of screen pixel (x, y), read from the root window;
// -1 when it cannot be read.
long screenPixel(const std::string& display, int x, int y);

// The colours (0xRRGGBB) of a rectangle of the screen, row by row; empty
// when it cannot be read.
std::vector<long> screenPixels(const std::string& display, int x, int y, int width, int height);

// Ensures a DISPLAY for in-process GL tests: the existing one, or a private
// 1280x720 server started once for this process.
void ensureDisplay();
