#include "frames.h"

#include "render/render_screen.h"

#include <algorithm>
#include <cmath>
#include <cstring>

std::vector<unsigned char> Picture::flipped() const
{
    std::vector<unsigned char> out(rgba.size());
    const size_t stride = static_cast<size_t>(width) * 4;
    for (int y = 0; y < height; ++y) {
        std::memcpy(&out[static_cast<size_t>(y) * stride], &rgba[static_cast<size_t>(height - 1 - y) * stride], stride);
    }
    return out;
}

void drawAt(double seconds, Picture* keep)
{
    // The demo drawn's own rate: Orvanta's, or a folder's.
    const double rowRate = demoDescription().rowRate;
    if (!keep) {
        drawFrameAt(seconds * rowRate);
        return;
    }
    drawFrameInto(seconds * rowRate, keep->rgba);
    keep->width = frameDimensions().width;
    keep->height = frameDimensions().height;
}

long warmUpFrames(const CapturePlan& plan, double seconds)
{
    return std::min<long>(plan.fps, static_cast<long>(std::floor(seconds * plan.fps + 1e-9)));
}

void warmUp(const CapturePlan& plan, double seconds, Progress* progress)
{
    const long frames = warmUpFrames(plan, seconds);
    for (long k = frames; k >= 1; --k) {
        drawAt(seconds - static_cast<double>(k) / plan.fps);
        if (progress) progress->update(frames - k + 1);
    }
}
