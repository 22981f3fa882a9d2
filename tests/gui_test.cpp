// The live player's interface read back from the GPU: flat shapes land on
// whole pixels, blend, sit between the cleared boxes and ImGui's drawing and
// leave the frame's GL state as they found it; the track panel puts the row,
// keys, the selection and mute where its layout says.
#include "desktop_gui.h"
#include "panel.h"
#include "panel_draw.h"

#include "support/gl_context.h"

#include <GL/glew.h>
#include <imgui.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr int width = 320, height = 180;

void startOnce()
{
    ensureGlContext();
    static bool started = false;
    if (started) return;
    std::string error;
    ASSERT_TRUE(startGui(desktopGuiSettings(), error)) << error;
    started = true;
}

void clearWindow(float r, float g, float b)
{
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glViewport(0, 0, width, height);
    glDisable(GL_SCISSOR_TEST);
    glClearColor(r, g, b, 1);
    glClear(GL_COLOR_BUFFER_BIT);
}

// The back buffer, row 0 at the top.
class Picture {
public:
    Picture() : rgba_(static_cast<size_t>(width) * height * 4)
    {
        glFinish();
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadBuffer(GL_BACK);
        glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, rgba_.data());
    }
    // 0xRRGGBB of the pixel (x, y) from the top left.
    unsigned at(float x, float y) const
    {
        const size_t i = (static_cast<size_t>(height - 1 - static_cast<int>(std::floor(y))) * width +
                          static_cast<size_t>(std::floor(x))) * 4;
        return static_cast<unsigned>(rgba_[i] << 16 | rgba_[i + 1] << 8 | rgba_[i + 2]);
    }

private:
    std::vector<unsigned char> rgba_;
};

unsigned rgb(unsigned imguiColour)
{
    return (imguiColour & 0xff) << 16 | (imguiColour >> 8 & 0xff) << 8 | (imguiColour >> 16 & 0xff);
}

bool near(unsigned a, unsigned b, int tolerance)
{
    for (int shift : {0, 8, 16}) {
        if (std::abs(static_cast<int>(a >> shift & 0xff) - static_cast<int>(b >> shift & 0xff)) > tolerance) return false;
    }
    return true;
}

GLuint smallProgram()
{
    const char* vertex = "#version 330 core\nvoid main() { gl_Position = vec4(0.0, 0.0, 0.0, 1.0); }\n";
    const char* fragment = "#version 330 core\nout vec4 colour;\nvoid main() { colour = vec4(1.0); }\n";
    const GLuint program = glCreateProgram();
    for (const auto& [kind, source] : {std::make_pair(GL_VERTEX_SHADER, vertex), std::make_pair(GL_FRAGMENT_SHADER, fragment)}) {
        const GLuint shader = glCreateShader(kind);
        glShaderSource(shader, 1, &source, nullptr);
        glCompileShader(shader);
        glAttachShader(program, shader);
        glDeleteShader(shader);
    }
    glLinkProgram(program);
    return program;
}

GLint integer(GLenum name)
{
    GLint value = 0;
    glGetIntegerv(name, &value);
    return value;
}

} // namespace

