#include "demo/tracks.h"

#include <cstdlib>
#include <cstring>

const char* const demoTrackNames[demoTrackCount] = {
#define DEMO_TRACK(id, name) name,
#include "demo/track_list.def"
#undef DEMO_TRACK
};

namespace {

struct Tracks {
    SyncDevice* syncDevice = nullptr;
    std::vector<std::string> names{std::begin(demoTrackNames), std::end(demoTrackNames)};
    std::vector<SyncTrack*> handles;
} TRACKS;

SyncTrack* handle(int index)
{
    return index >= 0 && static_cast<size_t>(index) < TRACKS.handles.size() ? TRACKS.handles[static_cast<size_t>(index)]
                                                                            : nullptr;
}

} // namespace

void openTracks(const std::vector<std::string>& names)
{
    TRACKS.names = names;
    openDemoTracks();
}

void openDemoTracks()
{
    TRACKS.syncDevice = sync_open_device("sync");
    TRACKS.handles.clear();
    for (const std::string& name : TRACKS.names) {
        TRACKS.handles.push_back(sync_open_track(TRACKS.syncDevice, name.c_str()));
    }
}

void closeDemoTracks()
{
    sync_close_device(TRACKS.syncDevice);
    TRACKS.syncDevice = nullptr;
    for (SyncTrack*& each : TRACKS.handles) each = nullptr;
}

bool tracksOpen()
{
    return TRACKS.syncDevice != nullptr;
}

int trackCount()
{
    return static_cast<int>(TRACKS.names.size());
}

float sampleTrackAt(int index, double row)
{
    return sync_sample_track(handle(index), row);
}

float sampleTrack(DemoTrack track, double row)
{
    return sampleTrackAt(static_cast<int>(track), row);
}

bool setTrackKeys(int index, const TrackKey* keys, int count)
{
    SyncTrack* track = handle(index);
    if (!track || count < 0) return false;
    TrackKey* copy = nullptr;
    if (count > 0) {
        copy = static_cast<TrackKey*>(std::malloc(sizeof(TrackKey) * static_cast<size_t>(count)));
        if (!copy) return false;
        std::memcpy(copy, keys, sizeof(TrackKey) * static_cast<size_t>(count));
    }
    std::free(track->keys);
    track->keys = copy;
    track->keyCount = count;
    return true;
}

bool setDemoTrackKeys(DemoTrack track, const TrackKey* keys, int count)
{
    return setTrackKeys(static_cast<int>(track), keys, count);
}
