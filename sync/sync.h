/* sync: named keyframe tracks, read from one binary file per track and
   sampled at fractional rows. Plain C11, usable from C and C++.

   The sync folder owns this library: the track list (data.c), key search and
   sampling (track.c), and the device, file naming and file reading
   (device.c). It writes nothing to the console and never stops the program
   because of a track file.

   Usage:

       SyncDevice* device = sync_open_device("sync");
       const SyncTrack* scene = sync_open_track(device, "scene");  // reads sync_scene.track
       float value = sync_sample_track(scene, row);                 // any double row
       ...
       sync_close_device(device);                                   // frees every track

   A track file is little-endian, without header: a signed 32-bit key count
   N, then N records of 9 bytes (signed 32-bit row, binary32 value, one
   signed byte of interpolation code). Keys stand in strictly increasing row
   order. A missing file gives an empty track, which samples as 0.0.

   Not thread-safe: track file names are built in one shared buffer. */
#ifndef ORVANTA_SYNC_H
#define ORVANTA_SYNC_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* How the value moves from a key to the next one. Other codes are invalid
   and sample as 0.0 on their stretch. */
typedef enum KeyInterpolation {
    Step = 0,   /* hold the key's value until the next key */
    Linear = 1, /* straight line */
    Smooth = 2, /* t^2 (3 - 2t) */
    Ramp = 3    /* t^2 */
} KeyInterpolation;

typedef struct TrackKey {
    int32_t row;
    float value;
    int32_t interpolation; /* a KeyInterpolation code, possibly invalid */
} TrackKey;

typedef struct SyncTrack {
    char* name;       /* owned copy, compared byte for byte */
    TrackKey* keys;   /* owned; null while the track is empty */
    int32_t keyCount; /* 0: empty track */
} SyncTrack;

typedef struct SyncTrackList {
    SyncTrack** items; /* owned; null while empty; exactly count entries */
    int32_t count;
} SyncTrackList;

typedef struct SyncDevice {
    char* base; /* owned copy: prefix of every track file name */
    SyncTrackList tracks;
} SyncDevice;

/* Largest track file name, in characters (the buffer holds one more). */
#define SYNC_MAX_PATH 259

/* Creates a device whose tracks are read from "<base>_<track>.track".
   Failure: null when memory runs out. */
SyncDevice* sync_open_device(const char* base);

/* Frees the device, every track and every key. Handles of the device are
   invalid afterwards. A null device is ignored. */
void sync_close_device(SyncDevice* d);

/* Index of the track named exactly `name`, or -1 when there is none. */
int sync_find_track(const SyncTrackList* d, const char* name);

/* Appends a new empty track and returns its index. The name must not be in
   the list yet (checked by an assertion). Failure: -1 when memory runs out;
   the list is unchanged. */
int sync_add_track(SyncTrackList* d, const char* name);

/* The track of that name, created and read from its file on first request;
   later requests return the same handle without reading again. A missing or
   unreadable file, or a file name too long to build, gives an empty track.
   Failure: null for a null device or when memory runs out. */
SyncTrack* sync_open_track(SyncDevice* d, const char* name);

/* "<base>_<name>.track" in a buffer shared by all calls, valid until the next
   call. Failure: null when the name would exceed SYNC_MAX_PATH characters
   (no shortened name is ever returned). */
const char* sync_track_file_path(const char* base, const char* name);

/* Reads a track file into an empty track. Returns 1 when the file cannot be
   opened (the track is untouched), 0 otherwise. The reader never trusts the
   file: it keeps only complete keys, stops at a count larger than the file
   holds, at the first key whose row does not increase, and gives an empty
   track for a negative count or when memory runs out. */
int sync_read_track_file(SyncTrack* t, const char* fileName);

/* Index of the key standing on `row`, or -(p + 1) where p is the number of
   keys below `row`. A null track counts as empty. */
int sync_search_key(const SyncTrack* t, int row);

/* The track's value at a fractional row, rounded once to a float. An empty
   or null track gives 0.0; so does the stretch after a key with an invalid
   code. Allocates nothing. */
float sync_sample_track(const SyncTrack* t, double row);

#ifdef __cplusplus
}
#endif

#endif
