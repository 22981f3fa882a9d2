// orvanta-live end to end: the real player in an X server of its own, fed
// with shaders and track texts saved as editors save them, steered with real
// key presses, its screen read back and its console followed frame by frame.
#include "options.h"
#include "staging.h"

#include "support/live_player.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <sstream>
#include <string>
#include <vector>
#include <unistd.h>
#include <sys/wait.h>
#include <sys/stat.h>
#include <fstream>

namespace fs = std::filesystem;

TEST(LiveOptionsTest, PositionsSpansAndLimits)
{
    double row = 0, from = 0, to = 0;
    std::string error;
    EXPECT_TRUE(parseLivePosition("24:1:2", row, error));
    EXPECT_EQ(row, 24 * 16 + 4 + 2);
    EXPECT_TRUE(parseLivePosition("1147", row, error));
    EXPECT_FALSE(parseLivePosition("1148", row, error));
    EXPECT_NE(error.find("1147"), std::string::npos) << "names the last row: " << error;
    EXPECT_FALSE(parseLivePosition("2:4:0", row, error));
    EXPECT_FALSE(parseLivePosition("-1", row, error));

    EXPECT_TRUE(parseLiveSpan("384:640", from, to, error));
    EXPECT_EQ(from, 384);
    EXPECT_EQ(to, 640);
    EXPECT_TRUE(parseLiveSpan("24:0:0:40:0:0", from, to, error));
    EXPECT_EQ(from, 384);
    EXPECT_EQ(to, 640);
    EXPECT_FALSE(parseLiveSpan("24:0:0:640", from, to, error)) << "mixed forms are ambiguous";
    EXPECT_FALSE(parseLiveSpan("640:384", from, to, error));
    EXPECT_FALSE(parseLiveSpan("384", from, to, error));

    auto parse = [](std::vector<std::string> args, LiveOptions& options, std::string& message) {
        args.insert(args.begin(), "orvanta-live");
        std::vector<char*> argv;
        for (std::string& a : args) argv.push_back(a.data());
        return parseLiveOptions(static_cast<int>(argv.size()), argv.data(), options, message);
    };
    LiveOptions options;
    ASSERT_TRUE(parse({"--data", "a", "--data", "b", "--loop", "16:32", "--window", "640x360", "--vsync", "off"},
                      options, error))
        << error;
    EXPECT_EQ(options.dataFolders, (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(options.fromRow, 16) << "a loop starts at its beginning";
    EXPECT_EQ(options.width, 640);
    EXPECT_FALSE(options.vsync);
    LiveOptions defaults;
    ASSERT_TRUE(parse({}, defaults, error));
    EXPECT_EQ(defaults.dataFolders, std::vector<std::string>{"."});
    for (const std::vector<std::string>& bad :
         {std::vector<std::string>{"--window", "8x8"}, {"--window", "640x360", "--fullscreen"}, {"--scene-scale", "2"},
          {"--vsync", "maybe"}, {"--from"}, {"--frobnicate"}}) {
        LiveOptions ignored;
        EXPECT_FALSE(parse(bad, ignored, error)) << bad[0];
        EXPECT_FALSE(error.empty());
    }
}

TEST(Live, HelpAndUsageErrors)
{
    const ToolRun help = runTool({binary("orvanta-live"), "--help"}, 30.0);
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("Usage: orvanta-live"), std::string::npos);
    const ToolRun bad = runTool({binary("orvanta-live"), "--window", "0x0"}, 30.0);
    EXPECT_EQ(bad.status, 2);
    EXPECT_EQ(bad.err.substr(0, bad.err.find('\n')), "orvanta-live: --window is WxH, 16x16 to 16384x16384");
    const ToolRun missing = runTool({binary("orvanta-live"), "--data", "/nonexistent/orvanta"}, 30.0);
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find("/nonexistent/orvanta"), std::string::npos);
}

