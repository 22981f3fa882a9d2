// The studio's editor and what it edits: the tracks text through the
// page's store, each track's keys to the demo (held where muted), the
// inspector, and the transport's verbs on the studio's time.
#include "studio.h"

#include "page_text.h"

#include "demo/clock.h"
#include "demo/tracks.h"
#include "render/scene_index.h"

#include <algorithm>
#include <iostream>
#include <set>
#include <sys/stat.h>

namespace studio {

TransportTimeline timeline()
{
    return {state().folder.description.rowRate, state().folder.description.endRow};
}

void moveTo(double row)
{
    Studio& s = state();
    const std::string said = moveTransport(s.time, timeline(), row);
    s.row = transportRow(s.time);
    if (!said.empty()) say(said);
}

void setPaused(bool paused)
{
    Studio& s = state();
    if (paused == s.time.paused) return;
    setTimeMode(s.time, paused, s.time.slowness);
    say(paused ? "paused" : "playing");
}

void setLoop(double from, double to)
{
    Studio& s = state();
    const std::string said = setTransportLoop(s.time, timeline(), from, to);
    if (!said.empty()) say(said);
    if (s.time.loop && (s.row < s.time.loopFrom || s.row > s.time.loopTo)) moveTo(s.time.loopFrom);
}

void findSceneCuts()
{
    Studio& s = state();
    const auto& names = s.names;
    const int sceneTrack = static_cast<int>(std::find(names.begin(), names.end(), s.folder.description.sceneTrack) - names.begin());
    const int scenes = static_cast<int>(s.folder.description.scenes.size());
    findCuts(s.time, timeline(), [sceneTrack, scenes](double row) {
        return sceneFromIndex(truncateToInt(sampleTrackAt(sceneTrack, row)), scenes);
    });
}

void say(const std::string& line)
{
    state().said.push_back(line);
    state().lastMessage = line;
    std::cerr << line << "\n";
}

void pushTrack(int index)
{
    Studio& s = state();
    if (index < 0 || index >= static_cast<int>(s.names.size()) || !s.editor) return;
    const TextTrack* track = s.editor->document().find(s.names[static_cast<size_t>(index)]);
    const bool empty = !track || track->keys.empty();
    const auto& ranges = s.folder.ranges;
    const bool given = static_cast<size_t>(index) < ranges.size() && ranges[static_cast<size_t>(index)].given;
    // Muted, or not soloed while others are: held at its first key's value
    // (the scene and the time go on, as on the desktop).
    const DemoDescription& d = s.folder.description;
    const bool keeps = s.names[static_cast<size_t>(index)] == d.sceneTrack || s.names[static_cast<size_t>(index)] == d.timeTrack;
    const bool held = s.muted.count(index) || (!s.soloed.empty() && !s.soloed.count(index) && !keeps);
    if (held || (empty && given)) {
        // A parameter without keys stands at its declared default.
        const float value = empty ? (given ? ranges[static_cast<size_t>(index)].initial[0] : 0.0f) : track->keys.front().value;
        const TrackKey first{0, value, 0};
        setTrackKeys(index, &first, 1);
    } else {
        setTrackKeys(index, empty ? nullptr : track->keys.data(), empty ? 0 : static_cast<int>(track->keys.size()));
    }
    if (s.names[static_cast<size_t>(index)] == d.sceneTrack && !s.time.cuts.empty()) findSceneCuts();
}

void makeEditor()
{
    Studio& s = state();
    EditorHooks hooks;
    hooks.row = [] { return state().row; };
    hooks.moveTo = [](double row) { moveTo(row); };
    hooks.setPaused = [](bool paused) { setPaused(paused); };
    hooks.keysChanged = [](const std::string& name, const TextTrack*) {
        const auto& names = state().names;
        const auto at = std::find(names.begin(), names.end(), name);
        if (at != names.end()) pushTrack(static_cast<int>(at - names.begin()));
    };
    hooks.valueAt = [](const std::string& name) {
        const auto& names = state().names;
        const auto at = std::find(names.begin(), names.end(), name);
        return at == names.end() ? 0.0f : sampleTrackAt(static_cast<int>(at - names.begin()), state().row);
    };
    hooks.say = [](const std::string& line) { say(line); };
    hooks.showError = [](const std::string& key, const std::string& line) {
        auto& errors = state().errors;
        const std::string file = key.substr(0, key.find(' '));
        if (line.empty()) {
            errors.erase(file);
            return;
        }
        errors[file] = {fileError(file, line)};
    };
    hooks.view = viewCommand;
    s.editor = std::make_unique<TrackEditor>(pageText("/demo", s.tracksText), s.names, hooks);
    s.editor->setLastRow(static_cast<int32_t>(s.folder.description.endRow));
    struct stat info = {};
    if (!s.tracksText.empty() && stat(("/demo/" + s.tracksText).c_str(), &info) != 0) {
        // A folder whose tracks text is missing starts an empty one.
        std::string message;
        pageText("/demo", s.tracksText)->write("", false, message);
    }
    s.editor->reload();

    InspectorHost host;
    host.row = [] { return state().row; };
    host.playing = [] { return playingAtFullSpeed(state().time); };
    host.value = [](const std::string& track, double row) {
        const auto& names = state().names;
        const auto at = std::find(names.begin(), names.end(), track);
        return at == names.end() ? 0.0f : sampleTrackAt(static_cast<int>(at - names.begin()), row);
    };
    host.known = [](const std::string& track) {
        const auto& names = state().names;
        return std::find(names.begin(), names.end(), track) != names.end();
    };
    host.range = [](const std::string& track, float& low, float& high, bool& colour) {
        const auto& names = state().names;
        const size_t index = static_cast<size_t>(std::find(names.begin(), names.end(), track) - names.begin());
        const auto& ranges = state().folder.ranges;
        if (index >= ranges.size()) return false;
        low = ranges[index].low;
        high = ranges[index].high;
        colour = ranges[index].colour;
        return ranges[index].given;
    };
    host.say = [](const std::string& line) { say(line); };
    s.inspector = std::make_unique<Inspector>(host);
}

std::vector<double> sectionRows()
{
    // Where each scene first shows, in the order they do.
    Studio& s = state();
    std::vector<double> rows;
    std::set<int> seen;
    const auto& names = s.names;
    const int sceneTrack = static_cast<int>(std::find(names.begin(), names.end(), s.folder.description.sceneTrack) -
                                            names.begin());
    for (double cut : s.time.cuts) {
        if (seen.insert(truncateToInt(sampleTrackAt(sceneTrack, cut))).second) rows.push_back(cut);
    }
    return rows;
}

} // namespace studio
