// render/render_targets: where the scene passes draw.
//
// Each scene pass p (1 to 4) has a framebuffer and a depth buffer made once
// at start-up; every frame gives it a fresh colour texture:
//
//     std::unique_ptr<Texture> image = beginOffscreenPass(p);  // bound, cleared
//     ... draw ...
//     beginFinalPass();                                        // the window
//     copyToHistory(*passTwoImage, history);
//
// All sizes come from the frame's size (frame_size.h).
#pragma once

#include "gpu/texture.h"

#include <GL/glew.h>

#include <memory>

constexpr int passCount = 4;

// The names of pass p's framebuffer and depth buffer (p 1 to 4), made by
// createRenderTargets and kept here alone; 0 before.
GLuint passFramebuffer(int pass);
GLuint passDepthBuffer(int pass);

// Where the final pass draws: 0, the window, unless the frame is presented
// offscreen (createPresentTarget).
GLuint presentFramebuffer();

// A framebuffer of width x height with 8-bit RGBA colour and a 24-bit depth
// buffer, as a window would have, made the final pass's target: for a
// context without a window, or a frame drawn smaller than its window and
// scaled up to it (setFrameSize). Called again, it takes the new size. An
// incomplete framebuffer fails an assertion.
void createPresentTarget(int width, int height);

// Generates the four framebuffer and renderbuffer names, pass by pass; the
// renderbuffers get their storage from allocateDepthBuffers.
void createRenderTargets();

// Gives each depth buffer GL_DEPTH_COMPONENT32 storage of the window's size,
// the same size every other target of the frame takes.
void allocateDepthBuffers(int width, int height);

// The size of pass p's image: the window scaled by sceneRenderScale for pass
// 1, the window for the others; never less than 1x1.
int passWidth(int pass);
int passHeight(int pass);

// Creates pass p's image, attaches it and the pass's depth buffer to the
// pass's framebuffer, enables blending (pass 1) and depth testing, clears,
// and sets the viewport to the window's size. An incomplete framebuffer is a
// programming or driver fault: it fails an assertion.
std::unique_ptr<Texture> beginOffscreenPass(int pass);

// The window (or the offscreen present target) again, with its viewport.
void beginFinalPass();

// Scales one image into another of any size, bilinear.
void scaleImage(const Texture& from, int fromWidth, int fromHeight, const Texture& to, int toWidth, int toHeight);

// Copies pass 2's image into the history the next frame reads.
void copyToHistory(const Texture& passTwo, const Texture& history);