TEST(Live, ASavedShaderShowsWithinThreeFramesAndABrokenOneKeepsTheLastGoodPicture)
{
    TempDir data;
    writeTestScene(data, blankPass, solidColour("1.0, 0.0, 0.0"));
    LivePlayer live(data, {"--tracks", data.file("t.tracks")});
    ASSERT_TRUE(live.started());
    EXPECT_EQ(live.pixel(300, 170), 0xff0000);

    save(data, "AA.fsh", solidColour("0.0, 1.0, 0.0"));
    size_t mark = live.waitFor("AA.fsh: 1 program rebuilt", 0);
    ASSERT_NE(mark, std::string::npos) << live.process().out();
    // The frame that noticed the save drew with it; three frames on, it is
    // on the screen.
    ASSERT_TRUE(live.waitFrames(mark, 3));
    EXPECT_EQ(live.pixel(300, 170), 0x00ff00);
    EXPECT_FALSE(live.showsError());

    save(data, "AA.fsh", "#version 430 core\nout vec4 c;\nvoid main() { c = vec4(0.0, 0.0, 1.0 1.0); }\n");
    mark = live.waitFor("AA.fsh: error, the last good version stays", mark);
    ASSERT_NE(mark, std::string::npos) << live.process().out();
    EXPECT_NE(live.process().out().find("AA.fsh:3: ", mark), std::string::npos) << "file and line of the error";
    ASSERT_TRUE(live.waitFrames(mark, 3));
    EXPECT_EQ(live.pixel(300, 170), 0x00ff00) << "the last good program draws on";
    EXPECT_TRUE(live.showsError());
    EXPECT_TRUE(live.process().running()) << "nothing waits for a key";

    save(data, "AA.fsh", solidColour("0.0, 0.0, 1.0"));
    mark = live.waitFor("AA.fsh: 1 program rebuilt", mark);
    ASSERT_NE(mark, std::string::npos);
    EXPECT_NE(live.process().out().find("AA.fsh: mended"), std::string::npos);
    ASSERT_TRUE(live.waitFrames(mark, 3));
    EXPECT_EQ(live.pixel(300, 170), 0x0000ff);
    EXPECT_FALSE(live.showsError());
}

TEST(Live, ASavedTrackTextMovesTheValueAndABrokenOneKeepsIt)
{
    TempDir data;
    writeTestScene(data, gainPass, showPassFour);
    data.write("t.tracks", "track scene\n  0 0 step\ntrack gain.r\n  0 0.5 step\n");
    LivePlayer live(data, {"--tracks", data.file("t.tracks")});
    ASSERT_TRUE(live.started());
    EXPECT_NEAR(red(live.pixel(300, 170)), 128, 2);

    save(data, "t.tracks", "track scene\n  0 0 step\ntrack gain.r\n  0 1.0 step\ntrack gain.b\n  0 0.25 step\n");
    size_t mark = live.waitFor("t.tracks: 3 of 31 tracks", 0);
    ASSERT_NE(mark, std::string::npos) << live.process().out();
    ASSERT_TRUE(live.waitFrames(mark, 3));
    EXPECT_EQ(red(live.pixel(300, 170)), 255);
    EXPECT_NEAR(blue(live.pixel(300, 170)), 64, 2);

    save(data, "t.tracks", "track scene\n  0 0 step\ntrack gain.r\n  0 0.1 sideways\n");
    mark = live.waitFor("t.tracks:4: ", mark);
    ASSERT_NE(mark, std::string::npos) << live.process().out();
    ASSERT_TRUE(live.waitFrames(mark, 3));
    EXPECT_EQ(red(live.pixel(300, 170)), 255) << "the old tracks stay";
    EXPECT_TRUE(live.showsError());
}

