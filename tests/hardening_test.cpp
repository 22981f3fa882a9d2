// The demo and its tools against what a hostile or unlucky user does to
// them: signals, full disks, broken shaders, folders and FIFOs where files
// belong, truncated fonts, absurd lengths and rows, NaNs with payloads, and
// tiny screens. Full disks are simulated with RLIMIT_FSIZE (bash's ulimit -f),
// whose SIGXFSZ every tool ignores, so that a write past it fails as on a
// full disk.
#include "support/demo_process.h"
#include "support/temp_dir.h"
#include "support/track_bytes.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <thread>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

const char* const font = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf";

ToolRun tool(const std::string& name, std::vector<std::string> args, double seconds = 120.0)
{
    args.insert(args.begin(), binary(name));
    return runTool(args, seconds);
}

// Runs a tool with files limited to `kilobytes`, as on a nearly full disk.
ToolRun onFullDisk(int kilobytes, const std::vector<std::string>& command)
{
    std::string line = "ulimit -f " + std::to_string(kilobytes) + "; exec";
    for (const std::string& word : command) line += " '" + word + "'";
    return runTool({"bash", "-c", line}, 300.0);
}

// Everything in a folder whose name holds ".tmp-": a temporary left behind.
std::vector<std::string> temporariesIn(const std::string& folder)
{
    std::vector<std::string> found;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        if (entry.path().filename().string().find(".tmp-") != std::string::npos) found.push_back(entry.path());
    }
    return found;
}

std::string firstLine(const std::string& text)
{
    return text.substr(0, text.find('\n'));
}

} // namespace

// 1. Ctrl-C and SIGTERM end the demo at once, also while it waits for a key.
TEST(Hardening, SignalsEndTheDemoAtOnce)
{
    for (const int signal : {SIGINT, SIGTERM}) {
        SCOPED_TRACE(signal);
        XServer server(160, 90);
        RunFolder folder;
        auto demo = startDemo(folder, server, {"orvanta", ChildStdin::DevNull, "", true, {}});
        ASSERT_TRUE(demo->waitForStdout("; scene:", 60.0)) << demo->out() << demo->err();
        demo->sendSignal(signal);
        // Bounds that hold on a loaded machine: that it ends is checked here,
        // how soon is the bench's.
        const auto status = demo->waitExit(60.0);
        ASSERT_TRUE(status.has_value()) << "still running 60 s after the signal";
        EXPECT_EQ(*status, -signal);
    }

    XServer server(160, 90);
    RunFolder folder;
    folder.write("hall.fsh", "#version 430 core\nout vec4 c;\nvoid main() { c = undeclared; }\n");
    DemoOptions options;
    options.input = ChildStdin::Pipe; // open, and never written: start-up waits
    auto demo = startDemo(folder, server, options);
    ASSERT_TRUE(demo->waitForStdout("undeclared", 60.0)) << demo->out();
    demo->collect(0.3);
    demo->sendSignal(SIGINT);
    const auto status = demo->waitExit(60.0);
    ASSERT_TRUE(status.has_value()) << "Ctrl-C at the wait for a key must end it";
    EXPECT_EQ(*status, -SIGINT);
}

