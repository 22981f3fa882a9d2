#version 430 core
// Scene pass: draws the scene into its render texture, depth in alpha.
uniform vec2 iResolution;
uniform float iGlobalTime;
uniform float field_of_view;
uniform vec3 cam_dist;
uniform vec3 cam_rot;
uniform vec3 dir_rot;
uniform float moveground;
uniform vec3 lightSource;

in vec2 uv;
out vec4 fragColor;

void main()
{
    vec2 p = gl_FragCoord.xy / iResolution;
    float t = iGlobalTime + moveground;
    vec3 base = vec3(0.3, 0.5 + 0.5 * cos(6.2831 * length(p - 0.5) * 4.0 - t), 0.6);
    vec3 lit = base * (0.6 + 0.4 * clamp(dot(normalize(lightSource + vec3(0.0, 1.0, 0.0)), vec3(0.0, 1.0, 0.0)), 0.0, 1.0));
    float depth = clamp(length(p - 0.5 + 0.1 * (cam_dist.xy + cam_rot.xy + dir_rot.xy)) + 0.01 * field_of_view, 0.0, 1.0);
    fragColor = vec4(lit, depth);
}
