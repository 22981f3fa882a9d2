#include "key_table.h"

#include "demo/timeline.h"

#include <algorithm>
#include <cmath>

namespace {

// The key at the row, or the selection when there is one, a number of rows.
void moveKeys(TrackEditor& editor, int rows)
{
    if (!editor.selection().empty()) editor.run("move " + std::to_string(rows));
    else editor.moveKey(rows);
}

void copyKeys(TrackEditor& editor, KeyHost& host, bool all)
{
    if (!editor.selection().empty() && !all) {
        editor.copySelection();
        return;
    }
    // The loop's span, or the bar under way.
    const int bar = static_cast<int>(host.row()) / rowsPerBar * rowsPerBar;
    double loopFrom = 0, loopTo = 0;
    const bool looping = host.loop(loopFrom, loopTo);
    const int from = looping ? static_cast<int>(loopFrom) : bar;
    const int to = looping ? static_cast<int>(loopTo) : bar + rowsPerBar - 1;
    editor.run("copy " + (all ? std::string("all") : editor.selected()) + " " + std::to_string(from) + " " +
               std::to_string(to));
}

const std::vector<KeyPart> table = {
    {"Play",
     {
         {{' '}, "space", "pause, play", [](int, bool, TrackEditor&, KeyHost& host) { host.togglePause(); }},
         {{specialKey(glutKey::left), specialKey(glutKey::right)}, "left right", "a beat back, on (shift: a bar)",
          [](int key, bool shift, TrackEditor&, KeyHost& host) {
              const int step = shift ? rowsPerBar : rowsPerBeat;
              host.moveTo(host.row() + (key == specialKey(glutKey::left) ? -step : step));
          }},
         {{ctrlKey(specialKey(glutKey::left)), ctrlKey(specialKey(glutKey::right))}, "ctrl+left, ctrl+right",
          "a row back, on",
          [](int key, bool, TrackEditor&, KeyHost& host) {
              const double row = std::round(host.row());
              host.moveTo(row + (key == ctrlKey(specialKey(glutKey::left)) ? -1 : 1));
          }},
         {{specialKey(glutKey::pageUp), specialKey(glutKey::pageDown)}, "page up, down", "the cut before, after",
          [](int key, bool, TrackEditor&, KeyHost& host) {
              host.moveTo(key == specialKey(glutKey::pageUp) ? host.cutBefore(host.row()) : host.cutAfter(host.row()));
          }},
         {{specialKey(glutKey::home)}, "home", "the start", [](int, bool, TrackEditor&, KeyHost& host) { host.moveTo(0.0); }},
         {{'1', '2', '3', '4', '5', '6', '7', '8', '9'}, "1 - 9",
          "the sections: Orvanta's intro, build, drop, breakdown, climax, outro; a folder's scenes",
          [](int key, bool, TrackEditor&, KeyHost& host) {
              const std::vector<double> all = host.sections();
              const size_t section = static_cast<size_t>(key - '1');
              if (section < all.size()) host.moveTo(all[section]);
          }},
         {{'l', 'L'}, "l", "loop the section, again: no loop", [](int, bool, TrackEditor&, KeyHost& host) { host.toggleSectionLoop(); }},
         {{'-', '+', '='}, "- +", "slower, faster (1, 1/2, 1/4)",
          [](int key, bool, TrackEditor&, KeyHost& host) { host.changeSpeed(key == '-' ? -1 : 1); }},
         {{'o', 'O'}, "o", "the overlay of figures: row, frame rate, sizes, pass times",
          [](int, bool, TrackEditor&, KeyHost& host) { host.toggleOverlay(); }},
         {{27}, "escape", "close the command line, else quit", [](int, bool, TrackEditor&, KeyHost& host) { host.escape(); }},
     }},
    {"Edit",
     {
         {{'\t'}, "tab, shift+tab", "the next, previous track", [](int, bool shift, TrackEditor& editor, KeyHost&) { editor.select(shift ? -1 : 1); }},
         {{specialKey(glutKey::up), specialKey(glutKey::down)}, "up down", "nudge the value (shift: coarse)",
          [](int key, bool shift, TrackEditor& editor, KeyHost&) { editor.nudge(key == specialKey(glutKey::up) ? 1 : -1, shift); }},
         {{'\r'}, "enter", "type a value for the key at the row",
          [](int, bool, TrackEditor& editor, KeyHost& host) { host.openPrompt("key " + editor.selected() + " "); }},
         {{'i', 'I'}, "i", "the next interpolation", [](int, bool, TrackEditor& editor, KeyHost&) { editor.cycleInterpolation(); }},
         {{'x', 'X', 127}, "x, delete", "delete the key at the row, or the selection",
          [](int, bool, TrackEditor& editor, KeyHost&) {
              if (!editor.selection().empty()) editor.deleteSelection();
              else editor.deleteKey();
          }},
         {{','}, ", .", "move the key or the selection a row back, on", [](int, bool, TrackEditor& editor, KeyHost&) { moveKeys(editor, -1); }},
         {{'.'}, "", "", [](int, bool, TrackEditor& editor, KeyHost&) { moveKeys(editor, 1); }},
         {{'<'}, "< >", "... a beat", [](int, bool, TrackEditor& editor, KeyHost&) { moveKeys(editor, -rowsPerBeat); }},
         {{'>'}, "", "", [](int, bool, TrackEditor& editor, KeyHost&) { moveKeys(editor, rowsPerBeat); }},
         {{'c'}, "c", "copy the selection, else the bar (or loop) of the track", [](int, bool, TrackEditor& editor, KeyHost& host) { copyKeys(editor, host, false); }},
         {{'C'}, "shift+c", "copy the bar (or loop) of every track", [](int, bool, TrackEditor& editor, KeyHost& host) { copyKeys(editor, host, true); }},
         {{'v', 'V'}, "v", "paste at the row",
          [](int, bool, TrackEditor& editor, KeyHost&) {
              editor.run("paste " + (editor.copiedAll() ? std::string("all") : editor.selected()));
          }},
         {{3}, "ctrl+c", "copy the selection (else the bar or loop of the track)", [](int, bool, TrackEditor& editor, KeyHost& host) { copyKeys(editor, host, false); }},
         {{22}, "ctrl+v", "paste at the row onto the track under the pointer (else the picked one), the copy's shape kept",
          [](int, bool, TrackEditor&, KeyHost& host) { host.pasteUnderPointer(); }},
         {{'n'}, "n, shift+n", "insert a beat at the row in the track, in all",
          [](int, bool, TrackEditor& editor, KeyHost&) { editor.run("insert " + editor.selected() + " 4"); }},
         {{'N'}, "", "", [](int, bool, TrackEditor& editor, KeyHost&) { editor.run("insert all 4"); }},
         {{'r'}, "r, shift+r", "remove a beat at the row in the track, in all",
          [](int, bool, TrackEditor& editor, KeyHost&) { editor.run("remove " + editor.selected() + " 4"); }},
         {{'R'}, "", "", [](int, bool, TrackEditor& editor, KeyHost&) { editor.run("remove all 4"); }},
         {{'m', 'M'}, "m", "a marker at the row: type its name", [](int, bool, TrackEditor&, KeyHost& host) { host.openPrompt("mark "); }},
         {{'g', 'G'}, "g", "go to a row or a marker: type it", [](int, bool, TrackEditor&, KeyHost& host) { host.openPrompt("goto "); }},
         {{'d', 'D'}, "d", "select nothing", [](int, bool, TrackEditor& editor, KeyHost&) { editor.run("deselect"); }},
         {{26}, "ctrl+z", "undo", [](int, bool, TrackEditor& editor, KeyHost&) { editor.run("undo"); }},
         {{25}, "ctrl+y", "redo", [](int, bool, TrackEditor& editor, KeyHost&) { editor.run("redo"); }},
         {{':'}, ":", "the command line (escape closes it)", [](int, bool, TrackEditor&, KeyHost& host) { host.openPrompt(""); }},
     }},
    {"Panel",
     {
         {{'t', 'T'}, "t", "the track panel, shown or hidden", [](int, bool, TrackEditor&, KeyHost& host) { host.togglePanel(); }},
         {{'f', 'F', '/'}, "f, /", "filter the tracks by name: type it", [](int, bool, TrackEditor&, KeyHost& host) { host.openPrompt("filter "); }},
         {{'u', 'U'}, "u", "mute the track, again: back",
          [](int, bool, TrackEditor& editor, KeyHost&) { editor.run("mute " + editor.selected()); }},
         {{'s', 'S'}, "s", "solo the track, again: back", [](int, bool, TrackEditor& editor, KeyHost&) { editor.run("solo " + editor.selected()); }},
         {{'e', 'E'}, "e", "the inspector: the value on a slider (held while playing: recorded), the interpolation",
          [](int, bool, TrackEditor& editor, KeyHost&) { editor.run("inspector"); }},
         {{'`'}, "`", "the log of messages", [](int, bool, TrackEditor& editor, KeyHost&) { editor.run("log"); }},
         {{'z'}, "z, shift+z", "zoom in, out in rows (the wheel over the lanes)", [](int, bool, TrackEditor&, KeyHost& host) { host.zoomRows(0.5); }},
         {{'Z'}, "", "", [](int, bool, TrackEditor&, KeyHost& host) { host.zoomRows(2.0); }},
         {{']'}, "] [", "zoom in, out in value (the wheel over the curves)", [](int, bool, TrackEditor&, KeyHost& host) { host.zoomValues(2.0f); }},
         {{'['}, "", "", [](int, bool, TrackEditor&, KeyHost& host) { host.zoomValues(0.5f); }},
         {{'h', 'H', '?'}, "h, ?", "this help (the wheel scrolls it)", [](int, bool, TrackEditor&, KeyHost& host) { host.toggleHelp(); }},
     }},
};

} // namespace

