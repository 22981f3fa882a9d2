// The track panel drawn at the places panel.cpp gives: opaque, under
// ImGui's own windows. Lines, boxes and the lanes' keys are the interface's
// flat shapes (gui.h); text, curves and the curves' keys ImGui's.
#include "panel_draw.h"

#include "demo/timeline.h"
#include "gui.h"

#include <imgui.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

const ImU32 laneRule = IM_COL32(44, 48, 56, 255);
const ImU32 selectedBack = IM_COL32(45, 70, 110, 255);
const ImU32 beatLine = IM_COL32(255, 255, 255, 18);
const ImU32 barLine = IM_COL32(255, 255, 255, 60);
const ImU32 keyColour = IM_COL32(255, 214, 80, 255);
const ImU32 keyPicked = IM_COL32(255, 255, 255, 255);
const ImU32 selectedKey = IM_COL32(255, 150, 40, 255);
const ImU32 hereColour = IM_COL32(255, 80, 70, 255);
const ImU32 textColour = IM_COL32(220, 222, 226, 255);
const ImU32 dimText = IM_COL32(150, 155, 165, 255);
const ImU32 markerColour = IM_COL32(120, 230, 140, 255);
const ImU32 mutedColour = IM_COL32(230, 120, 60, 255);
const ImU32 soloColour = IM_COL32(90, 200, 255, 255);
const ImU32 boxOff = IM_COL32(52, 56, 64, 255);
const ImU32 loopColour = IM_COL32(70, 200, 80, 150);
const ImU32 loudnessColour = IM_COL32(70, 130, 200, 90);
const ImU32 splitterColour = IM_COL32(60, 64, 74, 255);

// The curve view's tracks, the selected one first.
const ImU32 curveColours[] = {IM_COL32(110, 220, 255, 255), IM_COL32(255, 150, 90, 255), IM_COL32(170, 255, 120, 255),
                              IM_COL32(240, 120, 240, 255), IM_COL32(255, 240, 120, 255), IM_COL32(150, 160, 255, 255)};

ImVec2 at(float x, float y)
{
    return ImVec2(x, y);
}

// Opaque boxes are cleared, under everything ImGui draws (gui.h).
void rect(ImDrawList*, const PanelRect& r, ImU32 colour)
{
    guiFillBox(r.x0, r.y0, r.x1, r.y1, colour);
}

// Clipped on the CPU to `clip` where given: a clip rectangle of the draw
// list's own would cost a draw call of its own.
void text(ImDrawList* list, float x, float y, ImU32 colour, const std::string& line, const PanelRect* clip = nullptr)
{
    const std::string shown = printableText(line);
    const ImVec4 fine = clip ? ImVec4(clip->x0, clip->y0, clip->x1, clip->y1) : ImVec4();
    list->AddText(ImGui::GetFont(), ImGui::GetFontSize(), at(x, y), colour, shown.c_str(), shown.c_str() + shown.size(),
                  0.0f, clip ? &fine : nullptr);
}

float textWidth(const std::string& line)
{
    return ImGui::CalcTextSize(line.c_str()).x;
}

std::string valueText(double value)
{
    char out[32];
    std::snprintf(out, sizeof out, "%.4g", value);
    return out;
}

// Lines on whole pixels, as flat shapes: down from (x, y0) to y1, `width`
// wide, or across from (x0, y) to x1, a pixel high.
void columnLine(float x, float y0, float y1, ImU32 colour, float width = 1)
{
    guiFlatRect(x, y0, x + width, y1, colour);
}

void rowLine(float x0, float x1, float y, ImU32 colour)
{
    guiFlatRect(x0, y, x1, y + 1, colour);
}

void diamond(ImDrawList* list, float x, float y, float half, ImU32 colour)
{
    if (list) {
        list->AddQuadFilled(at(x, y - half), at(x + half, y), at(x, y + half), at(x - half, y), colour);
        return;
    }
    guiFlatTriangle(x, y - half, x + half, y, x, y + half, colour);
    guiFlatTriangle(x, y - half, x, y + half, x - half, y, colour);
}

