// live/overlay: lines of text and plain boxes over the finished picture,
// for the live player's figures, error messages and track panel. Drawn with
// stb_easy_font's glyphs as plain triangles, on a dark backdrop, into the
// bound framebuffer.
//
//     OverlayText text;                       // needs the GL context
//     text.draw({"row 384", "58 fps"}, 8, 8, {1, 1, 1}, width, height);
//     text.fill({{0, 0, 100, 2, {1, 1, 1, 1}}}, width, height);
#pragma once

#include <GL/glew.h>

#include <array>
#include <string>
#include <vector>

// The line with every byte the glyphs lack (controls, bytes past ASCII)
// shown as '?': the glyph table has printable ASCII alone.
std::string printableText(const std::string& line);

class OverlayText {
public:
    OverlayText();
    ~OverlayText();
    OverlayText(const OverlayText&) = delete;
    OverlayText& operator=(const OverlayText&) = delete;

    // Draws the lines from (x, y) pixels down from the top left, in `colour`,
    // on a backdrop, on a window of width x height. Leaves blending as the
    // frame wants it (off in effect), depth testing on, and no program,
    // vertex array or buffer bound.
    void draw(const std::vector<std::string>& lines, int x, int y, const std::array<float, 3>& colour, int width,
              int height);

    // Like draw(), in glyphs `scale` times stb_easy_font's (draw()'s is 2),
    // without a backdrop.
    void print(const std::string& line, float x, float y, float scale, const std::array<float, 4>& colour, int width,
               int height);

    // Filled boxes, from (x0, y0) to (x1, y1) pixels down from the top left,
    // blended by their alpha.
    struct Box {
        float x0, y0, x1, y1;
        std::array<float, 4> colour;
    };
    void fill(const std::vector<Box>& boxes, int width, int height);

private:
    void submit(const std::vector<float>& vertices, const std::array<float, 4>& colour, int width, int height);

    GLuint program_ = 0;
    GLuint vertexArray_ = 0;
    GLuint buffer_ = 0;
};