const std::vector<KeyPart>& editorKeys()
{
    return table;
}

bool pressEditorKey(int key, bool shift, TrackEditor& editor, KeyHost& host)
{
    for (const KeyPart& part : table) {
        for (const EditorKey& entry : part.keys) {
            if (std::find(entry.keys.begin(), entry.keys.end(), key) != entry.keys.end()) {
                entry.act(key, shift, editor, host);
                return true;
            }
        }
    }
    return false;
}

std::vector<std::string> editorHelpText()
{
    std::vector<std::string> lines;
    for (const KeyPart& part : table) {
        lines.push_back(std::string("# ") + part.heading);
        for (const EditorKey& entry : part.keys) {
            if (*entry.label) lines.push_back(std::string(entry.label) + "\t" + entry.does);
        }
    }
    lines.push_back("# Mouse");
    lines.push_back("strip, ruler\tgo to the row under it (the ruler: a whole row; shift: anywhere); drag to scrub");
    lines.push_back("ruler's band\tdrag: a loop; drag inside it: move it; click: no loop");
    lines.push_back("splitter\tdrag the bar over the panel: the picture's share of the height");
    lines.push_back("name\tpick the track; its M, S boxes mute, solo; a group's name folds it");
    lines.push_back("key\tselect it (shift: add or take away); drag to move the selection in time");
    lines.push_back("lane\tdrag a box: select the keys in it (shift: add)");
    lines.push_back("curve\tdrag a key: its row and value, or the selection's value");
    lines.push_back("wheel\tover the names: scroll; over the lanes: zoom rows; over the curves: zoom values");
    lines.push_back("# Commands (: in the window, or a line on standard input)");
    for (const EditorCommand& command : editorCommands()) {
        lines.push_back(std::string(command.name) + (*command.arguments ? std::string(" ") + command.arguments : "") +
                        "\t" + command.does);
    }
    lines.push_back("POS\ta row, or bar:beat:row (2:1:0 is row 36)");
    return lines;
}

std::string editorHelpForUsage()
{
    std::string out;
    std::string heading;
    for (const std::string& line : editorHelpText()) {
        if (line.rfind("# ", 0) == 0) {
            // The keys' parts are one list; the mouse and the commands
            // lists of their own.
            const std::string next = line.rfind("# Mouse", 0) == 0 ? "Mouse" : line.rfind("# Commands", 0) == 0 ? "Commands" : "Keys";
            if (next != heading) out += "\n" + next + ":\n";
            heading = next;
            continue;
        }
        const size_t tab = line.find('\t');
        std::string name = line.substr(0, tab);
        name.resize(std::max<size_t>(name.size() + 2, 22), ' ');
        out += "  " + name + (tab == std::string::npos ? "" : line.substr(tab + 1)) + "\n";
    }
    return out;
}