// A key: a diamond, a picked one larger in a white rim. Four triangles at
// most, where a ring costs twenty-four. With no list, a flat shape.
void keyMark(ImDrawList* list, float x, float y, float half, bool picked, ImU32 colour)
{
    if (picked) diamond(list, x, y, half + 3.5f, keyPicked);
    diamond(list, x, y, half, colour);
}

// A mute or solo box, lettered when on; the letters of all of them head
// their columns (boxHeadings). Text is what the panel's frame spends most
// on, after its lines.
void box(ImDrawList* list, const PanelRect& r, bool on, ImU32 colour, const char* letter)
{
    guiFlatRect(r.x0, r.y0, r.x1, r.y1, on ? colour : boxOff);
    if (!on) return;
    const ImVec2 size = ImGui::CalcTextSize(letter);
    list->AddText(at((r.x0 + r.x1 - size.x) / 2, (r.y0 + r.y1 - size.y) / 2), IM_COL32(0, 0, 0, 255), letter);
}

void boxHeadings(ImDrawList* list, const PanelLayout& l)
{
    const PanelRect mute = l.muteBox(l.firstLine), solo = l.soloBox(l.firstLine);
    const float y = l.ruler.y0 + 2;
    text(list, (mute.x0 + mute.x1 - textWidth("M")) / 2, y, dimText, "M");
    text(list, (solo.x0 + solo.x1 - textWidth("S")) / 2, y, dimText, "S");
}

// Bar and beat lines over a band, thinned where they would crowd, left of
// `right`.
void gridLines(const PanelLayout& l, float y0, float y1, float right = 1e9f)
{
    const double pixelsPerRow = l.lanes.width() / (l.lastRow - l.firstRow);
    const int step = pixelsPerRow * rowsPerBeat >= 6 ? rowsPerBeat : pixelsPerRow * rowsPerBar >= 6 ? rowsPerBar : rowsPerBar * 8;
    for (int r = static_cast<int>(std::ceil(l.firstRow / step)) * step; r <= l.lastRow; r += step) {
        const float x = std::floor(l.xOfRow(r));
        if (x >= right) break;
        columnLine(x, y0, y1, r % rowsPerBar == 0 ? barLine : beatLine);
    }
}

// The ruler's labels: markers first, then the sections' names, then bar
// numbers, each where it does not meet one placed before it; the lesser
// gives way. A label whose row lies left of the view stays at the left
// edge while it fits before the next.
struct Labels {
    std::vector<std::pair<float, float>> taken;
    bool place(float x0, float x1)
    {
        for (const auto& [a, b] : taken) {
            if (x0 < b + 4 && x1 + 4 > a) return false;
        }
        taken.emplace_back(x0, x1);
        return true;
    }
};

