// platform/web: the browser's stand-in for GLEW. WebGL2 (OpenGL ES 3.0)
// needs no loader; this header gives the desktop code the same names.
//
// What WebGL2 lacks and the frame code uses, made good here:
// - GL_DEPTH_COMPONENT32: 24-bit depth, the deepest a WebGL2 renderbuffer
//   takes;
// - glCopyImageSubData: a framebuffer blit (gl_web.cpp), enough for the
//   whole-image copies of one 2D texture level the frame makes;
// - timer queries (a tool's pass timing, never on in the page): they read 0;
// - attachments of different sizes in one framebuffer (the scene pass's
//   scaled image over the window-sized depth buffer): WebGL2 calls that
//   incomplete, so a depth buffer attached to a smaller image is stood in
//   for by one of the image's size (gl_web.cpp). The depth a pass draws
//   with is the same either way: only the part both cover is ever drawn;
// - a shader that did not compile (name 0) attached to a program: an
//   error the desktop's GL records and goes on from, which WebGL throws
//   as an exception; here it is skipped, and the link fails as there.
#pragma once

#include <GLES3/gl3.h>

#define GLEW_OK 0
#define GLEW_ERROR_NO_GLX_DISPLAY 4
#undef GL_DEPTH_COMPONENT32
#define GL_DEPTH_COMPONENT32 GL_DEPTH_COMPONENT24

#define GL_TIME_ELAPSED 0x88BF
inline void glGetQueryObjectui64v(GLuint, GLenum, GLuint64* value)
{
    *value = 0;
}

inline GLboolean glewExperimental = GL_FALSE;
inline GLenum glewInit()
{
    return GLEW_OK;
}

// Seen by gl_web.cpp, which keeps each texture's size for the stand-in.
extern "C" {
void orvantaTexImage2D(GLenum target, GLint level, GLint internalformat, GLsizei width, GLsizei height, GLint border,
                       GLenum format, GLenum type, const void* pixels);
void orvantaFramebufferRenderbuffer(GLenum target, GLenum attachment, GLenum renderbuffertarget, GLuint renderbuffer);
void orvantaAttachShader(GLuint program, GLuint shader);
}
#ifndef ORVANTA_GL_WEB_IMPLEMENTATION
#define glTexImage2D orvantaTexImage2D
#define glFramebufferRenderbuffer orvantaFramebufferRenderbuffer
#define glAttachShader orvantaAttachShader
#endif

void glCopyImageSubData(GLuint srcName, GLenum srcTarget, GLint srcLevel, GLint srcX, GLint srcY, GLint srcZ,
                        GLuint dstName, GLenum dstTarget, GLint dstLevel, GLint dstX, GLint dstY, GLint dstZ,
                        GLsizei width, GLsizei height, GLsizei depth);
