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

} // namespace

TEST(LiveFolder, ANewDemoTakesAParameterAndASecondSceneWhileItPlays)
{
    TempDir dir;
    const std::string demo = dir.file("glowy");
    ASSERT_EQ(runTool({binary("orvanta-new"), demo}, 20).status, 0);
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
    EXPECT_GT(red(live.pixel(306, 46)), 200);
}
