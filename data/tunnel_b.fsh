#version 430 core
// Tunnel streaks: the brightest lights smear outwards from the centre,
// each colour a little further than the last, as at light speed.
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

// The trail is drawn from this frame's picture alone, as it would have
// been seen over the last moments: the same streak at 30 frames a second
// as at 120, and the same whether the music plays or is paused. A trail fed
// back from the previous frame would leave a copy of each light wherever it
// was a frame ago, further apart the fewer the frames.
//
// A light seen t 60ths of a second ago is now further out by its colour's
// zoom to the power t, fades by 0.85 and dims by 0.2 every 60th: only the
// bright ones leave a streak, over a tenth of a second at most.
const vec3 zoomPerStep = vec3(0.965, 0.972, 0.979);
const float fadePerStep = 0.85;
const float dimPerStep = 0.2;
const float stepsLong = 6.0;

void main()
{
    vec2 p = gl_FragCoord.xy / iResolution;
    vec4 now = scene(p);
    // One path of taps along green's zoom serves all three colours: red,
    // which goes further, reaches a point sooner, and blue later.
    vec3 pace = log(zoomPerStep) / log(zoomPerStep.g);
    float far = stepsLong * pace.r;
    float reach = length((p - 0.5) * iResolution) * sceneScale() * (1.0 - pow(zoomPerStep.g, far));
    int taps = int(clamp(ceil(reach), 1.0, 32.0));
    float offset = grain();
    vec3 trail = vec3(0.0);
    for (int j = 0; j < taps; ++j) {
        float v = far * (float(j) + offset) / float(taps);
        vec3 t = v / pace;
        vec3 light = pow(vec3(fadePerStep), t) * sceneTap(warp(p, 0.0, pow(zoomPerStep.g, v))) - dimPerStep * t;
        trail = max(trail, light * step(t, vec3(stepsLong)));
    }
    fragColor = vec4(max(now.rgb, trail), now.a);
}