TEST(Live, ALoopKeepsEveryFrameInsideItsSpan)
{
    TempDir data;
    writeTestScene(data, blankPass, solidColour("0.2, 0.2, 0.2"));
    LivePlayer live(data, {"--tracks", data.file("t.tracks"), "--loop", "16:32"});
    ASSERT_TRUE(live.started());
    const size_t mark = live.process().out().size();
    // Three rounds of 16 rows (about 6 s): the music jumps back each time,
    // and no frame falls outside the loop, however slowly the frames come.
    const auto jumpsIn = [](const std::vector<int>& rows) {
        int jumps = 0;
        for (size_t i = 1; i < rows.size(); ++i) jumps += rows[i] < rows[i - 1] ? 1 : 0;
        return jumps;
    };
    live.process().waitFor([&](const std::string&, const std::string&) { return jumpsIn(live.rows(mark)) >= 3; }, 90.0);
    const std::vector<int> rows = live.rows(mark);
    EXPECT_GE(jumpsIn(rows), 3);
    ASSERT_FALSE(rows.empty());
    EXPECT_GE(*std::min_element(rows.begin(), rows.end()), 16);
    EXPECT_LE(*std::max_element(rows.begin(), rows.end()), 32);
}

TEST(Live, KeysMoveByBeatsBarsCutsAndScenesWhilePaused)
{
    TempDir data;
    writeTestScene(data, blankPass, solidColour("0.2, 0.2, 0.2"));
    data.write("t.tracks", cutTracks);
    LivePlayer live(data, {"--tracks", data.file("t.tracks"), "--from", "2:0:0"});
    ASSERT_TRUE(live.started());

    size_t mark = live.press({"space"});
    const std::vector<int> paused = live.rows(mark);
    ASSERT_GE(paused.size(), 2u);
    EXPECT_EQ(std::count(paused.begin(), paused.end(), paused.front()), static_cast<long>(paused.size()))
        << "paused frames stay on one row";

    struct Step {
        std::vector<std::string> keys;
        int row;
    };
    for (const Step& step : {Step{{"Home"}, 0}, Step{{"Right"}, 4}, Step{{"shift+Right"}, 20}, Step{{"Left"}, 16},
                             Step{{"Next"}, 64}, Step{{"Next"}, 128}, Step{{"Prior"}, 64}, Step{{"Prior"}, 0},
                             Step{{"3"}, 384}, Step{{"2"}, 128}, Step{{"6"}, 1024}, Step{{"Next", "Next"}, 1147}}) {
        SCOPED_TRACE(step.keys[0]);
        mark = live.press(step.keys);
        const std::vector<int> rows = live.rows(mark);
        ASSERT_FALSE(rows.empty());
        EXPECT_EQ(rows.back(), step.row);
        EXPECT_EQ(rows.front(), rows.back()) << "still paused";
    }
    live.press({"2"});

    mark = live.press({"l"});
    EXPECT_NE(live.process().out().find("loop 128 to 1147"), std::string::npos) << "the section under way";

    mark = live.press({"space"});
    live.process().collect(1.0);
    const std::vector<int> playing = live.rows(mark);
    ASSERT_GE(playing.size(), 2u);
    EXPECT_GT(playing.back(), 128) << "plays on from where it was";

    // At half speed the rows run at half the music's rate (8.13 rows a
    // second): timed by when each frame's line arrives, so that frames that
    // come seldom on a busy machine measure the same rate.
    live.press({"minus"});
    const size_t slowed = live.process().out().size();
    std::vector<std::pair<double, int>> seen; // seconds, the last frame's row
    const auto begun = std::chrono::steady_clock::now();
    while (std::chrono::duration<double>(std::chrono::steady_clock::now() - begun).count() < 3.0 || seen.size() < 2) {
        const size_t before = live.rows(slowed).size();
        live.process().waitFor([&](const std::string&, const std::string&) { return live.rows(slowed).size() > before; },
                               60.0);
        const std::vector<int> rows = live.rows(slowed);
        if (rows.size() > before) {
            seen.emplace_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - begun).count(), rows.back());
        }
    }
    const double rate = (seen.back().second - seen.front().second) / (seen.back().first - seen.front().first);
    EXPECT_GT(rate, 2.5);
    EXPECT_LT(rate, 6.0);
}

