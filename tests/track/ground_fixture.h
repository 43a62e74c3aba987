// A flat 65 x 65 terrain of cell 1 with a single tile, built in memory, and
// wheel facts for roost and erosion tests.
#pragma once

#include "track/terrain.h"
#include "track/wheel_facts.h"

namespace zv::test {

inline track::Terrain flat_ground(float height = 0.0f)
{
    track::Terrain t;
    t.size_exponent = 5;
    t.grid_side = 65;
    t.tile_side = 32;
    t.cell_size = 1.0f;
    t.field_size = 64.0f;
    t.min_height = t.max_height = height;
    t.heights.assign(65 * 65, height);
    t.tiles.resize(1);
    t.tile_map.assign(32 * 32, 0);
    return t;
}

inline float& sample_at(track::Terrain& t, int i, int j)
{
    return t.heights[static_cast<std::size_t>(i + t.grid_side * j)];
}

// A wheel touching the ground at (x, y, z), rolling along +x at `speed`.
inline track::WheelFacts wheel_at(float x, float y, float z, float speed = 20.0f)
{
    track::WheelFacts w;
    w.depth = 0.1f;
    w.contact_point = {x, y, z};
    w.contact_normal = {0, 1, 0};
    w.position = {x, y + 1.0f, z};
    w.axle = {0, 0, 1};
    w.velocity = {speed, 0, 0};
    return w;
}

}  // namespace zv::test
