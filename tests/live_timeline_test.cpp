// orvanta-live's timeline end to end, in X servers of their own with real
// keys and the mouse: the playhead moves whenever the player plays, a click
// keeps the view where it is, the help covers the panel, the splitter gives
// the lanes room and is kept for the demo, a loop is dragged on the ruler,
// a fader pass is recorded as one edit, and keys are copied across lanes.
#include "demo/tracks.h"
#include "panel.h"

#include "support/child_process.h"
#include "support/live_player.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

const std::vector<std::string> trackNames(std::begin(demoTrackNames), std::end(demoTrackNames));
constexpr int gainR = 14, gainG = 15;

int lineOf(const PanelLayout& layout, int track)
{
    for (size_t line = 0; line < layout.lines.size(); ++line) {
        if (layout.lines[line].track == track) return static_cast<int>(line);
    }
    return -1;
}

// The panel of a 960x540 window with the gain tracks filtered, its view
// from `from` over 64 rows, its picture taking `split` of the height.
PanelLayout gainPanel(double from, double row, double split = 0.48)
{
    PanelView view;
    view.filter = "gain";
    view.placed = true;
    view.from = from;
    view.split = split;
    return layoutPanel(960, 540, row, view, trackNames, panelFontSize(540));
}

int middleOf(const PanelLayout& l, int line)
{
    return static_cast<int>(l.lineTop(line) + l.lane / 2);
}

LiveScreen bigScreen(const TempDir* state = nullptr)
{
    LiveScreen screen;
    screen.width = 960;
    screen.height = 540;
    if (state) screen.environment.emplace_back("XDG_STATE_HOME", state->path());
    return screen;
}

// A 960x540 player whose picture shows the gain track, editing `tracks`
// as t.tracks in a folder of its own, commands on its standard input, its
// state folder `state` where given.
struct GainTimeline {
    explicit GainTimeline(const std::string& tracks, const TempDir* state = nullptr)
    {
        writeTestScene(data, gainPass, showPassFour);
        text.write("t.tracks", tracks);
        live = start(state);
    }
    std::unique_ptr<LivePlayer> start(const TempDir* state = nullptr) const
    {
        return std::make_unique<LivePlayer>(data, std::vector<std::string>{"--tracks", file()}, ChildStdin::Pipe,
                                            std::vector<std::string>{}, bigScreen(state));
    }
    std::string file() const { return text.file("t.tracks"); }
    TempDir data, text;
    std::unique_ptr<LivePlayer> live;
};

// Waits until `text` is in the tracks text on disk.
bool fileHolds(LivePlayer& live, const std::string& path, const std::string& text)
{
    return live.process().waitFor([&](const std::string&, const std::string&) {
        return readFile(path).find(text) != std::string::npos;
    }, 30.0);
}

bool fileIs(LivePlayer& live, const std::string& path, const std::string& text)
{
    return live.process().waitFor([&](const std::string&, const std::string&) { return readFile(path) == text; }, 30.0);
}

// Waits until the frames after `mark` have shown more than `rows` rows (a
// loop's wrap included).
bool rowsMove(LivePlayer& live, size_t mark, int rows)
{
    return live.process().waitFor([&](const std::string&, const std::string&) {
        const std::vector<int> seen = live.rows(mark);
        return static_cast<int>(std::set<int>(seen.begin(), seen.end()).size()) > rows;
    }, 30.0);
}

// Puts the view where a jump to `row` centres it: the view moves only when
// the row leaves it, so the row goes far away for a frame first.
size_t centreOn(LivePlayer& live, int row)
{
    live.process().writeStdin("goto 600\n");
    live.press({});
    live.process().writeStdin("goto " + std::to_string(row) + "\n");
    return live.press({});
}

// Whether the splitter's bar is drawn across the window near height `y`.
bool splitterNear(const LivePlayer& live, float y)
{
    for (int at = static_cast<int>(y) - 2; at < static_cast<int>(y) + 8; ++at) {
        if (live.pixel(480, at) == 0x3c404a && live.pixel(40, at) == 0x3c404a) return true;
    }
    return false;
}

} // namespace

