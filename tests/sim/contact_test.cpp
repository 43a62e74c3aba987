// Sphere contacts, distance limits, knockout rules and penalties.
#include <gtest/gtest.h>

#include <array>

#include "sim/bike.h"
#include "sim/contact.h"
#include "sim/maneuver.h"
#include "sim/step.h"
#include "sim/world.h"
#include "track/timing.h"
#include "support/expect_rows.h"
#include "track/scenery.h"

namespace zv::sim {
namespace {

TEST(Spheres, TouchDepthNormalAndPosition)
{
    auto world = create_world();
    WorldSphere a{{0, 0, 0}, 1, 0.8f, 3000, 100};
    WorldSphere b{{1.5f, 0, 0}, 1, 0.5f, 2000, 300};
    SphereTouch t;
    ASSERT_TRUE(sphere_sphere(*world, a, b, ContactMode::detect, &t));
    test::expect_float_rows("touch", {{t.depth, 0.5f}, {t.normal.x, 1}, {t.position.x, 0.75f}, {t.friction, 0.5f},
                                      {t.spring, 2000}, {t.damping, 100}});
    b.centre = {2, 0, 0};  // exactly touching is apart
    EXPECT_FALSE(sphere_sphere(*world, a, b, ContactMode::detect, &t));
}

TEST(Spheres, ForceModeIsClampedAndSplitBetweenBodies)
{
    test::expect_float_rows("force", {{sphere_force(0.5f, 0, 2500, 250), 1000}, {sphere_force(0.1f, 2, 2500, 250), 750},
                                      {sphere_force(0.01f, -10, 2500, 250), -1000}});
    auto world = create_world();
    BodyHandle ba(dBodyCreate(world->id())), bb(dBodyCreate(world->id()));
    dBodySetLinearVel(ba.get(), 2, 0, 0);  // A closes in on B at 2 ft/s
    WorldSphere a{{0, 0, 0}, 1, 1, 2500, 250, ba.get()};
    WorldSphere b{{1.9f, 0, 0}, 1, 1, 2500, 250, bb.get()};
    dBodySetPosition(bb.get(), 1.9, 0, 0);
    ASSERT_TRUE(sphere_sphere(*world, a, b, ContactMode::force));
    EXPECT_NEAR(dBodyGetForce(bb.get())[0], 750, 1e-2);
    EXPECT_NEAR(dBodyGetForce(ba.get())[0], -750, 1e-2);
    // A disabled body gets nothing.
    dBodySetForce(bb.get(), 0, 0, 0);
    dBodyDisable(bb.get());
    ASSERT_TRUE(sphere_sphere(*world, a, b, ContactMode::force));
    EXPECT_EQ(dBodyGetForce(bb.get())[0], 0);
}

TEST(Spheres, ClosestPointOfATriangleInEachRegion)
{
    // Right angle at a = origin, legs of 4 ft along x and z; points 1 ft above.
    const Vec3 a{0, 0, 0}, b{4, 0, 0}, c{0, 0, 4};
    const struct {
        Vec3 p, q;
        bool face;
    } cases[] = {{{-1, 1, -1}, a, false},        {{5, 1, -1}, b, false},        {{-1, 1, 5}, c, false},
                 {{2, 1, -1}, {2, 0, 0}, false}, {{-1, 1, 2}, {0, 0, 2}, false}, {{3, 1, 3}, {2, 0, 2}, false},
                 {{1, 1, 1}, {1, 0, 1}, true},   {{1, 1, 0}, {1, 0, 0}, false},  {{0, 1, 1}, {0, 0, 1}, false},
                 {{0, 1, 0}, a, false},          {{4, 1, 0}, b, false},          {{0, 1, 4}, c, false},
                 {{5, 1, 1}, {4, 0, 0}, false},  {{1, 1, 5}, {0, 0, 4}, false},  {{3, 1, -2}, {3, 0, 0}, false},
                 {{-2, 1, 3}, {0, 0, 3}, false}};
    for (const auto& t : cases) {
        bool face = !t.face;
        Vec3 q = closest_on_triangle(t.p, a, b, c, face);
        EXPECT_NEAR(q.x, t.q.x, 1e-6) << t.p.x << " " << t.p.z;
        EXPECT_NEAR(q.y, t.q.y, 1e-6) << t.p.x << " " << t.p.z;
        EXPECT_NEAR(q.z, t.q.z, 1e-6) << t.p.x << " " << t.p.z;
        EXPECT_EQ(face, t.face) << t.p.x << " " << t.p.z;
    }
}

TEST(Spheres, TerrainDepthFromTheNearestFaceEdgeOrCorner)
{
    // Flat ground with a ridge 1 ft high along z = 8: its flanks are the
    // planes y = (z - 6) / 2 and y = (10 - z) / 2, 2 ft wide each.
    track::Terrain field = make_flat_field(3, 2);
    for (int i = 0; i < field.grid_side; ++i)
        field.heights[static_cast<size_t>(i + 4 * field.grid_side)] = 1;
    auto world = create_world();
    world->terrain = &field;
    const float s = 0.4472136f, c = 0.8944272f;  // flank normal: (0, c, -s) and (0, c, s)
    const struct {
        Vec3 centre;
        float radius, depth;
        Vec3 point, normal;
    } cases[] = {
        {{5, 1.5f, 8}, 1, 0.5f, {5, 1, 8}, {0, 1, 0}},                       // on the ridge line
        {{5.3f, 1, 7}, 1, 1 - s, {5.3f, 0.6f, 7.2f}, {0, c, -s}},            // near flank
        {{4.4f, 1, 9}, 1, 1 - s, {4.4f, 0.6f, 8.8f}, {0, c, s}},             // far flank
        {{6.7f, 2, 8.2f}, 1.2f, 1.2f - 1.0198039f, {6.7f, 1, 8}, {0, 0.9805807f, 0.1961161f}},  // over the edge
        {{2.5f, 0.4f, 2.7f}, 1, 0.6f, {2.5f, 0, 2.7f}, {0, 1, 0}},          // flat ground
        {{12, 0.5f, 4}, 1, 0.5f, {12, 0, 4}, {0, 1, 0}},                    // over a grid point
        {{2.5f, 2, 2.7f}, 1, 0, {}, {0, 1, 0}},                              // apart
    };
    for (const auto& t : cases) {
        SphereGround g = sphere_terrain(*world, t.centre, t.radius);
        EXPECT_NEAR(g.depth, t.depth, 1e-5) << t.centre.x << " " << t.centre.z;
        if (t.depth > 0) {
            EXPECT_NEAR(g.point.x, t.point.x, 1e-5) << t.centre.x;
            EXPECT_NEAR(g.point.y, t.point.y, 1e-5) << t.centre.x;
            EXPECT_NEAR(g.point.z, t.point.z, 1e-5) << t.centre.x;
            EXPECT_NEAR(g.normal.y, t.normal.y, 1e-5) << t.centre.x;
            EXPECT_NEAR(g.normal.z, t.normal.z, 1e-5) << t.centre.x;
        }
    }
}

TEST(DistanceLimit, PullsOnlyBeyondTheLimit)
{
    auto world = create_world();
    BodyHandle a(dBodyCreate(world->id())), b(dBodyCreate(world->id()));
    dBodySetPosition(b.get(), 3, 0, 0);
    EXPECT_FALSE(distance_limit(*world, a.get(), {}, b.get(), {}, 4));
    EXPECT_TRUE(distance_limit(*world, a.get(), {}, b.get(), {}, 2));
    step_world(*world);
    // A was pulled toward B (and B toward A).
    EXPECT_GT(dBodyGetLinearVel(a.get())[0], 0);
    EXPECT_LT(dBodyGetLinearVel(b.get())[0], 0);
}

TEST(Knockout, LongFallLowersTheLimits)
{
    // Descent of 0.6875 s (88 ticks), 10 ticks after touchdown: factor 1.
    EXPECT_FLOAT_EQ(knockout_factor(0, 88, 98), 1.0f);
    EXPECT_FLOAT_EQ(knockout_factor(0, 88, 88 + 32), 1.5f);  // 0.25 s after
    EXPECT_FLOAT_EQ(knockout_factor(0, 40, 41), 1.5f);       // short fall
    EXPECT_FLOAT_EQ(knockout_factor(100, 50, 120), 1.5f);    // still in the air
    EXPECT_NEAR(knockout_factor(0, 88, 88 + 24), 1.25f, 1e-6);  // 0.1875 s: halfway
    // 40 ft/s relative speed: fine normally (46.5), off after a long fall (31).
    Vec3 still{};
    EXPECT_FALSE(knockout_test({40, 0, 0}, still, still, 1.5f));
    EXPECT_TRUE(knockout_test({40, 0, 0}, still, still, 1.0f));
    // Impact: 10 ft/s lost in 4 ticks = 320 ft/s^2 (+32 up) is nothing; 60 ft/s is.
    EXPECT_FALSE(knockout_test(still, {0, 0, 0}, {0, -10, 0}, 1.5f));
    EXPECT_TRUE(knockout_test(still, {0, 0, 0}, {0, -60, 0}, 1.0f));
}

TEST(Knockout, RecoveryReachShrinks)
{
    test::expect_float_rows("reach", {{recovery_reach(512), 5.0f}, {recovery_reach(320), 2.5f},
                                      {recovery_reach(128), 0.0f}, {recovery_reach(5000), 5.0f}});
}

struct KnockFixture : ::testing::Test {
    track::Terrain field = make_flat_field(4, 4);
    std::unique_ptr<SimWorld> world = create_world();
    std::unique_ptr<Bike> bike = create_bike(*world, "450sxf(2017)", 1, "1");
    std::array<Bike*, 1> list{bike.get()};
    void SetUp() override
    {
        world->terrain = &field;
        place_bike(*bike, {60, 0.1f, 60}, 0);
        set_setup(*bike, bench_setup());
        for (int i = 0; i < 64; ++i)
            run_tick(*world, list);
    }
    void TearDown() override { set_knockout_penalties({}); }
};

TEST_F(KnockFixture, NegativeCollisionTimerProtectsTheRider)
{
    ASSERT_EQ(bike->knockout_count, 0);
    bike->collision_timer = -100;
    dBodySetLinearVel(bike->body(k_rider), 1000, 0, 0);
    run_tick(*world, list);
    EXPECT_EQ(bike->knockout_count, 0);
    EXPECT_EQ(bike->crash_timer, 0);
}

TEST_F(KnockFixture, CrashClockRunsOnlyWhileTheRiderIsNearlyStill)
{
    const struct {
        float rider_speed;
        int ticks_off;
    } cases[] = {{0, 1}, {2, 1}, {2.5f, 0}};
    for (const auto& c : cases) {
        knock_off(*bike);
        const int before = bike->crash_timer;
        dBodySetLinearVel(bike->body(k_rider), 0, 0, -c.rider_speed);
        bike_step(*world, *bike);
        EXPECT_EQ(before - bike->crash_timer, c.ticks_off) << c.rider_speed;
    }
}

TEST_F(KnockFixture, PenaltyTableAddsTicks)
{
    const int p[] = {100, 200};
    set_knockout_penalties(p);
    bike->collision_timer = 0;
    dBodySetLinearVel(bike->body(k_rider), 1000, 0, 0);
    run_tick(*world, list);
    ASSERT_EQ(bike->knockout_count, 1);
    EXPECT_FALSE(bike->rider_attached);
    EXPECT_GE(bike->crash_timer, 600);
    EXPECT_LE(bike->crash_timer, 612);
    knock_off(*bike);
    EXPECT_EQ(bike->crash_timer, 712);
    // The hands let go at their grips: left one first, then right.
    for (int side = 0; side < 2; ++side) {
        Vec3 grip = body_point_to_world(bike->body(k_frame),
                                        bike->info.pose_point(side == 0 ? k_pose_left_grip : k_pose_right_grip) -
                                            bike->info.frame_position);
        EXPECT_NEAR(bike->limbs[static_cast<size_t>(side)].position.x, grip.x, 1e-3) << side;
    }
    EXPECT_EQ(bike->knockout_count, 2);
    EXPECT_EQ(knockout_penalty(40), 0);
}

TEST(BikeContact, RunningIntoAnotherBikeBlamesTheHitter)
{
    track::Terrain field = make_flat_field(5, 4);
    auto world = create_world();
    world->terrain = &field;
    auto still = create_bike(*world, "450sxf(2017)", 1, "1");
    auto runner = create_bike(*world, "450sxf(2017)", 2, "2");
    // The still bike stands across the runner's path, 30 ft ahead (-z).
    place_bike(*still, {100, 0.1f, 70}, k_pi / 2);
    place_bike(*runner, {100, 0.1f, 100}, 0);
    set_setup(*still, bench_setup());
    set_setup(*runner, bench_setup());
    std::array<Bike*, 2> list{still.get(), runner.get()};
    int contact_tick = -1;
    float runner_timer = 0;
    for (int t = 0; t < 128 * 6; ++t) {
        RiderInput go;
        go.throttle = 0.5f;
        apply_input(*runner, go);
        apply_input(*still, {});
        run_tick(*world, list);
        ASSERT_TRUE(bike_is_finite(*still) && bike_is_finite(*runner)) << t;
        if (runner->first_bike_contact_tick >= 0 && contact_tick < 0) {
            contact_tick = runner->first_bike_contact_tick;
            runner_timer = runner->collision_timer;
        }
    }
    ASSERT_GE(contact_tick, 0);
    EXPECT_EQ(still->first_bike_contact_tick, contact_tick);
    EXPECT_GE(still->last_bike_contact_tick, contact_tick);
    EXPECT_TRUE(still->settled && runner->settled);
    // The runner hit with its front end at speed: its timer went up (192 for
    // like parts or 256 for a front-end hit), less the ticks since.
    EXPECT_GT(runner_timer, 150);
}

TEST(BikeContact, BlameNeedsTenFeetASecondFromTheHitterAndFiveFromTheOther)
{
    // Offset 3 ft: only the crossing bike's front end touches the other one.
    // Offset 0: like parts touch, and each bike from 10 ft/s up backs off.
    const struct {
        float offset;
        bool hitter_first;
        float hitter_speed, other_speed, hitter_timer, other_timer;
    } cases[] = {{3, true, 10, 5, 256, -640},   {3, false, 10, 5, 256, -640}, {3, true, 9.5f, 5, 0, -640},
                 {3, false, 9.5f, 5, 0, -640},  {3, true, 10, 4.5f, 0, -100}, {3, false, 10, 4.5f, 0, -100},
                 {0, true, 10, 9.5f, 192, -100}, {0, false, 10, 9.5f, 192, -100}};
    for (const auto& c : cases) {
        auto world = create_world();
        auto hitter = create_bike(*world, "450sxf(2017)", 1, "1");
        auto other = create_bike(*world, "450sxf(2017)", 2, "2");
        place_bike(*hitter, {100, 0.1f, 100 + c.offset}, k_pi / 2);
        place_bike(*other, {100, 0.1f, 100}, 0);
        set_setup(*hitter, bench_setup());
        set_setup(*other, bench_setup());
        dBodySetLinearVel(hitter->body(k_frame), c.hitter_speed, 0, 0);
        dBodySetLinearVel(other->body(k_frame), 0, 0, -c.other_speed);
        other->collision_timer = -100;
        ASSERT_TRUE(c.hitter_first ? collide_bikes(*world, *hitter, *other) : collide_bikes(*world, *other, *hitter));
        EXPECT_EQ(hitter->collision_timer, c.hitter_timer) << c.offset << " " << c.hitter_first << " " << c.hitter_speed;
        EXPECT_EQ(other->collision_timer, c.other_timer) << c.offset << " " << c.hitter_first << " " << c.other_speed;
    }
}

// Online a fork touching another bike only detects the touch (the other
// bike's position comes late over the network); its other parts still
// push. Crossing 2 ft from the middle, the fork and one more part touch.
TEST(BikeContact, OnlineAForkTouchingAnotherBikeOnlyDetects)
{
    int added[2] = {0, 0};
    for (bool connected : {false, true}) {
        auto world = create_world();
        world->connected = connected;
        auto hitter = create_bike(*world, "450sxf(2017)", 1, "1");
        auto other = create_bike(*world, "450sxf(2017)", 2, "2");
        place_bike(*hitter, {98, 0.1f, 102}, k_pi / 2);
        place_bike(*other, {100, 0.1f, 100}, 0);
        auto joints = [&] {
            int n = 0;
            for (int i = 0; i < k_body_count; ++i)
                n += dBodyGetNumJoints(other->body(i));
            return n;
        };
        const int before = joints();
        EXPECT_TRUE(collide_bikes(*world, *hitter, *other)) << connected;
        added[connected] = joints() - before;
    }
    EXPECT_GE(added[1], 1);
    EXPECT_EQ(added[0], added[1] + 1);
}

struct ObjectFixture : ::testing::Test {
    track::Terrain field = make_flat_field(5, 4);  // 256 ft
    std::unique_ptr<SimWorld> world = create_world();
    std::unique_ptr<Bike> bike = create_bike(*world, "450sxf(2017)", 1, "1");
    std::array<Bike*, 1> list{bike.get()};

