// The tyre: torus against triangles, squash spring, friction scale, rolling
// resistance.
#include <gtest/gtest.h>

#include <cmath>
#include <tuple>

#include "sim/maneuver.h"
#include "sim/tyre.h"
#include "sim/world.h"
#include "track/tileinfo.h"

namespace zv::sim {
namespace {

TEST(Torus, LowestRingPointAgainstAFace)
{
    // Upright wheel over a flat triangle 1.1 ft below its centre.
    TorusHit h = torus_triangle({0, 0, 0}, {1, 0, 0}, 1, 0.3f, {-2, -1.1f, -2}, {-2, -1.1f, 2}, {2, -1.1f, -2});
    EXPECT_NEAR(h.depth, 0.2f, 1e-5);
    EXPECT_NEAR(h.normal.y, 1.0f, 1e-6);
    EXPECT_NEAR(h.point.y, -1.3f, 1e-5);
    EXPECT_NEAR(h.point.z, 0.0f, 1e-5);
    // A wheel lying flat: every ring point is as low as the centre.
    TorusHit flat = torus_triangle({0, 0, 0}, {0, 1, 0}, 1, 0.3f, {-2, -0.2f, -2}, {-2, -0.2f, 2}, {2, -0.2f, -2});
    EXPECT_NEAR(flat.depth, 0.1f, 1e-5);
}

TEST(Torus, EdgeOfATriangleBesideTheRing)
{
    // The triangle starts at z = 0.5: the nearest approach is its edge.
    TorusHit h = torus_triangle({0, 0, 0}, {1, 0, 0}, 1, 0.3f, {-1, -1.1f, 0.5f}, {-1, -1.1f, 2}, {1, -1.1f, 0.5f});
    float dist = std::sqrt(0.25f + 1.21f) - 1;  // 0.208305
    EXPECT_NEAR(h.depth, 0.3f - dist, 1e-4);
    EXPECT_NEAR(h.normal.y, 1.1f / std::sqrt(1.46f), 1e-3);
    EXPECT_NEAR(h.normal.z, -0.5f / std::sqrt(1.46f), 1e-3);
    EXPECT_NEAR(h.normal.x, 0, 1e-3);
    // Far away: apart.
    TorusHit far = torus_triangle({0, 0, 0}, {1, 0, 0}, 1, 0.3f, {-1, -1.1f, 3}, {-1, -1.1f, 5}, {1, -1.1f, 3});
    EXPECT_LT(far.depth, 0);
}

TEST(Torus, TerrainKeepsTheDeepestTriangle)
{
    track::Terrain field = make_flat_field(3, 2);
    TorusHit h = torus_terrain(field, {10.3f, 1.0f, 10.7f}, {1, 0, 0}, 0.8333f, 0.3333f);
    EXPECT_NEAR(h.depth, 0.1666f, 1e-4);
    EXPECT_NEAR(h.normal.y, 1, 1e-6);
    // Resting exactly on the ground: depth 0, no contact.
    TorusHit rest = torus_terrain(field, {10.3f, 1.1666f, 10.7f}, {1, 0, 0}, 0.8333f, 0.3333f);
    EXPECT_LE(rest.depth, 0);
    // Clear of the ground the answer is no contact, not a negative depth.
    EXPECT_EQ(torus_terrain(field, {10.3f, 1.6666f, 10.7f}, {1, 0, 0}, 0.8333f, 0.3333f).depth, 0.0f);
    // Off the field the edge heights go on.
    TorusHit off = torus_terrain(field, {-500, 1.0f, 900}, {1, 0, 0}, 0.8333f, 0.3333f);
    EXPECT_NEAR(off.depth, 0.1666f, 1e-4);
    EXPECT_EQ(torus_terrain(field, {NAN, 1, 1}, {1, 0, 0}, 0.8333f, 0.3333f).depth, 0.0f);
}

TEST(Torus, CellRangeCoversTheReachAndRefusesWhatItCannotSearch)
{
    track::Terrain field = make_flat_field(3, 2);
    const struct {
        Vec3 c;
        float reach;
        bool ok;
        CellRange cells;
    } cases[] = {{{10.3f, 1, 10.7f}, 0, true, {5, 6, 5, 6}},  {{10.3f, 1, 10.7f}, 1, true, {4, 6, 4, 6}},
                 {{0, 0, 0}, 64, true, {-32, 32, -32, 32}},   {{0, 0, 0}, 65, false, {}},
                 {{0, 0, 1}, 64, false, {}},
                 {{10, 0, 10}, -0.5f, false, {}},            {{10, 0, 10}, NAN, false, {}},
                 {{NAN, 0, 10}, 1, false, {}},               {{1e9f, 0, 10}, 1, false, {}}};
    for (const auto& c : cases) {
        CellRange got{};
        ASSERT_EQ(cell_range(field, c.c, c.reach, got), c.ok) << c.c.x << " " << c.reach;
        if (c.ok) {
            EXPECT_EQ(std::tuple(got.i0, got.i1, got.j0, got.j1),
                      std::tuple(c.cells.i0, c.cells.i1, c.cells.j0, c.cells.j1)) << c.reach;
        }
    }
    field.cell_size = 0;
    CellRange got{};
    EXPECT_FALSE(cell_range(field, {10, 0, 10}, 1, got));
}

TEST(Tyre, SpringGrowsWithSquash)
{
    TyreSpring full = tyre_spring(0.3333f, 0.3333f);
    EXPECT_FLOAT_EQ(full.k, 25000);
    EXPECT_FLOAT_EQ(full.d, 2500);
    TyreSpring over = tyre_spring(1, 0.3333f);
    EXPECT_FLOAT_EQ(over.k, 25000);
    TyreSpring half = tyre_spring(0.5f, 1);
    EXPECT_FLOAT_EQ(half.k, 4000);
    EXPECT_FLOAT_EQ(half.d, 487.5f);
    EXPECT_NEAR(soft_erp(2500, 250), 0.0078125f * 2500 / (0.0078125f * 2500 + 250), 1e-7);
}

TEST(Tyre, ArcadeGripFallsWithLean)
{
    for (auto [arcade, lean, scale] : {std::tuple{false, 1.0f, 1.0f}, {true, float(k_pi / 8), 0.8125f},
                                       {true, float(-k_pi / 4), 0.625f}, {true, 1.5f, 0.625f}, {true, 0.0f, 1.0f}})
        EXPECT_FLOAT_EQ(friction_scale(arcade, lean), scale) << arcade << " " << lean;
}

TEST(Tyre, DefaultTileGripsTheSameAtEverySpeed)
{
    const track::TileType& tile = tile_at(nullptr, 0, 0);
    for (float s : {0.0f, 0.5f, 1.0f, 30.0f})
        EXPECT_FLOAT_EQ(track::friction_at_speed(tile, s * s), 1.0f);
}

struct WheelFixture {
    std::unique_ptr<SimWorld> world = create_world();
    track::Terrain field = make_flat_field(3, 2);
    BodyHandle body;
    WheelContact wheel;
    WheelFixture(float height, Vec3 velocity)
    {
        world->terrain = &field;
        body.reset(dBodyCreate(world->id()));
        dBodySetPosition(body.get(), 10, height, 10);
        dBodySetLinearVel(body.get(), velocity.x, velocity.y, velocity.z);
        wheel.body = body.get();
        wheel.ring_radius = 0.8333f;
        wheel.section_radius = 0.3333f;
    }
};

TEST(Tyre, RollingResistanceFadesBelowOneFootPerSecond)
{
    // Squashed by half the section: resistance 5 + (15 - 5) / 2 = 10 lbf.
    float h = 0.8333f + 0.3333f - 0.16665f;
    WheelFixture slow(h, {0, 0, -0.5f}), one(h, {0, 0, -1}), fast(h, {0, 0, -4});
    ASSERT_TRUE(collide_wheel(*slow.world, slow.wheel, 1));
    ASSERT_TRUE(collide_wheel(*one.world, one.wheel, 1));
    ASSERT_TRUE(collide_wheel(*fast.world, fast.wheel, 1));
    EXPECT_NEAR(dBodyGetForce(slow.body.get())[2], 5.0, 1e-3);
    EXPECT_NEAR(dBodyGetForce(one.body.get())[2], 10.0, 1e-3);
    EXPECT_NEAR(dBodyGetForce(fast.body.get())[2], 10.0, 1e-3);
    EXPECT_GT(slow.wheel.depth, 0);
    EXPECT_NEAR(slow.wheel.point_velocity.z, -0.5f, 1e-5);
    // Just touching nothing: no contact, depth 0.
    WheelFixture air(2, {0, 0, 0});
    EXPECT_FALSE(collide_wheel(*air.world, air.wheel, 1));
    EXPECT_EQ(air.wheel.depth, 0.0f);
    EXPECT_FALSE(air.wheel.on_ground());
}

TEST(Tyre, DownwardNormalsAreTurnedUp)
{
    Vec3 straight = upward_normal({0, -1, 0});
    EXPECT_FLOAT_EQ(straight.y, 1);
    EXPECT_FLOAT_EQ(straight.x, 0);
    Vec3 tilted = upward_normal(normalized({0.6f, -0.8f, 0}));
    EXPECT_FLOAT_EQ(tilted.x, 1);
    EXPECT_FLOAT_EQ(tilted.y, 0);
    // Almost straight down: the horizontal part is too small to keep.
    Vec3 tiny = upward_normal(normalized({0.01f, -1, 0}));
    EXPECT_FLOAT_EQ(tiny.y, 1);
    Vec3 up = upward_normal({0, 0.5f, 0});  // upward normals are left alone
    EXPECT_FLOAT_EQ(up.y, 0.5f);
}

TEST(Tyre, ContactParametersFromSquashSpeedAndAxle)
{
    // Squashed by a full section: spring 25000, damping 2500.
    WheelFixture still(0.8333f, {0, 0, 0});
    dContact ct;
    ASSERT_TRUE(wheel_contact(*still.world, still.wheel, 0.8125f, ct));
    EXPECT_NEAR(ct.surface.soft_erp, soft_erp(25000, 2500), 1e-7);
    EXPECT_NEAR(ct.surface.soft_cfm, soft_cfm(25000, 2500), 1e-9);
    EXPECT_NEAR(ct.surface.mu, 0.8125, 1e-6);  // grip 1 times the scale
    EXPECT_TRUE(ct.surface.mode & dContactApprox1);
    // At rest the first friction direction comes from the axle: (1,0,0) x up.
    ASSERT_TRUE(ct.surface.mode & dContactFDir1);
    EXPECT_NEAR(ct.fdir1[2], 1, 1e-6);
    EXPECT_NEAR(ct.fdir1[0], 0, 1e-6);
    // Moving along z: the direction is velocity x normal = (0,0,3) x up.
    WheelFixture sliding(1.0f, {0, 0, 3});
    ASSERT_TRUE(wheel_contact(*sliding.world, sliding.wheel, 1, ct));
    EXPECT_NEAR(ct.fdir1[0], -1, 1e-6);
    EXPECT_NEAR(ct.fdir1[2], 0, 1e-6);
    EXPECT_NEAR(ct.geom.normal[1], 1, 1e-6);
    EXPECT_NEAR(ct.geom.depth, 0.1666, 1e-4);
}

}  // namespace
}  // namespace zv::sim
