#include "overlay.h"

#include "gpu/shader_program.h"

#include <stb/stb_easy_font.h>

#include <algorithm>
#include <cassert>

namespace {

const char* const vertexSource = R"(#version 430 core
layout(location = 0) in vec2 position;
uniform vec2 screen;
void main() { gl_Position = vec4(position.x / screen.x * 2.0 - 1.0, 1.0 - position.y / screen.y * 2.0, 0.0, 1.0); }
)";

const char* const fragmentSource = R"(#version 430 core
uniform vec4 colour;
out vec4 fragment;
void main() { fragment = colour; }
)";

constexpr float glyphScale = 2.0f;
constexpr float lineHeight = 12.0f; // stb_easy_font's line, unscaled
constexpr float margin = 6.0f;

void addRectangle(std::vector<float>& out, float x0, float y0, float x1, float y1)
{
    out.insert(out.end(), {x0, y0, x1, y0, x1, y1, x0, y0, x1, y1, x0, y1});
}

} // namespace

std::string printableText(const std::string& line)
{
    std::string out = line;
    for (char& c : out) {
        if (c < 32 || c > 126) c = '?';
    }
    return out;
}

OverlayText::OverlayText()
{
    ProgramNames names;
    std::string log;
    GLenum failedStage = 0;
    const bool built = buildProgramQuietly(vertexSource, fragmentSource, names, log, failedStage);
    assert(built && "the overlay's own shaders compile");
    (void)built;
    program_ = names.program;
    glDeleteShader(names.vertexShader);
    glDeleteShader(names.fragmentShader);
    glGenVertexArrays(1, &vertexArray_);
    glGenBuffers(1, &buffer_);
}

OverlayText::~OverlayText()
{
    glDeleteBuffers(1, &buffer_);
    glDeleteVertexArrays(1, &vertexArray_);
    glDeleteProgram(program_);
}

void OverlayText::draw(const std::vector<std::string>& lines, int x, int y, const std::array<float, 3>& colour,
                       int width, int height)
{
    if (lines.empty()) return;
    std::vector<float> backdrop, glyphs;
    static float quads[64 * 1024];
    float widest = 0.0f;
    for (size_t i = 0; i < lines.size(); ++i) {
        const std::string line = printableText(lines[i]);
        const float top = static_cast<float>(y) + margin + static_cast<float>(i) * lineHeight * glyphScale;
        widest = std::max(widest, static_cast<float>(stb_easy_font_width(const_cast<char*>(line.c_str()))));
        const int count = stb_easy_font_print(0.0f, 0.0f, const_cast<char*>(line.c_str()), nullptr, quads, sizeof quads);
        for (int q = 0; q < count; ++q) {
            const float* v = &quads[q * 16]; // four vertices of x, y, z and a packed colour
            addRectangle(glyphs, x + margin + v[0] * glyphScale, top + v[1] * glyphScale, x + margin + v[8] * glyphScale,
                         top + v[9] * glyphScale);
        }
    }
    addRectangle(backdrop, static_cast<float>(x), static_cast<float>(y), x + widest * glyphScale + 2 * margin,
                 y + static_cast<float>(lines.size()) * lineHeight * glyphScale + margin);

    submit(backdrop, {0.0f, 0.0f, 0.0f, 0.7f}, width, height);
    submit(glyphs, {colour[0], colour[1], colour[2], 1.0f}, width, height);
}

void OverlayText::print(const std::string& line, float x, float y, float scale, const std::array<float, 4>& colour,
                        int width, int height)
{
    static float quads[16 * 1024];
    std::vector<float> glyphs;
    std::string shown = printableText(line);
    const int count = stb_easy_font_print(0.0f, 0.0f, shown.data(), nullptr, quads, sizeof quads);
    for (int q = 0; q < count; ++q) {
        const float* v = &quads[q * 16];
        addRectangle(glyphs, x + v[0] * scale, y + v[1] * scale, x + v[8] * scale, y + v[9] * scale);
    }
    submit(glyphs, colour, width, height);
}

void OverlayText::fill(const std::vector<Box>& boxes, int width, int height)
{
    // One draw a colour: a panel has a handful of them.
    std::vector<std::pair<std::array<float, 4>, std::vector<float>>> batches;
    for (const Box& box : boxes) {
        auto batch = std::find_if(batches.begin(), batches.end(), [&](const auto& b) { return b.first == box.colour; });
        if (batch == batches.end()) batch = batches.insert(batches.end(), {box.colour, {}});
        addRectangle(batch->second, box.x0, box.y0, box.x1, box.y1);
    }
    for (const auto& [colour, vertices] : batches) submit(vertices, colour, width, height);
}

void OverlayText::submit(const std::vector<float>& vertices, const std::array<float, 4>& rgba, int width, int height)
{
    if (vertices.empty()) return;
    glDisable(GL_DEPTH_TEST);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glUseProgram(program_);
    glUniform2f(glGetUniformLocation(program_, "screen"), static_cast<float>(width), static_cast<float>(height));
    glBindVertexArray(vertexArray_);
    glBindBuffer(GL_ARRAY_BUFFER, buffer_);
    glEnableVertexAttribArray(0);
    glVertexAttribPointer(0, 2, GL_FLOAT, GL_FALSE, 0, nullptr);
    glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(vertices.size() * sizeof(float)), vertices.data(),
                 GL_STREAM_DRAW);
    glUniform4f(glGetUniformLocation(program_, "colour"), rgba[0], rgba[1], rgba[2], rgba[3]);
    glDrawArrays(GL_TRIANGLES, 0, static_cast<GLsizei>(vertices.size() / 2));
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    glBindVertexArray(0);
    glUseProgram(0);
    glBlendFunc(GL_ONE, GL_ZERO);
    glEnable(GL_DEPTH_TEST);
}
