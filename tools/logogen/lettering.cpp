#include "lettering.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cmath>

namespace {

// One FreeType library and face, released however the function returns.
struct Face {
    FT_Library library = nullptr;
    FT_Face face = nullptr;
    ~Face()
    {
        if (face) FT_Done_Face(face);
        if (library) FT_Done_FreeType(library);
    }
};

// Sizes the face so that its ascender to descender spans `pixels`.
bool sizeFace(FT_Face face, float pixels)
{
    FT_Size_RequestRec request = {};
    request.type = FT_SIZE_REQUEST_TYPE_REAL_DIM;
    request.height = static_cast<FT_Long>(std::lround(pixels * 64.0f));
    return request.height > 0 && FT_Request_Size(face, &request) == 0;
}

float advanceOf(FT_Face face, char c)
{
    if (FT_Load_Char(face, static_cast<unsigned char>(c), FT_LOAD_DEFAULT) != 0) return 0.0f;
    return static_cast<float>(face->glyph->advance.x) / 64.0f;
}

} // namespace

bool setWord(const std::string& fontBytes, const char* word, int width, int height, std::vector<float>& coverage,
             std::string& error)
{
    coverage.clear();
    Face font;
    if (FT_Init_FreeType(&font.library) != 0) {
        error = "FreeType cannot start";
        return false;
    }
    if (fontBytes.empty() ||
        FT_New_Memory_Face(font.library, reinterpret_cast<const FT_Byte*>(fontBytes.data()),
                           static_cast<FT_Long>(fontBytes.size()), 0, &font.face) != 0 ||
        !FT_IS_SCALABLE(font.face)) {
        error = "not a font FreeType can read";
        return false;
    }
    FT_Face face = font.face;
    const float pixelHeight = height * 0.5f;
    const float tracking = pixelHeight * 0.18f;
    if (!sizeFace(face, pixelHeight)) {
        error = "the font cannot be sized";
        return false;
    }
    float penWidth = 0.0f;
    for (const char* c = word; *c; ++c) penWidth += advanceOf(face, *c) + (c[1] ? tracking : 0.0f);
    const float fit = penWidth > 0.0f ? std::min(1.0f, width * 0.86f / penWidth) : 1.0f;
    if (fit < 1.0f && !sizeFace(face, pixelHeight * fit)) {
        error = "the font cannot be sized";
        return false;
    }
    const float ascent = static_cast<float>(face->size->metrics.ascender) / 64.0f;
    const float descent = static_cast<float>(face->size->metrics.descender) / 64.0f;
    float pen = (width - penWidth * fit) / 2.0f;
    const float baseline = height / 2.0f + (ascent + descent) / 2.0f;

    coverage.assign(static_cast<size_t>(width) * static_cast<size_t>(height), 0.0f);
    for (const char* c = word; *c; ++c) {
        if (FT_Load_Char(face, static_cast<unsigned char>(*c), FT_LOAD_RENDER) == 0 &&
            face->glyph->bitmap.pixel_mode == FT_PIXEL_MODE_GRAY) {
            const FT_Bitmap& bitmap = face->glyph->bitmap;
            const int ox = static_cast<int>(std::lround(pen)) + face->glyph->bitmap_left;
            const int oy = static_cast<int>(std::lround(baseline)) - face->glyph->bitmap_top;
            for (int y = 0; y < static_cast<int>(bitmap.rows); ++y) {
                for (int x = 0; x < static_cast<int>(bitmap.width); ++x) {
                    const int px = ox + x, py = oy + y;
                    if (px < 0 || py < 0 || px >= width || py >= height) continue;
                    const unsigned char value = bitmap.buffer[static_cast<long>(y) * bitmap.pitch + x];
                    float& cell = coverage[static_cast<size_t>(py) * static_cast<size_t>(width) + static_cast<size_t>(px)];
                    cell = std::max(cell, value / 255.0f);
                }
            }
            pen += static_cast<float>(face->glyph->advance.x) / 64.0f;
        }
        pen += tracking * fit;
    }
    return true;
}
