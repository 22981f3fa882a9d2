/* Key search and sampling. */
#include "sync.h"

#include <assert.h>
#include <math.h>
#include <stdint.h>

int sync_search_key(const SyncTrack* t, int row)
{
    int lo = 0;
    int hi = t ? t->keyCount : 0;
    while (lo < hi) {
        int mi = (lo + hi) / 2;
        assert(mi != hi);
        if (t->keys[mi].row < row) {
            lo = mi + 1;
        } else if (t->keys[mi].row > row) {
            hi = mi;
        } else {
            return mi;
        }
    }
    return -lo - 1;
}

float sync_sample_track(const SyncTrack* t, double row)
{
    if (!t || t->keyCount <= 0) {
        return 0.0f;
    }

    /* Rows beyond the int range lie far outside any demo: clamp them to the
       first or last key instead of converting out of range. */
    const double whole = floor(row);
    int index;
    if (!(whole >= (double)INT32_MIN)) {
        index = -1;
    } else if (whole > (double)INT32_MAX) {
        index = t->keyCount - 1;
    } else {
        index = sync_search_key(t, (int)whole);
        if (index < 0) {
            index = -index - 2;
        }
    }
    if (index < 0) {
        return t->keys[0].value;
    }
    if (index > t->keyCount - 2) {
        return t->keys[t->keyCount - 1].value;
    }

    const TrackKey* a = &t->keys[index];
    const TrackKey* b = &t->keys[index + 1];
    if (a->interpolation == Step) {
        return a->value;
    }
    if (a->interpolation != Linear && a->interpolation != Smooth && a->interpolation != Ramp) {
        return 0.0f;
    }
    const double span = (double)((int64_t)b->row - (int64_t)a->row);
    const double x = (row - (double)a->row) / span;
    const double d = (double)(b->value - a->value);
    double result;
    switch (a->interpolation) {
    case Linear:
        result = x * d + a->value;
        break;
    case Smooth:
        result = ((3.0 - 2.0 * x) * (x * x)) * d + a->value;
        break;
    default:
        result = pow(x, 2.0) * d + a->value;
        break;
    }
    return (float)result;
}
