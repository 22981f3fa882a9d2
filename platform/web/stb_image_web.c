/* platform/web: stb_image's implementation, which the desktop takes from
   Debian's libstb. */
#define STB_IMAGE_IMPLEMENTATION
#include <stb/stb_image.h>
