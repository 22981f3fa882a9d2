// The editor's keys (one table, a host's verbs behind it) and the view's
// commands, as every host runs them. Built for the desktop's suite and for
// the studio's program (through node) alike.
#include "editor.h"
#include "key_table.h"
#include "view_commands.h"

#include "support/temp_dir.h"
#include "support/text_store_for.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace {

const std::vector<std::string> names = {"scene", "gain.r", "gain.g", "lift.r", "cam.rot.y"};

// A host that keeps what each of its verbs was asked.
struct RecordingHost final : KeyHost {
    double at = 20;
    std::vector<std::string> asked;
    bool looping = false;
    double row() override { return at; }
    void moveTo(double row) override { at = row, asked.push_back("move " + std::to_string(static_cast<int>(row))); }
    void togglePause() override { asked.push_back("pause"); }
    double cutBefore(double) override { return 16; }
    double cutAfter(double) override { return 48; }
    std::vector<double> sections() override { return {0, 64, 128}; }
    void toggleSectionLoop() override { asked.push_back("section loop"); }
    void changeSpeed(int step) override { asked.push_back("speed " + std::to_string(step)); }
    void toggleOverlay() override { asked.push_back("overlay"); }
    void escape() override { asked.push_back("escape"); }
    void openPrompt(const std::string& text) override { asked.push_back("prompt '" + text + "'"); }
    void pasteUnderPointer() override { asked.push_back("paste under pointer"); }
    bool loop(double& from, double& to) override
    {
        from = 8;
        to = 11;
        return looping;
    }
    void togglePanel() override { asked.push_back("panel"); }
    void zoomRows(double factor) override { asked.push_back("zoom rows " + std::to_string(factor)); }
    void zoomValues(float factor) override { asked.push_back("zoom values " + std::to_string(factor)); }
    void toggleHelp() override { asked.push_back("help"); }
};

std::unique_ptr<TrackEditor> editorOf(const std::string& path, RecordingHost& host, std::string& said)
{
    EditorHooks hooks;
    hooks.row = [&host] { return host.at; };
    hooks.moveTo = [&host](double to) { host.at = to; };
    hooks.setPaused = [](bool) {};
    hooks.keysChanged = [](const std::string&, const TextTrack*) {};
    hooks.valueAt = [](const std::string&) { return 0.5f; };
    hooks.say = [&said](const std::string& line) { said += line + "\n"; };
    hooks.showError = [](const std::string&, const std::string&) {};
    hooks.view = [](const std::vector<std::string>&) { return true; };
    auto editor = std::make_unique<TrackEditor>(textStoreFor(path), names, hooks);
    editor->reload();
    return editor;
}

int keysOf(const TrackEditor& editor, const std::string& track)
{
    const TextTrack* keys = editor.document().find(track);
    return keys ? static_cast<int>(keys->keys.size()) : 0;
}

} // namespace

