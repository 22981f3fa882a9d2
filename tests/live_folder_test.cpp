// The live player on a demo folder that orvanta-new made: a parameter
// declared in a shader becomes a lane whose keys go to the folder's tracks
// text, and a scene added to the manifest plays, all while it runs.
#include "support/child_process.h"
#include "support/live_player.h"

#include <chrono>
#include <cstdio>

namespace {

using Clock = std::chrono::steady_clock;

double millisecondsSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

void saveIn(const std::string& folder, const std::string& name, const std::string& text)
{
    const std::string temporary = folder + "/." + name + ".new";
    FILE* file = std::fopen(temporary.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    ASSERT_EQ(std::fwrite(text.data(), 1, text.size(), file), text.size());
    ASSERT_EQ(std::fclose(file), 0);
    std::filesystem::rename(temporary, folder + "/" + name);
}

// A new demo folder, glowy, in `dir`, its tune rendered first, so that no
// tune arrives (and is taken up by the music) while a test reads the
// picture. Its path, or "" when it could not be made.
std::string newDemoWithItsTune(const TempDir& dir)
{
    const std::string demo = dir.file("glowy");
    const ToolRun made = runTool({binary("orvanta-new"), demo}, 20);
    const ToolRun tune = runTool({binary("tunegen"), demo + "/demo.score", "-o", demo + "/tune.ogg"}, 120);
    EXPECT_EQ(made.status, 0) << made.err;
    EXPECT_EQ(tune.status, 0) << tune.err;
    return made.status == 0 && tune.status == 0 ? demo : "";
}

} // namespace

TEST(LiveFolder, ANewDemoTakesAParameterAndASecondSceneWhileItPlays)
{
    TempDir dir;
    const std::string demo = newDemoWithItsTune(dir);
    ASSERT_FALSE(demo.empty());
    LivePlayer live(dir, {demo}, ChildStdin::Pipe);
    ASSERT_TRUE(live.started());
    size_t mark = live.waitFor("demo.tracks: 6 of 6 tracks", 0);
    ASSERT_NE(mark, std::string::npos) << live.process().out() << live.process().err();
    live.process().writeStdin("pause\ngoto 3:0:0\n");
    mark = live.waitFor("paused", mark);
    ASSERT_NE(mark, std::string::npos) << live.process().out();

    // A uniform declared and saved is a track, its keys in the folder's text.
    std::string scene = readFile(demo + "/scene.fsh");
    scene.insert(scene.find("uniform vec3 tint;"), "uniform float wobble; // slider[0, 0.2, 1]\n");
    Clock::time_point saved = Clock::now();
    saveIn(demo, "scene.fsh", scene);
    mark = live.waitFor("scene.fsh: 1 scene (1 before), 7 tracks, new: wobble", mark);
    ASSERT_NE(mark, std::string::npos) << live.process().out() << live.process().err();
    const double toLane = millisecondsSince(saved);
    live.process().writeStdin("key wobble 0.5\n");
    mark = live.waitFor("demo.tracks: written", mark);
    ASSERT_NE(mark, std::string::npos) << live.process().out();
    EXPECT_NE(readFile(demo + "/demo.tracks").find("track wobble\n"), std::string::npos);

    // A second scene in the manifest: red sky where the first has a dark one
    // (seen at the right, clear of the messages and the tune's progress).
    mark = live.press({});
    const long first = live.pixel(306, 46);
    EXPECT_GT(blue(first), 60) << std::hex << first;
    std::string second = scene;
    const size_t sky = second.find("vec3 sky = ");
    second.replace(sky, second.find(';', sky) - sky, "vec3 sky = vec3(1.0, 0.0, 0.0)");
    saveIn(demo, "second.fsh", second);
    saved = Clock::now();
    saveIn(demo, "demo.toml",
           readFile(demo + "/demo.toml") +
               "\n[[scene]]\nname = \"second\"\npasses = [\"second.fsh\", \"trail.fsh\", \"focus.fsh\", \"grade.fsh\"]\n");
    mark = live.waitFor("2 scenes (1 before), 7 tracks", mark);
    ASSERT_NE(mark, std::string::npos) << live.process().out() << live.process().err();
    const double toScene = millisecondsSince(saved);
    live.process().writeStdin("key scene 1 step\n");
    mark = live.waitFor("scene: key 1 at row 48", mark);
    ASSERT_NE(mark, std::string::npos) << live.process().out();
    live.press({});
    const long shown = live.pixel(306, 46);
    EXPECT_GT(red(shown), 200) << std::hex << shown;
    EXPECT_LT(blue(shown), 60) << std::hex << shown;
    std::printf("a new uniform's lane %.0f ms after its shader's save; a new scene drawn %.0f ms after the manifest's\n",
                toLane, toScene);

    // A uniform taken out keeps its keys in the text, its lane read by nothing.
    for (const char* file : {"scene.fsh", "second.fsh"}) {
        std::string text = readFile(demo + "/" + file);
        const size_t line = text.find("uniform float wobble;");
        ASSERT_NE(line, std::string::npos) << file;
        text.erase(line, text.find('\n', line) + 1 - line);
        saveIn(demo, file, text);
    }
    mark = live.waitFor("6 tracks, read by nothing: wobble", mark);
    ASSERT_NE(mark, std::string::npos) << live.process().out() << live.process().err();
    live.process().writeStdin("key wobble 0.75\n");
    mark = live.waitFor("demo.tracks: written", mark);
    ASSERT_NE(mark, std::string::npos) << live.process().out();
    EXPECT_NE(readFile(demo + "/demo.tracks").find("track wobble\n"), std::string::npos);

    // A manifest that does not read keeps the demo as it was.
    saveIn(demo, "demo.toml", readFile(demo + "/demo.toml") + "bpm = 0\n");
    mark = live.waitFor("(the demo stays as it was)", mark);
    ASSERT_NE(mark, std::string::npos) << live.process().out();
    live.press({});
    EXPECT_GT(red(live.pixel(306, 46)), 200) << live.process().out().substr(mark);
}

// The player follows its manifest: a save naming another tracks text
// moves the edits there, one naming another score renders and watches that
// one, the files named before left as they are; a shader save that makes a
// demo no tool takes is said, and the demo stays as it was.
TEST(LiveFolder, TheManifestsFilesAreFollowedAndWhatNoToolTakesIsSaid)
{
    TempDir dir;
    const std::string demo = newDemoWithItsTune(dir);
    ASSERT_FALSE(demo.empty());
    LivePlayer live(dir, {demo}, ChildStdin::Pipe);
    ASSERT_TRUE(live.started());
    size_t mark = live.waitFor("demo.tracks: 6 of 6 tracks", 0);
    ASSERT_NE(mark, std::string::npos) << live.process().out() << live.process().err();

    const std::string scene = readFile(demo + "/scene.fsh");
    saveIn(demo, "scene.fsh", "uniform float scene;\n" + scene);
    mark = live.waitFor("two tracks are named 'scene' (the demo stays as it was)", mark);
    ASSERT_NE(mark, std::string::npos) << live.process().out();
    saveIn(demo, "scene.fsh", scene);
    // A manifest nested past any reader's bound, as a crash of the player
    // would have taken the maker's edits with it.
    std::string deep;
    for (int i = 0; i < 200000; ++i) deep += "x.";
    saveIn(demo, "demo.toml", deep + "y = 1\n" + readFile(demo + "/demo.toml"));
    mark = live.waitFor("nest at most 32 deep (the demo stays as it was)", mark);
    ASSERT_NE(mark, std::string::npos) << live.process().out();

    const std::string tracks = readFile(demo + "/demo.tracks");
    saveIn(demo, "other.tracks", tracks);
    std::string moved = readFile(demo + "/demo.toml").substr(deep.size() + 6);
    moved.replace(moved.find("tracks = \"demo.tracks\""), 22, "tracks = \"other.tracks\"");
    saveIn(demo, "demo.toml", moved);
    mark = live.waitFor("demo.toml: edits go to other.tracks now; " + demo + "/demo.tracks is left as it is", mark);
    ASSERT_NE(mark, std::string::npos) << live.process().out();
    live.process().writeStdin("key glow 0.25\n");
    mark = live.waitFor("other.tracks: written", mark);
    ASSERT_NE(mark, std::string::npos) << live.process().out();
    EXPECT_EQ(readFile(demo + "/demo.tracks"), tracks);
    EXPECT_NE(readFile(demo + "/other.tracks"), tracks);

    // Another score, its tune rendered already (as the folder's tune.ogg):
    // taken as it is, with nothing to render.
    std::string score = readFile(demo + "/demo.score");
    score[score.find("C-")] = 'D';
    saveIn(demo, "other.score", score);
    ASSERT_EQ(runTool({binary("tunegen"), demo + "/other.score", "-o", dir.file("other.ogg")}, 120).status, 0);
    std::filesystem::rename(dir.file("other.ogg"), demo + "/tune.ogg");
    moved.replace(moved.find("music = \"demo.score\""), 20, "music = \"other.score\"");
    saveIn(demo, "demo.toml", moved);
    mark = live.waitFor("demo.toml: the music is other.score now", mark);
    ASSERT_NE(mark, std::string::npos) << live.process().out();
    mark = live.waitFor("tune.ogg reloaded", mark);
    ASSERT_NE(mark, std::string::npos) << live.process().out();
    // The old score's saves are not the music's any more; the new one's are.
    saveIn(demo, "demo.score", readFile(demo + "/demo.score") + "\n");
    saveIn(demo, "other.score", score + "\n");
    const size_t next = live.waitFor("other.score: ", mark, 60.0);
    ASSERT_NE(next, std::string::npos) << live.process().out();
    EXPECT_EQ(live.process().out().find("demo.score", mark), std::string::npos) << live.process().out().substr(mark);
}

// A player killed outright leaves its staging folder; the next one sweeps
// it away, every file in it (the logo drawn from its text too).
TEST(LiveFolder, AKilledPlayersStagingGoesWithTheNextOne)
{
    TempDir dir, temporary;
    const std::string demo = newDemoWithItsTune(dir);
    ASSERT_FALSE(demo.empty());
    LiveScreen screen;
    screen.environment = {{"TMPDIR", temporary.path()}};
    std::string staging;
    {
        LivePlayer killed(dir, {demo}, ChildStdin::DevNull, {}, screen);
        ASSERT_TRUE(killed.started());
        staging = killed.staging();
        ASSERT_TRUE(std::filesystem::exists(staging + "/.logo-text.png")) << staging;
        killed.process().sendSignal(SIGKILL);
        killed.process().waitExit(60.0);
    }
    ASSERT_TRUE(std::filesystem::exists(staging + "/.logo-text.png"));
    LivePlayer next(dir, {demo}, ChildStdin::DevNull, {}, screen);
    ASSERT_TRUE(next.started());
    EXPECT_FALSE(std::filesystem::exists(staging));
}