// A new folder's tune arrives while the player's own clock plays: the music
// takes over and the row goes on moving; Home goes back and plays on.
TEST(LiveTimeline, ThePlayheadMovesOnWhenTheTuneArrivesMidPlay)
{
    TempDir dir;
    const std::string demo = dir.file("glowy");
    const ToolRun made = runTool({binary("orvanta-new"), demo}, 20);
    ASSERT_EQ(made.status, 0) << made.err;
    ASSERT_FALSE(fs::exists(demo + "/tune.ogg"));
    // Looping, so that however long the render takes on a loaded machine,
    // the music has not run to its end when the tune arrives.
    LivePlayer live(dir, {demo, "--loop", "0:120"}, ChildStdin::Pipe);
    ASSERT_TRUE(live.started());
    size_t mark = live.waitFor("tune.ogg reloaded at row", 0, 120);
    ASSERT_NE(mark, std::string::npos) << live.process().out() << live.process().err();
    EXPECT_TRUE(rowsMove(live, mark, 6)) << "the row froze after the tune arrived: " << live.process().out().substr(mark);
    mark = live.press({"Home"});
    const std::vector<int> back = live.rows(mark);
    ASSERT_FALSE(back.empty());
    EXPECT_LT(back.front(), 8);
    EXPECT_TRUE(rowsMove(live, mark, 6)) << "after Home the row stays: " << live.process().out().substr(mark);
}

// At 960x540, paused: a click on a key away from the row leaves the view
// where it is, so a drag of four rows moves the key four rows; the ruler
// lands on whole rows (shift: between them); ctrl+arrows step one row;
// the help covers the panel whole.
TEST(LiveTimeline, AClickKeepsTheViewTheRulerAndCtrlArrowsLandOnRowsAndTheHelpCoversThePanel)
{
    const std::string original = "track scene\n  0 0 step\ntrack gain.r\n  0:0:0   0.5   step\n"
                                 "  1:0:0   0.5   step\n  4:0:0   0.5   step\n";
    GainTimeline timeline(original);
    LivePlayer& live = *timeline.live;
    ASSERT_TRUE(live.started());
    live.process().writeStdin("pause\nfilter gain\n");
    size_t mark = live.waitFor("tracks holding 'gain'", 0);
    ASSERT_NE(mark, std::string::npos) << live.process().out();
    mark = centreOn(live, 0);
    const XWindowId window = findWindow(live.display(), "orvanta-live", 30.0).window;
    ASSERT_NE(window, 0u);
    const PanelLayout l = gainPanel(-32, 0);
    const int line = lineOf(l, gainR);
    ASSERT_GE(line, 0);
    const int keyX = static_cast<int>(std::lround(l.xOfRow(16)));
    const float perRow = (l.xOfRow(64) - l.xOfRow(0)) / 64;
    dragMouse(live.display(), window, {{keyX, middleOf(l, line)}, {keyX + static_cast<int>(2 * perRow), middleOf(l, line)},
                                       {keyX + static_cast<int>(std::lround(4 * perRow)), middleOf(l, line)}});
    mark = live.waitFor("moved 1 keys by 4 rows", mark);
    ASSERT_NE(mark, std::string::npos) << live.process().out();
    EXPECT_TRUE(fileHolds(live, timeline.file(), "  1:1:0   0.5   step\n")) << readFile(timeline.file());

    // The ruler between rows 10 and 11: row 10 or 11, never between.
    const int rulerY = static_cast<int>(l.ruler.y0 + 4);
    dragMouse(live.display(), window, {{static_cast<int>(l.xOfRow(10.4)), rulerY}});
    mark = live.press({});
    ASSERT_FALSE(live.rows(mark).empty());
    EXPECT_EQ(live.rows(mark).back(), 10);
    mark = live.press({"ctrl+Right", "ctrl+Right", "ctrl+Right", "ctrl+Left"});
    ASSERT_FALSE(live.rows(mark).empty());
    EXPECT_EQ(live.rows(mark).back(), 12);

    // The help over the panel: nothing of the panel's row line shows
    // through it.
    mark = live.press({"h"});
    mark = live.press({});
    int through = 0;
    const std::vector<long> help = screenPixels(live.display(), 20, 40, 920, 480);
    for (long colour : help) through += colour == 0xff5046 ? 1 : 0;
    EXPECT_EQ(through, 0) << "the panel's row line shows through the help";
}

