// End-to-end playback control: the real program in a real X server, driven
// by real key presses, its status lines read back.
#include "support/demo_process.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>

namespace {

constexpr double rowsPerSeek = 110000.0 / 176400.0 * 488.0 / 60.0; // about 5.07

class Playback : public testing::Test {
protected:
    void start(bool withTune = true, std::vector<std::pair<std::string, std::string>> environment = {})
    {
        if (withTune) {
            std::filesystem::copy_file(silentTune(), folder.file("tune.ogg"),
                                       std::filesystem::copy_options::overwrite_existing);
        } else {
            folder.remove("tune.ogg");
        }
        DemoOptions options;
        options.lineBuffered = true;
        options.environment = std::move(environment);
        demo = startDemo(folder, server, options);
        ASSERT_NE(findWindow(server.display(), "Be patient", 30.0).window, 0u) << demo->err();
    }

    void TearDown() override
    {
        if (demo && demo->running()) {
            pressKeys(server.display(), {"Escape"});
            demo->waitExit(60.0);
        }
        if (demo) {
            EXPECT_EQ(demo->err(), "") << "standard error stays empty";
            EXPECT_TRUE(statusLines(demo->out()).clean);
        }
    }

    // Waits until a status line shows at least `row`; returns the last row.
    int32_t waitForRow(int32_t row, double seconds = 20.0)
    {
        int32_t last = INT32_MIN;
        demo->waitFor([&](const std::string& out, const std::string&) {
            const StatusLines lines = statusLines(out);
            if (!lines.rows.empty()) last = lines.rows.back();
            return last >= row;
        }, seconds);
        return last;
    }

    // The rows of the frames drawn during the next `seconds`.
    std::vector<int32_t> rowsDuring(double seconds)
    {
        const size_t mark = demo->out().size();
        demo->collect(seconds);
        return statusLinesSince(demo->out(), mark).rows;
    }

    int32_t settledRow(double seconds = 0.4)
    {
        const std::vector<int32_t> rows = rowsDuring(seconds);
        return rows.empty() ? INT32_MIN : rows.back();
    }

    XServer server{320, 180};
    RunFolder folder;
    std::unique_ptr<ChildProcess> demo;
};

} // namespace

TEST_F(Playback, SpaceFreezesTheRowAndASecondSpaceResumesFromIt)
{
    start();
    ASSERT_GE(waitForRow(4), 4);
    pressKeys(server.display(), {"space"});
    const int32_t frozen = settledRow();
    const std::vector<int32_t> held = rowsDuring(0.8);
    ASSERT_FALSE(held.empty()) << "frames go on while paused";
    EXPECT_EQ(std::set<int32_t>(held.begin(), held.end()), std::set<int32_t>{frozen});

    pressKeys(server.display(), {"space"});
    const std::vector<int32_t> resumed = rowsDuring(1.0);
    ASSERT_FALSE(resumed.empty());
    EXPECT_GE(resumed.front(), frozen);
    EXPECT_LE(resumed.front(), frozen + 2) << "resumes where it paused, not from the start";
    EXPECT_GE(resumed.back(), frozen + 5) << "and plays on";
}

TEST_F(Playback, SeeksMoveAboutFiveRowsAndKeepAPauseHeld)
{
    start();
    ASSERT_GE(waitForRow(8), 8);
    pressKeys(server.display(), {"space"});
    int32_t row = settledRow();

    struct Seek {
        const char* key;
        int direction;
    };
    size_t forwards = 0, backwards = 0;
    for (const Seek& seek : {Seek{"d", 1}, Seek{"D", 1}, Seek{"a", -1}, Seek{"A", -1}}) {
        SCOPED_TRACE(seek.key);
        pressKeys(server.display(), {seek.key});
        const int32_t moved = settledRow();
        const int32_t step = (moved - row) * seek.direction;
        EXPECT_GE(step, static_cast<int32_t>(rowsPerSeek)) << row << " -> " << moved;
        EXPECT_LE(step, static_cast<int32_t>(rowsPerSeek) + 1) << row << " -> " << moved;
        const std::vector<int32_t> held = rowsDuring(0.5);
        EXPECT_EQ(std::set<int32_t>(held.begin(), held.end()), std::set<int32_t>{moved}) << "still paused";
        row = moved;
        (seek.direction > 0 ? forwards : backwards) += 1;
        const StatusLines lines = statusLines(demo->out());
        EXPECT_EQ(lines.forwards, forwards);
        EXPECT_EQ(lines.backwards, backwards);
    }
}

