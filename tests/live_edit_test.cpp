// orvanta-live as the tracks' editor, end to end: commands on its standard
// input, keys and the mouse on its window, the picture read back, and the
// tracks text on disk followed byte for byte; and the text it edits.
#include "demo/tracks.h"
#include "editor.h"
#include "panel.h"
#include "track_document.h"

#include "support/live_player.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

// A player whose picture shows the gain track, editing `tracks` as
// t.tracks in a folder of its own, with commands on its standard input.
struct GainEditor {
    explicit GainEditor(const std::string& tracks, const std::vector<std::string>& prefix = {})
    {
        writeTestScene(data, gainPass, showPassFour);
        text.write("t.tracks", tracks);
        live = std::make_unique<LivePlayer>(data, std::vector<std::string>{"--tracks", text.file("t.tracks")},
                                            ChildStdin::Pipe, prefix);
    }
    TempDir data, text;
    std::unique_ptr<LivePlayer> live;
};

} // namespace

// An edit rewrites only the lines of the keys it changes, in the style of
// the keys around them; anything else stays byte for byte.
TEST(LiveEditing, TheDocumentChangesOnlyTheLinesOfTheKeysItEdits)
{
    const std::string text = "# the grade\ntrack scene\n  0 0 step\n\ntrack gain.r   # red\n"
                             "  0:0:0   0.5   smooth   # start\n  4:0:0   0.25  step\n";
    TrackDocument document;
    TextError error;
    ASSERT_TRUE(document.load(text, "t.tracks", error)) << error.describe();
    EXPECT_EQ(document.text(), text);
    std::string message;
    ASSERT_TRUE(document.setKey("gain.r", 32, 1.0f, -1, message)) << message;
    EXPECT_EQ(document.text(), "# the grade\ntrack scene\n  0 0 step\n\ntrack gain.r   # red\n"
                               "  0:0:0   0.5   smooth   # start\n  2:0:0   1     smooth\n  4:0:0   0.25  step\n");
    ASSERT_TRUE(document.setKey("gain.r", 0, 0.1f, 2, message));
    EXPECT_NE(document.text().find("  0:0:0   0.1   smooth   # start\n"), std::string::npos) << document.text();
    ASSERT_TRUE(document.setInterpolation("gain.r", 32, 1, message));
    ASSERT_TRUE(document.moveKey("gain.r", 32, 36, message));
    EXPECT_NE(document.text().find("  2:1:0   1     linear\n"), std::string::npos) << document.text();
    ASSERT_TRUE(document.removeKey("scene", 0, message));
    EXPECT_EQ(document.text().find("  0 0 step"), std::string::npos);
    // A track without keys, and a new one, take the text's own style.
    ASSERT_TRUE(document.setKey("scene", 8, 2.0f, -1, message));
    EXPECT_NE(document.text().find("track scene\n  0:2:0   2     linear\n"), std::string::npos) << document.text();
    ASSERT_TRUE(document.setKey("grade.lift", 16, 0.35f, 3, message));
    EXPECT_NE(document.text().find("\n\ntrack grade.lift\n  1:0:0   0.35  ramp\n"), std::string::npos) << document.text();

    // What the edits left in place is what the text parses to.
    std::vector<TextTrack> parsed;
    ASSERT_TRUE(parseTrackText(document.text(), "t.tracks", parsed, error)) << error.describe();
    ASSERT_EQ(parsed.size(), document.tracks().size());
    for (size_t t = 0; t < parsed.size(); ++t) {
        ASSERT_EQ(parsed[t].keys.size(), document.tracks()[t].keys.size()) << parsed[t].name;
        for (size_t k = 0; k < parsed[t].keys.size(); ++k) {
            EXPECT_EQ(parsed[t].keys[k].row, document.tracks()[t].keys[k].row);
            EXPECT_EQ(parsed[t].keys[k].value, document.tracks()[t].keys[k].value);
            EXPECT_EQ(parsed[t].keys[k].interpolation, document.tracks()[t].keys[k].interpolation);
        }
    }

    // Many keys in one edit: the first goes, the rest shift, one is new.
    TrackDocument retimed;
    ASSERT_TRUE(retimed.load(text, "t.tracks", error));
    ASSERT_TRUE(retimed.rewriteTrack("gain.r", {{16, 0.25f, 0}, {40, 0.75f, 2}}, {1, -1}, message)) << message;
    EXPECT_EQ(retimed.text(), "# the grade\ntrack scene\n  0 0 step\n\ntrack gain.r   # red\n"
                              "  1:0:0   0.25  step\n  2:2:0   0.75  smooth\n");

    const std::string before = document.text();
    const std::vector<std::function<bool()>> refusals = {
        [&] { return document.setKey("gain.r", -1, 1, -1, message); },
        [&] { return document.setKey("gain.r", 1148, 1, -1, message); },
        [&] { return document.setKey("gain.r", 4, std::nanf(""), -1, message); },
        [&] { return document.removeKey("gain.r", 5, message); },
        [&] { return document.moveKey("gain.r", 36, 80, message); },
        [&] { return document.setInterpolation("nothing", 0, 1, message); }};
    for (const auto& refused : refusals) {
        message.clear();
        EXPECT_FALSE(refused());
        EXPECT_FALSE(message.empty());
        EXPECT_EQ(document.text(), before);
    }
}

