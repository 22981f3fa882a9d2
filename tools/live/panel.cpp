#include "panel.h"

#include "demo/timeline.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

using Colour = std::array<float, 4>;
const Colour backdrop = {0.0f, 0.0f, 0.0f, 0.6f};
const Colour beatLine = {1.0f, 1.0f, 1.0f, 0.08f};
const Colour barLine = {1.0f, 1.0f, 1.0f, 0.25f};
const Colour keyColour = {1.0f, 0.85f, 0.3f, 1.0f};
const Colour hereColour = {1.0f, 0.3f, 0.3f, 0.9f};
const Colour curveColour = {0.5f, 0.9f, 1.0f, 1.0f};
const Colour selectedLane = {0.3f, 0.6f, 1.0f, 0.25f};
const Colour white = {1.0f, 1.0f, 1.0f, 1.0f};

float xOfRow(const PanelLayout& layout, double row)
{
    const PanelRect& r = layout.lanes;
    return r.x0 + static_cast<float>((row - layout.firstRow) / (layout.lastRow - layout.firstRow)) * (r.x1 - r.x0);
}

double rowOfX(const PanelLayout& layout, float x)
{
    const PanelRect& r = layout.lanes;
    return layout.firstRow + (x - r.x0) / (r.x1 - r.x0) * (layout.lastRow - layout.firstRow);
}

float yOfValue(const PanelRect& r, float value, float low, float high)
{
    return r.y1 - 4 - (value - low) / (high - low) * (r.y1 - r.y0 - 8);
}

std::string valueText(float value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.4g", static_cast<double>(value));
    return text;
}

} // namespace

