#include "render/render_screen.h"

#include "app/demo.h"
#include "demo/tracks.h"
#include "render/scene_index.h"

#include <GL/glew.h>
#include <GL/freeglut.h>

#include <iostream>

void renderScreen()
{
    const double row = beginFrameClock();
    const int scene = truncateToInt(sampleTrack(DemoTrack::Scene, row));
    // The stream stays in hexadecimal, so the scene index is written in it too.
    std::cout << "0x" << std::hex << truncateToInt(row) << "; scene:" << scene << "\n";

    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glutSwapBuffers();
    endFrameClock(row);
}