// Commands on standard input set, change and delete keys at the paused row:
// the picture follows on the next frames, the file gains exactly the key's
// line, and undo brings back the file byte for byte. Edits that cannot be
// written stay, and Escape twice keeps them beside the text.
TEST(Live, CommandsEditKeysTheFileFollowsAndUndoRestoresIt)
{
    const std::string original = "# the grade\ntrack scene\n  0 0 step\n\ntrack gain.r   # red\n"
                                 "  0:0:0   0.5   step   # start\n  4:0:0   0.5   step\n";
    GainEditor editing(original);
    LivePlayer& live = *editing.live;
    const TempDir& text = editing.text;
    ASSERT_TRUE(live.started());
    live.process().writeStdin("pause\ngoto 2:0:0\nkey gain.r 1.0\n");
    size_t mark = live.waitFor("gain.r: key 1 at row 32", 0);
    ASSERT_NE(mark, std::string::npos) << live.process().out() << live.process().err();
    ASSERT_TRUE(live.waitFrames(mark, 3));
    EXPECT_EQ(red(live.pixel(300, 170)), 255);
    mark = live.waitFor("t.tracks: written", mark);
    ASSERT_NE(mark, std::string::npos) << live.process().out();
    std::string expected = original;
    expected.insert(expected.find("  4:0:0"), "  2:0:0   1.0   step\n");
    EXPECT_EQ(readFile(text.file("t.tracks")), expected);

    live.process().writeStdin("interp gain.r linear\nkey gain.r nan\nkey gain.nothing 1\n");
    mark = live.waitFor("error: unknown track 'gain.nothing'", mark);
    ASSERT_NE(mark, std::string::npos) << live.process().out();
    EXPECT_NE(live.process().err().find("error: 'nan' is not a finite number"), std::string::npos);
    live.process().collect(1.5);
    expected.replace(expected.find("  2:0:0   1.0   step"), 20, "  2:0:0   1.0   linear");
    EXPECT_EQ(readFile(text.file("t.tracks")), expected);

    pressKeys(live.display(), {"x"});
    mark = live.waitFor("gain.r: key at row 32 deleted", mark);
    ASSERT_NE(mark, std::string::npos) << live.process().out();
    ASSERT_TRUE(live.waitFrames(mark, 3));
    EXPECT_NEAR(red(live.pixel(300, 170)), 128, 2);

    live.process().writeStdin("undo\nundo\nundo\n");
    mark = live.waitFor("undone (0 more)", mark);
    ASSERT_NE(mark, std::string::npos) << live.process().out();
    live.process().collect(1.5);
    EXPECT_EQ(readFile(text.file("t.tracks")), original) << "undo restores the file byte for byte";

    // A span pasted four bars on, then retimed by a bar in every track.
    live.process().writeStdin("copy gain.r 0:0:0 4:0:0\ngoto 8:0:0\npaste gain.r\ninsert all 16\n");
    mark = live.waitFor("insert 16 rows at row 128 in all", mark);
    ASSERT_NE(mark, std::string::npos) << live.process().out() << live.process().err();
    live.process().collect(1.5);
    EXPECT_EQ(readFile(text.file("t.tracks")),
              original + "  9:0:0   0.5   step\n  13:0:0  0.5   step\n");
    live.process().writeStdin("undo\nundo\n");
    mark = live.waitFor("undone (0 more)", mark);
    ASSERT_NE(mark, std::string::npos) << live.process().out();
    live.process().collect(1.5);
    EXPECT_EQ(readFile(text.file("t.tracks")), original);
    live.process().writeStdin("goto 2:0:0\n");

    // The text replaced by a folder: the edit stays on screen, not written.
    fs::remove(text.file("t.tracks"));
    fs::create_directory(text.file(".folder"));
    fs::rename(text.file(".folder"), text.file("t.tracks"));
    live.process().writeStdin("key gain.r 0.75\n");
    mark = live.waitFor("t.tracks: not written: ", mark);
    ASSERT_NE(mark, std::string::npos) << live.process().out();
    ASSERT_TRUE(live.waitFrames(mark, 3));
    EXPECT_NEAR(red(live.pixel(300, 170)), 191, 2) << "the edit holds";
    EXPECT_TRUE(live.showsError());
    pressKeys(live.display(), {"Escape"});
    mark = live.waitFor("edits not written: Escape again", mark);
    ASSERT_NE(mark, std::string::npos) << live.process().out();
    pressKeys(live.display(), {"Escape"});
    EXPECT_EQ(live.process().waitExit(60.0).value_or(-1), 0);
    EXPECT_NE(readFile(text.file("t.tracks.unsaved")).find("  2:0:0   0.75  step\n"), std::string::npos);
}

