#version 430 core
// Grading: the scene's linear light through a filmic curve to the screen's
// gamma, then lift, gamma, gain and saturation per channel, a vignette and
// the logo over it all. The grading values are offsets from neutral, so 0
// everywhere leaves the picture as the curve made it; gain -1 is black.
// Alpha carries how bright the grade leaves the picture, for the glow that
// the final pass adds.
uniform sampler2D iChannel0; // pass 3
uniform sampler2D iChannel1; // the logo, straight (not premultiplied) alpha
uniform vec2 iResolution;
uniform float iGlobalTime;
uniform vec3 gain;
uniform vec3 gamma;
uniform vec3 lift;
uniform vec3 saturation;
uniform float logo;

in vec2 uv;
out vec4 fragColor;

const float logoWidth = 0.62;   // of the screen's width
const float logoAspect = 4.0;   // the image's width over its height

// A close fit of the ACES film curve.
vec3 filmic(vec3 x)
{
    return clamp(x * (2.51 * x + 0.03) / (x * (2.43 * x + 0.59) + 0.14), 0.0, 1.0);
}

// The logo at p, transparent outside its box; it settles from slightly
// larger as its strength rises.
vec4 logoAt(vec2 p, float strength)
{
    float aspect = iResolution.x / max(iResolution.y, 1.0);
    float scale = logoWidth * (1.0 + 0.08 * (1.0 - strength));
    vec2 box = (p - 0.5) / vec2(scale, scale * aspect / logoAspect) + 0.5;
    if (any(lessThan(box, vec2(0.0))) || any(greaterThan(box, vec2(1.0)))) return vec4(0.0);
    return texture(iChannel1, vec2(box.x, 1.0 - box.y));
}

void main()
{
    vec2 p = gl_FragCoord.xy / iResolution;
    // Square root: close to the screen's gamma, and far cheaper than pow.
    vec3 c = sqrt(filmic(max(texelFetch(iChannel0, ivec2(gl_FragCoord.xy), 0).rgb, 0.0)));
    c = max(c * (1.0 + gain) + lift * (1.0 - c), 0.0);
    if (gamma != vec3(0.0)) c = pow(c, 1.0 / max(1.0 + gamma, vec3(0.05)));
    float luma = dot(c, vec3(0.2126, 0.7152, 0.0722));
    c = luma + (c - luma) * max(1.0 + saturation, 0.0);
    vec2 v = p - 0.5;
    c *= 1.0 - 0.45 * dot(v, v);

    float strength = clamp(logo, 0.0, 1.0);
    vec4 mark = strength > 0.0 ? logoAt(p, strength) : vec4(0.0);
    float cover = mark.a * strength;
    c = mix(c, mark.rgb, cover);
    float exposure = clamp(dot(1.0 + gain, vec3(1.0 / 3.0)), 0.0, 1.0);
    fragColor = vec4(clamp(c, 0.0, 1.0), exposure * (1.0 - cover));
}