// 1 and 4. The tools too, taking their children and temporaries with them.
TEST(Hardening, SignalsEndTheToolsAndLeaveNothingBehind)
{
    TempDir dir;
    const std::string score = std::string(ORVANTA_DATA_DIR) + "/music/orvanta.score";
    ChildProcess tunegen({{binary("tunegen"), score, "-o", dir.file("tune.ogg")}, "", {}});
    std::this_thread::sleep_for(std::chrono::milliseconds(1500)); // into the render
    tunegen.sendSignal(SIGTERM);
    EXPECT_EQ(tunegen.waitExit(60.0).value_or(0), -SIGTERM);
    EXPECT_FALSE(fs::exists(dir.file("tune.ogg")));
    EXPECT_EQ(temporariesIn(dir.path()), std::vector<std::string>{});

    for (const int signal : {SIGTERM, SIGINT}) {
        SCOPED_TRACE(signal);
        // A screen size of its own, to find its X server by.
        const std::string size = signal == SIGTERM ? "162x92" : "164x94";
        const std::string out = dir.file("clip" + std::to_string(signal) + ".mp4");
        ChildProcess capture({{binary("orvanta-capture"), "--out", out, "--size", size, "--fps", "10", "--data",
                               ORVANTA_RUN_DIR},
                              "",
                              {}});
        ASSERT_TRUE(capture.waitFor([](const std::string&, const std::string& err) {
            return err.find(" frames ") != std::string::npos;
        }, 120.0)) << capture.err();
        EXPECT_EQ(runningProcesses("ffmpeg", out), 1) << "encoding";
        capture.sendSignal(signal);
        EXPECT_EQ(capture.waitExit(60.0).value_or(0), -signal);
        EXPECT_EQ(runningProcesses("Xvfb", " " + size + "x24"), 0);
        EXPECT_EQ(runningProcesses("ffmpeg", out), 0);
        EXPECT_FALSE(fs::exists(out));
        EXPECT_EQ(temporariesIn(dir.path()), std::vector<std::string>{});
    }
}

// 2. A full disk is an error, and leaves nothing under the final name.
TEST(Hardening, AFullDiskFailsEveryWriterAndLeavesNothing)
{
    TempDir dir;
    struct Case {
        const char* what;
        std::vector<std::string> command;
        std::string output;
        int kilobytes = 32; // room for the capture's X server's keymap, not for its pictures
    };
    dir.write("t.tracks", "track a\n  0 1 step\n");
    // Eight bars: over 200 KB of Vorbis, so the writer is reached and refused.
    dir.write("short.score", "song\n  tempo 122\n  rows_per_beat 4\n  rows 64\nend\n"
                             "instrument lead\n  osc saw level 0.5\nend\n"
                             "pattern p 16\n  0: C-4\n  4: E-4\n  8: G-4:maj\nend\norder c lead\n  p*4\nend\n");
    const std::vector<Case> cases = {
        {"logogen", {binary("logogen"), font, "-o", dir.file("logo.png")}, dir.file("logo.png")},
        {"synctool", {binary("synctool"), "build", dir.file("t.tracks"), "-o", dir.path()}, dir.file("sync_a.track"), 0},
        {"tunegen", {binary("tunegen"), dir.file("short.score"), "-o", dir.file("tune.ogg")}, dir.file("tune.ogg")},
        {"orvanta-new", {binary("orvanta-new"), dir.file("glowy")}, dir.file("glowy"), 0},
        {"capture stills",
         {binary("orvanta-capture"), "--stills", "64", "--out", dir.file("stills") + "/", "--size", "640x360", "--fps",
          "10", "--data", ORVANTA_RUN_DIR},
         dir.file("stills/row_64.png")},
        {"capture sheet",
         {binary("orvanta-capture"), "--contact-sheet", dir.file("sheet.png"), "--every", "16", "--to-row", "96",
          "--size", "320x180", "--fps", "10", "--data", ORVANTA_RUN_DIR},
         dir.file("sheet.png")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const ToolRun r = onFullDisk(c.kilobytes, c.command);
        EXPECT_EQ(r.status, 1) << r.err;
        EXPECT_NE(r.err.find(c.output), std::string::npos) << "names the file: " << r.err;
        EXPECT_FALSE(fs::exists(c.output));
        EXPECT_EQ(temporariesIn(dir.path()), std::vector<std::string>{});
    }
}

// Links planted at the names the writers once used for their temporaries
// (NAME.tmp-PID, with the PID the writer will have) are neither written
// through nor removed: every temporary is a new file made exclusively.
TEST(Hardening, NoWriterFollowsALinkPlantedAtATemporaryName)
{
    TempDir dir;
    dir.write("victim", "kept\n");
    chmod(dir.file("victim").c_str(), 0600);
    dir.write("t.tracks", "track a\n  0 1 step\n");
    dir.write("short.score", "song\n  tempo 122\n  rows 16\n  tail 0.1\nend\ninstrument lead\n  osc saw level 0.5\nend\n"
                             "pattern p 16\n  0: C-4\nend\norder c lead\n  p\nend\n");
    const std::vector<std::string> small = {"--size", "64x36", "--fps", "10", "--to-row", "32", "--data", ORVANTA_RUN_DIR};
    auto with = [&](std::vector<std::string> command, const std::vector<std::string>& more) {
        command.insert(command.end(), more.begin(), more.end());
        return command;
    };
    struct Case {
        const char* what;
        std::vector<std::string> command;
        std::string output;
    };
    const std::vector<Case> cases = {
        {"logogen", {binary("logogen"), font, "-o", dir.file("logo.png")}, dir.file("logo.png")},
        {"synctool", {binary("synctool"), "build", dir.file("t.tracks"), "-o", dir.path()}, dir.file("sync_a.track")},
        {"tunegen", {binary("tunegen"), dir.file("short.score"), "-o", dir.file("tune.ogg")}, dir.file("tune.ogg")},
        {"capture", with({binary("orvanta-capture"), "--out", dir.file("v.mp4")}, small), dir.file("v.mp4")},
        {"capture part", with({binary("orvanta-capture"), "--part", "1/1", "--out", dir.file("p.mp4")}, small),
         dir.file("p.part1of1.mp4")},
        {"capture join",
         {binary("orvanta-capture"), "--join", dir.file("p.part1of1.mp4"), "--out", dir.file("j.mp4"), "--data",
          ORVANTA_RUN_DIR},
         dir.file("j.mp4")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        // The shell plants the links under its own PID, which the tool it
        // becomes keeps.
        const std::set<std::string> outputs = {c.output, dir.file("j.mp4")};
        std::string line = "for name in";
        for (const std::string& output : outputs) line += " '" + output + "'";
        line += "; do for end in '' .mp4 .txt; do ln -s '" + dir.file("victim") + "' \"$name.tmp-$$$end\"; done; done; exec";
        for (const std::string& word : c.command) line += " '" + word + "'";
        auto links = [&] {
            size_t count = 0;
            for (const auto& entry : fs::directory_iterator(dir.path())) count += fs::is_symlink(entry.symlink_status());
            return count;
        };
        const size_t before = links();
        const ToolRun r = runTool({"bash", "-c", line}, 120.0);
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(readFile(dir.file("victim")), "kept\n");
        EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(c.output))) << c.output;
        EXPECT_EQ(links(), before + 3 * outputs.size()) << "the planted links are not the tool's to remove";
    }
}

