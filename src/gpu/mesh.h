// gpu/mesh: the screen quad every pass draws.
//
//     Mesh* mesh = new Mesh();              // writes its summary to stdout
//     mesh->bindAttributes(program);        // "s_vPosition", "texCoord"
//     mesh->position = {0, 0, 0};
//     mesh->rotation = {0, 0, 0, 1};
//     mesh->draw(camera);                   // sets the four standard uniforms
//
// Meshes own their vertex array and buffers and live until the process ends.
#pragma once

#include "gpu/camera.h"
#include "gpu/shader_program.h"

#include <GL/glew.h>
#include <glm/glm.hpp>

extern const GLfloat quadVertices[4][3];
extern const GLfloat quadTexCoords[4][2];
extern const GLuint quadIndices[6];

// Meshes constructed so far; a mesh's ordinal in its summary.
GLuint meshesMade();

class Mesh {
public:
    Mesh();
    Mesh(const Mesh&) = delete;
    Mesh& operator=(const Mesh&) = delete;

    // Records the program and points the position and texture-coordinate
    // attributes of the mesh's buffer at it. An attribute the program lacks
    // has location -1 and is ignored.
    void bindAttributes(ShaderProgram* shaderProgram);

    // Draws the quad with the bound program (bindAttributes must have run),
    // after setting "transform", "cameraPosition", "obj_position" and
    // "obj_rotation".
    void draw(Camera camera);

    const GLfloat (*vertices)[3] = quadVertices;
    const GLuint* indices = quadIndices;
    const GLfloat (*texCoords)[2] = quadTexCoords;
    GLuint vertexArray = 0;
    GLuint vertexBuffer = 0;
    GLint positionAttribute = -1;
    GLint texCoordAttribute = -1;
    GLuint indexBuffer = 0;
    GLuint vertexCount = 4;
    GLuint indexCount = 6;
    GLuint texCoordCount = 4;
    ShaderProgram* program = nullptr;
    glm::vec3 position{0.0f, 0.0f, 0.0f};
    glm::vec4 rotation{1.0f, 1.0f, 1.0f, 1.0f};
};
