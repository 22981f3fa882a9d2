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

// cos and sin of an angle within a blade's sector (under 0.27): a few
// terms of their series, exact to 1e-6, are cheaper than the functions.
float cosSmall(float a)
{
    float a2 = a * a;
    return 1.0 - a2 * (0.5 - a2 * (1.0 / 24.0));
}

float sinSmall(float a)
{
    float a2 = a * a;
    return a * (1.0 - a2 * (1.0 / 6.0 - a2 * (1.0 / 120.0)));
}

// atan(v.y, v.x) within 1e-5: a short series on the octant, cheaper than
// the function.
float angleOf(vec2 v)
{
    vec2 a = abs(v);
    float r = min(a.x, a.y) / max(max(a.x, a.y), 1e-20);
    float s = r * r;
    float t = ((-0.0464964749 * s + 0.15931422) * s - 0.327622764) * s * r + r;
    t = a.y > a.x ? 1.5707963 - t : t;
    t = v.x < 0.0 ? 3.1415927 - t : t;
    return v.y < 0.0 ? -t : t;
}

// The blades' pitch: turn(0.55).
const mat2 bladePitch = mat2(0.85252452, 0.52268723, -0.52268723, 0.85252452);

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
        float a = mod(angleOf(r.xz) + 0.5 * sector, sector) - 0.5 * sector;
        vec3 b = vec3(length(r.xz) * cosSmall(a) - 2.75, r.y, length(r.xz) * sinSmall(a));
        b.yz *= bladePitch;
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

// -1 or 1 by sign, 1 at 0.
vec2 signOf(vec2 v)
{
    return mix(vec2(-1.0), vec2(1.0), step(0.0, v));
}

vec3 signOf(vec3 v)
{
    return mix(vec3(-1.0), vec3(1.0), step(0.0, v));
}

// The gradient of ring()'s distance.
vec3 ringGradient(vec3 p, float radius, vec2 section)
{
    float r = max(length(p.xz), 1e-6);
    vec2 s = vec2(r - radius, p.y);
    vec2 q = abs(s) - section;
    vec2 g = max(q.x, q.y) > 0.0 ? normalize(max(q, 0.0)) : q.x > q.y ? vec2(1.0, 0.0) : vec2(0.0, 1.0);
    g *= signOf(s);
    return vec3(p.x / r * g.x, g.y, p.z / r * g.x);
}

// The gradient of box()'s distance.
vec3 boxGradient(vec3 p, vec3 size)
{
    vec3 q = abs(p) - size;
    vec3 g = max(q.x, max(q.y, q.z)) > 0.0 ? normalize(max(q, 0.0))
           : q.x > max(q.y, q.z) ? vec3(1.0, 0.0, 0.0) : q.y > q.z ? vec3(0.0, 1.0, 0.0) : vec3(0.0, 0.0, 1.0);
    return g * signOf(p);
}

