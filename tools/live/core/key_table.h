// live/core/key_table: the editor's keys as one table, the same for every
// host, which the key handlers look keys up in and the help is made from,
// beside the command table (editor.h), so that neither the help nor the keys
// can lack what the other has. What a key does to the tracks text it does
// through the editor; what it does to time and to the view (a host's own:
// its clock, its prompt, its panel) it asks of the host.
//
//     struct MyHost : KeyHost { ... };               // the host's verbs
//     if (!pressEditorKey(key, shift, editor, host)) ...  // not an editor key
//     for (const std::string& line : editorHelpText()) ...
#pragma once

#include "editor.h"

#include <string>
#include <vector>

// Keys as GLUT numbers them: a character is its code, a special key is set
// apart from characters, and ctrl held with a special key apart again.
constexpr int specialKey(int glutKey)
{
    return 0x1000 + glutKey;
}

constexpr int ctrlKey(int key)
{
    return 0x10000 + key;
}

// GLUT's numbers of the special keys the table uses.
namespace glutKey {
constexpr int left = 100, up = 101, right = 102, down = 103, pageUp = 104, pageDown = 105, home = 106;
}

// The host's side of the keys.
class KeyHost {
public:
    virtual ~KeyHost() = default;
    virtual double row() = 0; // the row shown now
    virtual void moveTo(double row) = 0;
    virtual void togglePause() = 0;
    virtual double cutBefore(double row) = 0; // where the shown scene changes
    virtual double cutAfter(double row) = 0;
    virtual std::vector<double> sections() = 0; // where keys 1 to 9 go
    virtual void toggleSectionLoop() = 0;
    virtual void changeSpeed(int step) = 0; // -1 slower, +1 faster
    virtual void toggleOverlay() = 0;
    virtual void escape() = 0;
    virtual void openPrompt(const std::string& text) = 0; // a command line, `text` typed
    virtual void pasteUnderPointer() = 0;
    virtual bool loop(double& from, double& to) = 0; // the loop's span; false: none
    virtual void togglePanel() = 0;
    virtual void zoomRows(double factor) = 0;
    virtual void zoomValues(float factor) = 0;
    virtual void toggleHelp() = 0;
};

struct EditorKey {
    std::vector<int> keys;
    const char* label; // as the help shows it; "" for a key the line before covers
    const char* does;
    void (*act)(int key, bool shift, TrackEditor& editor, KeyHost& host);
};

// The table, in the help's order, with a heading before each part.
struct KeyPart {
    const char* heading;
    std::vector<EditorKey> keys;
};
const std::vector<KeyPart>& editorKeys();

// Runs the key's action; false where the table has none.
bool pressEditorKey(int key, bool shift, TrackEditor& editor, KeyHost& host);

// Every key, the mouse and every command, a line each ("# Heading" before
// each part; a tab between a line's name and what it does), as the help
// shows them.
std::vector<std::string> editorHelpText();

// The same, as --help (and so the manual page) lists them: a heading a
// part ("Keys:", "Mouse:", "Commands:"), a line an entry, its name and
// what it does two spaces apart.
std::string editorHelpForUsage();
