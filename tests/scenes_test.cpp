// The demo's own scenes, shaders and tracks as the build lays them out,
// rendered on a 320x180 screen at the reduced scene scale: every pass stays
// finite at every row, no frame is black unless the grade fades it out, the
// six scenes look different, and the feedback of pass 2 settles while the
// music is paused instead of running away.
#include "demo/timeline.h"
#include "demo/tracks.h"
#include "render/frame_size.h"
#include "render/programs.h"
#include "render/render_screen.h"
#include "render/render_targets.h"
#include "render/scene_index.h"

#include "support/frame_harness.h"
#include "support/gl_context.h"

#include <GL/glew.h>
#include <gtest/gtest.h>
#include <stb/stb_image.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace {

// What one frame left in its passes and in the window.
struct FramePictures {
    std::array<std::vector<float>, passCount + 1> passes; // RGBA, index 1..4
    std::vector<float> window;                            // RGB, 0..1
};

FramePictures captured;

std::vector<float> readPass(int pass)
{
    std::vector<float> pixels(static_cast<size_t>(passWidth(pass) * passHeight(pass) * 4));
    glBindFramebuffer(GL_READ_FRAMEBUFFER, passFramebuffer(pass));
    glReadBuffer(GL_COLOR_ATTACHMENT0);
    glReadPixels(0, 0, passWidth(pass), passHeight(pass), GL_RGBA, GL_FLOAT, pixels.data());
    return pixels;
}

// Runs before the swap: the pass textures are still attached to their
// framebuffers, the finished picture is in the back buffer.
void capture()
{
    for (int pass = 1; pass <= passCount; ++pass) captured.passes[static_cast<size_t>(pass)] = readPass(pass);
    const int w = frameDimensions().width, h = frameDimensions().height;
    captured.window.assign(static_cast<size_t>(w * h * 3), 0.0f);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
    glReadBuffer(GL_BACK);
    glReadPixels(0, 0, w, h, GL_RGB, GL_FLOAT, captured.window.data());
}

bool allFinite(const std::vector<float>& values)
{
    return std::all_of(values.begin(), values.end(), [](float v) { return std::isfinite(v); });
}

double mean(const std::vector<float>& values)
{
    double sum = 0;
    for (float v : values) sum += v;
    return values.empty() ? 0.0 : sum / static_cast<double>(values.size());
}

double meanRgb(const std::vector<float>& rgba)
{
    double sum = 0;
    for (size_t i = 0; i < rgba.size(); i += 4) sum += rgba[i] + rgba[i + 1] + rgba[i + 2];
    return rgba.empty() ? 0.0 : sum / static_cast<double>(rgba.size() / 4 * 3);
}

double meanAbsoluteDifference(const std::vector<float>& a, const std::vector<float>& b)
{
    double sum = 0;
    for (size_t i = 0; i < std::min(a.size(), b.size()); ++i) sum += std::fabs(a[i] - b[i]);
    return a.empty() ? 0.0 : sum / static_cast<double>(a.size());
}

// Darkest and brightest pixel of the window picture, by channel sum.
std::pair<float, float> windowRange(const std::vector<float>& rgb)
{
    float lo = 3.0f, hi = 0.0f;
    for (size_t i = 0; i + 2 < rgb.size(); i += 3) {
        const float v = rgb[i] + rgb[i + 1] + rgb[i + 2];
        lo = std::min(lo, v);
        hi = std::max(hi, v);
    }
    return {lo, hi};
}

class Scenes : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        harness = new FrameHarness(320, 180);
        harness->start();
        setBeforeSwap(capture);
    }

    static void TearDownTestSuite()
    {
        setBeforeSwap(nullptr);
        delete harness;
        harness = nullptr;
    }

    // Holds the music at `row` and draws `frames` frames there.
    static void drawAt(double row, int frames = 1)
    {
        harness->frameAt(row, frames);
    }

    // Whether the grade at `row` lets a picture through: a gain near -1 in
    // every channel fades it to black.
    static bool gradedVisible(double row)
    {
        const float gain = std::max({sampleTrack(DemoTrack::GainR, row), sampleTrack(DemoTrack::GainG, row),
                                     sampleTrack(DemoTrack::GainB, row)});
        return gain > -0.9f;
    }

    static FrameHarness* harness;
};

FrameHarness* Scenes::harness = nullptr;

