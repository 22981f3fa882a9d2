#include "demo/tracks.h"

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
