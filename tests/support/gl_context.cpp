#include "support/gl_context.h"

#include "support/x_server.h"

#include <GL/glew.h>
#include <GL/freeglut.h>

#include <gtest/gtest.h>

void ensureGlContext()
{
    static bool ready = false;
    if (ready) return;
    ensureDisplay();
    int argc = 1;
    char name[] = "orvanta-test";
    char* argv[] = {name, nullptr};
    glutInit(&argc, argv);
    glutInitDisplayMode(GLUT_RGBA | GLUT_DOUBLE | GLUT_ALPHA | GLUT_DEPTH);
    glutInitWindowSize(320, 180);
    glutInitContextVersion(4, 3);
    glutInitContextProfile(GLUT_CORE_PROFILE);
    glutCreateWindow("orvanta test");
    glutHideWindow();
    glewExperimental = GL_TRUE;
    ASSERT_EQ(glewInit(), static_cast<GLenum>(GLEW_OK));
    glGetError(); // GLEW's probing may leave an error behind in core profiles
    ready = true;
}
