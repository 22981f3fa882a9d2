// render/scene_index: turning track values into indices.
#pragma once

#include "render/programs.h"

// Truncation toward zero, defined for every input: a value that is not a
// number or lies outside the int range gives 0.
int truncateToInt(double value);

// The scene a track value selects: its truncation when 0 to count - 1 (the
// executables': 0 to 5), else 0.
int sceneFromIndex(int index, int count = sceneCount);

// The middle of the first stretch of rows, up to the end of the run, in
// which the open "scene" track shows `scene` (rows sampled whole); -1 when
// it never does. Where a tool or test looks at a scene as the demo plays it.
double sceneMiddleRow(int scene);
