// The terrain's chunk layout: chunk counts, the step chosen by distance,
// cells that follow the checkerboard diagonals, skirts on every edge.
#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <utility>

#include "render/terrain_lod.h"

namespace zv::render {
namespace {

TEST(TerrainLod, ChunksCoverTheGrid)
{
    // 3 samples: N = 0, two cells.
    for (auto [samples, chunks] : {std::pair{1025, 32}, {3, 1}, {33, 1}, {34, 2}, {1, 0}})
        EXPECT_EQ(chunks_per_side(samples), chunks) << samples;
}

TEST(TerrainLod, StepDoublesWithDistance)
{
    struct Case {
        float distance, step_distance;
        int step;
    };
    for (const Case& c : {Case{0, 48, 1}, {95, 48, 1}, {96, 48, 2}, {200, 48, 4}, {1e6f, 48, 32}, {1e6f, 0, 1}})
        EXPECT_EQ(lod_step(c.distance, c.step_distance), c.step) << c.distance << " / " << c.step_distance;
    EXPECT_EQ(std::pair(lod_level(1), lod_level(32)), std::pair(0, 5));
    EXPECT_EQ(std::pair(chunk_triangles(1), chunk_triangles(32)), std::pair(2048, 2));
}

TEST(TerrainLod, DetailFactorSetsTheStepDistanceAndTheErrorAngle)
{
    TerrainDetail d = terrain_detail_for(0.125f / 70.0f);  // "Ground Geometric Detail" 70
    EXPECT_FLOAT_EQ(d.step_distance, 70.0f);
    EXPECT_FLOAT_EQ(d.error_angle, 0.5f / 70.0f);
    EXPECT_FLOAT_EQ(d.full_detail_distance, 0.0f);
    TerrainDetail nan = terrain_detail_for(std::nanf(""));
    EXPECT_FLOAT_EQ(nan.step_distance, d.step_distance);
    // "--max-detail-distance": the fade-out distance never comes before the
    // detail distance; nonsense distances mean none.
    const TerrainDetail sharp = terrain_detail_for(0.0025f, 30, 10);
    EXPECT_FLOAT_EQ(sharp.fade_distance, 30.0f);
    EXPECT_FLOAT_EQ(detail_rule_distance(29.9f, sharp), 0.0f);  // no fading band: a sharp edge
    EXPECT_FLOAT_EQ(detail_rule_distance(30, sharp), 30.0f);
    EXPECT_FLOAT_EQ(terrain_detail_for(0.0025f, -5, 3).full_detail_distance, 0.0f);
    EXPECT_FLOAT_EQ(terrain_detail_for(0.0025f, std::nanf(""), 3).full_detail_distance, 0.0f);

    TerrainDetail zone = terrain_detail_for(0.0025f, 20, 25);
    for (auto [distance, rule] :
         {std::pair{10.0f, 0.0f}, {20.0f, 0.0f}, {22.5f, 11.25f}, {25.0f, 25.0f}, {100.0f, 100.0f}})
        EXPECT_FLOAT_EQ(detail_rule_distance(distance, zone), rule) << distance;
}

TEST(TerrainLod, ChunkLevelByErrorAngleAndStepDistance)
{
    const std::array<float, k_lod_levels> rough = {0, 0.5f, 1, 2, 4, 8}, flat{};
    const TerrainDetail d = terrain_detail_for(0.0025f);  // 50 feet a doubling, 0.01 of the distance
    const TerrainDetail zone = terrain_detail_for(0.0025f, 20, 25);
    const TerrainDetail none = terrain_detail_for(0);
    struct Case {
        const std::array<float, k_lod_levels>* error;
        float distance;
        const TerrainDetail* detail;
        int level;
    } cases[] = {
        {&rough, 0, &d, 0},
        {&rough, 40, &d, 0},      // 0.4 allowed: step 2 errs 0.5
        {&rough, 60, &d, 1},      // 0.6 allowed
        {&rough, 250, &d, 3},     // 2.5 allowed; the step distance asks for 2 only
        {&rough, 1e5f, &d, 5},    // the step distance forces step 32
        {&flat, 1, &d, 5},        // flat ground takes the coarsest step anywhere
        {&flat, 10, &zone, 0},    // ... except within the full-detail distance
        {&rough, 22.5f, &zone, 0},  // fading: seen at 11.25, 0.1125 allowed
        {&rough, 60, &zone, 1},   // past the fade-out distance as without it
        {&rough, 1e5f, &none, 0}, // no detail factor: full detail everywhere
    };
    for (const Case& c : cases)
        EXPECT_EQ(chunk_level(*c.error, c.distance, *c.detail), c.level) << c.distance;
    // The tile textures reach to where the step distance asks for step 8.
    EXPECT_EQ(std::pair(chunk_beyond_tiles(399, d), chunk_beyond_tiles(400, d)), std::pair(false, true));
    EXPECT_FALSE(chunk_beyond_tiles(500, terrain_detail_for(0.0025f, 1000, 1005)));
}

TEST(TerrainLod, CellsUseTheCollisionDiagonals)
{
    std::vector<std::uint16_t> even, odd;
    append_cell(even, 0, 0, 1, 0, 0);  // i + j even: diagonal (0,0)-(1,1)
    append_cell(odd, 1, 0, 1, 0, 0);   // i + j odd: diagonal (2,0)-(1,1)
    auto has_edge = [](const std::vector<std::uint16_t>& t, int a, int b) {
        for (std::size_t k = 0; k < t.size(); k += 3)
            for (int e = 0; e < 3; ++e) {
                int p = t[k + static_cast<std::size_t>(e)], q = t[k + static_cast<std::size_t>((e + 1) % 3)];
                if ((p == a && q == b) || (p == b && q == a))
                    return true;
            }
        return false;
    };
    ASSERT_EQ(even.size(), 6u);
    EXPECT_TRUE(has_edge(even, chunk_vertex(0, 0), chunk_vertex(1, 1)));
    EXPECT_FALSE(has_edge(even, chunk_vertex(1, 0), chunk_vertex(0, 1)));
    EXPECT_TRUE(has_edge(odd, chunk_vertex(2, 0), chunk_vertex(1, 1)));
    // A chunk starting at an odd sample flips the parity.
    std::vector<std::uint16_t> shifted;
    append_cell(shifted, 0, 0, 1, 1, 0);
    EXPECT_TRUE(has_edge(shifted, chunk_vertex(1, 0), chunk_vertex(0, 1)));
    // Every index stays inside the chunk's vertices.
    std::vector<std::uint16_t> all;
    for (int z = 0; z < k_chunk_cells; z += 4)
        for (int x = 0; x < k_chunk_cells; x += 4)
            append_cell(all, x, z, 4, 0, 0);
    append_skirts(all, 4);
    for (std::uint16_t i : all)
        EXPECT_LT(i, k_chunk_vertices);
}

TEST(TerrainLod, SkirtsHangFromEveryEdgeVertexOfTheStep)
{
    std::vector<std::uint16_t> s;
    append_skirts(s, 8);
    std::set<int> used(s.begin(), s.end());
    for (int side = 0; side < 4; ++side)
        for (int k = 0; k <= k_chunk_cells; k += 8)
            EXPECT_TRUE(used.count(skirt_vertex(side, k))) << side << " " << k;
    EXPECT_FALSE(used.count(skirt_vertex(0, 4)));
    EXPECT_EQ(s.size(), 4u * 4 * 12);  // 4 sides, 4 quads each, two-sided
}

}  // namespace
}  // namespace zv::render

