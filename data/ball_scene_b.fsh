#version 430 core
// Ball scene feedback: the balls leave short light trails along their
// bounce.
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
    // The trail stays in place, spread a little over its neighbours each
    // frame, so a moving ball leaves a soft streak rather than a row of
    // copies of itself.
    ivec2 i = ivec2(gl_FragCoord.xy);
    vec3 spread = 0.5 * historyTexel(i) + 0.125 * (historyTexel(i + ivec2(1, 0)) + historyTexel(i - ivec2(1, 0)) +
                                                   historyTexel(i + ivec2(0, 1)) + historyTexel(i - ivec2(0, 1)));
    fragColor = vec4(max(now.rgb, pow(0.55, steps()) * spread), now.a);
}
