#version 430 core
// Ribbon streaks: long trails of light that drift and curl as they fade.
// Depth stays in alpha, from pass 1.
uniform sampler2D iChannel0; // pass 1: the scene, smaller than the window or its size
uniform vec2 iResolution;
uniform float iGlobalTime;

in vec2 uv;
out vec4 fragColor;

// Pass 1 at p (0 to 1 across it), filtered: its texture is sampled nearest.
vec4 sceneAt(vec2 p)
{
    ivec2 last = textureSize(iChannel0, 0) - 1;
    vec2 x = p * vec2(last + 1) - 0.5;
    ivec2 i = ivec2(floor(x));
    vec2 f = x - floor(x);
    vec4 a = texelFetch(iChannel0, clamp(i, ivec2(0), last), 0);
    vec4 b = texelFetch(iChannel0, clamp(i + ivec2(1, 0), ivec2(0), last), 0);
    vec4 c = texelFetch(iChannel0, clamp(i + ivec2(0, 1), ivec2(0), last), 0);
    vec4 d = texelFetch(iChannel0, clamp(i + ivec2(1, 1), ivec2(0), last), 0);
    return mix(mix(a, b, f.x), mix(c, d, f.x), f.y);
}

// Pass 1's texel under p, for the taps of a streak: they lie about a texel
// apart, so their mean or their brightest is as smooth as filtered taps
// would give, at a quarter of the reads.
vec3 sceneTap(vec2 p)
{
    ivec2 size = textureSize(iChannel0, 0);
    return texelFetch(iChannel0, clamp(ivec2(p * vec2(size)), ivec2(0), size - 1), 0).rgb;
}

// Interleaved gradient noise, 0 to 1, even from pixel to pixel: where the
// taps of a streak lie further apart than a texel, each pixel's set starts
// at its own offset, so the streak reads as a fine grain, not as copies.
float grain()
{
    return fract(52.9829189 * fract(dot(gl_FragCoord.xy, vec2(0.06711056, 0.00583715))));
}

// Pass 1's texels to a window pixel, along either axis.
float sceneScale()
{
    return float(textureSize(iChannel0, 0).x) / max(iResolution.x, 1.0);
}

// This pixel of pass 1: its own texel where pass 1 is the window's size.
vec4 scene(vec2 p)
{
    if (textureSize(iChannel0, 0) == ivec2(iResolution)) return texelFetch(iChannel0, ivec2(gl_FragCoord.xy), 0);
    return sceneAt(p);
}

// The trail is drawn from this frame's picture alone, as it would have
// been seen over the last moments: the same streak at 30 frames a second
// as at 120, and the same whether the music plays or is paused. A trail fed
// back from the previous frame would leave a copy of each light wherever it
// was a frame ago, further apart the fewer the frames.
//
// A light seen t 60ths of a second ago has drifted t steps along a slowly
// turning field and kept 0.8 to the power t of itself: the fifth of a
// second that leaves 7% of it.
const float fadePerStep = 0.8;
const float stepsLong = 12.0;

void main()
{
    vec2 p = gl_FragCoord.xy / iResolution;
    vec4 now = scene(p);
    vec2 drift = 0.0025 * vec2(sin(9.0 * p.y + iGlobalTime), cos(7.0 * p.x - 0.7 * iGlobalTime));
    // Taps about a texel of pass 1 apart, so that a band's edge smears
    // rather than repeats; at large sizes at most 24, spread by the grain.
    float reach = length(drift * iResolution) * sceneScale() * stepsLong;
    int taps = int(clamp(ceil(reach), 1.0, 24.0));
    float offset = grain();
    vec3 trail = vec3(0.0);
    for (int j = 0; j < taps; ++j) {
        float t = stepsLong * (float(j) + offset) / float(taps);
        trail = max(trail, pow(fadePerStep, t) * sceneTap(p + drift * t));
    }
    fragColor = vec4(max(now.rgb, trail), now.a);
}
