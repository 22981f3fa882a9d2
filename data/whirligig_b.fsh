#version 430 core
// Whirligig feedback: bright parts leave trails that turn with the
// mechanism, as a spinning thing does on a slow shutter.
// Depth stays in alpha, from pass 1.
uniform sampler2D iChannel0; // pass 1: the scene, smaller than the window
uniform sampler2D iChannel1; // this pass's image of the previous frame
uniform vec2 iResolution;
uniform float iGlobalTime;
uniform float iTimeDelta;  // seconds of music since the last frame; 0 while paused

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

// The previous frame at texel i, finite and bounded: the history is undefined on
// the first frame, and a bounded history keeps the feedback from running
// away while the music is paused.
vec3 historyTexel(ivec2 i)
{
    vec3 h = texelFetch(iChannel1, clamp(i, ivec2(0), ivec2(iResolution) - 1), 0).rgb;
    return any(isnan(h)) || any(isinf(h)) ? vec3(0.0) : clamp(h, 0.0, 32.0);
}

// Filtered between texels, so that a trail moves by fractions of a pixel as
// smoothly at 120 frames a second as at 30; at texel centres, exact.
vec3 history(vec2 p)
{
    vec2 x = p * iResolution - 0.5;
    ivec2 i = ivec2(floor(x));
    vec2 f = x - floor(x);
    return mix(mix(historyTexel(i), historyTexel(i + ivec2(1, 0)), f.x),
               mix(historyTexel(i + ivec2(0, 1)), historyTexel(i + ivec2(1, 1)), f.x), f.y);
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

// The frames of 60 a second that this frame stands for: trails fade and move
// with the music's time, not with the frame count, so they look the same at
// any frame rate. A paused frame counts as a quarter of one, so that the
// feedback still settles on the still picture; a jump counts as a second.
float steps()
{
    return clamp(iTimeDelta, 1.0 / 240.0, 1.0) * 60.0;
}

void main()
{
    vec2 p = gl_FragCoord.xy / iResolution;
    vec4 now = scene(p);
    float s = steps();
    // A long step is filled in along the turn, as more frames would have:
    // the whole step's fade, at every point of the way. Each tap spreads the
    // history over a pixel either way (two filtered reads half a pixel
    // apart), so a turning edge leaves a smooth arc instead of a copy of
    // itself every frame.
    int taps = int(clamp(ceil(s), 1.0, 4.0));
    vec2 spread = 0.5 / iResolution;
    vec3 trail = vec3(0.0);
    for (int j = 1; j <= taps; ++j) {
        float u = s * float(j) / float(taps);
        vec2 at = warp(p, -0.03 * u, pow(0.997, u));
        trail = max(trail, pow(0.5, s) * 0.5 * (history(at + spread) + history(at - spread)));
    }
    fragColor = vec4(mix(now.rgb, max(now.rgb, trail), 1.0 - pow(0.4, s)), now.a);
}