// An empty tracks text takes its first edit; shift+tab goes back a track;
// a line of commands too long to be one is dropped whole; and edits that
// cannot be written, with a folder planted where they would be kept, go
// beside it.
TEST(Live, AnEmptyTextTakesEditsAndTheKeysAndCommandLinesHold)
{
    GainEditor editing("");
    LivePlayer& live = *editing.live;
    const TempDir& text = editing.text;
    ASSERT_TRUE(live.started());
    live.process().writeStdin("pause\ngoto 2:0:0\nkey gain.r 1.0\n");
    size_t mark = live.waitFor("t.tracks: written", 0);
    ASSERT_NE(mark, std::string::npos) << live.process().out() << live.process().err();
    EXPECT_EQ(readFile(text.file("t.tracks")), "track gain.r\n  32 1.0 linear\n");

    mark = live.press({"Tab", "Tab", "shift+Tab"});
    std::vector<std::string> picked;
    std::istringstream said(live.process().out());
    for (std::string line; std::getline(said, line);) {
        const size_t at = line.find("] track ");
        if (at != std::string::npos) picked.push_back(line.substr(at + 8));
    }
    ASSERT_GE(picked.size(), 3u) << live.process().out();
    EXPECT_EQ(picked[picked.size() - 1], picked[picked.size() - 3]) << "shift+tab goes back";
    EXPECT_NE(picked[picked.size() - 1], picked[picked.size() - 2]);

    live.process().writeStdin(std::string(5000, 'x') + "key gain.r 0.25\ngoto 3:0:0\nkey gain.r 0.5\n");
    const size_t sent = mark;
    mark = live.waitFor("gain.r: key 0.5 at row 48", sent);
    ASSERT_NE(mark, std::string::npos) << "the lines after it run: " << live.process().out();
    mark = live.waitFor("1 line of commands over 4096 bytes dropped", sent);
    ASSERT_NE(mark, std::string::npos) << live.process().out();
    EXPECT_EQ(live.process().err().find("is not a command"), std::string::npos) << "no piece of it ran";
    EXPECT_EQ(live.process().out().find("key 0.25"), std::string::npos);

    fs::remove(text.file("t.tracks"));
    fs::create_directory(text.file("t.tracks"));
    fs::create_directory(text.file("t.tracks.unsaved"));
    live.process().writeStdin("key gain.r 0.75\n");
    mark = live.waitFor("t.tracks: not written: ", mark);
    ASSERT_NE(mark, std::string::npos) << live.process().out();
    pressKeys(live.display(), {"Escape"});
    mark = live.waitFor("edits not written: Escape again", mark);
    ASSERT_NE(mark, std::string::npos) << live.process().out();
    pressKeys(live.display(), {"Escape"});
    EXPECT_EQ(live.process().waitExit(60.0).value_or(-1), 0) << live.process().out();
    EXPECT_NE(live.process().out().find("edits kept in " + text.file("t.tracks.unsaved.2")), std::string::npos);
    EXPECT_NE(readFile(text.file("t.tracks.unsaved.2")).find("0.75"), std::string::npos);
}

