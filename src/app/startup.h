// app/startup: the one start-up of the demo, for the demo's executables and
// for every tool and test that draws its frames.
//
// The app folder wires the program: the process entry (main.cpp), the window
// (window.h) and this start-up. Nothing below it includes it; tools, the
// bench and the tests include this header alone.
//
//     DemoStartup startup;
//     startup.window = WindowMode::Screen;
//     startup.sceneScale = 1.0f;
//     std::string error;
//     if (!startDemo(argc, argv, startup, error)) { print error; exit 1; }
//     glutMainLoop();               // or drawFrameAt(row) from a tool
#pragma once

#include "render/demo_description.h"

#include <string>

enum class WindowMode {
    Fixed,    // opens at 1280x720, then switches to full screen
    Screen,   // opens at the screen's size, then switches to full screen
    Windowed, // a window of width x height that stays a window
    Current,  // no window of its own: the GL context current on this thread
    Offscreen, // no window and no X server: EGL, frames of width x height
};

struct DemoStartup {
    WindowMode window = WindowMode::Fixed;
    int width = 0;            // the window's or the frame's: Windowed and Offscreen only
    int height = 0;
    float sceneScale = 0.68f; // of the first scene pass against the window
    std::string dataFolder;   // where every file is read; empty: the working directory
    // What is drawn: the scenes, their programs, the tracks and what they
    // feed. Empty (no scenes): Orvanta, from the executables' tables.
    DemoDescription description;
};

// Runs the demo's set-up in the program's order: standard streams made safe,
// the data folder entered, glutInit and the window (unless Current), the
// render targets, the keyboard, the music, the description's tracks (31), a
// 200 ms pause, the window's size, then the separator line, the logo, the
// description's programs (25) and the five meshes. The log goes to standard output as the demo writes it.
// Runs once a process: a second call is a programming error (assertion).
// Failure: false with `error` naming the data folder when it cannot be
// entered, or saying what is wrong with the description, before anything
// else is made; or saying why EGL gave no context (Offscreen). A GLEW that cannot be initialised
// ends the process with status 1; every other fault is the demo's to handle
// (missing files leave their part empty, a broken shader its program).
bool startDemo(int& argc, char** argv, const DemoStartup& startup, std::string& error);

// Draws another description from the next frame on, in the demo that
// startDemo started: its timeline, its tracks opened again (their files
// read from the data folder, as at start-up) and its programs built (each
// program's log to standard output). Failure: false with `error` saying
// what is wrong with the description, and nothing changed.
bool redescribeDemo(const DemoDescription& description, std::string& error);
