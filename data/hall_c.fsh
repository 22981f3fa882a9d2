#version 430 core
// Depth-of-field pass: blurs near and far by the blur amounts.
uniform sampler2D iChannel0;
uniform vec2 iResolution;
uniform float iGlobalTime;
uniform float close_blur;
uniform float far_blur;

in vec2 uv;
out vec4 fragColor;

void main()
{
    vec2 p = gl_FragCoord.xy / iResolution;
    vec4 centre = texture(iChannel0, p);
    float radius = mix(close_blur, far_blur, clamp(centre.a, 0.0, 1.0)) * 4.0 / iResolution.y;
    vec3 sum = centre.rgb;
    for (int i = 0; i < 4; ++i) {
        float a = 1.5708 * float(i);
        sum += texture(iChannel0, p + radius * vec2(cos(a), sin(a))).rgb;
    }
    fragColor = vec4(sum / 5.0, centre.a);
}