// A flood of commands on standard input leaves the frame rate and the keys
// as they were: frames go on, and Escape quits at once.
TEST(Live, AFloodOfCommandsLeavesFramesAndKeys)
{
    TempDir data;
    writeTestScene(data, gainPass, showPassFour);
    LivePlayer live(data, {"--tracks", data.file("t.tracks")}, ChildStdin::DevNull,
                    {"bash", "-c", "yes 'goto 5' | \"$0\" \"$@\""});
    ASSERT_TRUE(live.started());
    const size_t mark = live.process().out().size();
    live.process().collect(3.0);
    EXPECT_GE(LivePlayer::frameLines(live.process().out(), mark), 15u) << "frames go on under the flood";
    pressKeys(live.display(), {"Escape"});
    EXPECT_EQ(live.process().waitExit(60.0).value_or(-1), 0);
}

namespace {

const std::vector<std::string> trackNames(std::begin(demoTrackNames), std::end(demoTrackNames));

// The panel as the player lays it out in a window of 960x540.
PanelLayout panelAt(double row, const std::string& filter = "")
{
    PanelView view;
    view.filter = filter;
    return layoutPanel(960, 540, row, view, trackNames, panelFontSize(540));
}

int lineOf(const PanelLayout& layout, int track)
{
    for (size_t line = 0; line < layout.lines.size(); ++line) {
        if (layout.lines[line].track == track) return static_cast<int>(line);
    }
    return -1;
}

} // namespace

