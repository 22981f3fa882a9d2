// The frame driver in process: real shaders and tracks, a GL debug context,
// frames drawn one by one.
#include "app/startup.h"
#include "demo/clock.h"
#include "demo/timeline.h"
#include "demo/tracks.h"
#include "render/demo_description.h"
#include "render/frame_size.h"
#include "render/programs.h"
#include "render/render_screen.h"
#include "render/render_targets.h"
#include "render/scene_index.h"

#include "support/demo_process.h"
#include "support/frame_harness.h"
#include "support/gl_context.h"

#include <gtest/gtest.h>

#include <functional>

#include <chrono>
#include <cmath>
#include <limits>
#include <thread>

TEST(Frame, StartUpPrintsTheMeshSummariesAfterThePrograms)
{
    FrameHarness harness;
    EXPECT_EQ(harness.start(), expectedStartupTranscript());
    for (int i = 0; i < 5; ++i) {
        ASSERT_NE(demoMesh(i), nullptr);
        EXPECT_EQ(demoMesh(i)->program, demoProgram(i));
    }
    EXPECT_EQ(takeGlErrors(), std::vector<std::string>{});
}

TEST(Frame, FramesAreFreeOfGlErrorsAndNothingGrows)
{
    FrameHarness harness;
    harness.start();
    takeGlErrors(); // start-up attaches shader 0 for failed shaders; none here, but not the frame's concern
    const std::string first = harness.frame();
    EXPECT_EQ(countOccurrences(first, "\n"), 1u);
    const std::vector<int> before = liveGlObjects();
    for (int i = 0; i < 6; ++i) harness.frame();
    EXPECT_EQ(liveGlObjects(), before) << "textures, buffers, framebuffers, ... per kind";
    EXPECT_EQ(takeGlErrors(), std::vector<std::string>{});
}

TEST(Frame, PassTargetsTakeTheWindowsSizeAndPassOneIsScaled)
{
    FrameHarness harness;
    harness.start();
    ASSERT_EQ(frameSize().windowWidth, 1280.0f);
    ASSERT_EQ(frameSize().windowHeight, 720.0f);
    EXPECT_EQ(passWidth(1), 870);
    EXPECT_EQ(passHeight(1), 489);
    for (int pass = 1; pass <= 4; ++pass) {
        SCOPED_TRACE(pass);
        auto image = beginOffscreenPass(pass);
        glBindTexture(GL_TEXTURE_2D, image->id);
        EXPECT_EQ(levelParameter(GL_TEXTURE_INTERNAL_FORMAT), GL_RGBA16F);
        EXPECT_EQ(levelParameter(GL_TEXTURE_WIDTH), pass == 1 ? 870 : 1280);
        EXPECT_EQ(levelParameter(GL_TEXTURE_HEIGHT), pass == 1 ? 489 : 720);
        GLint viewport[4] = {};
        glGetIntegerv(GL_VIEWPORT, viewport);
        EXPECT_EQ(viewport[2], 1280);
        EXPECT_EQ(viewport[3], 720);
        glBindRenderbuffer(GL_RENDERBUFFER, passDepthBuffer(pass));
        EXPECT_EQ(renderbufferParameter(GL_RENDERBUFFER_WIDTH), 1280);
        EXPECT_EQ(renderbufferParameter(GL_RENDERBUFFER_HEIGHT), 720);
        EXPECT_EQ(renderbufferParameter(GL_RENDERBUFFER_INTERNAL_FORMAT), GL_DEPTH_COMPONENT32);
        EXPECT_EQ(glCheckFramebufferStatus(GL_FRAMEBUFFER), static_cast<GLenum>(GL_FRAMEBUFFER_COMPLETE));
        EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    }
    EXPECT_TRUE(glIsEnabled(GL_BLEND));
    harness.frame();
    ASSERT_NE(historyImage(), nullptr);
    glBindTexture(GL_TEXTURE_2D, historyImage()->id);
    EXPECT_EQ(levelParameter(GL_TEXTURE_WIDTH), 1280);
    EXPECT_EQ(levelParameter(GL_TEXTURE_HEIGHT), 720);
    EXPECT_EQ(takeGlErrors(), std::vector<std::string>{});
}

