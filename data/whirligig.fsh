#version 430 core
// Whirligig: a brass gyroscope of three nested rings turning on their own
// axes inside a rotor of steel blades, over a dark polished floor.
//
// Tracks: cam_dist is the camera's offset from the mechanism, turned by
// cam_rot (x pitch, y yaw, z roll); dir_rot turns the view from there.
// field_of_view is the vertical angle in radians, moveground turns the
// rotor on by that many radians (on top of its own spin), lightSource is
// the key light's position. iGlobalTime drives the spin. Output: linear
// colour, depth t / (t + 8) in alpha.
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
const float floorLevel = -2.2;
const int brass = 0, steel = 1, core = 2, ground = 3;

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

mat2 turn(float a)
{
    float s = sin(a), c = cos(a);
    return mat2(c, s, -s, c);
}

// A ring in the xz plane with a flat rectangular section.
float ring(vec3 p, float radius, vec2 section)
{
    vec2 q = abs(vec2(length(p.xz) - radius, p.y)) - section;
    return length(max(q, 0.0)) + min(max(q.x, q.y), 0.0);
}

float box(vec3 p, vec3 size)
{
    vec3 q = abs(p) - size;
    return length(max(q, 0.0)) + min(max(q.x, max(q.y, q.z)), 0.0);
}

// The turns of this frame, worked out once in main.
mat2 ringTurn[3];
mat2 rotorTurn;
// Everything above the floor lies inside this sphere about the origin.
const float reach = 3.5;

float mechanism(vec3 p, out int material)
{
    // Gyroscope: each ring turns inside the one around it; far from it,
    // the distance to its bounding sphere will do.
    float rings = length(p) - 1.9;
    if (rings < 0.3) {
        vec3 q = p;
        q.yz = ringTurn[0] * q.yz;
        rings = ring(q, 1.7, vec2(0.07, 0.16));
        q.xy = ringTurn[1] * q.xy;
        rings = min(rings, ring(q, 1.32, vec2(0.06, 0.13)));
        q.yz = ringTurn[2] * q.yz;
        rings = min(rings, ring(q, 0.96, vec2(0.05, 0.1)));
    }
    float hub = length(p) - 0.42;

    // Rotor: twelve pitched blades on a rim, one sector evaluated; far from
    // it, the distance to the ring it sweeps will do.
    float blades = ring(p, 2.95, vec2(0.55, 0.3));
    if (blades < 0.3) {
        vec3 r = p;
        r.xz = rotorTurn * r.xz;
        const float sector = 6.2831853 / 12.0;
        float a = mod(atan(r.z, r.x) + 0.5 * sector, sector) - 0.5 * sector;
        vec3 b = vec3(length(r.xz) * cos(a) - 2.75, r.y, length(r.xz) * sin(a));
        b.yz *= turn(0.55);
        blades = min(box(b, vec3(0.5, 0.02, 0.1)) - 0.01, ring(p, 3.35, vec2(0.05, 0.06)));
    }
    float axle = max(length(p.xz) - 0.09, p.y);

    float metal = min(blades, axle);
    float d = min(min(rings, hub), metal);
    material = d == rings ? brass : d == hub ? core : steel;
    return d;
}

float mechanism(vec3 p)
{
    int material;
    return mechanism(p, material);
}

vec3 normalAt(vec3 p, int material)
{
    if (material == ground) return vec3(0.0, 1.0, 0.0);
    const vec2 k = vec2(1.0, -1.0) * 0.001;
    return normalize(k.xyy * mechanism(p + k.xyy) + k.yyx * mechanism(p + k.yyx) + k.yxy * mechanism(p + k.yxy) +
                     k.xxx * mechanism(p + k.xxx));
}

// Interleaved gradient noise: 0 to 1, evenly spread from pixel to pixel.
float grain()
{
    return fract(52.9829189 * fract(dot(gl_FragCoord.xy, vec2(0.06711056, 0.00583715))));
}

// Where a ray from `from` along `dir` (a unit vector) runs inside the
// sphere that holds the mechanism: (enter, leave), with leave < enter when
// it misses it.
vec2 throughReach(vec3 from, vec3 dir)
{
    float b = dot(from, dir);
    float h = b * b - dot(from, from) + reach * reach;
    if (h <= 0.0) return vec2(1.0, -1.0);
    h = sqrt(h);
    return vec2(-b - h, -b + h);
}

// Light reaching `from` along `dir`, soft where the mechanism nearly hides
// it. Only the stretch of the ray inside the mechanism's sphere is traced;
// the penumbra at each step is estimated from where the last two distance
// spheres meet, and the first step's length changes from pixel to pixel, so
// what is left of the stepping reads as a fine grain instead of contour
// lines across the floor.
float softShadow(vec3 from, vec3 dir, float range)
{
    vec2 span = throughReach(from, dir);
    float end = min(span.y, range);
    float t = max(span.x, 0.0) + 0.03 + 0.05 * grain();
    if (end <= t) return 1.0;
    float light = 1.0, previous = 1e10;
    for (int i = 0; i < 24 && t < end; ++i) {
        float h = mechanism(from + dir * t);
        float y = h * h / (2.0 * previous);
        float d = sqrt(max(h * h - y * y, 0.0));
        light = min(light, 12.0 * d / max(t - y, 1e-4));
        if (light < 0.005) break;
        previous = h;
        t += clamp(h, 0.02, 0.25);
    }
    return smoothstep(0.0, 1.0, clamp(light, 0.0, 1.0));
}

