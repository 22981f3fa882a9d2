// A GL 4.3 core debug context for in-process GL tests: one freeglut window
// (320x180, shown), made once per test process and kept current on the main
// thread. The driver's error messages are collected as they come.
#pragma once

#include <string>
#include <vector>

// Creates the context on first use (with GLEW loaded); later calls do nothing.
void ensureGlContext();

// The driver's error messages since the last call, and clears them.
std::vector<std::string> takeGlErrors();

// State of what is bound now: a parameter of the GL_TEXTURE_2D texture, of
// its level 0, and of the GL_RENDERBUFFER renderbuffer.
int textureParameter(unsigned name);
int levelParameter(unsigned name);
int renderbufferParameter(unsigned name);
