#include "render/terrain_lod.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace zv::render {

int chunks_per_side(int grid_side)
{
    int cells = grid_side - 1;
    return cells <= 0 ? 0 : (cells + k_chunk_cells - 1) / k_chunk_cells;
}

int lod_step(float distance, float detail_distance)
{
    int step = 1;
    if (!(detail_distance > 0))
        return 1;
    while (step < k_chunk_cells && static_cast<float>(step * 2) * detail_distance <= distance)
        step *= 2;
    return step;
}

int lod_level(int step)
{
    int level = 0;
    while ((1 << level) < step && level < k_lod_levels - 1)
        ++level;
    return level;
}

void append_cell(std::vector<std::uint16_t>& out, int x, int z, int step, int ox, int oz)
{
    auto v = [](int a, int b) { return static_cast<std::uint16_t>(chunk_vertex(a, b)); };
    int x1 = x + step, z1 = z + step;
    // Same diagonals as the collision surface where the cell is one cell.
    bool even = step > 1 || (((ox + x) + (oz + z)) & 1) == 0;
    if (even) {  // diagonal (x, z) - (x1, z1)
        out.insert(out.end(), {v(x, z), v(x, z1), v(x1, z1)});
        out.insert(out.end(), {v(x, z), v(x1, z1), v(x1, z)});
    } else {     // diagonal (x1, z) - (x, z1)
        out.insert(out.end(), {v(x, z), v(x, z1), v(x1, z)});
        out.insert(out.end(), {v(x1, z), v(x, z1), v(x1, z1)});
    }
}

void append_skirts(std::vector<std::uint16_t>& out, int step)
{
    auto g = [](int a, int b) { return static_cast<std::uint16_t>(chunk_vertex(a, b)); };
    auto s = [](int side, int k) { return static_cast<std::uint16_t>(skirt_vertex(side, k)); };
    for (int k = 0; k < k_chunk_cells; k += step) {
        int k1 = k + step;
        // Both windings, so the skirt shows from either side with culling on.
        auto quad = [&](std::uint16_t a, std::uint16_t b, std::uint16_t c, std::uint16_t d) {
            out.insert(out.end(), {a, c, b, b, c, d});
            out.insert(out.end(), {a, b, c, b, d, c});
        };
        quad(g(k, 0), g(k1, 0), s(0, k), s(0, k1));
        quad(g(k_chunk_cells, k), g(k_chunk_cells, k1), s(1, k), s(1, k1));
        quad(g(k, k_chunk_cells), g(k1, k_chunk_cells), s(2, k), s(2, k1));
        quad(g(0, k), g(0, k1), s(3, k), s(3, k1));
    }
}

std::array<float, k_lod_levels> lod_errors(const std::vector<float>& pos)
{
    std::array<float, k_lod_levels> error{};
    auto h = [&](int x, int z) { return pos[static_cast<std::size_t>(chunk_vertex(x, z)) * 3 + 1]; };
    for (int level = 1; level < k_lod_levels; ++level) {
        int step = 1 << level;
        float worst = error[static_cast<std::size_t>(level - 1)];
        for (int z = 0; z <= k_chunk_cells; ++z)
            for (int x = 0; x <= k_chunk_cells; ++x) {
                int x0 = std::min(x / step * step, k_chunk_cells - step), z0 = std::min(z / step * step, k_chunk_cells - step);
                float fx = static_cast<float>(x - x0) / step, fz = static_cast<float>(z - z0) / step;
                // The coarse cell's surface (its two triangles along the
                // (x0, z0) - (x1, z1) diagonal).
                float a = h(x0, z0), b = h(x0 + step, z0), c = h(x0, z0 + step), d = h(x0 + step, z0 + step);
                float coarse = fx >= fz ? a + fx * (b - a) + fz * (d - b) : a + fz * (c - a) + fx * (d - c);
                worst = std::max(worst, std::fabs(coarse - h(x, z)));
            }
        error[static_cast<std::size_t>(level)] = worst;
    }
    return error;
}

namespace {
TerrainDetail g_detail;
}  // namespace

TerrainDetail terrain_detail_for(float factor, float detail_distance, float fade_distance)
{
    TerrainDetail d;
    if (std::isnan(factor))
        factor = k_default_detail_factor;
    if (factor > 0) {
        d.step_distance = k_step_distance_per_inverse_factor / factor;
        d.error_angle = k_error_angle_per_factor * factor;
    } else {
        // No detail factor at all: every chunk at full detail.
        d.step_distance = std::numeric_limits<float>::infinity();
        d.error_angle = 0;
    }
    d.full_detail_distance = std::isfinite(detail_distance) ? std::max(0.0f, detail_distance) : 0.0f;
    d.fade_distance = std::isfinite(fade_distance) ? std::max(d.full_detail_distance, fade_distance) : d.full_detail_distance;
    return d;
}

float detail_rule_distance(float distance, const TerrainDetail& d)
{
    if (distance >= d.fade_distance)
        return distance;
    if (distance <= d.full_detail_distance)
        return 0;
    return distance * (distance - d.full_detail_distance) / (d.fade_distance - d.full_detail_distance);
}

int chunk_level(const std::array<float, k_lod_levels>& error, float distance, const TerrainDetail& d)
{
    float seen = detail_rule_distance(distance, d);
    if (!(seen > 0))
        return 0;
    int floor = lod_level(lod_step(seen, d.step_distance));
    float allowed = seen * d.error_angle;
    int level = 0;
    while (level + 1 < k_lod_levels && error[static_cast<std::size_t>(level + 1)] <= allowed)
        ++level;
    return std::max(level, floor);
}

bool chunk_beyond_tiles(float distance, const TerrainDetail& d)
{
    constexpr int k_far_level = 3;
    return lod_level(lod_step(detail_rule_distance(distance, d), d.step_distance)) >= k_far_level;
}

void set_terrain_detail(const TerrainDetail& detail) { g_detail = detail; }
const TerrainDetail& terrain_detail() { return g_detail; }

}  // namespace zv::render