float occlusion(vec3 p, vec3 n)
{
    // Far from the mechanism nothing is near enough to shade.
    if (length(p) > reach + 0.3) return 1.0;
    float shade = 0.0, weight = 1.0;
    for (int i = 1; i <= 3; ++i) {
        float h = 0.1 * float(i);
        shade += weight * (h - mechanism(p + n * h));
        weight *= 0.65;
    }
    return clamp(1.0 - 2.5 * shade, 0.0, 1.0);
}

// The floor's grid lines (period 2, a line 0.06 wide at each edge), box-
// filtered over the pixel's footprint `w`: crisp near the camera, their
// mean coverage far away, where unfiltered lines break into contours.
float gridLines(vec2 p, vec2 w)
{
    const float width = 0.06;
    vec2 q = p * 0.5 + 0.5 * width;
    vec2 fw = w * 0.5;
    // The integral of a line pattern of period 1 and duty `width`.
    vec2 a = floor(q + 0.5 * fw) * width + min(fract(q + 0.5 * fw), width);
    vec2 b = floor(q - 0.5 * fw) * width + min(fract(q - 0.5 * fw), width);
    vec2 cover = (a - b) / fw;
    return 1.0 - (1.0 - cover.x) * (1.0 - cover.y);
}

// A dark studio with two soft boxes, for the metal to reflect.
vec3 studio(vec3 d)
{
    vec3 c = mix(vec3(0.01, 0.012, 0.02), vec3(0.06, 0.05, 0.08), smoothstep(-0.3, 0.8, d.y));
    c += vec3(2.2, 2.0, 1.8) * smoothstep(0.8, 0.95, dot(d, normalize(vec3(0.6, 0.7, -0.4))));
    c += vec3(0.4, 0.7, 1.6) * smoothstep(0.85, 0.97, dot(d, normalize(vec3(-0.8, 0.3, 0.5))));
    c += vec3(1.4, 0.6, 0.3) * smoothstep(0.93, 0.98, dot(d, normalize(vec3(0.1, -0.3, 1.0))));
    return c;
}

void main()
{
    vec3 spin = vec3(1.3, -0.9, 1.7) * iGlobalTime;
    for (int i = 0; i < 3; ++i) ringTurn[i] = turn(spin[i]);
    rotorTurn = turn(-0.8 * iGlobalTime - moveground);
    vec3 eye;
    vec3 rd = cameraRay(vec3(0.0), eye);

    // The floor is a plane; the mechanism is sphere-traced inside its
    // bounding sphere only.
    float floorT = rd.y < -1e-4 ? (floorLevel - eye.y) / rd.y : farPlane;
    float b = dot(eye, rd);
    float h = b * b - dot(eye, eye) + reach * reach;
    float t = farPlane;
    int material = ground;
    bool hit = floorT < farPlane;
    if (h > 0.0) {
        float inside = max(-b - sqrt(h), 0.0), end = min(-b + sqrt(h), floorT);
        for (int i = 0; i < 72 && inside < end; ++i) {
            int m;
            float d = mechanism(eye + rd * inside, m);
            if (d < 0.001 * inside) {
                t = inside;
                material = m;
                hit = true;
                break;
            }
            inside += d;
        }
    }
    if (material == ground) t = floorT;

    vec3 colour = studio(rd);
    vec3 p = eye + rd * min(t, farPlane);
    // Derivatives are taken here, where every pixel runs alike.
    vec2 footprint = clamp(fwidth(p.xz), vec2(1e-3), vec2(4.0));
    if (hit) {
        vec3 n = normalAt(p, material);
        vec3 toLight = lightSource - p;
        float lightDistance = max(length(toLight), 1e-3);
        vec3 l = toLight / lightDistance;
        float diffuse = max(dot(n, l), 0.0);
        float shadow = diffuse > 0.0 ? softShadow(p + n * 0.01, l, lightDistance) : 0.0;
        float ao = occlusion(p, n);
        vec3 reflected = reflect(rd, n);
        float fresnel = 0.04 + 0.96 * pow(1.0 - max(dot(n, -rd), 0.0), 5.0);
        float highlight = pow(max(dot(reflected, l), 0.0), 80.0);

        vec3 tint = material == brass ? vec3(1.0, 0.72, 0.35) : material == core ? vec3(0.2, 0.7, 1.0)
                  : material == ground ? vec3(0.05) : vec3(0.45, 0.48, 0.52);
        float metallic = material == ground ? 0.0 : 1.0;
        vec3 base = tint * (1.0 - metallic) * 0.6;
        vec3 specularColour = mix(vec3(fresnel), tint, metallic);
        if (material == ground) {
            base += vec3(0.1, 0.25, 0.4) * gridLines(p.xz, footprint) * 0.6;
        }
        colour = base * (0.15 * ao + 2.0 * diffuse * shadow) +
                 specularColour * (studio(reflected) * ao + 6.0 * highlight * shadow);
        if (material == core) colour += vec3(0.3, 1.2, 2.4) * (0.7 + 0.3 * sin(iGlobalTime * 12.7));
        colour = mix(colour, studio(rd), 1.0 - exp(-0.02 * t * t * 0.1));
    }

    float depth = hit ? t / (t + 8.0) : 1.0;
    fragColor = vec4(clamp(colour, 0.0, 32.0), depth);
}