TEST(Live, AResizedWindowIsDrawnWhole)
{
    TempDir data;
    writeTestScene(data, blankPass, solidColour("0.0, 1.0, 0.0"));
    LivePlayer live(data, {"--tracks", data.file("t.tracks")});
    ASSERT_TRUE(live.started());
    const WindowFacts window = findWindow(live.display(), "orvanta-live", 30.0);
    ASSERT_NE(window.window, 0u);
    for (const auto& [width, height] : {std::pair{160, 90}, std::pair{320, 180}, std::pair{240, 120}}) {
        SCOPED_TRACE(width);
        ChildProcess resize({{"xdotool", "windowsize", std::to_string(window.window), std::to_string(width),
                              std::to_string(height)},
                             "",
                             {{"DISPLAY", live.display()}}});
        ASSERT_EQ(resize.waitExit(60.0).value_or(-1), 0);
        live.press({});
        // The far corner of the window is drawn, and nothing beyond it.
        EXPECT_EQ(live.pixel(width - 2, height - 2), 0x00ff00);
        if (width < 320) {
            EXPECT_NE(live.pixel(width + 4, 4), 0x00ff00);
        }
    }
    EXPECT_TRUE(live.process().running());
}

TEST(Live, SignalsAndEscapeEndItAtOnceLeavingNothingBehind)
{
    TempDir data;
    writeTestScene(data, blankPass, solidColour("0.2, 0.2, 0.2"));
    struct Ending {
        int signal;
        int status;
    };
    // Signal 0 stands for Escape, -1 for the window's close button, -2 for an
    // X server that goes away (an error: status 1).
    for (const Ending ending :
         {Ending{SIGTERM, -SIGTERM}, Ending{SIGINT, -SIGINT}, Ending{0, 0}, Ending{-1, 0}, Ending{-2, 1}}) {
        SCOPED_TRACE(ending.signal);
        LivePlayer live(data, {"--tracks", data.file("t.tracks")});
        ASSERT_TRUE(live.started());
        const std::string staging = live.staging();
        ASSERT_TRUE(fs::is_directory(staging)) << staging;
        if (ending.signal > 0) {
            live.process().sendSignal(ending.signal);
        } else if (ending.signal == 0) {
            pressKeys(live.display(), {"Escape"});
        } else if (ending.signal == -1) {
            requestWindowClose(live.display(), findWindow(live.display(), "orvanta-live", 30.0).window);
        } else {
            live.stopServer();
        }
        const auto status = live.process().waitExit(60.0);
        ASSERT_TRUE(status.has_value());
        EXPECT_EQ(*status, ending.status) << live.process().err();
        EXPECT_FALSE(fs::exists(staging)) << staging;
    }

    // A killed player cannot clean up after itself; the next one to start does.
    std::string stale;
    {
        LivePlayer killed(data, {"--tracks", data.file("t.tracks")});
        ASSERT_TRUE(killed.started());
        stale = killed.staging();
        killed.process().kill();
        EXPECT_TRUE(fs::is_directory(stale));
    }
    LivePlayer next(data, {"--tracks", data.file("t.tracks")});
    ASSERT_TRUE(next.started());
    EXPECT_FALSE(fs::exists(stale)) << stale;
}

