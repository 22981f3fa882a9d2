#version 430 core
// Whirligig feedback: bright parts leave trails that turn with the
// mechanism, as a spinning thing does on a slow shutter.
// Depth stays in alpha, from pass 1.
uniform sampler2D iChannel0; // pass 1: the scene, smaller than the window
uniform sampler2D iChannel1; // this pass's image of the previous frame
uniform vec2 iResolution;
uniform float iGlobalTime;

in vec2 uv;
out vec4 fragColor;

// Pass 1 at p (0 to 1 across it), filtered where pass 1 is smaller than
// the window: its texture is sampled nearest.
vec4 scene(vec2 p)
{
    ivec2 last = textureSize(iChannel0, 0) - 1;
    if (last + 1 == ivec2(iResolution)) return texelFetch(iChannel0, ivec2(gl_FragCoord.xy), 0);
    vec2 x = p * vec2(last + 1) - 0.5;
    ivec2 i = ivec2(floor(x));
    vec2 f = x - floor(x);
    vec4 a = texelFetch(iChannel0, clamp(i, ivec2(0), last), 0);
    vec4 b = texelFetch(iChannel0, clamp(i + ivec2(1, 0), ivec2(0), last), 0);
    vec4 c = texelFetch(iChannel0, clamp(i + ivec2(0, 1), ivec2(0), last), 0);
    vec4 d = texelFetch(iChannel0, clamp(i + ivec2(1, 1), ivec2(0), last), 0);
    return mix(mix(a, b, f.x), mix(c, d, f.x), f.y);
}

// The previous frame at p, finite and bounded: the history is undefined on
// the first frame, and a bounded history keeps the feedback from running
// away while the music is paused.
vec3 history(vec2 p)
{
    vec3 h = texelFetch(iChannel1, clamp(ivec2(p * iResolution), ivec2(0), ivec2(iResolution) - 1), 0).rgb;
    return any(isnan(h)) || any(isinf(h)) ? vec3(0.0) : clamp(h, 0.0, 32.0);
}

// p turned by `angle` and scaled by `zoom` about the centre of the screen,
// in square units so that the picture keeps its shape.
vec2 warp(vec2 p, float angle, float zoom)
{
    float aspect = iResolution.x / max(iResolution.y, 1.0);
    vec2 q = (p - 0.5) * vec2(aspect, 1.0);
    float s = sin(angle), c = cos(angle);
    q = zoom * vec2(c * q.x - s * q.y, s * q.x + c * q.y);
    return q / vec2(aspect, 1.0) + 0.5;
}

void main()
{
    vec2 p = gl_FragCoord.xy / iResolution;
    vec4 now = scene(p);
    vec3 trail = 0.6 * history(warp(p, -0.03, 0.997));
    fragColor = vec4(mix(now.rgb, max(now.rgb, trail), 0.6), now.a);
}
