#version 430 core
// Pass 2: the scene with a little of the frame before, which leaves a short
// trail behind what moves.
uniform sampler2D iChannel0; // pass 1
uniform sampler2D iChannel1; // this pass's image of the frame before
uniform float iTimeDelta;    // seconds since the frame before; 0 while paused
uniform vec2 iResolution;

out vec4 fragColor;

void main()
{
    vec2 uv = gl_FragCoord.xy / iResolution;
    vec4 now = texture(iChannel0, uv);
    vec4 before = texture(iChannel1, uv);
    float keep = iTimeDelta > 0.0 ? pow(0.02, iTimeDelta) : 0.0;
    fragColor = vec4(max(now.rgb, before.rgb * keep), now.a);
}