// 3. A broken shader stops the capture with its name and the driver's log.
TEST(Hardening, TheCaptureNamesABrokenShaderAndNeverWaits)
{
    RunFolder data;
    data.write("hall_b.fsh", "#version 430 core\nout vec4 c;\nvoid main() { c = nothing_here; }\n");
    TempDir out;
    ChildProcess capture({{binary("orvanta-capture"), "--stills", "0", "--out", out.file("s") + "/", "--size", "160x90",
                           "--data", data.path()},
                          "",
                          {},
                          ChildStdin::Pipe}); // a key would be there to wait for
    const auto status = capture.waitExit(120.0);
    ASSERT_TRUE(status.has_value()) << "it waited";
    EXPECT_EQ(*status, 1);
    EXPECT_NE(capture.err().find("hall_b.fsh"), std::string::npos) << capture.err();
    EXPECT_NE(capture.err().find("nothing_here"), std::string::npos) << "the driver's log: " << capture.err();
    EXPECT_FALSE(fs::exists(out.file("s/row_0.png")));

    // A folder's shader is named as the maker has it, not by its staged link.
    const std::string demo = out.file("glowy");
    ASSERT_EQ(tool("orvanta-new", {demo}).status, 0);
    ASSERT_EQ(tool("tunegen", {demo + "/demo.score", "-o", demo + "/tune.ogg"}).status, 0);
    std::ofstream(demo + "/trail.fsh", std::ios::app) << "this is not GLSL\n";
    const ToolRun folder = tool("orvanta-capture", {demo, "--stills", "0", "--out", out.file("f") + "/", "--size", "160x90"});
    EXPECT_EQ(folder.status, 1);
    EXPECT_NE(folder.err.find("orvanta-capture: " + demo + "/trail.fsh does not compile"), std::string::npos) << folder.err;
}