TEST(Live, ScoreTuneAndLogoReloadWhileThePictureGoesOn)
{
    TempDir data;
    writeTestScene(data, blankPass, solidColour("0.2, 0.2, 0.2"));
    const std::string score = "song\n  tempo 122\n  rows 32\nend\ninstrument t\n  osc saw level 0.5\nend\n"
                              "pattern p 16\n  C-4 v90\nend\norder c t\n  p p\nend\n";
    data.write("s.score", score);
    // The tune the player renders goes where it found one: here, not the run folder.
    fs::copy_file(silentTune(), data.file("tune.ogg"));
    LivePlayer live(data, {"--tracks", data.file("t.tracks"), "--score", data.file("s.score")});
    ASSERT_TRUE(live.started());

    save(data, "s.score", score + "\n");
    size_t mark = live.waitFor("s.score: rendering the tune in the background", 0);
    ASSERT_NE(mark, std::string::npos) << live.process().out();
    const size_t rendered = live.waitFor("s.score: rendered", mark, 120.0);
    ASSERT_NE(rendered, std::string::npos) << live.process().out() << live.process().err();
    EXPECT_GT(LivePlayer::frameLines(live.process().out().substr(0, rendered), mark), 0u)
        << "frames go on while the tune renders";
    // The new tune lands (and is reloaded) just before tunegen ends.
    const size_t reloaded = live.waitFor("tune.ogg reloaded at row", mark);
    ASSERT_NE(reloaded, std::string::npos) << live.process().out();
    mark = std::max(rendered, reloaded);

    save(data, "s.score", "song\n  tempo fast\nend\n");
    mark = live.waitFor("s.score:2: 'fast' is not a number", mark, 120.0);
    ASSERT_NE(mark, std::string::npos) << live.process().out();
    ASSERT_TRUE(live.waitFrames(mark, 3));
    EXPECT_TRUE(live.showsError());

    save(data, "logo.png", "not a picture");
    mark = live.waitFor("logo.png: not an image stb_image can read (unknown image type); the last good logo stays", mark);
    EXPECT_NE(mark, std::string::npos) << live.process().out();
    fs::copy_file(std::string(ORVANTA_RUN_DIR) + "/logo.png", data.file(".logo.png.new"));
    fs::rename(data.file(".logo.png.new"), data.file("logo.png"));
    mark = live.waitFor("logo.png reloaded", mark);
    EXPECT_NE(mark, std::string::npos) << live.process().out();
    EXPECT_TRUE(live.process().running());
    for (const auto& entry : fs::directory_iterator(data.path())) {
        EXPECT_EQ(entry.path().filename().string().find(".tmp-"), std::string::npos) << entry.path();
    }
}

