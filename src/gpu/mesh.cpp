#include "gpu/mesh.h"

#include <glm/gtc/type_ptr.hpp>

#include <cstdint>
#include <iostream>

const GLfloat quadVertices[4][3] = {
    {5.0f, 5.0f, 1.0f},
    {5.0f, -5.0f, 1.0f},
    {-5.0f, -5.0f, 1.0f},
    {-5.0f, 5.0f, 1.0f},
};
const GLfloat quadTexCoords[4][2] = {{1.0f, 1.0f}, {1.0f, 0.0f}, {0.0f, 0.0f}, {0.0f, 1.0f}};
const GLuint quadIndices[6] = {0, 1, 2, 3, 2, 0};

namespace {

GLuint meshCounter = 0;

} // namespace

GLuint meshesMade()
{
    return meshCounter;
}

Mesh::Mesh()
{
    const GLuint ordinal = meshCounter++;
    std::cout << "\n[\n Vertex Array Object: " << ordinal << "\n";
    glGenVertexArrays(1, &vertexArray);
    glBindVertexArray(vertexArray);
    std::cout << " Number of vertices: " << vertexCount << "\n"
              << " Number of indices: " << indexCount << "\n"
              << " Number of texture coordinates: " << texCoordCount << "\n"
              << "]\n";

    const GLsizeiptr positionBytes = vertexCount * 3 * sizeof(GLfloat);
    const GLsizeiptr texCoordBytes = texCoordCount * 2 * sizeof(GLfloat);
    glGenBuffers(1, &vertexBuffer);
    glBindBuffer(GL_ARRAY_BUFFER, vertexBuffer);
    glBufferData(GL_ARRAY_BUFFER, positionBytes + texCoordBytes, nullptr, GL_STATIC_DRAW);
    glBufferSubData(GL_ARRAY_BUFFER, 0, positionBytes, vertices);
    glBufferSubData(GL_ARRAY_BUFFER, positionBytes, texCoordBytes, texCoords);

    glGenBuffers(1, &indexBuffer);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, indexBuffer);
    glBufferData(GL_ELEMENT_ARRAY_BUFFER, indexCount * sizeof(GLuint), indices, GL_STATIC_DRAW);
}

void Mesh::bindAttributes(ShaderProgram* shaderProgram)
{
    program = shaderProgram;
    glBindVertexArray(vertexArray);
    glBindBuffer(GL_ARRAY_BUFFER, vertexBuffer);
    positionAttribute = glGetAttribLocation(program->program, "s_vPosition");
    texCoordAttribute = glGetAttribLocation(program->program, "texCoord");
    // A program without one of the attributes has location -1; pointing -1
    // at the buffer would only raise a GL error, so it is left out.
    if (positionAttribute >= 0) {
        glVertexAttribPointer(static_cast<GLuint>(positionAttribute), 3, GL_FLOAT, GL_FALSE, 0, nullptr);
    }
    if (texCoordAttribute >= 0) {
        const uintptr_t offset = vertexCount * 3 * sizeof(GLfloat);
        glVertexAttribPointer(static_cast<GLuint>(texCoordAttribute), 2, GL_FLOAT, GL_FALSE, 0,
                              reinterpret_cast<const void*>(offset));
    }
}

void Mesh::draw(Camera camera)
{
    glUseProgram(program->program);
    const glm::mat4 transform = camera.computeTransform();
    glUniformMatrix4fv(glGetUniformLocation(program->program, "transform"), 1, GL_FALSE, glm::value_ptr(transform));
    glUniform3f(glGetUniformLocation(program->program, "cameraPosition"), camera.eye.x, camera.eye.y, camera.eye.z);
    glUniform3f(glGetUniformLocation(program->program, "obj_position"), position.x, position.y, position.z);
    glUniform4f(glGetUniformLocation(program->program, "obj_rotation"), rotation.x, rotation.y, rotation.z,
                rotation.w);
    glBindVertexArray(vertexArray);
    if (positionAttribute >= 0) glEnableVertexAttribArray(static_cast<GLuint>(positionAttribute));
    if (texCoordAttribute >= 0) glEnableVertexAttribArray(static_cast<GLuint>(texCoordAttribute));
    glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(indexCount), GL_UNSIGNED_INT, nullptr);
}