// With the panel shown at 960x540: the picture keeps the space above it; a
// click on the strip moves the music, a click on a lane's name picks its
// track, a key dragged in the curve view moves in row and value, one step
// of undo; a box across two lanes selects their keys, which a beat's move
// takes, changing those key lines alone.
TEST(Live, ThePanelScrubsPicksTracksAndDragsKeys)
{
    const std::string original = "track scene\n  0 0 step\ntrack gain.r\n  0:0:0   0.5   step\n"
                                 "  2:0:0   0.5   step\n  4:0:0   0.5   step\ntrack gain.g\n  2:0:0   0     step\n"
                                 "  3:0:0   0     step\n";
    TempDir data, text;
    writeTestScene(data, gainPass, showPassFour);
    text.write("t.tracks", original);
    LiveScreen screen;
    screen.width = 960;
    screen.height = 540;
    LivePlayer live(data, {"--tracks", text.file("t.tracks")}, ChildStdin::Pipe, {}, screen);
    ASSERT_TRUE(live.started());
    live.process().writeStdin("pause\n");
    size_t mark = live.waitFor("paused", 0);
    mark = live.press({"t"});
    const XWindowId window = findWindow(live.display(), "orvanta-live", 30.0).window;
    ASSERT_NE(window, 0u);
    const PanelLayout start = panelAt(0);
    const int pictureX = static_cast<int>((start.picture.x0 + start.picture.x1) / 2);
    const int pictureY = static_cast<int>((start.picture.y0 + start.picture.y1) / 2);
    // The frame takes its new size over the next frames, however slowly
    // they come: the panel's first picture is waited for, frame by frame.
    for (int frame = 0; frame < 200 && red(live.pixel(pictureX, static_cast<int>(start.ruler.y0) + 2)) >= 100; ++frame) {
        ASSERT_TRUE(live.waitFrames(live.process().out().size(), 1));
    }
    EXPECT_EQ(red(live.pixel(pictureX, pictureY)), 128) << "the picture, whole, above the panel";
    EXPECT_EQ(live.pixel(2, 2), 0x16181c) << "beside the picture: the panel's colour";
    EXPECT_LT(red(live.pixel(pictureX, static_cast<int>(start.ruler.y0) + 2)), 100) << "the panel is opaque";

    // The strip: the middle of the window is the middle of the demo.
    const int stripY = static_cast<int>((start.strip.y0 + start.strip.y1) / 2);
    dragMouse(live.display(), window, {{480, stripY}});
    mark = live.press({});
    ASSERT_FALSE(live.rows(mark).empty());
    EXPECT_NEAR(live.rows(mark).back(), 1147.5 / 2, 1.5);

    // The name of gain.r's lane picks it, with the tracks filtered to gain.
    live.process().writeStdin("goto 2:0:0\nfilter gain\n");
    mark = live.waitFor("tracks holding 'gain'", mark);
    mark = live.press({});
    const PanelLayout here = panelAt(32, "gain");
    const int rLine = lineOf(here, 14), gLine = lineOf(here, 15);
    ASSERT_GE(rLine, 0);
    ASSERT_LT(gLine, here.firstLine + here.shownLines);
    dragMouse(live.display(), window, {{40, static_cast<int>(here.lineTop(rLine) + here.lane / 2)}});
    mark = live.waitFor("track gain.r", mark);
    ASSERT_NE(mark, std::string::npos) << live.process().out();

    // Where the key at row 32 stands in the curve view, and where 1.0 is.
    const TextTrack keys{"gain.r", {{0, 0.5f, 0}, {32, 0.5f, 0}, {64, 0.5f, 0}}, 0};
    PanelFacts facts;
    facts.names = trackNames;
    facts.selected = 14;
    facts.curves = {14};
    facts.keys = [&](int track) { return track == 14 ? &keys : nullptr; };
    facts.value = [](int, double) { return 0.5f; };
    const int keyX = static_cast<int>(std::lround(here.xOfRow(32)));
    int keyY = -1, oneY = -1;
    float nearest = 1.0f;
    for (int y = static_cast<int>(here.curve.y0); y < here.curve.y1; ++y) {
        const PanelHit hit = hitPanel(here, facts, static_cast<float>(keyX), static_cast<float>(y));
        if (hit.key == 32 && keyY < 0) keyY = y;
        if (std::fabs(hit.value - 1.0f) < nearest) {
            nearest = std::fabs(hit.value - 1.0f);
            oneY = y;
        }
    }
    ASSERT_GE(keyY, 0);
    ASSERT_GE(oneY, 0);
    const float perRow = here.lanes.width() / 64;
    dragMouse(live.display(), window, {{keyX, keyY + 3}, {keyX + static_cast<int>(2 * perRow), (keyY + oneY) / 2},
                               {keyX + static_cast<int>(4 * perRow), oneY}});
    mark = live.waitFor("gain.r: key dragged to row 36", mark);
    ASSERT_NE(mark, std::string::npos) << live.process().out();
    // Each step of the drag is written as it happens, so the last write may
    // come before or after the release is reported: wait for the file. The
    // value is the one at the pointer, to the track's step of 0.01.
    const std::string head = original.substr(0, original.find("  2:0:0")) + "  2:1:0   ";
    const std::string tail = original.substr(original.find("  4:0:0"));
    std::string dragged;
    live.process().waitFor([&](const std::string&, const std::string&) {
        dragged = readFile(text.file("t.tracks"));
        return dragged.rfind(head, 0) == 0;
    }, 30.0);
    ASSERT_EQ(dragged.substr(0, head.size()), head);
    EXPECT_EQ(dragged.substr(dragged.size() - std::min(dragged.size(), tail.size())), tail);
    const std::string line = dragged.substr(head.size(), dragged.size() - head.size() - tail.size());
    EXPECT_NEAR(std::strtod(line.c_str(), nullptr), 1.0, 0.02) << line;
    EXPECT_EQ(line.substr(line.find(' ')), std::string(6 - line.find(' '), ' ') + "step\n") << line;
    live.process().writeStdin("undo\n");
    mark = live.waitFor("undone (0 more)", mark);
    ASSERT_NE(mark, std::string::npos) << "the whole drag is one step: " << live.process().out();
    live.process().waitFor([&](const std::string&, const std::string&) {
        return readFile(text.file("t.tracks")) == original;
    }, 30.0);
    EXPECT_EQ(readFile(text.file("t.tracks")), original);

    // A box from before row 32 in gain.r's lane to after row 48 in gain.g's:
    // gain.r's key at 32 and gain.g's at 32 and 48, moved a beat by '>'.
    live.process().writeStdin("goto 2:0:0\n");
    mark = live.press({});
    const int boxTop = static_cast<int>(here.lineTop(rLine) + 2);
    const int boxBottom = static_cast<int>(here.lineTop(gLine) + here.lane - 2);
    dragMouse(live.display(), window, {{static_cast<int>(here.xOfRow(30)), boxTop},
                               {static_cast<int>(here.xOfRow(40)), (boxTop + boxBottom) / 2},
                               {static_cast<int>(here.xOfRow(50)), boxBottom}});
    mark = live.waitFor("selected 3 keys of 2 tracks", mark);
    ASSERT_NE(mark, std::string::npos) << live.process().out();
    pressKeys(live.display(), {"greater"});
    mark = live.waitFor("moved 3 keys by a beat", mark);
    ASSERT_NE(mark, std::string::npos) << live.process().out();
    const std::string moved = "track scene\n  0 0 step\ntrack gain.r\n  0:0:0   0.5   step\n"
                              "  2:1:0   0.5   step\n  4:0:0   0.5   step\ntrack gain.g\n  2:1:0   0     step\n"
                              "  3:1:0   0     step\n";
    live.process().waitFor([&](const std::string&, const std::string&) {
        return readFile(text.file("t.tracks")) == moved;
    }, 30.0);
    EXPECT_EQ(readFile(text.file("t.tracks")), moved);
}