TEST_F(Scenes, EveryTrackHasKeysAndTheLogoHasRealTransparency)
{
    for (const char* name : demoTrackNames) {
        const std::string file = harness->folder().path() + "/sync_" + name + ".track";
        // A count, then at least one key of 9 bytes.
        EXPECT_GE(std::filesystem::file_size(file), 4u + 9u) << file;
    }

    int width = 0, height = 0, channels = 0;
    const std::string logo = harness->folder().path() + "/logo.png";
    ASSERT_TRUE(stbi_info(logo.c_str(), &width, &height, &channels)) << logo;
    EXPECT_EQ(channels, 4);
    EXPECT_FALSE(stbi_is_16_bit(logo.c_str()));
    unsigned char* pixels = stbi_load(logo.c_str(), &width, &height, &channels, 4);
    ASSERT_NE(pixels, nullptr);
    size_t clear = 0, solid = 0, partial = 0;
    for (size_t i = 3; i < static_cast<size_t>(width) * static_cast<size_t>(height) * 4; i += 4) {
        clear += pixels[i] == 0 ? 1 : 0;
        solid += pixels[i] == 255 ? 1 : 0;
        partial += pixels[i] > 0 && pixels[i] < 255 ? 1 : 0;
    }
    stbi_image_free(pixels);
    // Letters, nothing around them, and a soft glow between.
    EXPECT_GT(clear, 0u);
    EXPECT_GT(solid, 0u);
    EXPECT_GT(partial, solid / 4);
}

// Counted over the music's 72 bars: the run itself stops 4.5 rows before
// the last bar ends.
TEST_F(Scenes, EachSceneShowsForAtLeastEightBars)
{
    const int musicRows = 72 * 16;
    for (int scene = 0; scene < sceneCount; ++scene) {
        int rows = 0;
        for (int row = 0; row < musicRows; ++row) {
            rows += sceneFromIndex(truncateToInt(sampleTrack(DemoTrack::Scene, row))) == scene ? 1 : 0;
        }
        EXPECT_GE(rows, 8 * 16) << "scene " << scene;
    }
}

TEST_F(Scenes, EveryPassIsFiniteAndTheSixScenesDiffer)
{
    std::vector<std::vector<float>> pictures;
    for (int scene = 0; scene < sceneCount; ++scene) {
        const double row = sceneMiddleRow(scene);
        drawAt(row, 4); // the history fills with the scene's own frames
        ASSERT_EQ(sceneFromIndex(truncateToInt(sampleTrack(DemoTrack::Scene, row))), scene);
        for (int pass = 1; pass <= passCount; ++pass) {
            EXPECT_TRUE(allFinite(captured.passes[static_cast<size_t>(pass)])) << "scene " << scene << " pass " << pass;
        }
        // Depth runs from 0 (at the camera) to 1 (nothing hit) in pass 1.
        const auto& one = captured.passes[1];
        for (size_t i = 3; i < one.size(); i += 4) {
            ASSERT_GE(one[i], 0.0f) << "scene " << scene;
            ASSERT_LE(one[i], 1.0f) << "scene " << scene;
        }
        const auto [darkest, brightest] = windowRange(captured.window);
        EXPECT_GT(brightest - darkest, 0.3f) << "scene " << scene << " is flat";
        EXPECT_GT(mean(captured.window), 0.03) << "scene " << scene << " is black";
        pictures.push_back(captured.window);
    }
    for (size_t a = 0; a < pictures.size(); ++a) {
        for (size_t b = a + 1; b < pictures.size(); ++b) {
            EXPECT_GT(meanAbsoluteDifference(pictures[a], pictures[b]), 0.05) << "scenes " << a << " and " << b;
        }
    }
}

TEST_F(Scenes, TheWholeDemoStaysFiniteAndOnlyGoesBlackWhereTheGradeFades)
{
    int checked = 0, faded = 0;
    for (double row = 0.0; row <= endRow; row += 7.5) {
        drawAt(row);
        for (int pass = 1; pass <= passCount; ++pass) {
            ASSERT_TRUE(allFinite(captured.passes[static_cast<size_t>(pass)])) << "row " << row << " pass " << pass;
        }
        if (gradedVisible(row)) {
            const auto [darkest, brightest] = windowRange(captured.window);
            EXPECT_GT(brightest - darkest, 0.1f) << "row " << row << " is flat";
            ++checked;
        } else {
            ++faded;
        }
    }
    // The grade fades in at the start and out at the end, and only there.
    EXPECT_GT(faded, 0);
    EXPECT_GT(checked, 140);
}