// The sweep of stale staging folders in a shared temporary folder takes
// only folders of this user's players that are gone, and all that is this
// user's in them; it follows no link. An unusable TMPDIR falls back to /tmp.
TEST(LiveStaging, TheSweepTakesOnlyWhatADeadPlayerLeft)
{
    TempDir root, outside;
    outside.write("keep.fsh", "kept");
    fs::create_directory(outside.file("folder"));
    fs::create_symlink(outside.file("keep.fsh"), outside.file("folder/hall.fsh"));
    const pid_t dead = fork();
    if (dead == 0) _exit(0);
    ASSERT_GT(dead, 0);
    waitpid(dead, nullptr, 0);
    std::string namespaceLink(128, '\0');
    namespaceLink.resize(static_cast<size_t>(std::max<ssize_t>(0, readlink("/proc/self/ns/pid", namespaceLink.data(), 127))));
    const std::string d = std::to_string(dead);
    auto folder = [&](const std::string& name, const std::string& marker) {
        fs::create_directory(root.file(name));
        fs::create_symlink(outside.file("keep.fsh"), root.file(name + "/hall.fsh"));
        if (!marker.empty()) root.write(name + "/" + stagingMarker("orvanta-live"), marker);
    };
    const std::string mine = "orvanta-live " + d + " " + namespaceLink + "\n";
    folder("orvanta-live-" + d + "-aaaaaa", mine);                                            // stale: goes
    folder("orvanta-live-" + d + "-bbbbbb", "");                                              // no marker
    folder("orvanta-live-" + std::to_string(getpid()) + "-cccccc",
           "orvanta-live " + std::to_string(getpid()) + " " + namespaceLink + "\n");           // alive
    folder("orvanta-live-" + d + "-dddddd", "orvanta-live " + d + " pid:[1]\n");              // another namespace
    folder("orvanta-live-" + d + "-eeeeee", mine);                                            // its files too
    root.write("orvanta-live-" + d + "-eeeeee/.logo-text.png", "drawn");
    fs::create_directories(root.file("orvanta-live-" + d + "-eeeeee/demo/deeper"));
    root.write("orvanta-live-" + d + "-eeeeee/demo/deeper/scene.fsh", "copied");
    folder("orvanta-capture-" + d + "-iiiiii", mine);                                         // another tool's
    folder("orvanta-live-1-ffffff", "orvanta-live 1 " + namespaceLink + "\n");               // PID 1 lives
    fs::create_symlink(outside.file("folder"), root.file("orvanta-live-" + d + "-gggggg"));   // a planted link
    fs::create_directory(root.file("orvanta-live-" + d + "-hhhhhh"));                          // marker is a link
    fs::create_symlink(root.file("orvanta-live-" + d + "-aaaaaa/" + stagingMarker("orvanta-live")),
                       root.file("orvanta-live-" + d + "-hhhhhh/" + stagingMarker("orvanta-live")));

    EXPECT_EQ(sweepStaleStaging(root.path(), "orvanta-live"), 2);
    EXPECT_FALSE(fs::exists(root.file("orvanta-live-" + d + "-aaaaaa")));
    EXPECT_FALSE(fs::exists(root.file("orvanta-live-" + d + "-eeeeee")));
    for (const char* kept : {"bbbbbb", "dddddd", "hhhhhh"}) {
        EXPECT_TRUE(fs::is_directory(root.file("orvanta-live-" + d + "-" + kept))) << kept;
    }
    EXPECT_TRUE(fs::exists(root.file("orvanta-live-" + std::to_string(getpid()) + "-cccccc/hall.fsh")));
    EXPECT_TRUE(fs::exists(root.file("orvanta-live-1-ffffff/hall.fsh")));
    EXPECT_TRUE(fs::exists(root.file("orvanta-capture-" + d + "-iiiiii/hall.fsh"))) << "another tool's marker";
    EXPECT_TRUE(fs::is_symlink(root.file("orvanta-live-" + d + "-gggggg")));
    EXPECT_TRUE(fs::is_symlink(outside.file("folder/hall.fsh"))) << "followed a planted link";
    EXPECT_EQ(readFile(outside.file("keep.fsh")), "kept");

    std::string made, error;
    ASSERT_TRUE(makeStagingFolder(root.path(), "orvanta-live", made, error)) << error;
    EXPECT_EQ(fs::status(made).permissions() & fs::perms::all, fs::perms::owner_all);
    EXPECT_EQ(sweepStaleStaging(root.path(), "orvanta-live"), 0) << "its own player is alive";

    // TMPDIR a file, missing or empty: /tmp, and a note where it was set.
    const char* saved = std::getenv("TMPDIR");
    const std::string savedValue = saved ? saved : "";
    for (const std::string& value : {outside.file("keep.fsh"), outside.file("missing"), std::string()}) {
        setenv("TMPDIR", value.c_str(), 1);
        std::string note;
        EXPECT_EQ(stagingRoot(note, error), "/tmp") << value;
        EXPECT_EQ(note.empty(), value.empty()) << note;
    }
    setenv("TMPDIR", outside.path().c_str(), 1);
    std::string note;
    EXPECT_EQ(stagingRoot(note, error), outside.path());
    if (saved) setenv("TMPDIR", savedValue.c_str(), 1);
    else unsetenv("TMPDIR");

    // The player itself, with TMPDIR a file: a note, never an abort.
    const ToolRun player = runTool({"env", "-u", "DISPLAY", "TMPDIR=" + outside.file("keep.fsh"), binary("orvanta-live"),
                                    "--data", ORVANTA_RUN_DIR},
                                   30.0);
    EXPECT_NE(player.status, -SIGABRT) << player.err;
    EXPECT_NE(player.out.find("TMPDIR " + outside.file("keep.fsh") + " is not a writable folder"), std::string::npos)
        << player.out << player.err;
}

