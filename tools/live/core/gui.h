// live/core/gui: the editor's interface toolkit, Dear ImGui with its GLUT
// and OpenGL 3 back ends, on desktop GL and on WebGL2 alike. It owns the
// ImGui context and the font: the one the host hands it (DejaVu Sans on the
// desktop) at a size that follows the window's height (ImGui's own font
// where none is given or it does not read), so that text stays readable
// from 960x540 up.
//
//     startGui(settings, error);           // once, with the window's context current
//     guiBeginFrame(width, height);        // then ImGui:: calls
//     guiEndFrame();                       // draws into framebuffer 0
//     if (!guiWantsMouse()) ...            // the click is the player's
//
// The mouse reaches ImGui through guiMouse/guiMotion/guiWheel; the keys
// stay the player's (its command line is its own), so that no key is ever
// swallowed by a field that happens to hold the focus.
#pragma once

#include <string>

struct ImFontBuilderIO;

// What differs between hosts.
struct GuiSettings {
    // The GLSL version line the context compiles: "#version 330 core" on
    // the desktop, "#version 300 es" under WebGL2.
    std::string glsl = "#version 330 core";
    std::string font;                              // a TrueType font's bytes; empty: ImGui's own
    const ImFontBuilderIO* fontBuilder = nullptr;  // nullptr: ImGui's own rasteriser
    unsigned fontBuilderFlags = 0;
};

// Failure: false and why (the back end or the flat shapes' program would
// not start); the player then shows no interface beyond its console.
bool startGui(GuiSettings settings, std::string& error);
bool guiStarted();

void guiBeginFrame(int width, int height);
void guiEndFrame();

// An opaque box, from (x0, y0) to (x1, y1) pixels down from the top left,
// in 0xAABBGGRR as ImGui's colours are: filled by the GPU's clear before
// ImGui's drawing, under it. A software renderer fills a large box this way
// many times faster than as ImGui's textured triangles.
void guiFillBox(float x0, float y0, float x1, float y1, unsigned colour);

// Flat shapes, in the same coordinates and colours, translucent ones
// blended: untextured triangles drawn in one call, in the order given,
// over the boxes and under everything ImGui draws. A software renderer
// shades them about three times cheaper than ImGui's textured triangles,
// which matters for long thin ones: rules, grid lines, keys.
void guiFlatRect(float x0, float y0, float x1, float y1, unsigned colour);
void guiFlatTriangle(float ax, float ay, float bx, float by, float cx, float cy, unsigned colour);

// The font's size in pixels now (panelFontSize of the window's height).
float guiFontSize();

void guiMouse(int button, int state, int x, int y);
void guiMotion(int x, int y);
void guiWheel(int direction, int x, int y);
// Whether the pointer is over one of ImGui's windows (the help, the
// messages): a click there is ImGui's.
bool guiWantsMouse();
