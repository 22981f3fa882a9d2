// The track editor without a window: its text, its saves, its undo and the
// reader of commands on standard input, driven through the editor's hooks.
#include "command_lines.h"
#include "edit_history.h"
#include "editor.h"
#include "support/text_store_for.h"
#include "panel.h"
#include "track_document.h"
#include "waveform.h"

#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

const std::vector<std::string> names = {"scene", "gain.r", "gain.g", "lift.r", "cam.rot.y"};

// An editor of `path` with the row where a test puts it, and what it said.
struct Editing {
    explicit Editing(const std::string& path, const std::vector<std::string>& trackNames = names)
    {
        EditorHooks hooks;
        hooks.row = [this] { return row; };
        hooks.moveTo = [this](double to) { row = to; };
        hooks.setPaused = [](bool) {};
        hooks.keysChanged = [this](const std::string& name, const TextTrack* track) {
            keyCounts[name] = track ? static_cast<int>(track->keys.size()) : -1;
        };
        hooks.valueAt = [this](const std::string& name) {
            const TextTrack* track = editor->document().find(name);
            float value = 0;
            for (size_t k = 0; track && k < track->keys.size() && track->keys[k].row <= row; ++k) {
                value = track->keys[k].value;
            }
            return value;
        };
        hooks.say = [this](const std::string& line) { said += line + "\n"; };
        hooks.showError = [this](const std::string& key, const std::string& line) {
            if (line.empty()) errors.erase(key);
            else errors[key] = line;
        };
        editor = std::make_unique<TrackEditor>(textStoreFor(path), trackNames, hooks);
    }
    double row = 0;
    std::string said;
    std::map<std::string, std::string> errors;
    std::map<std::string, int> keyCounts;
    std::unique_ptr<TrackEditor> editor;
};

bool parses(const std::string& text)
{
    std::vector<TextTrack> tracks;
    TextError error;
    return parseTrackText(text, "t.tracks", tracks, error);
}

} // namespace

// An empty text is a tracks text; one the parser refuses is refused, and
// every way of editing after it works on what the editor holds, never a
// crash.
TEST(TrackEditor, LoadsAnyTextTheParserTakesAndRefusesTheRestWithoutACrash)
{
    const std::vector<std::pair<std::string, bool>> texts = {
        {"", true},
        {"\xef\xbb\xbftrack scene\n  0 1 step\n", false},
        {"track scene\n  0 1 step\n  0 2 step\n", false},
        {std::string("track scene\n  0 1 step\0\n", 24), false},
        {"track gain.r\n  0 1 code:7\n", true},
    };
    for (const auto& [text, good] : texts) {
        SCOPED_TRACE(text);
        TempDir folder;
        folder.write("t.tracks", text);
        Editing edit(folder.file("t.tracks"));
        EXPECT_EQ(edit.editor->reload(), good) << edit.said;
        EXPECT_EQ(edit.editor->diskRejected(), !good);
        edit.row = 4;
        for (const char* command : {"key gain.r 0.5", "key scene 2 step", "interp gain.r smooth", "copy all 0 16",
                                    "paste all", "insert all 4", "remove all 4", "copy gain.r 0 8", "paste gain.r",
                                    "del gain.r", "undo", "redo", "undo", "key cam.rot.y -1"}) {
            edit.editor->run(command);
        }
        edit.editor->nudge(1, false);
        edit.editor->cycleInterpolation();
        edit.editor->moveKey(1);
        edit.editor->dragKey(5, 7, 0.25f, true);
        EXPECT_TRUE(parses(edit.editor->document().text())) << edit.editor->document().text();
        if (good) {
            ASSERT_TRUE(edit.editor->writeNow()) << edit.said;
            EXPECT_EQ(readFile(folder.file("t.tracks")), edit.editor->document().text());
        } else {
            // Edits wait; the file is as the maker left it.
            EXPECT_FALSE(edit.editor->writeNow());
            EXPECT_EQ(readFile(folder.file("t.tracks")), text);
        }
    }
}

