#include "support/gl_context.h"

#include "support/x_server.h"

#include <GL/glew.h>
#include <GL/freeglut.h>

#include <gtest/gtest.h>

namespace {

std::vector<std::string> errors;

void GLAPIENTRY collect(GLenum, GLenum type, GLuint, GLenum severity, GLsizei, const GLchar* message, const void*)
{
    if (type == GL_DEBUG_TYPE_ERROR || severity == GL_DEBUG_SEVERITY_HIGH) {
        errors.emplace_back(message);
    }
}

} // namespace

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
    glutInitWindowPosition(0, 0);
    glutInitContextVersion(4, 3);
    glutInitContextProfile(GLUT_CORE_PROFILE);
    glutInitContextFlags(GLUT_DEBUG);
    glutCreateWindow("orvanta test");
    glutDisplayFunc([] {});
    glewExperimental = GL_TRUE;
    ASSERT_EQ(glewInit(), static_cast<GLenum>(GLEW_OK));
    glGetError(); // GLEW's probing may leave an error behind in core profiles
    glEnable(GL_DEBUG_OUTPUT_SYNCHRONOUS);
    glDebugMessageCallback(collect, nullptr);
    // Let the window map, so that its front buffer can be read back.
    for (int i = 0; i < 20; ++i) glutMainLoopEvent();
    ready = true;
}

std::vector<std::string> takeGlErrors()
{
    std::vector<std::string> taken;
    taken.swap(errors);
    return taken;
}

int textureParameter(unsigned name)
{
    GLint value = 0;
    glGetTexParameteriv(GL_TEXTURE_2D, name, &value);
    return value;
}

int levelParameter(unsigned name)
{
    GLint value = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, name, &value);
    return value;
}

int renderbufferParameter(unsigned name)
{
    GLint value = 0;
    glGetRenderbufferParameteriv(GL_RENDERBUFFER, name, &value);
    return value;
}
