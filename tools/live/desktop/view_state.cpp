// The timeline's room and its loop: the splitter between the picture and
// the panel (dragged, or `split F`, kept for the demo between runs in the
// user's state folder), the loop dragged on the ruler's band (or `loop`),
// and the panes the panel can show over its curve view (`inspector`, `log`).
#include "live.h"
#include "view_commands.h"

#include "files.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace fs = std::filesystem;

namespace live {

namespace {

// The state folder's file for this demo's view: one a demo folder (or a
// tracks text, for Orvanta's own), named by a hash of its path.
std::string viewFile()
{
    const char* state = std::getenv("XDG_STATE_HOME");
    const char* home = std::getenv("HOME");
    std::string folder;
    if (state && *state == '/') folder = std::string(state) + "/orvanta";
    else if (home && *home == '/') folder = std::string(home) + "/.local/state/orvanta";
    else return "";
    const std::string demo = !LIVE.demo.folder.empty() ? LIVE.demo.folder
                             : !LIVE.files.tracks.empty() ? LIVE.files.tracks
                                                          : std::string("orvanta");
    return folder + "/view-" + contentHash(demo) + ".txt";
}

} // namespace

void loadViewState()
{
    const std::string path = viewFile();
    std::string bytes, error;
    std::error_code ignored;
    if (path.empty() || !fs::is_regular_file(path, ignored) || !readWholeFile(path, bytes, error, 4096)) return;
    double split = 0;
    const size_t at = bytes.find("split ");
    if (at == std::string::npos) return;
    const std::string word = bytes.substr(at + 6, bytes.find('\n', at) - at - 6);
    if (readSplit(word, split)) LIVE.edit.view.split = split;
}

void saveViewState()
{
    const std::string path = viewFile();
    if (path.empty()) return;
    std::error_code ignored;
    fs::create_directories(fs::path(path).parent_path(), ignored);
    std::string error;
    if (!writeFileAtomically(path, "split " + splitText(LIVE.edit.view.split) + "\n", error)) {
        sayOnConsole(error + "; the split holds for this run");
    }
}

void setSplit(double split, bool kept)
{
    LIVE.edit.view.split = std::clamp(split, leastSplit, mostSplit);
    if (kept) saveViewState();
}

void setLoop(double from, double to)
{
    const std::string said = setTransportLoop(LIVE.time, {LIVE.demo.description.rowRate, LIVE.demo.description.endRow}, from, to);
    if (!said.empty()) say(said);
    const Time& t = LIVE.time;
    if (t.loop && (playerRow() < t.loopFrom || playerRow() > t.loopTo)) moveTo(t.loopFrom);
}

bool paneCommand(const std::vector<std::string>& words, std::string& error)
{
    const std::string& command = words[0];
    if (command == "loop") {
        bool off = false;
        int32_t from = 0, to = 0;
        if (!readLoopCommand(words, off, from, to, error)) return false;
        if (off && !LIVE.time.loop) say("no loop");
        setLoop(off ? 0 : from, off ? 0 : to);
        return true;
    }
    // log: on, off, or the other way.
    bool& shown = LIVE.edit.log;
    if (words.size() > 1 && words[1] != "on" && words[1] != "off") {
        error = command + " takes on or off";
        return false;
    }
    shown = words.size() > 1 ? words[1] == "on" : !shown;
    if (shown) LIVE.edit.panel = true;
    say(std::string("the log ") + (shown ? "shown" : "hidden"));
    return true;
}

} // namespace live