// A file that does not parse is never written over: edits wait in memory
// until it parses (the saved file wins) or 'save' keeps it beside and
// writes; a link to something that is not a tracks text is never written
// through.
TEST(TrackEditor, NeverWritesOverAFileThatDoesNotParse)
{
    TempDir folder;
    const std::string good = "track gain.r\n  0 0.5 linear\n";
    folder.write("t.tracks", good);
    Editing edit(folder.file("t.tracks"));
    ASSERT_TRUE(edit.editor->reload());
    const std::string typo = "track gain.r\n  0 0.5 linaer\n";
    folder.write("t.tracks", typo);
    EXPECT_FALSE(edit.editor->reload());
    EXPECT_NE(edit.errors["t.tracks"].find("t.tracks:2:"), std::string::npos);
    ASSERT_TRUE(edit.editor->run("key gain.r 0.75"));
    edit.editor->tick();
    EXPECT_FALSE(edit.editor->writeNow());
    EXPECT_EQ(readFile(folder.file("t.tracks")), typo);

    // Mended outside: the saved file wins, undo brings the edit back.
    const std::string mended = "track gain.r\n  0 0.5 smooth\n";
    folder.write("t.tracks", mended);
    ASSERT_TRUE(edit.editor->reload());
    EXPECT_EQ(edit.editor->document().text(), mended);
    ASSERT_TRUE(edit.editor->undo());
    EXPECT_NE(edit.editor->document().text().find("0.75"), std::string::npos);

    // Broken again, and the maker says to save: the broken text is kept.
    folder.write("t.tracks", typo);
    EXPECT_FALSE(edit.editor->reload());
    ASSERT_TRUE(edit.editor->run("save")) << edit.said;
    EXPECT_EQ(readFile(folder.file("t.tracks.rejected")), typo);
    EXPECT_EQ(readFile(folder.file("t.tracks")), edit.editor->document().text());
    EXPECT_FALSE(edit.editor->diskRejected());
    // A second rejected text does not replace the first one kept.
    folder.write("t.tracks", typo + "#2\n");
    EXPECT_FALSE(edit.editor->reload());
    ASSERT_TRUE(edit.editor->save());
    EXPECT_EQ(readFile(folder.file("t.tracks.rejected")), typo);
    EXPECT_EQ(readFile(folder.file("t.tracks.rejected.2")), typo + "#2\n");
}

// A link to a file that is not a tracks text: the desktop's store writes the
// link's own place and leaves what it pointed at alone.
TEST(TrackEditor, ALinkToAnotherFileGivesWayAndItsTargetIsLeftAlone)
{
    TempDir folder;
    folder.write("notes.txt", "my notes\n");
    fs::create_symlink(folder.file("notes.txt"), folder.file("l.tracks"));
    Editing linked(folder.file("l.tracks"));
    EXPECT_FALSE(linked.editor->reload());
    ASSERT_TRUE(linked.editor->run("key gain.r 1"));
    EXPECT_FALSE(linked.editor->writeNow());
    EXPECT_EQ(readFile(folder.file("notes.txt")), "my notes\n");
    ASSERT_TRUE(linked.editor->save());
    EXPECT_EQ(readFile(folder.file("notes.txt")), "my notes\n");
    EXPECT_FALSE(fs::is_symlink(folder.file("l.tracks")));
    EXPECT_TRUE(parses(readFile(folder.file("l.tracks"))));
}

// Edits that cannot be written beside the text go to the state folder, then
// the temporary folder; a name taken beside it is passed over, not replaced.
TEST(TrackEditor, EditsThatCannotBeWrittenGoToAFileOfTheirOwn)
{
    TempDir folder, state;
    folder.write("t.tracks", "track gain.r\n  0 1 step\n");
    fs::create_directory(folder.file("t.tracks.unsaved"));
    Editing edit(folder.file("t.tracks"));
    ASSERT_TRUE(edit.editor->reload());
    ASSERT_TRUE(edit.editor->run("key gain.r 2"));
    EXPECT_EQ(edit.editor->writeUnsaved(), folder.file("t.tracks.unsaved.2"));
    EXPECT_TRUE(fs::is_directory(folder.file("t.tracks.unsaved")));

    // The text's folder gone: the state folder, made as needed.
    const std::string gone = folder.file("gone/t.tracks");
    Editing lost(gone);
    lost.editor->reload();
    ASSERT_TRUE(lost.editor->run("key gain.r 3"));
    EXPECT_FALSE(lost.editor->writeNow());
    const char* savedState = std::getenv("XDG_STATE_HOME");
    const char* savedTemporary = std::getenv("TMPDIR");
    setenv("XDG_STATE_HOME", state.path().c_str(), 1);
    const std::string kept = lost.editor->writeUnsaved();
    EXPECT_EQ(kept, state.file("orvanta/t.tracks.unsaved"));
    EXPECT_EQ(readFile(kept), lost.editor->document().text());
    // Nowhere at all: said as "".
    folder.write("a-file", "");
    setenv("XDG_STATE_HOME", folder.file("a-file").c_str(), 1);
    setenv("TMPDIR", folder.file("gone-too").c_str(), 1);
    EXPECT_EQ(lost.editor->writeUnsaved(), "");
    if (savedState) setenv("XDG_STATE_HOME", savedState, 1);
    else unsetenv("XDG_STATE_HOME");
    if (savedTemporary) setenv("TMPDIR", savedTemporary, 1);
    else unsetenv("TMPDIR");
}

