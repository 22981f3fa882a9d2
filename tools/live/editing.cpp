// The live player's track editor: its keys, command line, panel and mouse.
#include "live.h"

#include "demo/clock.h"
#include "demo/tracks.h"
#include "render/programs.h"

#include <GL/freeglut.h>

#include <unistd.h>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>

namespace live {

// ---- the editor -------------------------------------------------------------

int trackIndex(const std::string& name)
{
    for (int i = 0; i < demoTrackCount; ++i) {
        if (name == demoTrackNames[i]) return i;
    }
    return -1;
}

void makeEditor()
{
    EditorHooks hooks;
    hooks.row = [] { return currentRow(); };
    hooks.moveTo = [](double row) { moveTo(row); };
    hooks.setPaused = [](bool paused) {
        if (paused == LIVE.time.paused) return;
        setTimeMode(paused, LIVE.time.slowness);
        say(paused ? "paused" : "playing");
    };
    hooks.keysChanged = [](const std::string& name, const TextTrack* track) {
        const int index = trackIndex(name);
        if (index < 0) return;
        const bool empty = !track || track->keys.empty();
        setDemoTrackKeys(static_cast<DemoTrack>(index), empty ? nullptr : track->keys.data(),
                         empty ? 0 : static_cast<int>(track->keys.size()));
        if (index == static_cast<int>(DemoTrack::Scene)) findCuts();
    };
    hooks.valueAt = [](const std::string& name) {
        const int index = trackIndex(name);
        return index < 0 ? 0.0f : sampleTrack(static_cast<DemoTrack>(index), currentRow());
    };
    hooks.say = [](const std::string& line) { say(line); };
    hooks.showError = [](const std::string& key, const std::string& line) {
        if (!line.empty()) setError(key, {line});
        else if (key == "edit") LIVE.errors.erase(key);
        else clearError(key);
    };
    LIVE.editor = std::make_unique<TrackEditor>(
        LIVE.files.tracks, std::vector<std::string>(std::begin(demoTrackNames), std::end(demoTrackNames)), hooks);
}

// Commands arrive a line at a time on standard input, when it is a pipe or
// a FIFO; its end closes it. A frame reads and runs a bounded share of them,
// so that a flood of commands leaves the frame rate and the keys as they
// are: the rest wait in the pipe.
void pollCommands()
{
    using Clock = std::chrono::steady_clock;
    constexpr int linesPerFrame = 1024;
    constexpr auto timePerFrame = std::chrono::milliseconds(4);
    CommandLines& lines = LIVE.edit.commandLines;
    const auto start = Clock::now();
    int ran = 0;
    std::string line;
    while (ran < linesPerFrame && Clock::now() - start < timePerFrame) {
        if (lines.next(line)) {
            LIVE.editor->run(line);
            ++ran;
            continue;
        }
        if (LIVE.edit.commandFd < 0 || !lines.wantsMore()) break;
        char chunk[16384];
        const ssize_t n = read(LIVE.edit.commandFd, chunk, sizeof chunk);
        if (n == 0) {
            close(LIVE.edit.commandFd);
            LIVE.edit.commandFd = -1;
        }
        if (n <= 0) break;
        lines.feed(chunk, static_cast<size_t>(n));
    }
    if (const int dropped = lines.takeDropped()) {
        say("error: " + std::to_string(dropped) + (dropped == 1 ? " line" : " lines") + " of commands over " +
            std::to_string(CommandLines::maxLineBytes) + " bytes dropped, not run");
    }
}

// The command line in the window: typed keys go to it until Enter runs it
// or Escape closes it.
void promptKey(unsigned char key)
{
    if (key == 27) {
        LIVE.edit.prompting = false;
    } else if (key == '\r' || key == '\n') {
        LIVE.edit.prompting = false;
        LIVE.editor->run(LIVE.edit.prompt);
    } else if (key == 8 || key == 127) {
        if (!LIVE.edit.prompt.empty()) LIVE.edit.prompt.pop_back();
    } else if (key >= 32 && key < 127 && LIVE.edit.prompt.size() < 200) {
        LIVE.edit.prompt.push_back(static_cast<char>(key));
    }
}

void openPrompt(const std::string& text)
{
    LIVE.edit.prompting = true;
    LIVE.edit.prompt = text;
}

// Keys that edit the selected track at the current row; false for others.
bool editKey(unsigned char key)
{
    TrackEditor& editor = *LIVE.editor;
    const bool shift = (glutGetModifiers() & GLUT_ACTIVE_SHIFT) != 0;
    switch (key) {
    case '\t': editor.select(shift ? -1 : 1); return true;
    case ':': openPrompt(""); return true;
    case '\r': openPrompt("key " + editor.selected() + " "); return true;
    case 'i': case 'I': editor.cycleInterpolation(); return true;
    case 'x': case 'X': case 127: editor.deleteKey(); return true;
    case ',': editor.moveKey(-1); return true;
    case '.': editor.moveKey(1); return true;
    case '<': editor.moveKey(-rowsPerBeat); return true;
    case '>': editor.moveKey(rowsPerBeat); return true;
    case 26: editor.run("undo"); return true; // ctrl+z
    case 25: editor.run("redo"); return true; // ctrl+y
    case 'c': case 'C': {
        // The loop's span, or the bar under way.
        const int bar = static_cast<int>(currentRow()) / rowsPerBar * rowsPerBar;
        const int from = LIVE.time.loop ? static_cast<int>(LIVE.time.loopFrom) : bar;
        const int to = LIVE.time.loop ? static_cast<int>(LIVE.time.loopTo) : bar + rowsPerBar - 1;
        editor.run("copy " + (key == 'C' ? std::string("all") : editor.selected()) + " " + std::to_string(from) + " " +
                   std::to_string(to));
        return true;
    }
    case 'v': case 'V': editor.run("paste " + (editor.copiedAll() ? std::string("all") : editor.selected())); return true;
    case 'n': editor.run("insert " + editor.selected() + " 4"); return true;
    case 'N': editor.run("insert all 4"); return true;
    case 'm': editor.run("remove " + editor.selected() + " 4"); return true;
    case 'M': editor.run("remove all 4"); return true;
    case 't': case 'T': LIVE.edit.panel = !LIVE.edit.panel; return true;
    case 'z': LIVE.edit.span = std::max(8.0, LIVE.edit.span / 2); return true;
    case 'Z': LIVE.edit.span = std::min(1024.0, LIVE.edit.span * 2); return true;
    case 'h': case 'H': case '?': LIVE.edit.help = !LIVE.edit.help; return true;
    default: return false;
    }
}

// ---- the track panel and the mouse -------------------------------------------

PanelLayout panelLayout()
{
    return layoutPanel(LIVE.sizing.width, LIVE.sizing.height, LIVE.row, LIVE.edit.span);
}

PanelFacts panelFacts()
{
    PanelFacts facts;
    facts.names.assign(std::begin(demoTrackNames), std::end(demoTrackNames));
    facts.selected = std::max(0, trackIndex(LIVE.editor->selected()));
    facts.selectedKey = LIVE.edit.selectedKey;
    facts.keys = [](int track) { return LIVE.editor->document().find(demoTrackNames[track]); };
    facts.value = [](int track, double row) { return sampleTrack(static_cast<DemoTrack>(track), row); };
    facts.cuts = LIVE.time.cuts;
    for (size_t s = 0; s < std::size(sectionRows); ++s) facts.sections.emplace_back(sectionRows[s], sectionNames[s]);
    facts.loop = LIVE.time.loop;
    facts.loopFrom = LIVE.time.loopFrom;
    facts.loopTo = LIVE.time.loopTo;
    facts.lastRow = endRow;
    facts.fixedRange = LIVE.edit.dragFrom >= 0;
    facts.low = LIVE.edit.dragLow;
    facts.high = LIVE.edit.dragHigh;
    return facts;
}

namespace {

// A drag in the curve view: the key follows the mouse, its row snapped to
// rows (to beats when shift was held as the drag began).
void dragTo(int x, int y)
{
    const PanelLayout layout = panelLayout();
    const float cx = std::clamp(static_cast<float>(x), layout.curve.x0, layout.curve.x1 - 1);
    const float cy = std::clamp(static_cast<float>(y), layout.curve.y0, layout.curve.y1 - 1);
    const PanelHit hit = hitPanel(layout, panelFacts(), cx, cy);
    if (hit.where != PanelHit::Curve) return;
    const int snap = LIVE.edit.dragByBeats ? rowsPerBeat : 1;
    const int row = static_cast<int>(std::lround(hit.row / snap)) * snap;
    // Values snap to the track's fine step as the drag began, as the nudge
    // keys move them.
    const double step = LIVE.edit.dragStep;
    const std::string text = TrackEditor::valueText(std::round(hit.value / step) * step, static_cast<float>(step));
    const float value = std::strtof(text.c_str(), nullptr);
    const int landed = LIVE.editor->dragKey(LIVE.edit.dragFrom, row, value, !LIVE.edit.dragStarted, text);
    if (landed < 0) {
        LIVE.edit.dragFrom = -1;
        return;
    }
    LIVE.edit.dragStarted = true;
    LIVE.edit.dragFrom = landed;
    LIVE.edit.selectedKey = landed;
}

} // namespace

void onMouse(int button, int state, int x, int y)
{
    if (button != GLUT_LEFT_BUTTON) return;
    if (state == GLUT_UP) {
        if (LIVE.edit.dragStarted) say(LIVE.editor->selected() + ": key dragged to row " + std::to_string(LIVE.edit.dragFrom));
        LIVE.edit.scrubbing = false;
        LIVE.edit.dragFrom = -1;
        LIVE.edit.dragStarted = false;
        return;
    }
    if (!LIVE.edit.panel) return;
    const PanelHit hit = hitPanel(panelLayout(), panelFacts(), static_cast<float>(x), static_cast<float>(y));
    switch (hit.where) {
    case PanelHit::Strip:
        LIVE.edit.scrubbing = true;
        moveTo(hit.row);
        break;
    case PanelHit::Lane:
        LIVE.editor->select(demoTrackNames[hit.track]);
        LIVE.edit.selectedKey = hit.key;
        if (hit.key >= 0) moveTo(hit.key);
        break;
    case PanelHit::Curve:
        LIVE.edit.selectedKey = hit.key;
        if (hit.key >= 0) {
            curveRange(panelLayout(), panelFacts(), LIVE.edit.dragLow, LIVE.edit.dragHigh);
            LIVE.edit.dragStep = LIVE.editor->stepFor(LIVE.editor->selected(), false);
            LIVE.edit.dragFrom = hit.key;
            LIVE.edit.dragStarted = false;
            LIVE.edit.dragByBeats = (glutGetModifiers() & GLUT_ACTIVE_SHIFT) != 0;
        } else {
            moveTo(std::round(hit.row));
        }
        break;
    case PanelHit::Nothing: break;
    }
}

void onMotion(int x, int y)
{
    if (LIVE.edit.scrubbing) {
        moveTo(std::clamp(static_cast<double>(x) / LIVE.sizing.width * endRow, 0.0, endRow));
    } else if (LIVE.edit.dragFrom >= 0) {
        dragTo(x, y);
    }
}

const std::vector<std::string> helpLines = {
    "space pause  left/right a beat (shift: a bar)  page up/down cuts  home start  1-6 sections",
    "l loop the section  - + speed  o figures  t track panel  h this help  escape quit",
    "tab / shift+tab track  up/down nudge (shift: coarse)  enter type a value  i interpolation",
    "x delete key  , . move key a row  < > a beat  ctrl+z undo  ctrl+y redo  : command",
    "c copy the bar (or loop) of the track, C of all  v paste  n/m insert/remove a beat (N/M: all tracks)",
    "panel: z / shift+z zoom  click the strip to scrub, a lane for its track, drag a key in the curve",
    "commands: " + editorCommandHelp(),
};

} // namespace live
