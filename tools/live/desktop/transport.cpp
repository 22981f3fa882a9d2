// The live player's time: the core's transport (transport.h) on the
// player's state, and Orvanta's sections or a folder's scenes.
#include "live.h"

#include "demo/clock.h"
#include "demo/tracks.h"
#include "render/scene_index.h"
#include <set>

namespace live {

namespace {

int sceneAt(double row)
{
    const int count = static_cast<int>(LIVE.demo.description.scenes.size());
    return sceneFromIndex(truncateToInt(sampleTrackAt(LIVE.demo.sceneTrack, row)), count);
}

} // namespace

std::vector<std::pair<double, std::string>> sections()
{
    if (LIVE.demo.folder.empty()) {
        return {{0, "intro"}, {128, "build"}, {384, "drop"}, {640, "breakdown"}, {768, "climax"}, {1024, "outro"}};
    }
    std::vector<std::pair<double, std::string>> found;
    std::set<int> seen;
    for (double cut : LIVE.time.cuts) {
        const int scene = sceneAt(cut);
        if (seen.insert(scene).second) found.emplace_back(cut, LIVE.demo.description.scenes[static_cast<size_t>(scene)].name);
    }
    return found;
}

namespace {

TransportTimeline timeline()
{
    return {LIVE.demo.description.rowRate, LIVE.demo.description.endRow};
}

void sayIf(const std::string& line)
{
    if (!line.empty()) say(line);
}

} // namespace

void findCuts()
{
    ::findCuts(LIVE.time, timeline(), sceneAt);
}

// ---- time: the core's transport on the player's state ---------------------------

double playerRow()
{
    return transportRow(LIVE.time);
}

bool playingAtFullSpeed()
{
    return ::playingAtFullSpeed(LIVE.time);
}

void moveTo(double row)
{
    sayIf(moveTransport(LIVE.time, timeline(), row));
}

void setTimeMode(bool paused, int slowness)
{
    ::setTimeMode(LIVE.time, paused, slowness);
}

double advanceTime()
{
    return advanceTransport(LIVE.time, timeline());
}

double cutBefore(double row)
{
    return ::cutBefore(LIVE.time, row);
}

double cutAfter(double row)
{
    return ::cutAfter(LIVE.time, timeline(), row);
}

void toggleSectionLoop()
{
    sayIf(::toggleSectionLoop(LIVE.time, timeline(), playerRow()));
}

} // namespace live
