// The terrain renderer's budgeted refresh after ground deformation: no frame
// does more work than its budget allows, the rest waits for later frames, and
// lit ground gets its normals back in step with the heights.
#include "render/terrain_draw.h"
#include "track/deform.h"
#include "track/ground_fixture.h"

#include <gtest/gtest.h>

#include <vector>

namespace zv::render {
namespace {

// 513 x 513 samples: 16 x 16 chunks of 32 cells.
track::Terrain chunked_ground(bool lit)
{
    track::Terrain t = test::one_tile_ground(8, 1.0f);
    if (lit) {
        t.shadows.assign(513 * 513, 0);
        t.normal_shadow.assign(513 * 513 * 3, 128);
    }
    return t;
}

struct Hooked {
    track::Terrain t;
    explicit Hooked(bool lit = false) : t(chunked_ground(lit))
    {
        install_terrain_hooks();
        track::terrain_render_hooks()->build_lod_tables(t);
    }
    ~Hooked() { remove_terrain_hooks(); }
    // Dents the middle of `count` chunks along the first rows.
    void dent(int count)
    {
        for (int k = 0; k < count; ++k)
            track::deform(t, 16.0f + 32.0f * static_cast<float>(k % 16), 16.0f + 32.0f * static_cast<float>(k / 16),
                          2.0f, -1.0f);
    }
};

TEST(TerrainRefresh, WorkStaysWithinTheBudgetAndCarriesOver)
{
    constexpr int chunk = k_chunk_vertices;
    struct Case {
        int dents, budget;
        std::vector<int> rebuilt;  // per frame
    };
    const Case cases[] = {
        {16, 8000, {8000 / chunk, 8000 / chunk, 16 - 2 * (8000 / chunk), 0}},
        {3, 1000, {0, 1, 0, 1, 0, 1, 0}},  // less than one chunk a frame: every other frame
        {2, 0, {0, 0}},
    };
    for (const Case& c : cases) {
        Hooked h;
        h.dent(c.dents);
        ASSERT_EQ(terrain_refresh_waiting(h.t), c.dents);
        int left = c.dents;
        for (std::size_t f = 0; f < c.rebuilt.size(); ++f) {
            EXPECT_EQ(refresh_terrain(h.t, c.budget), c.rebuilt[f]) << c.dents << " dents, frame " << f;
            left -= c.rebuilt[f];
            EXPECT_EQ(terrain_refresh_waiting(h.t), left);
        }
    }
}

TEST(TerrainRefresh, LitGroundNormalsFollowTheHeights)
{
    Hooked h(true);
    track::deform(h.t, 40.0f, 40.0f, 4.0f, 3.0f);
    auto nx = [&](int i, int j) { return h.t.normal_shadow[static_cast<std::size_t>(i + 513 * j) * 3]; };
    EXPECT_EQ(nx(42, 40), 128);  // untouched until the refresh
    refresh_terrain(h.t, 8000);
    EXPECT_EQ(terrain_refresh_waiting(h.t), 0);
    EXPECT_GT(nx(42, 40), 128);  // east of the bump the ground faces +x
    EXPECT_LT(nx(38, 40), 128);  // and west of it -x
    EXPECT_EQ(nx(40, 40), 128);  // the top is level
    EXPECT_EQ(h.t.normal_shadow[static_cast<std::size_t>(42 + 513 * 40) * 3 + 1], 255);
}

}  // namespace
}  // namespace zv::render