TEST_F(Scenes, FeedbackSettlesWhilePaused)
{
    for (int scene = 0; scene < sceneCount; ++scene) {
        drawAt(sceneMiddleRow(scene), 60);
        const std::vector<float> before = captured.passes[2];
        drawAt(sceneMiddleRow(scene));
        const std::vector<float>& after = captured.passes[2];
        ASSERT_TRUE(allFinite(after)) << "scene " << scene;
        // Still: the image no longer changes from frame to frame...
        EXPECT_LT(meanAbsoluteDifference(before, after), 0.01) << "scene " << scene;
        // ...and has neither faded out nor blown up against the scene.
        const double scene1 = meanRgb(captured.passes[1]), scene2 = meanRgb(after);
        EXPECT_GT(scene2, 0.5 * scene1) << "scene " << scene;
        EXPECT_LT(scene2, 3.0 * scene1 + 0.05) << "scene " << scene;
    }
}

} // namespace

// The trail a scene leaves across a cut fades with the music's time: drawn
// at 30 and at 120 frames a second over the same span, with the music held
// on each frame's row as the capture does, what is left of the old scene in
// pass 2 0.1 s after the cut (against the same frames drawn with a history
// that starts at the cut) is the same at both rates, and a beat after the
// cut it is all but gone.
// One cut of the five a test, so that each stays short on a busy machine.
class TrailsAtACut : public Scenes, public testing::WithParamInterface<int> {};

TEST_P(TrailsAtACut, FadeWithTimeNotWithTheFrameCount)
{
    std::vector<double> cuts;
    for (int row = 1; row <= static_cast<int>(endRow); ++row) {
        if (sceneFromIndex(truncateToInt(sampleTrack(DemoTrack::Scene, row))) !=
            sceneFromIndex(truncateToInt(sampleTrack(DemoTrack::Scene, row - 1)))) {
            cuts.push_back(row);
        }
    }
    ASSERT_EQ(cuts.size(), 5u);
    const double cut = cuts[static_cast<size_t>(GetParam())];
    const double start = cut / rowRate - 0.5;
    double lingering[2] = {}, afterABeat[2] = {};
    const int rates[2] = {30, 120};
    for (int r = 0; r < 2; ++r) {
        const int fps = rates[r];
        const int atCut = fps / 2, soon = atCut + fps / 10, beat = atCut + fps / 2;
        auto row = [&](int k) { return (start + static_cast<double>(k) / fps) * rowRate; };
        // Across the cut, from half a second of the old scene.
        std::vector<float> crossed, crossedBeat;
        for (int k = 0; k <= beat; ++k) {
            drawAt(row(k));
            if (k == soon) crossed = captured.passes[2];
        }
        crossedBeat = captured.passes[2];
        // The same frames from the cut on, after a jump that leaves
        // nothing of the old scene in the history.
        drawAt(cut - 20.0);
        std::vector<float> fresh;
        for (int k = atCut; k <= beat; ++k) {
            drawAt(row(k));
            if (k == soon) fresh = captured.passes[2];
        }
        lingering[r] = meanAbsoluteDifference(crossed, fresh);
        afterABeat[r] = meanAbsoluteDifference(crossedBeat, captured.passes[2]);
    }
    // Within 10%, or both under a level of an 8-bit picture.
    EXPECT_NEAR(lingering[0], lingering[1], std::max(0.1 * std::max(lingering[0], lingering[1]), 1.0 / 255))
        << "30 fps " << lingering[0] << ", 120 fps " << lingering[1];
    for (int r = 0; r < 2; ++r) {
        EXPECT_LT(afterABeat[r], 0.1 * lingering[r] + 0.002) << rates[r] << " fps: the old scene outlives the cut";
    }
}

INSTANTIATE_TEST_SUITE_P(Scenes, TrailsAtACut, testing::Range(0, 5));

