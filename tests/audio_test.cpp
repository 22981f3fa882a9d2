// The audio layer: the playback clock with an injected time, and the calls
// the demo makes, on short Ogg files made here.
#include "platform/audio/audio.h"
#include "platform/audio/decode.h"
#include "platform/audio/playback_clock.h"

#include "vorbis_writer.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <thread>

namespace {

constexpr int64_t ms = 1000000; // nanoseconds
constexpr uint32_t rate = 44100;

void sleepMs(int count)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(count));
}

// Each test opens the output afresh; `driver` picks SDL's output driver
// ("dummy" plays into nothing in real time, an unknown name opens none, so
// the layer falls back to its silent clock).
class AudioLayer : public testing::Test {
protected:
    void open(const char* driver)
    {
        setenv("SDL_AUDIODRIVER", driver, 1);
        ASSERT_TRUE(BASS_Start());
        ASSERT_TRUE(BASS_Init(-1, 44100, 0, nullptr, nullptr));
    }
    void TearDown() override
    {
        BASS_Free();
        unsetenv("SDL_AUDIODRIVER");
    }
    uint32_t stream(const std::string& name, uint32_t fileRate, uint32_t channels, double seconds)
    {
        const std::string path = dir.file(name);
        EXPECT_TRUE(writeSilentOgg(path, fileRate, channels, seconds));
        return BASS_StreamCreateFile(false, path.c_str(), 0, 0, 0);
    }
    TempDir dir;
};

} // namespace

TEST(PlaybackClockSilent, RunsOnTheClockAndHoldsWhilePaused)
{
    PlaybackClock clock(rate, 10 * rate, false);
    EXPECT_EQ(clock.position(0), 0u);
    clock.play(100 * ms);
    EXPECT_EQ(clock.position(100 * ms), 0u);
    EXPECT_EQ(clock.position(1100 * ms), rate);
    clock.pause(1600 * ms);
    EXPECT_EQ(clock.position(1600 * ms), rate * 3 / 2);
    EXPECT_EQ(clock.position(9000 * ms), rate * 3 / 2);
    clock.play(9000 * ms);
    EXPECT_EQ(clock.position(9500 * ms), rate * 2);
}

TEST(PlaybackClockSilent, SeeksWithinTheStreamOnly)
{
    PlaybackClock clock(rate, 10 * rate, false);
    clock.play(0);
    EXPECT_TRUE(clock.seek(500 * ms, 4 * rate));
    EXPECT_EQ(clock.position(500 * ms), 4 * rate);
    EXPECT_EQ(clock.position(1500 * ms), 5 * rate);
    EXPECT_FALSE(clock.seek(1500 * ms, 10 * rate + 1));
    EXPECT_EQ(clock.position(1500 * ms), 5 * rate);
    EXPECT_TRUE(clock.seek(1500 * ms, 10 * rate));
    EXPECT_FALSE(clock.playing());
}

TEST(PlaybackClockSilent, StopsAtTheEndAndStaysThere)
{
    PlaybackClock clock(rate, rate, false);
    clock.play(0);
    EXPECT_EQ(clock.position(5000 * ms), rate);
    EXPECT_FALSE(clock.playing());
    clock.play(6000 * ms);
    EXPECT_EQ(clock.position(9000 * ms), rate);
    EXPECT_TRUE(clock.seek(9000 * ms, 0));
    clock.play(9000 * ms);
    EXPECT_EQ(clock.position(9500 * ms), rate / 2);
}

TEST(PlaybackClockOutput, MovesSmoothlyBetweenBuffers)
{
    // An output taking 1024-frame buffers at their real pace, with a queue of
    // one buffer; the demo reads the position every 16.7 ms.
    const uint64_t buffer = 1024;
    const int64_t period = static_cast<int64_t>(buffer * 1e9 / rate);
    PlaybackClock clock(rate, 60 * rate, true);
    clock.play(0);
    int64_t nextCallback = 0;
    uint64_t previous = 0;
    double stepMin = 1e9, stepMax = 0;
    for (int read = 1; read <= 600; ++read) {
        const int64_t now = static_cast<int64_t>(read * 16.7 * ms);
        while (nextCallback <= now) {
            clock.handed(nextCallback, buffer, buffer);
            nextCallback += period;
        }
        const uint64_t position = clock.position(now);
        ASSERT_GE(position, previous) << "never backwards";
        ASSERT_LE(position, clock.feedCursor()) << "never ahead of the audio handed over";
        if (read > 10) {
            const double step = (position - previous) * 1000.0 / rate;
            stepMin = std::min(stepMin, step);
            stepMax = std::max(stepMax, step);
        }
        previous = position;
    }
    EXPECT_NEAR(stepMin, 16.7, 0.1);
    EXPECT_NEAR(stepMax, 16.7, 0.1);
    // About one buffer behind what was handed: what is being heard.
    EXPECT_NEAR(static_cast<double>(clock.feedCursor() - previous), 1.5 * buffer, 1.0 * buffer);
}

