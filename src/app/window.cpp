#include "app/window.h"

#include "render/render_screen.h"

#include <GL/glew.h>
#include <GL/freeglut.h>

#include <cassert>
#include <cstdio>
#include <cstdlib>

void reshapeWindow(int, int) {}

void initWindow(const DemoStartup& startup)
{
    const WindowMode mode = startup.window;
    assert(mode != WindowMode::Current);
    glutInitDisplayMode(GLUT_RGBA | GLUT_DOUBLE | GLUT_ALPHA | GLUT_DEPTH);
    if (mode == WindowMode::Windowed) {
        glutInitWindowSize(startup.width, startup.height);
    } else if (mode == WindowMode::Screen) {
        glutInitWindowSize(glutGet(GLUT_SCREEN_WIDTH), glutGet(GLUT_SCREEN_HEIGHT));
    } else {
        glutInitWindowSize(fixedWindowWidth, fixedWindowHeight);
    }
    glutInitContextVersion(4, 3);
    glutInitContextProfile(GLUT_CORE_PROFILE);
    glutCreateWindow("Be patient");
    glutReshapeFunc(reshapeWindow);

    glewExperimental = GL_TRUE;
    if (glewInit() != GLEW_OK) {
        std::fputs("Unable to initialize GLEW ... exiting\n", stderr);
        std::fflush(stderr);
        std::exit(1);
    }

    if (mode != WindowMode::Windowed) {
        glutFullScreen();
    }
    glutSetCursor(GLUT_CURSOR_NONE);
    glutIdleFunc(glutPostRedisplay);
    glutDisplayFunc(renderScreen);
}
