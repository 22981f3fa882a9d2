#version 430 core
// The yardstick for the demo's scenes: a 100-step sphere tracer of a
// repeated field of spheres and slabs over a ground plane, lit by one light
// with a 24-step soft shadow, drawn over the whole screen.
uniform vec2 iResolution;
uniform float iGlobalTime;

out vec4 fragColor;

float field(vec3 p)
{
    vec3 q = vec3(mod(p.x, 4.0) - 2.0, p.y, mod(p.z, 4.0) - 2.0);
    float sphere = length(q - vec3(0.0, 1.2, 0.0)) - 0.8;
    vec3 s = abs(q - vec3(0.0, 0.3, 0.0)) - vec3(1.6, 0.3, 0.35);
    float slab = length(max(s, 0.0)) + min(max(s.x, max(s.y, s.z)), 0.0);
    return min(min(sphere, slab), p.y);
}

vec3 normalAt(vec3 p)
{
    const vec2 k = vec2(1.0, -1.0) * 0.001;
    return normalize(k.xyy * field(p + k.xyy) + k.yyx * field(p + k.yyx) + k.yxy * field(p + k.yxy) +
                     k.xxx * field(p + k.xxx));
}

float softShadow(vec3 from, vec3 dir)
{
    float light = 1.0, t = 0.02;
    for (int i = 0; i < 24; ++i) {
        float h = field(from + dir * t);
        light = min(light, 8.0 * h / t);
        t += clamp(h, 0.05, 0.5);
    }
    return clamp(light, 0.0, 1.0);
}

void main()
{
    vec2 q = (2.0 * gl_FragCoord.xy - iResolution) / iResolution.y;
    vec3 eye = vec3(1.0, 2.6, iGlobalTime);
    vec3 rd = normalize(vec3(q.x, q.y - 0.35, 1.4));

    float t = 0.0;
    for (int i = 0; i < 100; ++i) {
        float d = field(eye + rd * t);
        if (d < 0.001 * t) break;
        t += d;
        if (t > 60.0) break;
    }
    vec3 sky = vec3(0.5, 0.6, 0.8);
    vec3 colour = sky;
    if (t < 60.0) {
        vec3 p = eye + rd * t;
        vec3 n = normalAt(p);
        vec3 l = normalize(vec3(0.6, 0.8, -0.4));
        float diffuse = max(dot(n, l), 0.0);
        float shadow = softShadow(p + n * 0.01, l);
        colour = vec3(0.8, 0.75, 0.7) * (0.2 + diffuse * shadow);
        colour = mix(colour, sky, 1.0 - exp(-0.03 * t));
    }
    fragColor = vec4(pow(colour, vec3(1.0 / 2.2)), 1.0);
}
