#include "app/build_config.h"

#if !defined(ORVANTA_SCREEN_WINDOW) || !defined(ORVANTA_SCENE_SCALE)
#error "each executable defines ORVANTA_SCREEN_WINDOW and ORVANTA_SCENE_SCALE"
#endif

namespace {

const float scale = ORVANTA_SCENE_SCALE;

} // namespace

const bool windowUsesScreenSize = ORVANTA_SCREEN_WINDOW;
const float& sceneRenderScale = scale;
