#version 430 core
// Pass 3: depth of field would go here; this one passes the picture on.
uniform sampler2D iChannel0; // pass 2

in vec2 uv;
out vec4 fragColor;

void main()
{
    fragColor = texture(iChannel0, uv);
}