// `split 0.3` gives the panel at least twelve lanes at 960x540; the
// splitter dragged sets the share too, and a new run of the player on the
// same demo keeps it.
TEST(LiveTimeline, TheSplitterGivesTheLanesRoomAndIsKeptForTheDemo)
{
    PanelView view;
    view.split = 0.3;
    const PanelLayout roomy = layoutPanel(960, 540, 0, view, trackNames, panelFontSize(540));
    EXPECT_GE(roomy.shownLines, 12);
    EXPECT_GE(roomy.lane, 17.0f) << "lanes stay readable";

    TempDir state;
    GainTimeline timeline("track scene\n  0 0 step\n", &state);
    {
        LivePlayer& live = *timeline.live;
        ASSERT_TRUE(live.started());
        live.process().writeStdin("split 0.3\n");
        size_t mark = live.waitFor("the picture takes 0.30 of the height", 0);
        ASSERT_NE(mark, std::string::npos) << live.process().out();
        mark = live.press({});
        EXPECT_TRUE(splitterNear(live, roomy.splitter.y0));
        const XWindowId window = findWindow(live.display(), "orvanta-live", 30.0).window;
        dragMouse(live.display(), window, {{480, static_cast<int>(roomy.splitter.y0) + 3}, {480, 220}, {480, 243}});
        mark = live.waitFor("the picture takes 0.45 of the height", mark);
        ASSERT_NE(mark, std::string::npos) << live.process().out();
    }
    view.split = 0.45;
    const PanelLayout kept = layoutPanel(960, 540, 0, view, trackNames, panelFontSize(540));
    timeline.live.reset();
    const std::unique_ptr<LivePlayer> restarted = timeline.start(&state);
    LivePlayer& again = *restarted;
    ASSERT_TRUE(again.started());
    again.process().writeStdin("panel on\n");
    size_t mark = again.waitFor("the track panel shown", 0);
    ASSERT_NE(mark, std::string::npos);
    again.press({});
    EXPECT_TRUE(splitterNear(again, kept.splitter.y0));
    EXPECT_FALSE(splitterNear(again, roomy.splitter.y0));
    again.process().writeStdin("split 0.9\n");
    mark = again.waitFor("error: split takes the picture's share of the height, 0.2 to 0.8", mark);
    EXPECT_NE(mark, std::string::npos) << again.process().out();
}

// A loop dragged on the ruler's band holds the music inside it; a click on
// the band takes it away.
TEST(LiveTimeline, ALoopDraggedOnTheRulerHoldsTheMusic)
{
    GainTimeline timeline("track scene\n  0 0 step\n");
    LivePlayer& live = *timeline.live;
    ASSERT_TRUE(live.started());
    live.process().writeStdin("pause\nfilter gain\n");
    size_t mark = live.waitFor("tracks holding 'gain'", 0);
    mark = centreOn(live, 0);
    const XWindowId window = findWindow(live.display(), "orvanta-live", 30.0).window;
    const PanelLayout l = gainPanel(-32, 0);
    const int bandY = static_cast<int>((l.loopBand.y0 + l.loopBand.y1) / 2);
    dragMouse(live.display(), window, {{static_cast<int>(l.xOfRow(4)), bandY}, {static_cast<int>(l.xOfRow(10)), bandY},
                                       {static_cast<int>(l.xOfRow(16)), bandY}});
    mark = live.waitFor("loop 4 to 16", mark);
    ASSERT_NE(mark, std::string::npos) << live.process().out();
    live.process().writeStdin("play\n");
    mark = live.press({});
    ASSERT_TRUE(live.waitFrames(mark, 30));
    for (int row : live.rows(mark)) {
        EXPECT_GE(row, 4);
        EXPECT_LE(row, 16);
    }
    dragMouse(live.display(), window, {{static_cast<int>(l.xOfRow(10)), bandY}});
    mark = live.waitFor("loop off", mark);
    EXPECT_NE(mark, std::string::npos) << live.process().out();
}

