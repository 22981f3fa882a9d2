// A demo folder read into a description: Orvanta's own manifest against
// the executables' tables, parameters from the shaders' declarations, and
// manifests and shaders that cannot be played refused with file and line.
#include "render/demo_folder.h"

#include "demo_staging.h"
#include "files.h"
#include "tune_source.h"
#include "support/child_process.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>

namespace {

FileReader diskReader()
{
    return [](const std::string& path, std::string& bytes, std::string& error) {
        return readWholeFile(path, bytes, error, manifestFileLimit * 8);
    };
}

// A folder in memory: path -> text.
FileReader memoryReader(const std::map<std::string, std::string>& files)
{
    return [files](const std::string& path, std::string& bytes, std::string& error) {
        const auto found = files.find(path);
        if (found == files.end()) {
            error = path + ": cannot read: No such file or directory";
            return false;
        }
        bytes = found->second;
        return true;
    };
}

const char* const plainManifest = R"(name = "mine"
bpm = 120
end_row = 128
music = "music/mine.score"
tracks = "mine.tracks"
logo_text = "MINE"
final = "final.fsh"

[[scene]]
name = "one"
passes = ["one.fsh", "two.fsh", "three.fsh", "four.fsh"]
)";

std::map<std::string, std::string> plainFolder()
{
    return {{"d/demo.toml", plainManifest},
            {"d/test.vsh", "#version 330 core\nuniform mat4 transform;\n"},
            {"d/final.fsh", "uniform sampler2D iChannel0;\nuniform vec2 iResolution;\n"},
            {"d/one.fsh", "uniform float iGlobalTime;\n"},
            {"d/two.fsh", ""},
            {"d/three.fsh", ""},
            {"d/four.fsh", ""}};
}

std::vector<std::string> trackNames(const DemoFolder& demo)
{
    std::vector<std::string> names;
    for (const TrackDescription& t : demo.description.tracks) names.push_back(t.name);
    return names;
}

} // namespace

TEST(DemoFolder, OrvantasManifestDescribesWhatTheExecutablesBuildFromTheirTables)
{
    DemoFolder demo;
    std::string error;
    ASSERT_TRUE(readDemoFolder(ORVANTA_DATA_DIR, diskReader(), demo, error)) << error;
    EXPECT_TRUE(demo.notes.empty()) << demo.notes.front();
    const DemoDescription built = orvantaDescription();
    const DemoDescription& read = demo.description;
    EXPECT_DOUBLE_EQ(read.rowRate, built.rowRate);
    EXPECT_DOUBLE_EQ(read.endRow, built.endRow);
    EXPECT_EQ(read.vertexFile, built.vertexFile);
    EXPECT_EQ(read.finalPass, built.finalPass);
    ASSERT_EQ(read.scenes.size(), built.scenes.size());
    for (size_t s = 0; s < built.scenes.size(); ++s) {
        EXPECT_EQ(read.scenes[s].name, built.scenes[s].name);
        EXPECT_EQ(read.scenes[s].passes, built.scenes[s].passes) << "scene " << s;
    }
    for (size_t pass = 0; pass < built.inputs.size(); ++pass) {
        ASSERT_EQ(read.inputs[pass].size(), built.inputs[pass].size()) << "pass " << pass;
        for (size_t i = 0; i < built.inputs[pass].size(); ++i) {
            EXPECT_EQ(read.inputs[pass][i].sampler, built.inputs[pass][i].sampler);
            EXPECT_EQ(read.inputs[pass][i].image, built.inputs[pass][i].image);
        }
    }
    ASSERT_EQ(read.tracks.size(), built.tracks.size());
    for (size_t t = 0; t < built.tracks.size(); ++t) {
        const TrackDescription &a = read.tracks[t], &b = built.tracks[t];
        EXPECT_EQ(a.name, b.name) << "track " << t;
        EXPECT_EQ(a.uniform, b.uniform) << b.name;
        EXPECT_EQ(a.component, b.component) << b.name;
        EXPECT_EQ(a.passes, b.passes) << b.name;
        EXPECT_EQ(a.atHead, b.atHead) << b.name;
    }
    EXPECT_EQ(read.sceneTrack, built.sceneTrack);
    EXPECT_EQ(read.timeTrack, built.timeTrack);
    EXPECT_TRUE(sameDescription(read, built));
    for (auto change : {+[](DemoDescription& d) { d.tracks[5].atHead = false; },
                        +[](DemoDescription& d) { d.scenes[2].passes[1] = "hall_b.fsh"; },
                        +[](DemoDescription& d) { d.inputs[4].pop_back(); }, +[](DemoDescription& d) { d.endRow = 1148; }}) {
        DemoDescription other = built;
        change(other);
        EXPECT_FALSE(sameDescription(other, built));
    }
    EXPECT_EQ(demo.manifest.music, "music/orvanta.score");
    EXPECT_EQ(demo.manifest.tracks, "tracks/demo.tracks");
}