// 5. Folders, truncated fonts, hour-long scores and huge sheets are errors.
TEST(Hardening, HostileInputsGiveMessagesNotCrashes)
{
    TempDir dir;
    fs::create_directory(dir.file("folder"));
    const std::string folder = dir.file("folder");
    for (const auto& [name, args] :
         {std::pair<std::string, std::vector<std::string>>{"synctool", {"build", folder, "-o", dir.path()}},
          {"synctool", {"dump", folder}},
          {"synctool", {"check", folder}},
          {"tunegen", {folder, "-o", dir.file("t.ogg")}},
          {"logogen", {folder, "-o", dir.file("l.png")}}}) {
        SCOPED_TRACE(name + " " + args[0]);
        const ToolRun r = tool(name, args);
        EXPECT_EQ(r.status, 1) << r.err;
        // check reports on standard output, the others on standard error.
        EXPECT_NE((r.out + r.err).find(folder + ": cannot read"), std::string::npos) << r.out << r.err;
    }

    std::string truncated;
    ASSERT_TRUE(fs::exists(font));
    truncated = readFile(font).substr(0, 3000);
    dir.write("cut.ttf", truncated);
    ToolRun r = tool("logogen", {dir.file("cut.ttf"), "-o", dir.file("l.png")});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(firstLine(r.err), "logogen: " + dir.file("cut.ttf") + ": not a font FreeType can read");

    dir.write("long.score", "song\n  tempo 20\n  rows_per_beat 1\n  rows 100000\nend\ninstrument t\n  osc sine\nend\n"
                            "pattern p 1\n  C-4\nend\norder c t\n  p\nend\n");
    r = tool("tunegen", {dir.file("long.score"), "-o", dir.file("t.ogg")});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(firstLine(r.err), dir.file("long.score") + ":14: the song lasts 5000 minutes; a song lasts at most 60");

    r = tool("orvanta-capture", {"--contact-sheet", dir.file("s.png"), "--every", "0.001"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(firstLine(r.err), "orvanta-capture: --every is at least 1 row");
    r = tool("orvanta-capture", {"--contact-sheet", dir.file("s.png"), "--every", "1", "--size", "1920x1080"});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(firstLine(r.err).find("over 256 MiB"), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(dir.file("s.png")));
}

// 6. Rows outside the music are usage errors naming the last row.
TEST(Hardening, RowsPastTheMusicAreRefused)
{
    TempDir dir;
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--stills", "0,5000", "--out", dir.file("s") + "/"},
          {"--out", dir.file("v.mp4"), "--to-row", "5000"},
          {"--out", dir.file("v.mp4"), "--from-row", "1148"}}) {
        SCOPED_TRACE(args[0]);
        const ToolRun r = tool("orvanta-capture", args);
        EXPECT_EQ(r.status, 2);
        EXPECT_NE(firstLine(r.err).find("1147.5"), std::string::npos) << r.err;
    }
    EXPECT_TRUE(fs::is_empty(dir.path()));
}

// 7. dump and build keep every bit; a failed build writes none of its files.
TEST(Hardening, TrackToolKeepsBitsAndBuildsAllOrNothing)
{
    TempDir dir;
    const uint32_t nans[] = {0xffc00000u, 0x7fc00001u, 0xff800123u, 0x7fc00000u};
    std::vector<TestKey> keys;
    for (int i = 0; i < 4; ++i) {
        float value;
        std::memcpy(&value, &nans[i], sizeof value);
        keys.push_back({i * 4, value, 0});
    }
    const std::string original = trackFileBytes(keys);
    dir.write("sync_n.track", original);
    const ToolRun dumped = tool("synctool", {"dump", dir.file("sync_n.track")});
    ASSERT_EQ(dumped.status, 0) << dumped.err;
    EXPECT_NE(dumped.out.find("nan:ffc00000"), std::string::npos) << dumped.out;
    fs::create_directory(dir.file("again"));
    dir.write("n.tracks", dumped.out);
    ASSERT_EQ(tool("synctool", {"build", dir.file("n.tracks"), "-o", dir.file("again")}).status, 0);
    EXPECT_EQ(readFile(dir.file("again/sync_n.track")), original);

    // The first track fits, the second does not: neither is written.
    dir.write("sync_a.track", "old");
    std::string text = "track a\n  0 1 step\ntrack b\n";
    for (int row = 0; row < 200; ++row) text += "  " + std::to_string(row) + " 1 step\n";
    dir.write("ab.tracks", text);
    const ToolRun r = onFullDisk(1, {binary("synctool"), "build", dir.file("ab.tracks"), "-o", dir.path()});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(readFile(dir.file("sync_a.track")), "old");
    EXPECT_FALSE(fs::exists(dir.file("sync_b.track")));
    EXPECT_EQ(temporariesIn(dir.path()), std::vector<std::string>{});
}

