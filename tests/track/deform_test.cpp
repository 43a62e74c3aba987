// The deformation brush and erosion: weights, limits, the modified flag and
// change counter, the renderer's notification, the lock, and the erosion
// events' filtering, waiting, slope check and amounts.
#include "track/deform.h"

#include "ground_fixture.h"
#include "support/expect_rows.h"

#include <gtest/gtest.h>

#include <memory>
#include <tuple>
#include <vector>

namespace zv::track {
namespace {

struct Rect {
    int i0, j0, i1, j1;
};

struct RecordingHooks final : TerrainRenderHooks {
    std::vector<Rect> changed;
    bool shaders_active() override { return false; }
    bool create_framebuffer_object(int) override { return false; }
    void build_lod_tables(Terrain&) override {}
    void create_low_detail_textures(Terrain&, int) override {}
    void create_lod_textures(Terrain&) override {}
    bool load_pixels(std::string_view, TexturePixels&) override { return false; }
    std::size_t texture_memory_used() override { return 0; }
    void heights_changed(Terrain&, int i0, int j0, int i1, int j1) override { changed.push_back({i0, j0, i1, j1}); }
};

struct HooksInstalled {
    RecordingHooks hooks;
    HooksInstalled() { set_terrain_render_hooks(&hooks); }
    ~HooksInstalled() { set_terrain_render_hooks(nullptr); }
};

TEST(Deform, SmoothBrushWeightsLimitsAndNotice)
{
    HooksInstalled h;
    Terrain t = test::flat_ground();
    deform(t, 10.0f, 20.0f, 4.0f, 2.0f);
    // The centre gets the full amount, q = 1/2 weight 1/2, the rim and
    // outside the radius nothing.
    test::expect_float_rows("brush", {{test::sample_at(t, 10, 20), 2.0f}, {test::sample_at(t, 12, 20), 1.0f},
                                      {test::sample_at(t, 11, 20), 2.0f * (2.0f / 64 - 3.0f / 16 + 1)},
                                      {test::sample_at(t, 14, 20), 0.0f}, {test::sample_at(t, 13, 23), 0.0f},
                                      {t.max_height, 2.0f}, {t.min_height, 0.0f}});
    EXPECT_TRUE(t.modified);
    EXPECT_EQ(t.change_count, 1u);
    ASSERT_EQ(h.hooks.changed.size(), 1u);
    const auto& c = h.hooks.changed[0];
    EXPECT_EQ(std::tuple(c.i0, c.i1, c.j0, c.j1), std::tuple(7, 14, 17, 24));

    // Lowering past the minimum widens it; at the corner the rectangle is clipped.
    deform(t, 0.0f, 0.0f, 2.5f, -3.0f);
    EXPECT_FLOAT_EQ(test::sample_at(t, 0, 0), -3.0f);
    EXPECT_FLOAT_EQ(t.min_height, -3.0f);
    const auto& corner = h.hooks.changed.back();
    EXPECT_EQ(std::tuple(corner.i0, corner.j0, corner.i1), std::tuple(0, 0, 3));
    EXPECT_EQ(t.change_count, 2u);

    // A brush mostly off the field still reaches its one column inside.
    deform(t, -0.5f, 40.0f, 1.0f, 1.0f);
    EXPECT_FLOAT_EQ(test::sample_at(t, 0, 40), 0.5f);
    EXPECT_EQ(t.change_count, 3u);
}

TEST(Deform, NothingChangesWhenLockedOrZero)
{
    HooksInstalled h;
    Terrain t = test::flat_ground();
    deform(t, 10.0f, 10.0f, 4.0f, 0.0f);
    t.locked = true;
    deform(t, 10.0f, 10.0f, 4.0f, 1.0f);
    deform(t, 1.0e30f, -1.0e30f, 4.0f, 1.0f);
    EXPECT_FLOAT_EQ(test::sample_at(t, 10, 10), 0.0f);
    EXPECT_FALSE(t.modified);
    EXPECT_EQ(t.change_count, 0u);
    EXPECT_TRUE(h.hooks.changed.empty());
}

// A rear wheel pushing along +x with `force` at (20, 32), the bike's body at
// `body_x`.
RiderWheels pushing(float force, float body_x, float speed = 20.0f)
{
    RiderWheels r;
    r.rear = test::wheel_at(20, 0, 32, speed);
    r.rear.force_x = force;
    r.body_position = {body_x, 0, 32};
    return r;
}

struct Erosion {
    Terrain ground = test::flat_ground();
    std::unique_ptr<ErosionRing> ring = std::make_unique<ErosionRing>();
    Erosion()
    {
        ground.tiles[0].erode_radius = 1.0f;  // source and target brushes apart
    }
};

TEST(Erode, StrengthMovesMaterialAgainstThePush)
{
    struct Case {
        float strength, depth;
        float moved;  // at each brush centre
    };
    const Case cases[] = {{0.0f, 1.0f, 0.0f}, {100.0f, 1.0f, 100.0f / 2048}, {50.0f, 2.0f, 100.0f / 2048}};
    for (const Case& c : cases) {
        Erosion e;
        e.ground.tiles[0].erode_depth = c.depth;
        // Push 300 is beyond erode_upper: the full displacement of 2.
        erode(e.ground, *e.ring, pushing(300.0f, 40.0f), c.strength);
        EXPECT_FLOAT_EQ(test::sample_at(e.ground, 20, 32), -c.moved) << c.strength;
        EXPECT_FLOAT_EQ(test::sample_at(e.ground, 18, 32), c.moved) << c.strength;
        EXPECT_EQ(e.ground.modified, c.moved != 0.0f);
        EXPECT_EQ(erosion_ring_count(*e.ring), 0);
    }
}

TEST(Erode, EventsAreFilteredByPushAndSpeed)
{
    struct Case {
        float force, speed;
        bool kept;
        float fx;
        float off_speed = 10.0f, on_speed = 15.0f;
    };
    const Case cases[] = {
        {120.0f, 12.5f, true, 60.0f},   // half speed factor, 60 > erode_lower 50
        {90.0f, 12.5f, false, 0.0f},    // 45 is too weak
        {50.0f, 20.0f, false, 0.0f},    // exactly erode_lower is not enough
        {300.0f, 10.0f, false, 0.0f},   // at erode_off_speed nothing counts
        {300.0f, 15.0f, false, 0.0f, 15.0f, 15.0f},  // no ramp: only faster counts
        {300.0f, 15.5f, true, 300.0f, 15.0f, 15.0f},
    };
    for (const Case& c : cases) {
        Erosion e;
        e.ground.tiles[0].erode_off_speed = c.off_speed;
        e.ground.tiles[0].erode_on_speed = c.on_speed;
        erode(e.ground, *e.ring, pushing(c.force, 20.0f, c.speed), 100.0f);  // body on the spot: kept waiting
        ASSERT_EQ(erosion_ring_count(*e.ring), c.kept ? 1 : 0) << c.force << " at " << c.speed;
        if (c.kept) {
            EXPECT_FLOAT_EQ(e.ring->events[0].fx, c.fx);
        }
    }
}

TEST(Erode, TargetTooFarUphillIsDropped)
{
    struct Case {
        float slope;  // ground rises toward -x by this per unit
        bool moved;
    };
    // d = 2 and erode_max_slope 0.25: a rise of more than 0.5 is too much.
    for (const Case& c : {Case{0.3f, false}, Case{0.2f, true}}) {
        Erosion e;
        for (int j = 0; j < 65; ++j)
            for (int i = 0; i < 65; ++i)
                test::sample_at(e.ground, i, j) = -c.slope * static_cast<float>(i);
        float before = test::sample_at(e.ground, 20, 32);
        erode(e.ground, *e.ring, pushing(300.0f, 40.0f), 100.0f);
        EXPECT_EQ(test::sample_at(e.ground, 20, 32) != before, c.moved) << c.slope;
        EXPECT_EQ(erosion_ring_count(*e.ring), 0);  // used up either way
    }
}

TEST(Erode, EventsWaitUntilTheRiderIsTenUnitsAway)
{
    Erosion e;
    erode(e.ground, *e.ring, pushing(300.0f, 20.0f), 100.0f);
    EXPECT_EQ(erosion_ring_count(*e.ring), 1);
    RiderWheels away = pushing(300.0f, 29.9f);
    away.rear.depth = 0;  // in the air: no new events
    erode(e.ground, *e.ring, away, 100.0f);
    EXPECT_EQ(erosion_ring_count(*e.ring), 1);
    EXPECT_FALSE(e.ground.modified);
    away.body_position.x = 30.0f;
    erode(e.ground, *e.ring, away, 100.0f);
    EXPECT_EQ(erosion_ring_count(*e.ring), 0);
    EXPECT_TRUE(e.ground.modified);
}

TEST(Erode, RingHoldsAtMost1023AndAppliesFourATick)
{
    Erosion e;
    for (int k = 0; k < 1100; ++k)
        erode(e.ground, *e.ring, pushing(300.0f, 20.0f), 100.0f);
    EXPECT_TRUE(erosion_ring_full(*e.ring));
    EXPECT_EQ(erosion_ring_count(*e.ring), k_erosion_ring_size - 1);
    RiderWheels away = pushing(300.0f, 40.0f);
    away.rear.depth = 0;
    erode(e.ground, *e.ring, away, 100.0f);
    EXPECT_EQ(erosion_ring_count(*e.ring), k_erosion_ring_size - 5);
    EXPECT_EQ(e.ground.change_count, 8u);  // two brush strokes per event
}

TEST(Erode, LockedTerrainKeepsItsHeights)
{
    Erosion e;
    e.ground.locked = true;
    erode(e.ground, *e.ring, pushing(300.0f, 40.0f), 100.0f);
    EXPECT_FLOAT_EQ(test::sample_at(e.ground, 20, 32), 0.0f);
    EXPECT_FLOAT_EQ(test::sample_at(e.ground, 18, 32), 0.0f);
    EXPECT_FALSE(e.ground.modified);
}

}  // namespace
}  // namespace zv::track
