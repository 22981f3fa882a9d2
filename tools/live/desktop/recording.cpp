// The inspector's edits, and a fader recorded: while the music plays, a
// slider held in the inspector writes its value as a key at every row the
// music passes, as one step of undo; a second pass over the same rows
// writes over them. Paused, the slider sets the key at the row.
#include "live.h"

#include "demo/tracks.h"
#include "value_pane.h"

#include <algorithm>
#include <cmath>

namespace live {

namespace {

int wholeRow(double row)
{
    return static_cast<int>(std::floor(row + 1e-6));
}

const TrackKey* keyAtOrBefore(const TextTrack* track, int row)
{
    const TrackKey* found = nullptr;
    for (size_t k = 0; track && k < track->keys.size() && track->keys[k].row <= row; ++k) found = &track->keys[k];
    return found;
}

// The slider's range: the parameter's annotation, else its keys' values
// and its value now, with room either side.
void sliderRange(int track, const TextTrack* keys, float value, float& low, float& high)
{
    const UniformRange& range = LIVE.demo.ranges[static_cast<size_t>(track)];
    if (range.given && range.high > range.low) {
        low = range.low;
        high = range.high;
        return;
    }
    low = high = std::isfinite(value) ? value : 0.0f;
    for (size_t k = 0; keys && k < keys->keys.size(); ++k) {
        if (!std::isfinite(keys->keys[k].value)) continue;
        low = std::min(low, keys->keys[k].value);
        high = std::max(high, keys->keys[k].value);
    }
    const float pad = std::max(0.5f, (high - low) * 0.25f);
    low = std::floor(low - pad);
    high = std::ceil(high + pad);
}

std::vector<std::string> colourTracks(const std::string& name)
{
    const std::string group = trackGroup(name);
    std::vector<std::string> tracks;
    for (const char* part : {".r", ".g", ".b"}) {
        if (trackIndex(group + part) >= 0) tracks.push_back(group + part);
    }
    return tracks;
}

InspectorFacts inspectorFacts()
{
    const TrackEditor& editor = *LIVE.editor;
    InspectorFacts facts;
    facts.track = editor.selected();
    const int track = std::max(0, trackIndex(facts.track));
    facts.row = wholeRow(LIVE.row);
    const TextTrack* keys = editor.document().find(facts.track);
    const TrackKey* at = keyAtOrBefore(keys, facts.row);
    facts.keyHere = at && at->row == facts.row;
    facts.interpolation = at ? at->interpolation : -1;
    facts.value = facts.keyHere ? at->value : sampleTrackAt(track, LIVE.row);
    // A slider held keeps the range it was taken with: the keys it writes
    // would otherwise stretch the range under the pointer.
    if (LIVE.edit.heldRange) {
        facts.low = LIVE.edit.heldLow;
        facts.high = LIVE.edit.heldHigh;
    } else {
        sliderRange(track, keys, facts.value, facts.low, facts.high);
    }
    const std::vector<std::string> colour = colourTracks(facts.track);
    facts.colour = LIVE.demo.ranges[static_cast<size_t>(track)].colour && colour.size() == 3;
    for (size_t c = 0; facts.colour && c < 3; ++c) {
        facts.colourTracks[c] = colour[c];
        facts.colourValues[c] = sampleTrackAt(trackIndex(colour[c]), LIVE.row);
    }
    facts.selectedKeys = editor.selection().size();
    facts.playing = playingAtFullSpeed();
    facts.recording = LIVE.edit.recording.active;
    facts.editable = editor.editable();
    return facts;
}

// Writes the held values at the rows from the last written up to `row`.
void writeRecorded(int row)
{
    Recording& r = LIVE.edit.recording;
    // The music went back (a loop, a jump): the pass goes on from there,
    // writing over what it wrote on the way before.
    if (row < r.lastRow) r.lastRow = row - 1;
    for (int at = r.lastRow + 1; at <= row; ++at) {
        for (size_t t = 0; t < r.tracks.size(); ++t) {
            if (!LIVE.editor->setKeyLive(r.tracks[t], at, r.values[t], r.first, 1)) {
                r.active = false;
                return;
            }
            r.first = false;
        }
        ++r.written;
        r.firstRow = std::min(r.firstRow, at);
        r.lastWritten = std::max(r.lastWritten, at);
    }
    r.lastRow = std::max(r.lastRow, row);
}

void endRecording()
{
    Recording& r = LIVE.edit.recording;
    if (!r.active) return;
    r.active = false;
    if (r.written == 0) return;
    say("recorded " + r.tracks.front() + (r.tracks.size() > 1 ? " (and its colour)" : "") + " at " +
        std::to_string(r.written) + (r.written == 1 ? " row" : " rows") + ", " + std::to_string(r.firstRow) + " to " +
        std::to_string(r.lastWritten) + " (one undo)");
}

} // namespace

void recordPass()
{
    Recording& r = LIVE.edit.recording;
    if (!r.active) return;
    // The pass ends with the music, and with the inspector out of sight
    // (hidden, the panel hidden, the help over it): nothing holds its
    // slider any more.
    if (!playingAtFullSpeed() || !LIVE.edit.view.inspector || !LIVE.edit.panel || LIVE.edit.help) {
        endRecording();
        return;
    }
    writeRecorded(wholeRow(LIVE.row));
}

void inspect()
{
    if (!LIVE.edit.view.inspector || !LIVE.edit.panel) return;
    const InspectorFacts facts = inspectorFacts();
    const InspectorAction did = drawInspector(panelLayout(), facts);
    LIVE.edit.heldRange = did.held;
    LIVE.edit.heldLow = facts.low;
    LIVE.edit.heldHigh = facts.high;
    Recording& r = LIVE.edit.recording;
    TrackEditor& editor = *LIVE.editor;
    if (did.kind == InspectorAction::Interpolation) {
        editor.setInterpolationOfKeys(did.interpolation);
        return;
    }
    if (did.kind == InspectorAction::None) {
        if (r.active) endRecording();
        return;
    }
    std::vector<std::string> tracks{facts.track};
    std::vector<float> values{did.value};
    if (did.kind == InspectorAction::Colour) {
        tracks.assign(facts.colourTracks, facts.colourTracks + 3);
        values.assign(did.colour, did.colour + 3);
    }
    if (facts.playing && did.held) {
        // A performer's pass: the values ride along with the music.
        if (!r.active) {
            r = Recording();
            r.active = true;
            r.tracks = tracks;
            r.lastRow = wholeRow(LIVE.row) - 1;
            r.firstRow = wholeRow(LIVE.row);
        }
        r.values = values;
        writeRecorded(wholeRow(LIVE.row));
        return;
    }
    if (r.active) endRecording();
    // A slider taken is one step of undo from its first change on.
    if (did.first) LIVE.edit.inspectorFresh = true;
    if (!did.changed) return;
    for (size_t t = 0; t < tracks.size(); ++t) {
        editor.setKeyLive(tracks[t], facts.row, values[t], LIVE.edit.inspectorFresh);
        LIVE.edit.inspectorFresh = false;
    }
}

} // namespace live
