// app/offscreen in a browser: the page's canvas is the only context.
#include "app/offscreen.h"

bool initOffscreen(std::string& error)
{
    error = "no offscreen context in a browser";
    return false;
}

const char* offscreenPlatform()
{
    return "none";
}
