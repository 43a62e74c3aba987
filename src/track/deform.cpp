#include "track/deform.h"

#include <algorithm>
#include <cmath>

namespace zv::track {

namespace {

// Pushes weaker than this (squared) carry no direction worth digging along.
constexpr float k_min_push_squared = 1.0f / 1024.0f;
// Material moved per event at full strength and depth 1, per unit of strength.
constexpr float k_erosion_amount_scale = 1.0f / 2048.0f;

float clamp01(float v) { return v < 0.0f ? 0.0f : (v > 1.0f ? 1.0f : v); }

// (v - lo) / (hi - lo) limited to [0, 1]; a zero-width range is a step at lo.
float ramp(float v, float lo, float hi)
{
    if (!(hi != lo))
        return v > lo ? 1.0f : 0.0f;
    return clamp01((v - lo) / (hi - lo));
}

void record(const Terrain& t, ErosionRing& ring, const WheelFacts& w)
{
    if (!(w.depth > 0.0f) || erosion_ring_full(ring))
        return;
    const TileType* tile = terrain_tile(t, w.contact_point.x, w.contact_point.z);
    if (!tile)
        return;
    float speed = std::sqrt(w.velocity.x * w.velocity.x + w.velocity.y * w.velocity.y + w.velocity.z * w.velocity.z);
    float k = ramp(speed, tile->erode_off_speed, tile->erode_on_speed);
    float fx = k * w.force_x, fz = k * w.force_z;
    float f2 = fx * fx + fz * fz;
    if (!(std::sqrt(f2) > tile->erode_lower) || !(f2 > k_min_push_squared))
        return;
    ring.events[static_cast<std::size_t>(ring.write)] = {w.contact_point.x, w.contact_point.z, fx, fz};
    ring.write = (ring.write + 1) % k_erosion_ring_size;
}

void apply(Terrain& t, const ErosionEvent& e, float strength)
{
    const TileType* tile = terrain_tile(t, e.x, e.z);
    if (!tile)
        return;
    float push = std::sqrt(e.fx * e.fx + e.fz * e.fz);
    if (!(push > 0.0f))
        return;
    float d = ramp(push, tile->erode_lower, tile->erode_upper) * tile->erode_displacement;
    // The material moves against the push the ground gave the wheel.
    float tx = e.x - e.fx / push * d, tz = e.z - e.fz / push * d;
    if (!(terrain_height(t, tx, tz) - terrain_height(t, e.x, e.z) <= d * tile->erode_max_slope))
        return;  // too far uphill
    float a = strength * k_erosion_amount_scale * tile->erode_depth;
    deform(t, e.x, e.z, tile->erode_radius, -a);
    deform(t, tx, tz, tile->erode_radius, a);
}

}  // namespace

void deform(Terrain& t, float x, float z, float radius, float amount)
{
    if (amount == 0.0f || t.locked || t.heights.empty() || !(t.cell_size > 0.0f) || !(radius > 0.0f))
        return;
    float u = x / t.cell_size, v = z / t.cell_size, r = radius / t.cell_size;
    // Beyond these limits no sample can be touched; they also keep the
    // integer loop bounds far from overflow for wild input.
    float side = static_cast<float>(t.grid_side);
    if (!(r < 4.0f * side) || !(std::fabs(u) < 6.0f * side) || !(std::fabs(v) < 6.0f * side))
        return;
    int m = static_cast<int>(std::ceil(r));
    int fu = static_cast<int>(std::floor(u)), fv = static_cast<int>(std::floor(v));
    int last = t.grid_side - 1;
    int i0 = std::max(0, fu - m + 1), i1 = std::min(last, fu + m);
    int j0 = std::max(0, fv - m + 1), j1 = std::min(last, fv + m);
    if (i0 > i1 || j0 > j1)
        return;
    for (int j = j0; j <= j1; ++j)
        for (int i = i0; i <= i1; ++i) {
            float du = u - static_cast<float>(i), dv = v - static_cast<float>(j);
            float dist = std::sqrt(du * du + dv * dv);
            if (dist > r)
                continue;
            float q = dist / r;
            float w = 2.0f * q * q * q - 3.0f * q * q + 1.0f;
            float& h = t.heights[static_cast<std::size_t>(i) + static_cast<std::size_t>(t.grid_side) * j];
            h += amount * w;
            t.max_height = std::max(t.max_height, h);
            t.min_height = std::min(t.min_height, h);
            t.modified = true;
        }
    notify_terrain_heights_changed(t, i0, j0, i1, j1);
    ++t.change_count;
}

void erode(Terrain& t, ErosionRing& ring, const RiderWheels& rider, float strength)
{
    if (!(strength > 0.0f))
        return;
    record(t, ring, rider.front);
    record(t, ring, rider.rear);
    for (int n = 0; n < k_erosion_events_per_tick && ring.read != ring.write; ++n) {
        const ErosionEvent& e = ring.events[static_cast<std::size_t>(ring.read)];
        float dx = e.x - rider.body_position.x, dz = e.z - rider.body_position.z;
        if (dx * dx + dz * dz < k_erosion_wait_distance * k_erosion_wait_distance)
            break;  // still under the bike: wait for a later tick
        ErosionEvent ready = e;
        ring.read = (ring.read + 1) % k_erosion_ring_size;
        apply(t, ready, strength);
    }
}

}  // namespace zv::track
