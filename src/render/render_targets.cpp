#include "render/render_targets.h"

#include "render/frame_size.h"

#include <algorithm>
#include <cassert>

namespace {

struct Targets {
    GLuint presentFramebuffer = 0;
    GLuint presentBuffers[2] = {}; // its colour and depth
    // Indexed by pass number 1 to 4; entry 0 is unused.
    GLuint passFramebuffers[passCount + 1] = {};
    GLuint passDepthBuffers[passCount + 1] = {};
} TARGETS;

GLuint* const passFramebuffers = TARGETS.passFramebuffers;
GLuint* const passDepthBuffers = TARGETS.passDepthBuffers;
GLuint& presentFramebufferName = TARGETS.presentFramebuffer;

float windowWidth()
{
    return frameSize().windowWidth;
}

float windowHeight()
{
    return frameSize().windowHeight;
}

} // namespace

GLuint passFramebuffer(int pass)
{
    return pass >= 1 && pass <= passCount ? TARGETS.passFramebuffers[pass] : 0;
}

GLuint passDepthBuffer(int pass)
{
    return pass >= 1 && pass <= passCount ? TARGETS.passDepthBuffers[pass] : 0;
}

GLuint presentFramebuffer()
{
    return TARGETS.presentFramebuffer;
}

void createRenderTargets()
{
    for (int p = 1; p <= passCount; ++p) {
        glGenFramebuffers(1, &passFramebuffers[p]);
        glGenRenderbuffers(1, &passDepthBuffers[p]);
    }
}

void allocateDepthBuffers(int width, int height)
{
    for (int p = 1; p <= passCount; ++p) {
        glBindRenderbuffer(GL_RENDERBUFFER, passDepthBuffers[p]);
        glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT32, width, height);
    }
}

// A scaled pass 1 of a tiny window would round to nothing, and a texture of
// no texels leaves its framebuffer incomplete: every target has one at least.
int passWidth(int pass)
{
    const float width = windowWidth();
    return std::max(1, pass == 1 ? static_cast<int>(width * frameSize().sceneRenderScale) : static_cast<int>(width));
}

int passHeight(int pass)
{
    const float height = windowHeight();
    return std::max(1, pass == 1 ? static_cast<int>(height * frameSize().sceneRenderScale) : static_cast<int>(height));
}

std::unique_ptr<Texture> beginOffscreenPass(int pass)
{
    assert(pass >= 1 && pass <= passCount);
    auto image = std::make_unique<Texture>(passWidth(pass), passHeight(pass));
    glBindFramebuffer(GL_FRAMEBUFFER, passFramebuffers[pass]);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, image->id, 0);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, passDepthBuffers[pass]);
    assert(glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE);
    if (pass == 1) {
        glEnable(GL_BLEND);
    }
    glEnable(GL_DEPTH_TEST);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    // The viewport is the window's for every pass: pass 1's smaller image
    // takes the part of it where all its attachments exist.
    glViewport(0, 0, static_cast<int>(windowWidth()), static_cast<int>(windowHeight()));
    return image;
}

void createPresentTarget(int width, int height)
{
    // Made once; a later call gives the same two buffers storage of the new
    // size (the live player's frame size changes while it runs).
    GLuint* const buffers = TARGETS.presentBuffers;
    if (!presentFramebufferName) {
        glGenFramebuffers(1, &presentFramebufferName);
        glGenRenderbuffers(2, buffers);
    }
    glBindRenderbuffer(GL_RENDERBUFFER, buffers[0]);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, width, height);
    glBindRenderbuffer(GL_RENDERBUFFER, buffers[1]);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT24, width, height);
    glBindFramebuffer(GL_FRAMEBUFFER, presentFramebufferName);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, buffers[0]);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, buffers[1]);
    assert(glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE);
    // New storage holds nothing defined; should it be shown again before a
    // frame is drawn into it (a key over a slow frame), it shows black.
    const GLfloat black[4] = {0.0f, 0.0f, 0.0f, 1.0f}, far = 1.0f;
    glClearBufferfv(GL_COLOR, 0, black);
    glClearBufferfv(GL_DEPTH, 0, &far);
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
}

void beginFinalPass()
{
    glBindFramebuffer(GL_FRAMEBUFFER, presentFramebufferName);
    glViewport(0, 0, static_cast<int>(windowWidth()), static_cast<int>(windowHeight()));
}

void copyToHistory(const Texture& passTwo, const Texture& history)
{
    glCopyImageSubData(passTwo.id, GL_TEXTURE_2D, 0, 0, 0, 0, history.id, GL_TEXTURE_2D, 0, 0, 0, 0,
                       static_cast<int>(windowWidth()), static_cast<int>(windowHeight()), 1);
}

void scaleImage(const Texture& from, int fromWidth, int fromHeight, const Texture& to, int toWidth, int toHeight)
{
    GLuint framebuffers[2] = {};
    glGenFramebuffers(2, framebuffers);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, framebuffers[0]);
    glFramebufferTexture2D(GL_READ_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, from.id, 0);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, framebuffers[1]);
    glFramebufferTexture2D(GL_DRAW_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, to.id, 0);
    glBlitFramebuffer(0, 0, fromWidth, fromHeight, 0, 0, toWidth, toHeight, GL_COLOR_BUFFER_BIT, GL_LINEAR);
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glDeleteFramebuffers(2, framebuffers);
}
