#version 430 core
// The one vertex shader: the screen quad through the camera transform.
in vec3 s_vPosition;
in vec2 texCoord;

uniform mat4 transform;
uniform vec3 cameraPosition;
uniform vec3 obj_position;
uniform vec4 obj_rotation;

out vec2 uv;

void main()
{
    uv = texCoord;
    gl_Position = transform * vec4(s_vPosition + obj_position, 1.0);
}
