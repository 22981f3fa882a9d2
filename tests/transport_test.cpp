// The editor's transport without music: its own clock, paused, slowed,
// looped, stopped at the end; the cuts it finds and the loops it sets.
#include "transport.h"

#include <gtest/gtest.h>

#include <chrono>

namespace {

// As if `seconds` had passed since the transport last looked.
void pass(Transport& time, double seconds)
{
    time.last = std::chrono::steady_clock::now() -
                std::chrono::duration_cast<std::chrono::steady_clock::duration>(std::chrono::duration<double>(seconds));
}

} // namespace

TEST(Transport, WithoutMusicItsOwnClockPlaysSlowsLoopsAndStopsAtTheEnd)
{
    const TransportTimeline demo{8, 128}; // 8 rows a second
    Transport time;
    EXPECT_EQ(moveTransport(time, demo, 16), "");
    pass(time, 1);
    EXPECT_NEAR(advanceTransport(time, demo), 24, 0.1);
    setTimeMode(time, false, 1); // half speed
    pass(time, 1);
    EXPECT_NEAR(advanceTransport(time, demo), 28, 0.1);
    setTimeMode(time, true, 1);
    pass(time, 1);
    EXPECT_NEAR(advanceTransport(time, demo), 28, 0.1) << "paused, the row holds";
    EXPECT_FALSE(playingAtFullSpeed(time));

    setTimeMode(time, false, 0);
    EXPECT_EQ(setTransportLoop(time, demo, 40.4, 31.6), "loop 32 to 40") << "whole rows, either order";
    moveTransport(time, demo, 39);
    pass(time, 0.5);
    EXPECT_NEAR(advanceTransport(time, demo), 32, 0.1) << "past its end the loop starts again";
    EXPECT_EQ(moveTransport(time, demo, 100), "loop off") << "a move out of the loop lets it go";
    EXPECT_FALSE(time.loop);
    EXPECT_EQ(setTransportLoop(time, demo, 50, 50.3), "") << "a span under a row is no loop";
    EXPECT_FALSE(time.loop);

    pass(time, 10);
    EXPECT_DOUBLE_EQ(advanceTransport(time, demo), 128);
    EXPECT_TRUE(time.paused) << "at the end without a loop, it pauses";
    moveTransport(time, demo, 500);
    EXPECT_DOUBLE_EQ(transportRow(time), 128) << "kept inside the demo";
}

TEST(Transport, CutsFollowTheShownSceneAndTheSectionLoopSpansOne)
{
    const TransportTimeline demo{8, 128};
    Transport time;
    findCuts(time, demo, [](double row) { return row < 40 ? 0 : row < 90 ? 1 : 0; });
    EXPECT_EQ(time.cuts, (std::vector<double>{0, 40, 90}));
    EXPECT_DOUBLE_EQ(cutBefore(time, 40), 0);
    EXPECT_DOUBLE_EQ(cutBefore(time, 60), 40);
    EXPECT_DOUBLE_EQ(cutAfter(time, demo, 40), 90);
    EXPECT_DOUBLE_EQ(cutAfter(time, demo, 100), 128) << "the end after the last cut";
    EXPECT_EQ(toggleSectionLoop(time, demo, 60), "loop 40 to 90");
    EXPECT_TRUE(time.loop);
    EXPECT_EQ(toggleSectionLoop(time, demo, 60), "loop off");
    EXPECT_FALSE(time.loop);
}
