#version 430 core
// Ball scene: a ring of glossy balls bouncing on the beat around a chrome
// sphere, on a checkered floor that mirrors them, with soft shadows.
//
// Tracks: cam_dist is the camera's offset from the centre of the ring,
// turned by cam_rot (x pitch, y yaw, z roll); dir_rot turns the view from
// there. field_of_view is the vertical angle in radians, moveground slides
// the floor under the balls, lightSource is the light's position.
// iGlobalTime (seconds of music) sets the bounce: one a beat at 122 BPM.
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

const float farPlane = 50.0;
const float beatsPerSecond = 122.0 / 60.0;
const int ballCount = 7;

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

// Each ball's centre (xyz) and radius (w), and how much it is squashed,
// worked out once per frame in main.
vec4 ball[ballCount];
float squash[ballCount];
vec3 stretch[ballCount]; // the ellipsoid's radii

vec3 hue(float h)
{
    return clamp(abs(fract(h + vec3(0.0, 2.0, 1.0) / 3.0) * 6.0 - 3.0) - 1.0, 0.0, 1.0);
}

void placeBalls()
{
    float beat = iGlobalTime * beatsPerSecond;
    for (int i = 0; i < ballCount; ++i) {
        float k = float(i);
        float angle = 6.2831853 * k / float(ballCount) + 0.25 * iGlobalTime;
        float radius = 0.45 + 0.08 * mod(k * 3.0, 4.0);
        // Every other ball bounces on the off-beat; a parabola per beat.
        float phase = fract(beat + 0.5 * mod(k, 2.0));
        float height = (1.2 + 0.35 * mod(k, 3.0)) * 4.0 * phase * (1.0 - phase);
        squash[i] = 1.0 - 0.3 * smoothstep(0.12, 0.0, min(phase, 1.0 - phase));
        ball[i] = vec4(2.7 * cos(angle), radius * squash[i] + height, 2.7 * sin(angle), radius);
        stretch[i] = vec3(1.0 / sqrt(squash[i]), squash[i], 1.0 / sqrt(squash[i])) * radius;
    }
}

const int floorId = -1, chromeId = ballCount, nothing = -2;
const vec4 chrome = vec4(0.0, 1.1, 0.0, 1.1);
// Everything but the floor lies inside this sphere.
const vec4 bound = vec4(0.0, 1.6, 0.0, 4.4);

// Distance to the nearest ball among those whose bit is set in `candidates`
// (the chrome sphere always counts); `id` is its number or the chrome
// sphere's.
float balls(vec3 p, int candidates, out int id)
{
    float d = length(p - chrome.xyz) - chrome.w;
    id = chromeId;
    for (int i = 0; i < ballCount; ++i) {
        if ((candidates & (1 << i)) == 0) continue;
        // A squashed ball is an ellipsoid: wider, lower.
        vec3 q = (p - ball[i].xyz) / stretch[i];
        float k0 = length(q), k1 = length(q / stretch[i]);
        float e = k0 * (k0 - 1.0) / max(k1, 1e-4);
        if (e < d) {
            d = e;
            id = i;
        }
    }
    return d;
}

const int allBalls = (1 << ballCount) - 1;

float balls(vec3 p)
{
    int id;
    return balls(p, allBalls, id);
}

// Where a ray enters and leaves a sphere; x > y when it misses.
vec2 sphereSpan(vec3 from, vec3 dir, vec4 sphere)
{
    vec3 o = from - sphere.xyz;
    float b = dot(o, dir);
    float h = b * b - dot(o, o) + sphere.w * sphere.w;
    if (h < 0.0) return vec2(1.0, -1.0);
    h = sqrt(h);
    return vec2(-b - h, -b + h);
}

float floorHit(vec3 from, vec3 dir)
{
    return dir.y < -1e-4 ? -from.y / dir.y : farPlane;
}

// The first thing along a ray: the balls are sphere-traced inside their
// bound, the floor is a plane.
float trace(vec3 from, vec3 dir, int steps, out int id)
{
    float floorT = floorHit(from, dir);
    id = floorT < farPlane ? floorId : nothing;
    vec2 span = sphereSpan(from, dir, bound);
    float t = max(span.x, 0.0);
    float end = min(span.y, floorT);
    // Only the balls whose neighbourhood the ray passes through.
    int candidates = 0;
    for (int i = 0; i < ballCount; ++i) {
        vec2 near = sphereSpan(from, dir, vec4(ball[i].xyz, 1.3 * ball[i].w));
        if (near.x <= near.y && near.y > 0.0) candidates |= 1 << i;
    }
    for (int i = 0; i < steps && t < end; ++i) {
        int which;
        float d = balls(from + dir * t, candidates, which);
        if (d < 0.001 * t) {
            id = which;
            return t;
        }
        t += d;
    }
    return floorT;
}

