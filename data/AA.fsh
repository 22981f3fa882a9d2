#version 430 core
// Final pass: the graded image to the window.
uniform sampler2D iChannel0;
uniform sampler2D iChannel1;
uniform sampler2D iChannel2;
uniform sampler2D iChannel3;
uniform sampler2D iChannel4;
uniform sampler2D iChannel5;
uniform sampler2D iChannel6;
uniform sampler2D iChannel7;
uniform vec2 iResolution;

in vec2 uv;
out vec4 fragColor;

void main()
{
    vec2 p = gl_FragCoord.xy / iResolution;
    fragColor = vec4(texture(iChannel0, p).rgb, 1.0);
}
