// live/overlay: lines of text over the finished picture, for the live
// player's figures and error messages. Drawn with stb_easy_font's glyphs as
// plain triangles, on a dark backdrop, into the bound framebuffer.
//
//     OverlayText text;                       // needs the GL context
//     text.draw({"row 384", "58 fps"}, 8, 8, {1, 1, 1}, width, height);
#pragma once

#include <GL/glew.h>

#include <array>
#include <string>
#include <vector>

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

private:
    GLuint program_ = 0;
    GLuint vertexArray_ = 0;
    GLuint buffer_ = 0;
};
