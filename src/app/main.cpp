// Orvanta: the process entry. Start-up runs in a fixed order, all on the main
// thread, and then hands over to the window system's main loop, from which
// the frame and keyboard callbacks drive the rest of the run.
//
// The three executables are this file built three times: each is given
// ORVANTA_SCREEN_WINDOW (its first window takes the screen's size) and
// ORVANTA_SCENE_SCALE (its first scene pass's scale). They take no options.
#include "app/startup.h"

#include <GL/freeglut.h>

#include <cstdio>

#if !defined(ORVANTA_SCREEN_WINDOW) || !defined(ORVANTA_SCENE_SCALE)
#error "each executable defines ORVANTA_SCREEN_WINDOW and ORVANTA_SCENE_SCALE"
#endif

int main(int argc, char** argv)
{
    DemoStartup startup;
    startup.window = ORVANTA_SCREEN_WINDOW ? WindowMode::Screen : WindowMode::Fixed;
    startup.sceneScale = ORVANTA_SCENE_SCALE;
    std::string error;
    // The compiled tables are checked like any description: a fault there
    // ends the run before a window is asked for.
    if (!startDemo(argc, argv, startup, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    glutMainLoop();
    return 0;
}
