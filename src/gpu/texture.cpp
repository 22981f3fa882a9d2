#include "gpu/texture.h"

#include "gpu/shader_program.h"

#include <stb/stb_image.h>

#include <cstdio>

Texture::Texture(const std::string& path)
{
    int width = 0, height = 0, channels = 0;
    // Four channels are asked for whatever the file holds, so the RGBA upload
    // below never reads past the decoded pixels.
    unsigned char* pixels = isRegularFile(path.c_str()) ? stbi_load(path.c_str(), &width, &height, &channels, 4) : nullptr;
    static const unsigned char transparent[4] = {0, 0, 0, 0};
    if (!pixels) {
        std::fprintf(stderr, "Texture load fail : %s !!!!!!!!!!!!!!!!\n", path.c_str());
        width = 1;
        height = 1;
    }
    upload(pixels ? pixels : transparent, width, height);
    if (pixels) {
        stbi_image_free(pixels);
    }
}

Texture::Texture(const unsigned char* rgba, int width, int height)
{
    upload(rgba, width, height);
}

void Texture::upload(const unsigned char* rgba, int width, int height)
{
    glGenTextures(1, &id);
    glBindTexture(GL_TEXTURE_2D, id);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    // Rows of any width are tightly packed.
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
}

Texture::Texture(int width, int height)
{
    glGenTextures(1, &id);
    glBindTexture(GL_TEXTURE_2D, id);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA16F, width, height, 0, GL_RGBA, GL_FLOAT, nullptr);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
}

Texture::~Texture()
{
    if (id != 0) {
        glDeleteTextures(1, &id);
        id = 0;
    }
}
