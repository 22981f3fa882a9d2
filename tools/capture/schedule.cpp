#include "schedule.h"

#include "demo/timeline.h"

#include <algorithm>
#include <cmath>

double frameSeconds(const CapturePlan& plan, long frame)
{
    return plan.fromRow / plan.rowRate + static_cast<double>(frame) / plan.fps;
}

double frameRow(const CapturePlan& plan, long frame)
{
    return frameSeconds(plan, frame) * plan.rowRate;
}

long frameCount(const CapturePlan& plan)
{
    long count = static_cast<long>(std::floor((plan.toRow - plan.fromRow) / plan.rowRate * plan.fps)) + 1;
    // Guard the floor against rounding at the boundary.
    while (count > 1 && frameRow(plan, count - 1) > plan.toRow) --count;
    while (frameRow(plan, count) <= plan.toRow) ++count;
    // As the program does, the first frame past the last row is still shown.
    if (!plan.toRowGiven && plan.toRow >= plan.endRow) ++count;
    return count;
}

void writtenFrames(const CapturePlan& plan, long& first, long& last)
{
    const long count = frameCount(plan);
    first = plan.firstFrame;
    last = plan.lastFrame < 0 ? count - 1 : std::min(plan.lastFrame, count - 1);
}

std::vector<double> contactRows(const CapturePlan& plan)
{
    std::vector<double> rows;
    for (long k = 0; plan.fromRow + k * plan.every <= plan.toRow; ++k) rows.push_back(plan.fromRow + k * plan.every);
    return rows;
}

long keyframeInterval(const CapturePlan& plan)
{
    return 2L * plan.fps;
}

bool partFrames(const CapturePlan& plan, int part, int parts, long& first, long& last)
{
    long from = 0, to = 0;
    writtenFrames(plan, from, to);
    const long interval = keyframeInterval(plan);
    const long spans = to < from ? 0 : (to - from) / interval + 1;
    if (parts < 1 || part < 1 || part > parts || spans < parts) return false;
    first = from + spans * (part - 1) / parts * interval;
    last = std::min(to, from + spans * part / parts * interval - 1);
    return true;
}
