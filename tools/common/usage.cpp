#include "usage.h"

#include <cstdio>

int usageError(const char* tool, const std::string& message, const char* usage)
{
    std::fprintf(stderr, "%s: %s\n%s", tool, message.c_str(), usage);
    return 2;
}