// Hostile saves keep the last good version and say why; a newer score ends
// the render of an older one; a killed player takes tunegen with it.
TEST(Live, HostileSavesAndSupersededRendersKeepTheLastGood)
{
    TempDir parent;
    fs::create_directory(parent.file("data"));
    fs::create_directory(parent.file("text"));
    const std::string data = parent.file("data");
    auto write = [&](const std::string& name, const std::string& text) {
        std::ofstream(data + "/" + name, std::ios::binary) << text;
    };
    for (const char* name : {"hall.fsh", "hall_b.fsh", "hall_c.fsh", "hall_d.fsh"}) write(name, blankPass);
    write("AA.fsh", solidColour("0.2, 0.2, 0.2"));
    write("t.tracks", "track scene\n  0 0 step\n");
    fs::copy_file(silentTune(), data + "/tune.ogg");
    // The score through a link: saves go to the file it points at.
    const std::string score = "song\n  tempo 122\n  rows 16\nend\ninstrument t\n  osc sine\nend\n"
                              "pattern p 16\n  C-4\nend\norder c t\n  p\nend\n";
    const std::string longScore = "song\n  tempo 122\n  rows 4096\nend\ninstrument t\n  osc saw level 0.5\nend\n"
                                  "pattern p 16\n  C-4:maj\nend\norder c t\n  p*256\nend\n";
    std::ofstream(parent.file("text/s.score")) << score;
    fs::create_symlink(parent.file("text/s.score"), data + "/s.score");

    auto saveText = [&](const std::string& text) {
        std::ofstream(parent.file("text/.s.score.new")) << text;
        fs::rename(parent.file("text/.s.score.new"), parent.file("text/s.score"));
    };
    std::unique_ptr<LivePlayer> live = std::make_unique<LivePlayer>(
        data, std::vector<std::string>{"--tracks", data + "/t.tracks", "--score", data + "/s.score"});
    ASSERT_TRUE(live->started());

    // A long render, superseded by a bad save at once: the render ends, the
    // error shows; a good save takes the error down before its render ends.
    saveText(longScore);
    size_t mark = live->waitFor("s.score: rendering the tune in the background", 0);
    ASSERT_NE(mark, std::string::npos) << live->process().out();
    live->process().collect(0.5); // tunegen has read the score
    saveText("song\n  tempo fast\nend\n");
    mark = live->waitFor("s.score:2: 'fast' is not a number", mark);
    ASSERT_NE(mark, std::string::npos) << live->process().out();
    EXPECT_NE(live->process().out().find("s.score: the render of the older save ended"), std::string::npos);
    EXPECT_EQ(runningProcesses("tunegen", data + "/s.score"), 0);
    saveText(score);
    const size_t mended = live->waitFor("s.score: mended", mark);
    const size_t rendered = live->waitFor("s.score: rendered", mark);
    ASSERT_NE(rendered, std::string::npos) << live->process().out();
    EXPECT_LT(mended, rendered);
    mark = rendered;

    // Logos too large or cut short, shaders that are no files or too large.
    // A PNG's signature and header for a 20000x20000 RGBA picture, and no pixels.
    const unsigned char header[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n', 0, 0, 0, 13, 'I', 'H', 'D', 'R', 0, 0,
                                    0x4e, 0x20, 0, 0, 0x4e, 0x20, 8, 6, 0, 0, 0, 0, 0, 0, 0};
    const std::string huge(reinterpret_cast<const char*>(header), sizeof header);
    const std::string realLogo = readFile(std::string(ORVANTA_RUN_DIR) + "/logo.png");
    for (const auto& [bytes, why] : {std::pair<std::string, std::string>{huge, "20000x20000 is over"},
                                     {realLogo.substr(0, realLogo.size() / 2), "cannot be decoded"}}) {
        write(".logo.new", bytes);
        fs::rename(data + "/.logo.new", data + "/logo.png");
        const size_t said = live->waitFor("logo.png: " + why, mark);
        ASSERT_NE(said, std::string::npos) << live->process().out();
        EXPECT_EQ(live->process().out().find("logo.png reloaded", mark), std::string::npos);
        mark = said;
    }
    fs::remove(data + "/hall.fsh");
    fs::create_directory(data + "/.folder");
    fs::rename(data + "/.folder", data + "/hall.fsh");
    mark = live->waitFor(data + "/hall.fsh: not a regular file; the last good version stays", mark);
    ASSERT_NE(mark, std::string::npos) << live->process().out();
    fs::remove(data + "/hall.fsh");
    ASSERT_EQ(mkfifo((data + "/.fifo").c_str(), 0600), 0);
    fs::rename(data + "/.fifo", data + "/hall.fsh");
    mark = live->waitFor(data + "/hall.fsh: not a regular file", mark);
    ASSERT_NE(mark, std::string::npos) << live->process().out();
    fs::create_symlink(".loop", data + "/.loop");
    fs::rename(data + "/.loop", data + "/hall.fsh");
    mark = live->waitFor(data + "/hall.fsh: not a regular file", mark);
    ASSERT_NE(mark, std::string::npos) << live->process().out();
    write(".big", "");
    fs::resize_file(data + "/.big", 200u << 20);
    fs::rename(data + "/.big", data + "/AA.fsh");
    mark = live->waitFor("AA.fsh: cannot read: larger than 8 MiB", mark);
    ASSERT_NE(mark, std::string::npos) << live->process().out();
    EXPECT_TRUE(live->waitFrames(mark, 3)) << "the picture goes on";

    // The data folder renamed away and made anew: saves there are seen.
    fs::rename(data, parent.file("data.old"));
    fs::create_directory(data);
    for (const char* name : {"hall.fsh", "hall_b.fsh", "hall_c.fsh", "hall_d.fsh"}) write(name, blankPass);
    write("t.tracks", "track scene\n  0 0 step\n");
    fs::copy_file(silentTune(), data + "/tune.ogg");
    fs::create_symlink(parent.file("text/s.score"), data + "/s.score");
    mark = live->waitFor("hall.fsh: 1 program rebuilt", mark);
    ASSERT_NE(mark, std::string::npos) << live->process().out();
    write(".AA.new", solidColour("0.0, 1.0, 0.0"));
    fs::rename(data + "/.AA.new", data + "/AA.fsh");
    mark = live->waitFor("AA.fsh: 1 program rebuilt", mark);
    ASSERT_NE(mark, std::string::npos) << live->process().out();
    ASSERT_TRUE(live->waitFrames(mark, 3));
    EXPECT_EQ(live->pixel(300, 170), 0x00ff00);

    // Killed outright while tunegen renders: tunegen goes too, and no half
    // tune is left.
    saveText(longScore);
    mark = live->waitFor("s.score: rendering the tune in the background", mark);
    ASSERT_NE(mark, std::string::npos) << live->process().out();
    live->process().kill();
    live.reset();
    // The whole tune renders at nice 10: on a machine loaded by other tests
    // (a browser drawing in software, say) it may wait seconds for the CPU
    // it needs to take the signal.
    for (int i = 0; i < 300 && runningProcesses("tunegen", data + "/s.score") > 0; ++i) usleep(100000);
    EXPECT_EQ(runningProcesses("tunegen", data + "/s.score"), 0);
    for (const auto& entry : fs::directory_iterator(data)) {
        EXPECT_EQ(entry.path().filename().string().find(".tmp-"), std::string::npos) << entry.path();
    }
}

