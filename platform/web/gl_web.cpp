// platform/web: what WebGL2 lacks, made of what it has, and the end of the
// run handed to the page.
#define ORVANTA_GL_WEB_IMPLEMENTATION
#include <GL/freeglut.h>
#include <GL/glew.h>

#include <emscripten.h>

#include <map>
#include <tuple>

namespace {

struct Size {
    GLsizei width = 0;
    GLsizei height = 0;
};

std::map<GLuint, Size> textureSizes;
// Stand-in depth buffers: by the depth buffer they stand in for and size.
std::map<std::tuple<GLuint, GLsizei, GLsizei>, GLuint> standIns;

} // namespace

void orvantaTexImage2D(GLenum target, GLint level, GLint internalformat, GLsizei width, GLsizei height, GLint border,
                       GLenum format, GLenum type, const void* pixels)
{
    glTexImage2D(target, level, internalformat, width, height, border, format, type, pixels);
    GLint bound = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    if (target == GL_TEXTURE_2D && level == 0) textureSizes[static_cast<GLuint>(bound)] = {width, height};
}

void orvantaAttachShader(GLuint program, GLuint shader)
{
    if (shader != 0) glAttachShader(program, shader);
}

void orvantaFramebufferRenderbuffer(GLenum target, GLenum attachment, GLenum renderbuffertarget, GLuint renderbuffer)
{
    GLint type = GL_NONE, name = 0;
    glGetFramebufferAttachmentParameteriv(target, GL_COLOR_ATTACHMENT0, GL_FRAMEBUFFER_ATTACHMENT_OBJECT_TYPE, &type);
    if (attachment == GL_DEPTH_ATTACHMENT && renderbuffer != 0 && type == GL_TEXTURE) {
        glGetFramebufferAttachmentParameteriv(target, GL_COLOR_ATTACHMENT0, GL_FRAMEBUFFER_ATTACHMENT_OBJECT_NAME, &name);
        const auto image = textureSizes.find(static_cast<GLuint>(name));
        GLint width = 0, height = 0, format = 0;
        glBindRenderbuffer(GL_RENDERBUFFER, renderbuffer);
        glGetRenderbufferParameteriv(GL_RENDERBUFFER, GL_RENDERBUFFER_WIDTH, &width);
        glGetRenderbufferParameteriv(GL_RENDERBUFFER, GL_RENDERBUFFER_HEIGHT, &height);
        glGetRenderbufferParameteriv(GL_RENDERBUFFER, GL_RENDERBUFFER_INTERNAL_FORMAT, &format);
        if (image != textureSizes.end() && (image->second.width != width || image->second.height != height)) {
            GLuint& standIn = standIns[{renderbuffer, image->second.width, image->second.height}];
            if (!standIn) {
                glGenRenderbuffers(1, &standIn);
                glBindRenderbuffer(GL_RENDERBUFFER, standIn);
                glRenderbufferStorage(GL_RENDERBUFFER, static_cast<GLenum>(format), image->second.width,
                                      image->second.height);
            }
            renderbuffer = standIn;
        }
    }
    glFramebufferRenderbuffer(target, attachment, renderbuffertarget, renderbuffer);
}

void glCopyImageSubData(GLuint srcName, GLenum, GLint srcLevel, GLint srcX, GLint srcY, GLint, GLuint dstName, GLenum,
                        GLint dstLevel, GLint dstX, GLint dstY, GLint, GLsizei width, GLsizei height, GLsizei)
{
    GLint readBound = 0, drawBound = 0;
    glGetIntegerv(GL_READ_FRAMEBUFFER_BINDING, &readBound);
    glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &drawBound);
    static GLuint framebuffers[2] = {};
    if (!framebuffers[0]) glGenFramebuffers(2, framebuffers);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, framebuffers[0]);
    glFramebufferTexture2D(GL_READ_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, srcName, srcLevel);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, framebuffers[1]);
    glFramebufferTexture2D(GL_DRAW_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, dstName, dstLevel);
    glBlitFramebuffer(srcX, srcY, srcX + width, srcY + height, dstX, dstY, dstX + width, dstY + height,
                      GL_COLOR_BUFFER_BIT, GL_NEAREST);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, static_cast<GLuint>(readBound));
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, static_cast<GLuint>(drawBound));
}

void glutLeaveMainLoop()
{
    emscripten_cancel_main_loop();
    EM_ASM({
        if (Module.orvantaEnded) Module.orvantaEnded();
    });
}
