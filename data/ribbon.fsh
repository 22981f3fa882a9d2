#version 430 core
// Ribbon: five ribbons of light that twist and flow through dark space,
// with the haze they light around them and a field of faint stars.
//
// Tracks: cam_dist is the camera's offset from the point it looks at, turned
// by cam_rot (x pitch, y yaw, z roll); dir_rot turns the view from there.
// field_of_view is the vertical angle in radians, moveground the distance
// travelled along the ribbons, lightSource the light that puts a sheen on
// them. iGlobalTime makes them flow. Output: linear colour, depth t / (t + 8).
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

const float farPlane = 40.0;
const int ribbonCount = 5;

mat3 rotation(vec3 a)
{
    vec3 s = sin(a), c = cos(a);
    mat3 yaw = mat3(c.y, 0.0, -s.y, 0.0, 1.0, 0.0, s.y, 0.0, c.y);
    mat3 pitch = mat3(1.0, 0.0, 0.0, 0.0, c.x, s.x, 0.0, -s.x, c.x);
    mat3 roll = mat3(c.z, s.z, 0.0, -s.z, c.z, 0.0, 0.0, 0.0, 1.0);
    return yaw * pitch * roll;
}

// The ray through this pixel from a camera that looks at `focus`.
vec3 cameraRay(vec3 focus, out vec3 eye)
{
    mat3 orbit = rotation(vec3(cam_rot.xy, 0.0));
    eye = focus + orbit * cam_dist;
    vec3 toFocus = focus - eye;
    vec3 forward = dot(toFocus, toFocus) > 1e-8 ? normalize(toFocus) : orbit[2];
    vec3 up = abs(forward.y) > 0.999 ? vec3(0.0, 0.0, 1.0) : vec3(0.0, 1.0, 0.0);
    vec3 right = normalize(cross(up, forward));
    mat3 view = mat3(right, cross(forward, right), forward) * rotation(vec3(dir_rot.xy, cam_rot.z + dir_rot.z));
    vec2 q = (2.0 * gl_FragCoord.xy - iResolution) / max(iResolution.y, 1.0);
    float focal = 1.0 / tan(0.5 * clamp(field_of_view, 0.2, 2.6));
    return view * normalize(vec3(q, focal));
}

vec3 hue(float h)
{
    return clamp(abs(fract(h + vec3(0.0, 2.0, 1.0) / 3.0) * 6.0 - 3.0) - 1.0, 0.0, 1.0);
}

// The ribbons' phases at a point along x: the sines and cosines of the
// waves and the twist of ribbon 0, and the turn from one ribbon to the next,
// so that the others follow by rotation instead of fresh sines.
struct Phases {
    vec2 waveY, waveZ, twist;     // (sin, cos) for ribbon 0
    vec2 stepY, stepZ, stepTwist; // (sin, cos) of the offsets between ribbons
};

vec2 sinCos(float a)
{
    return vec2(sin(a), cos(a));
}

vec2 advance(vec2 a, vec2 b)
{
    return vec2(a.x * b.y + a.y * b.x, a.y * b.y - a.x * b.x);
}

Phases phasesAt(float x)
{
    float t = iGlobalTime;
    return Phases(sinCos(0.45 * x + 0.9 * t), sinCos(0.35 * x + 0.7 * t), sinCos(0.6 * x + 1.3 * t),
                  sinCos(1.7), sinCos(2.3), sinCos(1.1));
}

// Distance to a ribbon with the given phases, a twisted band that runs
// along x; its centre line waves in y and z.
float ribbon(vec3 p, float k, vec2 waveY, vec2 waveZ, vec2 twist)
{
    vec2 centre = vec2(1.5 * waveY.x, 1.1 * waveZ.y + 0.6 * (k - 2.0));
    vec2 q = p.yz - centre;
    float s = twist.x, c = twist.y;
    q = vec2(c * q.x + s * q.y, -s * q.x + c * q.y);
    vec2 d = abs(q) - vec2(0.015, 0.32);
    return length(max(d, 0.0)) + min(max(d.x, d.y), 0.0);
}

// The nearest ribbon; `nearest` tells which.
float ribbons(vec3 p, out int nearest)
{
    Phases f = phasesAt(p.x);
    float d = 1e9;
    nearest = 0;
    for (int i = 0; i < ribbonCount; ++i) {
        float r = ribbon(p, float(i), f.waveY, f.waveZ, f.twist);
        if (r < d) {
            d = r;
            nearest = i;
        }
        f.waveY = advance(f.waveY, f.stepY);
        f.waveZ = advance(f.waveZ, f.stepZ);
        f.twist = advance(f.twist, f.stepTwist);
    }
    return d;
}

// Ribbon k's phases: ribbon 0's turned on k times.
Phases phasesOf(float x, int k)
{
    Phases f = phasesAt(x);
    for (int i = 0; i < k; ++i) {
        f.waveY = advance(f.waveY, f.stepY);
        f.waveZ = advance(f.waveZ, f.stepZ);
        f.twist = advance(f.twist, f.stepTwist);
    }
    return f;
}

