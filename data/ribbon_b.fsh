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
    // Taps under two pixels apart, so that a band's edge smears rather than
    // repeats, at every size.
    float reach = length(drift * iResolution) * stepsLong;
    int taps = int(clamp(ceil(reach / 1.5), 1.0, 48.0));
    vec3 trail = vec3(0.0);
    for (int j = 1; j <= taps; ++j) {
        float t = stepsLong * float(j) / float(taps);
        trail = max(trail, pow(fadePerStep, t) * sceneAt(p + drift * t).rgb);
    }
    fragColor = vec4(max(now.rgb, trail), now.a);
}