void drawRuler(ImDrawList* list, const PanelLayout& l, const PanelFacts& facts)
{
    rowLine(0, l.ruler.x1, l.ruler.y1 - 1, laneRule);
    gridLines(l, l.loopBand.y0 - 5, l.loopBand.y0);
    if (facts.loop) {
        const float x0 = std::max(l.lanes.x0, l.xOfRow(facts.loopFrom)), x1 = std::min(l.lanes.x1, l.xOfRow(facts.loopTo));
        if (x1 > x0) guiFlatRect(x0, l.loopBand.y0 + 1, x1, l.loopBand.y1 - 1, loopColour);
    }
    Labels labels;
    const float y = l.ruler.y0 + 2;
    for (const auto& [row, name] : facts.markers) {
        if (row < l.firstRow || row > l.lastRow) continue;
        const float x = l.xOfRow(row);
        guiFlatTriangle(x, l.loopBand.y0, x - 5, l.loopBand.y0 - 7, x + 5, l.loopBand.y0 - 7, markerColour);
        const std::string shown = printableText(name);
        if (labels.place(x + 6, std::min(l.ruler.x1, x + 6 + textWidth(shown)))) text(list, x + 6, y, markerColour, shown, &l.ruler);
    }
    for (size_t s = 0; s < facts.sections.size(); ++s) {
        const auto& [row, name] = facts.sections[s];
        const double next = s + 1 < facts.sections.size() ? facts.sections[s + 1].first : facts.lastRow;
        if (next < l.firstRow || row > l.lastRow) continue;
        const float x = l.xOfRow(row);
        if (x >= l.ruler.x0) columnLine(std::floor(x), l.ruler.y0, l.loopBand.y0, textColour, 2);
        const float at = std::max(x + 4, l.ruler.x0 + 2);
        const float width = textWidth(name);
        if (at + width > l.xOfRow(next)) continue;
        if (labels.place(at, std::min(l.ruler.x1, at + width))) text(list, at, y, textColour, name, &l.ruler);
    }
    // Bar numbers as positions count them (bar 24 is 24:0:0), as many as fit.
    const float barWidth = static_cast<float>((l.xOfRow(l.lastRow) - l.xOfRow(l.firstRow)) / (l.lastRow - l.firstRow) * rowsPerBar);
    int every = 1;
    while (barWidth * every < textWidth("0000") + 8) every *= 2;
    const int firstBar = std::max(0, static_cast<int>(std::ceil(l.firstRow / rowsPerBar)));
    for (int bar = firstBar / every * every; bar * rowsPerBar <= l.lastRow; bar += every) {
        if (bar * rowsPerBar < l.firstRow) continue;
        const float x = l.xOfRow(bar * rowsPerBar);
        const std::string number = std::to_string(bar);
        if (labels.place(x + 2, x + 2 + textWidth(number))) text(list, x + 2, y, dimText, number, &l.ruler);
    }
}

// The tune's loudness in the ruler, behind its labels and over the loop's
// band, mirrored about its middle, a column every four pixels (columns of
// one height are one box): the beats and the sections show right over the
// keys, at a cost a software renderer hardly feels (a band as tall as the
// lanes would cost a third of the panel).
void drawLoudness(const PanelLayout& l, const PanelFacts& facts)
{
    if (!facts.loudness || facts.loudness->empty()) return;
    const float top = l.ruler.y0 + 1, bottom = l.ruler.y1 - 1;
    const float middle = (top + bottom) / 2, half = (bottom - top) / 2;
    float runX = 0, runHalf = -1;
    auto flush = [&](float x) {
        if (runHalf >= 1) guiFlatRect(runX, std::round(middle - runHalf), x, std::round(middle + runHalf), loudnessColour);
    };
    for (float x = l.lanes.x0; x < l.lanes.x1; x += 4) {
        const float peak = facts.loudness->peak(l.rowOfX(x), l.rowOfX(x + 4));
        // A loud mix's level is about a quarter of full scale: that fills
        // most of the band.
        const float h = std::round(std::clamp(peak * 3.0f, 0.0f, 1.0f) * half);
        if (h != runHalf) {
            flush(x);
            runX = x;
            runHalf = h;
        }
    }
    flush(l.lanes.x1);
}

