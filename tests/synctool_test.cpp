// synctool: the text form of tracks and the command-line tool on top of it.
#include "track_text.h"

#include "support/child_process.h"
#include "support/temp_dir.h"
#include "support/track_bytes.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace {

ToolRun synctool(std::vector<std::string> args, const std::string& cwd = "")
{
    args.insert(args.begin(), binary("synctool"));
    return runTool(args, 60.0, cwd);
}

std::vector<TextTrack> parse(const std::string& text)
{
    std::vector<TextTrack> tracks;
    TextError error;
    EXPECT_TRUE(parseTrackText(text, "t.tracks", tracks, error)) << error.describe();
    return tracks;
}

std::string parseError(const std::string& text)
{
    std::vector<TextTrack> tracks;
    TextError error;
    EXPECT_FALSE(parseTrackText(text, "t.tracks", tracks, error));
    return error.describe();
}

size_t filesIn(const std::string& path)
{
    size_t count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(path)) ++count;
    return count;
}

} // namespace

TEST(TrackText, PositionsValuesAndInterpolations)
{
    auto tracks = parse("# a comment\n"
                        "track cam.dist.x   # trailing comment\n"
                        "  0       1.0    step\n"
                        "  2:1:3  -2.5    linear\n"
                        "\n"
                        "  100     1e-3   smooth\n"
                        "  7:3:3   0.25   ramp\n"
                        "track scene\n"
                        "  -8      2.7    code:-1\n"
                        "  0:0:1   5      code:4\n");
    ASSERT_EQ(tracks.size(), 2u);
    EXPECT_EQ(tracks[0].name, "cam.dist.x");
    ASSERT_EQ(tracks[0].keys.size(), 4u);
    EXPECT_EQ(tracks[0].keys[1].row, 2 * 16 + 1 * 4 + 3);
    EXPECT_EQ(tracks[0].keys[1].value, -2.5f);
    EXPECT_EQ(tracks[0].keys[1].interpolation, Linear);
    EXPECT_EQ(tracks[0].keys[2].value, 1e-3f);
    EXPECT_EQ(tracks[0].keys[2].interpolation, Smooth);
    EXPECT_EQ(tracks[0].keys[3].row, 127);
    EXPECT_EQ(tracks[0].keys[3].interpolation, Ramp);
    EXPECT_EQ(tracks[1].keys[0].row, -8);
    EXPECT_EQ(tracks[1].keys[0].interpolation, -1);
    EXPECT_EQ(tracks[1].keys[1].row, 1);
    EXPECT_EQ(tracks[1].keys[1].interpolation, 4);
}

TEST(TrackText, ErrorsNameFileAndLine)
{
    EXPECT_EQ(parseError("track a\n 0 1 stepp\n"),
              "t.tracks:2: unknown interpolation 'stepp' (step, linear, smooth, ramp or code:N)");
    EXPECT_EQ(parseError("track a\n\n 0 one step\n"), "t.tracks:3: value 'one' is not a number");
    EXPECT_EQ(parseError("track a\n 0 1 step\n 16 1 step\n 1:0:0 2 step\n"),
              "t.tracks:4: rows out of order: row 16 does not come after row 16");
    EXPECT_EQ(parseError("track a\n 0 1 step\ntrack b\ntrack a\n"),
              "t.tracks:4: track 'a' is named twice (first on line 1)");
    EXPECT_EQ(parseError(" 0 1 step\n"), "t.tracks:1: key before the first 'track NAME' line");
    EXPECT_EQ(parseError("track a\n 1:4:0 1 step\n"),
              "t.tracks:2: position '1:4:0': a bar has 4 beats (0-3) and a beat 4 rows (0-3)");
    EXPECT_EQ(parseError("track a\n 3000000000 1 step\n"),
              "t.tracks:2: row '3000000000' is not a whole number in the 32-bit range");
    EXPECT_EQ(parseError("track a\n 0 1e40 step\n"), "t.tracks:2: value '1e40' is not a number");
    EXPECT_EQ(parseError("track ../escape\n"), "t.tracks:1: track name '../escape' cannot be part of a file name");
    EXPECT_EQ(parseError("track a\n 0 1\n"), "t.tracks:2: expected 'POSITION VALUE INTERPOLATION'");
    EXPECT_EQ(parseError("track a\n 0 1 code:128\n").substr(0, 34), "t.tracks:2: unknown interpolation ");

    // A name used in an earlier source is taken too.
    std::vector<TextTrack> tracks = parse("track shared\n");
    TextError error;
    EXPECT_FALSE(parseTrackText("track shared\n", "second.tracks", tracks, error));
    EXPECT_EQ(error.file, "second.tracks");
    EXPECT_EQ(tracks.size(), 1u);
}

