// gpu/camera: the projection and view behind the "transform" uniform.
#pragma once

#include <glm/glm.hpp>

struct Camera {
    glm::mat4 projection{1.0f};
    glm::mat4 view{1.0f};
    glm::mat4 model{1.0f};
    glm::vec3 eye{0.0f};
    glm::vec3 target{0.0f};

    // `fovy` in radians, as glm::perspective takes it.
    Camera(float fovy, float aspect, float near, float far);

    // projection x view x model, with view looking from eye at target (up +y)
    // and model the identity; stores view and model in this camera.
    glm::mat4 computeTransform();
};