// A marker set with the m key and a typed name is kept in the text as a
// comment line; a player started again on it shows it and goes to it.
TEST(Live, AMarkerIsKeptAcrossARestartAndReachedWithGoto)
{
    const std::string original = "track scene\n  0 0 step\ntrack gain.r\n  0:0:0   0.5   step\n";
    TempDir data, text;
    writeTestScene(data, gainPass, showPassFour);
    text.write("t.tracks", original);
    {
        LivePlayer live(data, {"--tracks", text.file("t.tracks")}, ChildStdin::Pipe);
        ASSERT_TRUE(live.started());
        live.process().writeStdin("pause\ngoto 5:2:0\n");
        size_t mark = live.waitFor("paused", 0);
        mark = live.press({});
        pressKeys(live.display(), {"m", "d", "r", "o", "p", "Return"});
        mark = live.waitFor("marker drop at row 88", mark);
        ASSERT_NE(mark, std::string::npos) << live.process().out();
        live.process().waitFor([&](const std::string&, const std::string&) {
            return readFile(text.file("t.tracks")) == original + "#mark drop 5:2:0\n";
        }, 30.0);
        EXPECT_EQ(readFile(text.file("t.tracks")), original + "#mark drop 5:2:0\n");
        // A name the text could not keep is refused, and nothing is written.
        live.process().writeStdin("mark two#words\nmark " + std::string(10000, 'x') + "\n");
        mark = live.waitFor("error: ", mark);
        ASSERT_NE(mark, std::string::npos) << live.process().out();
        live.process().collect(1.5);
        EXPECT_EQ(readFile(text.file("t.tracks")), original + "#mark drop 5:2:0\n");
        pressKeys(live.display(), {"Escape"});
        EXPECT_EQ(live.process().waitExit(60.0).value_or(-1), 0);
    }
    LivePlayer again(data, {"--tracks", text.file("t.tracks")}, ChildStdin::Pipe);
    ASSERT_TRUE(again.started());
    again.process().writeStdin("pause\ngoto drop\n");
    size_t mark = again.waitFor("at marker drop, row 88", 0);
    ASSERT_NE(mark, std::string::npos) << again.process().out();
    mark = again.press({});
    ASSERT_FALSE(again.rows(mark).empty());
    EXPECT_EQ(again.rows(mark).back(), 88);
}

