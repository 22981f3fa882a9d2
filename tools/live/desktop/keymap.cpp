#include "keymap.h"

#include "live.h"

#include "demo/clock.h"
#include "demo/timeline.h"
#include "render/pass_timing.h"

#include <GL/freeglut.h>

#include <algorithm>
#include <cmath>

namespace live {
namespace {

TrackEditor& editor()
{
    return *LIVE.editor;
}

bool selecting()
{
    return !editor().selection().empty();
}

// The key at the row, or the selection when there is one, a number of rows.
void moveKeys(int rows)
{
    if (selecting()) editor().run("move " + std::to_string(rows));
    else editor().moveKey(rows);
}

void copyKeys(bool all)
{
    if (selecting() && !all) {
        editor().copySelection();
        return;
    }
    // The loop's span, or the bar under way.
    const int bar = static_cast<int>(playerRow()) / rowsPerBar * rowsPerBar;
    const int from = LIVE.time.loop ? static_cast<int>(LIVE.time.loopFrom) : bar;
    const int to = LIVE.time.loop ? static_cast<int>(LIVE.time.loopTo) : bar + rowsPerBar - 1;
    editor().run("copy " + (all ? std::string("all") : editor().selected()) + " " + std::to_string(from) + " " +
                 std::to_string(to));
}

void zoomRows(double factor)
{
    zoomView(LIVE.edit.view, LIVE.edit.view.span * factor, playerRow());
}

void zoomValues(float factor)
{
    LIVE.edit.view.valueZoom = std::clamp(LIVE.edit.view.valueZoom * factor, 1.0f / 64, 64.0f);
}

const std::vector<KeyPart> table = {
    {"Play",
     {
         {{' '}, "space", "pause, play", [](int, bool) { editor().run(LIVE.time.paused ? "play" : "pause"); }},
         {{specialKey(GLUT_KEY_LEFT), specialKey(GLUT_KEY_RIGHT)}, "left right", "a beat back, on (shift: a bar)",
          [](int key, bool shift) {
              const int step = shift ? rowsPerBar : rowsPerBeat;
              moveTo(playerRow() + (key == specialKey(GLUT_KEY_LEFT) ? -step : step));
          }},
         {{ctrlKey(specialKey(GLUT_KEY_LEFT)), ctrlKey(specialKey(GLUT_KEY_RIGHT))}, "ctrl+left, ctrl+right",
          "a row back, on",
          [](int key, bool) {
              const double row = std::round(playerRow());
              moveTo(row + (key == ctrlKey(specialKey(GLUT_KEY_LEFT)) ? -1 : 1));
          }},
         {{specialKey(GLUT_KEY_PAGE_UP), specialKey(GLUT_KEY_PAGE_DOWN)}, "page up, down", "the cut before, after",
          [](int key, bool) { moveTo(key == specialKey(GLUT_KEY_PAGE_UP) ? cutBefore(playerRow()) : cutAfter(playerRow())); }},
         {{specialKey(GLUT_KEY_HOME)}, "home", "the start", [](int, bool) { moveTo(0.0); }},
         {{'1', '2', '3', '4', '5', '6', '7', '8', '9'}, "1 - 9",
          "the sections: Orvanta's intro, build, drop, breakdown, climax, outro; a folder's scenes",
          [](int key, bool) {
              const std::vector<std::pair<double, std::string>> all = sections();
              const size_t section = static_cast<size_t>(key - '1');
              if (section < all.size()) moveTo(all[section].first);
          }},
         {{'l', 'L'}, "l", "loop the section, again: no loop", [](int, bool) { toggleSectionLoop(); }},
         {{'-', '+', '='}, "- +", "slower, faster (1, 1/2, 1/4)",
          [](int key, bool) {
              const int slowness = std::clamp(LIVE.time.slowness + (key == '-' ? 1 : -1), 0, 2);
              setTimeMode(LIVE.time.paused, slowness);
              say("speed 1/" + std::to_string(1 << slowness));
          }},
         {{'o', 'O'}, "o", "the overlay of figures: row, frame rate, sizes, pass times",
          [](int, bool) {
              LIVE.overlay = !LIVE.overlay;
              setPassTiming(LIVE.overlay);
          }},
         {{27}, "escape", "close the command line, else quit", [](int, bool) { quitWithEdits(); }},
     }},
    {"Edit",
     {
         {{'\t'}, "tab, shift+tab", "the next, previous track", [](int, bool shift) { editor().select(shift ? -1 : 1); }},
         {{specialKey(GLUT_KEY_UP), specialKey(GLUT_KEY_DOWN)}, "up down", "nudge the value (shift: coarse)",
          [](int key, bool shift) { editor().nudge(key == specialKey(GLUT_KEY_UP) ? 1 : -1, shift); }},
         {{'\r'}, "enter", "type a value for the key at the row",
          [](int, bool) { openPrompt("key " + editor().selected() + " "); }},
         {{'i', 'I'}, "i", "the next interpolation", [](int, bool) { editor().cycleInterpolation(); }},
         {{'x', 'X', 127}, "x, delete", "delete the key at the row, or the selection",
          [](int, bool) {
              if (selecting()) editor().deleteSelection();
              else editor().deleteKey();
          }},
         {{','}, ", .", "move the key or the selection a row back, on", [](int, bool) { moveKeys(-1); }},
         {{'.'}, "", "", [](int, bool) { moveKeys(1); }},
         {{'<'}, "< >", "... a beat", [](int, bool) { moveKeys(-rowsPerBeat); }},
         {{'>'}, "", "", [](int, bool) { moveKeys(rowsPerBeat); }},
         {{'c'}, "c", "copy the selection, else the bar (or loop) of the track", [](int, bool) { copyKeys(false); }},
         {{'C'}, "shift+c", "copy the bar (or loop) of every track", [](int, bool) { copyKeys(true); }},
         {{'v', 'V'}, "v", "paste at the row",
          [](int, bool) { editor().run("paste " + (editor().copiedAll() ? std::string("all") : editor().selected())); }},
         {{3}, "ctrl+c", "copy the selection (else the bar or loop of the track)", [](int, bool) { copyKeys(false); }},
         {{22}, "ctrl+v", "paste at the row onto the track under the pointer (else the picked one), the copy's shape kept",
          [](int, bool) { pasteUnderPointer(); }},
         {{'n'}, "n, shift+n", "insert a beat at the row in the track, in all",
          [](int, bool) { editor().run("insert " + editor().selected() + " 4"); }},
         {{'N'}, "", "", [](int, bool) { editor().run("insert all 4"); }},
         {{'r'}, "r, shift+r", "remove a beat at the row in the track, in all",
          [](int, bool) { editor().run("remove " + editor().selected() + " 4"); }},
         {{'R'}, "", "", [](int, bool) { editor().run("remove all 4"); }},
         {{'m', 'M'}, "m", "a marker at the row: type its name", [](int, bool) { openPrompt("mark "); }},
         {{'g', 'G'}, "g", "go to a row or a marker: type it", [](int, bool) { openPrompt("goto "); }},
         {{'d', 'D'}, "d", "select nothing", [](int, bool) { editor().run("deselect"); }},
         {{26}, "ctrl+z", "undo", [](int, bool) { editor().run("undo"); }},
         {{25}, "ctrl+y", "redo", [](int, bool) { editor().run("redo"); }},
         {{':'}, ":", "the command line (escape closes it)", [](int, bool) { openPrompt(""); }},
     }},
    {"Panel",
     {
         {{'t', 'T'}, "t", "the track panel, shown or hidden", [](int, bool) { LIVE.edit.panel = !LIVE.edit.panel; }},
         {{'f', 'F', '/'}, "f, /", "filter the tracks by name: type it", [](int, bool) { openPrompt("filter "); }},
         {{'u', 'U'}, "u", "mute the track, again: back",
          [](int, bool) { editor().run("mute " + editor().selected()); }},
         {{'s', 'S'}, "s", "solo the track, again: back", [](int, bool) { editor().run("solo " + editor().selected()); }},
         {{'e', 'E'}, "e", "the inspector: the value on a slider (held while playing: recorded), the interpolation",
          [](int, bool) { editor().run("inspector"); }},
         {{'`'}, "`", "the log of messages", [](int, bool) { editor().run("log"); }},
         {{'z'}, "z, shift+z", "zoom in, out in rows (the wheel over the lanes)", [](int, bool) { zoomRows(0.5); }},
         {{'Z'}, "", "", [](int, bool) { zoomRows(2.0); }},
         {{']'}, "] [", "zoom in, out in value (the wheel over the curves)", [](int, bool) { zoomValues(2.0f); }},
         {{'['}, "", "", [](int, bool) { zoomValues(0.5f); }},
         {{'h', 'H', '?'}, "h, ?", "this help (the wheel scrolls it)", [](int, bool) { LIVE.edit.help = !LIVE.edit.help; }},
     }},
};

} // namespace

const std::vector<KeyPart>& liveKeys()
{
    return table;
}

bool pressKey(int key, bool shift)
{
    for (const KeyPart& part : table) {
        for (const LiveKey& entry : part.keys) {
            if (std::find(entry.keys.begin(), entry.keys.end(), key) != entry.keys.end()) {
                entry.act(key, shift);
                return true;
            }
        }
    }
    return false;
}

std::vector<std::string> helpText()
{
    std::vector<std::string> lines;
    for (const KeyPart& part : table) {
        lines.push_back(std::string("# ") + part.heading);
        for (const LiveKey& entry : part.keys) {
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

std::string helpForUsage()
{
    std::string out;
    std::string heading;
    for (const std::string& line : helpText()) {
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

} // namespace live
