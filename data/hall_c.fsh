#version 430 core
// Depth of field: things near the camera blur by close_blur, things far
// away by far_blur (each in hundredths of the screen's height; 0 is sharp),
// with a disc of taps that only takes a neighbour whose own blur reaches
// this pixel, so sharp edges do not bleed. Depth stays in alpha.
uniform sampler2D iChannel0; // pass 2
uniform vec2 iResolution;
uniform float iGlobalTime;
uniform float close_blur;
uniform float far_blur;

in vec2 uv;
out vec4 fragColor;

const int maxTaps = 16;
const float goldenAngle = 2.39996323;

// Blur radius in pixels for a depth (alpha of pass 1: t / (t + 8)).
float blurRadius(float depth)
{
    float nearAmount = max(close_blur, 0.0) * (1.0 - smoothstep(0.05, 0.3, depth));
    float farAmount = max(far_blur, 0.0) * smoothstep(0.4, 0.95, depth);
    return min((nearAmount + farAmount) * 0.01 * iResolution.y, 0.05 * iResolution.y);
}

void main()
{
    ivec2 pixel = ivec2(gl_FragCoord.xy);
    ivec2 last = ivec2(iResolution) - 1;
    vec4 centre = texelFetch(iChannel0, pixel, 0);
    float radius = blurRadius(centre.a);
    if (radius < 0.5) {
        fragColor = centre;
        return;
    }
    // A small disc needs fewer taps to look smooth.
    int taps = clamp(int(3.0 * radius), 6, maxTaps);
    vec3 sum = centre.rgb;
    float weight = 1.0;
    for (int i = 0; i < taps; ++i) {
        float r = radius * sqrt((float(i) + 0.5) / float(taps));
        float a = goldenAngle * float(i);
        vec2 offset = r * vec2(cos(a), sin(a));
        vec4 s = texelFetch(iChannel0, clamp(pixel + ivec2(round(offset)), ivec2(0), last), 0);
        float w = clamp(blurRadius(s.a) - r + 1.0, 0.0, 1.0);
        sum += s.rgb * w;
        weight += w;
    }
    fragColor = vec4(sum / weight, centre.a);
}
