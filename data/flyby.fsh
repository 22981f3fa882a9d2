#version 430 core
// Flyby: a fast night flight low over an endless city of towers with lit
// windows, streets of light below and a glowing moon in the haze.
//
// Tracks: cam_dist is the camera's offset from the point it looks at, turned
// by cam_rot (x pitch, y yaw, z roll); dir_rot turns the view from there.
// field_of_view is the vertical angle in radians, moveground the distance
// flown along the avenue, lightSource the direction to the moon.
// Output: linear colour, depth t / (t + 8) in alpha.
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

const float farPlane = 90.0;
const float block = 3.0;     // one building a block, streets between
const float skyline = 9.0;   // no roof is higher

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

// An integer hash of integer coordinates: every GPU draws the same picture.
// fract(sin(x) * 43758.5) would not: each GPU's sin differs at the large
// arguments these coordinates reach, and the hash magnifies the difference.
float hash(vec2 p)
{
    uvec2 q = uvec2(ivec2(p)) * uvec2(1597334673u, 3812015801u);
    return float(((q.x ^ q.y) * 1597334673u) >> 8) * (1.0 / 16777216.0);
}

// Height and half width of the tower on a block; the avenue along z at
// x = 0 stays open for the flight.
vec2 tower(vec2 cell)
{
    if (abs(cell.x) < 0.5) return vec2(0.0);
    float h = hash(cell);
    float height = 0.8 + 7.5 * h * h * h + 0.8 * hash(cell + 7.0);
    return vec2(height, 0.8 + 0.35 * hash(cell + 3.0));
}

// Distance to the ground or the tower of the block that p is over.
float city(vec3 p)
{
    vec2 cell = floor(p.xz / block + 0.5);
    vec2 local = p.xz - cell * block;
    vec2 size = tower(cell);
    vec3 q = abs(vec3(local.x, p.y - 0.5 * size.x, local.y)) - vec3(size.y, 0.5 * size.x, size.y);
    float building = length(max(q, 0.0)) + min(max(q.x, max(q.y, q.z)), 0.0);
    return min(p.y, building);
}

// A step that never passes a block's edge, where a taller tower may start.
float stepLimit(vec3 p, vec3 rd)
{
    if (p.y > skyline) return max((p.y - skyline) / max(-rd.y, 0.05), 0.5);
    vec2 local = p.xz / block + 0.5;
    vec2 ahead = step(0.0, rd.xz);
    vec2 dir = mix(min(rd.xz, -1e-4), max(rd.xz, 1e-4), ahead); // never zero
    vec2 toEdge = (ahead - fract(local)) * block / dir;
    return max(min(toEdge.x, toEdge.y), 0.0) + 0.02;
}

vec3 normalAt(vec3 p)
{
    const vec2 k = vec2(1.0, -1.0) * 0.002;
    return normalize(k.xyy * city(p + k.xyy) + k.yyx * city(p + k.yyx) + k.yxy * city(p + k.yxy) +
                     k.xxx * city(p + k.xxx));
}

float softShadow(vec3 from, vec3 dir)
{
    float light = 1.0, t = 0.05;
    for (int i = 0; i < 12; ++i) {
        vec3 p = from + dir * t;
        if (p.y > skyline) break;
        float h = city(p);
        light = min(light, 6.0 * h / t);
        if (light < 0.01) break;
        t += clamp(min(h, stepLimit(p, dir)), 0.2, 3.0);
    }
    return clamp(light, 0.0, 1.0);
}

vec3 sky(vec3 d, vec3 moon)
{
    vec3 c = mix(vec3(0.16, 0.06, 0.13), vec3(0.01, 0.015, 0.05), smoothstep(-0.05, 0.4, d.y));
    float m = max(dot(d, moon), 0.0);
    c += vec3(1.0, 0.85, 0.7) * (smoothstep(0.9985, 0.999, m) * 6.0 + pow(m, 30.0) * 0.5 + pow(m, 4.0) * 0.15);
    return c;
}

// Windows on the walls, streets and their lamps on the ground.
vec3 lights(vec3 p, vec3 n)
{
    if (n.y > 0.5 && p.y < 0.01) {
        vec2 local = abs(mod(p.xz + 0.5 * block, block) - 0.5 * block);
        float street = smoothstep(1.25, 1.3, max(local.x, local.y));
        float lamps = smoothstep(0.15, 0.0, length(vec2(max(local.x, local.y) - 1.4, mod(min(local.x, local.y), 0.5) - 0.25)));
        return vec3(1.0, 0.55, 0.2) * (0.05 * street + 2.5 * lamps);
    }
    if (abs(n.y) > 0.5) return vec3(0.0);
    vec2 wall = vec2(abs(n.x) > 0.5 ? p.z : p.x, p.y) * vec2(1.25, 1.0);
    vec2 pane = fract(wall);
    float frame = step(0.2, pane.x) * step(pane.x, 0.8) * step(0.25, pane.y) * step(pane.y, 0.75);
    float h = hash(floor(wall) + floor(p.xz / block + 0.5) * 17.0);
    float lit = step(0.7, h) * frame;
    return lit * mix(vec3(1.0, 0.65, 0.3), vec3(0.5, 0.75, 1.0), step(0.85, h)) * (0.8 + 1.6 * fract(h * 13.0));
}

void main()
{
    vec3 focus = vec3(0.0, 3.0, moveground);
    vec3 eye;
    vec3 rd = cameraRay(focus, eye);
    vec3 moon = dot(lightSource, lightSource) > 1e-8 ? normalize(lightSource) : vec3(0.0, 1.0, 0.0);

    float t = 0.05;
    bool hit = false;
    for (int i = 0; i < 72; ++i) {
        vec3 p = eye + rd * t;
        float d = city(p);
        if (d < 0.002 * t) {
            hit = true;
            break;
        }
        t += min(d, stepLimit(p, rd));
        if (t > farPlane) break;
    }

    vec3 haze = vec3(0.13, 0.05, 0.11);
    vec3 colour = sky(rd, moon);
    if (hit) {
        vec3 p = eye + rd * t;
        vec3 n = normalAt(p);
        float diffuse = max(dot(n, moon), 0.0);
        float shadow = diffuse > 0.0 ? softShadow(p + n * 0.02, moon) : 0.0;
        vec3 concrete = vec3(0.16, 0.17, 0.2);
        // The glow of the streets lights the walls from below.
        float streetGlow = exp(-0.6 * p.y) * (1.0 - abs(n.y));
        colour = concrete * (vec3(0.5, 0.55, 0.8) * diffuse * shadow + vec3(0.05, 0.05, 0.1) +
                             vec3(0.6, 0.3, 0.1) * streetGlow) + lights(p, n);
        colour = mix(colour, haze, 1.0 - exp(-0.022 * t));
    }

    float depth = hit ? t / (t + 8.0) : 1.0;
    fragColor = vec4(clamp(colour, 0.0, 32.0), depth);
}
