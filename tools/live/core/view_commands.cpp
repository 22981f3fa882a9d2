#include "view_commands.h"

#include "track_text.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace {

// The tracks a word names: one, those a prefix starts ("gain.*"), or a group.
std::vector<int> namedTracks(const std::vector<std::string>& names, const std::string& word)
{
    std::vector<int> tracks;
    const bool prefix = !word.empty() && word.back() == '*';
    const std::string stem = prefix ? word.substr(0, word.size() - 1) : word;
    for (int t = 0; t < static_cast<int>(names.size()); ++t) {
        const std::string& name = names[static_cast<size_t>(t)];
        if (prefix ? name.rfind(stem, 0) == 0 : name == word || trackGroup(name) == word) tracks.push_back(t);
    }
    return tracks;
}

std::string shortened(const std::string& word)
{
    return word.size() > 64 ? word.substr(0, 64) + "..." : word;
}

ViewDone done(const std::string& said)
{
    ViewDone result;
    result.outcome = ViewOutcome::Done;
    result.said = said;
    return result;
}

ViewDone refused(const std::string& why)
{
    ViewDone result;
    result.outcome = ViewOutcome::Refused;
    result.said = why;
    return result;
}

// Mute or solo: the tracks named, all of them on, or off where all were.
ViewDone toggleTracks(std::set<int>& set, const std::vector<std::string>& names, const std::string& word, const char* what)
{
    const std::vector<int> tracks = namedTracks(names, word);
    if (tracks.empty()) return refused("no track or group named '" + shortened(word) + "'");
    const bool all = std::all_of(tracks.begin(), tracks.end(), [&](int t) { return set.count(t) > 0; });
    for (int t : tracks) {
        if (all) set.erase(t);
        else set.insert(t);
    }
    ViewDone result = done(word + (all ? std::string(": ") + what + " off" : std::string(": ") + what) + " (" +
                           std::to_string(tracks.size()) + (tracks.size() == 1 ? " track)" : " tracks)"));
    result.mutesChanged = true;
    return result;
}

} // namespace

bool readLoopCommand(const std::vector<std::string>& words, bool& off, int32_t& from, int32_t& to, std::string& error)
{
    off = words.size() == 2 && words[1] == "off";
    if (off) return true;
    if (words.size() != 3 || !parseTrackPosition(words[1], from, error) || !parseTrackPosition(words[2], to, error) ||
        to <= from) {
        if (error.empty()) error = "loop takes a span of rows, FROM before TO, or off";
        return false;
    }
    return true;
}

std::string splitText(double split)
{
    char text[16];
    std::snprintf(text, sizeof text, "%.2f", split);
    return text;
}

bool readSplit(const std::string& word, double& split)
{
    char* end = nullptr;
    split = std::strtod(word.c_str(), &end);
    return !word.empty() && *end == '\0' && split >= leastSplit && split <= mostSplit;
}

ViewDone runViewCommand(const std::vector<std::string>& words, ViewState state, const std::vector<std::string>& names,
                        double row)
{
    PanelView& view = state.view;
    const std::string& command = words[0];
    if (command == "filter") {
        const std::string text = words.size() > 1 ? words[1] : "";
        if (text.size() > PanelView::filterLimit) {
            return refused("a filter holds at most " + std::to_string(PanelView::filterLimit) + " characters");
        }
        view.filter = text;
        view.scroll = 0;
        state.panel = true;
        return done(text.empty() ? std::string("every track shown") : "tracks holding '" + text + "'");
    }
    if (command == "fold" || command == "unfold") {
        const bool fold = command == "fold";
        std::set<std::string> groups;
        for (const std::string& name : names) {
            const std::string group = trackGroup(name);
            if (!group.empty() && (words[1] == "all" || words[1] == group)) groups.insert(group);
        }
        if (groups.empty()) return refused("no group named '" + shortened(words[1]) + "'");
        for (const std::string& group : groups) {
            if (fold) view.folded.insert(group);
            else view.folded.erase(group);
        }
        return done(command + "ed " + (words[1] == "all" ? "every group" : words[1]));
    }
    if (command == "mute") return toggleTracks(state.muted, names, words[1], "muted");
    if (command == "solo") return toggleTracks(state.soloed, names, words[1], "solo");
    if (command == "unmute") {
        state.muted.clear();
        state.soloed.clear();
        ViewDone result = done("nothing muted or soloed");
        result.mutesChanged = true;
        return result;
    }
    if (command == "panel") {
        if (words.size() > 1 && words[1] != "on" && words[1] != "off") return refused("panel takes on or off");
        state.panel = words.size() > 1 ? words[1] == "on" : !state.panel;
        return done(state.panel ? "the track panel shown" : "the track panel hidden");
    }
    if (command == "zoom") {
        char* end = nullptr;
        const double rows = std::strtod(words[1].c_str(), &end);
        if (*end != '\0' || !(rows >= 8 && rows <= 1024)) return refused("zoom takes 8 to 1024 rows");
        zoomView(view, rows, row);
        return done("the panel shows " + words[1] + " rows");
    }
    if (command == "split") {
        double split = 0;
        if (!readSplit(words[1], split)) return refused("split takes the picture's share of the height, 0.2 to 0.8");
        view.split = split;
        state.panel = true;
        ViewDone result = done("the picture takes " + splitText(split) + " of the height");
        result.splitChanged = true;
        return result;
    }
    if (command == "inspector") {
        if (words.size() > 1 && words[1] != "on" && words[1] != "off") return refused("inspector takes on or off");
        view.inspector = words.size() > 1 ? words[1] == "on" : !view.inspector;
        if (view.inspector) state.panel = true;
        return done(std::string("the inspector ") + (view.inspector ? "shown" : "hidden"));
    }
    return ViewDone();
}
