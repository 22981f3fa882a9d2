#include "render/scene_index.h"

#include "demo/timeline.h"
#include "demo/tracks.h"
#include "render/programs.h"

#include <climits>

int truncateToInt(double value)
{
    // Comparisons with NaN are false, so NaN fails the range test too.
    if (!(value > static_cast<double>(INT_MIN) - 1.0 && value < static_cast<double>(INT_MAX) + 1.0)) {
        return 0;
    }
    return static_cast<int>(value);
}

int sceneFromIndex(int index, int count)
{
    return index >= 0 && index < count ? index : 0;
}

double sceneMiddleRow(int scene)
{
    int first = -1, last = -1;
    for (int row = 0; row <= static_cast<int>(endRow); ++row) {
        const bool shown = sceneFromIndex(truncateToInt(sampleTrack(DemoTrack::Scene, row))) == scene;
        if (shown && first < 0) first = row;
        if (shown) last = row;
        if (!shown && first >= 0) break;
    }
    return first < 0 ? -1.0 : 0.5 * (first + last);
}