// The help lists every command of the table the parser checks lines
// against, with its arguments, and every key; `help` prints it.
TEST(Live, TheHelpListsEveryCommandOfTheParsersTable)
{
    TempDir data;
    writeTestScene(data, gainPass, showPassFour);
    LivePlayer live(data, {}, ChildStdin::Pipe);
    ASSERT_TRUE(live.started());
    live.process().writeStdin("help\n");
    const size_t mark = live.waitFor("POS\ta row", 0);
    ASSERT_NE(mark, std::string::npos) << live.process().out();
    const std::string& out = live.process().out();
    for (const EditorCommand& command : editorCommands()) {
        const std::string usage = std::string(command.name) + (*command.arguments ? std::string(" ") + command.arguments : "");
        EXPECT_NE(out.find("] " + usage + "\t" + command.does), std::string::npos) << usage;
    }
    for (const char* key : {"] space\t", "] m\t", "] t\t", "] ctrl+z\t", "] escape\t", "] h, ?\t"}) {
        EXPECT_NE(out.find(key), std::string::npos) << key;
    }
}

namespace {

// A part of the screen, grey, dark on light and three times as large, as
// tesseract reads best: appended to a PGM image's rows.
void addScreenRows(const std::string& display, const PanelRect& r, std::string& rows, int& height)
{
    const int x = static_cast<int>(r.x0), y = static_cast<int>(r.y0);
    const int w = static_cast<int>(r.width()), h = static_cast<int>(r.height()), scale = 3;
    const std::vector<long> pixels = screenPixels(display, x, y, w, h);
    for (int row = 0; row < h * scale; ++row) {
        for (int column = 0; column < w * scale; ++column) {
            const long c = pixels[static_cast<size_t>(row / scale * w + column / scale)];
            rows.push_back(static_cast<char>(255 - (red(c) * 3 + green(c) * 6 + blue(c)) / 10));
        }
    }
    height += h * scale;
}

} // namespace

