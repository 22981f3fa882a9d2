// platform/web: freeglut's calls as the browser's GLUT (Emscripten's) has
// them. The context is WebGL2 whatever is asked for, and the main loop never
// returns: leaving it ends the run on the page (gl_web.cpp).
#pragma once

#include <GL/glut.h>

#define GLUT_CORE_PROFILE 0x0001
#ifndef GLUT_FULL_SCREEN
#define GLUT_FULL_SCREEN 0x01FF
#endif

inline void glutInitContextVersion(int, int) {}
inline void glutInitContextProfile(int) {}
void glutLeaveMainLoop();
