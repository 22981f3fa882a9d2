#include "render/render_targets.h"

GLuint passFramebuffers[passCount + 1] = {};
GLuint passDepthBuffers[passCount + 1] = {};

void createRenderTargets()
{
    for (int p = 1; p <= passCount; ++p) {
        glGenFramebuffers(1, &passFramebuffers[p]);
        glGenRenderbuffers(1, &passDepthBuffers[p]);
        glBindRenderbuffer(GL_RENDERBUFFER, passDepthBuffers[p]);
    }
}

void allocateDepthBuffers(int width, int height)
{
    for (int p = 1; p <= passCount; ++p) {
        glBindRenderbuffer(GL_RENDERBUFFER, passDepthBuffers[p]);
        glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT32, width, height);
    }
}