// At 960x540 the names in the dope sheet can be read: optical character
// recognition, page by page down the sheet, finds the demo's track names.
TEST(Live, TheTrackNamesCanBeReadAt960x540)
{
    TempDir data, scratch;
    LiveScreen screen;
    screen.width = 960;
    screen.height = 540;
    LivePlayer live(data, {}, ChildStdin::Pipe, {}, screen);
    ASSERT_TRUE(live.started());
    live.process().writeStdin("pause\n");
    live.waitFor("paused", 0);
    live.press({"t"});
    const XWindowId window = findWindow(live.display(), "orvanta-live", 30.0).window;
    ASSERT_NE(window, 0u);
    const PanelLayout layout = panelAt(0);
    ASSERT_GE(layout.shownLines, 3);
    PanelRect names = layout.names;
    names.x1 = layout.muteBox(0).x0 - 4;
    std::string rows;
    int height = 0;
    for (int first = 0; first < static_cast<int>(layout.lines.size()); first += layout.shownLines / 3 * 3) {
        addScreenRows(live.display(), names, rows, height);
        // The wheel over the names scrolls three lines a notch. (No --sync:
        // it waits for a move, and the pointer is there already after the
        // first page.)
        ChildOptions wheel;
        wheel.argv = {"xdotool", "mousemove", "--window", std::to_string(window), "40",
                      std::to_string(static_cast<int>(names.y0) + 10), "click", "--repeat",
                      std::to_string(layout.shownLines / 3), "--delay", "50", "5"};
        wheel.environment = {{"DISPLAY", live.display()}};
        ChildProcess xdotool(wheel);
        xdotool.waitExit(60.0);
        live.press({});
    }
    // The pages one under the other, read in one go.
    scratch.write("names.pgm", "P5 " + std::to_string(static_cast<int>(names.width()) * 3) + " " +
                                   std::to_string(height) + " 255\n" + rows);
    const ToolRun ocr = runTool({"env", "OMP_THREAD_LIMIT=1", "tesseract", scratch.file("names.pgm"), "-", "--psm", "6"}, 90.0);
    ASSERT_EQ(ocr.status, 0) << ocr.err;
    const std::string& read = ocr.out;
    int found = 0;
    std::string missing;
    for (const std::string& name : trackNames) {
        if (read.find(name) != std::string::npos) ++found;
        else missing += " " + name;
    }
    // Before the interface was redrawn, none were; recognition may still
    // misread a few.
    EXPECT_GE(found, 26) << "not read:" << missing << "\nread:\n" << read;
}

// On a full disk (files limited to 2 KiB) an edit holds on screen and in the
// picture, a red line says it is not written, and the file stays whole.
// Without --tracks, an edit says what it needs.
TEST(Live, AFullDiskKeepsTheEditAndSaysSo)
{
    const std::string original = "# " + std::string(3000, '=') + "\ntrack gain.r\n  0 0.5 step\n";
    GainEditor editing(original, {"bash", "-c", "ulimit -f 2; exec \"$@\"", "bash"});
    LivePlayer& live = *editing.live;
    const TempDir& text = editing.text;
    ASSERT_TRUE(live.started());
    live.process().writeStdin("pause\nkey gain.r 1\n");
    size_t mark = live.waitFor("t.tracks: not written: ", 0);
    ASSERT_NE(mark, std::string::npos) << live.process().out();
    EXPECT_NE(live.process().out().find("File too large; the edits are kept"), std::string::npos);
    ASSERT_TRUE(live.waitFrames(mark, 3));
    EXPECT_EQ(red(live.pixel(300, 170)), 255) << "the edit holds";
    EXPECT_TRUE(live.showsError());
    EXPECT_EQ(readFile(text.file("t.tracks")), original);

    LivePlayer plain(editing.data, {}, ChildStdin::Pipe);
    ASSERT_TRUE(plain.started());
    plain.process().writeStdin("key gain.r 1\n");
    EXPECT_NE(plain.waitFor("error: editing keys needs --tracks FILE.tracks", 0), std::string::npos)
        << plain.process().out();
}