TEST(Gui, FlatShapesLandOnWholePixelsUnderImGuiAndLeaveTheFramesStateAlone)
{
    startOnce();
    takeGlErrors();
    clearWindow(0, 0, 0);
    // What a frame's pass leaves bound, which the next frame draws with.
    const GLuint program = smallProgram();
    GLuint array = 0, buffer = 0;
    glGenVertexArrays(1, &array);
    glGenBuffers(1, &buffer);
    glUseProgram(program);
    glBindVertexArray(array);
    glBindBuffer(GL_ARRAY_BUFFER, buffer);
    glBlendFunc(GL_ONE, GL_ZERO);

    guiBeginFrame(width, height);
    guiFillBox(10, 10, 60, 40, IM_COL32(0, 0, 255, 255));
    guiFlatRect(20, 20, 30, 30, IM_COL32(255, 0, 0, 255));
    guiFlatRect(40, 20, 50, 30, IM_COL32(255, 255, 255, 128));
    guiFlatTriangle(100, 10, 140, 10, 100, 50, IM_COL32(0, 255, 0, 255));
    ImGui::GetBackgroundDrawList()->AddRectFilled(ImVec2(25, 25), ImVec2(35, 35), IM_COL32(255, 255, 0, 255));
    guiEndFrame();
    const Picture picture;

    // Edges on whole pixels: the first row and column in, the last out.
    EXPECT_EQ(picture.at(20, 20), 0xff0000u);
    EXPECT_EQ(picture.at(24, 29), 0xff0000u);
    EXPECT_EQ(picture.at(19, 22), 0x0000ffu);
    EXPECT_EQ(picture.at(22, 19), 0x0000ffu);
    EXPECT_EQ(picture.at(22, 30), 0x0000ffu);
    EXPECT_EQ(picture.at(5, 5), 0x000000u);
    // Over the cleared box, half white blends.
    EXPECT_TRUE(near(picture.at(45, 25), 0x8080ffu, 2)) << std::hex << picture.at(45, 25);
    EXPECT_EQ(picture.at(50, 25), 0x0000ffu);
    // A triangle's inside and the far side of its slope.
    EXPECT_EQ(picture.at(101, 11), 0x00ff00u);
    EXPECT_EQ(picture.at(130, 40), 0x000000u);
    // ImGui draws over the flat shapes.
    EXPECT_EQ(picture.at(27, 27), 0xffff00u);
    EXPECT_EQ(picture.at(22, 22), 0xff0000u);

    EXPECT_EQ(integer(GL_CURRENT_PROGRAM), static_cast<GLint>(program));
    EXPECT_EQ(integer(GL_VERTEX_ARRAY_BINDING), static_cast<GLint>(array));
    EXPECT_EQ(integer(GL_ARRAY_BUFFER_BINDING), static_cast<GLint>(buffer));
    EXPECT_EQ(integer(GL_BLEND_SRC_RGB), GL_ONE);
    EXPECT_EQ(integer(GL_BLEND_DST_RGB), GL_ZERO);
    EXPECT_TRUE(takeGlErrors().empty());

    // A frame with no flat shapes draws none of the last one's.
    clearWindow(0, 0, 0);
    guiBeginFrame(width, height);
    guiEndFrame();
    EXPECT_EQ(Picture().at(22, 22), 0x000000u);

    glUseProgram(0);
    glBindVertexArray(0);
    glDeleteProgram(program);
    glDeleteVertexArrays(1, &array);
    glDeleteBuffers(1, &buffer);
}

TEST(Gui, ThePanelDrawsTheRowKeysSelectionAndMuteWhereItsLayoutSays)
{
    startOnce();
    takeGlErrors();
    clearWindow(panelBackdrop[0], panelBackdrop[1], panelBackdrop[2]);

    TextTrack a{"a", {{96, 0.0f, 0}, {104, 1.0f, 0}}, 1};
    TextTrack b{"b", {{100, 0.5f, 0}}, 4};
    PanelFacts facts;
    facts.names = {"a", "b"};
    facts.selected = 1;
    facts.selection = {{0, 96}};
    facts.muted = {0};
    facts.curves = {1};
    facts.keys = [&](int track) { return track == 0 ? &a : &b; };
    facts.value = [](int, double) { return 0.5f; };
    const PanelLayout l = layoutPanel(width, height, 100, PanelView(), facts.names, guiFontSize());
    ASSERT_GE(l.shownLines, 2);

    guiBeginFrame(width, height);
    drawPanel(l, facts, "header");
    guiEndFrame();
    const Picture picture;

    const float laneA = l.lineTop(0) + l.lane / 2, laneB = l.lineTop(1) + l.lane / 2;
    const unsigned here = 0xff5046, key = 0xffd650, selectedKey = 0xff9628, white = 0xffffff;
    // The row through the lanes and the curves.
    EXPECT_EQ(picture.at(l.xOfRow(100), laneA + 3), here);
    EXPECT_EQ(picture.at(l.xOfRow(100), l.curve.y0 + 3), here);
    EXPECT_NE(picture.at(l.xOfRow(100) + 3, laneA + 3), here);
    // A plain key, and the selected one in its white rim.
    EXPECT_EQ(picture.at(l.xOfRow(104), laneA), key);
    EXPECT_EQ(picture.at(l.xOfRow(96), laneA), selectedKey);
    EXPECT_EQ(picture.at(l.xOfRow(96) + 7, laneA), white);
    EXPECT_NE(picture.at(l.xOfRow(104), laneB), key);
    // The selected track's line across the lanes, between its keys.
    EXPECT_EQ(picture.at(l.xOfRow(90), laneB), rgb(IM_COL32(45, 70, 110, 255)));
    EXPECT_NE(picture.at(l.xOfRow(90), laneA), rgb(IM_COL32(45, 70, 110, 255)));
    // a is muted, b is not.
    const PanelRect muteA = l.muteBox(0), muteB = l.muteBox(1);
    EXPECT_EQ(picture.at(muteA.x0 + 1, muteA.y0 + 1), 0xe6783cu);
    EXPECT_NE(picture.at(muteB.x0 + 1, muteB.y0 + 1), 0xe6783cu);
    EXPECT_TRUE(takeGlErrors().empty());
}