TEST(DemoFolder, ParametersAreTheShadersUniformsWithTheirRangesAndConflictsAreNoted)
{
    std::map<std::string, std::string> files = plainFolder();
    files["d/one.fsh"] = R"(#version 330 core
uniform vec2 iResolution;
uniform float iGlobalTime;
uniform sampler2D iChannel0;
uniform float glow; // slider[0, 0.5, 2]
uniform vec3 tint;  //! colour[1, 0.6, 0.2]
/* uniform float hidden; */
layout(location = 3) uniform highp vec2 drift, sway = vec2(0.0);
uniform mat3 turn;
uniform float weights[4];
uniform int count;
uniform float bad; // slider[2, 1]
)";
    files["d/four.fsh"] = "uniform float glow; // slider[0, 1, 3]\nuniform vec4 tint;\n";
    DemoFolder demo;
    std::string error;
    ASSERT_TRUE(readDemoFolder("d", memoryReader(files), demo, error)) << error;
    EXPECT_EQ(trackNames(demo), (std::vector<std::string>{"iGlobalTime", "scene", "glow", "tint.r", "tint.g", "tint.b",
                                                          "drift.x", "drift.y", "sway.x", "sway.y", "bad"}));
    const DemoDescription& d = demo.description;
    EXPECT_EQ(d.rowRate, 120 * 4 / 60.0);
    // glow is read by passes 1 and 4, as pass 1 declares it.
    EXPECT_EQ(d.tracks[2].uniform, "glow");
    EXPECT_EQ(d.tracks[2].component, -1);
    EXPECT_EQ(d.tracks[2].passes, (1u << 1) | (1u << 4));
    EXPECT_TRUE(demo.ranges[2].given);
    EXPECT_EQ(demo.ranges[2].low, 0);
    EXPECT_EQ(demo.ranges[2].initial[0], 0.5f);
    EXPECT_EQ(demo.ranges[2].high, 2);
    EXPECT_EQ(d.tracks[4].uniform, "tint");
    EXPECT_EQ(d.tracks[4].component, 1);
    EXPECT_EQ(demo.ranges[4].initial[0], 0.6f);
    EXPECT_FALSE(demo.ranges[6].given);
    EXPECT_TRUE(d.tracks[0].atHead && d.tracks[1].atHead);
    EXPECT_FALSE(d.tracks[2].atHead);
    // Said once each: the matrix, the array, the integer, the bad slider,
    // and glow and tint declared otherwise in pass 4.
    std::string said;
    for (const std::string& note : demo.notes) said += note + "\n";
    EXPECT_EQ(demo.notes.size(), 6u) << said;
    for (const char* part : {"d/one.fsh:9: uniform turn is a mat3", "d/one.fsh:10: uniform weights is a float[4]",
                             "d/one.fsh:11: uniform count is a int", "d/one.fsh: line 12: uniform bad: slider",
                             "d/four.fsh:1: uniform glow is declared otherwise at d/one.fsh:5",
                             "d/four.fsh:2: uniform tint is declared otherwise at d/one.fsh:6"}) {
        EXPECT_NE(said.find(part), std::string::npos) << part << "\n" << said;
    }

    // A [[track]] names a uniform's tracks, places them first and samples
    // them at the frame's head.
    files["d/demo.toml"] = std::string(plainManifest) +
                           "\n[[track]]\nname = \"wind\"\nuniform = \"drift\"\ncolour = true\nat_head = true\n";
    ASSERT_TRUE(readDemoFolder("d", memoryReader(files), demo, error)) << error;
    EXPECT_EQ(trackNames(demo), (std::vector<std::string>{"iGlobalTime", "scene", "wind.r", "wind.g", "glow", "tint.r",
                                                          "tint.g", "tint.b", "sway.x", "sway.y", "bad"}));
    EXPECT_TRUE(demo.description.tracks[2].atHead);
}