// The inspector's slider held while the music plays writes a key at every
// row it passes, one step of undo; a second pass over the same rows writes
// over the first. Paused, a click on the slider sets the key at the row.
TEST(LiveTimeline, AFaderPassIsRecordedAsOneEditAndASecondPassReplacesIt)
{
    const std::string original = "track scene\n  0 0 step\ntrack gain.r\n  0:0:0   0.5   linear\n";
    GainTimeline timeline(original);
    LivePlayer& live = *timeline.live;
    ASSERT_TRUE(live.started());
    live.process().writeStdin("pause\nfilter gain\ninspector on\n");
    size_t mark = live.waitFor("the inspector shown", 0);
    ASSERT_NE(mark, std::string::npos) << live.process().out();
    mark = centreOn(live, 32);
    live.process().writeStdin("key gain.r 0.5\n");
    const XWindowId window = findWindow(live.display(), "orvanta-live", 30.0).window;
    PanelView view;
    view.filter = "gain";
    view.inspector = true;
    const InspectorPlaces places = inspectorPlaces(layoutPanel(960, 540, 32, view, trackNames, panelFontSize(540)));
    const int y = static_cast<int>((places.control.y0 + places.control.y1) / 2);
    const int x0 = static_cast<int>(places.control.x0) + 10, x1 = static_cast<int>(places.control.x1) - 10;

    // Paused: the slider sets gain.r's key at row 32.
    ASSERT_TRUE(fileHolds(live, timeline.file(), "  2:0:0   0.5 ")) << readFile(timeline.file());
    dragMouse(live.display(), window, {{x1, y}});
    EXPECT_TRUE(live.process().waitFor([&](const std::string&, const std::string&) {
        const std::string now = readFile(timeline.file());
        return now.find("  2:0:0   ") != std::string::npos && now.find("  2:0:0   0.5 ") == std::string::npos;
    }, 30.0)) << "the key took the slider's value: " << readFile(timeline.file());
    live.process().writeStdin("undo\n");
    ASSERT_TRUE(fileHolds(live, timeline.file(), "  2:0:0   0.5 "));
    const std::string beforePasses = readFile(timeline.file());

    // Playing: a pass of about two seconds.
    live.process().writeStdin("play\n");
    mark = live.press({});
    std::vector<std::pair<int, int>> pass;
    for (int step = 0; step < 20; ++step) pass.emplace_back(x0 + (x1 - x0) * step / 19, y);
    dragMouse(live.display(), window, pass);
    mark = live.waitFor("recorded gain.r at ", mark);
    ASSERT_NE(mark, std::string::npos) << live.process().out();
    const std::string& out = live.process().out();
    const int rows = std::atoi(out.c_str() + mark);
    EXPECT_GE(rows, 4) << out.substr(mark, 80);
    live.process().writeStdin("pause\n");
    live.waitFor("paused", mark);
    // Each row of the pass has its key: rows, and the key at row 0.
    std::vector<TextTrack> tracks;
    TextError error;
    std::string recorded;
    live.process().waitFor([&](const std::string&, const std::string&) {
        recorded = readFile(timeline.file());
        tracks.clear();
        return parseTrackText(recorded, "t.tracks", tracks, error) && tracks.size() == 2 &&
               static_cast<int>(tracks[1].keys.size()) >= rows + 1;
    }, 30.0);
    ASSERT_EQ(tracks.size(), 2u) << recorded;
    const std::vector<TrackKey>& keys = tracks[1].keys;
    ASSERT_GE(static_cast<int>(keys.size()), rows + 1) << recorded;
    for (size_t k = keys.size() - static_cast<size_t>(rows) + 1; k < keys.size(); ++k) {
        EXPECT_EQ(keys[k].row, keys[k - 1].row + 1) << "a key at every row passed: " << recorded;
    }
    const int firstRecorded = keys[keys.size() - static_cast<size_t>(rows)].row;
    const std::string afterPass = recorded;

    // A second pass from the same rows, the fader at its other end, writes
    // over the first: every row it says it passed holds its value.
    live.process().writeStdin("goto " + std::to_string(firstRecorded) + "\nplay\n");
    mark = live.press({});
    std::vector<std::pair<int, int>> second;
    // Each point away from the one before: xdotool waits for the pointer to
    // move.
    for (int step = 0; step < 20; ++step) second.emplace_back(x1 - 3 + step % 2, y);
    dragMouse(live.display(), window, second);
    mark = live.waitFor("recorded gain.r at ", mark);
    ASSERT_NE(mark, std::string::npos) << live.process().out();
    int from = -1, to = -1;
    ASSERT_EQ(std::sscanf(live.process().out().c_str() + live.process().out().find(" rows, ", mark), " rows, %d to %d", &from, &to), 2)
        << live.process().out().substr(mark, 80);
    EXPECT_LE(from, keys.back().row) << "the passes meet";
    live.process().writeStdin("pause\n");
    std::vector<TextTrack> again;
    std::string replaced;
    live.process().waitFor([&](const std::string&, const std::string&) {
        replaced = readFile(timeline.file());
        again.clear();
        if (replaced == afterPass || !parseTrackText(replaced, "t.tracks", again, error) || again.size() != 2) return false;
        // Written through to the pass's last row.
        float first = 0, last = -1e9f;
        for (const TrackKey& k : again[1].keys) {
            if (k.row == from) first = k.value;
            if (k.row == to) last = k.value;
        }
        return std::fabs(first - last) < 0.05f;
    }, 30.0);
    ASSERT_EQ(again.size(), 2u) << replaced;
    float high = -1e9f;
    for (const TrackKey& key : again[1].keys) high = key.row == from ? key.value : high;
    int passed = 0;
    for (const TrackKey& key : again[1].keys) {
        if (key.row < from || key.row > to) continue;
        ++passed;
        EXPECT_NEAR(key.value, high, 0.05f) << "row " << key.row << " kept the first pass: " << replaced;
    }
    EXPECT_EQ(passed, to - from + 1);
    for (const TrackKey& key : keys) {
        if (key.row >= from && key.row <= to && key.row == firstRecorded) EXPECT_LT(key.value, high - 0.2f);
    }
    // Two passes, two steps of undo, back to the text before them.
    live.process().writeStdin("undo\nundo\n");
    EXPECT_TRUE(fileIs(live, timeline.file(), beforePasses)) << readFile(timeline.file());
}