namespace {

// A smooth segment as the demo plays it: 0 at row 16 to 1 at row 112.
float smoothAt(double row)
{
    const double t = std::clamp((row - 16) / 96, 0.0, 1.0);
    return static_cast<float>(t * t * (3 - 2 * t));
}

// The middle of the curve's colour in a column of the curve view, or -1.
float curveYAt(const Picture& picture, const PanelLayout& l, float x, unsigned colour)
{
    float sum = 0;
    int count = 0;
    for (float y = l.curve.y0 + 1; y < l.curve.y1 - 1; ++y) {
        if (near(picture.at(x, y), colour, 60)) {
            sum += y;
            ++count;
        }
    }
    return count ? sum / static_cast<float>(count) : -1;
}

} // namespace

// What is drawn is what plays: the curve view follows a smooth segment
// (not its chord), a key on the first row shown is drawn whole, the tune's
// loudness shows in the ruler where the music is loud, the loop shows on
// the ruler's band, and a marker's name is not overprinted by a section's.
TEST(Gui, TheCurveKeysLoudnessAndLoopAreDrawnAsTheyPlay)
{
    startOnce();
    takeGlErrors();
    clearWindow(panelBackdrop[0], panelBackdrop[1], panelBackdrop[2]);

    TextTrack a{"a", {{16, 0.0f, 2}, {112, 1.0f, 2}}, 1};
    TextTrack b{"b", {{8, 0.5f, 0}}, 4};
    PanelFacts facts;
    facts.names = {"a", "b"};
    facts.selected = 0;
    facts.curves = {0};
    facts.keys = [&](int track) { return track == 0 ? &a : &b; };
    facts.value = [](int track, double row) { return track == 0 ? smoothAt(row) : 0.5f; };
    // The curve view's height on the segment's slow start, where a chord
    // strays furthest from the bend.
    facts.fixedRange = true;
    facts.low = 0;
    facts.high = 0.45f;
    facts.loop = true;
    facts.loopFrom = 24;
    facts.loopTo = 40;
    facts.markers = {{12, "m"}};
    facts.sections = {{12, "sectionname"}};
    // Loud from row 44 to 52, silent elsewhere.
    Loudness loud;
    loud.framesPerRow = 100;
    loud.peaks.assign(64 * Loudness::bucketsPerRow, 0.0f);
    for (int q = 44 * Loudness::bucketsPerRow; q < 52 * Loudness::bucketsPerRow; ++q) loud.peaks[static_cast<size_t>(q)] = 1.0f;
    facts.loudness = &loud;
    PanelView view;
    view.span = 48;
    view.placed = true;
    view.from = 8; // b's key stands on the first row shown
    const PanelLayout l = layoutPanel(width, height, 30, view, facts.names, guiFontSize());
    ASSERT_EQ(l.firstRow, 8);

    guiBeginFrame(width, height);
    drawPanel(l, facts, "header");
    guiEndFrame();
    const Picture picture;

    const unsigned curve = 0x6edcff;
    for (double row : {20.0, 26.0, 32.0, 38.0, 44.0, 50.0}) {
        const float x = std::floor(l.xOfRow(row));
        const float drawn = curveYAt(picture, l, x, curve);
        ASSERT_GE(drawn, 0) << "row " << row;
        EXPECT_NEAR(drawn, yOfValue(l.curve, smoothAt(l.rowOfX(x + 0.5f)), 0, 0.45f), 1.5f) << "row " << row;
    }
    // b's key at the view's first row, whole.
    const float laneB = l.lineTop(1) + l.lane / 2;
    EXPECT_EQ(picture.at(l.xOfRow(8), laneB), 0xffd650u);
    EXPECT_EQ(picture.at(l.xOfRow(8) - 2, laneB), 0xffd650u);
    // The loudness in the ruler: lighter where the tune is loud.
    const float loudX = std::floor(l.xOfRow(46)) + 1, quietX = std::floor(l.xOfRow(54)) + 1;
    EXPECT_GT(picture.at(loudX, l.ruler.y1 - 3) & 0xff, (picture.at(quietX, l.ruler.y1 - 3) & 0xff) + 20);
    // The loop on the ruler's band, inside it and not outside.
    const float band = l.loopBand.y0 + 3;
    EXPECT_GT(picture.at(l.xOfRow(32), band) >> 8 & 0xff, 100u);
    EXPECT_LT(picture.at(l.xOfRow(44), band) >> 8 & 0xff, 100u);
    // The marker's name stands where the section's would: the section's
    // light grey does not show after the marker.
    int grey = 0;
    for (float x = l.xOfRow(12) + 8; x < l.xOfRow(12) + 60 && x < width; ++x) {
        for (float y = l.ruler.y0 + 2; y < l.loopBand.y0 - 7; ++y) grey += near(picture.at(x, y), 0xdcdee2, 20) ? 1 : 0;
    }
    EXPECT_EQ(grey, 0) << "a section's name overprints the marker's";
    EXPECT_TRUE(takeGlErrors().empty());
}

