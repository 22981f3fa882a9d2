// orvanta-live's ways of keeping up on a machine without a GPU: the frame
// size it chooses by itself at a large window, and a saved score heard from
// its first bars before the whole tune is rendered. What they do is checked
// here; how fast, on this machine, is `make bench`'s (live_bench): a test
// that asserted a frame rate or a delay would fail on a busy machine.
#include "platform/audio/decode.h"

#include "support/live_player.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

std::string readAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::vector<int16_t> samplesOf(const std::string& bytes)
{
    std::vector<int16_t> samples(bytes.size() / 2);
    for (size_t i = 0; i < samples.size(); ++i) {
        samples[i] = static_cast<int16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                          static_cast<unsigned char>(bytes[2 * i + 1]) << 8);
    }
    return samples;
}

// A lead that plays a note on every beat, a saw; and the same with a
// square wave: long enough that the whole tune takes several times as long
// to render as the bars under way (instrumented, the synthesizer is several
// times slower, and fewer bars do).
#if defined(__SANITIZE_ADDRESS__)
constexpr int leadBars = 8;
#else
constexpr int leadBars = 16;
#endif

std::string leadScore(const char* wave)
{
    return "song\n  tempo 122\n  rows_per_beat 4\n  rows " + std::to_string(16 * leadBars) +
           "\n  tail 1\nend\n"
           "instrument lead\n  osc " +
           wave +
           " level 0.5\n  amp attack 0.002 decay 0.1 sustain 0.6 release 0.05\n  gain 0.5\nend\n"
           "pattern p 16\n  0: C-4\n  4: E-4\n  8: G-4\n  12: E-4\nend\n"
           "order c lead\n  p*" + std::to_string(leadBars) + "\nend\n";
}

} // namespace

// At its defaults, in a window of 1280x720 on a CPU renderer, the player
// chooses the frame's size itself, keeps drawing with the track panel open,
// and says in the overlay which size it chose: the window's shape, to the
// pixel.
TEST(LiveSpeed, AtItsDefaultsTheFrameFollowsTheWindowPanelOpenOrNot)
{
    TempDir data;
    LiveScreen screen;
    screen.width = 1280;
    screen.height = 720;
    LivePlayer live(data, {}, ChildStdin::DevNull, {}, screen);
    ASSERT_TRUE(live.started());
    const size_t opened = live.press({"t"});
    ASSERT_TRUE(live.waitFrames(opened, 5)) << "drawing with the panel open";
    live.press({"t"});

    const size_t shown = live.press({"o"});
    const size_t line = live.waitFor("in a window of 1280x720 (adaptive)", shown);
    ASSERT_NE(line, std::string::npos) << live.process().out().substr(shown);
    const std::string& out = live.process().out();
    const size_t begin = out.rfind("frame ", line);
    int width = 0, height = 0;
    ASSERT_EQ(std::sscanf(out.c_str() + begin, "frame %dx%d", &width, &height), 2) << out.substr(begin, 80);
    EXPECT_LE(width, 1280);
    EXPECT_NEAR(width / 1280.0, height / 720.0, 0.005) << "the window's shape, to the pixel";
    // llvmpipe draws late: its timer queries would give each pass another's time.
    const size_t gpu = live.waitFor("gpu ms", shown);
    ASSERT_NE(gpu, std::string::npos) << out.substr(shown);
    const std::string note = "  not timed: llvmpipe is a software renderer";
    EXPECT_EQ(out.compare(gpu, note.size(), note), 0) << out.substr(gpu, 100);
}

