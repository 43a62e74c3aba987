// Square grounds built in memory, and wheel facts for roost and erosion
// tests.
#pragma once

#include "track/terrain.h"
#include "track/wheel_facts.h"

namespace zv::test {

// Size exponent n: 2^(n+1) + 1 samples a side, `cell` apart and all at
// `height`, and 2^n tile cells a side; no tile types, no tile map.
inline track::Terrain square_ground(int n, float cell, float height = 0.0f)
{
    track::Terrain t;
    const int cells = 2 << n;
    t.size_exponent = n;
    t.grid_side = cells + 1;
    t.tile_side = cells / 2;
    t.cell_size = cell;
    t.field_size = cell * static_cast<float>(cells);
    t.min_height = t.max_height = height;
    t.heights.assign(static_cast<std::size_t>(t.grid_side) * static_cast<std::size_t>(t.grid_side), height);
    return t;
}

// The same ground everywhere covered by a single tile type.
inline track::Terrain one_tile_ground(int n, float cell, float height = 0.0f)
{
    track::Terrain t = square_ground(n, cell, height);
    t.tiles.resize(1);
    t.tile_map.assign(static_cast<std::size_t>(t.tile_side) * static_cast<std::size_t>(t.tile_side), 0);
    return t;
}

// 65 x 65 samples of cell 1 with a single tile.
inline track::Terrain flat_ground(float height = 0.0f) { return one_tile_ground(5, 1.0f, height); }

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