TEST(TrackText, FormatParsesBackToTheSameKeys)
{
    std::vector<TextTrack> tracks = {
        {"a", {{-3, 0.1f, Step}, {0, 1.0f / 3.0f, Linear}, {37, -1e-40f, Smooth}, {1000000, 3.4e38f, Ramp}}, 0},
        {"b.c", {{5, 2.0f, -128}, {6, 0.0f, 127}}, 0},
    };
    std::vector<TextTrack> again = parse(formatTrackText(tracks));
    ASSERT_EQ(again.size(), 2u);
    for (size_t t = 0; t < tracks.size(); ++t) {
        EXPECT_EQ(again[t].name, tracks[t].name);
        ASSERT_EQ(again[t].keys.size(), tracks[t].keys.size());
        for (size_t k = 0; k < tracks[t].keys.size(); ++k) {
            EXPECT_EQ(again[t].keys[k].row, tracks[t].keys[k].row);
            EXPECT_EQ(std::memcmp(&again[t].keys[k].value, &tracks[t].keys[k].value, 4), 0);
            EXPECT_EQ(again[t].keys[k].interpolation, tracks[t].keys[k].interpolation);
        }
    }
}

TEST(TrackFileCheck, FindsWhatTheReaderWouldMend)
{
    std::vector<TrackFileProblem> problems;
    decodeTrackFile(trackCountBytes(2) + trackKeyBytes(0, 1, 0) + trackKeyBytes(16, 0.5f, 1), problems);
    EXPECT_TRUE(problems.empty());

    auto messages = [](const std::string& bytes) {
        std::vector<TrackFileProblem> found;
        decodeTrackFile(bytes, found);
        std::vector<std::string> out;
        for (const auto& p : found) out.push_back(std::to_string(p.key) + " " + p.message);
        return out;
    };
    EXPECT_EQ(messages(trackCountBytes(1) + trackKeyBytes(0, 1, 0) + "xy"),
              std::vector<std::string>{"-1 2 trailing bytes after the last key"});
    EXPECT_EQ(messages(trackCountBytes(3) + trackKeyBytes(0, 1, 0) + trackKeyBytes(4, 1, 0).substr(0, 5)),
              (std::vector<std::string>{"-1 count 3 beyond the file, which holds 1 complete keys",
                                        "-1 a key cut after 5 of its 9 bytes"}));
    EXPECT_EQ(messages(trackCountBytes(3) + trackKeyBytes(4, 1, 1) + trackKeyBytes(4, 1, 4) + trackKeyBytes(2, 0, 0)),
              (std::vector<std::string>{
                  "1 row 4 does not come after row 4 (the reader drops this key and all after it)",
                  "1 invalid interpolation code 4 (samples as 0.0 up to the next key)",
                  "2 row 2 does not come after row 4 (the reader drops this key and all after it)"}));
    EXPECT_EQ(messages(trackCountBytes(-2)), std::vector<std::string>{"-1 negative key count -2"});
    EXPECT_EQ(messages("ab"), std::vector<std::string>{"-1 file of 2 bytes holds no key count"});
}