void drawSheet(ImDrawList* list, const PanelLayout& l, const PanelFacts& facts)
{
    const int here = static_cast<int>(std::floor(l.row + 1e-6));
    const float half = std::max(3.0f, (l.lane - 6) / 2);
    for (int line = l.firstLine; line < l.firstLine + l.shownLines && line < static_cast<int>(l.lines.size()); ++line) {
        const SheetLine& sheet = l.lines[line];
        const float y0 = l.lineTop(line), y1 = y0 + l.lane;
        const bool header = sheet.track < 0;
        const bool chosen = sheet.track == facts.selected;
        // Plain lines are the backdrop (panelBackdrop), ruled under each name
        // and across the lanes where a group ends. A software renderer pays
        // for a line by the 64-pixel tiles it crosses: rules across every
        // lane would be a third of the panel's cost.
        if (chosen) rect(list, {0, y0, l.lanes.x1, y1}, selectedBack);
        const bool groupEnds = header || line + 1 == static_cast<int>(l.lines.size()) || l.lines[line + 1].group != sheet.group;
        rowLine(0, groupEnds ? l.lanes.x1 : l.names.x1, y1 - 1, laneRule);
        const std::vector<int> tracks = lineTracks(l, facts.names, line);
        // Names: a header's triangle and group, a track's name indented under
        // it, and its value at the row.
        const float textY = y0 + (l.lane - l.fontSize) / 2 - 1;
        const PanelRect nameClip{l.names.x0, y0, l.muteBox(line).x0 - 2, y1};
        if (header) {
            const bool open = std::any_of(l.lines.begin(), l.lines.end(),
                                          [&](const SheetLine& s) { return s.track >= 0 && s.group == sheet.group; });
            const float cx = 9, cy = y0 + l.lane / 2, s = l.fontSize * 0.3f;
            if (open) guiFlatTriangle(cx - s, cy - s / 2, cx + s, cy - s / 2, cx, cy + s, textColour);
            else guiFlatTriangle(cx - s / 2, cy - s, cx + s, cy, cx - s / 2, cy + s, textColour);
            text(list, 18, textY, textColour, sheet.group + "  (" + std::to_string(tracks.size()) + ")", &nameClip);
        } else {
            const float indent = sheet.group.empty() ? 6 : 18;
            const std::string& name = facts.names[sheet.track];
            text(list, indent, textY, chosen ? keyPicked : textColour, name, &nameClip);
            const std::string value = facts.unread.count(sheet.track) ? "unread" : valueText(facts.value(sheet.track, l.row));
            const float x = std::max(indent + textWidth(name) + 8, l.muteBox(line).x0 - 6 - textWidth(value));
            text(list, x, textY, dimText, value, &nameClip);
        }
        const bool allMuted = !tracks.empty() && std::all_of(tracks.begin(), tracks.end(), [&](int t) { return facts.muted.count(t) > 0; });
        const bool allSoloed = !tracks.empty() && std::all_of(tracks.begin(), tracks.end(), [&](int t) { return facts.soloed.count(t) > 0; });
        box(list, l.muteBox(line), allMuted, mutedColour, "M");
        box(list, l.soloBox(line), allSoloed, soloColour, "S");
        // The lane's keys, those whole inside it.
        for (int track : tracks) {
            const TextTrack* keys = facts.keys(track);
            for (size_t k = 0; keys && k < keys->keys.size(); ++k) {
                const int row = keys->keys[k].row;
                if (row < l.firstRow - 1e-6 || row > l.lastRow + 1e-6) continue;
                const float x = l.xOfRow(row);
                const bool picked = facts.isSelected(track, row);
                keyMark(nullptr, x, y0 + l.lane / 2, half, picked, picked ? selectedKey : row == here ? keyPicked : keyColour);
            }
        }
    }
    // How far the sheet scrolls, at its right edge.
    const int total = static_cast<int>(l.lines.size());
    if (total > l.shownLines) {
        const float h = l.names.height();
        const float top = l.names.y0 + h * l.firstLine / total, bottom = l.names.y0 + h * (l.firstLine + l.shownLines) / total;
        guiFlatRect(l.lanes.x1 - 4, top, l.lanes.x1, bottom, IM_COL32(255, 255, 255, 90));
    }
}

