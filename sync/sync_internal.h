/* Helpers shared by the library's source files; not part of its interface. */
#ifndef ORVANTA_SYNC_INTERNAL_H
#define ORVANTA_SYNC_INTERNAL_H

#include <stddef.h>

/* Byte size of an array, or SIZE_MAX when it does not fit in 32 bits, so that
   the allocation fails instead of coming out too small. */
size_t sync_array_bytes(size_t count, size_t elementSize);

/* malloc'ed copy of a string, or null. */
char* sync_strdup(const char* text);

#endif
