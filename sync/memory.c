/* Memory helpers shared by the track list and the device. */
#include "sync_internal.h"

#include <stdint.h>
#include <stdlib.h>
#include <string.h>

size_t sync_array_bytes(size_t count, size_t elementSize)
{
    if (elementSize != 0 && count > UINT32_MAX / elementSize) {
        return SIZE_MAX;
    }
    return count * elementSize;
}

char* sync_strdup(const char* text)
{
    const size_t length = strlen(text);
    char* copy = malloc(length + 1);
    if (copy) {
        memcpy(copy, text, length + 1);
    }
    return copy;
}
