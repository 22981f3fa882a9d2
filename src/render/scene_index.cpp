#include "render/scene_index.h"

#include "app/programs.h"

#include <climits>

int truncateToInt(double value)
{
    // Comparisons with NaN are false, so NaN fails the range test too.
    if (!(value > static_cast<double>(INT_MIN) - 1.0 && value < static_cast<double>(INT_MAX) + 1.0)) {
        return 0;
    }
    return static_cast<int>(value);
}

int sceneFromIndex(int index)
{
    return index >= 0 && index < sceneCount ? index : 0;
}
