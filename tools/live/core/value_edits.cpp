#include "value_edits.h"

#include <algorithm>
#include <cmath>

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

// The slider's range where the shader declares none: the keys' values and
// the value now, with room either side.
void rangeOfKeys(const TextTrack* keys, float value, float& low, float& high)
{
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

} // namespace

std::vector<std::string> Inspector::colourTracks(const std::string& track) const
{
    const std::string group = trackGroup(track);
    std::vector<std::string> tracks;
    for (const char* part : {".r", ".g", ".b"}) {
        if (host_.known(group + part)) tracks.push_back(group + part);
    }
    return tracks;
}

InspectorFacts Inspector::facts(const TrackEditor& editor) const
{
    InspectorFacts facts;
    facts.track = editor.selected();
    const double row = host_.row();
    facts.row = wholeRow(row);
    const TextTrack* keys = editor.document().find(facts.track);
    const TrackKey* at = keyAtOrBefore(keys, facts.row);
    facts.keyHere = at && at->row == facts.row;
    facts.interpolation = at ? at->interpolation : -1;
    facts.value = facts.keyHere ? at->value : host_.value(facts.track, row);
    float low = 0, high = 0;
    bool colour = false;
    const bool declared = host_.range(facts.track, low, high, colour) && high > low;
    // A slider held keeps the range it was taken with: the keys it writes
    // would otherwise stretch the range under the pointer.
    if (held_) {
        facts.low = heldLow_;
        facts.high = heldHigh_;
    } else if (declared) {
        facts.low = low;
        facts.high = high;
    } else {
        rangeOfKeys(keys, facts.value, facts.low, facts.high);
    }
    const std::vector<std::string> tracks = colourTracks(facts.track);
    facts.colour = colour && tracks.size() == 3;
    for (size_t c = 0; facts.colour && c < 3; ++c) {
        facts.colourTracks[c] = tracks[c];
        facts.colourValues[c] = host_.value(tracks[c], row);
    }
    facts.selectedKeys = editor.selection().size();
    facts.playing = host_.playing();
    facts.recording = pass_.active;
    facts.editable = editor.editable();
    return facts;
}

// Writes the held values at the rows from the last written up to `row`.
void Inspector::write(TrackEditor& editor, int row)
{
    Pass& p = pass_;
    // The music went back (a loop, a jump): the pass goes on from there,
    // writing over what it wrote on the way before.
    if (row < p.lastRow) p.lastRow = row - 1;
    for (int at = p.lastRow + 1; at <= row; ++at) {
        for (size_t t = 0; t < p.tracks.size(); ++t) {
            if (!editor.setKeyLive(p.tracks[t], at, p.values[t], p.first, 1)) {
                p.active = false;
                return;
            }
            p.first = false;
        }
        ++p.written;
        p.firstRow = std::min(p.firstRow, at);
        p.lastWritten = std::max(p.lastWritten, at);
    }
    p.lastRow = std::max(p.lastRow, row);
}

void Inspector::end()
{
    Pass& p = pass_;
    if (!p.active) return;
    p.active = false;
    if (p.written == 0) return;
    host_.say("recorded " + p.tracks.front() + (p.tracks.size() > 1 ? " (and its colour)" : "") + " at " +
              std::to_string(p.written) + (p.written == 1 ? " row" : " rows") + ", " + std::to_string(p.firstRow) +
              " to " + std::to_string(p.lastWritten) + " (one undo)");
}

void Inspector::follow(TrackEditor& editor, bool shown)
{
    if (!pass_.active) return;
    // The pass ends with the music, and with the inspector out of sight:
    // nothing holds its slider any more.
    if (!host_.playing() || !shown) {
        end();
        return;
    }
    write(editor, wholeRow(host_.row()));
}

void Inspector::drawAndEdit(const PanelLayout& layout, TrackEditor& editor)
{
    const InspectorFacts shown = facts(editor);
    const InspectorAction did = drawInspector(layout, shown);
    held_ = did.held;
    heldLow_ = shown.low;
    heldHigh_ = shown.high;
    if (did.kind == InspectorAction::Interpolation) {
        editor.setInterpolationOfKeys(did.interpolation);
        return;
    }
    if (did.kind == InspectorAction::None) {
        end();
        return;
    }
    std::vector<std::string> tracks{shown.track};
    std::vector<float> values{did.value};
    if (did.kind == InspectorAction::Colour) {
        tracks.assign(shown.colourTracks, shown.colourTracks + 3);
        values.assign(did.colour, did.colour + 3);
    }
    const int row = wholeRow(host_.row());
    if (shown.playing && did.held) {
        // A performer's pass: the values ride along with the music.
        if (!pass_.active) {
            pass_ = Pass();
            pass_.active = true;
            pass_.tracks = tracks;
            pass_.lastRow = row - 1;
            pass_.firstRow = row;
        }
        pass_.values = values;
        write(editor, row);
        return;
    }
    end();
    // A slider taken is one step of undo from its first change on.
    if (did.first) fresh_ = true;
    if (!did.changed) return;
    for (size_t t = 0; t < tracks.size(); ++t) {
        editor.setKeyLive(tracks[t], shown.row, values[t], fresh_);
        fresh_ = false;
    }
}
