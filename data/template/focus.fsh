#version 430 core
// Pass 3: depth of field would go here; this one passes the picture on.
uniform sampler2D iChannel0; // pass 2
uniform vec2 iResolution;

out vec4 fragColor;

void main()
{
    vec2 uv = gl_FragCoord.xy / iResolution;
    fragColor = texture(iChannel0, uv);
}