    void SetUp() override
    {
        track::clear_scenery();
        world->terrain = &field;
        place_bike(*bike, {128, 0.1f, 200}, 0);
        RiderSetup s = bench_setup();
        s.arcade = false;
        set_setup(*bike, s);
    }
    void TearDown() override { track::clear_scenery(); }

    // A static object of one sphere at (x, y, z).
    int add_ball(float x, float y, float z, float radius)
    {
        int i = track::create_track_object(x, 0, z, 0, "", "", "");
        track::TrackObject& o = track::track_object(i);
        o.y = y;
        track::Shape shape;
        shape.spheres.push_back({0, 0, 0, radius, 1, 25000, 2500});
        track::update_bounding_radius(shape);
        o.shape = shape;
        track::build_object_buckets(field.field_size);
        return i;
    }

    // Rides at `speed` ft/s toward -z for the given ticks; returns the
    // touching parts seen.
    int ride(float speed, int ticks)
    {
        int seen = 0;
        for (int t = 0; t < ticks; ++t) {
            RiderInput in;
            in.throttle = bike_speed(*bike) < speed ? 0.6f : 0.0f;
            apply_input(*bike, in);
            for (Bike* b : list) {
                collide_bike_terrain(*world, *b);
                seen |= collide_bike_objects(*world, *b);
            }
            step_world(*world);
            for (Bike* b : list)
                bike_step(*world, *b);
            ++world->tick;
            EXPECT_TRUE(bike_is_finite(*bike));
        }
        return seen;
    }
};

TEST_F(ObjectFixture, HeadHighObjectKnocksAFastRiderOff)
{
    int obj = add_ball(128, 4.6f, 120, 1.2f);
    int seen = ride(30, 128 * 6);
    EXPECT_TRUE(seen & k_part_rider);
    EXPECT_GE(bike->knockout_count, 1);
    EXPECT_GE(track::track_object(obj).last_contact_tick, 0);
}

TEST_F(ObjectFixture, OnlyTheRiderTouchingAnObjectFasterThanTwentyFeetASecondIsKnockedOff)
{
    const Vec3 rider = body_position(bike->body(k_rider)), wheel = body_position(bike->body(k_front_wheel));
    const struct {
        Vec3 ball;
        float rider_speed;
        int knockouts;
    } cases[] = {{rider + Vec3{0, 1.5f, 0}, 20, 0}, {rider + Vec3{0, 1.5f, 0}, 20.5f, 1}, {wheel + Vec3{0, 0, -0.9f}, 30, 0}};
    for (const auto& c : cases) {
        track::clear_scenery();
        add_ball(c.ball.x, c.ball.y, c.ball.z, 0.5f);
        dBodySetLinearVel(bike->body(k_rider), 0, 0, -c.rider_speed);
        EXPECT_NE(collide_bike_objects(*world, *bike), 0);
        EXPECT_EQ(bike->knockout_count, c.knockouts) << c.rider_speed;
        bike->knockout_count = 0;
        bike->crash_timer = 0;
    }
}

TEST_F(ObjectFixture, LowObjectStopsTheFrontWheelWithoutAKnockout)
{
    add_ball(128, 1.0f, 195, 1.0f);  // a boulder in the way, ridden into at walking pace
    int seen = ride(4, 128 * 5);
    EXPECT_TRUE(seen & k_part_front_wheel);
    EXPECT_FALSE(seen & k_part_rider);
    EXPECT_EQ(bike->knockout_count, 0);
    // It stopped at the boulder instead of passing through it.
    EXPECT_GT(body_position(bike->body(k_front_wheel)).z, 195.0f);
}

// A starting-gate object is a wall in the first 10 seconds after the start
// and nothing afterwards; other objects stay solid.
TEST_F(ObjectFixture, GateObjectsCountOnlyUntilTenSecondsAfterTheStart)
{
    struct TimingReset {
        ~TimingReset() { track::free_timing(); }
    } reset;
    int gate = add_ball(128, 1.0f, 195, 1.0f);  // a bar in the way
    track::StartingGate sg;
    sg.object = gate;
    track::mutable_track_timing().gates = {sg};
    world->start_tick = 1000;

    // Up to 10 seconds after the start the gate holds the bike.
    world->tick = 1000 + 4 * 128;
    int seen = ride(4, 128 * 5);
    ASSERT_LT(world->tick, 1000 + 10 * 128);
    EXPECT_TRUE(seen & k_part_front_wheel);
    EXPECT_GT(body_position(bike->body(k_front_wheel)).z, 195.0f);
    EXPECT_GE(track::track_object(gate).last_contact_tick, 1000 + 4 * 128);

    // From then on the bike rides through it, untouched.
    track::track_object(gate).last_contact_tick = -1;
    world->tick = 1000 + 10 * 128;
    seen = ride(4, 128 * 5);
    EXPECT_EQ(seen, 0);
    EXPECT_EQ(track::track_object(gate).last_contact_tick, -1);
    EXPECT_LT(body_position(bike->body(k_rear_wheel)).z, 193.0f);

    // Without a starting gate the same ball is a plain object, solid at any tick.
    track::free_timing();
    place_bike(*bike, {128, 0.1f, 200}, 0);
    world->tick = 1000 + 60 * 128;
    seen = ride(4, 128 * 5);
    EXPECT_TRUE(seen & k_part_front_wheel);
    EXPECT_GT(body_position(bike->body(k_front_wheel)).z, 195.0f);
}

TEST(HostileShapes, BrokenSpheresMakeNoContactAndNoNan)
{
    track::Terrain field = make_flat_field(5, 4);
    auto world = create_world();
    world->terrain = &field;
    auto a = create_bike(*world, "450sxf(2017)", 1, "1");
    auto b = create_bike(*world, "cr125", 2, "2");
    place_bike(*a, {100, 0.1f, 100}, 0);
    place_bike(*b, {101.5f, 0.1f, 100}, 0.3f);  // overlapping the first bike
    const float nan = NAN;
    for (Bike* k : {a.get(), b.get()}) {
        set_setup(*k, bench_setup());
        k->shapes[k_frame] = {{0, 0, 0, 1, 1, 0, 0}, {0, 0.5f, 0, -2, 1, 2500, 250},
                              {0, -2, 0, 1, nan, 2500, 250}, {0, 0, 0, 1, 1, -5, -5},
                              {0, 0, 0, 1e9f, 1, 2500, 250}};
        k->shapes[k_rider] = {{0, 0, 0, 0.75f, 1, nan, nan}};
    }
    std::array<Bike*, 2> list{a.get(), b.get()};
    WorldSphere zero{{0, 0, 0}, 1, 1, 0, 0};
    WorldSphere neg{{0.5f, 0, 0}, -1, 1, 2500, 250};
    EXPECT_FALSE(sphere_sphere(*world, zero, neg, ContactMode::detect));
    for (int t = 0; t < 256; ++t) {
        RiderInput in;
        in.throttle = 0.5f;
        apply_input(*a, in);
        apply_input(*b, in);
        run_tick(*world, list);
        ASSERT_TRUE(bike_is_finite(*a) && bike_is_finite(*b)) << t;
    }
}

}  // namespace
}  // namespace zv::sim
