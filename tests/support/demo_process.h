// The demo executables under test: started in a scratch run folder on a
// private X server, with real key presses (xdotool) and their console read
// back.
#pragma once

#include "support/child_process.h"
#include "support/run_folder.h"
#include "support/x_server.h"

#include <memory>
#include <string>
#include <vector>

struct DemoOptions {
    std::string executable = "orvanta";
    ChildStdin input = ChildStdin::DevNull;
    std::string preload;          // a further library to preload
    bool lineBuffered = false;    // flush standard output at each line
    std::vector<std::pair<std::string, std::string>> environment;
};

std::unique_ptr<ChildProcess> startDemo(const RunFolder& folder, const XServer& server,
                                        const DemoOptions& options = {});

// The start-up console of a run folder whose shaders all compile.
std::string expectedStartupTranscript();

// The rows of the frame status lines ("0x12c; scene:2") that follow the
// start-up transcript, as signed 32-bit values. Sets `clean` false when any
// other line is among them (seek messages aside, which are counted).
struct StatusLines {
    std::vector<int32_t> rows;
    std::vector<int32_t> scenes;
    size_t forwards = 0;
    size_t backwards = 0;
    bool clean = true;
};
StatusLines statusLines(const std::string& out);

// Status lines of the output written after byte offset `mark` (the line cut
// by the mark is skipped).
StatusLines statusLinesSince(const std::string& out, size_t mark);

// Sends real key presses to the display (XTEST), e.g. {"space"} or {"d"},
// `delayMs` apart.
void pressKeys(const std::string& display, const std::vector<std::string>& keys, int delayMs = 30);

// Moves the mouse along `points` (pixels of `window`, the first where the
// left button goes down, the last where it comes up), with xdotool.
void dragMouse(const std::string& display, unsigned long window, const std::vector<std::pair<int, int>>& points);

// A 142-second silent "tune.ogg" (stereo, 44.1 kHz), made once per process.
const std::string& silentTune();
