// demo/tracks: the demo's 31 parameter tracks.
//
// Which tracks exist, the order they are opened in and their handles. The
// start-up opens them all; the frame samples them at its row:
//
//     float fov = sampleTrack(DemoTrack::FieldOfView, row);
//
// The list itself is track_list.def, which the build reads too.
#pragma once

#include "sync.h"

enum class DemoTrack {
#define DEMO_TRACK(id, name) id,
#include "demo/track_list.def"
#undef DEMO_TRACK
    Count
};

constexpr int demoTrackCount = static_cast<int>(DemoTrack::Count);

// Track names, in the order they are opened ("iGlobalTime", "scene", ...).
extern const char* const demoTrackNames[demoTrackCount];

// The demo's device (base "sync"); null before openDemoTracks and after
// closeDemoTracks, or when it could not be created.
extern SyncDevice* syncDevice;

// Opens the device and the 31 tracks in order, reading their files from the
// working directory. Failure: a missing file gives an empty track (0.0
// everywhere); a device that cannot be created leaves every track at 0.0.
void openDemoTracks();

// Closes the device with all its tracks; later samples give 0.0.
void closeDemoTracks();

// Replaces the keys of an open track with a copy of `count` keys, which must
// be in strictly increasing row order. Failure: false, changing nothing, when
// the tracks are closed or the copy cannot be made.
bool setDemoTrackKeys(DemoTrack track, const TrackKey* keys, int count);

// The track's value at the row; 0.0 while the tracks are closed.
float sampleTrack(DemoTrack track, double row);
