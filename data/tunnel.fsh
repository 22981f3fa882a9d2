#version 430 core
// Tunnel: a flight through a winding tunnel of metal panels with glowing
// seams, ribs every few metres and rings of light that race past.
//
// Tracks: moveground is the distance flown; the camera looks at a point on
// the tunnel's axis three metres ahead, with cam_dist its offset from it,
// turned by cam_rot (x pitch, y yaw, z roll); dir_rot turns the view from
// there. field_of_view is the vertical angle in radians, lightSource the
// lamp's offset from the camera. Output: linear colour, depth t / (t + 8).
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
const float radius = 2.0;
const float ribSpacing = 6.0;
const float beatsPerSecond = 122.0 / 60.0;

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

// The tunnel's axis at depth z.
vec2 axis(float z)
{
    return vec2(1.8 * sin(0.13 * z) + 0.7 * sin(0.31 * z), 1.1 * cos(0.1 * z));
}

// Position around and along the wall: angle in panels, z in panel lengths.
vec2 panelCoordinates(vec3 p, vec2 q)
{
    return vec2(atan(q.y, q.x) * (12.0 / 6.2831853), p.z / 1.5);
}

float tunnel(vec3 p)
{
    float r = length(p.xy - axis(p.z));
    float wall = radius - r;
    float z = mod(p.z, ribSpacing) - 0.5 * ribSpacing;
    float rib = max(radius - 0.28 - r, abs(z) - 0.15);
    return 0.8 * min(wall, rib); // the axis bends: a shorter, safe step
}

vec3 normalAt(vec3 p)
{
    const vec2 k = vec2(1.0, -1.0) * 0.002;
    return normalize(k.xyy * tunnel(p + k.xyy) + k.yyx * tunnel(p + k.yyx) + k.yxy * tunnel(p + k.yxy) +
                     k.xxx * tunnel(p + k.xxx));
}

float softShadow(vec3 from, vec3 to)
{
    vec3 dir = to - from;
    float range = length(dir);
    dir /= max(range, 1e-4);
    float light = 1.0, t = 0.03;
    for (int i = 0; i < 12 && t < range; ++i) {
        float h = tunnel(from + dir * t);
        light = min(light, 10.0 * h / t);
        if (light < 0.01) break;
        t += clamp(h, 0.04, 0.6);
    }
    return clamp(light, 0.0, 1.0);
}

float occlusion(vec3 p, vec3 n)
{
    float shade = 0.0, weight = 1.0;
    for (int i = 1; i <= 3; ++i) {
        float h = 0.12 * float(i);
        shade += weight * (h - tunnel(p + n * h));
        weight *= 0.6;
    }
    return clamp(1.0 - 2.0 * shade, 0.0, 1.0);
}

// An integer hash of integer coordinates: every GPU draws the same panels.
// fract(sin(x) * 43758.5) would not: each GPU's sin differs at the large
// arguments these coordinates reach, and the hash magnifies the difference.
float hash(vec2 p)
{
    uvec2 q = uvec2(ivec2(p)) * uvec2(1597334673u, 3812015801u);
    return float(((q.x ^ q.y) * 1597334673u) >> 8) * (1.0 / 16777216.0);
}

void main()
{
    float travel = moveground;
    vec3 focus = vec3(axis(travel + 3.0), travel + 3.0);
    vec3 eye;
    vec3 rd = cameraRay(focus, eye);
    vec3 lamp = eye + lightSource;

    float t = 0.02;
    bool hit = false;
    for (int i = 0; i < 56; ++i) {
        float d = tunnel(eye + rd * t);
        if (d < 0.002 * t) {
            hit = true;
            break;
        }
        t += d;
        if (t > farPlane) break;
    }

    vec3 fogColour = vec3(0.0, 0.01, 0.02);
    vec3 colour = fogColour;
    if (hit) {
        vec3 p = eye + rd * t;
        vec3 n = normalAt(p);
        vec2 q = p.xy - axis(p.z);
        vec2 panelUv = panelCoordinates(p, q);
        vec2 panel = abs(fract(panelUv) - 0.5);
        float seam = smoothstep(0.46, 0.5, max(panel.x, panel.y));
        vec2 id = floor(panelUv);
        float tone = hash(id);

        vec3 toLamp = lamp - p;
        float lampDistance = max(length(toLamp), 1e-3);
        vec3 l = toLamp / lampDistance;
        float diffuse = max(dot(n, l), 0.0);
        float shadow = diffuse > 0.0 ? softShadow(p + n * 0.01, lamp) : 0.0;
        float ao = occlusion(p, n);
        float falloff = 2.2 / (1.0 + lampDistance * lampDistance * 0.3);
        float highlight = pow(max(dot(reflect(rd, n), l), 0.0), 40.0);

        vec3 metal = mix(vec3(0.1, 0.11, 0.14), vec3(0.2, 0.2, 0.24), tone);
        colour = metal * (0.05 * ao + diffuse * shadow * falloff) + highlight * shadow * falloff * 0.6;
        // Seams glow in two colours that trade places along the tunnel; a
        // ring of light leaves the camera on every beat and fades ahead.
        vec3 seamColour = mix(vec3(0.1, 0.8, 1.6), vec3(1.6, 0.2, 0.9), 0.5 + 0.5 * sin(0.2 * p.z + iGlobalTime));
        float beat = fract(iGlobalTime * beatsPerSecond);
        float ring = smoothstep(0.6, 0.0, abs(p.z - travel - 30.0 * beat)) * (1.0 - beat);
        colour += seamColour * seam * (0.6 + 0.4 * tone) + vec3(2.0, 1.6, 1.2) * ring * 2.0;
        colour = mix(colour, fogColour, 1.0 - exp(-0.08 * t));
    }

    float depth = hit ? t / (t + 8.0) : 1.0;
    fragColor = vec4(clamp(colour, 0.0, 32.0), depth);
}