// Each key does to the text what its line in the help says, through the
// editor, and asks the host for the rest; a key the table lacks is not
// taken; the help lists every labelled key once, the mouse and every
// command.
TEST(EditorKeys, EachKeyEditsTheTextOrAsksItsHostAndTheHelpListsThemAll)
{
    TempDir folder;
    folder.write("t.tracks", "track gain.r\n  0 1 step\n  16 2 linear\n");
    RecordingHost host;
    std::string said;
    auto editor = editorOf(folder.file("t.tracks"), host, said);
    editor->select("gain.r");

    EXPECT_TRUE(pressEditorKey('\t', false, *editor, host));
    EXPECT_EQ(editor->selected(), "gain.g");
    EXPECT_TRUE(pressEditorKey('\t', true, *editor, host));
    EXPECT_EQ(editor->selected(), "gain.r");
    EXPECT_TRUE(pressEditorKey(specialKey(glutKey::up), false, *editor, host));
    EXPECT_EQ(keysOf(*editor, "gain.r"), 3) << "up nudges: a key at row 20";
    EXPECT_TRUE(pressEditorKey('i', false, *editor, host));
    EXPECT_TRUE(pressEditorKey(26, false, *editor, host)); // ctrl+z: the interpolation
    EXPECT_TRUE(pressEditorKey(26, false, *editor, host)); // ... and the nudge
    EXPECT_EQ(keysOf(*editor, "gain.r"), 2);
    EXPECT_TRUE(pressEditorKey(25, false, *editor, host)); // ctrl+y
    EXPECT_EQ(keysOf(*editor, "gain.r"), 3);
    EXPECT_TRUE(pressEditorKey('x', false, *editor, host));
    EXPECT_EQ(keysOf(*editor, "gain.r"), 2) << "x deletes the key at the row";

    // The bar under way is copied, or the loop where there is one.
    host.at = 16;
    EXPECT_TRUE(pressEditorKey('c', false, *editor, host));
    host.at = 32;
    EXPECT_TRUE(pressEditorKey('v', false, *editor, host));
    EXPECT_EQ(keysOf(*editor, "gain.r"), 3) << said;
    EXPECT_NE(said.find("copied 1 keys of gain.r, rows 16 to 31"), std::string::npos) << said;
    host.looping = true;
    EXPECT_TRUE(pressEditorKey('C', false, *editor, host));
    EXPECT_NE(said.find("copied 0 keys of all, rows 8 to 11"), std::string::npos) << said;

    // Time, the view and prompts are the host's.
    const std::vector<std::pair<int, std::string>> asked = {
        {' ', "pause"}, {'l', "section loop"}, {'-', "speed -1"}, {'+', "speed 1"}, {'o', "overlay"},
        {27, "escape"}, {'\r', "prompt 'key gain.r '"}, {'g', "prompt 'goto '"}, {':', "prompt ''"},
        {22, "paste under pointer"}, {'t', "panel"}, {'z', "zoom rows 0.500000"}, {']', "zoom values 2.000000"},
        {'h', "help"}, {specialKey(glutKey::home), "move 0"}, {'2', "move 64"},
        {specialKey(glutKey::pageDown), "move 48"}, {specialKey(glutKey::pageUp), "move 16"}};
    for (const auto& [key, expected] : asked) {
        host.asked.clear();
        host.at = 20;
        EXPECT_TRUE(pressEditorKey(key, false, *editor, host)) << key;
        EXPECT_EQ(host.asked, std::vector<std::string>{expected}) << key;
    }
    host.at = 20;
    pressEditorKey(specialKey(glutKey::right), true, *editor, host);
    EXPECT_DOUBLE_EQ(host.at, 36) << "shift+right: a bar on";
    pressEditorKey(ctrlKey(specialKey(glutKey::left)), false, *editor, host);
    EXPECT_DOUBLE_EQ(host.at, 35) << "ctrl+left: a row back";
    EXPECT_FALSE(pressEditorKey('q', false, *editor, host));
    EXPECT_FALSE(pressEditorKey(specialKey(1), false, *editor, host));

    const std::vector<std::string> help = editorHelpText();
    std::set<std::string> labels;
    for (const KeyPart& part : editorKeys()) {
        for (const EditorKey& key : part.keys) {
            if (!*key.label) continue;
            EXPECT_TRUE(labels.insert(key.label).second) << "listed twice: " << key.label;
            EXPECT_EQ(std::count_if(help.begin(), help.end(),
                                    [&](const std::string& line) { return line.rfind(std::string(key.label) + "\t", 0) == 0; }),
                      1)
                << key.label;
        }
    }
    for (const EditorCommand& command : editorCommands()) {
        EXPECT_TRUE(std::any_of(help.begin(), help.end(),
                                [&](const std::string& line) { return line.rfind(std::string(command.name), 0) == 0; }))
            << command.name;
    }
    const std::string usage = editorHelpForUsage();
    for (const char* heading : {"\nKeys:\n", "\nMouse:\n", "\nCommands:\n"}) EXPECT_NE(usage.find(heading), std::string::npos);
}

