#include "demo/tracks.h"

#include <cstdlib>
#include <cstring>

const char* const demoTrackNames[demoTrackCount] = {
#define DEMO_TRACK(id, name) name,
#include "demo/track_list.def"
#undef DEMO_TRACK
};

SyncDevice* syncDevice = nullptr;

namespace {

SyncTrack* handles[demoTrackCount] = {};

} // namespace

void openDemoTracks()
{
    syncDevice = sync_open_device("sync");
    for (int i = 0; i < demoTrackCount; ++i) {
        handles[i] = sync_open_track(syncDevice, demoTrackNames[i]);
    }
}

void closeDemoTracks()
{
    sync_close_device(syncDevice);
    syncDevice = nullptr;
    for (SyncTrack*& handle : handles) {
        handle = nullptr;
    }
}

float sampleTrack(DemoTrack track, double row)
{
    return sync_sample_track(handles[static_cast<int>(track)], row);
}

bool setDemoTrackKeys(DemoTrack track, const TrackKey* keys, int count)
{
    SyncTrack* handle = handles[static_cast<int>(track)];
    if (!handle || count < 0) return false;
    TrackKey* copy = nullptr;
    if (count > 0) {
        copy = static_cast<TrackKey*>(std::malloc(sizeof(TrackKey) * static_cast<size_t>(count)));
        if (!copy) return false;
        std::memcpy(copy, keys, sizeof(TrackKey) * static_cast<size_t>(count));
    }
    std::free(handle->keys);
    handle->keys = copy;
    handle->keyCount = count;
    return true;
}
