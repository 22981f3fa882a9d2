// gpu/texture: owner of one 2D texture name.
//
//     Texture logo("logo.png");             // 8-bit RGBA, linear, repeat
//     Texture decoded(rgba, width, height); // the same, from pixels at hand
//     Texture target(width, height);        // GL_RGBA16F, nearest, repeat
//     glBindTexture(GL_TEXTURE_2D, target.id);
//
// Both constructors leave the texture bound to GL_TEXTURE_2D on the active
// unit. The destructor deletes the name; a Texture is never copied. Make and
// destroy them with the GL context current.
#pragma once

#include <GL/glew.h>

#include <string>

class Texture {
public:
    // Decodes an image with stb_image as four 8-bit channels, whatever the
    // file holds; row 0 of the texture is the file's top row.
    // Failure: writes "Texture load fail : <path> !!!!!!!!!!!!!!!!" to
    // standard error and gives one transparent texel, with the same
    // parameters.
    explicit Texture(const std::string& path);

    // 8-bit RGBA pixels, top row first, tightly packed; as above otherwise.
    Texture(const unsigned char* rgba, int width, int height);

    // Uninitialised GL_RGBA16F storage of width x height.
    Texture(int width, int height);

    ~Texture();
    Texture(const Texture&) = delete;
    Texture& operator=(const Texture&) = delete;

    // Forgets the name without deleting it, for when no GL context is left to
    // delete it in (the context's end frees it).
    void abandon() { id = 0; }

    GLuint id = 0;

private:
    void upload(const unsigned char* rgba, int width, int height);
};
