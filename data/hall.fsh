#version 430 core
// Hall: an endless hall of stone columns under groin vaults, lit by a warm
// orb of light that drifts through it. The camera walks along the aisle.
//
// Tracks: cam_dist is the camera's offset from the point it looks at, turned
// by cam_rot (x pitch, y yaw, z roll); dir_rot turns the view from there.
// field_of_view is the vertical angle in radians, moveground the distance
// walked along the aisle, lightSource the orb's position relative to the
// point looked at. Output: linear colour, depth t / (t + 8) in alpha.
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

const float farPlane = 32.0;
const float vault = 3.2;        // height where the arches spring
const int stone = 0, marble = 1;

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

float box2(vec2 p, vec2 size)
{
    vec2 d = abs(p) - size;
    return length(max(d, 0.0)) + min(max(d.x, d.y), 0.0);
}

// Distance to the hall above its floor. The plinths and capitals are
// squares measured along the axes, which never overstates the distance and
// costs less. The floor is a plane, met exactly where the rays cross it.
// Interleaved gradient noise: 0 to 1, evenly spread from pixel to pixel.
float grain()
{
    return fract(52.9829189 * fract(dot(gl_FragCoord.xy, vec2(0.06711056, 0.00583715))));
}

float columnsAndVaults(vec3 p)
{
    vec2 cell = mod(p.xz, 4.0) - 2.0;
    vec2 corner = 2.0 - abs(cell); // offset to the nearest column
    float columns = length(corner) - 0.3;
    float square = max(corner.x, corner.y);
    columns = min(columns, max(square - 0.46, p.y - 0.25));
    columns = min(columns, max(square - 0.44, abs(p.y - 3.0) - 0.1));
    // Two barrel vaults crossed over every bay; the stone above them rests
    // on the capitals.
    float dy = p.y - vault;
    float barrels = sqrt(dy * dy + min(cell.x * cell.x, cell.y * cell.y)) - 1.9;
    float ceiling = max(0.1 - dy, -barrels);
    return min(columns, ceiling);
}

float hall(vec3 p)
{
    return min(p.y, columnsAndVaults(p));
}

vec3 normalAt(vec3 p, int material)
{
    if (material == marble) return vec3(0.0, 1.0, 0.0);
    const vec2 k = vec2(1.0, -1.0) * 0.002;
    return normalize(k.xyy * hall(p + k.xyy) + k.yyx * hall(p + k.yyx) + k.yxy * hall(p + k.yxy) +
                     k.xxx * hall(p + k.xxx));
}

// Light reaching `from` from the lamp at `to`, soft where a column or a
// vault nearly hides it. The floor casts no shadow on the hall above it, so
// only the stone above it is traced. Each step's penumbra is estimated from
// where the last two distance spheres meet, steps stay short enough not to
// skip through a penumbra, and the first step's length changes from pixel
// to pixel: what is left of the stepping reads as a fine, even grain instead
// of contour lines across the vaults.
float softShadow(vec3 from, vec3 to)
{
    vec3 dir = to - from;
    float range = length(dir);
    dir /= range;
    float light = 1.0, t = 0.02 + 0.06 * grain(), previous = 1e10;
    for (int i = 0; i < 32 && t < range; ++i) {
        float h = columnsAndVaults(from + dir * t);
        float y = h * h / (2.0 * previous);
        float d = sqrt(max(h * h - y * y, 0.0));
        light = min(light, 8.0 * d / max(t - y, 1e-4));
        if (light < 0.005) break;
        previous = h;
        t += clamp(h, 0.02, 0.35);
    }
    return smoothstep(0.0, 1.0, clamp(light, 0.0, 1.0));
}

float occlusion(vec3 p, vec3 n)
{
    float shade = 0.0, weight = 1.0;
    for (int i = 1; i <= 3; ++i) {
        float h = 0.15 * float(i);
        shade += weight * (h - hall(p + n * h));
        weight *= 0.6;
    }
    return clamp(1.0 - 2.0 * shade, 0.0, 1.0);
}

// An integer hash of integer coordinates: every GPU draws the same picture.
// fract(sin(x) * 43758.5) would not: each GPU's sin differs at the large
// arguments these coordinates reach, and the hash magnifies the difference.
float hash(vec2 p)
{
    uvec2 q = uvec2(ivec2(p)) * uvec2(1597334673u, 3812015801u);
    return float(((q.x ^ q.y) * 1597334673u) >> 8) * (1.0 / 16777216.0);
}

