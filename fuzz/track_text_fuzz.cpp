// libFuzzer target: any bytes as a track source text. Parsing must never
// crash, and whatever parses must format and parse back to the same tracks
// and encode to files that decode to the same keys.
#include "track_text.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

bool sameKeys(const std::vector<TrackKey>& a, const std::vector<TrackKey>& b)
{
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (a[i].row != b[i].row || a[i].interpolation != b[i].interpolation) return false;
        if (std::memcmp(&a[i].value, &b[i].value, sizeof(float)) != 0 &&
            !(a[i].value != a[i].value && b[i].value != b[i].value)) // NaN payloads may differ
            return false;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::vector<TextTrack> tracks;
    TextError error;
    if (!parseTrackText(text, "fuzz.tracks", tracks, error)) {
        if (error.line < 1 || error.message.empty()) std::abort();
        return 0;
    }
    std::vector<TextTrack> again;
    if (!parseTrackText(formatTrackText(tracks), "formatted", again, error)) std::abort();
    if (again.size() != tracks.size()) std::abort();
    for (size_t i = 0; i < tracks.size(); ++i) {
        if (again[i].name != tracks[i].name || !sameKeys(again[i].keys, tracks[i].keys)) std::abort();
        std::vector<TrackFileProblem> problems;
        const std::vector<TrackKey> decoded = decodeTrackFile(encodeTrackFile(tracks[i].keys), problems);
        if (!sameKeys(decoded, tracks[i].keys)) std::abort();
    }
    return 0;
}
