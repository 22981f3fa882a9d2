#include "render/frame_size.h"

#include <GL/freeglut.h>

namespace {

FrameSize FRAME;

} // namespace

const FrameSize& frameSize()
{
    return FRAME;
}

void setSceneRenderScale(float scale)
{
    FRAME.sceneRenderScale = scale;
}

void setFrameDimensions(int width, int height)
{
    FRAME.windowWidth = static_cast<float>(width);
    FRAME.windowHeight = static_cast<float>(height);
}

void recordWindowSize(bool fullScreen)
{
    // Until the switch to full screen has happened the window's size to be
    // is the screen's. Every target takes this one size, so the frame covers
    // the whole window in every configuration.
    const bool switched = !fullScreen || glutGet(GLUT_FULL_SCREEN) != 0;
    FRAME.windowWidth = static_cast<float>(glutGet(switched ? GLUT_WINDOW_WIDTH : GLUT_SCREEN_WIDTH));
    FRAME.windowHeight = static_cast<float>(glutGet(switched ? GLUT_WINDOW_HEIGHT : GLUT_SCREEN_HEIGHT));
}