// A still two rows after each cut as a capture draws it, at 30, 60 and 120
// frames a second over the same 0.3 s of music: the trails read the same at
// every rate (RMSE of the window picture within 0.04), so a video shows one
// streak per light, not one copy of it per frame.
TEST_F(Scenes, StillsAfterEachCutMatchAt30And60And120FramesASecond)
{
    for (double cut : {128.0, 384.0, 640.0, 768.0, 1024.0}) {
        const double still = (cut + 2.0) / rowRate;
        std::vector<float> pictures[3];
        const int rates[3] = {30, 60, 120};
        for (int r = 0; r < 3; ++r) {
            const int frames = rates[r] * 3 / 10;
            drawAt(cut - 20.0);
            for (int k = frames; k >= 0; --k) drawAt((still - static_cast<double>(k) / rates[r]) * rowRate);
            pictures[r] = captured.window;
        }
        for (int r = 0; r < 2; ++r) {
            double squares = 0;
            for (size_t i = 0; i < pictures[r].size(); ++i) {
                const double d = std::clamp(pictures[r][i], 0.0f, 1.0f) - std::clamp(pictures[2][i], 0.0f, 1.0f);
                squares += d * d;
            }
            EXPECT_LT(std::sqrt(squares / static_cast<double>(pictures[r].size())), 0.04)
                << "row " << cut + 2.0 << ": " << rates[r] << " against 120 frames a second";
        }
    }
}

// The big sections hit on the beat: the final picture's brightness, folded
// by the phase within the beat over twelve bars of the drop and of the
// climax, swings by at least ten levels of 8 bits.
TEST_F(Scenes, TheDropAndTheClimaxPulseOnTheBeat)
{
    for (const int firstBar : {26, 50}) {
        SCOPED_TRACE(firstBar);
        constexpr int phases = 8; // half rows
        double sum[phases] = {};
        int count[phases] = {};
        for (int beat = 0; beat < 12 * beatsPerBar; beat += 3) {
            for (int phase = 0; phase < phases; ++phase) {
                drawAt((firstBar * beatsPerBar + beat) * rowsPerBeat + phase * 0.5);
                sum[phase] += mean(captured.window) * 255.0;
                ++count[phase];
            }
        }
        double low = 255.0, high = 0.0;
        for (int phase = 0; phase < phases; ++phase) {
            low = std::min(low, sum[phase] / count[phase]);
            high = std::max(high, sum[phase] / count[phase]);
        }
        EXPECT_GE(high - low, 10.0) << "levels from " << low << " to " << high;
    }
}

// Luminance edges of an RGBA picture: the mean absolute difference between
// neighbours across and down, in linear light clamped to the screen's range.
double edgeEnergy(const std::vector<float>& rgba, int width, int height)
{
    auto luma = [&](int x, int y) {
        const size_t i = (static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)) * 4;
        return std::min(0.2126f * rgba[i] + 0.7152f * rgba[i + 1] + 0.0722f * rgba[i + 2], 1.0f);
    };
    double sum = 0;
    for (int y = 0; y + 1 < height; ++y) {
        for (int x = 0; x + 1 < width; ++x) {
            sum += std::fabs(luma(x + 1, y) - luma(x, y)) + std::fabs(luma(x, y + 1) - luma(x, y));
        }
    }
    return sum / (2.0 * (width - 1) * (height - 1));
}

// A trail is motion, not a second picture: after a second of the music at
// 60 frames a second, pass 2 (the scene with its trail) has few more edges
// than the same frame drawn after a jump, which leaves no trail. A trail
// that stamps a copy of each frame's edges adds lines for the frames it
// keeps (the ribbons' old trail added 7%, the balls' 11%). The tunnel's
// trail is streaks that run out from the middle, edges by design.
TEST_F(Scenes, TrailsSmearInsteadOfStampingCopies)
{
    for (int scene = 0; scene < sceneCount; ++scene) {
        SCOPED_TRACE(scene);
        const double first = sceneMiddleRow(scene), last = first + rowRate;
        for (int k = 0; k <= 60; ++k) drawAt(first + k * rowRate / 60.0);
        const double trailed = edgeEnergy(captured.passes[2], passWidth(2), passHeight(2));
        drawAt(last - 2.0 * rowRate);
        drawAt(last);
        const double plain = edgeEnergy(captured.passes[2], passWidth(2), passHeight(2));
        const int tunnel = 4; // in the program table's order
        EXPECT_LT(trailed, (scene == tunnel ? 1.15 : 1.06) * plain) << "edges " << plain << " without the trail";
    }
}
