// live/desktop/desktop_gui: the interface's settings on the desktop: desktop
// GL's GLSL, and DejaVu Sans set through FreeType (core/gui.h).
#pragma once

#include "gui.h"

// DejaVu Sans as the build names it, with FreeType's light hinting; ImGui's
// own font where the file cannot be read.
GuiSettings desktopGuiSettings();
