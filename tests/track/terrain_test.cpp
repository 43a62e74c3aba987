// Height, normal and tile queries on a terrain built in memory.
#include "track/terrain.h"
#include "track/ground_fixture.h"
#include "support/expect_rows.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <tuple>

namespace zv::track {
namespace {

// N = 1: 5 x 5 samples of cell 2 (field 8), 2 x 2 tiles of edge 4.
Terrain small_terrain()
{
    Terrain t = test::square_ground(1, 2.0f);
    auto set = [&](int i, int j, float h) { t.heights[static_cast<std::size_t>(i + 5 * j)] = h; };
    // Cell (0, 0) has an even diagonal, cell (1, 0) an odd one.
    set(0, 0, 1);
    set(1, 0, 3);
    set(2, 0, 2);
    set(0, 1, 5);
    set(1, 1, 10);
    set(2, 1, 4);
    set(4, 3, 7);
    set(4, 4, 9);
    return t;
}

TEST(TerrainHeight, EvenCellTrianglesAndDiagonal)
{
    Terrain t = small_terrain();
    // fu = 0.75, fv = 0.25: triangle (1,0) (0,0) (1,1).
    EXPECT_FLOAT_EQ(terrain_height(t, 1.5f, 0.5f), 4.25f);
    // fu = 0.25, fv = 0.75: triangle (0,1) (1,1) (0,0).
    EXPECT_FLOAT_EQ(terrain_height(t, 0.5f, 1.5f), 5.25f);
    // On the diagonal both triangles give the mean of its ends.
    EXPECT_FLOAT_EQ(terrain_height(t, 1.0f, 1.0f), 5.5f);
    EXPECT_FLOAT_EQ(terrain_height(t, 0.4f, 0.4f), 1.0f + 0.2f * 9.0f);
    // Samples themselves.
    EXPECT_FLOAT_EQ(terrain_height(t, 0.0f, 0.0f), 1.0f);
    EXPECT_FLOAT_EQ(terrain_height(t, 2.0f, 2.0f), 10.0f);
}

TEST(TerrainHeight, OddCellTrianglesAndDiagonal)
{
    Terrain t = small_terrain();
    // fu = fv = 0.25: triangle (1,0) (2,0) (1,1).
    EXPECT_FLOAT_EQ(terrain_height(t, 2.5f, 0.5f), 4.5f);
    // fu = fv = 0.75: triangle (2,1) (1,1) (2,0).
    EXPECT_FLOAT_EQ(terrain_height(t, 3.5f, 1.5f), 5.0f);
    // fu + fv = 1 lies on the diagonal (2,0)-(1,1): both give 4.
    EXPECT_FLOAT_EQ(terrain_height(t, 3.5f, 0.5f), 4.0f);
    EXPECT_FLOAT_EQ(terrain_height(t, 3.0f, 1.0f), 6.0f);  // midpoint of 2 and 10
}

TEST(TerrainHeight, OutsideTheFieldContinuesFromTheEdge)
{
    Terrain t = small_terrain();
    // x = -5 gives the height at x = 0 for the same z.
    EXPECT_FLOAT_EQ(terrain_height(t, -5.0f, 0.5f), terrain_height(t, 0.0f, 0.5f));
    EXPECT_FLOAT_EQ(terrain_height(t, -5.0f, 0.5f), 2.0f);
    EXPECT_FLOAT_EQ(terrain_height(t, 1.5f, -3.0f), 2.5f);
    // Beyond the far edges: the last column and row.
    // The first lies between (4,3) = 7 and (4,4) = 9.
    for (auto [x, z, height] : {std::tuple{100.0f, 7.0f, 8.0f}, {8.0f, 8.0f, 9.0f}, {1e30f, 1e30f, 9.0f},
                                {-1e30f, -1e30f, 1.0f}})
        EXPECT_FLOAT_EQ(terrain_height(t, x, z), height) << x << " " << z;
    // Nonsense coordinates still read inside the grid.
    float nan = std::numeric_limits<float>::quiet_NaN();
    EXPECT_TRUE(std::isfinite(terrain_height(t, nan, nan)));
    EXPECT_TRUE(std::isfinite(terrain_height(t, std::numeric_limits<float>::infinity(), 1.0f)));
}

TEST(TerrainHeight, EmptyTerrainAnswersZero)
{
    Terrain t;
    EXPECT_EQ(terrain_height(t, 1.0f, 1.0f), 0.0f);
    EXPECT_EQ(terrain_tile(t, 1.0f, 1.0f), nullptr);
}

TEST(TerrainNormal, EachTriangleGivesCellSquaredTimesSlopes)
{
    Terrain t = small_terrain();
    struct Case {
        float x, z, nx, ny, nz;
    } cases[] = {
        {1.5f, 0.5f, -4, 4, -14},  // even cell, fv <= fu: slopes 1 and 3.5
        {0.5f, 1.5f, -10, 4, -8},  // even cell, fv > fu
        {2.5f, 0.5f, 2, 4, -14},   // odd cell, fu + fv <= 1
        {3.5f, 1.5f, 12, 4, -4},   // odd cell, fu + fv > 1
        {-5.0f, 0.5f, 0, 4, -8},   // beyond the edge: flat across, sloped along it
    };
    for (const Case& c : cases) {
        TerrainVec3 n = terrain_normal(t, c.x, c.z);
        SCOPED_TRACE(std::to_string(c.x) + "," + std::to_string(c.z));
        test::expect_float_rows("normal", {{n.x, c.nx}, {n.y, c.ny}, {n.z, c.nz}});
    }
}

TEST(TerrainNormal, PerpendicularToTheSurfaceItCameFrom)
{
    Terrain t = small_terrain();
    // Small steps inside one triangle stay on its plane.
    for (float x : {0.3f, 1.1f, 2.7f, 3.3f, 5.2f}) {
        for (float z : {0.2f, 0.9f, 1.7f, 3.1f, 6.6f}) {
            TerrainVec3 n = terrain_normal(t, x, z);
            EXPECT_GT(n.y, 0.0f);
            const float d = 0.01f;
            float h = terrain_height(t, x, z);
            float hx = terrain_height(t, x + d, z), hz = terrain_height(t, x, z + d);
            EXPECT_NEAR(n.x * d + n.y * (hx - h), 0.0f, 1e-3f) << x << "," << z;
            EXPECT_NEAR(n.z * d + n.y * (hz - h), 0.0f, 1e-3f) << x << "," << z;
        }
    }
}

TEST(TerrainTile, TruncatesAndClamps)
{
    Terrain t = small_terrain();
    t.tiles.resize(9);
    t.tile_map = {5, 6, 7, 8};
    // -0.5 truncates toward zero.
    for (auto [x, z, index] : {std::tuple{3.9f, 0.0f, 0}, {4.0f, 0.0f, 1}, {-0.5f, 4.5f, 2}, {-100.0f, 5.0f, 2},
                               {100.0f, 100.0f, 3}, {std::numeric_limits<float>::quiet_NaN(), 7.9f, 2}})
        EXPECT_EQ(terrain_tile_index(t, x, z), index) << x << " " << z;
    EXPECT_EQ(terrain_tile(t, 5.0f, 5.0f), &t.tiles[8]);
    EXPECT_EQ(terrain_tile(t, 1.0f, 5.0f), &t.tiles[7]);
}

TEST(TerrainVertexNormal, FlatSlopedAndEdge)
{
    Terrain t = small_terrain();
    std::fill(t.heights.begin(), t.heights.end(), 3.0f);
    TerrainVec3 flat = terrain_vertex_normal(t, 2, 2);
    test::expect_float_rows("flat", {{flat.x, 0.0f}, {flat.y, 1.0f}, {flat.z, 0.0f}});

    // The plane h = 0.5 x + 0.25 z: every fan normal is the plane's.
    for (int j = 0; j < 5; ++j)
        for (int i = 0; i < 5; ++i)
            t.heights[static_cast<std::size_t>(i + 5 * j)] = 0.5f * 2.0f * i + 0.25f * 2.0f * j;
    TerrainVec3 n = terrain_vertex_normal(t, 2, 2);
    float len = std::sqrt(0.25f + 1.0f + 0.0625f);
    EXPECT_NEAR(n.x, -0.5f / len, 1e-6f);
    EXPECT_NEAR(n.y, 1.0f / len, 1e-6f);
    EXPECT_NEAR(n.z, -0.25f / len, 1e-6f);

    // At the corner the clamped heights flatten half the fan; the result is
    // still a unit vector that leans the plane's way, less steeply.
    TerrainVec3 c = terrain_vertex_normal(t, 0, 0);
    EXPECT_NEAR(c.x * c.x + c.y * c.y + c.z * c.z, 1.0f, 1e-6f);
    EXPECT_LT(c.x, 0.0f);
    EXPECT_GT(c.x, n.x);
    EXPECT_GT(c.y, n.y);
}

TEST(TerrainLowDetail, CountAndRectangles)
{
    Terrain t;
    t.size_exponent = 9;
    t.grid_side = 1025;
    EXPECT_EQ(low_detail_texture_count(t), 3);
    SampleRect r0 = low_detail_texture_rect(t, 0, 0);
    EXPECT_EQ(r0.x0, 0);
    EXPECT_EQ(r0.x1, 448);
    SampleRect r1 = low_detail_texture_rect(t, 1, 2);
    EXPECT_EQ(std::tuple(r1.x0, r1.x1, r1.z0, r1.z1), std::tuple(320, 832, 704, 1025));
    t.size_exponent = 1;
    EXPECT_EQ(low_detail_texture_count(t), 0);
    t.size_exponent = 12;
    EXPECT_EQ(low_detail_texture_count(t), 22);
}

TEST(TerrainDecal, BoundingBoxFollowsTheAngle)
{
    Decal d;
    d.size = 4;
    d.aspect = 2;
    d.sin_angle = 0;
    d.cos_angle = 1;
    DecalExtent e = decal_extent(d);
    EXPECT_FLOAT_EQ(e.half_x, 4.0f);
    EXPECT_FLOAT_EQ(e.half_z, 2.0f);
    d.sin_angle = 1;
    d.cos_angle = 0;
    e = decal_extent(d);
    EXPECT_FLOAT_EQ(e.half_x, 2.0f);
    EXPECT_FLOAT_EQ(e.half_z, 4.0f);
    d.sin_angle = d.cos_angle = std::sqrt(0.5f);
    e = decal_extent(d);
    EXPECT_FLOAT_EQ(e.half_x, 6.0f * std::sqrt(0.5f));
    EXPECT_FLOAT_EQ(e.half_z, 6.0f * std::sqrt(0.5f));
}

}  // namespace
}  // namespace zv::track