// The normal of the part nearest to p: the gradient of that part's own
// distance, taken from its shape and turned back out of its frame (a turn
// undone by its transpose, v * m for m * v), instead of four more
// evaluations of the whole mechanism.
vec3 mechanismNormal(vec3 p)
{
    vec3 q0 = p;
    q0.yz = ringTurn[0] * q0.yz;
    vec3 q1 = q0;
    q1.xy = ringTurn[1] * q1.xy;
    vec3 q2 = q1;
    q2.yz = ringTurn[2] * q2.yz;
    float best = ring(q0, 1.7, vec2(0.07, 0.16));
    vec3 g = ringGradient(q0, 1.7, vec2(0.07, 0.16));
    g.yz = g.yz * ringTurn[0];
    float d = ring(q1, 1.32, vec2(0.06, 0.13));
    if (d < best) {
        best = d;
        g = ringGradient(q1, 1.32, vec2(0.06, 0.13));
        g.xy = g.xy * ringTurn[1];
        g.yz = g.yz * ringTurn[0];
    }
    d = ring(q2, 0.96, vec2(0.05, 0.1));
    if (d < best) {
        best = d;
        g = ringGradient(q2, 0.96, vec2(0.05, 0.1));
        g.yz = g.yz * ringTurn[2];
        g.xy = g.xy * ringTurn[1];
        g.yz = g.yz * ringTurn[0];
    }
    d = length(p) - 0.42;
    if (d < best) {
        best = d;
        g = p;
    }

    // A blade, as in mechanism(): its point b is r turned back by the
    // sector's angle `back`, then pitched.
    vec3 r = p;
    r.xz = rotorTurn * r.xz;
    const float sector = 6.2831853 / 12.0;
    float angle = angleOf(r.xz);
    float a = mod(angle + 0.5 * sector, sector) - 0.5 * sector;
    vec3 b = vec3(length(r.xz) * cosSmall(a) - 2.75, r.y, length(r.xz) * sinSmall(a));
    b.yz *= bladePitch;
    d = box(b, vec3(0.5, 0.02, 0.1)) - 0.01;
    if (d < best) {
        best = d;
        vec3 gb = boxGradient(b, vec3(0.5, 0.02, 0.1));
        gb.yz = bladePitch * gb.yz;
        float back = angle - a;
        gb.xz = vec2(cos(back) * gb.x - sin(back) * gb.z, sin(back) * gb.x + cos(back) * gb.z);
        g = vec3(gb.xz * rotorTurn, gb.y).xzy;
    }
    d = ring(p, 3.35, vec2(0.05, 0.06));
    if (d < best) {
        best = d;
        g = ringGradient(p, 3.35, vec2(0.05, 0.06));
    }
    float side = length(p.xz) - 0.09;
    if (max(side, p.y) < best) g = side > p.y ? vec3(p.x, 0.0, p.z) : vec3(0.0, 1.0, 0.0);
    return normalize(g);
}

vec3 normalAt(vec3 p, int material)
{
    return material == ground ? vec3(0.0, 1.0, 0.0) : mechanismNormal(p);
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
    for (int i = 0; i < 9 && t < end; ++i) {
        vec3 p = from + dir * t;
        // Outside the parts' shells, 0.6 thick, nothing can dim the light
        // (12 d / t stays above 1 across the sphere): skip to the nearest.
        float shell = min(min(length(p) - 2.4, abs(p.y) - 0.7), max(length(p.xz) - 0.7, p.y - 0.6));
        if (shell > 0.0) {
            t += shell + 0.02;
            previous = 1e10;
            continue;
        }
        float h = mechanism(p);
        float y = h * h / (2.0 * previous);
        float d = sqrt(max(h * h - y * y, 0.0));
        light = min(light, 12.0 * d / max(t - y, 1e-4));
        if (light < 0.005) break;
        previous = h;
        t += clamp(h, 0.04, 0.9);
    }
    return smoothstep(0.0, 1.0, clamp(light, 0.0, 1.0));
}

float occlusion(vec3 p, vec3 n, int material)
{
    // Far from the mechanism nothing is near enough to shade; on the floor
    // only the axle comes that near.
    if (length(p) > reach + 0.3 || (material == ground && length(p.xz) > 0.45)) return 1.0;
    float shade = (0.12 - mechanism(p + n * 0.12)) + 0.7 * (0.27 - mechanism(p + n * 0.27));
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
        // Over-relaxed: each step goes 1.6 times the free distance, as long as
        // the free spheres of this point and the last still overlap, so the
        // whole way between them is known to be empty; where they do not,
        // the step goes back to the last sphere's edge and on plainly.
        float omega = 1.6, previous = 0.0, stepLength = 0.0;
        for (int i = 0; i < 72 && inside < end; ++i) {
            int m;
            float d = mechanism(eye + rd * inside, m);
            if (omega > 1.0 && d + previous < stepLength) {
                inside -= stepLength - previous;
                stepLength = previous;
                omega = 1.0;
                continue;
            }
            if (d < 0.001 * inside) {
                t = inside;
                material = m;
                hit = true;
                break;
            }
            previous = d;
            stepLength = omega * d;
            inside += stepLength;
        }
    }
    if (material == ground) t = floorT;

    vec3 background = studio(rd);
    vec3 colour = background;
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
        float ao = occlusion(p, n, material);
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
        colour = mix(colour, background, 1.0 - exp(-0.02 * t * t * 0.1));
    }

    float depth = hit ? t / (t + 8.0) : 1.0;
    fragColor = vec4(clamp(colour, 0.0, 32.0), depth);
}
