#include "render/terrain_relief.h"

#include <algorithm>
#include <cmath>

namespace zv::render {

namespace {

constexpr float k_least_light = 0.1f;
constexpr float k_least_factor = 0.25f, k_most_factor = 2.0f;

float height(std::span<const float> h, int side, int i, int j)
{
    i = std::clamp(i, 0, side - 1);
    j = std::clamp(j, 0, side - 1);
    return h[static_cast<std::size_t>(i) + static_cast<std::size_t>(side) * static_cast<std::size_t>(j)];
}

// The sun on the surface through (i, j) from its neighbours' heights.
float lambert(std::span<const float> h, int side, float cell, int i, int j, const Vec3f& sun)
{
    float nx = (height(h, side, i - 1, j) - height(h, side, i + 1, j)) / (2 * cell);
    float nz = (height(h, side, i, j - 1) - height(h, side, i, j + 1)) / (2 * cell);
    float len = std::sqrt(nx * nx + 1 + nz * nz);
    return std::max(k_least_light, (nx * sun[0] + sun[1] + nz * sun[2]) / len);
}

}  // namespace

float relief_factor(const track::Terrain& t, std::span<const float> base, int i, int j, const Vec3f& sun)
{
    const int side = t.grid_side;
    const std::size_t n = static_cast<std::size_t>(side) * static_cast<std::size_t>(side);
    if (side < 2 || !(t.cell_size > 0) || base.size() != n || t.heights.size() != n)
        return 1;
    bool changed = false;
    for (int b = -1; b <= 1 && !changed; ++b)
        for (int a = -1; a <= 1 && !changed; ++a)
            changed = height(base, side, i + a, j + b) != height(t.heights, side, i + a, j + b);
    if (!changed)
        return 1;
    float sl = std::sqrt(sun[0] * sun[0] + sun[1] * sun[1] + sun[2] * sun[2]);
    if (!(sl > 0))
        return 1;
    const Vec3f s = {sun[0] / sl, sun[1] / sl, sun[2] / sl};
    float now = lambert(t.heights, side, t.cell_size, i, j, s);
    float before = lambert(base, side, t.cell_size, i, j, s);
    return std::clamp(now / before, k_least_factor, k_most_factor);
}

}  // namespace zv::render