namespace zv::render {
namespace {

std::vector<float> flat_chunk(float height)
{
    std::vector<float> pos(static_cast<std::size_t>(k_chunk_vertices) * 3, 0.0f);
    for (int z = 0; z < k_chunk_side; ++z)
        for (int x = 0; x < k_chunk_side; ++x) {
            std::size_t k = static_cast<std::size_t>(chunk_vertex(x, z)) * 3;
            pos[k] = static_cast<float>(x);
            pos[k + 1] = height;
            pos[k + 2] = static_cast<float>(z);
        }
    return pos;
}

TEST(TerrainLod, ErrorTablesGrowWithTheStep)
{
    auto flat = lod_errors(flat_chunk(5));
    for (float e : flat)
        EXPECT_FLOAT_EQ(e, 0.0f);
    // A slope is drawn exactly at every step.
    auto slope = flat_chunk(0);
    for (std::size_t k = 0; k < slope.size(); k += 3)
        slope[k + 1] = 0.5f * slope[k];
    for (float e : lod_errors(slope))
        EXPECT_NEAR(e, 0.0f, 1e-5);
    // A one-sample bump of 3 at an odd sample disappears from step 2 on.
    auto bump = flat_chunk(0);
    bump[static_cast<std::size_t>(chunk_vertex(5, 7)) * 3 + 1] = 3;
    auto e = lod_errors(bump);
    for (auto [level, error] : {std::pair{0, 0.0f}, {1, 3.0f}, {5, 3.0f}})
        EXPECT_FLOAT_EQ(e[static_cast<std::size_t>(level)], error) << level;
}

}  // namespace
}  // namespace zv::render