// Ctrl+C copies the selected keys, ctrl+V pastes them at the row onto the
// lane under the pointer, the selection's shape kept.
TEST(LiveTimeline, CtrlCAndCtrlVCopyKeysOntoTheLaneUnderThePointer)
{
    const std::string original = "track scene\n  0 0 step\ntrack gain.r\n  0:0:0   0.5   step\n"
                                 "  0:1:0   0.75  step\n";
    GainTimeline timeline(original);
    LivePlayer& live = *timeline.live;
    ASSERT_TRUE(live.started());
    live.process().writeStdin("pause\nfilter gain\n");
    size_t mark = centreOn(live, 16);
    live.process().writeStdin("select gain.r 0 4\n");
    mark = live.waitFor("selected 2 keys of 1 track", mark);
    ASSERT_NE(mark, std::string::npos) << live.process().out();
    const size_t beforeCopy = live.process().out().size();
    live.press({"ctrl+c"});
    mark = live.waitFor("copied 2 keys", beforeCopy);
    ASSERT_NE(mark, std::string::npos) << live.process().out();
    const XWindowId window = findWindow(live.display(), "orvanta-live", 30.0).window;
    const PanelLayout l = gainPanel(-32, 16);
    const int line = lineOf(l, gainG);
    ASSERT_GE(line, 0);
    ChildOptions move;
    move.argv = {"xdotool", "mousemove", "--window", std::to_string(window), "--sync", "40",
                 std::to_string(middleOf(l, line))};
    move.environment = {{"DISPLAY", live.display()}};
    ChildProcess(move).waitExit(30.0);
    mark = live.press({"ctrl+v"});
    EXPECT_TRUE(fileHolds(live, timeline.file(), "track gain.g\n  1:0:0   0.5   step\n  1:1:0   0.75  step\n"))
        << readFile(timeline.file());
}

