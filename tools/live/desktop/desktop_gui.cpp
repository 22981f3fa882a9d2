#include "desktop_gui.h"

#include "files.h"

#include <imgui.h>
#include <imgui_freetype.h>

namespace {

// A font file past this is not the font the build named.
constexpr size_t fontFileLimit = 16u << 20;

} // namespace

GuiSettings desktopGuiSettings()
{
    GuiSettings settings;
    settings.glsl = "#version 330 core";
    std::string ignored;
    if (!readWholeFile(ORVANTA_UI_FONT, settings.font, ignored, fontFileLimit)) settings.font.clear();
    // FreeType's hinting keeps small letters apart ("o" from "a") at the
    // sizes a 960x540 window gets.
    settings.fontBuilder = ImGuiFreeType::GetBuilderForFreeType();
    settings.fontBuilderFlags = ImGuiFreeTypeBuilderFlags_LightHinting;
    return settings;
}
