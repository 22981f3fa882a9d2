#include "gpu/camera.h"

#include <glm/gtc/matrix_transform.hpp>

Camera::Camera(float fovy, float aspect, float near, float far)
    : projection(glm::perspective(fovy, aspect, near, far))
{
}

glm::mat4 Camera::computeTransform()
{
    view = glm::lookAt(eye, target, glm::vec3(0.0f, 1.0f, 0.0f));
    model = glm::mat4(1.0f);
    return projection * view * model;
}