TEST(PlaybackClockOutput, LateCallbacksHoldItInsteadOfRunningAhead)
{
    PlaybackClock clock(rate, 60 * rate, true);
    clock.play(0);
    EXPECT_EQ(clock.position(50 * ms), 0u) << "nothing handed, nothing heard";
    clock.handed(0, 1024, 1024);
    EXPECT_EQ(clock.position(10 * ms), 441u);
    // The output stalls: the position stops at the end of what it has.
    EXPECT_EQ(clock.position(500 * ms), 1024u);
    clock.handed(500 * ms, 1024, 1024);
    EXPECT_EQ(clock.position(500 * ms), 1024u);
    EXPECT_EQ(clock.position(510 * ms), 1465u);
}

TEST(PlaybackClockOutput, PauseDropsUnheardAudioAndResumesFromTheHeardFrame)
{
    PlaybackClock clock(rate, 60 * rate, true);
    clock.play(0);
    clock.handed(0, 4096, 1024);
    const uint64_t heard = clock.position(20 * ms);
    clock.pause(20 * ms);
    EXPECT_EQ(clock.feedCursor(), heard);
    EXPECT_EQ(clock.position(900 * ms), heard);
    clock.handed(900 * ms, 1024, 1024); // a paused stream hands nothing
    EXPECT_EQ(clock.feedCursor(), heard);
    clock.play(1000 * ms);
    clock.handed(1000 * ms, 1024, 1024);
    EXPECT_EQ(clock.position(1010 * ms), heard + 441);
}

TEST(AudioDecode, LengthRateChannelsAndContent)
{
    TempDir dir;
    const std::string path = dir.file("tone.ogg");
    ASSERT_TRUE(writeOggVorbis(path, 22050, 1, 33075, [](uint64_t i, uint32_t) {
        return 0.5f * static_cast<float>(std::sin(2.0 * M_PI * 440.0 * static_cast<double>(i) / 22050.0));
    }));
    DecodedAudio audio;
    ASSERT_TRUE(decodeOggVorbis(path, audio));
    EXPECT_EQ(audio.rate, 22050u);
    EXPECT_EQ(audio.channels, 1u);
    EXPECT_EQ(audio.samples.size(), 33075u);
    double energy = 0;
    for (int16_t s : audio.samples) energy += static_cast<double>(s) * s;
    EXPECT_NEAR(std::sqrt(energy / audio.samples.size()) / 32768.0, 0.5 / std::sqrt(2.0), 0.03);

    dir.write("not.ogg", "this is not an Ogg file at all");
    EXPECT_FALSE(decodeOggVorbis(dir.file("not.ogg"), audio));
    EXPECT_FALSE(decodeOggVorbis(dir.file("missing.ogg"), audio));
}

TEST_F(AudioLayer, HandleZeroAndDeadHandlesFailEveryCall)
{
    open("none");
    for (uint32_t handle : {0u, 12345u}) {
        EXPECT_EQ(BASS_ChannelGetPosition(handle, BASS_POS_BYTE), UINT64_MAX);
        EXPECT_EQ(BASS_ChannelBytes2Seconds(handle, 1000), -1.0);
        EXPECT_FALSE(BASS_ChannelPlay(handle, false));
        EXPECT_FALSE(BASS_ChannelPause(handle));
        EXPECT_FALSE(BASS_ChannelSetPosition(handle, 0, BASS_POS_BYTE));
        EXPECT_FALSE(BASS_StreamFree(handle));
    }
    EXPECT_EQ(BASS_StreamCreateFile(false, dir.file("missing.ogg").c_str(), 0, 0, 0), 0u);
    const uint32_t music = stream("a.ogg", rate, 2, 0.5);
    ASSERT_NE(music, 0u);
    EXPECT_TRUE(BASS_StreamFree(music));
    EXPECT_EQ(BASS_ChannelGetPosition(music, BASS_POS_BYTE), UINT64_MAX);
}

