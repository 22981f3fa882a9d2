// The capture's build configuration: a window of the screen's size (its own
// X server is the capture's size), and the scene scale of --scene-scale.
#include "app/build_config.h"

float captureSceneScale = 1.0f;

const bool windowUsesScreenSize = true;
const float& sceneRenderScale = captureSceneScale;