// The normal of ribbon k: the gradient of its distance, across the band
// from its section and along it from how the centre and the twist move
// with x, instead of four more evaluations.
vec3 normalAt(vec3 p, int k)
{
    Phases f = phasesOf(p.x, k);
    vec2 centre = vec2(1.5 * f.waveY.x, 1.1 * f.waveZ.y + 0.6 * (float(k) - 2.0));
    vec2 q = p.yz - centre;
    float s = f.twist.x, c = f.twist.y;
    vec2 band = vec2(c * q.x + s * q.y, -s * q.x + c * q.y);
    vec2 d = abs(band) - vec2(0.015, 0.32);
    vec2 g = max(d.x, d.y) > 0.0 ? normalize(max(d, 0.0)) : d.x > d.y ? vec2(1.0, 0.0) : vec2(0.0, 1.0);
    g *= mix(vec2(-1.0), vec2(1.0), step(0.0, band));
    vec2 across = vec2(c * g.x - s * g.y, s * g.x + c * g.y);
    // d centre / dx from the waves' rates, 0.45 and 0.35; the twist turns
    // at 0.6, which moves the band's point by 0.6 (band.y, -band.x).
    vec2 drift = vec2(1.5 * 0.45 * f.waveY.y, -1.1 * 0.35 * f.waveZ.x);
    float along = 0.6 * (g.x * band.y - g.y * band.x) - dot(across, drift);
    return normalize(vec3(along, across));
}

// An integer hash of integer coordinates: every GPU draws the same stars.
// fract(sin(x) * 43758.5) would not: each GPU's sin differs at the large
// arguments these coordinates reach, and the hash magnifies the difference.
float hash(vec3 p)
{
    uvec3 q = uvec3(ivec3(p)) * uvec3(1597334673u, 3812015801u, 2798796415u);
    return float(((q.x ^ q.y ^ q.z) * 1597334673u) >> 8) * (1.0 / 16777216.0);
}

vec3 space(vec3 d)
{
    vec3 c = mix(vec3(0.01, 0.005, 0.03), vec3(0.05, 0.02, 0.08), 0.5 + 0.5 * d.y);
    vec3 cell = floor(d * 300.0);
    float star = hash(cell);
    return c + vec3(0.9, 0.95, 1.0) * step(0.998, star) * (star - 0.998) * 250.0;
}

void main()
{
    vec3 focus = vec3(moveground, 0.0, 0.0);
    vec3 eye;
    vec3 rd = cameraRay(focus, eye);

    // The bands reach 1.82 from the axis in y and 2.62 in z; their haze
    // is gone 0.6 further out.
    const vec2 slab = vec2(2.45, 3.2);
    // The ribbons stay within a slab about the x axis: the ray is traced
    // only where it crosses it, and gathers the light of the nearest ribbon
    // at every step for the haze around them.
    vec2 across = mix(min(rd.yz, -1e-5), max(rd.yz, 1e-5), step(0.0, rd.yz)); // never zero
    vec2 lower = (-slab - eye.yz) / across, upper = (slab - eye.yz) / across;
    vec2 enter = min(lower, upper), leave = max(lower, upper);
    float t = max(max(enter.x, enter.y), 0.05);
    float end = min(min(leave.x, leave.y), farPlane);
    int nearest = 0;
    bool hit = false;
    vec3 glow = vec3(0.0);
    float d = 1e9;
    for (int i = 0; i < 64 && t < end; ++i) {
        d = ribbons(eye + rd * t, nearest);
        if (d < 0.0002 * t) {
            hit = true;
            break;
        }
        // The bands wave and twist along x, so near them their distance
        // overstates the free way by up to about two fifths: a step of three
        // quarters of it ends short of a band or inside it, never beyond.
        float advanceBy = max(0.75 * d, 0.02);
        // The haze is the nearest ribbon's light gathered over the length
        // of each step, so it does not depend on where the steps fall.
        glow += hue(0.55 + 0.09 * float(nearest)) * exp(-9.0 * d) * (advanceBy / 0.1);
        t += advanceBy;
    }
    // A ray that runs out of steps grazing a band is on it.
    if (!hit && t < end && d < 0.005 * t) hit = true;

    vec3 background = space(rd);
    vec3 colour = background + glow * 0.012;
    if (hit) {
        // The trace stops anywhere within its threshold of a band, which is
        // thin: a few more steps put the point on the surface itself, so
        // the normal and the sheen do not follow where the steps fell.
        // These steps are short: the band's phases where they start serve them all.
        Phases f = phasesOf(eye.x + rd.x * t, nearest);
        for (int i = 0; i < 3; ++i) t += 0.55 * ribbon(eye + rd * t, float(nearest), f.waveY, f.waveZ, f.twist);
        vec3 p = eye + rd * t;
        vec3 n = normalAt(p, nearest);
        vec3 l = normalize(lightSource - p + vec3(0.0, 1e-4, 0.0));
        // Both faces of a band are lit alike.
        float facing = abs(dot(n, rd));
        float sheen = pow(max(abs(dot(reflect(rd, n), l)), 0.0), 24.0);
        vec3 tint = hue(0.55 + 0.09 * float(nearest));
        colour += tint * (0.7 + 1.2 * pow(1.0 - facing, 2.0)) + vec3(2.0) * sheen;
        colour = mix(colour, background, smoothstep(10.0, farPlane, t));
    }

    float depth = hit ? t / (t + 8.0) : 1.0;
    fragColor = vec4(clamp(colour, 0.0, 32.0), depth);
}