// The view's commands change only the view's state, and say what they did
// or why they refused; a host's own command is left to it.
TEST(ViewCommands, MuteSoloFoldZoomSplitAndFilterActOnTheViewAlone)
{
    PanelView view;
    bool panel = false;
    std::set<int> muted, soloed;
    const auto run = [&](std::vector<std::string> words) { return runViewCommand(words, {view, panel, muted, soloed}, names, 100); };

    ViewDone done = run({"mute", "gain.*"});
    EXPECT_EQ(done.outcome, ViewOutcome::Done);
    EXPECT_EQ(done.said, "gain.*: muted (2 tracks)");
    EXPECT_TRUE(done.mutesChanged);
    EXPECT_EQ(muted, (std::set<int>{1, 2}));
    EXPECT_EQ(run({"mute", "gain.*"}).said, "gain.*: muted off (2 tracks)");
    EXPECT_TRUE(muted.empty());
    EXPECT_EQ(run({"solo", "cam"}).said, "cam: solo (1 track)");
    EXPECT_EQ(soloed, std::set<int>{4});
    EXPECT_EQ(run({"unmute"}).said, "nothing muted or soloed");
    EXPECT_TRUE(soloed.empty());
    done = run({"mute", "nothing"});
    EXPECT_EQ(done.outcome, ViewOutcome::Refused);
    EXPECT_EQ(done.said, "no track or group named 'nothing'");

    EXPECT_EQ(run({"fold", "all"}).said, "folded every group");
    EXPECT_EQ(view.folded, (std::set<std::string>{"cam", "gain", "lift"}));
    EXPECT_EQ(run({"unfold", "gain"}).said, "unfolded gain");
    EXPECT_EQ(run({"fold", "scene"}).outcome, ViewOutcome::Refused) << "a track of no group";

    EXPECT_EQ(run({"zoom", "16"}).said, "the panel shows 16 rows");
    EXPECT_DOUBLE_EQ(view.span, 16);
    for (const char* bad : {"7", "2000", "16x", ""}) EXPECT_EQ(run({"zoom", bad}).outcome, ViewOutcome::Refused) << bad;
    done = run({"split", "0.3"});
    EXPECT_TRUE(done.splitChanged);
    EXPECT_EQ(done.said, "the picture takes 0.30 of the height");
    EXPECT_DOUBLE_EQ(view.split, 0.3);
    EXPECT_EQ(run({"split", "0.9"}).outcome, ViewOutcome::Refused);
    EXPECT_DOUBLE_EQ(view.split, 0.3);

    panel = false;
    EXPECT_EQ(run({"filter", "gain"}).said, "tracks holding 'gain'");
    EXPECT_TRUE(panel) << "a filter shows the panel";
    EXPECT_EQ(run({"filter", std::string(PanelView::filterLimit + 1, 'x')}).outcome, ViewOutcome::Refused);
    EXPECT_EQ(view.filter, "gain");
    EXPECT_EQ(run({"panel", "off"}).said, "the track panel hidden");
    EXPECT_EQ(run({"panel", "maybe"}).outcome, ViewOutcome::Refused);
    EXPECT_EQ(run({"inspector"}).said, "the inspector shown");
    EXPECT_TRUE(view.inspector && panel);
    EXPECT_EQ(run({"loop", "0", "16"}).outcome, ViewOutcome::NotMine);
    EXPECT_EQ(run({"log"}).outcome, ViewOutcome::NotMine);

    double split = 0;
    EXPECT_TRUE(readSplit(splitText(0.48), split));
    EXPECT_DOUBLE_EQ(split, 0.48);
    EXPECT_FALSE(readSplit("0.19", split));
    EXPECT_FALSE(readSplit("half", split));
}
