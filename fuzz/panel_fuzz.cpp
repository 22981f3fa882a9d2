// libFuzzer target: the track panel's geometry under any window, names,
// filter and point. The input is a window size, a row, a span and a point
// (two bytes each), then names separated by newlines, a NUL and a filter.
// Nothing may crash, the view keeps its span in bounds and the inspector
// right of the curves, every sheet line must stand for a track or a group
// the names have, every line shown must lie inside the sheet, every key a
// box finds must be a key, and printable text must be valid UTF-8 with no
// control byte.
#include "panel.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

uint16_t take(const uint8_t*& data, size_t& size)
{
    if (size < 2) return 0;
    const uint16_t value = static_cast<uint16_t>(data[0] | data[1] << 8);
    data += 2;
    size -= 2;
    return value;
}

void checkPrintable(const std::string& in)
{
    const std::string out = printableText(in);
    for (size_t i = 0; i < out.size();) {
        const unsigned char c = static_cast<unsigned char>(out[i]);
        if (c < 32 || c == 127) std::abort();
        const size_t length = c < 0x80 ? 1 : c >= 0xf0 ? 4 : c >= 0xe0 ? 3 : c >= 0xc2 ? 2 : 0;
        if (length == 0 || i + length > out.size()) std::abort();
        for (size_t k = 1; k < length; ++k) {
            if ((static_cast<unsigned char>(out[i + k]) & 0xc0) != 0x80) std::abort();
        }
        i += length;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const int width = take(data, size) % 5000, height = take(data, size) % 5000;
    const double row = take(data, size) / 16.0 - 100, span = take(data, size) % 5000;
    const float x = static_cast<float>(take(data, size) % 6000), y = static_cast<float>(take(data, size) % 6000);
    const std::string rest(reinterpret_cast<const char*>(data), size);
    const size_t nul = rest.find('\0');
    const std::string list = rest.substr(0, nul), filter = nul == std::string::npos ? "" : rest.substr(nul + 1);
    checkPrintable(rest);
    std::vector<std::string> names;
    for (size_t at = 0; at <= list.size() && names.size() < 64;) {
        const size_t end = std::min(list.find('\n', at), list.size());
        names.push_back(list.substr(at, end - at));
        at = end + 1;
    }
    PanelView view;
    view.span = span;
    view.filter = filter.substr(0, PanelView::filterLimit);
    view.scroll = static_cast<int>(y) - 100;
    if (!names.empty()) view.folded.insert(trackGroup(names.front()));
    // The splitter anywhere (even outside its range), the inspector shown
    // or not, the view placed by the row and zoomed about the point.
    view.split = static_cast<double>(static_cast<int>(x) % 1200) / 1000.0 - 0.1;
    view.inspector = (static_cast<int>(y) & 1) != 0;
    followRow(view, row);
    zoomView(view, span, row + x / 64.0);
    if (!(view.span >= 8 && view.span <= 1024) || !std::isfinite(view.from)) std::abort();
    const PanelLayout layout = layoutPanel(width, height, row, view, names, panelFontSize(height));
    if (width > 0 && height > 0 && layout.splitter.y0 < -1) std::abort();
    if (view.inspector) {
        const InspectorPlaces places = inspectorPlaces(layout);
        if (places.window.x0 < layout.curve.x1 || places.window.x1 > static_cast<float>(width) + 1) std::abort();
    }
    for (const SheetLine& line : layout.lines) {
        if (line.track >= static_cast<int>(names.size())) std::abort();
        if (line.track >= 0 && trackGroup(names[static_cast<size_t>(line.track)]) != line.group && !line.group.empty()) {
            std::abort();
        }
    }
    if (layout.firstLine < 0 || (layout.firstLine > 0 && layout.firstLine + layout.shownLines > static_cast<int>(layout.lines.size()))) {
        std::abort();
    }
    // Every track has keys at the rows of its index's multiples of 7.
    std::vector<TextTrack> tracks(names.size());
    for (size_t t = 0; t < names.size(); ++t) {
        tracks[t].name = names[t];
        for (int32_t r = 0; r < 1148; r += 7 + static_cast<int32_t>(t)) tracks[t].keys.push_back({r, static_cast<float>(r % 13), 0});
    }
    PanelFacts facts;
    facts.names = names;
    facts.curves = {0};
    facts.keys = [&](int track) { return track >= 0 && track < static_cast<int>(tracks.size()) ? &tracks[static_cast<size_t>(track)] : nullptr; };
    facts.value = [](int track, double at) { return static_cast<float>(at / (track + 1)); };
    if (names.empty()) return 0;
    const PanelHit hit = hitPanel(layout, facts, x, y);
    if (hit.track >= static_cast<int>(names.size())) std::abort();
    for (const auto& [track, key] : keysInBox(layout, facts, x, y, x / 2, y / 2)) {
        const std::vector<TrackKey>& keys = tracks.at(static_cast<size_t>(track)).keys;
        bool found = false;
        for (const TrackKey& k : keys) found = found || k.row == key;
        if (!found) std::abort();
    }
    // Axis ticks lie in the range they are asked for, and are few.
    const double low = -row, high = span;
    const std::vector<double> ticks = axisTicks(low, high, static_cast<int>(x) % 40);
    const double slack = 1e-6 * std::max(1.0, high - low);
    for (double v : ticks) {
        if (v < low - slack || v > high + slack) std::abort();
    }
    if (ticks.size() > static_cast<size_t>(static_cast<int>(x) % 40) + 1) std::abort();
    return 0;
}
