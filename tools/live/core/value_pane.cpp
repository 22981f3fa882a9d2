#include "value_pane.h"

#include "gui.h"

#include <imgui.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

// The slider or the picker: whether it is held, and whether it was taken
// or let go this frame, as ImGui says of the item just drawn.
void heldState(InspectorAction& action)
{
    action.held = ImGui::IsItemActive();
    action.first = ImGui::IsItemActivated();
    action.released = ImGui::IsItemDeactivated();
}

} // namespace

InspectorAction drawInspector(const PanelLayout& layout, const InspectorFacts& facts)
{
    InspectorAction action;
    const InspectorPlaces places = inspectorPlaces(layout);
    const PanelRect& place = places.window;
    ImGui::SetNextWindowPos(ImVec2(place.x0, place.y0), ImGuiCond_Always);
    ImGui::SetNextWindowSize(ImVec2(place.width(), place.height()), ImGuiCond_Always);
    // Its backdrop is cleared, not drawn (gui.h): the curve view ends where
    // it begins, so nothing of the panel lies under it.
    guiFillBox(place.x0, place.y0, place.x1, place.y1, IM_COL32(30, 32, 38, 255));
    ImGui::SetNextWindowBgAlpha(0.0f);
    ImGui::PushStyleVar(ImGuiStyleVar_WindowPadding, ImVec2(8, 8));
    ImGui::PushStyleVar(ImGuiStyleVar_FramePadding, ImVec2(4, 3));
    const ImGuiWindowFlags flags = ImGuiWindowFlags_NoDecoration | ImGuiWindowFlags_NoSavedSettings |
                                   ImGuiWindowFlags_NoFocusOnAppearing | ImGuiWindowFlags_NoNav |
                                   ImGuiWindowFlags_NoMove;
    const bool open = ImGui::Begin("inspector", nullptr, flags);
    ImGui::PopStyleVar(2);
    if (!open) {
        ImGui::End();
        return action;
    }
    const std::string heading = printableText(facts.track);
    ImGui::TextUnformatted(heading.c_str());
    ImGui::SameLine();
    if (facts.recording) ImGui::TextColored(ImVec4(1.0f, 0.3f, 0.25f, 1.0f), "recording");
    else if (facts.selectedKeys > 0) ImGui::TextDisabled("%zu keys selected", facts.selectedKeys);
    else ImGui::TextDisabled(facts.keyHere ? "key at row %d" : "row %d: no key", facts.row);
    ImGui::BeginDisabled(!facts.editable);
    ImGui::SetCursorScreenPos(ImVec2(places.control.x0, places.control.y0));
    ImGui::PushItemWidth(places.control.width());
    if (facts.colour) {
        float rgb[3] = {facts.colourValues[0], facts.colourValues[1], facts.colourValues[2]};
        if (ImGui::ColorEdit3("##colour", rgb, ImGuiColorEditFlags_Float | ImGuiColorEditFlags_NoOptions)) {
            action.kind = InspectorAction::Colour;
            action.changed = true;
            std::copy(rgb, rgb + 3, action.colour);
        }
        heldState(action);
        if (action.kind == InspectorAction::None && action.held) {
            action.kind = InspectorAction::Colour;
            std::copy(rgb, rgb + 3, action.colour);
        }
    } else {
        float value = facts.value;
        const float low = std::isfinite(facts.low) ? facts.low : 0.0f;
        const float high = std::isfinite(facts.high) && facts.high > low ? facts.high : low + 1.0f;
        char format[16];
        const int decimals = std::clamp(static_cast<int>(2 - std::floor(std::log10(std::max(1e-6f, high - low)))), 0, 6);
        std::snprintf(format, sizeof format, "%%.%df", decimals);
        if (ImGui::SliderFloat("##value", &value, low, high, format)) {
            action.kind = InspectorAction::Value;
            action.changed = true;
            action.value = value;
        }
        heldState(action);
        // A fader held still while the music plays still writes its value
        // at every row it passes.
        if (action.kind == InspectorAction::None && action.held) {
            action.kind = InspectorAction::Value;
            action.value = value;
        }
    }
    ImGui::SetCursorScreenPos(ImVec2(places.list.x0, places.list.y0));
    static const char* const modes[] = {"step", "linear", "smooth", "ramp"};
    const int shown = std::clamp(facts.interpolation, -1, 3);
    if (ImGui::BeginCombo("##interpolation", shown < 0 ? "no key" : modes[shown])) {
        for (int mode = 0; mode < 4; ++mode) {
            if (ImGui::Selectable(modes[mode], mode == shown)) {
                action = InspectorAction();
                action.kind = InspectorAction::Interpolation;
                action.interpolation = mode;
            }
        }
        ImGui::EndCombo();
    }
    ImGui::PopItemWidth();
    ImGui::EndDisabled();
    if (facts.playing && facts.editable) ImGui::TextDisabled("hold the slider: records");
    ImGui::End();
    return action;
}