// A curve two pixels wide. Its level and upright stretches are flat shapes
// on whole pixels; the rest is smoothed by ImGui, with the atlas's line
// texture (a whole width): two triangles a segment, where other widths cost
// six. A long level stretch smoothed would shade four rows of blocks.
void curveLine(ImDrawList* list, const std::vector<ImVec2>& points, ImU32 colour)
{
    const ImDrawListFlags flags = list->Flags;
    list->Flags |= ImDrawListFlags_AntiAliasedLines;
    std::vector<ImVec2> sloped;
    auto smooth = [&] {
        if (sloped.size() > 1) list->AddPolyline(sloped.data(), static_cast<int>(sloped.size()), colour, 0, 2.0f);
        sloped.clear();
    };
    for (size_t i = 1; i < points.size(); ++i) {
        const ImVec2 a = points[i - 1], b = points[i];
        if (std::fabs(a.y - b.y) < 0.5f || std::fabs(a.x - b.x) < 0.5f) {
            smooth();
            const float x = std::round(a.x), y = std::round(a.y);
            if (std::fabs(a.y - b.y) < 0.5f) guiFlatRect(std::min(x, b.x) - 1, y - 1, std::max(x, b.x) + 1, y + 1, colour);
            else guiFlatRect(x - 1, std::min(y, b.y) - 1, x + 1, std::max(y, b.y) + 1, colour);
            continue;
        }
        if (sloped.empty()) sloped.push_back(a);
        sloped.push_back(b);
    }
    smooth();
    list->Flags = flags;
}

void drawCurves(ImDrawList* list, const PanelLayout& l, const PanelFacts& facts)
{
    rowLine(0, static_cast<float>(l.width), l.curve.y0 - 2, laneRule);
    float low = 0, high = 1;
    curveRange(l, facts, low, high);
    // The value axis: round values, labelled, with faint lines across.
    const int most = std::max(2, static_cast<int>(l.curve.height() / (l.fontSize * 1.6f)));
    for (double v : axisTicks(low, high, most)) {
        const float y = yOfValue(l.curve, static_cast<float>(v), low, high);
        rowLine(l.curve.x0, l.curve.x1, std::floor(y), IM_COL32(255, 255, 255, v == 0 ? 50 : 22));
        const std::string label = valueText(v);
        text(list, l.axis.x1 - 6 - textWidth(label), y - l.fontSize / 2 - 1, dimText, label);
    }
    for (size_t c = 0; c < facts.curves.size(); ++c) {
        const int track = facts.curves[c];
        const ImU32 colour = curveColours[c % std::size(curveColours)];
        // The curve as the demo samples it, a point every two pixels: its
        // steps, ramps and smooth turns show as they play. A stretch from
        // the last point kept takes in each sample while every sample since
        // lies within a quarter pixel of it (the slopes that allow each one
        // narrow a window): flat and linear stretches become one segment,
        // a smooth turn keeps its bend.
        std::vector<ImVec2> points;
        ImVec2 candidate;
        bool pending = false;
        float least = -INFINITY, most = INFINITY;
        auto add = [&](ImVec2 p) {
            while (!points.empty()) {
                const ImVec2 a = points.back();
                const float dx = p.x - a.x, slope = (p.y - a.y) / dx;
                if (slope >= least && slope <= most) {
                    candidate = p;
                    pending = true;
                    least = std::max(least, (p.y - 0.25f - a.y) / dx);
                    most = std::min(most, (p.y + 0.25f - a.y) / dx);
                    return;
                }
                points.push_back(candidate);
                pending = false;
                least = -INFINITY;
                most = INFINITY;
            }
            points.push_back(p);
        };
        auto finish = [&] {
            if (pending) points.push_back(candidate);
            pending = false;
            least = -INFINITY;
            most = INFINITY;
            curveLine(list, points, colour);
            points.clear();
        };
        for (float x = l.curve.x0 + 1; x <= l.curve.x1 - 1; x += 2) {
            const float v = facts.value(track, l.rowOfX(x));
            if (!std::isfinite(v)) {
                finish();
                continue;
            }
            add(at(x, std::clamp(yOfValue(l.curve, v, low, high), l.curve.y0 + 1, l.curve.y1 - 1)));
        }
        finish();
        if (const TextTrack* keys = facts.keys(track)) {
            for (const TrackKey& key : keys->keys) {
                if (key.row < l.firstRow || key.row > l.lastRow || !std::isfinite(key.value)) continue;
                const float x = l.xOfRow(key.row), y = yOfValue(l.curve, key.value, low, high);
                if (y < l.curve.y0 + 6 || y > l.curve.y1 - 6 || x < l.curve.x0 + 6 || x > l.curve.x1 - 6) continue;
                keyMark(list, x, y, 4.5f, facts.isSelected(track, key.row), colour);
            }
        }
    }
    // The legend: each track's name in its colour, its value at the row.
    float y = l.axis.y0 + 2;
    for (size_t c = 0; c < facts.curves.size() && y + l.fontSize < l.axis.y1; ++c) {
        const int track = facts.curves[c];
        const std::string line = facts.names[track] + " " + valueText(facts.value(track, l.row));
        const PanelRect clip{l.axis.x0, l.axis.y0, l.axis.x1 - textWidth("-0.000") - 8, l.axis.y1};
        text(list, 6, y, curveColours[c % std::size(curveColours)], line, &clip);
        y += l.fontSize + 2;
    }
}

