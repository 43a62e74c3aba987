#include "sim/contact.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <optional>

#include "sim/tyre.h"
#include "sim/world.h"
#include "track/scenery.h"
#include "track/terrain.h"
#include "track/timing.h"

namespace zv::sim {
namespace {

constexpr float k_part_spring = 2500;   // body parts against the ground
constexpr float k_part_damping = 250;
constexpr float k_limit_spring = 5000;  // distance limits
constexpr float k_limit_damping = 500;
constexpr float k_wheel_sphere_spring = 25000;
constexpr float k_wheel_sphere_damping = 2500;
constexpr float k_force_limit = 1000;
constexpr float k_max_sphere_radius = 1000;  // ft: bigger spheres are broken data
constexpr float k_max_contact_depth = 4;     // ft

}  // namespace

Vec3 closest_on_triangle(Vec3 p, Vec3 a, Vec3 b, Vec3 c, bool& face)
{
    face = false;
    Vec3 ab = b - a, ac = c - a, ap = p - a;
    float d1 = dot(ab, ap), d2 = dot(ac, ap);
    if (d1 <= 0 && d2 <= 0)
        return a;
    Vec3 bp = p - b;
    float d3 = dot(ab, bp), d4 = dot(ac, bp);
    if (d3 >= 0 && d4 <= d3)
        return b;
    float vc = d1 * d4 - d3 * d2;
    if (vc <= 0 && d1 >= 0 && d3 <= 0)
        return a + ab * (d1 / (d1 - d3));
    Vec3 cp = p - c;
    float d5 = dot(ab, cp), d6 = dot(ac, cp);
    if (d6 >= 0 && d5 <= d6)
        return c;
    float vb = d5 * d2 - d1 * d6;
    if (vb <= 0 && d2 >= 0 && d6 <= 0)
        return a + ac * (d2 / (d2 - d6));
    float va = d3 * d6 - d5 * d4;
    if (va <= 0 && (d4 - d3) >= 0 && (d5 - d6) >= 0)
        return b + (c - b) * ((d4 - d3) / ((d4 - d3) + (d5 - d6)));
    float denom = 1.0f / (va + vb + vc);
    face = true;
    return a + ab * (vb * denom) + ac * (vc * denom);
}

namespace {

// The nearest point of a wheel's tube centre circle to p, as a sphere of the
// tube's radius.
WorldSphere wheel_ring_sphere(const Bike& bike, int wheel, Vec3 p)
{
    const WheelContact& w = wheel == k_front_wheel ? bike.front_contact : bike.rear_contact;
    Vec3 c = body_position(w.body);
    Vec3 a = normalized(body_vector_to_world(w.body, w.axle));
    Vec3 d = p - c;
    Vec3 in_plane = d - a * dot(d, a);
    if (length_sq(in_plane) < 1e-12f)
        in_plane = body_vector_to_world(w.body, {0, -1, 0});
    Vec3 ring = c + normalized(in_plane) * w.ring_radius;
    WorldSphere s;
    s.centre = ring;
    s.radius = w.section_radius;
    s.friction = 1;
    s.spring = k_wheel_sphere_spring;
    s.damping = k_wheel_sphere_damping;
    s.body = w.body;
    return s;
}

WheelContact& wheel_record(Bike& bike, int wheel)
{
    return wheel == k_front_wheel ? bike.front_contact : bike.rear_contact;
}

// Wheel against one sphere: the touch, with the normal pointing into the wheel.
bool wheel_against(SimWorld& world, Bike& bike, int wheel, const WorldSphere& other, ContactMode mode,
                   SphereTouch& touch)
{
    WorldSphere ws = wheel_ring_sphere(bike, wheel, other.centre);
    return sphere_sphere(world, other, ws, mode, &touch);
}

// Keeps the deepest wheel touch; a wheel without ground contact takes it as
// its contact record.
void note_wheel_touch(Bike& bike, int wheel, const SphereTouch& t, float& deepest)
{
    if (t.depth <= deepest)
        return;
    deepest = t.depth;
    WheelContact& w = wheel_record(bike, wheel);
    if (w.terrain_touch)
        return;
    w.depth = t.depth;
    w.point = t.position;
    w.normal = t.normal;
    w.point_velocity = body_point_vel(w.body, t.position);
}

bool is_fork(int part) { return part == k_fork_upper || part == k_fork_lower; }

bool is_wheel(int part) { return part == k_front_wheel || part == k_rear_wheel; }

// A bike's body-part spheres in world coordinates, computed once per test
// rather than once per pair. Spheres beyond the capacity are computed when asked.
struct PartSpheres {
    static constexpr int k_capacity = 64;
    std::array<WorldSphere, k_capacity> spheres;
    std::array<int, k_body_count + 1> first{};