// What an edit does not change keeps its bytes: an edit to the value a key
// has is none, identical keys pasted write nothing, tabs and CR LF stay,
// and an interpolation the names lack is written as the code it is.
TEST(TrackDocument, KeepsTheBytesOfWhatAnEditDoesNotChange)
{
    TempDir folder;
    const std::string text = "track gain.r\r\n\t0\t0.50\tlinear\r\n\t16\t1\tcode:7\r\n\t32\t2\tstep\r\n";
    folder.write("t.tracks", text);
    Editing edit(folder.file("t.tracks"));
    ASSERT_TRUE(edit.editor->reload());
    ASSERT_TRUE(edit.editor->run("key gain.r 0.5"));
    EXPECT_EQ(edit.editor->document().text(), text);
    EXPECT_FALSE(edit.editor->undo()) << "no step of undo for no change";
    ASSERT_TRUE(edit.editor->run("copy gain.r 0 32"));
    ASSERT_TRUE(edit.editor->run("paste gain.r"));
    EXPECT_EQ(edit.editor->document().text(), text);

    edit.row = 20;
    ASSERT_TRUE(edit.editor->run("key gain.r 0.25"));
    EXPECT_NE(edit.editor->document().text().find("\t16\t1\tcode:7\r\n\t20\t0.25\tcode:7\r\n"), std::string::npos)
        << edit.editor->document().text();
    edit.row = 8;
    ASSERT_TRUE(edit.editor->run("insert gain.r 4"));
    const std::string& after = edit.editor->document().text();
    EXPECT_EQ(after.rfind("track gain.r\r\n\t0\t0.50\tlinear\r\n\t20\t1\tcode:7\r\n", 0), 0u) << after;
    EXPECT_TRUE(parses(after));
    ASSERT_TRUE(edit.editor->run("key cam.rot.y 1"));
    // A new track is written in the text's own style: tabs, CR LF.
    EXPECT_NE(edit.editor->document().text().find("\r\ntrack cam.rot.y\r\n\t8\t1\tlinear\r\n"), std::string::npos)
        << edit.editor->document().text();
}

// The demo's own tracks hold keys past the last row: retiming and pasting
// in all tracks works around them, leaves them where they are, and says
// how many pasted keys fell past the end.
TEST(TrackEditor, RetimesAndPastesAroundKeysPastTheLastRow)
{
    TempDir folder;
    const std::string demo = readFile(std::string(ORVANTA_DATA_DIR) + "/tracks/demo.tracks");
    ASSERT_FALSE(demo.empty());
    folder.write("demo.tracks", demo);
    std::vector<TextTrack> before;
    TextError error;
    ASSERT_TRUE(parseTrackText(demo, "demo.tracks", before, error));
    Editing edit(folder.file("demo.tracks"));
    ASSERT_TRUE(edit.editor->reload());
    auto pastEnd = [&](const std::vector<TextTrack>& tracks) {
        std::vector<std::pair<std::string, int32_t>> out;
        for (const TextTrack& track : tracks) {
            for (const TrackKey& key : track.keys) {
                if (key.row > 1147) out.emplace_back(track.name, key.row);
            }
        }
        return out;
    };
    ASSERT_FALSE(pastEnd(before).empty());
    for (double row : {0.0, 512.0, 1100.0}) {
        edit.row = row;
        EXPECT_TRUE(edit.editor->run("remove all 4")) << edit.said;
        EXPECT_TRUE(edit.editor->run("insert all 4")) << edit.said;
    }
    edit.row = 0;
    ASSERT_TRUE(edit.editor->run("copy all 0 1147"));
    edit.row = 1120;
    edit.said.clear();
    ASSERT_TRUE(edit.editor->run("paste all")) << edit.said;
    EXPECT_NE(edit.said.find("fell past the last row"), std::string::npos) << edit.said;
    std::vector<TextTrack> after;
    ASSERT_TRUE(parseTrackText(edit.editor->document().text(), "demo.tracks", after, error)) << error.describe();
    EXPECT_EQ(pastEnd(after), pastEnd(before));
}

