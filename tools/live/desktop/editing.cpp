// The live player's track editor: its keys, command line, panel and mouse.
#include "live.h"
#include "file_text.h"
#include "view_commands.h"

#include "demo/clock.h"
#include "demo/tracks.h"
#include "render/programs.h"

#include <GL/freeglut.h>

#include <unistd.h>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace live {

// ---- the editor -------------------------------------------------------------

const std::vector<std::string>& trackNameList()
{
    return LIVE.demo.names;
}

int trackIndex(const std::string& name)
{
    const std::vector<std::string>& names = LIVE.demo.names;
    const auto found = std::find(names.begin(), names.end(), name);
    return found == names.end() ? -1 : static_cast<int>(found - names.begin());
}

// A muted track, or one a solo leaves out, holds its first key's value in
// the demo; the text keeps its keys. A track without keys holds its
// annotation's default (slider[...], colour[...]), else 0. Scene and time go
// on through a solo, or it would show another scene.
void pushTrack(int index)
{
    const std::string name = LIVE.demo.names[index];
    const TextTrack* track = LIVE.editor->document().find(name);
    const bool empty = !track || track->keys.empty();
    const std::set<int>& soloed = LIVE.edit.soloed;
    const bool keeps = index == LIVE.demo.sceneTrack || index == LIVE.demo.timeTrack;
    const bool held = LIVE.edit.muted.count(index) || (!soloed.empty() && !soloed.count(index) && !keeps);
    const UniformRange& range = LIVE.demo.ranges[static_cast<size_t>(index)];
    if (held || (empty && range.given)) {
        const TrackKey first{0, empty ? (range.given ? range.initial[0] : 0.0f) : track->keys.front().value, 0};
        setTrackKeys(index, &first, 1);
    } else {
        setTrackKeys(index, empty ? nullptr : track->keys.data(), empty ? 0 : static_cast<int>(track->keys.size()));
    }
    if (index == LIVE.demo.sceneTrack) findCuts();
}

void makeEditor()
{
    EditorHooks hooks;
    hooks.row = [] { return playerRow(); };
    hooks.moveTo = [](double row) { moveTo(row); };
    hooks.setPaused = [](bool paused) {
        if (paused == LIVE.time.paused) return;
        setTimeMode(paused, LIVE.time.slowness);
        say(paused ? "paused" : "playing");
    };
    hooks.keysChanged = [](const std::string& name, const TextTrack*) {
        const int index = trackIndex(name);
        if (index >= 0) pushTrack(index);
    };
    hooks.valueAt = [](const std::string& name) {
        const int index = trackIndex(name);
        return index < 0 ? 0.0f : sampleTrackAt(index, playerRow());
    };
    hooks.say = [](const std::string& line) { say(line); };
    hooks.showError = [](const std::string& key, const std::string& line) {
        if (!line.empty()) setError(key, {line});
        else if (key == "edit") LIVE.errors.erase(key);
        else clearError(key);
    };
    hooks.view = viewCommand;
    LIVE.editor = std::make_unique<TrackEditor>(fileText(LIVE.files.tracks), trackNameList(), hooks);
    LIVE.editor->setLastRow(static_cast<int32_t>(LIVE.demo.description.endRow));
    makeInspector();
}

namespace {

bool refuseView(const std::string& line)
{
    say("error: " + line);
    std::fprintf(stderr, "orvanta-live: %s\n", line.c_str());
    return false;
}

} // namespace

// The view's commands: what the panel shows, nothing of the text.
bool viewCommand(const std::vector<std::string>& words)
{
    const ViewDone done = runViewCommand(words, {LIVE.edit.view, LIVE.edit.panel, LIVE.edit.muted, LIVE.edit.soloed},
                                         LIVE.demo.names, LIVE.row);
    if (done.outcome == ViewOutcome::Refused) return refuseView(done.said);
    if (done.outcome == ViewOutcome::Done) {
        if (done.mutesChanged) {
            for (int t = 0; t < static_cast<int>(LIVE.demo.names.size()); ++t) pushTrack(t);
        }
        if (done.splitChanged) setSplit(LIVE.edit.view.split, true);
        say(done.said);
        return true;
    }
    const std::string& command = words[0];
    if (command == "loop" || command == "log") {
        std::string error;
        return paneCommand(words, error) || refuseView(error);
    }
    if (command == "help") {
        for (const std::string& line : helpText()) sayOnConsole(line);
        return true;
    }
    return refuseView("'" + command + "' is not the view's");
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

} // namespace live