// 9. --help prints the whole usage, every option with what it does.
TEST(Hardening, HelpPrintsTheWholeUsage)
{
    for (const auto& [name, options] :
         {std::pair<std::string, std::vector<std::string>>{"orvanta-capture",
                                                           {"--out", "--size", "--fps", "--from-row", "--to-row",
                                                            "--frames", "--stills", "--contact-sheet", "--every",
                                                            "--scene-scale", "--data"}},
          {"tunegen", {"-o", "--quality"}},
          {"logogen", {"-o", "--size"}},
          {"synctool", {"build", "dump", "check", "sample"}},
          {"orvanta-live", {"--data", "--tracks", "--score", "--window", "--scene-scale", "--from", "--loop"}}}) {
        SCOPED_TRACE(name);
        const ToolRun r = tool(name, {"--help"});
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.err, "");
        for (const std::string& option : options) {
            // Named in the synopsis, then again at the start of its own line.
            EXPECT_NE(r.out.find("\n  " + option + " "), std::string::npos) << option << " in:\n" << r.out;
        }
    }
}

// 10. A 1x1 screen, FIFOs for files, and nothing drawn after Escape.
TEST(Hardening, TinyScreensFifosAndTheQuitKey)
{
    {
        // orvanta's 1280x720 window records the 1x1 screen, and its reduced
        // pass 1 would round to nothing.
        XServer server(1, 1);
        RunFolder folder;
        auto demo = startDemo(folder, server, {"orvanta", ChildStdin::DevNull, "", true, {}});
        EXPECT_TRUE(demo->waitForStdout("; scene:", 60.0)) << demo->err();
        EXPECT_TRUE(demo->running());
        demo->sendSignal(SIGTERM);
        EXPECT_EQ(demo->waitExit(60.0).value_or(0), -SIGTERM) << demo->err();
    }

    XServer server(160, 90);
    RunFolder folder;
    for (const char* name : {"hall.fsh", "logo.png", "tune.ogg", "sync_scene.track"}) {
        folder.remove(name);
        ASSERT_EQ(mkfifo(folder.file(name).c_str(), 0600), 0) << name;
    }
    auto demo = startDemo(folder, server, {"orvanta", ChildStdin::DevNull, "", true, {}});
    ASSERT_TRUE(demo->waitForStdout("; scene:", 60.0)) << "start-up held on a FIFO: " << demo->out();
    EXPECT_NE(demo->out().find("Opening shader file: hall.fsh"), std::string::npos);
    EXPECT_EQ(demo->err(), "Texture load fail : logo.png !!!!!!!!!!!!!!!!\n") << "as for a missing logo";

    demo->sendSignal(SIGTERM);
    EXPECT_EQ(demo->waitExit(60.0).value_or(0), -SIGTERM);

    // With the music playing, Escape ends the run before another frame.
    RunFolder playing;
    auto quitting = startDemo(playing, server, {"orvanta", ChildStdin::DevNull, "", true, {}});
    ASSERT_TRUE(quitting->waitForStdout("; scene:", 60.0));
    pressKeys(server.display(), {"Escape"});
    ASSERT_EQ(quitting->waitExit(60.0).value_or(-1), 0);
    const StatusLines lines = statusLines(quitting->out());
    ASSERT_FALSE(lines.rows.empty());
    for (int32_t row : lines.rows) EXPECT_GE(row, 0) << "a frame drawn on the freed music";
}