// A nudge writes the value to its step's precision; a typed value is
// written as it was typed.
TEST(TrackEditor, WritesValuesAtThePrecisionTheMakerSetThem)
{
    TempDir folder;
    folder.write("t.tracks", "track gain.r\n  0 -0.7 linear\n  64 0.3 linear\n");
    Editing edit(folder.file("t.tracks"));
    ASSERT_TRUE(edit.editor->reload());
    edit.editor->select("gain.r");
    edit.editor->nudge(-1, true); // a step of 0.1
    EXPECT_NE(edit.editor->document().text().find("  0 -0.8 linear\n"), std::string::npos)
        << edit.editor->document().text();
    edit.row = 32;
    ASSERT_TRUE(edit.editor->run("key gain.r 0.50"));
    EXPECT_NE(edit.editor->document().text().find("  32 0.50 linear\n"), std::string::npos);
    EXPECT_EQ(TrackEditor::valueText(-0.04, 0.1f), "0");
    EXPECT_EQ(TrackEditor::valueText(0.30000000000000004, 0.05f), "0.3");
    EXPECT_EQ(TrackEditor::valueText(1.0004, 0.005f), "1");
    EXPECT_EQ(TrackEditor::valueText(-12.345, 0.01f), "-12.35");
}

// Undo keeps each edit, not the text: three hundred edits of an 8 MiB text
// take kilobytes, and undoing them all gives back the same bytes.
TEST(EditHistory, KeepsTheEditsNotTheTexts)
{
    // A text of a megabyte: three hundred of them would be 300 MiB.
    std::string text(1 << 20, '#');
    const std::string original = text;
    EditHistory history;
    for (int i = 0; i < 300; ++i) {
        const std::string before = text;
        text.replace(static_cast<size_t>(i) * 1000, 6, std::to_string(100000 + i));
        history.remember(before, text);
    }
    EXPECT_EQ(history.undoSteps(), EditHistory::maxSteps);
    EXPECT_LT(history.bytes(), size_t(64) << 10);
    while (history.undo(text)) {
    }
    EXPECT_EQ(text.compare(44 * 1000, std::string::npos, original, 44 * 1000, std::string::npos), 0);
    EXPECT_EQ(text.substr(43 * 1000, 6), "100043");
    while (history.redo(text)) {
    }
    EXPECT_EQ(text.substr(299 * 1000, 6), "100299");
    // A step is refused on a text it did not leave.
    text = "other";
    EXPECT_FALSE(history.undo(text));
    EXPECT_EQ(text, "other");
}

// Standard input's commands come out a line at a time in time linear in
// their bytes; a line over the limit is dropped whole, never run in pieces.
TEST(CommandLines, CutsAFloodIntoLinesAndDropsOverlongOnesWhole)
{
    CommandLines lines;
    std::string flood;
    for (int i = 0; i < 300000; ++i) flood += "goto 5\n";
    const auto start = std::chrono::steady_clock::now();
    size_t count = 0, fed = 0;
    std::string line;
    for (;;) {
        if (lines.next(line)) {
            ASSERT_EQ(line, "goto 5");
            ++count;
            continue;
        }
        if (fed == flood.size()) break;
        ASSERT_TRUE(lines.wantsMore());
        const size_t n = std::min<size_t>(16384, flood.size() - fed);
        lines.feed(flood.data() + fed, n);
        fed += n;
    }
    EXPECT_EQ(count, 300000u);
    // Linear takes well under a second here; a reader that went over what it
    // holds again for every line would take hours: a bound far from both.
    EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 60.0);

    const std::string longLine = std::string(5000, 'x') + "goto 9\nkey gain.r 1\n";
    for (size_t at = 0; at < longLine.size(); at += 1000) {
        lines.feed(longLine.data() + at, std::min<size_t>(1000, longLine.size() - at));
        while (lines.next(line)) EXPECT_EQ(line, "key gain.r 1");
    }
    EXPECT_EQ(lines.takeDropped(), 1);
    EXPECT_EQ(lines.takeDropped(), 0);
}

// The overlay's glyphs are printable ASCII; anything else shows as '?'.
TEST(Overlay, ShowsOnlyPrintableCharacters)
{
    EXPECT_EQ(printableText(std::string("a\x01\xff\x80z\t", 6)), "a???z?");
    EXPECT_EQ(printableText("key gain.r 0.5"), "key gain.r 0.5");
}