TEST(Frame, SceneValuesPickTheirScenesAndTheLineShowsTheIndex)
{
    FrameHarness harness;
    harness.start();
    struct Case {
        float value;
        const char* printed;
        int drawn;
    };
    for (const Case& c : {Case{5.99f, "; scene:5\n", 5}, Case{2.7f, "; scene:2\n", 2}, Case{6.0f, "; scene:6\n", 0},
                          Case{-0.5f, "; scene:0\n", 0}, Case{-1.0f, "; scene:ffffffff\n", 0},
                          Case{std::numeric_limits<float>::quiet_NaN(), "; scene:0\n", 0},
                          Case{3e9f, "; scene:0\n", 0}, Case{-3e9f, "; scene:0\n", 0}}) {
        SCOPED_TRACE(c.value);
        harness.setTrack("scene", {{0, c.value, 0}});
        const std::string line = harness.frame();
        EXPECT_EQ(line.substr(line.find(';')), c.printed);
        EXPECT_EQ(line.compare(0, 2, "0x"), 0);
        for (int pass = 1; pass <= 4; ++pass) {
            EXPECT_EQ(demoMesh(pass)->program, demoProgram(4 * c.drawn + pass)) << "pass " << pass;
        }
    }
    EXPECT_EQ(takeGlErrors(), std::vector<std::string>{});
}

TEST(Frame, HeldMusicDrawsTheRowAskedForUntilItResumes)
{
    FrameHarness harness;
    harness.start();
    const std::string held = harness.frameAt(384.0, 3);
    EXPECT_EQ(held, "0x180; scene:" + std::to_string(truncateToInt(sampleTrack(DemoTrack::Scene, 384.0))) + "\n");
    // Held: plain frames stay on the row, whatever time passes.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(harness.frame(), held);

    resumeMusic();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const StatusLines after = statusLines(harness.frame());
    ASSERT_EQ(after.rows.size(), 1u);
    EXPECT_GT(after.rows[0], 384) << "the music plays on from the held row";
    EXPECT_LT(after.rows[0], 400) << "and not from anywhere else";

    harness.frameAt(16.0);
    EXPECT_EQ(statusLines(harness.frame()).rows, std::vector<int32_t>{16}) << "a hold after a resume holds again";

    // Held past the last row, the run goes on: the tool holding it decides.
    harness.frameAt(endRow + 1.0, 2);
    EXPECT_FALSE(demoEnded());
    EXPECT_TRUE(tracksOpen());
    resumeMusic();
    harness.frame();
    EXPECT_TRUE(demoEnded()) << "playing past the last row ends the run";
    EXPECT_FALSE(tracksOpen());
    EXPECT_EQ(takeGlErrors(), std::vector<std::string>{});
}

TEST(Frame, StartUpRefusesADataFolderItCannotEnterBeforeMakingAnything)
{
    ensureGlContext();
    DemoStartup startup;
    startup.window = WindowMode::Current;
    startup.dataFolder = "/nonexistent/orvanta-data";
    std::string error;
    int argc = 0;
    EXPECT_FALSE(startDemo(argc, nullptr, startup, error));
    EXPECT_NE(error.find("/nonexistent/orvanta-data"), std::string::npos) << error;
    EXPECT_EQ(demoProgram(0), nullptr);
    EXPECT_EQ(demoMesh(0), nullptr);
    EXPECT_EQ(frameSize().windowWidth, 0.0f);
}

TEST(Frame, ResizingTakesEveryTargetToTheNewSizeAndNothingGrows)
{
    FrameHarness harness;
    harness.start();
    harness.frameAt(100.0, 2);
    takeGlErrors();
    const std::vector<int> before = liveGlObjects();
    for (const auto& [width, height] : {std::pair{320, 180}, std::pair{200, 300}, std::pair{1, 1}, std::pair{1280, 720}}) {
        SCOPED_TRACE(width);
        resizeFrame(width, height);
        harness.frameAt(100.0, 2);
        EXPECT_EQ(liveGlObjects(), before) << "textures, buffers, framebuffers, ... per kind";
        glBindTexture(GL_TEXTURE_2D, historyImage()->id);
        EXPECT_EQ(levelParameter(GL_TEXTURE_WIDTH), width);
        EXPECT_EQ(levelParameter(GL_TEXTURE_HEIGHT), height);
        glBindRenderbuffer(GL_RENDERBUFFER, passDepthBuffer(1));
        EXPECT_EQ(renderbufferParameter(GL_RENDERBUFFER_WIDTH), width);
        EXPECT_EQ(passWidth(1), std::max(1, static_cast<int>(width * 0.68f))) << "never less than a pixel";
    }
    EXPECT_EQ(takeGlErrors(), std::vector<std::string>{});
}

