// demo/tracks: the demo's parameter tracks.
//
// Which tracks exist, the order they are opened in and their handles, kept
// here alone. The start-up opens them all; the frame samples them at its
// row:
//
//     openTracks(names);                      // or openDemoTracks(): the executables' 31
//     float fov = sampleTrack(DemoTrack::FieldOfView, row);
//     float any = sampleTrackAt(index, row);  // by the position it was opened at
//
// The executables' list is track_list.def, which the build reads too.
#pragma once

#include "sync.h"

#include <string>
#include <vector>

enum class DemoTrack {
#define DEMO_TRACK(id, name) id,
#include "demo/track_list.def"
#undef DEMO_TRACK
    Count
};

constexpr int demoTrackCount = static_cast<int>(DemoTrack::Count);

// The executables' track names, in the order they open them ("iGlobalTime",
// "scene", ...).
extern const char* const demoTrackNames[demoTrackCount];

// Opens the device (base "sync") and the named tracks in order, reading
// their files from the working directory; they are the demo's tracks from
// then on. Failure: a missing file gives an empty track (0.0 everywhere); a
// device that cannot be created leaves every track at 0.0.
void openTracks(const std::vector<std::string>& names);

// Opens the demo's tracks again (the executables' 31 when openTracks has
// not named others), as openTracks does.
void openDemoTracks();

// Closes the device with all its tracks; later samples give 0.0.
void closeDemoTracks();

// Whether the device is open.
bool tracksOpen();

// The count of the demo's tracks, open or not.
int trackCount();

// Replaces the keys of an open track with a copy of `count` keys, which must
// be in strictly increasing row order. Failure: false, changing nothing, when
// the tracks are closed, the index is not a track's, or the copy cannot be
// made.
bool setTrackKeys(int index, const TrackKey* keys, int count);
bool setDemoTrackKeys(DemoTrack track, const TrackKey* keys, int count);

// The track's value at the row; 0.0 while the tracks are closed or for an
// index that is not a track's.
float sampleTrackAt(int index, double row);
float sampleTrack(DemoTrack track, double row);