TEST_F(Playback, SeekingWhilePlayingJumpsAheadAndBack)
{
    start(true, {{"SDL_AUDIODRIVER", "dummy"}});
    ASSERT_GE(waitForRow(4), 4);
    const int32_t before = settledRow(0.1);
    pressKeys(server.display(), {"d", "d"});
    const int32_t after = settledRow(0.1);
    EXPECT_GE(after - before, 2 * static_cast<int32_t>(rowsPerSeek));
    EXPECT_LE(after - before, 2 * static_cast<int32_t>(rowsPerSeek) + 8);
    pressKeys(server.display(), {"a", "a", "a"});
    const int32_t back = settledRow(0.1);
    EXPECT_LT(back, after - 2 * static_cast<int32_t>(rowsPerSeek));
}

TEST_F(Playback, OtherKeysChangeNothing)
{
    start();
    ASSERT_GE(waitForRow(2), 2);
    const size_t mark = demo->out().size();
    pressKeys(server.display(), {"q", "Q", "x", "s", "w", "Return", "1"});
    const int32_t row = settledRow(0.6);
    const StatusLines since = statusLinesSince(demo->out(), mark);
    EXPECT_EQ(since.forwards + since.backwards, 0u);
    EXPECT_TRUE(since.clean);
    EXPECT_TRUE(demo->running());
    EXPECT_GE(waitForRow(row + 3), row + 3) << "the music plays on";
}

TEST_F(Playback, EscapeEndsWithStatusZero)
{
    start();
    ASSERT_GE(waitForRow(1), 1);
    pressKeys(server.display(), {"Escape"});
    const auto status = demo->waitExit(60.0);
    ASSERT_TRUE(status.has_value());
    EXPECT_EQ(*status, 0);
}

TEST_F(Playback, RunEndsByItselfOnceTheRowPassesTheLastOne)
{
    start();
    ASSERT_GE(waitForRow(0), 0);
    // 228 seeks of about 0.62 s bring the music to about 142 s; the ones past
    // the end of the stream are refused and change nothing.
    std::vector<std::string> keys(228, "d");
    pressKeys(server.display(), keys, 2);
    const auto status = demo->waitExit(60.0);
    ASSERT_TRUE(status.has_value()) << "still running at row " << statusLines(demo->out()).rows.back();
    EXPECT_EQ(*status, 0);
    const StatusLines lines = statusLines(demo->out());
    ASSERT_FALSE(lines.rows.empty());
    // The last frame is the first past row 1147.5: every frame before it was
    // at most there.
    EXPECT_GE(lines.rows.back(), 1147);
    for (size_t i = 0; i + 1 < lines.rows.size(); ++i) ASSERT_LE(lines.rows[i], 1147);
    EXPECT_GT(lines.forwards, 200u);
}

TEST_F(Playback, MissingTuneStillDrawsFramesWithoutAMessage)
{
    start(false);
    ASSERT_TRUE(demo->waitFor([](const std::string& out, const std::string&) {
        return statusLines(out).rows.size() >= 10;
    }, 20.0));
    EXPECT_TRUE(demo->running());
    pressKeys(server.display(), {"Escape"});
    const auto status = demo->waitExit(60.0);
    ASSERT_TRUE(status.has_value());
    EXPECT_EQ(*status, 0);
}
