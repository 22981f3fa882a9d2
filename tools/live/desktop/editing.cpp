// The live player's track editor: its keys, command line, panel and mouse.
#include "live.h"
#include "file_text.h"

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

// The tracks a word names: one, those a prefix starts ("gain.*"), or a group.
std::vector<int> namedTracks(const std::string& word)
{
    std::vector<int> tracks;
    const bool prefix = !word.empty() && word.back() == '*';
    const std::string stem = prefix ? word.substr(0, word.size() - 1) : word;
    for (int t = 0; t < static_cast<int>(LIVE.demo.names.size()); ++t) {
        const std::string name = LIVE.demo.names[t];
        if (prefix ? name.rfind(stem, 0) == 0 : name == word || trackGroup(name) == word) tracks.push_back(t);
    }
    return tracks;
}

bool refuseView(const std::string& line)
{
    say("error: " + line);
    std::fprintf(stderr, "orvanta-live: %s\n", line.c_str());
    return false;
}

std::string shortened(const std::string& word)
{
    return word.size() > 64 ? word.substr(0, 64) + "..." : word;
}

// Mute or solo: the tracks named, all of them on, or off where all were.
bool toggleTracks(std::set<int>& set, const std::string& word, const char* what)
{
    const std::vector<int> tracks = namedTracks(word);
    if (tracks.empty()) return refuseView("no track or group named '" + shortened(word) + "'");
    const bool all = std::all_of(tracks.begin(), tracks.end(), [&](int t) { return set.count(t) > 0; });
    for (int t : tracks) {
        if (all) set.erase(t);
        else set.insert(t);
    }
    for (int t = 0; t < static_cast<int>(LIVE.demo.names.size()); ++t) pushTrack(t);
    say(word + (all ? std::string(": ") + what + " off" : std::string(": ") + what) + " (" +
        std::to_string(tracks.size()) + (tracks.size() == 1 ? " track)" : " tracks)"));
    return true;
}

} // namespace

// The view's commands: what the panel shows, nothing of the text.
bool viewCommand(const std::vector<std::string>& words)
{
    PanelView& view = LIVE.edit.view;
    const std::string& command = words[0];
    if (command == "filter") {
        const std::string text = words.size() > 1 ? words[1] : "";
        if (text.size() > PanelView::filterLimit) {
            return refuseView("a filter holds at most " + std::to_string(PanelView::filterLimit) + " characters");
        }
        view.filter = text;
        view.scroll = 0;
        LIVE.edit.panel = true;
        say(text.empty() ? std::string("every track shown") : "tracks holding '" + text + "'");
        return true;
    }
    if (command == "fold" || command == "unfold") {
        const bool fold = command == "fold";
        std::set<std::string> groups;
        for (int t = 0; t < static_cast<int>(LIVE.demo.names.size()); ++t) {
            const std::string group = trackGroup(LIVE.demo.names[t]);
            if (!group.empty() && (words[1] == "all" || words[1] == group)) groups.insert(group);
        }
        if (groups.empty()) return refuseView("no group named '" + shortened(words[1]) + "'");
        for (const std::string& group : groups) {
            if (fold) view.folded.insert(group);
            else view.folded.erase(group);
        }
        say(command + "ed " + (words[1] == "all" ? "every group" : words[1]));
        return true;
    }
    if (command == "mute") return toggleTracks(LIVE.edit.muted, words[1], "muted");
    if (command == "solo") return toggleTracks(LIVE.edit.soloed, words[1], "solo");
    if (command == "unmute") {
        LIVE.edit.muted.clear();
        LIVE.edit.soloed.clear();
        for (int t = 0; t < static_cast<int>(LIVE.demo.names.size()); ++t) pushTrack(t);
        say("nothing muted or soloed");
        return true;
    }
    if (command == "panel") {
        if (words.size() > 1 && words[1] != "on" && words[1] != "off") return refuseView("panel takes on or off");
        LIVE.edit.panel = words.size() > 1 ? words[1] == "on" : !LIVE.edit.panel;
        say(LIVE.edit.panel ? "the track panel shown" : "the track panel hidden");
        return true;
    }
    if (command == "zoom") {
        char* end = nullptr;
        const double rows = std::strtod(words[1].c_str(), &end);
        if (*end != '\0' || !(rows >= 8 && rows <= 1024)) return refuseView("zoom takes 8 to 1024 rows");
        zoomView(view, rows, LIVE.row);
        say("the panel shows " + words[1] + " rows");
        return true;
    }
    if (command == "split" || command == "loop" || command == "inspector" || command == "log") {
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
