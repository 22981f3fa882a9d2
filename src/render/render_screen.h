// render/render_screen: the frame driver, installed as the display callback.
//
// The render folder owns the frame: the scene schedule, the pass chain and
// its render targets.
#pragma once

// Draws and presents one frame. Called only by the window system's main loop.
void renderScreen();
