#version 430 core
// Feedback pass: the scene enlarged to the window, blended with this pass's
// image of the previous frame. Depth stays in alpha.
uniform sampler2D iChannel0;
uniform sampler2D iChannel1;
uniform vec2 iResolution;
uniform float iGlobalTime;

in vec2 uv;
out vec4 fragColor;

void main()
{
    vec2 p = gl_FragCoord.xy / iResolution;
    vec4 scene = texture(iChannel0, p);
    vec4 previous = texture(iChannel1, p);
    // The history is undefined on the first frame: keep only finite values.
    if (any(isnan(previous)) || any(isinf(previous))) previous = scene;
    fragColor = vec4(mix(scene.rgb, clamp(previous.rgb, 0.0, 1.0), 0.7), scene.a);
}
