/* The device, track file names and track file reading. */
/* stat() is POSIX, not C11. */
#define _POSIX_C_SOURCE 200809L

#include "sync.h"

#include "sync_internal.h"

#include <sys/stat.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

SyncDevice* sync_open_device(const char* base)
{
    SyncDevice* d = malloc(sizeof *d);
    if (!d) {
        return NULL;
    }
    d->base = sync_strdup(base);
    if (!d->base) {
        free(d);
        return NULL;
    }
    d->tracks.items = NULL;
    d->tracks.count = 0;
    return d;
}

void sync_close_device(SyncDevice* d)
{
    if (!d) {
        return;
    }
    free(d->base);
    for (int i = 0; i < d->tracks.count; ++i) {
        free(d->tracks.items[i]->name);
        free(d->tracks.items[i]->keys);
        free(d->tracks.items[i]);
    }
    free(d->tracks.items);
    free(d);
}

SyncTrack* sync_open_track(SyncDevice* d, const char* name)
{
    if (!d) {
        return NULL;
    }
    int index = sync_find_track(&d->tracks, name);
    if (index >= 0) {
        return d->tracks.items[index];
    }
    index = sync_add_track(&d->tracks, name);
    if (index < 0) {
        return NULL;
    }
    SyncTrack* track = d->tracks.items[index];
    const char* path = sync_track_file_path(d->base, name);
    if (path) {
        sync_read_track_file(track, path);
    }
    return track;
}

const char* sync_track_file_path(const char* base, const char* name)
{
    static char path[SYNC_MAX_PATH + 1];
    static const char separator[] = "_";
    static const char extension[] = ".track";
    const size_t baseLength = strlen(base);
    const size_t nameLength = strlen(name);
    if (baseLength > SYNC_MAX_PATH || nameLength > SYNC_MAX_PATH ||
        baseLength + (sizeof separator - 1) + nameLength + (sizeof extension - 1) > SYNC_MAX_PATH) {
        return NULL;
    }
    memcpy(path, base, baseLength);
    memcpy(path + baseLength, separator, sizeof separator - 1);
    memcpy(path + baseLength + 1, name, nameLength);
    memcpy(path + baseLength + 1 + nameLength, extension, sizeof extension);
    return path;
}

static int32_t readInt32(const unsigned char* bytes)
{
    const uint32_t bits = (uint32_t)bytes[0] | (uint32_t)bytes[1] << 8 | (uint32_t)bytes[2] << 16 |
                          (uint32_t)bytes[3] << 24;
    int32_t value;
    memcpy(&value, &bits, sizeof value);
    return value;
}

static float readFloat(const unsigned char* bytes)
{
    const int32_t bits = readInt32(bytes);
    float value;
    memcpy(&value, &bits, sizeof value);
    return value;
}

int sync_read_track_file(SyncTrack* t, const char* fileName)
{
    /* Only a regular file: a FIFO in its place would hold the caller on the
       open. Anything else reads as a missing file. */
    struct stat info;
    if (stat(fileName, &info) != 0 || !S_ISREG(info.st_mode)) {
        return 1;
    }
    FILE* file = fopen(fileName, "rb");
    if (!file) {
        return 1;
    }

    unsigned char header[4];
    const int32_t count = fread(header, 1, sizeof header, file) == sizeof header ? readInt32(header) : 0;

    /* The array grows with the keys actually read, so a count larger than the
       file holds never allocates for keys that are not there. */
    TrackKey* keys = NULL;
    int32_t capacity = 0;
    int32_t read = 0;
    while (read < count) {
        unsigned char record[9];
        if (fread(record, 1, sizeof record, file) != sizeof record) {
            break;
        }
        const int32_t code = record[8] < 0x80 ? (int32_t)record[8] : (int32_t)record[8] - 0x100;
        const TrackKey key = {readInt32(record), readFloat(record + 4), code};
        if (read > 0 && key.row <= keys[read - 1].row) {
            break; /* the search needs strictly increasing rows */
        }
        if (read == capacity) {
            const int32_t grown = capacity == 0 ? (count < 64 ? count : 64)
                                                : (capacity > count / 2 ? count : capacity * 2);
            TrackKey* larger = realloc(keys, sync_array_bytes((size_t)grown, sizeof *keys));
            if (!larger) {
                free(keys);
                keys = NULL;
                read = 0;
                break;
            }
            keys = larger;
            capacity = grown;
        }
        keys[read++] = key;
    }
    fclose(file);

    if (read == 0) {
        free(keys);
        keys = NULL;
    }
    t->keys = keys;
    t->keyCount = read;
    return 0;
}