// A window that cannot be seen draws nothing and sleeps, and saves are
// still taken; shown again, it draws again.
TEST(Live, AHiddenWindowSleepsAndStillTakesSaves)
{
    TempDir data;
    writeTestScene(data, blankPass, solidColour("1.0, 0.0, 0.0"));
    LivePlayer live(data, {"--tracks", data.file("t.tracks")});
    ASSERT_TRUE(live.started());
    const XWindowId window = findWindow(live.display(), "orvanta-live", 30.0).window;
    ASSERT_NE(window, 0u);
    setWindowMapped(live.display(), window, false);
    size_t mark = live.waitFor("window hidden", 0);
    ASSERT_NE(mark, std::string::npos) << live.process().out();
    const double before = cpuSeconds(live.process().pid());
    live.process().collect(2.0);
    const double used = cpuSeconds(live.process().pid()) - before;
    EXPECT_LT(used, 0.5) << "CPU seconds in 2 s while hidden";
    EXPECT_EQ(LivePlayer::frameLines(live.process().out(), mark), 0u) << "frames drawn while hidden";

    save(data, "AA.fsh", solidColour("0.0, 1.0, 0.0"));
    mark = live.waitFor("AA.fsh: 1 program rebuilt", mark);
    ASSERT_NE(mark, std::string::npos) << live.process().out();
    setWindowMapped(live.display(), window, true);
    mark = live.waitFor("window shown", mark);
    ASSERT_NE(mark, std::string::npos) << live.process().out();
    ASSERT_TRUE(live.waitFrames(mark, 3));
    EXPECT_EQ(live.pixel(300, 170), 0x00ff00);
}
