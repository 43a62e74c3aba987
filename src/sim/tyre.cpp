#include "sim/tyre.h"

#include <cmath>

#include "sim/world.h"
#include "track/terrain.h"
#include "track/tileinfo.h"

namespace zv::sim {
namespace {

Vec3 any_perpendicular(Vec3 a)
{
    Vec3 t = std::fabs(a.x) < 0.9f ? Vec3{1, 0, 0} : Vec3{0, 1, 0};
    return normalized(cross(a, t));
}

struct CirclePoint {
    float dist_sq;
    Vec3 circle;  // nearest point of the circle
};

// Distance from p to the circle (centre c, unit axis a, radius R).
CirclePoint circle_distance(Vec3 p, Vec3 c, Vec3 a, float R)
{
    Vec3 w = p - c;
    float h = dot(w, a);
    Vec3 radial = w - a * h;
    float rho = length(radial);
    Vec3 dir = rho > 1e-6f ? radial * (1.0f / rho) : any_perpendicular(a);
    float dr = rho - R;
    return {dr * dr + h * h, c + dir * R};
}

// Nearest approach of a segment to the circle. The squared distance along a
// segment may have two dips, so a coarse scan picks the basin and a golden
// section search pins it down.
struct SegmentHit {
    float dist_sq;
    Vec3 segment_point;
    Vec3 circle_point;
};

SegmentHit segment_circle(Vec3 e0, Vec3 e1, Vec3 c, Vec3 a, float R)
{
    constexpr int k_samples = 8;
    Vec3 d = e1 - e0;
    float best_t = 0;
    float best = circle_distance(e0, c, a, R).dist_sq;
    for (int i = 1; i <= k_samples; ++i) {
        float t = static_cast<float>(i) / k_samples;
        float f = circle_distance(e0 + d * t, c, a, R).dist_sq;
        if (f < best) {
            best = f;
            best_t = t;
        }
    }
    float lo = std::max(0.0f, best_t - 1.0f / k_samples);
    float hi = std::min(1.0f, best_t + 1.0f / k_samples);
    constexpr float g = 0.6180339887f;
    float x1 = hi - g * (hi - lo), x2 = lo + g * (hi - lo);
    float f1 = circle_distance(e0 + d * x1, c, a, R).dist_sq;
    float f2 = circle_distance(e0 + d * x2, c, a, R).dist_sq;
    for (int it = 0; it < 24; ++it) {
        if (f1 < f2) {
            hi = x2;
            x2 = x1;
            f2 = f1;
            x1 = hi - g * (hi - lo);
            f1 = circle_distance(e0 + d * x1, c, a, R).dist_sq;
        } else {
            lo = x1;
            x1 = x2;
            f1 = f2;
            x2 = lo + g * (hi - lo);
            f2 = circle_distance(e0 + d * x2, c, a, R).dist_sq;
        }
    }
    float t = f1 < f2 ? x1 : x2;
    CirclePoint cp = circle_distance(e0 + d * t, c, a, R);
    if (cp.dist_sq > best) {  // the search never does worse than the scan
        t = best_t;
        cp = circle_distance(e0 + d * t, c, a, R);
    }
    return {cp.dist_sq, e0 + d * t, cp.circle};
}

bool inside_triangle(Vec3 p, Vec3 t0, Vec3 t1, Vec3 t2, Vec3 n)
{
    return dot(cross(t1 - t0, p - t0), n) >= 0 && dot(cross(t2 - t1, p - t1), n) >= 0 &&
           dot(cross(t0 - t2, p - t2), n) >= 0;
}

const track::TileType& default_tile()
{
    static const track::TileType tile;
    return tile;
}

}  // namespace

Vec3 grid_vertex(const track::Terrain& t, int i, int j)
{
    return {static_cast<float>(i) * t.cell_size, track::terrain_sample(t, i, j),
            static_cast<float>(j) * t.cell_size};
}

bool cell_range(const track::Terrain& t, Vec3 c, float h, CellRange& out)
{
    if (!(t.cell_size > 0) || !is_finite(c) || !(h >= 0))
        return false;
    constexpr float k_far = 1e7f;  // cells: beyond this the float grid breaks down
    float inv = 1.0f / t.cell_size;
    float x0 = std::floor((c.x - h) * inv), x1 = std::ceil((c.x + h) * inv);
    float z0 = std::floor((c.z - h) * inv), z1 = std::ceil((c.z + h) * inv);
    if (!(std::fabs(x0) < k_far && std::fabs(x1) < k_far && std::fabs(z0) < k_far && std::fabs(z1) < k_far))
        return false;
    out = {static_cast<int>(x0), static_cast<int>(x1), static_cast<int>(z0), static_cast<int>(z1)};
    constexpr int k_max_cells = 64;  // per side
    return out.i1 - out.i0 <= k_max_cells && out.j1 - out.j0 <= k_max_cells;
}

namespace {

// The plane part of the torus test: the depth at the ring point nearest the
// triangle's plane (an upper bound for the triangle) and whether that point
// lies over the triangle, in which case the hit is final.
struct PlaneCase {
    TorusHit hit;
    bool inside = false;
    bool valid = false;
};

PlaneCase plane_case(Vec3 c, Vec3 a, float R, float r, Vec3 t0, Vec3 t1, Vec3 t2)
{
    PlaneCase pc;
    Vec3 n = normalized(cross(t1 - t0, t2 - t0));
    if (length_sq(n) == 0)
        return pc;
    pc.valid = true;
    Vec3 u = n - a * dot(a, n);
    u = length_sq(u) > 1e-12f ? normalized(u) : any_perpendicular(a);
    Vec3 ring_point = c - u * R;
    float height = dot(ring_point - t0, n);
    pc.hit.depth = r - height;
    pc.hit.point = ring_point - n * r;
    pc.hit.normal = n;
    pc.inside = inside_triangle(ring_point - n * height, t0, t1, t2, n);
    return pc;
}

// The nearest edge or vertex of the triangle decides.
// Edges that cannot bring the tube deeper than `need` are skipped: every
// circle point lies R from the centre, so a segment whose distances from the
// centre stay on one side of R by more than r - need is too far.
TorusHit edge_case(Vec3 c, Vec3 a, float R, float r, Vec3 t0, Vec3 t1, Vec3 t2, Vec3 n, float need)
{
    SegmentHit best{1e30f, {}, {}};
    const Vec3 v[3] = {t0, t1, t2};
    for (int e = 0; e < 3; ++e) {
        Vec3 e0 = v[e], e1 = v[(e + 1) % 3];
        Vec3 d = e1 - e0;
        float l2 = length_sq(d);
        float t = l2 > 0 ? clampf(dot(c - e0, d) / l2, 0, 1) : 0;
        float near = length(e0 + d * t - c);
        float far = std::max(length(e0 - c), length(e1 - c));
        float gap = near > R ? near - R : (far < R ? R - far : 0);
        if (gap >= r - need)
            continue;
        SegmentHit s = segment_circle(e0, e1, c, a, R);
        if (s.dist_sq < best.dist_sq)
            best = s;
    }
    TorusHit hit;
    float dist = std::sqrt(best.dist_sq);
    hit.depth = r - dist;
    hit.normal = dist > 1e-6f ? (best.circle_point - best.segment_point) * (1.0f / dist) : n;
    hit.point = best.circle_point - hit.normal * r;
    return hit;
}

}  // namespace

TorusHit torus_triangle(Vec3 c, Vec3 a, float R, float r, Vec3 t0, Vec3 t1, Vec3 t2)
{
    PlaneCase pc = plane_case(c, a, R, r, t0, t1, t2);
    if (!pc.valid) {
        TorusHit none;
        none.depth = 0;
        return none;
    }
    if (pc.inside)
        return pc.hit;
    return edge_case(c, a, R, r, t0, t1, t2, pc.hit.normal, -1e30f);
}

TorusHit torus_terrain(const track::Terrain& t, Vec3 c, Vec3 a, float R, float r)
{
    TorusHit best;
    best.depth = 0;
    if (t.heights.empty() || !(t.cell_size > 0) || !is_finite(c))
        return best;
    float h = R + r;
    CellRange cells;
    if (!cell_range(t, c, h, cells))
        return best;
    // Two passes: the faces first (cheap and usually final), then the edges
    // of the triangles whose plane bound still beats the deepest face.
    for (int pass = 0; pass < 2; ++pass) {
        for (int j = cells.j0; j < cells.j1; ++j) {
            for (int i = cells.i0; i < cells.i1; ++i) {
                int d = ((i & 1) ^ (j & 1)) ^ 1;
                Vec3 tri[2][3] = {
                    {grid_vertex(t, i, j), grid_vertex(t, i, j + 1), grid_vertex(t, i + 1, j + d)},
                    {grid_vertex(t, i + 1, j + 1), grid_vertex(t, i + 1, j), grid_vertex(t, i, j + 1 - d)}};
                for (auto& tr : tri) {
                    PlaneCase pc = plane_case(c, a, R, r, tr[0], tr[1], tr[2]);
                    if (!pc.valid || !(pc.hit.depth > best.depth))
                        continue;
                    if (pass == 0) {
                        if (pc.inside)
                            best = pc.hit;
                        continue;
                    }
                    if (pc.inside)
                        continue;
                    TorusHit hit = edge_case(c, a, R, r, tr[0], tr[1], tr[2], pc.hit.normal, best.depth);
                    if (hit.depth > best.depth)
                        best = hit;
                }
            }
        }
    }
    return best;
}

TyreSpring tyre_spring(float depth, float section)
{
    float m = std::min(1.0f, depth / section);
    float m3 = m * m * m;
    return {24000 * m3 + 1000, 2300 * m3 + 200};
}

float friction_scale(bool arcade, float lean)
{
    if (!arcade)
        return 1.0f;
    return 1.0f - 0.375f * std::min(1.0f, 4.0f * std::fabs(lean) / k_pi);
}

const track::TileType& tile_at(const track::Terrain* terrain, float x, float z)
{
    if (terrain) {
        if (const track::TileType* tile = track::terrain_tile(*terrain, x, z))
            return *tile;
    }
    return default_tile();
}

Vec3 upward_normal(Vec3 n)
{
    if (n.y >= 0)
        return n;
    Vec3 flat{n.x, 0, n.z};
    return length_sq(flat) >= 1.0f / 1024 ? normalized(flat) : Vec3{0, 1, 0};
}

bool wheel_contact(const SimWorld& world, WheelContact& w, float scale, dContact& ct)
{
    w.depth = 0;
    if (!world.terrain)
        return false;
    Vec3 c = body_position(w.body);
    Vec3 a = normalized(body_vector_to_world(w.body, w.axle));
    TorusHit hit = torus_terrain(*world.terrain, c, a, w.ring_radius, w.section_radius);
    if (!(hit.depth > 0))
        return false;
    Vec3 n = upward_normal(hit.normal);
    w.depth = hit.depth;
    w.point = hit.point;
    w.normal = n;
    w.point_velocity = body_point_vel(w.body, hit.point);

    const track::TileType& tile = tile_at(world.terrain, hit.point.x, hit.point.z);
    float mu = track::friction_at_speed(tile, length_sq(w.point_velocity)) * scale;
    TyreSpring s = tyre_spring(hit.depth, w.section_radius);

    Vec3 fdir = cross(w.point_velocity, n);
    if (length_sq(fdir) < 1.0f / 1024)
        fdir = cross(a, n);
    fdir = normalized(fdir);

    ct = dContact{};
    ct.surface.mode = dContactApprox1 | dContactSoftERP | dContactSoftCFM;
    if (length_sq(fdir) > 0) {
        ct.surface.mode |= dContactFDir1;
        ct.fdir1[0] = fdir.x, ct.fdir1[1] = fdir.y, ct.fdir1[2] = fdir.z;
    }
    ct.surface.mu = mu;
    ct.surface.soft_erp = soft_erp(s.k, s.d);
    ct.surface.soft_cfm = soft_cfm(s.k, s.d);
    ct.geom.pos[0] = hit.point.x, ct.geom.pos[1] = hit.point.y, ct.geom.pos[2] = hit.point.z;
    ct.geom.normal[0] = n.x, ct.geom.normal[1] = n.y, ct.geom.normal[2] = n.z;
    ct.geom.depth = hit.depth;
    return true;
}

bool collide_wheel(SimWorld& world, WheelContact& w, float scale)
{
    dContact ct;
    if (!wheel_contact(world, w, scale, ct))
        return false;
    dJointID j = dJointCreateContact(world.id(), world.group(), &ct);
    dJointAttach(j, w.body, nullptr);
    dJointSetFeedback(j, &w.feedback);

    // Rolling resistance.
    Vec3 n = w.normal;
    float m = std::min(1.0f, w.depth / w.section_radius);
    const track::TileType& tile = tile_at(world.terrain, w.point.x, w.point.z);
    Vec3 v = body_linear_vel(w.body);
    Vec3 vt = v - n * dot(v, n);
    float p = length(vt);
    track::RollingResistance rr = track::rolling_resistance_at_speed(tile, p);
    float f = rr.low + (rr.high - rr.low) * m;
    Vec3 dir = p > 1 ? vt * (1.0f / p) : vt;
    Vec3 force = dir * -f;
    dBodyAddForce(w.body, force.x, force.y, force.z);
    return true;
}

}  // namespace zv::sim