// 11. Every tool reads only regular files, and only up to a size that fits
// what it reads: a FIFO, a device or a huge file is refused at once, by name.
TEST(Hardening, ToolsReadOnlyRegularFilesOfBoundedSize)
{
    TempDir dir;
    ASSERT_EQ(mkfifo(dir.file("fifo").c_str(), 0600), 0);
    dir.write("huge", "");
    fs::resize_file(dir.file("huge"), 200u << 20); // sparse: no disk taken
    fs::create_directory(dir.file("tracks"));
    ASSERT_EQ(mkfifo(dir.file("tracks/sync_a.track").c_str(), 0600), 0);
    for (const std::string& input : {dir.file("fifo"), std::string("/dev/zero"), std::string("/dev/urandom"),
                                     dir.file("huge")}) {
        for (const auto& [name, args] :
             {std::pair<std::string, std::vector<std::string>>{"tunegen", {input, "-o", dir.file("t.ogg")}},
              {"synctool", {"build", input, "-o", dir.path()}},
              {"synctool", {"dump", input}},
              {"synctool", {"check", input}},
              {"logogen", {input, "-o", dir.file("l.png")}},
              {"orvanta-live", {"--data", ORVANTA_RUN_DIR, "--tracks", input}},
              {"orvanta-live", {"--data", ORVANTA_RUN_DIR, "--score", input}}}) {
            SCOPED_TRACE(name + " " + args[0] + " " + input);
            const ToolRun r = tool(name, args, 20.0);
            EXPECT_EQ(r.status, 1) << r.err;
            EXPECT_NE((r.out + r.err).find(input + ": cannot read: "), std::string::npos) << r.out << r.err;
        }
    }
    const ToolRun r = tool("synctool", {"sample", dir.file("tracks"), "a", "0"}, 20.0);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find(dir.file("tracks/sync_a.track") + ": cannot read: not a regular file"), std::string::npos)
        << r.err;
    EXPECT_FALSE(fs::exists(dir.file("t.ogg")));
    EXPECT_FALSE(fs::exists(dir.file("l.png")));
}

// 12. An output is never one of the inputs, however it is spelled, and names
// made from options stay inside the output folder.
TEST(Hardening, OutputsNeverOverwriteInputsNorLeaveTheirFolder)
{
    TempDir dir;
    const std::string score = "song\n  tempo 122\n  rows 16\nend\ninstrument t\n  osc sine\nend\n"
                              "pattern p 16\n  C-4\nend\norder c t\n  p\nend\n";
    dir.write("s.score", score);
    fs::create_symlink(dir.file("s.score"), dir.file("link.ogg"));
    fs::copy_file(font, dir.file("font.ttf"));
    dir.write("sync_a.track", "track a\n  0 1 step\n");
    RunFolder data;
    const std::string logo = readFile(data.file("logo.png")), tune = readFile(data.file("tune.ogg"));
    struct Case {
        std::string name;
        std::vector<std::string> args;
        std::string output, input;
    };
    for (const Case& c : std::vector<Case>{
             {"tunegen", {dir.file("s.score"), "-o", dir.path() + "/../" + fs::path(dir.path()).filename().string() +
                                                        "/s.score"}, "s.score", dir.file("s.score")},
             {"tunegen", {dir.file("s.score"), "-o", dir.file("link.ogg")}, "link.ogg", dir.file("s.score")},
             {"logogen", {dir.file("font.ttf"), "-o", dir.path() + "/./font.ttf"}, "font.ttf", dir.file("font.ttf")},
             {"synctool", {"build", dir.file("sync_a.track"), "-o", dir.path()}, "sync_a.track", dir.file("sync_a.track")},
             {"orvanta-capture", {"--contact-sheet", data.file("logo.png"), "--data", data.path()}, "logo.png",
              data.file("logo.png")},
             {"orvanta-capture", {"--out", data.path() + "/./tune.ogg", "--data", data.path()}, "tune.ogg",
              data.file("tune.ogg")}}) {
        SCOPED_TRACE(c.name + " " + c.output);
        const ToolRun r = tool(c.name, c.args, 20.0);
        EXPECT_EQ(r.status, 2) << r.err;
        EXPECT_NE(firstLine(r.err).find(c.output), std::string::npos) << r.err;
        EXPECT_NE(firstLine(r.err).find(c.input), std::string::npos) << r.err;
    }
    EXPECT_EQ(readFile(dir.file("s.score")), score);
    EXPECT_EQ(readFile(dir.file("font.ttf")), readFile(font));
    EXPECT_EQ(readFile(dir.file("sync_a.track")), "track a\n  0 1 step\n");
    EXPECT_EQ(readFile(data.file("logo.png")), logo);
    EXPECT_EQ(readFile(data.file("tune.ogg")), tune);

    fs::create_directory(dir.file("out"));
    dir.write("a.tracks", "track a\n  0 1 step\n");
    for (const char* base : {"../escaped", "/tmp/escaped", "", "..", "."}) {
        SCOPED_TRACE(std::string("--base '") + base + "'");
        const ToolRun r = tool("synctool", {"build", dir.file("a.tracks"), "-o", dir.file("out"), "--base", base});
        EXPECT_EQ(r.status, 2) << r.err;
        EXPECT_NE(firstLine(r.err).find("--base"), std::string::npos) << r.err;
        EXPECT_EQ(tool("synctool", {"sample", dir.file("out"), "a", "0", "--base", base}).status, 2);
    }
    EXPECT_TRUE(fs::is_empty(dir.file("out")));
    EXPECT_FALSE(fs::exists(dir.file("escaped_a.track")));
    EXPECT_FALSE(fs::exists("/tmp/escaped_a.track"));
}

