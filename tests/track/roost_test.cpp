// Roost: the per-tick budget, particle counts, the pool, motion, fading and
// death in the ground.
#include "track/roost.h"

#include "ground_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <tuple>
#include <vector>

namespace zv::track {
namespace {

struct Roost {
    Terrain ground = test::flat_ground();
    std::vector<Billboard> billboards = std::vector<Billboard>(k_roost_particles);
    std::unique_ptr<RoostPool> pool = std::make_unique<RoostPool>();
    Roost() { reset_roost(*pool, billboards); }
    RoostType& type(int k) { return ground.tiles[0].roost[static_cast<std::size_t>(k)]; }
    void emit(const RiderWheels& r, int tick, int frequency = 1000)
    {
        emit_roost(*pool, ground, billboards, r, tick, frequency);
    }
    void update() { update_particles(*pool, ground, billboards); }
    const Particle& particle(int k) const { return pool->particles[static_cast<std::size_t>(k)]; }
};

// Only the rear wheel touches; it sits mid-field.
RiderWheels rear_only(float y = 0.0f)
{
    RiderWheels r;
    r.rear = test::wheel_at(32, y, 32);
    return r;
}

TEST(Roost, BudgetFollowsTheFrequency)
{
    struct Case {
        int frequency, low, high;
        double high_share;  // expected share of ticks given `high`
    };
    const Case cases[] = {{250, 2, 3, 0.5}, {1000, 10, 10, 1.0}, {0, 0, 0, 1.0}, {99, 0, 1, 0.99}, {5000, 10, 10, 1.0}};
    for (const Case& c : cases) {
        RoostRandom rnd;
        int highs = 0;
        const int n = 20000;
        for (int k = 0; k < n; ++k) {
            int b = roost_budget(rnd, c.frequency);
            ASSERT_TRUE(b == c.low || b == c.high) << c.frequency << " gave " << b;
            highs += b == c.high;
        }
        EXPECT_NEAR(static_cast<double>(highs) / n, c.high_share, 0.02) << c.frequency;
    }
}

TEST(Roost, RiderOrderStartsAtTheTickAndWraps)
{
    for (auto [tick, riders, k, order] :
         {std::tuple{5, 3, 0, 2}, {5, 3, 1, 0}, {5, 3, 2, 1}, {7, 1, 0, 0}, {4, 0, 0, 0}})
        EXPECT_EQ(roost_rider_order(tick, riders, k), order) << tick << " " << riders << " " << k;
}

TEST(Roost, FractionalCountIsAChanceOfOneParticle)
{
    Roost r;
    r.type(0).mode = 2;  // splash throws without needing wheel spin
    r.type(0).count = 0.3f;
    int ticks_with_one = 0;
    const int n = 10000;
    for (int tick = 0; tick < n; ++tick) {
        reset_roost(*r.pool, r.billboards);
        r.emit(rear_only(), tick);
        ASSERT_LE(r.pool->active_count, 1);
        ticks_with_one += r.pool->active_count;
    }
    EXPECT_NEAR(static_cast<double>(ticks_with_one) / n, 0.3, 0.02);
}

TEST(Roost, WheelsAndTypesThatThrowNothing)
{
    Roost r;
    r.type(0).mode = 2;
    r.type(0).count = 3;
    r.type(1).mode = 0;  // ends the list: type 2 is never read
    r.type(2).mode = 2;
    r.type(2).count = 5;
    RiderWheels air = rear_only();
    air.rear.depth = 0;
    r.emit(air, 0);
    EXPECT_EQ(r.pool->active_count, 0);
    r.emit(rear_only(), 0, 0);  // no budget
    EXPECT_EQ(r.pool->active_count, 0);
    r.emit(rear_only(), 0);
    EXPECT_EQ(r.pool->active_count, 3);

    // Wheel roost needs slip at or above the threshold.
    Roost spin;
    spin.type(0).mode = 1;
    spin.type(0).count = 4;
    RiderWheels w = rear_only();
    w.rear.slip_velocity = {-3.9f, 0, 0};
    spin.emit(w, 0);
    EXPECT_EQ(spin.pool->active_count, 0);
    w.rear.slip_velocity = {-4.0f, 0, 0};
    spin.emit(w, 0);
    EXPECT_EQ(spin.pool->active_count, 4);
}

TEST(Roost, PoolNeverGrowsAndResetEmptiesIt)
{
    Roost r;
    r.type(0).mode = 2;
    r.type(0).count = 10;
    r.type(0).texture = 7;
    RiderWheels both = rear_only();
    both.front = both.rear;
    for (int tick = 0; tick < 150; ++tick)
        r.emit(both, tick);  // 20 a tick: 3000 asked for
    EXPECT_EQ(r.pool->active_count, k_roost_particles);
    EXPECT_EQ(r.pool->free_head, -1);
    EXPECT_EQ(r.billboards.back().texture, 7u);

    reset_roost(*r.pool, r.billboards);
    EXPECT_EQ(r.pool->active_count, 0);
    EXPECT_EQ(r.pool->active_head, -1);
    for (const Billboard& b : r.billboards)
        ASSERT_EQ(b.texture, 0u);
    // The free list is back in pool order.
    r.type(0).count = 1;
    r.emit(rear_only(), 0);
    EXPECT_EQ(r.pool->active_head, 0);
    EXPECT_EQ(r.billboards[0].texture, 7u);
}

TEST(Roost, ParticleMotionGrowthAndFade)
{
    Roost r;
    r.ground = test::flat_ground(-1.0e6f);  // nothing lands
    RoostType& t = r.type(0);
    t.mode = 2;
    t.count = 1;
    t.randomize = 0;
    t.drag = 0.5f;
    t.r = 100;
    t.fade_r = 1;
    t.fade_g = -1;
    t.g = 0;
    r.emit(rear_only(), 0);
    ASSERT_EQ(r.pool->active_count, 1);
    Particle& p = r.pool->particles[0];
    p.position = {10, 5, 10};
    p.velocity = {8, 0, 0};
    r.update();
    // One tick: move with the old velocity, then drag and gravity.
    EXPECT_FLOAT_EQ(p.position.x, 10.0f + 8.0f / 128.0f);
    EXPECT_FLOAT_EQ(p.velocity.x, 8.0f - 8.0f * 0.5f / 128.0f);
    EXPECT_FLOAT_EQ(p.velocity.y, -0.25f);
    const Billboard& b = r.billboards[0];
    EXPECT_FLOAT_EQ(b.x, p.position.x);
    EXPECT_FLOAT_EQ(b.size, 0.25f + 4.0f / 128.0f);
    EXPECT_EQ((std::vector<int>{b.r, b.g}), (std::vector<int>{101, 0}));  // g limited at 0
    for (int k = 1; k < 127; ++k)
        r.update();
    EXPECT_EQ(b.a, 1);  // 255 - 2 * 127
    r.update();
    EXPECT_EQ(b.a, 0);  // transparent after one second
    EXPECT_FLOAT_EQ(b.size, 4.25f);
    EXPECT_EQ(r.pool->active_count, 1);
}

TEST(Roost, OnlyFallingParticlesHitTheGround)
{
    Roost r;
    r.ground = test::flat_ground(10.0f);
    RoostType& t = r.type(0);
    t.mode = 2;
    t.count = 10;
    t.randomize = 0;
    // The wheel sits below the ground surface, throwing upward at 64 units/s.
    t.texture = 5;
    r.emit(rear_only(0.0f), 0);
    ASSERT_EQ(r.pool->active_count, 10);
    int seen_rising_underground = 0;
    for (int tick = 0; tick < 2000 && r.pool->active_count > 0; ++tick) {
        r.update();
        for (int k = r.pool->active_head; k >= 0; k = r.pool->next[static_cast<std::size_t>(k)]) {
            const Particle& p = r.particle(k);
            bool under = p.position.y < 10.0f;
            ASSERT_FALSE(under && p.velocity.y < 0.0f) << "a falling particle under the ground lives on";
            seen_rising_underground += under;
        }
    }
    EXPECT_GT(seen_rising_underground, 0);
    EXPECT_EQ(r.pool->active_count, 0);
    for (const Billboard& b : r.billboards)
        ASSERT_EQ(b.texture, 0u);
}

TEST(Roost, SplashAlternatesSidesAtGroundSpeed)
{
    Roost r;
    RoostType& t = r.type(0);
    t.mode = 2;
    t.count = 2;
    t.randomize = 0;
    r.emit(rear_only(), 0);  // ground speed 20 along +x
    ASSERT_EQ(r.pool->active_count, 2);
    // Particle 0 (j = 0, tick 0) goes up and to +n x u = -z; particle 1 to +z.
    const Particle& a = r.particle(0);
    const Particle& b = r.particle(1);
    EXPECT_GT(a.velocity.y, 0.0f);
    EXPECT_LE(a.velocity.z, 0.0f);
    EXPECT_GE(b.velocity.z, 0.0f);
    EXPECT_NEAR(a.velocity.y, -a.velocity.z, 1e-4f);
    EXPECT_NEAR(b.velocity.y, b.velocity.z, 1e-4f);
    EXPECT_FLOAT_EQ(a.velocity.x, 0.0f);
    // Particle 1 starts half a tick's travel out along its direction.
    EXPECT_FLOAT_EQ(b.position.z, 32.0f + 20.0f * 0.70710678f * 0.5f / 128.0f);

    // A wheel standing still splashes only the random part, never NaN.
    Roost still;
    still.type(0) = t;
    RiderWheels w = rear_only();
    w.rear.velocity = {0, 0, 0};
    still.emit(w, 0);
    ASSERT_EQ(still.pool->active_count, 2);
    EXPECT_FLOAT_EQ(still.particle(0).velocity.y, 0.0f);
    EXPECT_FALSE(std::isnan(still.particle(1).position.x));
}

// The widest angle, about the axle, at which the first particle of each tick
// leaves the wheel.
float widest_throw(bool front, TerrainVec3 slip)
{
    Roost r;
    RoostType& t = r.type(0);
    t.mode = 1;
    t.count = 1;
    t.slow_angle = t.fast_angle = 1.0f;
    RiderWheels w;
    WheelFacts& wheel = front ? w.front : w.rear;
    wheel = test::wheel_at(32, 0, 32);
    wheel.slip_velocity = slip;
    float widest = 0;
    for (int tick = 0; tick < 400; ++tick) {
        reset_roost(*r.pool, r.billboards);
        r.emit(w, tick);
        const TerrainVec3& p = r.particle(0).position;  // j = 0: the emission point itself
        float dx = p.x - wheel.position.x, dy = p.y - wheel.position.y;
        widest = std::max(widest, std::atan2(dx, -dy));
    }
    return widest;
}

TEST(Roost, SpreadOfASpinningWheelAndOfAGrippingOne)
{
    // Slip against the travel: the type's angle, up to the wheel's limit.
    EXPECT_NEAR(widest_throw(false, {-5, 0, 0}), 1.0f, 0.02f);
    EXPECT_NEAR(widest_throw(true, {-5, 0, 0}), k_front_max_spread, 0.01f);
    // Slip across or along the travel: the narrow fan of a gripping wheel.
    EXPECT_NEAR(widest_throw(false, {0, 0, 5}), k_grip_spread, 0.002f);
    EXPECT_NEAR(widest_throw(false, {5, 0, 0}), k_grip_spread, 0.002f);
}

}  // namespace
}  // namespace zv::track
