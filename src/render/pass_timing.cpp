#include "render/pass_timing.h"

#include <GL/glew.h>

#include <cstring>

namespace {

// GPU time of each pass (0: the final pass), measured with timer queries
// when asked for. Each frame uses the next set of queries in a ring and reads
// the set written `depth - 1` frames before, whose results are in by then,
// so measuring never waits on the GPU.
struct PassTiming {
    static constexpr int depth = 4;
    bool enabled = false;
    GLuint queries[depth][passCount + 1] = {};
    long frame = 0;   // frames drawn
    long issued = 0;  // frames drawn with timing on, since it was turned on
    bool measured = false;
    double milliseconds[passCount + 1] = {};
};

PassTiming timing;

int timingSlot()
{
    return static_cast<int>(timing.frame % PassTiming::depth);
}

} // namespace

void beginPassTime(int pass)
{
    if (timing.enabled) glBeginQuery(GL_TIME_ELAPSED, timing.queries[timingSlot()][pass]);
}

void endPassTime()
{
    if (timing.enabled) glEndQuery(GL_TIME_ELAPSED);
}

void collectPassTimes()
{
    if (!timing.enabled) return;
    if (timing.issued++ < PassTiming::depth) return;
    for (int pass = 0; pass <= passCount; ++pass) {
        GLuint64 nanoseconds = 0;
        glGetQueryObjectui64v(timing.queries[timingSlot()][pass], GL_QUERY_RESULT, &nanoseconds);
        timing.milliseconds[pass] = static_cast<double>(nanoseconds) * 1e-6;
    }
    timing.measured = true;
}

void frameTimed()
{
    ++timing.frame;
}

bool passTimesMeasurable()
{
    static const bool measurable = [] {
        const char* renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
        if (!renderer) return false;
        for (const char* software : {"llvmpipe", "softpipe", "SwiftShader", "Software Rasterizer", "swrast"}) {
            if (std::strstr(renderer, software)) return false;
        }
        return true;
    }();
    return measurable;
}

void setPassTiming(bool on)
{
    if (on && !timing.queries[0][0]) glGenQueries(PassTiming::depth * (passCount + 1), &timing.queries[0][0]);
    timing.enabled = on;
    timing.issued = 0;
}

bool passMilliseconds(double (&milliseconds)[passCount + 1])
{
    if (!timing.enabled || !timing.measured) return false;
    for (int pass = 0; pass <= passCount; ++pass) milliseconds[pass] = timing.milliseconds[pass];
    return true;
}

