// The inspector on the desktop: the core's (value_edits.h), told what the
// player's demo and music are doing.
#include "live.h"

#include "demo/tracks.h"

namespace live {

void makeInspector()
{
    InspectorHost host;
    host.row = [] { return LIVE.row; };
    host.playing = [] { return playingAtFullSpeed(); };
    host.value = [](const std::string& track, double row) {
        const int index = trackIndex(track);
        return index < 0 ? 0.0f : sampleTrackAt(index, row);
    };
    host.known = [](const std::string& track) { return trackIndex(track) >= 0; };
    host.range = [](const std::string& track, float& low, float& high, bool& colour) {
        const int index = trackIndex(track);
        if (index < 0 || static_cast<size_t>(index) >= LIVE.demo.ranges.size()) return false;
        const UniformRange& range = LIVE.demo.ranges[static_cast<size_t>(index)];
        low = range.low;
        high = range.high;
        colour = range.colour;
        return range.given;
    };
    host.say = [](const std::string& line) { say(line); };
    LIVE.inspector = std::make_unique<Inspector>(host);
}

void inspect()
{
    if (!LIVE.edit.view.inspector || !LIVE.edit.panel) return;
    LIVE.inspector->drawAndEdit(panelLayout(), *LIVE.editor);
}

void recordPass()
{
    // The pass ends with the inspector out of sight (hidden, the panel
    // hidden, the help over it).
    LIVE.inspector->follow(*LIVE.editor, LIVE.edit.view.inspector && LIVE.edit.panel && !LIVE.edit.help);
}

} // namespace live
