#version 430 core
// Grading pass: lift, gamma, gain and saturation per channel, then the logo.
uniform sampler2D iChannel0;
uniform sampler2D iChannel1;
uniform vec2 iResolution;
uniform float iGlobalTime;
uniform vec3 gain;
uniform vec3 gamma;
uniform vec3 lift;
uniform vec3 saturation;
uniform float logo;

in vec2 uv;
out vec4 fragColor;

void main()
{
    vec2 p = gl_FragCoord.xy / iResolution;
    vec4 c = texture(iChannel0, p);
    vec3 graded = clamp(c.rgb * (1.0 + gain) + lift, 0.0, 1.0);
    graded = pow(graded, 1.0 / max(1.0 + gamma, vec3(0.05)));
    float grey = dot(graded, vec3(0.299, 0.587, 0.114));
    graded = mix(vec3(grey), graded, 1.0 + saturation);
    vec4 mark = texture(iChannel1, vec2(p.x, 1.0 - p.y));
    graded = mix(graded, mark.rgb, clamp(mark.a * logo, 0.0, 1.0));
    fragColor = vec4(clamp(graded, 0.0, 1.0), c.a);
}
