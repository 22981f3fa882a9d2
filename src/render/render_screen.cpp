#include "render/render_screen.h"

#include <GL/glew.h>
#include <GL/freeglut.h>

void renderScreen()
{
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glutSwapBuffers();
}