TEST(Synctool, BuildWritesOneFilePerTrackByteForByte)
{
    TempDir dir;
    dir.write("a.tracks", "track scene\n  0 0 step\n  1:0:0 2.5 linear\n");
    dir.write("b.tracks", "track cam.dist.x\n  -4 1 smooth\n");
    ToolRun r = synctool({"build", dir.file("a.tracks"), dir.file("b.tracks"), "-o", dir.path()});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(readFile(dir.file("sync_scene.track")), trackCountBytes(2) + trackKeyBytes(0, 0.0f, 0) + trackKeyBytes(16, 2.5f, 1));
    EXPECT_EQ(readFile(dir.file("sync_cam.dist.x.track")), trackCountBytes(1) + trackKeyBytes(-4, 1.0f, 2));

    r = synctool({"build", dir.file("b.tracks"), "-o", dir.path(), "--base", "demo"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(readFile(dir.file("demo_cam.dist.x.track")), trackCountBytes(1) + trackKeyBytes(-4, 1.0f, 2));
}

TEST(Synctool, BadTextWritesNothingAndNamesFileAndLine)
{
    TempDir dir, out;
    dir.write("good.tracks", "track fine\n  0 1 step\n");
    dir.write("bad.tracks", "track broken\n  0 1 step\n  8 x linear\n");
    ToolRun r = synctool({"build", dir.file("good.tracks"), dir.file("bad.tracks"), "-o", out.path()});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, dir.file("bad.tracks") + ":3: value 'x' is not a number\n");
    EXPECT_EQ(filesIn(out.path()), 0u);

    dir.write("twice.tracks", "track fine\n  0 2 step\n");
    r = synctool({"build", dir.file("good.tracks"), dir.file("twice.tracks"), "-o", out.path()});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("twice.tracks:1: track 'fine' is named twice"), std::string::npos) << r.err;
    EXPECT_EQ(filesIn(out.path()), 0u);

    r = synctool({"build", dir.file("good.tracks"), "-o", out.path() + "/no/such/folder"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(filesIn(out.path()), 0u) << "no temporary file is left behind";
}

TEST(Synctool, DumpThenBuildGivesTheSameBytes)
{
    TempDir dir, rebuilt;
    const std::string original = trackCountBytes(4) + trackKeyBytes(-3, 0.1f, 0) + trackKeyBytes(0, 1.0f / 3.0f, 1) + trackKeyBytes(37, 7e-42f, 2) +
                                 trackKeyBytes(123456, -2.0f, -1);
    dir.write("sync_cam.rot.y.track", original);
    dir.write("sync_logosync.track", trackCountBytes(1) + trackKeyBytes(0, 1.0f, 3));
    ToolRun dumped = synctool({"dump", dir.file("sync_cam.rot.y.track"), dir.file("sync_logosync.track")});
    ASSERT_EQ(dumped.status, 0) << dumped.err;
    EXPECT_NE(dumped.out.find("track cam.rot.y\n"), std::string::npos);
    EXPECT_NE(dumped.out.find("track logosync\n"), std::string::npos);
    rebuilt.write("dumped.tracks", dumped.out);
    ToolRun built = synctool({"build", rebuilt.file("dumped.tracks"), "-o", rebuilt.path()});
    ASSERT_EQ(built.status, 0) << built.err << dumped.out;
    EXPECT_EQ(readFile(rebuilt.file("sync_cam.rot.y.track")), original);
    EXPECT_EQ(readFile(rebuilt.file("sync_logosync.track")), trackCountBytes(1) + trackKeyBytes(0, 1.0f, 3));
}

TEST(Synctool, CheckReportsEachProblemWithItsKey)
{
    TempDir dir;
    dir.write("sync_good.track", trackCountBytes(1) + trackKeyBytes(0, 1, 0));
    dir.write("sync_bad.track", trackCountBytes(5) + trackKeyBytes(0, 1, 0) + trackKeyBytes(0, 2, 7) + "abc");
    ToolRun clean = synctool({"check", dir.file("sync_good.track")});
    EXPECT_EQ(clean.status, 0);
    EXPECT_EQ(clean.out, dir.file("sync_good.track") + ": ok, 1 keys\n");

    ToolRun r = synctool({"check", dir.file("sync_good.track"), dir.file("sync_bad.track")});
    EXPECT_EQ(r.status, 1);
    const std::string bad = dir.file("sync_bad.track");
    EXPECT_NE(r.out.find(bad + ": count 5 beyond the file, which holds 2 complete keys\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find(bad + ": key 1: row 0 does not come after row 0"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find(bad + ": key 1: invalid interpolation code 7"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find(bad + ": a key cut after 3 of its 9 bytes"), std::string::npos) << r.out;
}

TEST(Synctool, SamplePrintsWhatTheDemoSees)
{
    TempDir dir;
    dir.write("t.tracks", "track fade\n  10 0 smooth\n  20 1 step\n");
    ASSERT_EQ(synctool({"build", dir.file("t.tracks"), "-o", dir.path()}).status, 0);
    ToolRun r = synctool({"sample", dir.path(), "fade", "9.999", "12.5", "19.5", "25"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "9.999\t0\n12.5\t0.15625\n19.5\t0.992749989\n25\t1\n");

    // The demo samples a missing track as 0; asked for by name, it is an error.
    for (const auto& [folder, track] : {std::pair{dir.path(), "nothing"}, std::pair{dir.file("nowhere"), "fade"}}) {
        const ToolRun missing = synctool({"sample", folder, track, "3"});
        EXPECT_EQ(missing.status, 1);
        EXPECT_EQ(missing.out, "");
        EXPECT_NE(missing.err.find(folder), std::string::npos) << missing.err;
    }
}

TEST(Synctool, UsageErrorsExitWithTwo)
{
    EXPECT_EQ(synctool({}).status, 2);
    EXPECT_EQ(synctool({"frobnicate"}).status, 2);
    EXPECT_EQ(synctool({"build", "x.tracks"}).status, 2);
    EXPECT_EQ(synctool({"sample", ".", "scene", "abc"}).status, 2);
    EXPECT_NE(synctool({"dump"}).err.find("Usage: synctool"), std::string::npos);
}

TEST(Synctool, RunFolderHoldsTheDemoTracks)
{
    const char* names[] = {"iGlobalTime", "scene", "close_blur", "far_blur", "cam.dist.x", "cam.dist.y",
                           "cam.dist.z", "cam.rot.x", "cam.rot.y", "cam.rot.z", "dir.rot.x", "dir.rot.y",
                           "dir.rot.z", "field_of_view", "gain.r", "gain.g", "gain.b", "gamma.r", "gamma.g",
                           "gamma.b", "lift.r", "lift.g", "lift.b", "saturation.r", "saturation.g",
                           "saturation.b", "light.x", "light.y", "light.z", "moveground", "logosync"};
    std::vector<std::string> files = {"check"};
    for (const char* name : names) files.push_back(std::string(ORVANTA_RUN_DIR) + "/sync_" + name + ".track");
    ToolRun r = synctool(files);
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(countOccurrences(r.out, ": ok, "), 31u);
}