// Markers are named rows kept in the text as comment lines: set, moved,
// reached with goto, taken away, undone, and read back from the file; the
// track parser passes over them. The help is the parser's own table.
TEST(TrackEditor, MarkersLiveInTheTextAndTheHelpIsTheParsersTable)
{
    TempDir folder;
    folder.write("t.tracks", "track gain.r\n  0 0.5 linear\n  64 1 linear\n");
    Editing edit(folder.file("t.tracks"));
    ASSERT_TRUE(edit.editor->reload());
    edit.row = 32;
    ASSERT_TRUE(edit.editor->run("mark drop"));
    ASSERT_TRUE(edit.editor->run("mark outro 8:0:0"));
    ASSERT_TRUE(edit.editor->run("key gain.r 0.75")); // a line inserted before the markers
    ASSERT_TRUE(edit.editor->run("mark drop 4:0:0"));
    EXPECT_EQ(edit.editor->document().text(),
              "track gain.r\n  0 0.5 linear\n  32 0.75 linear\n  64 1 linear\n#mark drop 4:0:0\n#mark outro 8:0:0\n");
    EXPECT_TRUE(parses(edit.editor->document().text()));
    edit.row = 0;
    ASSERT_TRUE(edit.editor->run("goto outro"));
    EXPECT_EQ(edit.row, 128);
    EXPECT_FALSE(edit.editor->run("goto nowhere"));
    EXPECT_FALSE(edit.editor->run("mark two#words"));
    EXPECT_FALSE(edit.editor->run("mark 12")) << "a name that reads as a row";
    EXPECT_FALSE(edit.editor->run("mark " + std::string(10000, 'm')));
    EXPECT_FALSE(edit.editor->run("mark late 9999"));
    ASSERT_TRUE(edit.editor->run("unmark drop"));
    EXPECT_EQ(edit.editor->document().marker("drop"), nullptr);
    ASSERT_TRUE(edit.editor->undo());
    ASSERT_NE(edit.editor->document().marker("drop"), nullptr);
    EXPECT_EQ(*edit.editor->document().marker("drop"), 64);
    ASSERT_TRUE(edit.editor->writeNow());

    // Read back from the file by a new editor, as after a restart.
    Editing again(folder.file("t.tracks"));
    ASSERT_TRUE(again.editor->reload());
    ASSERT_TRUE(again.editor->run("goto drop"));
    EXPECT_EQ(again.row, 64);

    // Every command of the table is in the help and is handled; a line the
    // table lacks is not a command.
    for (const EditorCommand& command : editorCommands()) {
        EXPECT_NE(editorCommandHelp().find(command.name), std::string::npos) << command.name;
        std::string line = command.name;
        for (int i = 0; i < command.least; ++i) line += i == 0 && command.name == std::string("mark") ? " m1" : " 1";
        again.said.clear();
        again.editor->run(line);
        EXPECT_EQ(again.said.find("not handled"), std::string::npos) << line << ": " << again.said;
    }
    EXPECT_FALSE(again.editor->run("jump 5"));
    EXPECT_NE(again.said.find("is not a command: goto POS|MARKER | key TRACK"), std::string::npos) << again.said;
}

