#include "autopilot/centre_line.h"

#include <algorithm>
#include <cmath>

namespace zv::autopilot {
namespace {

// The frame rides about this high over the ground.
constexpr float k_frame_height = 2;
// Hermite tangents: this share of the chord along each gate's direction.
constexpr float k_tangent_share = 1.0f;
// Gates closer to parallel than this (sine of the angle) meet too far away
// for one corner; turns sharper than this (cosine) hold two corners.
constexpr float k_min_corner_sine = 0.05f;
constexpr float k_max_corner_cosine = -0.85f;

struct Knot {
    float x, z;
    float dx, dz;  // unit direction of travel
};

float ground(const track::Terrain& t, float x, float z) { return track::terrain_height(t, x, z); }

// Signed horizontal curvature at b of the path a-b-c (1 / radius).
float curvature(const LinePoint& a, const LinePoint& b, const LinePoint& c)
{
    float abx = b.x - a.x, abz = b.z - a.z, bcx = c.x - b.x, bcz = c.z - b.z, acx = c.x - a.x, acz = c.z - a.z;
    float la = std::hypot(abx, abz), lb = std::hypot(bcx, bcz), lc = std::hypot(acx, acz);
    float den = la * lb * lc;
    if (den < 1e-6f)
        return 0;
    return 2 * (abx * bcz - abz * bcx) / den;
}

// Between two gates whose directions meet ahead of the first and behind
// the second (one corner between them): straight toward the corner, the
// widest arc that touches both directions, straight on. The courses are
// made of straights and arcs, so this follows them closely where a smooth
// curve through the gates would cut the corner. False when the gates do
// not meet that way (parallel, opposed, an S or a hairpin between them).
bool corner_between(const Knot& a, const Knot& b, float spacing, std::vector<LinePoint>& out)
{
    float det = a.dx * b.dz - a.dz * b.dx;
    float dot = a.dx * b.dx + a.dz * b.dz;
    if (std::fabs(det) < k_min_corner_sine || dot < k_max_corner_cosine)
        return false;
    float rx = b.x - a.x, rz = b.z - a.z;
    float ahead = (rx * b.dz - rz * b.dx) / det;   // from a to the corner
    float behind = (a.dx * rz - a.dz * rx) / det;  // from the corner to b
    if (ahead < 0 || behind < 0)
        return false;
    float turn = std::atan2(std::fabs(det), dot);
    float tangent = std::min(ahead, behind);
    float radius = tangent / std::tan(turn / 2);
    float vx = a.x + a.dx * ahead, vz = a.z + a.dz * ahead;
    float t1x = vx - a.dx * tangent, t1z = vz - a.dz * tangent;
    float side = det > 0 ? 1.0f : -1.0f;
    float cx = t1x - side * a.dz * radius, cz = t1z + side * a.dx * radius;
    auto straight = [&](float x0, float z0, float x1, float z1) {
        float len = std::hypot(x1 - x0, z1 - z0);
        int steps = static_cast<int>(std::ceil(len / spacing));
        for (int k = 0; k < steps; ++k) {
            float u = static_cast<float>(k) / static_cast<float>(steps);
            out.push_back({x0 + (x1 - x0) * u, 0, z0 + (z1 - z0) * u, 0, 1});
        }
    };
    straight(a.x, a.z, t1x, t1z);
    int steps = std::max(1, static_cast<int>(std::ceil(radius * turn / spacing)));
    float ox = t1x - cx, oz = t1z - cz;
    for (int k = 0; k < steps; ++k) {
        float phi = side * turn * static_cast<float>(k) / static_cast<float>(steps);
        float c = std::cos(phi), s = std::sin(phi);
        out.push_back({cx + ox * c - oz * s, 0, cz + ox * s + oz * c, 0, 1});
    }
    straight(vx + b.dx * tangent, vz + b.dz * tangent, b.x, b.z);
    return true;
}

// A smooth curve leaving a along its direction and reaching b along its.
void curve_between(const Knot& a, const Knot& b, float spacing, std::vector<LinePoint>& out)
{
    float chord = std::hypot(b.x - a.x, b.z - a.z);
    float m = chord * k_tangent_share;
    int steps = std::max(1, static_cast<int>(std::ceil(chord / spacing)));
    for (int s = 0; s < steps; ++s) {
        float u = static_cast<float>(s) / static_cast<float>(steps);
        float u2 = u * u, u3 = u2 * u;
        float h00 = 2 * u3 - 3 * u2 + 1, h10 = u3 - 2 * u2 + u, h01 = -2 * u3 + 3 * u2, h11 = u3 - u2;
        LinePoint q;
        q.x = h00 * a.x + h10 * m * a.dx + h01 * b.x + h11 * m * b.dx;
        q.z = h00 * a.z + h10 * m * a.dz + h01 * b.z + h11 * m * b.dz;
        out.push_back(q);
    }
}

}  // namespace

CentreLinePace centre_line_pace(float pace)
{
    pace = std::clamp(pace, 0.0f, 1.0f);
    CentreLinePace p;
    p.top_speed = 50 + 40 * pace;
    p.cornering = 11 + 7 * pace;
    p.braking = 16 + 6 * pace;
    p.accelerating = 12 + 6 * pace;
    p.crest = 1.2f + 0.3f * pace;
    return p;
}

void set_line_speeds(std::vector<LinePoint>& line, const CentreLinePace& pace)
{
    const size_t n = line.size();
    for (LinePoint& q : line)
        q.speed = pace.top_speed;
    // Turns, from the curvature over neighbours a few points apart (less
    // noise than adjacent points).
    constexpr size_t span = 2;
    for (size_t i = span; i + span < n; ++i) {
        float k = std::fabs(curvature(line[i - span], line[i], line[i + span]));
        if (k > 1e-5f)
            line[i].speed = std::min(line[i].speed, std::sqrt(pace.cornering / k));
    }
    // Crests: the ground falling away under a fast bike throws it.
    if (pace.crest > 0) {
        for (size_t i = span; i + span < n; ++i) {
            float d1 = std::hypot(line[i].x - line[i - span].x, line[i].z - line[i - span].z);
            float d2 = std::hypot(line[i + span].x - line[i].x, line[i + span].z - line[i].z);
            if (d1 < 1e-3f || d2 < 1e-3f)
                continue;
            float s1 = (line[i].y - line[i - span].y) / d1, s2 = (line[i + span].y - line[i].y) / d2;
            float kv = (s2 - s1) / (0.5f * (d1 + d2));
            if (kv < -1e-4f)
                line[i].speed = std::min(line[i].speed, std::sqrt(pace.crest * 32 / -kv));
        }
    }
    // Braking into slow places, accelerating out of them.
    for (size_t i = n; i-- > 1;) {
        float d = std::hypot(line[i].x - line[i - 1].x, line[i].z - line[i - 1].z);
        line[i - 1].speed = std::min(line[i - 1].speed, std::sqrt(line[i].speed * line[i].speed + 2 * pace.braking * d));
    }
    for (size_t i = 1; i < n; ++i) {
        float d = std::hypot(line[i].x - line[i - 1].x, line[i].z - line[i - 1].z);
        line[i].speed = std::min(line[i].speed, std::sqrt(line[i - 1].speed * line[i - 1].speed + 2 * pace.accelerating * d));
    }
}

void offset_line(std::vector<LinePoint>& line, float offset, const track::Terrain& terrain,
                 const CentreLinePace& pace)
{
    const size_t n = line.size();
    if (n < 2)
        return;
    std::vector<LinePoint> moved = line;
    for (size_t i = 0; i < n; ++i) {
        const LinePoint& a = line[i > 0 ? i - 1 : 0];
        const LinePoint& b = line[i + 1 < n ? i + 1 : n - 1];
        float dx = b.x - a.x, dz = b.z - a.z;
        float len = std::hypot(dx, dz);
        if (len < 1e-4f)
            continue;
        // Left of the direction of travel, seen from above with y up.
        moved[i].x += offset * dz / len;
        moved[i].z -= offset * dx / len;
        moved[i].y = ground(terrain, moved[i].x, moved[i].z) + k_frame_height;
    }
    line = std::move(moved);
    set_line_speeds(line, pace);
}

std::vector<LinePoint> centre_line(const track::TrackTiming& timing, const track::Terrain& terrain, float start_x,
                                   float start_z, float start_heading, int positions, const CentreLinePace& pace,
                                   float spacing)
{
    std::vector<LinePoint> line;
    if (!timing.has_timing() || positions <= 0 || !(spacing > 0))
        return line;
    std::vector<Knot> knots;
    knots.push_back({start_x, start_z, -std::sin(start_heading), -std::cos(start_heading)});
    for (int p = 0; p < positions; ++p) {
        const track::Checkpoint* c = track::checkpoint_of_position(timing, p);
        if (!c)
            break;
        float len = std::hypot(c->dir_x, c->dir_z);
        float dx = len > 1e-6f ? c->dir_x / len : 0, dz = len > 1e-6f ? c->dir_z / len : 0;
        knots.push_back({c->x, c->z, dx, dz});
    }
    for (size_t k = 0; k + 1 < knots.size(); ++k) {
        const Knot& a = knots[k];
        const Knot& b = knots[k + 1];
        float chord = std::hypot(b.x - a.x, b.z - a.z);
        if (chord < 1e-3f)
            continue;
        if (!corner_between(a, b, spacing, line))
            curve_between(a, b, spacing, line);
    }
    if (!knots.empty() && knots.size() > 1)
        line.push_back({knots.back().x, 0, knots.back().z, 0, 1});
    for (LinePoint& q : line) {
        q.y = ground(terrain, q.x, q.z) + k_frame_height;
        q.attitude = 1;
    }
    set_line_speeds(line, pace);
    return line;
}

}  // namespace zv::autopilot
