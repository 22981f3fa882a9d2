#include "render/frame_size.h"

#include "render/render_targets.h"

#include <GL/freeglut.h>

float windowWidth = 0.0f;
float windowHeight = 0.0f;
float sceneRenderScale = 1.0f;

void recordWindowSize(bool fullScreen)
{
    // Until the switch to full screen has happened the window's size to be
    // is the screen's. Every target takes this one size, so the frame covers
    // the whole window in every configuration.
    const bool switched = !fullScreen || glutGet(GLUT_FULL_SCREEN) != 0;
    windowWidth = static_cast<float>(glutGet(switched ? GLUT_WINDOW_WIDTH : GLUT_SCREEN_WIDTH));
    windowHeight = static_cast<float>(glutGet(switched ? GLUT_WINDOW_HEIGHT : GLUT_SCREEN_HEIGHT));
    // One reading of the size serves every target, the depth buffers
    // included, so no pass is clipped to a size read earlier.
    allocateDepthBuffers(static_cast<int>(windowWidth), static_cast<int>(windowHeight));
}

void useWindowSize(int width, int height)
{
    windowWidth = static_cast<float>(width);
    windowHeight = static_cast<float>(height);
    allocateDepthBuffers(width, height);
}
