// live/core/panel_draw: draws the track panel (panel.h gives where) into ImGui's
// background draw list, between guiBeginFrame and guiEndFrame, under the
// interface's windows. `headerLine` is the header's text.
#pragma once

#include "panel.h"

#include <string>

void drawPanel(const PanelLayout& layout, const PanelFacts& facts, const std::string& headerLine);

// The panel's own colour, which the window is cleared to under it: the
// panel draws on it rather than filling it.
constexpr float panelBackdrop[3] = {22 / 255.0f, 24 / 255.0f, 28 / 255.0f};
