// libFuzzer target: the live editor's document under any text and any
// edits. The input is a tracks text, a NUL, then edits of four bytes each
// (what, which track or marker, row, value). Whatever text loads must come back byte
// for byte, no edit may crash, and after every edit, accepted or refused,
// the text must parse to exactly the keys the document holds.
#include "track_document.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

const char* const names[] = {"scene", "gain.r", "cam.rot.y", "new.track"};

void check(const TrackDocument& document)
{
    std::vector<TextTrack> parsed;
    TextError error;
    if (!parseTrackText(document.text(), "fuzz.tracks", parsed, error)) std::abort();
    if (parsed.size() != document.tracks().size()) std::abort();
    for (size_t t = 0; t < parsed.size(); ++t) {
        const std::vector<TrackKey>& a = parsed[t].keys;
        const std::vector<TrackKey>& b = document.tracks()[t].keys;
        if (parsed[t].name != document.tracks()[t].name || a.size() != b.size()) std::abort();
        for (size_t k = 0; k < a.size(); ++k) {
            if (a[k].row != b[k].row || a[k].interpolation != b[k].interpolation) std::abort();
            if (std::memcmp(&a[k].value, &b[k].value, sizeof(float)) != 0 && a[k].value == a[k].value) std::abort();
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const uint8_t* end = static_cast<const uint8_t*>(std::memchr(data, 0, size));
    const size_t textSize = end ? static_cast<size_t>(end - data) : size;
    const std::string text(reinterpret_cast<const char*>(data), textSize);
    TrackDocument document;
    document.lastRow = 200;
    TextError error;
    if (!document.load(text, "fuzz.tracks", error)) {
        document = TrackDocument();
        document.lastRow = 200;
    } else if (document.text() != text) {
        std::abort();
    }
    std::string message;
    for (size_t at = textSize + 1; at + 4 <= size; at += 4) {
        const uint8_t what = data[at] % 8;
        const std::string track = names[data[at + 1] % 4];
        const int32_t row = data[at + 2];
        const float value = static_cast<float>(static_cast<int8_t>(data[at + 3])) / 8.0f;
        const int32_t mode = static_cast<int32_t>(data[at + 3] % 5) - 1;
        const TextTrack* keys = document.find(track);
        switch (what) {
        case 0: document.setKey(track, row, value, mode, message, data[at + 3] & 1 ? "0.50" : ""); break;
        case 1: document.removeKey(track, row, message); break;
        case 2: document.setInterpolation(track, row, mode, message); break;
        case 3: document.moveKey(track, row, row + static_cast<int8_t>(data[at + 3]), message); break;
        case 6: document.setMarker(std::string(data[at + 1] & 1 ? "drop" : "m") + std::to_string(data[at + 1] % 3), row,
                                   message);
            break;
        case 7: document.removeMarker(data[at + 1] & 1 ? "drop1" : "m0", message); break;
        case 4:
        case 5:
            if (keys) {
                // Every key shifted (a retime) or, keys past the end apart,
                // replaced by one of each two.
                std::vector<TrackKey> shifted;
                std::vector<int> origin;
                for (size_t k = 0; k < keys->keys.size(); ++k) {
                    if (what == 5 && k % 2) continue;
                    TrackKey key = keys->keys[k];
                    if (what == 4 && key.row >= row && key.row <= document.lastRow) key.row += 1;
                    shifted.push_back(key);
                    origin.push_back(static_cast<int>(k));
                }
                document.rewriteTrack(track, shifted, origin, message);
            }
            break;
        }
        check(document);
    }
    return 0;
}
