// platform/web: the one GLX call the frame code makes. The page's WebGL2
// context lives as long as the page.
#pragma once

inline void* glXGetCurrentContext()
{
    static int context;
    return &context;
}