// Keys selected across two tracks by a prefix and a span move by a beat,
// shift in value and scale in time as one edit each; exactly their lines
// change, and what would land on another key or leave the music is refused.
TEST(TrackEditor, ASelectionMovesShiftsAndScalesAsOneEdit)
{
    TempDir folder;
    const std::string text = "track gain.r\n  0 0.5 linear\n  16 1 linear\n  32 0.25 linear\n"
                             "track gain.g\n  16 2 step\n  40 3 step\n"
                             "track lift.r\n  16 9 linear\n";
    folder.write("t.tracks", text);
    Editing edit(folder.file("t.tracks"));
    ASSERT_TRUE(edit.editor->reload());
    EXPECT_FALSE(edit.editor->run("move 4")) << "nothing selected yet";
    ASSERT_TRUE(edit.editor->run("select gain.* 8 32"));
    EXPECT_NE(edit.said.find("selected 3 keys of 2 tracks"), std::string::npos) << edit.said;
    ASSERT_TRUE(edit.editor->run("move 4"));
    EXPECT_EQ(edit.editor->document().text(), "track gain.r\n  0 0.5 linear\n  20 1 linear\n  36 0.25 linear\n"
                                               "track gain.g\n  20 2 step\n  40 3 step\n"
                                               "track lift.r\n  16 9 linear\n");
    EXPECT_NE(edit.said.find("moved 3 keys by a beat"), std::string::npos);
    // Onto a key not selected: it is replaced, said, and undone with it.
    const std::string moved = edit.editor->document().text();
    ASSERT_TRUE(edit.editor->run("move 20"));
    EXPECT_NE(edit.editor->document().text().find("track gain.g\n  40 2 step\ntrack"), std::string::npos)
        << edit.editor->document().text();
    EXPECT_NE(edit.said.find("replaced 1 key (undo brings it back)"), std::string::npos) << edit.said;
    ASSERT_TRUE(edit.editor->undo());
    EXPECT_EQ(edit.editor->document().text(), moved);
    // Of the keys the undone move selected, only gain.g's row 40 (the key
    // the undo brought back) is still there to be selected.
    EXPECT_EQ(edit.editor->selection(), (std::vector<std::pair<std::string, int32_t>>{{"gain.g", 40}}));
    ASSERT_TRUE(edit.editor->run("select gain.* 8 36"));
    EXPECT_FALSE(edit.editor->run("move -30")) << "before the music";
    ASSERT_TRUE(edit.editor->run("shift 0.5"));
    EXPECT_NE(edit.editor->document().text().find("  20 1.5 linear\n  36 0.75 linear\n"), std::string::npos);
    edit.row = 20;
    ASSERT_TRUE(edit.editor->run("scale 2 1"));
    EXPECT_NE(edit.editor->document().text().find("  20 1.5 linear\n  52 0.75 linear\n"), std::string::npos)
        << edit.editor->document().text();
    EXPECT_NE(edit.editor->document().text().find("track gain.g\n  20 2.5 step\n  40 3 step\n"), std::string::npos);
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(edit.editor->undo());
    EXPECT_EQ(edit.editor->document().text(), text) << "each was one step of undo";
    ASSERT_TRUE(edit.editor->run("deselect"));
    EXPECT_FALSE(edit.editor->run("shift 1"));
    EXPECT_FALSE(edit.editor->run("select nothing.r 0 8"));
    ASSERT_TRUE(edit.editor->run("select all 0 1147"));
    EXPECT_NE(edit.said.find("selected 6 keys of 3 tracks"), std::string::npos);
}

// Rows are worked out without wrapping: a key scaled or moved past what a
// tracks text holds is refused and the text stays as it was; a marker the
// text puts before the music is said to be there, not gone to.
TEST(TrackEditor, RowsNeverWrapAndMarkersOutsideTheMusicAreRefused)
{
    TempDir folder;
    const std::string text = "track gain.r\n  0 0.5 linear\n  1431655806 1 step\n#mark early -5\n";
    folder.write("t.tracks", text);
    Editing edit(folder.file("t.tracks"));
    ASSERT_TRUE(edit.editor->reload());
    ASSERT_TRUE(edit.editor->run("select gain.r 1431655806 1431655806"));
    EXPECT_FALSE(edit.editor->run("scale 3 1"));
    EXPECT_NE(edit.said.find("would land past row 2147483647"), std::string::npos) << edit.said;
    EXPECT_FALSE(edit.editor->run("move 999999"));
    EXPECT_EQ(edit.editor->document().text(), text);

    edit.row = 100;
    edit.said.clear();
    EXPECT_FALSE(edit.editor->run("goto early"));
    EXPECT_NE(edit.said.find("marker early is at row -5, outside the music"), std::string::npos) << edit.said;
    EXPECT_EQ(edit.row, 100);
}