// 14. A capture killed outright (SIGKILL: no clean-up of its own) leaves
// its staging folder and its temporary video behind, and takes its
// children with it; the next capture sweeps both leftovers away.
TEST(Hardening, AKilledCapturesLeftoversGoWithTheNextOne)
{
    TempDir dir, temporary;
    const std::string demo = dir.file("glowy");
    ASSERT_EQ(tool("orvanta-new", {demo}).status, 0);
    ASSERT_EQ(tool("tunegen", {demo + "/demo.score", "-o", demo + "/tune.ogg"}).status, 0);
    const auto leftovers = [&] {
        std::vector<std::string> found;
        for (const std::string& folder : {temporary.path(), dir.path()}) {
            for (const auto& entry : fs::directory_iterator(folder)) {
                const std::string name = entry.path().filename().string();
                if (name.rfind("orvanta-capture-", 0) == 0 || name.find(".tmp-") != std::string::npos) found.push_back(name);
            }
        }
        return found;
    };
    const std::vector<std::string> command = {"env", "TMPDIR=" + temporary.path(), binary("orvanta-capture"), demo,
                                              "--out", dir.file("clip.mp4"), "--size", "166x96", "--fps", "10"};
    {
        ChildProcess capture({command, "", {}});
        ASSERT_TRUE(capture.waitFor([](const std::string&, const std::string& err) {
            return err.find(" frames ") != std::string::npos;
        }, 120.0)) << capture.err();
        capture.sendSignal(SIGKILL);
        EXPECT_EQ(capture.waitExit(60.0).value_or(0), -SIGKILL);
    }
    EXPECT_EQ(leftovers().size(), 2u);
    for (int waited = 0; waited < 100 && runningProcesses("ffmpeg", dir.file("clip.mp4")) > 0; ++waited) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    EXPECT_EQ(runningProcesses("ffmpeg", dir.file("clip.mp4")), 0) << "ffmpeg ends with the capture";

    std::vector<std::string> again = command;
    again.insert(again.end(), {"--to-row", "8"});
    const ToolRun next = runTool(again, 120.0);
    ASSERT_EQ(next.status, 0) << next.err;
    EXPECT_TRUE(fs::exists(dir.file("clip.mp4")));
    EXPECT_EQ(leftovers(), std::vector<std::string>{});
}