TEST(DemoFolder, WhatCannotBePlayedIsRefusedWithItsFileAndLine)
{
    const std::string head = "name = \"mine\"\nbpm = 120\nend_row = 128\nmusic = \"m.score\"\ntracks = \"t.tracks\"\n"
                             "final = \"final.fsh\"\n";
    const std::string scene = "[[scene]]\nname = \"one\"\npasses = [\"one.fsh\", \"two.fsh\", \"three.fsh\", \"four.fsh\"]\n";
    const struct {
        std::string manifest, error;
    } cases[] = {
        {"name = \"mine\"\nbpm = \n", "d/demo.toml:2: "},
        {"name = \"mine\"\n[# x]\n", "d/demo.toml:2: "},
        {head + "bmp = 3\n" + scene, "d/demo.toml:7: 'bmp' is not a key of a demo's manifest"},
        {"name = \"mine\"\nbpm = 0\nend_row = 128\n", "d/demo.toml:2: 'bpm' is a number from 1 to 999"},
        {"name = \"mine\"\nbpm = nan\nend_row = 128\n", "d/demo.toml:2: 'bpm' is a number from 1 to 999"},
        {"name = \"mine\"\nbpm = 10000\nend_row = 128\n", "d/demo.toml:2: 'bpm' is a number from 1 to 999"},
        {"name = \"mine\"\nbpm = \"fast\"\n", "d/demo.toml:2: 'bpm' is a number"},
        {"name = \"my demo\"\n", "d/demo.toml:1: a demo's name is"},
        {head, "d/demo.toml: a demo has one [[scene]] at least"},
        {head + "[[scene]]\nname = \"one\"\npasses = [\"a.fsh\", \"b.fsh\", \"c.fsh\"]\n",
         "d/demo.toml:9: scene 'one': 'passes' lists four shader files"},
        {head + scene + scene, "d/demo.toml:11: two scenes are named 'one'"},
        {head + "logo = \"l.png\"\nlogo_text = \"L\"\n" + scene, "d/demo.toml:8: a demo has a 'logo' or a 'logo_text'"},
        {head + "music2 = 1\n", "d/demo.toml:7: 'music2' is not a key"},
        {"name = \"mine\"\nbpm = 120\nend_row = 128\nmusic = \"m.mp3\"\n", "d/demo.toml:4: 'music' is a score"},
        {head + "vertex = \"/etc/passwd\"\n" + scene, "d/demo.toml:7: 'vertex' is a path inside the manifest's folder"},
        {head + "logo = \"../../outside_secret.txt\"\n" + scene, "d/demo.toml:7: 'logo' is a path inside"},
        {"name = \"mine\"\nbpm = 120\nend_row = 128\nmusic = \"m.score\"\ntracks = \"in/../../t.tracks\"\n",
         "d/demo.toml:5: 'tracks' is a path inside"},
        {head + "[[scene]]\nname = \"one\"\npasses = [\"one.fsh\", \"..\", \"three.fsh\", \"four.fsh\"]\n",
         "d/demo.toml:9: scene 'one': a pass is a path inside the manifest's folder"},
        {head + "version = \"1 beta\"\n" + scene, "d/demo.toml:7: a version is 1 to 32 letters"},
        {"a" + std::string(40, '.') + "b = 1\n", "d/demo.toml:1: keys, arrays and inline tables nest at most 32 deep"},
        {"x.y = " + std::string(33, '[') + std::string(33, ']') + "\n", "d/demo.toml:1: keys, arrays and inline tables"},
        {"a = { b = { c = { d = 1 } } }\n" + head, "d/demo.toml:1: 'a' is not a key"},
        {"caf\xC3\xA9 = 1\n" + head, "d/demo.toml:1: a character past ASCII outside a string or a comment"},
        {"\xEF\xBB\xBF# caf\xC3\xA9\n" + head + "logo_text = \"CAF\xC3\x89\"\n" + scene, ""},
        {head + scene + "[[track]]\nname = \"a..b\"\n", "d/demo.toml:11: 'a..b' is not a plain track name"},
        {head + scene + "[[track]]\nname = \"cam.dist\"\n", "d/demo.toml:11: track 'cam.dist': 'cam.dist' is not a "
                                                             "uniform's name; give 'uniform'"},
        {head + scene + "[[track]]\nname = \"a\"\n[[track]]\nname = \"a\"\n", "d/demo.toml:13: two [[track]] tables"},
        {head + scene + "[[track]]\nname = \"scene\"\nuniform = \"\"\n", ""},
    };
    for (const auto& c : cases) {
        std::map<std::string, std::string> files = plainFolder();
        files["d/demo.toml"] = c.manifest;
        DemoFolder demo;
        std::string error;
        const bool read = readDemoFolder("d", memoryReader(files), demo, error);
        if (c.error.empty()) {
            EXPECT_TRUE(read) << c.manifest << "\n" << error;
            continue;
        }
        EXPECT_FALSE(read) << c.manifest;
        EXPECT_EQ(error.rfind(c.error, 0), 0u) << c.manifest << "\n" << error;
    }

    // A shader that is not there, named as the reader names it.
    std::map<std::string, std::string> files = plainFolder();
    files.erase("d/three.fsh");
    DemoFolder demo;
    std::string error;
    EXPECT_FALSE(readDemoFolder("d", memoryReader(files), demo, error));
    EXPECT_EQ(error, "d/three.fsh: cannot read: No such file or directory");

    // Tracks past the bound, and a uniform whose track takes another's name.
    files = plainFolder();
    std::string many;
    for (int i = 0; i < 254; ++i) many += "uniform float p" + std::to_string(i) + ";\n";
    files["d/one.fsh"] = many;
    EXPECT_TRUE(readDemoFolder("d", memoryReader(files), demo, error)) << error;
    EXPECT_EQ(demo.description.tracks.size(), 256u);
    files["d/two.fsh"] = "uniform float extra;\n";
    EXPECT_FALSE(readDemoFolder("d", memoryReader(files), demo, error));
    EXPECT_EQ(error, "d/two.fsh:1: a demo has at most 256 tracks");
    files = plainFolder();
    files["d/one.fsh"] = "uniform float scene;\n";
    EXPECT_FALSE(readDemoFolder("d", memoryReader(files), demo, error));
    EXPECT_EQ(error, "d/one.fsh:1: two tracks are named 'scene'");

    // On disk: a FIFO and a manifest past the limit are not read.
    TempDir dir;
    ASSERT_EQ(mkdir((dir.path() + "/f").c_str(), 0700), 0);
    ASSERT_EQ(mkfifo((dir.path() + "/f/demo.toml").c_str(), 0600), 0);
    EXPECT_FALSE(readDemoFolder(dir.path() + "/f", diskReader(), demo, error));
    EXPECT_NE(error.find("demo.toml: cannot read: not a regular file"), std::string::npos) << error;
    ASSERT_EQ(mkdir((dir.path() + "/big").c_str(), 0700), 0);
    const int fd = open((dir.path() + "/big/demo.toml").c_str(), O_CREAT | O_WRONLY, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(ftruncate(fd, 100 << 20), 0);
    close(fd);
    EXPECT_FALSE(readDemoFolder(dir.path() + "/big", diskReader(), demo, error));
    EXPECT_NE(error.find("larger than"), std::string::npos) << error;
}

namespace {

std::vector<std::string> entries(const std::string& folder)
{
    std::vector<std::string> names;
    if (DIR* d = opendir(folder.c_str())) {
        while (const dirent* e = readdir(d)) {
            if (std::string(e->d_name) != "." && std::string(e->d_name) != "..") names.push_back(e->d_name);
        }
        closedir(d);
    }
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace

TEST(OrvantaNew, MakesAFolderThatReadsAsADemoAndRefusesAnythingThere)
{
    TempDir dir;
    const ToolRun made = runTool({binary("orvanta-new"), dir.file("glowy")}, 20);
    ASSERT_EQ(made.status, 0) << made.err;
    EXPECT_NE(made.out.find("made " + dir.file("glowy")), std::string::npos) << made.out;
    EXPECT_EQ(entries(dir.path()), std::vector<std::string>{"glowy"});
    DemoFolder demo;
    std::string error;
    ASSERT_TRUE(readDemoFolder(dir.file("glowy"), diskReader(), demo, error)) << error;
    EXPECT_TRUE(demo.notes.empty()) << demo.notes.front();
    EXPECT_EQ(demo.manifest.name, "glowy");
    EXPECT_EQ(demo.manifest.logoText, "GLOWY");
    EXPECT_EQ(trackNames(demo), (std::vector<std::string>{"iGlobalTime", "scene", "glow", "tint.r", "tint.g", "tint.b"}));
    EXPECT_TRUE(demo.ranges[2].given);
    EXPECT_EQ(demo.ranges[3].high, 1);
    // Its tracks text and score are what synctool and tunegen take.
    const ToolRun built = runTool({binary("synctool"), "build", dir.file("glowy/demo.tracks"), "-o", dir.path()}, 20);
    EXPECT_EQ(built.status, 0) << built.err;
    EXPECT_EQ(readFile(dir.file("sync_tint.g.track")).empty(), false);
    const ToolRun sound = runTool({binary("tunegen"), dir.file("glowy/demo.score"), "-o", dir.file("glowy.ogg")}, 120);
    EXPECT_EQ(sound.status, 0) << sound.err;

    // An empty folder is taken; a file, a link, a folder with anything in
    // it are not, and nothing is written beside them.
    TempDir other;
    ASSERT_EQ(mkdir(other.file("empty").c_str(), 0700), 0);
    EXPECT_EQ(runTool({binary("orvanta-new"), other.file("empty")}, 20).status, 0);
    EXPECT_EQ(entries(other.file("empty")).size(), 10u);
    other.write("file", "mine");
    ASSERT_EQ(mkdir(other.file("full").c_str(), 0700), 0);
    other.write("full/notes.txt", "mine");
    ASSERT_EQ(mkdir(other.file("blank").c_str(), 0700), 0);
    ASSERT_EQ(symlink(other.file("blank").c_str(), other.file("link").c_str()), 0);
    for (const char* name : {"file", "full", "link"}) {
        const ToolRun refused = runTool({binary("orvanta-new"), other.file(name)}, 20);
        EXPECT_EQ(refused.status, 1) << name;
        EXPECT_NE(refused.err.find(other.file(name) + ": "), std::string::npos) << refused.err;
    }
    EXPECT_EQ(entries(other.path()), (std::vector<std::string>{"blank", "empty", "file", "full", "link"}));
    EXPECT_EQ(entries(other.file("full")), std::vector<std::string>{"notes.txt"});
    EXPECT_TRUE(entries(other.file("blank")).empty());
    EXPECT_EQ(readFile(other.file("file")), "mine");

    EXPECT_EQ(runTool({binary("orvanta-new")}, 20).status, 2);
    EXPECT_EQ(runTool({binary("orvanta-new"), "a", "b"}, 20).status, 2);
    EXPECT_EQ(runTool({binary("orvanta-new"), "--frobnicate"}, 20).status, 2);
    const ToolRun help = runTool({binary("orvanta-new"), "--help"}, 20);
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.rfind("Usage: orvanta-new DIR", 0), 0u);
}

TEST(DemoFolder, TheMusicMustReachTheEndRowOnTheManifestsGrid)
{
    TempDir dir;
    const std::string demo = dir.file("glowy");
    ASSERT_EQ(runTool({binary("orvanta-new"), demo}, 20).status, 0);
    const std::string manifest = readFile(demo + "/demo.toml");
    const auto with = [&](const std::vector<std::pair<std::string, std::string>>& changes) {
        std::string text = manifest;
        for (const auto& [from, to] : changes) text.replace(text.find(from), from.size(), to);
        std::ofstream(demo + "/demo.toml", std::ios::trunc) << text;
        DemoFolder read;
        std::string error;
        EXPECT_TRUE(readDemoFolder(demo, diskReader(), read, error)) << error;
        return musicCoversDemo(read, error) ? std::string() : error;
    };
    EXPECT_EQ(with({}), "");
    EXPECT_EQ(with({{"end_row = 128", "end_row = 200"}}),
              demo + "/demo.toml: end_row 200 is past the music, which covers rows 0 to 128.0");
    EXPECT_EQ(with({{"bpm = 120", "bpm = 130"}}),
              demo + "/demo.toml: the score plays 120 BPM at 4 rows a beat, the manifest says 130 at 4");
    // An Ogg file covers as many rows as it lasts: Orvanta's tune, 144.6 s.
    std::filesystem::copy_file(std::string(ORVANTA_RUN_DIR) + "/tune.ogg", demo + "/music.ogg");
    const std::pair<std::string, std::string> ogg{"music = \"demo.score\"", "music = \"music.ogg\""};
    EXPECT_EQ(with({ogg}), "");
    const std::string longer = with({ogg, {"end_row = 128", "end_row = 1200"}});
    EXPECT_EQ(longer.rfind(demo + "/demo.toml: end_row 1200 is past the music, which covers rows 0 to 1157", 0), 0u)
        << longer;
}

// Every file a manifest names stays in its folder, links followed; the
// tune that ships is the render of the score as it is, whatever the files'
// dates; and the release's name is the manifest's as its reader reads it.
TEST(DemoFolder, ItsFilesStayInsideItAndWhatShipsIsWhatItsSourcesSay)
{
    TempDir dir;
    const std::string demo = dir.file("glowy");
    ASSERT_EQ(runTool({binary("orvanta-new"), demo}, 20).status, 0);
    dir.write("outside.tracks", "track glow\n  0 1 step\n");
    std::filesystem::rename(demo + "/demo.tracks", demo + "/inside.tracks");
    ASSERT_EQ(symlink(dir.file("outside.tracks").c_str(), (demo + "/demo.tracks").c_str()), 0);
    DemoFolder read;
    std::string error;
    EXPECT_FALSE(readDemoFolder(demo, diskReader(), read, error));
    EXPECT_EQ(error, demo + "/demo.toml: tracks: demo.tracks leads out of the demo's folder through a link; a demo takes "
                            "its files from inside its folder");
    // A link that stays inside is the folder's own.
    std::filesystem::remove(demo + "/demo.tracks");
    ASSERT_EQ(symlink("inside.tracks", (demo + "/demo.tracks").c_str()), 0);
    EXPECT_TRUE(readDemoFolder(demo, diskReader(), read, error)) << error;
    const std::string manifest = readFile(demo + "/demo.toml");
    std::ofstream(demo + "/demo.toml", std::ios::trunc) << "logo = \"../outside.tracks\"\n" << manifest;
    const ToolRun secret = runTool({binary("orvanta-stage"), demo, dir.file("staged")}, 60);
    EXPECT_EQ(secret.status, 1);
    EXPECT_NE(secret.err.find("'logo' is a path inside the manifest's folder"), std::string::npos) << secret.err;
    EXPECT_FALSE(std::filesystem::exists(dir.file("staged")));

    // A tune newer than its score but rendered from another is rendered
    // again, the render told as it goes; the render of the score as it is
    // ships as it is.
    std::string single = manifest;
    single.replace(single.find("name = \"glowy\""), 14, "name = 'glowy'\nversion = \"2.1\"");
    std::ofstream(demo + "/demo.toml", std::ios::trunc) << single;
    std::string score = readFile(demo + "/demo.score");
    ASSERT_EQ(runTool({binary("tunegen"), demo + "/demo.score", "-o", demo + "/tune.ogg"}, 120).status, 0);
    const std::string rendered = readFile(demo + "/tune.ogg");
    const size_t note = score.find("C-");
    ASSERT_NE(note, std::string::npos);
    score[note] = 'D';
    std::ofstream(demo + "/demo.score", std::ios::trunc) << score;
    const std::filesystem::file_time_type later = std::filesystem::last_write_time(demo + "/demo.score") +
                                                  std::chrono::hours(1);
    std::filesystem::last_write_time(demo + "/tune.ogg", later);
    const ToolRun staged = runTool({binary("orvanta-stage"), demo, dir.file("staged")}, 120);
    ASSERT_EQ(staged.status, 0) << staged.err;
    EXPECT_NE(staged.err.find("demo.score: rendering the tune, "), std::string::npos) << staged.err;
    EXPECT_TRUE(tuneRendersScore(dir.file("staged/tune.ogg"), score));
    EXPECT_NE(readFile(dir.file("staged/tune.ogg")), rendered);
    ASSERT_EQ(runTool({binary("tunegen"), demo + "/demo.score", "-o", demo + "/tune.ogg"}, 120).status, 0);
    const ToolRun again = runTool({binary("orvanta-stage"), demo, dir.file("again")}, 120);
    ASSERT_EQ(again.status, 0) << again.err;
    EXPECT_EQ(again.err.find("rendering"), std::string::npos) << again.err;
    EXPECT_EQ(readFile(dir.file("again/tune.ogg")), readFile(demo + "/tune.ogg"));

    const ToolRun named = runTool({binary("orvanta-stage"), "--name", demo}, 20);
    EXPECT_EQ(named.status, 0) << named.err;
    EXPECT_EQ(named.out, "glowy\n2.1\n");
}