// Bulk edits on the demo as it ships: a selection moved onto keys it did
// not select replaces them (said, and undone as one), and a beat inserted
// anywhere pushes the last keys past the end of the music and keeps them
// there, so that removing it gives the text back byte for byte.
TEST(TrackEditor, BulkEditsWorkOnTheShippedDemo)
{
    TempDir folder;
    const std::string demo = readFile(std::string(ORVANTA_DATA_DIR) + "/tracks/demo.tracks");
    std::vector<TextTrack> tracks;
    TextError error;
    ASSERT_TRUE(parseTrackText(demo, "demo.tracks", tracks, error));
    std::vector<std::string> all;
    for (const TextTrack& track : tracks) all.push_back(track.name);
    folder.write("demo.tracks", demo);
    Editing edit(folder.file("demo.tracks"), all);
    ASSERT_TRUE(edit.editor->reload());

    ASSERT_TRUE(edit.editor->run("select gain.* 384 447"));
    ASSERT_TRUE(edit.editor->run("move 4")) << edit.said;
    EXPECT_NE(edit.said.find("; replaced "), std::string::npos) << edit.said;
    EXPECT_TRUE(parses(edit.editor->document().text()));
    ASSERT_TRUE(edit.editor->undo());
    EXPECT_TRUE(edit.editor->document().text() == demo);
    // A bar pasted over the next: the keys it replaced are counted.
    ASSERT_TRUE(edit.editor->run("copy gain.r 384 399"));
    edit.row = 400;
    edit.said.clear();
    ASSERT_TRUE(edit.editor->run("paste gain.r"));
    EXPECT_NE(edit.said.find("; replaced "), std::string::npos) << edit.said;
    ASSERT_TRUE(edit.editor->undo());
    EXPECT_TRUE(edit.editor->document().text() == demo);

    for (double row : {0.0, 500.0, 1100.0, 1144.0}) {
        edit.row = row;
        edit.said.clear();
        ASSERT_TRUE(edit.editor->run("insert all 4")) << "row " << row << ": " << edit.said;
        EXPECT_NE(edit.said.find("now lie past the end (row 1147), kept in the text"), std::string::npos) << edit.said;
        std::vector<TextTrack> inserted;
        ASSERT_TRUE(parseTrackText(edit.editor->document().text(), "demo.tracks", inserted, error));
        const TextTrack* gain = nullptr;
        for (const TextTrack& track : inserted) gain = track.name == "gain.r" ? &track : gain;
        ASSERT_NE(gain, nullptr);
        EXPECT_TRUE(std::any_of(gain->keys.begin(), gain->keys.end(), [](const TrackKey& k) { return k.row == 1148; }))
            << "gain.r's key at 1144 lies at 1148";
        ASSERT_TRUE(edit.editor->run("remove all 4")) << edit.said;
        EXPECT_TRUE(edit.editor->document().text() == demo) << "row " << row << ": not the text byte for byte";
    }
    // The whole demo pushed past its end, and back.
    edit.row = 0;
    ASSERT_TRUE(edit.editor->run("insert all 1147"));
    ASSERT_TRUE(edit.editor->run("remove all 1147"));
    EXPECT_TRUE(edit.editor->document().text() == demo);
}

// What the inspector and a recorded fader write: keys set live are one
// step of undo however many rows they cover; a copy keeps its shape across
// lanes; a new track takes the text's aligned bar:beat:row.
TEST(TrackEditor, LiveKeysPastesAcrossLanesAndNewTracksInTheTextsStyle)
{
    TempDir folder;
    const std::string text = "track gain.r\n  0:0:0      0.5      linear\n  1:0:0      1        linear\n"
                             "track gain.g\n  0:0:0      2        step\n";
    folder.write("t.tracks", text);
    Editing edit(folder.file("t.tracks"));
    ASSERT_TRUE(edit.editor->reload());
    ASSERT_TRUE(edit.editor->setKeyLive("gain.r", 4, 0.25f, true, 1));
    for (int row = 5; row < 12; ++row) ASSERT_TRUE(edit.editor->setKeyLive("gain.r", row, 0.3f, false, 1));
    ASSERT_TRUE(edit.editor->setKeyLive("gain.r", 4, 0.75f, false, 1)) << "a second pass writes over the first";
    EXPECT_NE(edit.editor->document().text().find("  0:1:0      0.75     linear\n  0:1:1      0.3      linear\n"),
              std::string::npos)
        << edit.editor->document().text();
    ASSERT_TRUE(edit.editor->undo());
    EXPECT_EQ(edit.editor->document().text(), text) << "one pass, one step of undo";

    ASSERT_TRUE(edit.editor->run("select gain.* 0 16"));
    ASSERT_TRUE(edit.editor->setInterpolationOfKeys(2));
    EXPECT_EQ(edit.editor->document().text().find("step"), std::string::npos) << edit.editor->document().text();
    ASSERT_TRUE(edit.editor->undo());

    // gain.r and gain.g copied from row 0 land on gain.g and lift.r at 32.
    ASSERT_TRUE(edit.editor->copySelection());
    edit.row = 32;
    ASSERT_TRUE(edit.editor->pasteShape("gain.g")) << edit.said;
    const std::string& pasted = edit.editor->document().text();
    EXPECT_NE(pasted.find("  2:0:0      0.5      linear\n  3:0:0      1        linear\n"), std::string::npos) << pasted;
    EXPECT_NE(pasted.find("track lift.r\n  2:0:0      2        step\n"), std::string::npos) << pasted;
    EXPECT_FALSE(edit.editor->pasteShape("cam.rot.y")) << "the shape would run past the last track";
    ASSERT_TRUE(edit.editor->undo());
    EXPECT_EQ(edit.editor->document().text(), text);
}