// Four actions in a row leave one line over the picture, not a stack of
// them; the log keeps them all.
TEST(LiveTimeline, MessagesDoNotStackOverThePicture)
{
    TempDir data, text;
    writeTestScene(data, blankPass, solidColour("1.0, 0.0, 0.0"));
    text.write("t.tracks", "track scene\n  0 0 step\n");
    LivePlayer live(data, {"--tracks", text.file("t.tracks")}, ChildStdin::Pipe);
    ASSERT_TRUE(live.started());
    live.process().writeStdin("pause\nmark one\nmark two\nmark three\nmark four\n");
    size_t mark = live.waitFor("marker four at row", 0);
    ASSERT_NE(mark, std::string::npos) << live.process().out();
    live.press({});
    // The message box darkens the red picture at its bottom left.
    int dark = 0;
    for (int y = 60; y < 180; ++y) dark += red(live.pixel(12, y)) < 150 ? 1 : 0;
    EXPECT_GT(dark, 10) << "a message shows";
    EXPECT_LT(dark, 40) << "one line, not four";
    live.process().writeStdin("log\n");
    mark = live.waitFor("the log shown", mark);
    EXPECT_NE(mark, std::string::npos) << live.process().out();
}

// On a new folder's demo: the inspector shows the colour[...] parameter
// tint as a swatch of its colour at the row, and the slider[0, 0.6, 3]
// parameter glow as a slider whose grab stands at its value.
TEST(LiveTimeline, TheInspectorShowsAColourPickerAndASliderOverTheDeclaredRange)
{
    TempDir dir;
    const std::string demo = dir.file("glowy");
    ASSERT_EQ(runTool({binary("orvanta-new"), demo}, 20).status, 0);
    ASSERT_EQ(runTool({binary("tunegen"), demo + "/demo.score", "-o", demo + "/tune.ogg"}, 120).status, 0);
    LivePlayer live(dir, {demo}, ChildStdin::Pipe, {}, bigScreen());
    ASSERT_TRUE(live.started());
    live.process().writeStdin("pause\ngoto 0\ncopy tint.r 0 0\ninspector on\n");
    size_t mark = live.waitFor("the inspector shown", 0);
    ASSERT_NE(mark, std::string::npos) << live.process().out();
    live.press({});
    PanelView view;
    view.inspector = true;
    const InspectorPlaces places = inspectorPlaces(layoutPanel(960, 540, 0, view, {"scene"}, panelFontSize(540)));
    const int y = static_cast<int>((places.control.y0 + places.control.y1) / 2);
    // tint at row 0 is its first key: 1, 0.55, 0.2.
    int swatch = 0;
    for (int x = static_cast<int>(places.control.x0); x < places.control.x1; ++x) {
        const long c = live.pixel(x, y);
        swatch += std::abs(red(c) - 255) < 6 && std::abs(green(c) - 140) < 6 && std::abs(blue(c) - 51) < 6 ? 1 : 0;
    }
    EXPECT_GT(swatch, 4) << "no swatch of tint's colour";

    // glow at 4:0:0 is 2, two thirds of its declared range.
    live.process().writeStdin("goto 4:0:0\ncopy glow 0 0\n");
    mark = live.waitFor("copied", mark);
    live.press({});
    int grab = -1;
    for (int x = static_cast<int>(places.control.x0); x < places.control.x1 && grab < 0; ++x) {
        const long c = live.pixel(x, y);
        if (blue(c) > 200 && red(c) < 120) grab = x;
    }
    ASSERT_GE(grab, 0) << "no slider";
    EXPECT_NEAR((grab - places.control.x0) / places.control.width(), 2.0 / 3.0, 0.08);
}
