#include "panel.h"

#include <algorithm>
#include <cctype>
#include <cmath>

namespace {

std::string lower(std::string text)
{
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

} // namespace

std::string trackGroup(const std::string& name)
{
    const size_t dot = name.find('.');
    return dot == std::string::npos ? "" : name.substr(0, dot);
}

std::vector<SheetLine> sheetLines(const std::vector<std::string>& names, const std::string& filter,
                                  const std::set<std::string>& folded)
{
    const std::string wanted = lower(filter);
    std::vector<SheetLine> lines;
    for (size_t t = 0; t < names.size(); ++t) {
        if (!wanted.empty() && lower(names[t]).find(wanted) == std::string::npos) continue;
        const std::string group = trackGroup(names[t]);
        size_t members = 0;
        for (const std::string& name : names) members += !group.empty() && trackGroup(name) == group ? 1 : 0;
        if (members < 2) {
            lines.push_back({"", static_cast<int>(t)});
            continue;
        }
        const bool headed = std::any_of(lines.begin(), lines.end(),
                                        [&](const SheetLine& l) { return l.track < 0 && l.group == group; });
        if (!headed) lines.push_back({group, -1});
        if (wanted.empty() && folded.count(group)) continue;
        lines.push_back({group, static_cast<int>(t)});
    }
    return lines;
}

float PanelLayout::xOfRow(double r) const
{
    return lanes.x0 + margin + static_cast<float>((r - firstRow) / (lastRow - firstRow)) * (lanes.width() - 2 * margin);
}

double PanelLayout::rowOfX(float x) const
{
    return firstRow + (x - lanes.x0 - margin) / (lanes.width() - 2 * margin) * (lastRow - firstRow);
}

void followRow(PanelView& view, double row)
{
    const double span = std::clamp(view.span, 4.0, 4096.0);
    if (!std::isfinite(row)) return;
    if (view.placed && row >= view.from && row <= view.from + span) return;
    const bool playedOn = view.placed && row > view.from + span && row - (view.from + span) < span / 4;
    view.from = playedOn ? row - span / 20 : row - span / 2;
    view.placed = true;
}

void zoomView(PanelView& view, double span, double anchor)
{
    span = std::clamp(span, 8.0, 1024.0);
    if (view.placed) {
        const double share = (anchor - view.from) / std::clamp(view.span, 4.0, 4096.0);
        view.from = anchor - std::clamp(share, 0.0, 1.0) * span;
    }
    view.span = span;
}

int PanelLayout::lineAt(float y) const
{
    if (y < names.y0 || y >= names.y1) return -1;
    const int line = firstLine + static_cast<int>((y - names.y0) / lane);
    return line < static_cast<int>(lines.size()) && line < firstLine + shownLines ? line : -1;
}

PanelRect PanelLayout::muteBox(int line) const
{
    const float y = lineTop(line), side = lane - 4;
    return {names.x1 - 2 * side - 8, y + 2, names.x1 - side - 8, y + 2 + side};
}

PanelRect PanelLayout::soloBox(int line) const
{
    const float y = lineTop(line), side = lane - 4;
    return {names.x1 - side - 4, y + 2, names.x1 - 4, y + 2 + side};
}

float panelFontSize(int height)
{
    return std::round(std::clamp(static_cast<float>(height) / 38.0f, 13.0f, 24.0f));
}

PanelRect wholeWindow(int width, int height)
{
    return {0, 0, static_cast<float>(width), static_cast<float>(height)};
}

PanelLayout layoutPanel(int width, int height, double row, const PanelView& view,
                        const std::vector<std::string>& names, float fontSize)
{
    PanelLayout l;
    l.width = width;
    l.height = height;
    l.fontSize = fontSize;
    l.row = row;
    const double span = std::clamp(view.span, 4.0, 4096.0);
    l.firstRow = view.placed ? view.from : row - span / 2;
    l.lastRow = l.firstRow + span;
    const float w = static_cast<float>(width), h = static_cast<float>(height);
    const float line = std::round(fontSize + 6);
    l.lane = std::round(fontSize + 4);
    // The picture takes the maker's share of the height (the splitter's),
    // the panel the rest; the panel never less than its header, ruler, two
    // lanes and strip, the picture never less than a fifth.
    const double split = std::clamp(std::isfinite(view.split) ? view.split : 0.5, leastSplit, mostSplit);
    const float least = std::min(h * 0.8f, 6 + 5 * line + 2 * l.lane);
    const float panelHeight = std::round(std::max(static_cast<float>(h * (1 - split)), least));
    l.panel = {0, h - panelHeight, w, h};
    l.splitter = {0, l.panel.y0, w, l.panel.y0 + 6};
    const float space = l.panel.y0;
    float pictureWidth = w, pictureHeight = std::round(w * 9 / 16);
    if (pictureHeight > space) {
        pictureHeight = space;
        pictureWidth = std::round(space * 16 / 9);
    }
    l.picture = {std::round((w - pictureWidth) / 2), 0, std::round((w - pictureWidth) / 2) + pictureWidth,
                 pictureHeight};
    // Names take about a fifth of the width: room for "saturation.r 0.125"
    // and the two boxes.
    const float namesWidth = std::min(std::max(w * 0.2f, fontSize * 13), w * 0.45f);
    l.header = {0, l.splitter.y1, w, l.splitter.y1 + line};
    l.ruler = {namesWidth, l.header.y1, w, l.header.y1 + line + 7};
    l.loopBand = {namesWidth, l.ruler.y1 - 7, w, l.ruler.y1};
    l.margin = std::round(l.lane * 0.5f + 2);
    l.strip = {0, h - line, w, h};
    const float body = l.strip.y0 - l.ruler.y1;
    const float curveHeight = std::floor(body * 0.28f);
    l.lines = sheetLines(names, view.filter, view.folded);
    l.shownLines = std::max(1, static_cast<int>((body - curveHeight - 2) / l.lane));
    const int lineCount = static_cast<int>(l.lines.size());
    l.firstLine = std::clamp(view.scroll, 0, std::max(0, lineCount - l.shownLines));
    const float sheetBottom = l.ruler.y1 + l.lane * static_cast<float>(l.shownLines);
    l.names = {0, l.ruler.y1, namesWidth, sheetBottom};
    l.lanes = {namesWidth, l.ruler.y1, w, sheetBottom};
    l.axis = {0, sheetBottom + 2, namesWidth, l.strip.y0 - 2};
    l.curve = {namesWidth, sheetBottom + 2, w, l.strip.y0 - 2};
    // The inspector takes the curve view's right end, as wide as "smooth"
    // and a slider need, at most a third of the window.
    if (view.inspector) {
        const float inspectorWidth = std::round(std::min(fontSize * 20, w / 3));
        l.inspector = {w - inspectorWidth, l.curve.y0, w, l.curve.y1};
        l.curve.x1 = l.inspector.x0 - 2;
    }
    return l;
}

InspectorPlaces inspectorPlaces(const PanelLayout& l)
{
    InspectorPlaces p;
    p.window = l.inspector;
    const float frame = std::round(l.fontSize + 6), pad = 8;
    p.control = {p.window.x0 + pad, p.window.y0 + pad + l.fontSize + 6, p.window.x1 - pad, 0};
    p.control.y1 = p.control.y0 + frame;
    p.list = {p.control.x0, p.control.y1 + 6, p.control.x1, p.control.y1 + 6 + frame};
    return p;
}

bool PanelFacts::isSelected(int track, int row) const
{
    return std::find(selection.begin(), selection.end(), std::make_pair(track, row)) != selection.end();
}

float yOfValue(const PanelRect& r, float value, float low, float high)
{
    return r.y1 - 4 - (value - low) / (high - low) * (r.height() - 8);
}

void curveRange(const PanelLayout& layout, const PanelFacts& facts, float& low, float& high)
{
    if (facts.fixedRange) {
        low = facts.low;
        high = facts.high;
        return;
    }
    bool any = false;
    auto take = [&](float v) {
        if (!std::isfinite(v)) return;
        low = any ? std::min(low, v) : v;
        high = any ? std::max(high, v) : v;
        any = true;
    };
    for (int track : facts.curves) {
        for (int i = 0; i <= 64; ++i) {
            take(facts.value(track, layout.firstRow + (layout.lastRow - layout.firstRow) * i / 64.0));
        }
        if (const TextTrack* keys = facts.keys(track)) {
            for (const TrackKey& key : keys->keys) {
                if (key.row >= layout.firstRow && key.row <= layout.lastRow) take(key.value);
            }
        }
    }
    if (!any) low = high = 0;
    if (high - low < 1e-6f) {
        const float pad = std::max(0.5f, std::fabs(high) * 0.1f);
        low -= pad;
        high += pad;
    }
    const float margin = (high - low) * 0.1f;
    low -= margin;
    high += margin;
    const float zoom = std::clamp(facts.valueZoom, 1.0f / 64, 64.0f);
    const float middle = (low + high) / 2, half = (high - low) / 2 / zoom;
    if (std::isfinite(half) && half > 0) {
        low = middle - half;
        high = middle + half;
    }
}

std::vector<double> axisTicks(double low, double high, int most)
{
    std::vector<double> ticks;
    if (!(high > low) || most < 1 || !std::isfinite(high - low)) return ticks;
    const double rough = (high - low) / most;
    const double power = std::pow(10.0, std::floor(std::log10(rough)));
    double step = power;
    for (double factor : {1.0, 2.0, 5.0, 10.0}) {
        step = factor * power;
        if ((high - low) / step <= most) break;
    }
    for (double v = std::ceil(low / step) * step; v <= high + step * 1e-9 && ticks.size() < static_cast<size_t>(most) + 1;
         v += step) {
        ticks.push_back(std::fabs(v) < step * 1e-9 ? 0.0 : v);
    }
    return ticks;
}

std::vector<int> lineTracks(const PanelLayout& layout, const std::vector<std::string>& names, int line)
{
    std::vector<int> tracks;
    if (line < 0 || line >= static_cast<int>(layout.lines.size())) return tracks;
    const SheetLine& l = layout.lines[line];
    if (l.track >= 0) return {l.track};
    // A header stands for its group's tracks shown below it; folded, none
    // are shown, and the names tell them.
    for (const SheetLine& shown : layout.lines) {
        if (shown.track >= 0 && shown.group == l.group) tracks.push_back(shown.track);
    }
    if (!tracks.empty()) return tracks;
    for (size_t t = 0; t < names.size(); ++t) {
        if (trackGroup(names[t]) == l.group) tracks.push_back(static_cast<int>(t));
    }
    return tracks;
}

PanelHit hitPanel(const PanelLayout& l, const PanelFacts& facts, float x, float y)
{
    PanelHit hit;
    if (l.strip.contains(x, y)) {
        hit.where = PanelHit::Strip;
        hit.row = std::clamp(static_cast<double>(x) / l.width * facts.lastRow, 0.0, facts.lastRow);
        return hit;
    }
    if (l.splitter.contains(x, y)) {
        hit.where = PanelHit::Splitter;
        return hit;
    }
    if (l.loopBand.contains(x, y)) {
        hit.where = PanelHit::LoopBand;
        hit.row = std::clamp(l.rowOfX(x), 0.0, facts.lastRow);
        return hit;
    }
    if (l.header.contains(x, y)) {
        hit.where = PanelHit::Header;
        return hit;
    }
    if (l.ruler.contains(x, y)) {
        hit.where = PanelHit::Ruler;
        hit.row = std::clamp(l.rowOfX(x), 0.0, facts.lastRow);
        return hit;
    }
    auto nearestKey = [&](int track, float reach, const std::function<bool(const TrackKey&)>& within) {
        const TextTrack* keys = facts.keys(track);
        int found = -1;
        float best = reach;
        for (size_t k = 0; keys && k < keys->keys.size(); ++k) {
            const float distance = std::fabs(l.xOfRow(keys->keys[k].row) - x);
            if (distance <= best && within(keys->keys[k])) {
                best = distance;
                found = keys->keys[k].row;
            }
        }
        return found;
    };
    const int line = l.lineAt(y);
    if (line >= 0 && (l.names.contains(x, y) || l.lanes.contains(x, y))) {
        const SheetLine& sheet = l.lines[line];
        hit.line = line;
        hit.track = sheet.track;
        hit.group = sheet.group;
        hit.row = l.names.contains(x, y) ? l.row : l.rowOfX(x);
        if (l.names.contains(x, y)) {
            if (l.muteBox(line).contains(x, y)) hit.where = PanelHit::Mute;
            else if (l.soloBox(line).contains(x, y)) hit.where = PanelHit::Solo;
            else hit.where = sheet.track < 0 ? PanelHit::Fold : PanelHit::Name;
            return hit;
        }
        hit.where = PanelHit::Lane;
        int best = -1;
        for (int track : lineTracks(l, facts.names, line)) {
            const int key = nearestKey(track, 6.0f, [](const TrackKey&) { return true; });
            if (key >= 0 && (best < 0 || std::fabs(l.xOfRow(key) - x) < std::fabs(l.xOfRow(best) - x))) best = key;
        }
        hit.key = best;
        return hit;
    }
    if (l.curve.contains(x, y)) {
        float low = 0, high = 1;
        curveRange(l, facts, low, high);
        hit.where = PanelHit::Curve;
        hit.row = l.rowOfX(x);
        hit.value = low + (l.curve.y1 - 4 - y) / (l.curve.height() - 8) * (high - low);
        for (int track : facts.curves) {
            const int key = nearestKey(track, 6.0f, [&](const TrackKey& k) {
                return std::fabs(yOfValue(l.curve, k.value, low, high) - y) <= 8.0f;
            });
            if (key >= 0) {
                hit.key = key;
                hit.track = track;
                break;
            }
        }
    }
    return hit;
}

std::vector<std::pair<int, int>> keysInBox(const PanelLayout& l, const PanelFacts& facts, float x0, float y0,
                                           float x1, float y1)
{
    std::vector<std::pair<int, int>> keys;
    const float top = std::max(std::min(y0, y1), l.names.y0), bottom = std::min(std::max(y0, y1), l.names.y1 - 1);
    const double first = l.rowOfX(std::min(x0, x1)), last = l.rowOfX(std::max(x0, x1));
    // A line is in the box where the box reaches its keys' middle: a box
    // that grazes the line above takes none of its keys.
    int from = l.lineAt(top), to = l.lineAt(bottom);
    if (from < 0 || to < 0) return keys;
    if (from != to && top > l.lineTop(from) + l.lane / 2) ++from;
    if (from != to && bottom < l.lineTop(to) + l.lane / 2) --to;
    for (int line = from; line <= to; ++line) {
        for (int track : lineTracks(l, facts.names, line)) {
            const TextTrack* text = facts.keys(track);
            for (size_t k = 0; text && k < text->keys.size(); ++k) {
                const int row = text->keys[k].row;
                if (row >= first && row <= last && row >= l.firstRow && row <= l.lastRow &&
                    std::find(keys.begin(), keys.end(), std::make_pair(track, row)) == keys.end()) {
                    keys.emplace_back(track, row);
                }
            }
        }
    }
    return keys;
}

std::string printableText(const std::string& line)
{
    std::string out;
    out.reserve(line.size());
    for (size_t i = 0; i < line.size();) {
        const unsigned char c = static_cast<unsigned char>(line[i]);
        if (c < 0x80) {
            out.push_back(c < 32 || c == 127 ? '?' : static_cast<char>(c));
            ++i;
            continue;
        }
        // A whole, shortest-form sequence of 2 to 4 bytes stays as it is.
        const size_t length = c >= 0xc2 && c <= 0xdf ? 2 : c >= 0xe0 && c <= 0xef ? 3 : c >= 0xf0 && c <= 0xf4 ? 4 : 0;
        bool whole = length > 0 && i + length <= line.size();
        for (size_t k = 1; whole && k < length; ++k) whole = (static_cast<unsigned char>(line[i + k]) & 0xc0) == 0x80;
        if (whole && length == 3) {
            const unsigned char next = static_cast<unsigned char>(line[i + 1]);
            whole = !(c == 0xe0 && next < 0xa0) && !(c == 0xed && next >= 0xa0);
        }
        if (whole && length == 4) {
            const unsigned char next = static_cast<unsigned char>(line[i + 1]);
            whole = !(c == 0xf0 && next < 0x90) && !(c == 0xf4 && next >= 0x90);
        }
        if (!whole) {
            out.push_back('?');
            ++i;
            continue;
        }
        out.append(line, i, length);
        i += length;
    }
    return out;
}
