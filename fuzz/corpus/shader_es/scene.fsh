#version 430 core
// Pass 1: a ray-marched sphere over a floor. Each uniform below that the
// chain does not feed itself is a track: add one, save, and its lane shows
// in orvanta-live's panel.
uniform vec2 iResolution;
uniform float iGlobalTime;
uniform float glow; // slider[0, 0.6, 3]
uniform vec3 tint;  // colour[1, 0.55, 0.2]

out vec4 fragColor;

float sphere(vec3 p)
{
    return length(p - vec3(0.0, 1.0 + 0.25 * sin(iGlobalTime * 3.14159), 0.0)) - 1.0;
}

float world(vec3 p)
{
    return min(sphere(p), p.y);
}

vec3 normalAt(vec3 p)
{
    const vec2 e = vec2(0.001, 0.0);
    return normalize(vec3(world(p + e.xyy) - world(p - e.xyy), world(p + e.yxy) - world(p - e.yxy),
                          world(p + e.yyx) - world(p - e.yyx)));
}

void main()
{
    vec2 p = (2.0 * gl_FragCoord.xy - iResolution) / iResolution.y;
    float turn = iGlobalTime * 0.3;
    vec3 eye = vec3(4.0 * sin(turn), 1.6, -4.0 * cos(turn));
    vec3 forward = normalize(vec3(0.0, 1.0, 0.0) - eye);
    vec3 right = normalize(cross(vec3(0.0, 1.0, 0.0), forward));
    vec3 ray = normalize(forward * 1.6 + right * p.x + cross(forward, right) * p.y);
    float t = 0.0;
    for (int i = 0; i < 80 && t < 30.0; ++i) {
        float d = world(eye + ray * t);
        if (d < 0.001) break;
        t += d;
    }
    vec3 sky = mix(vec3(0.05, 0.06, 0.1), tint * 0.3, exp(-abs(ray.y) * 4.0));
    vec3 colour = sky;
    if (t < 30.0) {
        vec3 at = eye + ray * t;
        vec3 n = normalAt(at);
        float light = max(dot(n, normalize(vec3(0.6, 1.0, -0.4))), 0.0);
        bool onSphere = sphere(at) < 0.01;
        vec3 surface = onSphere ? tint : vec3(0.3) * (0.5 + 0.5 * step(0.0, sin(at.x * 2.0) * sin(at.z * 2.0)));
        colour = surface * (0.15 + light) + (onSphere ? tint * glow * pow(1.0 - max(dot(n, -ray), 0.0), 2.0) : vec3(0.0));
        colour = mix(colour, sky, 1.0 - exp(-t * 0.04));
    }
    fragColor = vec4(colour, 1.0);
}