    explicit PartSpheres(const Bike& k)
    {
        int n = 0;
        for (int p = 0; p < k_body_count; ++p) {
            first[static_cast<size_t>(p)] = n;
            for (const track::ShapeSphere& sp : k.shapes[static_cast<size_t>(p)]) {
                if (n == k_capacity)
                    break;
                spheres[static_cast<size_t>(n++)] = part_sphere(k, p, sp);
            }
        }
        first[k_body_count] = n;
    }
    WorldSphere get(const Bike& k, int part, size_t index) const
    {
        int i = first[static_cast<size_t>(part)] + static_cast<int>(index);
        if (i < first[static_cast<size_t>(part) + 1])
            return spheres[static_cast<size_t>(i)];
        return part_sphere(k, part, k.shapes[static_cast<size_t>(part)][index]);
    }
};

constexpr float k_bike_reach = 6;  // ft: every part lies within this of the frame

}  // namespace

float sphere_force(float depth, float closing_speed, float spring, float damping)
{
    return clampf(depth * spring + closing_speed * damping, -k_force_limit, k_force_limit);
}

void add_soft_contact(SimWorld& world, dBodyID body1, dBodyID body2, Vec3 position, Vec3 normal,
                      float depth, float friction, float spring, float damping)
{
    if (!body1 && !body2)
        return;
    // Shape files are data: a spring or damper that is negative, not a
    // number or zero altogether makes no contact rather than a broken one.
    spring = std::isfinite(spring) ? std::max(spring, 0.0f) : 0.0f;
    damping = std::isfinite(damping) ? std::max(damping, 0.0f) : 0.0f;
    if (!(k_dt * spring + damping > 1e-6f) || !(depth > 0) || !is_finite(normal) || !is_finite(position))
        return;
    friction = std::isfinite(friction) ? std::max(friction, 0.0f) : 0.0f;
    // However deep a broken shape reaches, the push out of it stays bounded.
    depth = std::min(depth, k_max_contact_depth);
    if (!body1) {
        // ODE wants the moving body first: flip the contact.
        body1 = body2;
        body2 = nullptr;
        normal = -normal;
    }
    dContact ct{};
    ct.surface.mode = dContactSoftERP | dContactSoftCFM;
    if (friction > 0)
        ct.surface.mode |= dContactApprox1;
    ct.surface.mu = friction;
    ct.surface.soft_erp = soft_erp(spring, damping);
    ct.surface.soft_cfm = soft_cfm(spring, damping);
    ct.geom.pos[0] = position.x, ct.geom.pos[1] = position.y, ct.geom.pos[2] = position.z;
    ct.geom.normal[0] = normal.x, ct.geom.normal[1] = normal.y, ct.geom.normal[2] = normal.z;
    ct.geom.depth = depth;
    dJointID j = dJointCreateContact(world.id(), world.group(), &ct);
    dJointAttach(j, body1, body2);
}

bool sphere_sphere(SimWorld& world, const WorldSphere& a, const WorldSphere& b, ContactMode mode,
                   SphereTouch* out)
{
    if (!(a.radius > 0) || !(b.radius > 0) || a.radius > k_max_sphere_radius || b.radius > k_max_sphere_radius)
        return false;
    Vec3 d = b.centre - a.centre;
    float dist2 = length_sq(d);
    float rr = a.radius + b.radius;
    if (!(dist2 < rr * rr))
        return false;
    float dist = std::sqrt(dist2);
    SphereTouch t;
    t.depth = rr - dist;
    t.normal = dist > 1e-6f ? d * (1.0f / dist) : Vec3{0, 1, 0};
    t.position = a.centre + t.normal * (a.radius - t.depth / 2);
    t.friction = std::min(a.friction, b.friction);
    t.spring = std::min(a.spring, b.spring);
    t.damping = std::min(a.damping, b.damping);
    if (out)
        *out = t;
    if (mode == ContactMode::joint) {
        // B is pushed along the normal (from A toward B).
        add_soft_contact(world, b.body, a.body, t.position, t.normal, t.depth, t.friction, t.spring,
                         t.damping);
    } else if (mode == ContactMode::force) {
        Vec3 va = a.body ? body_point_vel(a.body, t.position) : Vec3{};
        Vec3 vb = b.body ? body_point_vel(b.body, t.position) : Vec3{};
        float f = sphere_force(t.depth, dot(va - vb, t.normal), t.spring, t.damping);
        if (!std::isfinite(f))
            return true;
        Vec3 fv = t.normal * f;
        if (b.body && dBodyIsEnabled(b.body))
            dBodyAddForceAtPos(b.body, fv.x, fv.y, fv.z, t.position.x, t.position.y, t.position.z);
        if (a.body && dBodyIsEnabled(a.body))
            dBodyAddForceAtPos(a.body, -fv.x, -fv.y, -fv.z, t.position.x, t.position.y, t.position.z);
    }
    return true;
}

bool distance_limit(SimWorld& world, dBodyID a, Vec3 pa, dBodyID b, Vec3 pb, float limit)
{
    Vec3 wa = body_point_to_world(a, pa);
    Vec3 wb = body_point_to_world(b, pb);
    Vec3 d = wb - wa;
    float dist = length(d);
    if (!(dist > limit))
        return false;
    // The contact pulls A toward B. The normal is normalised so the soft
    // spring keeps its stated stiffness whatever the distance.
    add_soft_contact(world, a, b, wa, d * (1.0f / dist), dist - limit, 0, k_limit_spring,
                     k_limit_damping);
    return true;
}

WorldSphere part_sphere(const Bike& bike, int part, const track::ShapeSphere& s)
{
    WorldSphere w;
    dBodyID body = bike.body(part);
    w.centre = body_point_to_world(body, {s.x, s.y, s.z});
    w.radius = s.radius;
    w.friction = s.friction;
    w.spring = s.spring;
    w.damping = s.damping;
    w.body = body;
    return w;
}

SphereGround sphere_terrain(const SimWorld& world, Vec3 c, float r)
{
    SphereGround best;
    best.depth = 0;
    const track::Terrain* t = world.terrain;
    if (!t || t->heights.empty() || !is_finite(c))
        return best;
    CellRange cells;
    if (!cell_range(*t, c, r, cells))
        return best;
    int i0 = cells.i0, i1 = cells.i1, j0 = cells.j0, j1 = cells.j1;
    for (int j = j0; j < j1; ++j) {
        for (int i = i0; i < i1; ++i) {
            // Every point of the cell's two triangles lies at or below its
            // highest corner, so a sphere clear of that corner height cannot
            // touch them (the common case for a bike's parts while it rides).
            float top = std::max(std::max(track::terrain_sample(*t, i, j), track::terrain_sample(*t, i, j + 1)),
                                 std::max(track::terrain_sample(*t, i + 1, j), track::terrain_sample(*t, i + 1, j + 1)));
            if (c.y - r >= top)
                continue;
            int d = ((i & 1) ^ (j & 1)) ^ 1;
            Vec3 tri[2][3] = {
                {grid_vertex(*t, i, j), grid_vertex(*t, i, j + 1), grid_vertex(*t, i + 1, j + d)},
                {grid_vertex(*t, i + 1, j + 1), grid_vertex(*t, i + 1, j), grid_vertex(*t, i, j + 1 - d)}};
            for (auto& tr : tri) {
                Vec3 n = normalized(cross(tr[1] - tr[0], tr[2] - tr[0]));
                bool face;
                Vec3 q = closest_on_triangle(c, tr[0], tr[1], tr[2], face);
                float depth;
                Vec3 normal;
                if (face) {
                    depth = r - dot(c - q, n);  // signed: a centre below the face is deeper
                    normal = n;
                } else {
                    float dist = length(c - q);
                    depth = r - dist;
                    normal = dist > 1e-6f ? (c - q) * (1.0f / dist) : n;
                }
                if (depth > best.depth) {
                    best.depth = depth;
                    best.point = q;
                    best.normal = normal;
                }
            }
        }
    }
    return best;
}

void knock_off(Bike& bike)
{
    detach_rider(bike);
    dBodyID frame = bike.body(k_frame);
    dBodyID rider = bike.body(k_rider);
    for (int side = 0; side < 2; ++side) {
        Vec3 p = bike.info.pose_point(side == 0 ? k_pose_left_grip : k_pose_right_grip);
        Vec3 w = body_point_to_world(frame, p - bike.info.frame_position);
        bike.limbs[static_cast<size_t>(side)] = {w, body_point_vel(rider, w)};
    }
    bike.crash_timer = knockout_penalty(std::min(bike.knockout_count, 15)) + 512;
    bike.knockout_count += 1;
}

bool collide_bike_terrain(SimWorld& world, Bike& bike)
{
    bool touched = false;
    bool arcade = bike.arcade != 0 && !bike.knocked_off();
    float scale = friction_scale(arcade, arcade ? lean_angle(bike.body(k_frame)) : 0.0f);
    bike.front_contact.terrain_touch = collide_wheel(world, bike.front_contact, scale);
    bike.rear_contact.terrain_touch = collide_wheel(world, bike.rear_contact, scale);
    touched = bike.front_contact.terrain_touch || bike.rear_contact.terrain_touch;

    for (int part : {k_frame, k_fork_upper, k_fork_lower, k_swingarm, k_rider}) {
        bool part_touched = false;
        for (const track::ShapeSphere& s : bike.shapes[static_cast<size_t>(part)]) {
            WorldSphere ws = part_sphere(bike, part, s);
            if (!(ws.radius > 0))
                continue;
            SphereGround g = sphere_terrain(world, ws.centre, ws.radius);
            if (!(g.depth > 0))
                continue;
            Vec3 pos = ws.centre - g.normal * (ws.radius - g.depth / 2);
            add_soft_contact(world, ws.body, nullptr, pos, g.normal, g.depth, ws.friction,
                             k_part_spring, k_part_damping);
            part_touched = true;
        }
        if (!part_touched)
            continue;
        touched = true;
        if (part == k_rider && bike.crash_timer == 0 && bike.collision_timer >= 0) {
            dBodyID rider = bike.body(k_rider);
            Vec3 up = body_vector_to_world(rider, {0, 1, 0});
            if (up.y < 0 && length_sq(body_linear_vel(rider)) > 25.0f)
                knock_off(bike);
        }
    }
    if (touched)
        bike.settled = true;
    return touched;
}

namespace {

// The starting-gate objects take part only until 10 seconds after the start.
constexpr int k_gate_contact_ticks = 10 * 128;

bool is_gate_object(int index)
{
    for (const track::StartingGate& g : track::track_timing().gates)
        if (g.object == index)
            return true;
    return false;
}

}  // namespace

int collide_bike_objects(SimWorld& world, Bike& bike)
{
    Vec3 at = body_position(bike.body(k_frame));
    if (!is_finite(at))
        return 0;
    const bool gates_active =
        static_cast<long long>(world.tick) < static_cast<long long>(world.start_tick) + k_gate_contact_ticks;
    int bits = 0;
    float front_deep = 0, rear_deep = 0;
    std::optional<PartSpheres> parts;  // computed at the first object in reach
    for (int index : track::objects_near(at.x, at.z)) {
        track::TrackObject& obj = track::track_object(index);
        if (!obj.shape || (!gates_active && is_gate_object(index)))
            continue;
        const auto& R = obj.rotation;
        Vec3 origin{obj.x, obj.y, obj.z};
        float reach = obj.shape->bounding_radius + k_bike_reach;
        if (length_sq(origin - at) > reach * reach)
            continue;
        if (!parts)
            parts.emplace(bike);
        bool hit_object = false;
        for (const track::ShapeSphere& os : obj.shape->spheres) {
            WorldSphere o;
            o.centre = origin + Vec3{R[0] * os.x + R[1] * os.y + R[2] * os.z,
                                     R[3] * os.x + R[4] * os.y + R[5] * os.z,
                                     R[6] * os.x + R[7] * os.y + R[8] * os.z};
            o.radius = os.radius;
            o.friction = os.friction;
            o.spring = os.spring;
            o.damping = os.damping;
            o.body = nullptr;
            float near = o.radius + k_bike_reach;
            if (length_sq(o.centre - at) > near * near)
                continue;
            for (int part : {k_frame, k_fork_upper, k_fork_lower, k_swingarm, k_rider}) {
                for (size_t i = 0; i < bike.shapes[static_cast<size_t>(part)].size(); ++i) {
                    if (sphere_sphere(world, o, parts->get(bike, part, i), ContactMode::joint)) {
                        bits |= part_bit(part);
                        hit_object = true;
                    }
                }
            }
            for (int wheel : {k_front_wheel, k_rear_wheel}) {
                SphereTouch t;
                if (wheel_against(world, bike, wheel, o, ContactMode::joint, t)) {
                    bits |= part_bit(wheel);
                    hit_object = true;
                    note_wheel_touch(bike, wheel, t, wheel == k_front_wheel ? front_deep : rear_deep);
                }
            }
        }
        if (hit_object)
            obj.last_contact_tick = world.tick;
    }
    if (bits) {
        bike.settled = true;
        if ((bits & k_part_rider) && bike.crash_timer == 0 && bike.collision_timer >= 0 &&
            length_sq(body_linear_vel(bike.body(k_rider))) > 400.0f)
            knock_off(bike);
    }
    return bits;
}

bool collide_bikes(SimWorld& world, Bike& a, Bike& b)
{
    Vec3 pa = body_position(a.body(k_frame)), pb = body_position(b.body(k_frame));
    // A bike and rider fit in a sphere of 5 ft around the frame.
    if (!is_finite(pa) || !is_finite(pb) || length_sq(pa - pb) > 10.0f * 10.0f)
        return false;
    // Bounding sphere of every part, to skip the pairs that cannot touch.
    struct Bound {
        Vec3 centre;
        float radius;
    };
    auto bound = [](const Bike& k, int part) {
        if (is_wheel(part)) {
            const WheelContact& w = part == k_front_wheel ? k.front_contact : k.rear_contact;
            return Bound{body_position(k.body(part)), w.ring_radius + w.section_radius};
        }
        float r = 0;
        for (const auto& sp : k.shapes[static_cast<size_t>(part)])
            r = std::max(r, std::sqrt(sp.x * sp.x + sp.y * sp.y + sp.z * sp.z) + sp.radius);
        return Bound{body_position(k.body(part)), r};
    };
    const PartSpheres spheres_a(a), spheres_b(b);
    std::array<Bound, k_body_count> bounds_a, bounds_b;
    for (int i = 0; i < k_body_count; ++i) {
        bounds_a[static_cast<size_t>(i)] = bound(a, i);
        bounds_b[static_cast<size_t>(i)] = bound(b, i);
    }
    bool had = a.last_bike_contact_tick == world.tick || b.last_bike_contact_tick == world.tick;
    ContactMode base = had ? ContactMode::force : ContactMode::joint;
    int hits_a = 0, hits_b = 0, like = 0;
    float deep[2][2] = {{0, 0}, {0, 0}};  // [bike][wheel]
    constexpr int parts[] = {k_frame, k_front_wheel, k_rear_wheel, k_fork_upper, k_fork_lower, k_swingarm, k_rider};
    for (int ia : parts) {
        for (int ib : parts) {
            const Bound& ba = bounds_a[static_cast<size_t>(ia)];
            const Bound& bb = bounds_b[static_cast<size_t>(ib)];
            float reach = ba.radius + bb.radius;
            if (reach <= 0 || length_sq(ba.centre - bb.centre) >= reach * reach)
                continue;
            ContactMode mode = (world.connected && (is_fork(ia) || is_fork(ib))) ? ContactMode::detect : base;
            bool touched = false;
            if (!is_wheel(ia) && !is_wheel(ib)) {
                for (size_t i = 0; i < a.shapes[static_cast<size_t>(ia)].size(); ++i)
                    for (size_t j = 0; j < b.shapes[static_cast<size_t>(ib)].size(); ++j)
                        touched |= sphere_sphere(world, spheres_a.get(a, ia, i), spheres_b.get(b, ib, j), mode);
            } else if (is_wheel(ia) && !is_wheel(ib)) {
                for (size_t j = 0; j < b.shapes[static_cast<size_t>(ib)].size(); ++j) {
                    SphereTouch t;
                    if (wheel_against(world, a, ia, spheres_b.get(b, ib, j), mode, t)) {
                        touched = true;
                        note_wheel_touch(a, ia, t, deep[0][ia == k_rear_wheel]);
                    }
                }
            } else if (!is_wheel(ia) && is_wheel(ib)) {
                for (size_t i = 0; i < a.shapes[static_cast<size_t>(ia)].size(); ++i) {
                    SphereTouch t;
                    if (wheel_against(world, b, ib, spheres_a.get(a, ia, i), mode, t)) {
                        touched = true;
                        note_wheel_touch(b, ib, t, deep[1][ib == k_rear_wheel]);
                    }
                }
            } else {
                Vec3 ca = body_position(a.body(ia));
                WorldSphere other = wheel_ring_sphere(b, ib, ca);
                SphereTouch t;
                if (wheel_against(world, a, ia, other, mode, t)) {
                    touched = true;
                    note_wheel_touch(a, ia, t, deep[0][ia == k_rear_wheel]);
                }
            }
            if (touched) {
                hits_a |= part_bit(ia);
                hits_b |= part_bit(ib);
                if (ia == ib)
                    like |= part_bit(ia);
            }
        }
    }
    if (!(hits_a | hits_b))
        return false;
    float va = bike_speed(a), vb = bike_speed(b);
    constexpr int front_end = k_part_front_wheel | k_part_fork_lower;
    if (!like) {
        // A bike that runs its front end into another is the one to blame:
        // its aids back off, the other rider is spared a knockout.
        if ((hits_b & front_end) && !a.knocked_off() && va >= 5) {
            if (vb >= 10)
                b.collision_timer = std::max(b.collision_timer, 256.0f);
            if (a.collision_timer < 0)
                a.collision_timer = std::min(a.collision_timer, -640.0f);
        }
        if ((hits_a & front_end) && !b.knocked_off() && vb >= 5) {
            if (va >= 10)
                a.collision_timer = std::max(a.collision_timer, 256.0f);
            if (b.collision_timer < 0)
                b.collision_timer = std::min(b.collision_timer, -640.0f);
        }
    } else {
        if (va >= 10)
            a.collision_timer = std::max(a.collision_timer, 192.0f);
        if (vb >= 10)
            b.collision_timer = std::max(b.collision_timer, 192.0f);
    }
    for (Bike* k : {&a, &b}) {
        k->last_bike_contact_tick = world.tick;
        if (k->first_bike_contact_tick == -1)
            k->first_bike_contact_tick = world.tick;
        k->settled = true;
    }
    return true;
}

}  // namespace zv::sim
