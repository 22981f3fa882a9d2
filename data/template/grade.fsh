#version 430 core
// Pass 4: the picture to the screen's gamma, with the logo over it for the
// first bars. Alpha is how bright the picture is, for the final pass's glow.
uniform sampler2D iChannel0; // pass 3
uniform sampler2D iChannel1; // the logo, straight alpha
uniform vec2 iResolution;
uniform float iGlobalTime;

out vec4 fragColor;

void main()
{
    vec2 uv = gl_FragCoord.xy / iResolution;
    vec3 colour = pow(clamp(texture(iChannel0, uv).rgb, 0.0, 1.0), vec3(1.0 / 2.2));
    vec2 box = (uv - vec2(0.19, 0.42)) / vec2(0.62, 0.62 / 4.0 * iResolution.x / iResolution.y);
    if (all(greaterThanEqual(box, vec2(0.0))) && all(lessThanEqual(box, vec2(1.0)))) {
        vec4 logo = texture(iChannel1, vec2(box.x, 1.0 - box.y));
        colour = mix(colour, logo.rgb, logo.a * clamp(4.0 - iGlobalTime, 0.0, 1.0));
    }
    fragColor = vec4(colour, dot(colour, vec3(0.2126, 0.7152, 0.0722)));
}