TEST_F(AudioLayer, BytePositionsFollowTheStreamsFormat)
{
    open("none");
    const uint32_t stereo = stream("stereo.ogg", 44100, 2, 1.0);
    const uint32_t mono = stream("mono.ogg", 22050, 1, 2.0);
    ASSERT_NE(stereo, 0u);
    ASSERT_NE(mono, 0u);
    EXPECT_EQ(BASS_ChannelBytes2Seconds(stereo, 176400), 1.0);
    EXPECT_DOUBLE_EQ(BASS_ChannelBytes2Seconds(stereo, 110000), 110000.0 / 176400.0);
    EXPECT_EQ(BASS_ChannelBytes2Seconds(mono, 44100), 1.0);

    // The length is the last position that can be set.
    EXPECT_TRUE(BASS_ChannelSetPosition(stereo, 176400, BASS_POS_BYTE));
    EXPECT_EQ(BASS_ChannelGetPosition(stereo, BASS_POS_BYTE), 176400u);
    EXPECT_FALSE(BASS_ChannelSetPosition(stereo, 176404, BASS_POS_BYTE));
    EXPECT_TRUE(BASS_ChannelSetPosition(mono, 88200, BASS_POS_BYTE));
    EXPECT_FALSE(BASS_ChannelSetPosition(mono, 88202, BASS_POS_BYTE));

    // Rounded down to a whole frame.
    EXPECT_TRUE(BASS_ChannelSetPosition(stereo, 1003, BASS_POS_BYTE));
    EXPECT_EQ(BASS_ChannelGetPosition(stereo, BASS_POS_BYTE), 1000u);

    // A seek back from near the start wraps around and is refused.
    EXPECT_FALSE(BASS_ChannelSetPosition(stereo, 1000 - 110000, BASS_POS_BYTE));
    EXPECT_EQ(BASS_ChannelGetPosition(stereo, BASS_POS_BYTE), 1000u);
    EXPECT_FALSE(BASS_ChannelSetPosition(stereo, 0, 1));
}

TEST_F(AudioLayer, PauseHoldsAndPlayResumesInRealTime)
{
    open("none");
    const uint32_t music = stream("m.ogg", rate, 2, 5.0);
    ASSERT_TRUE(BASS_ChannelPlay(music, false));
    sleepMs(100);
    ASSERT_TRUE(BASS_ChannelPause(music));
    const uint64_t paused = BASS_ChannelGetPosition(music, BASS_POS_BYTE);
    EXPECT_GT(paused, 176400u * 80 / 1000);
    EXPECT_LT(paused, 176400u * 400 / 1000);
    sleepMs(60);
    EXPECT_EQ(BASS_ChannelGetPosition(music, BASS_POS_BYTE), paused);
    ASSERT_TRUE(BASS_ChannelPlay(music, false));
    sleepMs(50);
    const uint64_t resumed = BASS_ChannelGetPosition(music, BASS_POS_BYTE);
    EXPECT_GT(resumed, paused + 176400u * 40 / 1000);
    EXPECT_LT(resumed, paused + 176400u * 300 / 1000);
    // Restart plays from the beginning.
    ASSERT_TRUE(BASS_ChannelPlay(music, true));
    EXPECT_LT(BASS_ChannelGetPosition(music, BASS_POS_BYTE), 176400u * 100 / 1000);
}

TEST_F(AudioLayer, EndOfStreamStopsAtTheLength)
{
    open("none");
    const uint32_t music = stream("short.ogg", rate, 2, 0.1);
    ASSERT_TRUE(BASS_ChannelPlay(music, false));
    sleepMs(200);
    EXPECT_EQ(BASS_ChannelGetPosition(music, BASS_POS_BYTE), 17640u);
    BASS_ChannelPlay(music, false);
    sleepMs(20);
    EXPECT_EQ(BASS_ChannelGetPosition(music, BASS_POS_BYTE), 17640u);
}

TEST_F(AudioLayer, RealOutputCallbacksGiveASmoothPosition)
{
    open("dummy");
    const uint32_t music = stream("m.ogg", rate, 2, 5.0);
    ASSERT_TRUE(BASS_ChannelPlay(music, false));
    const auto start = std::chrono::steady_clock::now();
    uint64_t previous = 0;
    uint64_t largestStep = 0;
    for (int read = 1; read <= 40; ++read) {
        std::this_thread::sleep_until(start + std::chrono::microseconds(16700 * read));
        const uint64_t position = BASS_ChannelGetPosition(music, BASS_POS_BYTE);
        ASSERT_GE(position, previous);
        if (read > 5) largestStep = std::max(largestStep, position - previous);
        previous = position;
    }
    EXPECT_GT(previous, 176400u * 400 / 1000) << "it plays";
    // A 1024-frame buffer is 4096 bytes; steps stay well below two of them
    // even when a read lands next to a callback.
    EXPECT_LT(largestStep, 8192u);
}
