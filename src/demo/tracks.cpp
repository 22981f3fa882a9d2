#include "demo/tracks.h"

const char* const demoTrackNames[demoTrackCount] = {
    "iGlobalTime", "scene", "close_blur", "far_blur",
    "cam.dist.x", "cam.dist.y", "cam.dist.z", "cam.rot.x", "cam.rot.y", "cam.rot.z",
    "dir.rot.x", "dir.rot.y", "dir.rot.z", "field_of_view",
    "gain.r", "gain.g", "gain.b", "gamma.r", "gamma.g", "gamma.b", "lift.r", "lift.g", "lift.b",
    "saturation.r", "saturation.g", "saturation.b",
    "light.x", "light.y", "light.z", "moveground", "logosync",
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
