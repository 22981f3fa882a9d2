#version 430 core
// Final pass: edge anti-aliasing of the graded picture (a fast approximate
// filter: it finds each edge's direction from the luma around a pixel and
// blends along it), then a glow from the brightest parts of the scene, as
// strong as the grade lets the picture be (pass 4's alpha), and a dither
// that hides banding in the 8-bit window.
uniform sampler2D iChannel0; // pass 4, graded
uniform sampler2D iChannel1; // pass 1, the scene in linear light
uniform sampler2D iChannel2; // pass 1 again
uniform sampler2D iChannel3; // the logo
uniform sampler2D iChannel4;
uniform sampler2D iChannel5;
uniform sampler2D iChannel6;
uniform sampler2D iChannel7;
uniform vec2 iResolution;

in vec2 uv;
out vec4 fragColor;

const float reduceMultiplier = 1.0 / 8.0;
const float reduceMinimum = 1.0 / 128.0;
const float spanMaximum = 8.0;
const vec3 lumaWeights = vec3(0.299, 0.587, 0.114);

// A texture at a point in its own pixels, filtered: the demo's render
// textures are sampled nearest.
vec4 filtered(sampler2D image, vec2 x)
{
    ivec2 last = textureSize(image, 0) - 1;
    x -= 0.5;
    ivec2 i = ivec2(floor(x));
    vec2 f = x - floor(x);
    vec4 a = texelFetch(image, clamp(i, ivec2(0), last), 0);
    vec4 b = texelFetch(image, clamp(i + ivec2(1, 0), ivec2(0), last), 0);
    vec4 c = texelFetch(image, clamp(i + ivec2(0, 1), ivec2(0), last), 0);
    vec4 d = texelFetch(image, clamp(i + ivec2(1, 1), ivec2(0), last), 0);
    return mix(mix(a, b, f.x), mix(c, d, f.x), f.y);
}

vec3 antialiased(vec2 x)
{
    ivec2 pixel = ivec2(x);
    ivec2 last = ivec2(iResolution) - 1;
    vec3 middle = texelFetch(iChannel0, pixel, 0).rgb;
    float lumaM = dot(middle, lumaWeights);
    float nw = dot(texelFetch(iChannel0, clamp(pixel + ivec2(-1, 1), ivec2(0), last), 0).rgb, lumaWeights);
    float ne = dot(texelFetch(iChannel0, clamp(pixel + ivec2(1, 1), ivec2(0), last), 0).rgb, lumaWeights);
    float sw = dot(texelFetch(iChannel0, clamp(pixel + ivec2(-1, -1), ivec2(0), last), 0).rgb, lumaWeights);
    float se = dot(texelFetch(iChannel0, clamp(pixel + ivec2(1, -1), ivec2(0), last), 0).rgb, lumaWeights);
    float lumaMin = min(lumaM, min(min(nw, ne), min(sw, se)));
    float lumaMax = max(lumaM, max(max(nw, ne), max(sw, se)));
    // Flat areas keep their pixel: most of the picture takes this path.
    if (lumaMax - lumaMin < max(0.04, 0.125 * lumaMax)) return middle;

    vec2 dir = vec2(-((nw + ne) - (sw + se)), (nw + sw) - (ne + se));
    float reduce = max((nw + ne + sw + se) * 0.25 * reduceMultiplier, reduceMinimum);
    dir = clamp(dir / (min(abs(dir.x), abs(dir.y)) + reduce), -spanMaximum, spanMaximum);
    vec3 inner = 0.5 * (filtered(iChannel0, x + dir * (1.0 / 3.0 - 0.5)).rgb +
                        filtered(iChannel0, x + dir * (2.0 / 3.0 - 0.5)).rgb);
    vec3 outer = 0.5 * inner + 0.25 * (filtered(iChannel0, x - 0.5 * dir).rgb + filtered(iChannel0, x + 0.5 * dir).rgb);
    float lumaOuter = dot(outer, lumaWeights);
    return lumaOuter < lumaMin || lumaOuter > lumaMax ? inner : outer;
}

// The scene's light above 1.0, spread by four taps on a ring that turns
// from pixel to pixel, so that together they read as a soft halo.
vec3 glow(vec2 p, float turn)
{
    ivec2 size = textureSize(iChannel1, 0);
    vec2 centre = p * vec2(size);
    vec2 r = 0.02 * float(size.y) * vec2(cos(6.2831853 * turn), sin(6.2831853 * turn));
    vec2 offsets[4] = vec2[](r, vec2(-r.y, r.x), -r, vec2(r.y, -r.x));
    vec3 sum = vec3(0.0);
    for (int i = 0; i < 4; ++i) {
        ivec2 tap = clamp(ivec2(centre + offsets[i]), ivec2(0), size - 1);
        sum += max(texelFetch(iChannel1, tap, 0).rgb - 1.0, 0.0);
    }
    return 0.25 * sum;
}

void main()
{
    vec2 x = gl_FragCoord.xy;
    vec2 p = x / iResolution;
    vec3 colour = antialiased(x);
    float noise = fract(52.9829189 * fract(dot(x, vec2(0.06711056, 0.00583715))));
    float exposure = texelFetch(iChannel0, ivec2(x), 0).a;
    colour += 0.12 * exposure * min(glow(p, noise), vec3(4.0));
    fragColor = vec4(colour + (noise - 0.5) / 255.0, 1.0);
}