// A saved score is heard where the music plays from its first bars, before
// the whole tune is rendered: the audio the player hands to the output
// (SDL's disk driver writes it to a file, in real time) leaves the old tune
// before the player says the whole tune is done. The whole tune that follows
// is tunegen's own, byte for byte.
TEST(LiveSpeed, AScoreSaveIsHeardBeforeTheWholeTuneAndTheWholeTuneFollows)
{
    TempDir data;
    writeTestScene(data, blankPass, solidColour("0.2, 0.2, 0.2"));
    data.write("s.score", leadScore("saw"));
    // The tune before the save, and the one the save should come to, as
    // tunegen renders them itself: side by side, before the player starts.
    data.write("clean.score", leadScore("square"));
    {
        ChildProcess tunegen({{binary("tunegen"), data.file("s.score"), "-o", data.file("tune.ogg")}, "", {}});
        ChildProcess clean({{binary("tunegen"), data.file("clean.score"), "-o", data.file("clean.ogg")}, "", {}});
        ASSERT_EQ(tunegen.waitExit(240.0), 0) << tunegen.err();
        ASSERT_EQ(clean.waitExit(240.0), 0) << clean.err();
    }
    DecodedAudio old;
    ASSERT_TRUE(decodeOggVorbis(data.file("tune.ogg"), old));
    const std::string output = data.file("heard.raw");
    LiveScreen screen;
    screen.environment = {{"SDL_AUDIODRIVER", "disk"}, {"SDL_DISKAUDIOFILE", output}};
    LivePlayer live(data, {"--tracks", data.file("t.tracks"), "--score", data.file("s.score")}, ChildStdin::DevNull,
                    {}, screen);
    ASSERT_TRUE(live.started());

    // Let a second play, then save; follow how far the output has come.
    std::vector<std::pair<double, size_t>> written; // seconds after the save, bytes
    const Clock::time_point begun = Clock::now();
    live.process().waitFor([&](const std::string&, const std::string&) { return secondsSince(begun) > 1.0; }, 5.0);
    const size_t mark = live.process().out().size();
    save(data, "s.score", leadScore("square"));
    const Clock::time_point saved = Clock::now();
    double renderedAfter = -1.0;
    while (renderedAfter < 0.0 && secondsSince(saved) < 240.0) {
        std::error_code ignored;
        written.emplace_back(secondsSince(saved), std::filesystem::file_size(output, ignored));
        live.process().waitFor([](const std::string&, const std::string&) { return false; }, 0.02);
        if (live.process().out().find("s.score: rendered", mark) != std::string::npos) renderedAfter = secondsSince(saved);
    }
    ASSERT_GE(renderedAfter, 0.0) << live.process().out().substr(mark);

    // The output is the old tune from where it started playing until the
    // change; find where it started, then where it leaves the old tune.
    const std::vector<int16_t> heard = samplesOf(readAll(output));
    const size_t probe = 2 * 22050; // half a second into the tune
    ASSERT_GT(old.samples.size(), probe + 2048);
    size_t offset = std::string::npos;
    for (size_t at = 0; at + probe + 2048 < heard.size() && offset == std::string::npos; at += 2) {
        if (std::equal(old.samples.begin() + static_cast<long>(probe), old.samples.begin() + static_cast<long>(probe) + 2048,
                       heard.begin() + static_cast<long>(at + probe))) {
            offset = at;
        }
    }
    ASSERT_NE(offset, std::string::npos) << "the old tune is not in the output";
    size_t changed = offset + probe;
    while (changed < heard.size() && changed - offset < old.samples.size() && heard[changed] == old.samples[changed - offset]) {
        ++changed;
    }
    ASSERT_LT(changed, heard.size()) << "the output never left the old tune";
    double heardAfter = -1.0;
    for (const auto& [seconds, bytes] : written) {
        if (bytes >= 2 * (changed + 1)) {
            heardAfter = seconds;
            break;
        }
    }
    ASSERT_GE(heardAfter, 0.0);
    EXPECT_LT(heardAfter, renderedAfter) << "heard only with the whole tune";
    std::printf("heard %.2f s after the save, the whole tune %.2f s after it\n", heardAfter, renderedAfter);

    EXPECT_EQ(readAll(data.file("tune.ogg")), readAll(data.file("clean.ogg")));
}
