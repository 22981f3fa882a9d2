/* libFuzzer target: any bytes as a track file. The reader must keep only
   complete, increasing keys, and sampling and searching what it kept must
   stay in bounds. */
#define _GNU_SOURCE
#include "sync.h"

#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/mman.h>
#include <unistd.h>

int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static int fd = -1;
    static char path[64];
    if (fd < 0) {
        fd = memfd_create("track", 0);
        if (fd < 0) abort();
        snprintf(path, sizeof path, "/proc/self/fd/%d", fd);
    }
    if (ftruncate(fd, 0) != 0 || pwrite(fd, data, size, 0) != (ssize_t)size) abort();

    SyncTrack track = {"fuzz", NULL, 0};
    if (sync_read_track_file(&track, path) != 0) abort();

    const size_t complete = size >= 4 ? (size - 4) / 9 : 0;
    if (track.keyCount < 0 || (size_t)track.keyCount > complete) abort();
    if ((track.keyCount == 0) != (track.keys == NULL)) abort();
    for (int i = 1; i < track.keyCount; ++i) {
        if (track.keys[i].row <= track.keys[i - 1].row) abort();
    }
    for (int i = 0; i < track.keyCount; ++i) {
        if (sync_search_key(&track, track.keys[i].row) != i) abort();
        volatile float v = sync_sample_track(&track, track.keys[i].row + 0.5);
        (void)v;
    }
    const double rows[] = {-1e300, -2147483649.0, -0.5, 0.0, 1e9, 3e9, 1e300};
    for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
        volatile float v = sync_sample_track(&track, rows[i]);
        (void)v;
    }
    free(track.keys);
    return 0;
}