TEST(Frame, PassTimesArriveAFewFramesAfterTimingStarts)
{
    FrameHarness harness;
    harness.start();
    double ms[passCount + 1] = {};
    setPassTiming(true);
    harness.frameAt(100.0);
    EXPECT_FALSE(passMilliseconds(ms)) << "no figures before the first set is read";
    harness.frameAt(100.0, 6);
    ASSERT_TRUE(passMilliseconds(ms));
    for (int pass = 0; pass <= passCount; ++pass) {
        EXPECT_GT(ms[pass], 0.0) << "pass " << pass;
        EXPECT_LT(ms[pass], 10000.0) << "pass " << pass;
    }
    setPassTiming(false);
    EXPECT_FALSE(passMilliseconds(ms));
    EXPECT_EQ(takeGlErrors(), std::vector<std::string>{});
}

// The executables' description is their compiled tables, in their order;
// a description the frame code cannot draw is refused, saying why.
TEST(DemoDescription, IsTheExecutablesTablesAndRefusesWhatCannotBeDrawn)
{
    const DemoDescription orvanta = orvantaDescription();
    std::string error;
    ASSERT_TRUE(checkDescription(orvanta, error)) << error;
    EXPECT_EQ(orvanta.rowRate, rowRate);
    EXPECT_EQ(orvanta.endRow, endRow);
    EXPECT_EQ(orvanta.finalPass, programFragmentFiles[0]);
    ASSERT_EQ(orvanta.scenes.size(), static_cast<size_t>(sceneCount));
    for (int scene = 0; scene < sceneCount; ++scene) {
        for (int pass = 1; pass <= scenePassCount; ++pass) {
            EXPECT_EQ(orvanta.scenes[static_cast<size_t>(scene)].passes[static_cast<size_t>(pass - 1)],
                      programFragmentFiles[scenePassCount * scene + pass]);
        }
    }
    EXPECT_EQ(orvanta.scenes[3].name, "flyby");
    ASSERT_EQ(orvanta.tracks.size(), static_cast<size_t>(demoTrackCount));
    for (int t = 0; t < demoTrackCount; ++t) EXPECT_EQ(orvanta.tracks[static_cast<size_t>(t)].name, demoTrackNames[t]);
    const TrackDescription& green = orvanta.tracks[static_cast<size_t>(DemoTrack::GainG)];
    EXPECT_EQ(green.uniform, "gain");
    EXPECT_EQ(green.component, 1);
    EXPECT_EQ(green.passes, 1u << 4);
    EXPECT_TRUE(orvanta.tracks[static_cast<size_t>(DemoTrack::CamRotY)].atHead);

    auto refused = [&](const std::function<void(DemoDescription&)>& change, const std::string& why) {
        DemoDescription broken = orvanta;
        change(broken);
        std::string message;
        EXPECT_FALSE(checkDescription(broken, message)) << why;
        EXPECT_NE(message.find(why), std::string::npos) << message;
    };
    refused([](DemoDescription& d) { d.scenes.clear(); }, "one scene at least");
    refused([](DemoDescription& d) { d.scenes[2].passes[1].clear(); }, "'ball_scene' lacks a pass");
    refused([](DemoDescription& d) { d.tracks[5].name = d.tracks[4].name; }, "named twice");
    refused([](DemoDescription& d) { d.tracks[15].component = 0; }, "two tracks feed gain component 0");
    refused([](DemoDescription& d) { d.sceneTrack = "nothing"; }, "scene and time tracks");
    refused([](DemoDescription& d) { d.rowRate = 0; }, "positive");
}