PanelLayout layoutPanel(int width, int height, double row, double span)
{
    PanelLayout l;
    l.width = width;
    l.height = height;
    l.row = row;
    l.firstRow = row - span / 2;
    l.lastRow = row + span / 2;
    const float w = static_cast<float>(width), h = static_cast<float>(height);
    const float stripHeight = std::clamp(h / 24.0f, 14.0f, 30.0f);
    const float curveHeight = h * 0.22f;
    l.lane = std::floor(std::clamp(h * 0.42f / 31.0f, 4.0f, 12.0f));
    // The names take at most two fifths of a narrow window: the rows keep
    // the rest, never nothing.
    const float namesWidth = std::min(std::clamp(w * 0.2f, 60.0f, 220.0f), w * 0.4f);
    l.strip = {0, h - stripHeight, w, h};
    l.curve = {namesWidth, l.strip.y0 - 4 - curveHeight, w, l.strip.y0 - 4};
    const float dopeTop = l.curve.y0 - 4 - l.lane * 31;
    l.names = {0, dopeTop, namesWidth, dopeTop + l.lane * 31};
    l.lanes = {namesWidth, dopeTop, w, dopeTop + l.lane * 31};
    if (dopeTop < 0) {
        // A small window: thinner lanes, all of them still on it.
        l.lane = std::max(2.0f, std::floor((l.curve.y0 - 4) / 31));
        l.names = {0, l.curve.y0 - 4 - l.lane * 31, namesWidth, l.curve.y0 - 4};
        l.lanes = {namesWidth, l.names.y0, w, l.names.y1};
    }
    l.textScale = l.lane >= 11 ? 1.0f : l.lane >= 8 ? 0.8f : 0.0f;
    return l;
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
    for (int i = 0; i <= 64; ++i) {
        take(facts.value(facts.selected, layout.firstRow + (layout.lastRow - layout.firstRow) * i / 64.0));
    }
    if (const TextTrack* track = facts.keys(facts.selected)) {
        for (const TrackKey& key : track->keys) {
            if (key.row >= layout.firstRow && key.row <= layout.lastRow) take(key.value);
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
}

void drawPanel(OverlayText& text, const PanelLayout& l, const PanelFacts& facts)
{
    const int w = l.width, h = l.height;
    std::vector<OverlayText::Box> boxes;
    auto box = [&](const PanelRect& r, const Colour& c) { boxes.push_back({r.x0, r.y0, r.x1, r.y1, c}); };
    box({0, l.names.y0, l.lanes.x1, l.lanes.y1}, backdrop);
    box({0, l.curve.y0, l.curve.x1, l.curve.y1}, backdrop);
    box(l.strip, {0.0f, 0.0f, 0.0f, 0.75f});
    box({l.lanes.x0, l.lanes.y0 + l.lane * facts.selected, l.lanes.x1, l.lanes.y0 + l.lane * (facts.selected + 1)},
        selectedLane);
    // Bar and beat lines through the lanes and the curve.
    for (int row = static_cast<int>(std::ceil(l.firstRow / rowsPerBeat)) * rowsPerBeat; row <= l.lastRow;
         row += rowsPerBeat) {
        const float x = xOfRow(l, row);
        const Colour& c = row % rowsPerBar == 0 ? barLine : beatLine;
        box({x, l.lanes.y0, x + 1, l.lanes.y1}, c);
        box({x, l.curve.y0, x + 1, l.curve.y1}, c);
    }
    // Keys in the lanes.
    const int here = static_cast<int>(std::floor(l.row + 1e-6));
    for (int t = 0; t < static_cast<int>(facts.names.size()); ++t) {
        const TextTrack* track = facts.keys(t);
        if (!track) continue;
        const float y0 = l.lanes.y0 + l.lane * t + 1, y1 = y0 + std::max(2.0f, l.lane - 2);
        for (const TrackKey& key : track->keys) {
            if (key.row < l.firstRow || key.row > l.lastRow) continue;
            const float x = xOfRow(l, key.row), half = std::max(1.5f, (y1 - y0) / 2);
            box({x - half, y0, x + half, y1}, key.row == here ? white : keyColour);
        }
    }
    // The selected track's curve, a column every two pixels, and its keys.
    float low = 0, high = 1;
    curveRange(l, facts, low, high);
    float previous = NAN;
    for (float x = l.curve.x0; x < l.curve.x1; x += 2) {
        const float v = facts.value(facts.selected, rowOfX(l, x));
        if (!std::isfinite(v)) {
            previous = NAN;
            continue;
        }
        const float y = yOfValue(l.curve, v, low, high);
        const float from = std::isfinite(previous) ? previous : y;
        box({x, std::min(from, y) - 1, x + 2, std::max(from, y) + 1}, curveColour);
        previous = y;
    }
    if (const TextTrack* track = facts.keys(facts.selected)) {
        for (const TrackKey& key : track->keys) {
            if (key.row < l.firstRow || key.row > l.lastRow || !std::isfinite(key.value)) continue;
            const float x = xOfRow(l, key.row), y = yOfValue(l.curve, key.value, low, high);
            const float half = key.row == facts.selectedKey ? 5.0f : 3.5f;
            box({x - half, y - half, x + half, y + half}, key.row == facts.selectedKey ? white : keyColour);
        }
    }
    const float hereX = xOfRow(l, l.row);
    box({hereX - 1, l.lanes.y0, hereX + 1, l.lanes.y1}, hereColour);
    box({hereX - 1, l.curve.y0, hereX + 1, l.curve.y1}, hereColour);
    // The strip: sections, the loop, cuts, the rows shown above, the row.
    const float perRow = static_cast<float>(w) / static_cast<float>(facts.lastRow);
    for (size_t s = 0; s < facts.sections.size(); ++s) {
        const double end = s + 1 < facts.sections.size() ? facts.sections[s + 1].first : facts.lastRow;
        box({static_cast<float>(facts.sections[s].first) * perRow, l.strip.y0, static_cast<float>(end) * perRow,
             l.strip.y1},
            {1.0f, 1.0f, 1.0f, s % 2 ? 0.14f : 0.07f});
    }
    if (facts.loop) {
        box({static_cast<float>(facts.loopFrom) * perRow, l.strip.y0, static_cast<float>(facts.loopTo) * perRow,
             l.strip.y1},
            {0.3f, 0.8f, 0.3f, 0.35f});
    }
    for (double cut : facts.cuts) {
        box({static_cast<float>(cut) * perRow, l.strip.y0, static_cast<float>(cut) * perRow + 1, l.strip.y1},
            {1.0f, 1.0f, 1.0f, 0.4f});
    }
    box({static_cast<float>(std::max(0.0, l.firstRow)) * perRow, l.strip.y0,
         static_cast<float>(std::min(facts.lastRow, l.lastRow)) * perRow, l.strip.y0 + 2},
        curveColour);
    box({static_cast<float>(l.row) * perRow - 1, l.strip.y0, static_cast<float>(l.row) * perRow + 1, l.strip.y1},
        hereColour);
    text.fill(boxes, w, h);

    // Names and values, where the lanes are tall enough to read.
    if (l.textScale > 0) {
        for (int t = 0; t < static_cast<int>(facts.names.size()); ++t) {
            const std::string line = facts.names[t] + " " + valueText(facts.value(t, l.row));
            text.print(line, 4, l.names.y0 + l.lane * t + 1, l.textScale,
                       t == facts.selected ? curveColour : Colour{0.85f, 0.85f, 0.85f, 1.0f}, w, h);
        }
    }
    const std::string& name = facts.names[facts.selected];
    text.print(name, 4, l.curve.y0 + 4, 1.0f, curveColour, w, h);
    text.print(valueText(facts.value(facts.selected, l.row)), 4, l.curve.y0 + 18, 1.0f, white, w, h);
    text.print(valueText(high), 4, l.curve.y0 + 32, 0.8f, {0.6f, 0.6f, 0.6f, 1.0f}, w, h);
    text.print(valueText(low), 4, l.curve.y1 - 12, 0.8f, {0.6f, 0.6f, 0.6f, 1.0f}, w, h);
    if (l.strip.y1 - l.strip.y0 >= 14) {
        for (const auto& [row, label] : facts.sections) {
            text.print(label, static_cast<float>(row) * perRow + 3, l.strip.y0 + 3, 1.0f, {0.8f, 0.8f, 0.8f, 1.0f}, w,
                       h);
        }
    }
}

PanelHit hitPanel(const PanelLayout& l, const PanelFacts& facts, float x, float y)
{
    PanelHit hit;
    if (l.strip.contains(x, y)) {
        hit.where = PanelHit::Strip;
        hit.row = std::clamp(x / static_cast<float>(l.width) * facts.lastRow, 0.0, facts.lastRow);
        return hit;
    }
    auto nearestKey = [&](int track, float reach, const std::function<bool(const TrackKey&)>& within) {
        const TextTrack* keys = facts.keys(track);
        int found = -1;
        float best = reach;
        for (size_t k = 0; keys && k < keys->keys.size(); ++k) {
            const float distance = std::fabs(xOfRow(l, keys->keys[k].row) - x);
            if (distance <= best && within(keys->keys[k])) {
                best = distance;
                found = keys->keys[k].row;
            }
        }
        return found;
    };
    if (l.names.contains(x, y) || l.lanes.contains(x, y)) {
        hit.where = PanelHit::Lane;
        hit.track = std::clamp(static_cast<int>((y - l.lanes.y0) / l.lane), 0, static_cast<int>(facts.names.size()) - 1);
        hit.row = l.names.contains(x, y) ? l.row : rowOfX(l, x);
        if (l.lanes.contains(x, y)) hit.key = nearestKey(hit.track, 5.0f, [](const TrackKey&) { return true; });
        return hit;
    }
    if (l.curve.contains(x, y)) {
        float low = 0, high = 1;
        curveRange(l, facts, low, high);
        hit.where = PanelHit::Curve;
        hit.row = rowOfX(l, x);
        hit.value = low + (l.curve.y1 - 4 - y) / (l.curve.y1 - l.curve.y0 - 8) * (high - low);
        hit.key = nearestKey(facts.selected, 6.0f, [&](const TrackKey& key) {
            return std::fabs(yOfValue(l.curve, key.value, low, high) - y) <= 8.0f;
        });
    }
    return hit;
}
