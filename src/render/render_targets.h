// render/render_targets: the framebuffer and depth buffer of each scene pass.
//
// Made once at start-up and kept for the whole run; each frame attaches its
// own pass textures to them.
#pragma once

#include <GL/glew.h>

constexpr int passCount = 4;

// Indexed by pass number 1 to 4; entry 0 is unused.
extern GLuint passFramebuffers[passCount + 1];
extern GLuint passDepthBuffers[passCount + 1];

// Generates the four framebuffer and renderbuffer names, pass by pass.
void createRenderTargets();

// Gives each depth buffer GL_DEPTH_COMPONENT32 storage of the window's size,
// the same size every other target of the frame takes.
void allocateDepthBuffers(int width, int height);
