// render/scene_index: turning track values into indices.
#pragma once

// Truncation toward zero, defined for every input: a value that is not a
// number or lies outside the int range gives 0.
int truncateToInt(double value);

// The scene a track value selects: its truncation when 0 to 5, else 0.
int sceneFromIndex(int index);
