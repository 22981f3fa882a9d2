/* The track list: lookup by name and appending. */
#include "sync.h"

#include "sync_internal.h"

#include <assert.h>
#include <stdlib.h>
#include <string.h>

int sync_find_track(const SyncTrackList* d, const char* name)
{
    for (int i = 0; i < d->count; ++i) {
        if (strcmp(d->items[i]->name, name) == 0) {
            return i;
        }
    }
    return -1;
}

int sync_add_track(SyncTrackList* d, const char* name)
{
    assert(sync_find_track(d, name) < 0);

    SyncTrack* track = malloc(sizeof *track);
    char* copy = sync_strdup(name);
    SyncTrack** items = realloc(d->items, sync_array_bytes((size_t)d->count + 1, sizeof *items));
    if (!track || !copy || !items) {
        /* realloc failing leaves the old array in place; a successful one
           has already taken its place. */
        if (items) d->items = items;
        free(track);
        free(copy);
        return -1;
    }
    track->name = copy;
    track->keys = NULL;
    track->keyCount = 0;
    d->items = items;
    d->items[d->count] = track;
    d->count += 1;
    return d->count - 1;
}
