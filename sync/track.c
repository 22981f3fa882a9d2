/* Key search and sampling. */
#include "sync.h"

#include <assert.h>
#include <math.h>
#include <stdint.h>

/* The number of keys whose row is below `row`, for count >= 1 keys in
   strictly increasing row order. Key rows are usually spread evenly, so the
   search starts where a straight line through the first and last key puts
   the row, widens its bracket in doubling steps, then halves it: a few
   probes on even tracks, never more than about twice a plain binary search
   on uneven ones. */
static int keysBelow(const TrackKey* keys, int count, int row)
{
    if (row <= keys[0].row) {
        return 0;
    }
    if (row > keys[count - 1].row) {
        return count;
    }
    /* Now keys[0].row < row <= keys[count - 1].row: the answer lies in
       [1, count - 1]. */
    const double first = keys[0].row;
    const double span = (double)keys[count - 1].row - first;
    double estimate = ((double)row - first) / span * (double)(count - 1);
    if (!(estimate >= 1.0)) {
        estimate = 1.0; /* also catches NaN from rows that are not increasing */
    } else if (estimate > (double)(count - 1)) {
        estimate = (double)(count - 1);
    }
    const int guess = (int)estimate;

    int lo;
    int hi;
    if (keys[guess].row < row) {
        lo = guess + 1;
        hi = count - 1;
        for (int step = 1; lo + step - 1 < count - 1; step *= 2) {
            const int probe = lo + step - 1;
            if (keys[probe].row >= row) {
                hi = probe;
                break;
            }
            lo = probe + 1;
        }
    } else {
        lo = 1;
        hi = guess;
        for (int step = 1; hi - step > 0; step *= 2) {
            const int probe = hi - step;
            if (keys[probe].row < row) {
                lo = probe + 1;
                break;
            }
            hi = probe;
        }
    }
    while (lo < hi) {
        const int mi = lo + (hi - lo) / 2;
        assert(mi != hi);
        if (keys[mi].row < row) {
            lo = mi + 1;
        } else {
            hi = mi;
        }
    }
    return lo;
}

int sync_search_key(const SyncTrack* t, int row)
{
    if (!t || t->keyCount <= 0) {
        return -1;
    }
    const int lo = keysBelow(t->keys, t->keyCount, row);
    if (lo < t->keyCount && t->keys[lo].row == row) {
        return lo;
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