vec3 normalAt(vec3 p, int id)
{
    if (id == floorId) return vec3(0.0, 1.0, 0.0);
    const vec2 k = vec2(1.0, -1.0) * 0.001;
    return normalize(k.xyy * balls(p + k.xyy) + k.yyx * balls(p + k.yyx) + k.yxy * balls(p + k.yxy) +
                     k.xxx * balls(p + k.xxx));
}

// Soft shadow of one sphere, from how near the ray to the light passes it.
float sphereShadow(vec3 from, vec3 dir, vec4 sphere)
{
    vec3 o = sphere.xyz - from;
    float along = dot(o, dir);
    if (along <= 0.0) return 1.0;
    float miss = sqrt(max(dot(o, o) - along * along, 0.0)) - sphere.w;
    return smoothstep(0.0, 1.0, clamp(6.0 * miss / along, 0.0, 1.0));
}

float softShadow(vec3 from, vec3 dir)
{
    float light = sphereShadow(from, dir, chrome);
    for (int i = 0; i < ballCount; ++i) light = min(light, sphereShadow(from, dir, ball[i]));
    return light;
}

// The darkening near each sphere, as a sphere's solid angle seen from p.
float occlusion(vec3 p, vec3 n)
{
    float open = 1.0;
    vec3 o = chrome.xyz - p;
    float o2 = dot(o, o);
    open *= 1.0 - max(dot(n, o), 0.0) * chrome.w * chrome.w / (o2 * sqrt(o2));
    for (int i = 0; i < ballCount; ++i) {
        o = ball[i].xyz - p;
        o2 = dot(o, o);
        open *= 1.0 - max(dot(n, o), 0.0) * ball[i].w * ball[i].w / (o2 * sqrt(o2));
    }
    return clamp(open, 0.0, 1.0);
}

vec3 sky(vec3 d)
{
    return mix(vec3(0.5, 0.45, 0.55), vec3(0.08, 0.14, 0.3), smoothstep(-0.05, 0.5, d.y));
}

vec3 albedo(vec3 p, int id)
{
    if (id == floorId) {
        vec2 cell = floor(p.xz + vec2(0.0, moveground));
        float checker = mod(cell.x + cell.y, 2.0);
        return mix(vec3(0.85), vec3(0.12, 0.1, 0.14), checker);
    }
    if (id == chromeId) return vec3(0.9);
    return hue(float(id) / float(ballCount));
}

// Light that reaches p from the lamp and the sky, without reflections.
vec3 shade(vec3 p, vec3 n, vec3 rd, int id)
{
    vec3 toLight = lightSource - p;
    vec3 l = toLight / max(length(toLight), 1e-3);
    float diffuse = max(dot(n, l), 0.0);
    float shadow = diffuse > 0.0 ? softShadow(p + n * 0.01, l) : 0.0;
    float highlight = pow(max(dot(reflect(rd, n), l), 0.0), 60.0);
    vec3 base = albedo(p, id) * (id == chromeId ? 0.1 : 1.0);
    return base * (0.3 * sky(n) * occlusion(p, n) + 1.6 * diffuse * shadow) + 3.0 * highlight * shadow;
}

void main()
{
    placeBalls();
    vec3 eye;
    vec3 rd = cameraRay(vec3(0.0, 1.0, 0.0), eye);

    int id;
    float t = trace(eye, rd, 56, id);
    vec3 colour = sky(rd);
    bool hit = id != nothing;
    if (hit) {
        vec3 p = eye + rd * t;
        vec3 n = normalAt(p, id);
        colour = shade(p, n, rd, id);
        // One mirror bounce, more of it on chrome, less on the floor.
        float fresnel = pow(1.0 - max(dot(n, -rd), 0.0), 5.0);
        float mirror = id == chromeId ? 0.9 : id == floorId ? 0.15 + 0.5 * fresnel : 0.08 + 0.6 * fresnel;
        vec3 rr = reflect(rd, n);
        int rid;
        vec3 from = p + n * 0.01;
        float rt = trace(from, rr, 16, rid);
        vec3 bounce = sky(rr);
        if (rid != nothing) {
            vec3 rp = from + rr * rt;
            vec3 rn = normalAt(rp, rid);
            bounce = albedo(rp, rid) * (0.3 * sky(rn) + 1.6 * max(dot(rn, normalize(lightSource - rp)), 0.0));
        }
        colour = mix(colour, bounce, mirror);
        colour = mix(colour, sky(rd), smoothstep(12.0, farPlane, t));
    }

    float depth = hit ? t / (t + 8.0) : 1.0;
    fragColor = vec4(clamp(colour, 0.0, 32.0), depth);
}
