// Relighting changed ground: the sun on the new slope over the sun on the
// slope the shading was made for, with hand-computed values.
#include "render/terrain_relief.h"
#include "track/ground_fixture.h"

#include <gtest/gtest.h>

#include <vector>

namespace zv::render {
namespace {

// 9 x 9 samples a foot apart; heights rise by `slope` per foot along x.
track::Terrain ramp(float slope)
{
    track::Terrain t = test::square_ground(2, 1);
    for (int j = 0; j < 9; ++j)
        for (int i = 0; i < 9; ++i)
            t.heights[static_cast<std::size_t>(i + 9 * j)] = slope * static_cast<float>(i);
    return t;
}

TEST(TerrainRelief, NewSlopesAreLitByTheSun)
{
    const std::vector<float> flat(81, 0.0f);
    const Vec3f sun = {1, 1, 0};  // from +x, 45 degrees up; any length
    struct Case {
        const char* name;
        float slope;
        float factor;
    } cases[] = {
        // Facing away: (0.7071 - 0.5 * 0.7071) / sqrt(1.25) over 0.7071.
        {"rising away from the sun", 0.5f, 0.4472136f},
        {"falling towards the sun", -0.5f, 1.3416408f},
        // Turned fully away: the least light (0.1) over 0.7071, then the
        // least factor.
        {"steep away", 3.0f, 0.25f},
        {"unchanged", 0.0f, 1.0f},
    };
    for (const Case& c : cases) {
        EXPECT_NEAR(relief_factor(ramp(c.slope), flat, 4, 4, sun), c.factor, 1e-5f) << c.name;
        // The same slope along z, lit from +z.
        track::Terrain along_z = ramp(0);
        for (int j = 0; j < 9; ++j)
            for (int i = 0; i < 9; ++i)
                along_z.heights[static_cast<std::size_t>(i + 9 * j)] = c.slope * static_cast<float>(j);
        EXPECT_NEAR(relief_factor(along_z, flat, 4, 4, {0, 1, 1}), c.factor, 1e-5f) << c.name << " along z";
    }
    // At the field's edge the missing neighbour repeats the edge sample: the
    // slope is measured over one foot instead of two, half as steep.
    // Rising 0.5 a foot away from the sun: (0.7071 - 0.25 * 0.7071) / sqrt(1.0625) over 0.7071.
    EXPECT_NEAR(relief_factor(ramp(0.5f), flat, 8, 4, sun), 0.7276069f, 1e-5f) << "far edge";
    EXPECT_NEAR(relief_factor(ramp(0.5f), flat, 0, 4, sun), 0.7276069f, 1e-5f) << "near edge";
}

TEST(TerrainRelief, UntouchedGroundAndBadInputKeepTheShading)
{
    track::Terrain t = ramp(0.0f);
    std::vector<float> base(81, 0.0f);
    t.heights[static_cast<std::size_t>(8 + 9 * 8)] = 5;  // a change in the far corner only
    const Vec3f sun = {0, 1, 0};
    EXPECT_EQ(relief_factor(t, base, 4, 4, sun), 1.0f) << "nothing changed around (4, 4)";
    EXPECT_NE(relief_factor(t, base, 7, 8, {1, 1, 0}), 1.0f) << "next to the change";
    EXPECT_EQ(relief_factor(t, std::vector<float>(80, 0.0f), 7, 8, {1, 1, 0}), 1.0f) << "base of the wrong size";
    track::Terrain short_heights = ramp(0.0f);
    short_heights.heights.resize(80);
    EXPECT_EQ(relief_factor(short_heights, base, 7, 8, {1, 1, 0}), 1.0f) << "heights of the wrong size";
    EXPECT_EQ(relief_factor(t, base, 7, 8, {0, 0, 0}), 1.0f) << "no sun";
    track::Terrain empty;
    EXPECT_EQ(relief_factor(empty, {}, 0, 0, sun), 1.0f);
}

}  // namespace
}  // namespace zv::render