void drawStrip(ImDrawList* list, const PanelLayout& l, const PanelFacts& facts)
{
    const float perRow = static_cast<float>(l.width / facts.lastRow);
    for (size_t s = 0; s < facts.sections.size(); ++s) {
        const float x = static_cast<float>(facts.sections[s].first) * perRow;
        columnLine(std::floor(x), l.strip.y0, l.strip.y1, barLine);
        text(list, static_cast<float>(facts.sections[s].first) * perRow + 4, l.strip.y0 + 2, dimText,
             facts.sections[s].second);
    }
    if (facts.loop) {
        guiFlatRect(static_cast<float>(facts.loopFrom) * perRow, l.strip.y0, static_cast<float>(facts.loopTo) * perRow,
                    l.strip.y1, IM_COL32(70, 200, 80, 90));
    }
    for (double cut : facts.cuts) {
        const float x = static_cast<float>(cut) * perRow;
        columnLine(std::floor(x), l.strip.y0, l.strip.y1, IM_COL32(255, 255, 255, 90));
    }
    for (const auto& [row, name] : facts.markers) {
        const float x = static_cast<float>(row) * perRow;
        guiFlatTriangle(x, l.strip.y0 + 7, x - 4, l.strip.y0, x + 4, l.strip.y0, markerColour);
    }
    rowLine(0, static_cast<float>(l.width), l.strip.y0, laneRule);
    guiFlatRect(static_cast<float>(std::max(0.0, l.firstRow)) * perRow, l.strip.y1 - 3,
                static_cast<float>(std::min(facts.lastRow, l.lastRow)) * perRow, l.strip.y1, curveColours[0]);
    const float x = static_cast<float>(l.row) * perRow;
    guiFlatRect(x - 1, l.strip.y0, x + 1, l.strip.y1, hereColour);
}

} // namespace

void drawPanel(const PanelLayout& l, const PanelFacts& facts, const std::string& headerLine)
{
    ImDrawList* list = ImGui::GetBackgroundDrawList();
    // The panel's own colour is the window's backdrop, cleared with it.
    list->Flags &= ~(ImDrawListFlags_AntiAliasedLines | ImDrawListFlags_AntiAliasedFill);
    guiFlatRect(0, l.splitter.y0 + 2, static_cast<float>(l.width), l.splitter.y1 - 2, splitterColour);
    text(list, 6, l.header.y0 + 3, textColour, headerLine);
    drawLoudness(l, facts);
    drawRuler(list, l, facts);
    // Bar and beat lines down the lanes and the curves at once (as far as
    // the curves go).
    gridLines(l, l.lanes.y0, l.lanes.y1);
    gridLines(l, l.lanes.y1, l.curve.y1, l.curve.x1);
    drawSheet(list, l, facts);
    boxHeadings(list, l);
    drawCurves(list, l, facts);
    drawStrip(list, l, facts);
    // The row, through the ruler, the lanes and the curves, over the keys.
    const float x = l.xOfRow(l.row);
    guiFlatRect(x - 1, l.ruler.y0, x + 1, x + 1 < l.curve.x1 ? l.curve.y1 : l.lanes.y1, hereColour);
}