// The xor of two square waves of period 2, box-filtered over a pixel's
// footprint `w`: 0 or 1 on the tiles where they are large on screen, their
// mean where many tiles fall into one pixel, so the floor does not alias.
float checker(vec2 p, vec2 w)
{
    vec2 i = 2.0 * (abs(fract((p - 0.5 * w) * 0.5) - 0.5) - abs(fract((p + 0.5 * w) * 0.5) - 0.5)) / w;
    return 0.5 - 0.5 * i.x * i.y;
}

// `footprint` is the size of the pixel on the surface, for filtering.
vec3 albedo(vec3 p, int material, vec3 footprint)
{
    if (material == marble) {
        vec2 w = clamp(footprint.xz, vec2(1e-3), vec2(2.0));
        vec2 tile = floor(p.xz);
        float vein = 0.5 + 0.5 * sin(3.0 * p.x + 2.0 * sin(1.7 * p.z + p.x));
        vec3 base = mix(vec3(0.55, 0.5, 0.45), vec3(0.3, 0.26, 0.23), checker(p.xz, w));
        // The tiles' own shades fade to their mean once a tile is a few pixels.
        float shade = mix(0.9 + 0.2 * hash(tile), 1.0, smoothstep(0.1, 0.4, max(w.x, w.y)));
        return base * (0.85 + 0.15 * vein) * shade;
    }
    float courses = smoothstep(0.02, 0.05, abs(fract(p.y * 2.5) - 0.5));
    courses = mix(courses, 0.9, smoothstep(0.04, 0.15, clamp(footprint.y * 2.5, 0.0, 1.0)));
    return vec3(0.62, 0.55, 0.46) * (0.82 + 0.18 * courses);
}

void main()
{
    vec3 focus = vec3(0.0, 1.6, moveground);
    vec3 eye;
    vec3 rd = cameraRay(focus, eye);
    vec3 lamp = focus + lightSource;
    vec3 lampColour = vec3(1.0, 0.72, 0.42) * (0.9 + 0.1 * sin(iGlobalTime * 3.1));

    // The floor is met exactly; columns and vaults are sphere-traced up to
    // it. A ray that runs out of steps close to the stone takes the stone
    // it is grazing instead of the fog behind it.
    float floorT = rd.y < -1e-4 ? -eye.y / rd.y : farPlane;
    float t = 0.02, d = farPlane;
    int material = stone;
    float reach = min(floorT, farPlane);
    for (int i = 0; i < 48 && t < reach; ++i) {
        d = columnsAndVaults(eye + rd * t);
        if (d < 0.002 * t) break;
        t += d;
    }
    if (t >= floorT) {
        t = floorT;
        material = marble;
    }
    bool hit = t < farPlane && (material == marble || d < 0.05 * t);
    vec3 p = eye + rd * min(t, farPlane);
    // Derivatives are taken here, where every pixel runs alike.
    vec3 footprint = fwidth(p);

    vec3 fogColour = vec3(0.16, 0.12, 0.1);
    vec3 colour = fogColour;
    if (hit) {
        vec3 n = normalAt(p, material);
        vec3 toLamp = lamp - p;
        float lampDistance = length(toLamp);
        vec3 l = toLamp / lampDistance;
        float diffuse = max(dot(n, l), 0.0);
        float shadow = diffuse > 0.0 ? softShadow(p + n * 0.01, lamp) : 0.0;
        float ao = occlusion(p, n);
        vec3 base = albedo(p, material, footprint);
        float falloff = 14.0 / (1.0 + lampDistance * lampDistance * 0.12);
        vec3 h = normalize(l - rd);
        float shine = material == marble ? 60.0 : 12.0;
        float specular = pow(max(dot(n, h), 0.0), shine) * (material == marble ? 0.8 : 0.1);
        // Cool daylight from the vault, a little warm bounce from the floor.
        vec3 ambient = mix(vec3(0.12, 0.1, 0.09), vec3(0.18, 0.2, 0.26), 0.5 + 0.5 * n.y);
        colour = base * (ambient * ao + lampColour * diffuse * shadow * falloff) +
                 lampColour * specular * shadow * falloff;
        colour = mix(colour, fogColour, smoothstep(0.0, farPlane, t));
    }

    // The orb itself and the light it scatters in the dusty air.
    vec3 toLamp = lamp - eye;
    float along = clamp(dot(toLamp, rd), 0.0, t);
    float miss = length(toLamp - rd * along);
    colour += lampColour * (0.02 / (miss * miss + 0.002) + 0.25 * exp(-miss * 1.2));

    float depth = hit ? t / (t + 8.0) : 1.0;
    fragColor = vec4(clamp(colour, 0.0, 32.0), depth);
}