// The panel's waveform: the level (root mean square) of each quarter row,
// silence as nothing, and a render spliced in seen at once where it lands.
TEST(Loudness, PeaksByQuarterRowFollowASplice)
{
    const int rate = 8000;
    const double rowRate = 8.0; // 1000 frames a row
    std::vector<int16_t> samples(2 * 4000, 0);
    for (int f = 1000; f < 2000; ++f) samples[2 * f + 1] = static_cast<int16_t>(f % 2 ? 16384 : -16384);
    Loudness loud = loudnessOf(samples.data(), 4000, 2, rate, rowRate);
    ASSERT_EQ(loud.peaks.size(), 16u);
    EXPECT_EQ(loud.peak(0, 1), 0.0f);
    EXPECT_NEAR(loud.peak(1, 2), 0.5f, 1e-3);
    EXPECT_NEAR(loud.peak(0.5, 1.25), 0.5f, 1e-3) << "a span takes its loudest quarter";
    EXPECT_EQ(loud.peak(2, 4), 0.0f);
    EXPECT_EQ(loud.peak(10, 20), 0.0f) << "past the tune";
    std::vector<int16_t> loudPart(2 * 500, 32767);
    spliceLoudness(loud, 3000, loudPart.data(), 500);
    EXPECT_NEAR(loud.peak(3, 3.5), 1.0f, 1e-3);
    EXPECT_EQ(loud.peak(3.5, 4), 0.0f);
    std::vector<int16_t> quiet(2 * 1000, 0);
    spliceLoudness(loud, 1000, quiet.data(), 1000);
    EXPECT_EQ(loud.peak(1, 2), 0.0f) << "a quieter render replaces the peaks it covers";
    EXPECT_TRUE(loudnessOf(samples.data(), 4000, 2, rate, 0).empty());
}

// A box across the lanes takes a lane's keys where it reaches the lane's
// middle, so a box begun low in one lane does not take the lane above; a
// box inside one lane takes that lane's. The view stays put while the row
// moves inside it, turns the page as the music plays on past it, and
// centres a jump.
TEST(Panel, BoxesTakeTheLanesTheyReachAndTheViewFollowsOnlyALeavingRow)
{
    const std::vector<std::string> lanes = {"a", "b", "c"};
    TextTrack a{"a", {{10, 0, 1}}, 1}, b{"b", {{10, 0, 1}}, 2}, c{"c", {{10, 0, 1}}, 3};
    PanelFacts facts;
    facts.names = lanes;
    facts.keys = [&](int track) { return track == 0 ? &a : track == 1 ? &b : &c; };
    PanelView view;
    followRow(view, 8);
    const PanelLayout l = layoutPanel(960, 540, 8, view, lanes, panelFontSize(540));
    const float x0 = l.xOfRow(6), x1 = l.xOfRow(14);
    const float lowInA = l.lineTop(0) + l.lane * 0.8f, middleOfB = l.lineTop(1) + l.lane * 0.6f;
    EXPECT_EQ(keysInBox(l, facts, x0, lowInA, x1, middleOfB), (std::vector<std::pair<int, int>>{{1, 10}}));
    EXPECT_EQ(keysInBox(l, facts, x0, l.lineTop(2) + 2, x1, l.lineTop(2) + 5), (std::vector<std::pair<int, int>>{{2, 10}}));
    EXPECT_EQ(keysInBox(l, facts, x0, l.lineTop(0) + 2, x1, l.lineTop(2) + l.lane - 2).size(), 3u);

    EXPECT_DOUBLE_EQ(view.from, 8 - 32);
    followRow(view, 30);
    EXPECT_DOUBLE_EQ(view.from, -24) << "a row inside the view moves nothing";
    followRow(view, 41);
    EXPECT_NEAR(view.from, 41 - 64 / 20.0, 1e-9) << "played on past the end: the page turns";
    followRow(view, 600);
    EXPECT_DOUBLE_EQ(view.from, 600 - 32) << "a jump is centred";
    zoomView(view, 16, 600);
    EXPECT_DOUBLE_EQ(view.from, 600 - 8) << "zoomed about the row, which stays where it was";
}
