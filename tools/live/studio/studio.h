// live/studio/studio: Orvanta Studio's program, the browser's host of the
// editor's core (tools/live/core). The page (web/studio) keeps the demos in
// the browser's storage, lays the open one out in the program's in-memory
// file system and calls the functions below; the program draws the demo and
// the editor's panel into the page's canvas, on WebGL2.
//
// The folders it reads:
//   /demo           the maker's folder as the page stored it
//   /studio/source  the build's final pass and vertex shader, for a folder
//                   that names Orvanta's (as the desktop finds them in its
//                   data folder)
//   /studio/es      the same, translated to GLSL ES 3.00 at build time
//   /studio/logos   the logos the build drew for the texts it knows
//   /run            the working directory the frame code reads: the
//                   folder's shaders as the page compiles them
//                   (shader_es.h), the logo and the tune's name
//   /publish        the web page's folder, while Publish lays it out
//
// Rooms: main.cpp (start-up, the frame, the functions the page calls),
// demo_files.cpp (the folder read, described and rebuilt on each save, its
// errors by file and line), demo_editor.cpp (the editor, the tracks' keys to
// the demo, the inspector, the transport's verbs), panel_host.cpp (the panel
// and the mouse), keys.cpp (the editor's keys, the page's prompt and help
// behind them), music.cpp (the score's renders spliced into the music, the
// tune's loudness under the lanes) and publish.cpp (the demo laid out for
// the web page's player).
//
// music_worker.cpp is a program of its own: tunegen's synthesizer for the
// page's music Worker (orvanta-music.wasm).
#pragma once

#include "editor.h"
#include "value_edits.h"
#include "panel_mouse.h"
#include "panel.h"
#include "resolution.h"
#include "transport.h"
#include "shader_es.h"

#include "render/demo_folder.h"

#include <map>
#include <set>
#include <memory>
#include <string>
#include <vector>

namespace studio {

struct Sizing {
    std::unique_ptr<ResolutionControl> control;
    int width = 0, height = 0; // the canvas's
    PanelRect area;            // where the picture shows
    FrameChoice applied;
};

struct Studio {
    bool started = false;
    DemoFolder folder;                 // the last folder that read
    std::vector<std::string> names;    // its tracks, in order
    std::string tracksText;            // the manifest's tracks text, "" for none
    std::map<std::string, std::vector<ShaderError>> errors; // by file, until mended
    std::unique_ptr<TrackEditor> editor;
    std::unique_ptr<Inspector> inspector;
    std::vector<std::string> said;     // what the last call said
    std::string lastMessage;           // shown over the picture
    PanelView view;
    bool panel = true;
    std::set<int> muted, soloed; // tracks held at their first key's value
    MouseState mouse;                  // the drags under way (panel_mouse.h)
    Sizing sizing;
    bool still = false;                // a still is being drawn: no interface over it
    Transport time;                    // paused, slowed, looped (transport.h)
    long frames = 0;
    std::vector<double> frameTimes;    // seconds, the last 2 s of frames
    double row = 0;
    Loudness loudness;                 // the tune's as it plays, in the ruler
};

Studio& state();

// demo_files.cpp
// Reads /demo and draws it from the next frame on. The first call starts
// the demo; later ones replace it (another demo opened). False with the
// reason where the folder does not read; the demo drawn stays.
bool openFolder(std::string& error);
// Whether `folder` reads as a demo (its manifest, the shaders it names):
// false with why.
bool checkFolder(const std::string& folder, std::string& error);
// A file of /demo was written by the page: the demo, its programs or its
// tracks take it. What it did is said.
void takeSave(const std::string& name);
// demo_editor.cpp
void makeEditor(); // the tracks text the manifest names, with its inspector
void say(const std::string& line);
void pushTrack(int index);
// The transport's verbs on the studio's time, saying what they did.
TransportTimeline timeline();
void moveTo(double row);
void setPaused(bool paused);
// A loop over a span (under a row: none), said; the row goes into it.
void setLoop(double from, double to);
void findSceneCuts();
// Where each scene first shows, in the order they do: the show's sections.
std::vector<double> sectionRows();

// keys.cpp: the editor's keys (key_table.h) on the canvas, and the page's
// command line opened with `text` typed.
bool pressKey(int key, bool shift);
void openPagePrompt(const std::string& text);

// panel_host.cpp
void placePicture();
void drawInterface(); // over the frame, before it is shown
void onMouse(int button, int down, bool shift, int x, int y);
void onMotion(int x, int y);
void onWheel(int direction, int x, int y);
bool viewCommand(const std::vector<std::string>& words);
// Where the panel's parts are, in the canvas's pixels, and the track picked,
// as JSON: for tests and scripts that aim the mouse.
std::string layoutText();
std::string trackUnderPointer(); // "" where the pointer is over no lane

} // namespace studio
