// Whole bikes on the flat field through the same code as the bench: rest,
// launch, brake and ride per class, crashes at speed, hostile inputs, and no
// allocation in the tick.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <atomic>
#include <cstdlib>
#include <memory>
#include <random>

#include "sim/bike.h"
#include "sim/contact.h"
#include "sim/maneuver.h"
#include "sim/world.h"

#include "support/allocation_counter.h"

namespace zv::sim {
namespace {

ManeuverReport run(const char* model, Maneuver m, float seconds, int riders = 1)
{
    static const track::Terrain field = make_flat_field();
    ManeuverOptions o;
    o.model = model;
    o.maneuver = m;
    o.seconds = seconds;
    auto starts = side_by_side(field, riders);
    return run_maneuver(field, starts, o);
}

TEST(Maneuver, NamesRoundTrip)
{
    for (Maneuver m : {Maneuver::rest, Maneuver::launch, Maneuver::brake, Maneuver::ride})
        EXPECT_EQ(parse_maneuver(maneuver_name(m)), m);
    EXPECT_FALSE(parse_maneuver("wheelie"));
    ManeuverState st;
    EXPECT_EQ(maneuver_input(Maneuver::brake, 39, st).throttle, 1.0f);
    EXPECT_EQ(maneuver_input(Maneuver::brake, 40, st).front_brake, 1.0f);
    EXPECT_EQ(maneuver_input(Maneuver::brake, 10, st).throttle, 0.0f);  // stays braking
    EXPECT_EQ(maneuver_input(Maneuver::ride, 10, st).throttle, 0.6f);
}

TEST(Maneuver, RestSettlesWithRealisticSag)
{
    ManeuverReport r = run("450sxf(2017)", Maneuver::rest, 3, 2);
    ASSERT_EQ(r.riders.size(), 2u);
    for (const RiderReport& x : r.riders) {
        EXPECT_FALSE(x.nan);
        EXPECT_EQ(x.knockouts, 0);
        EXPECT_LT(x.max_abs_lean_deg, 5);
        EXPECT_LT(x.max_speed_mph, 0.5f);
        EXPECT_GT(x.fork_sag_mm, 20);   // a fork sinks a few cm under a rider
        EXPECT_LT(x.fork_sag_mm, 120);
        EXPECT_GT(x.shock_sag_mm, 5);   // shock stroke; the wheel moves about 3 times that
        EXPECT_LT(x.shock_sag_mm, 60);
        EXPECT_EQ(x.final_gear, 1);
    }
}

TEST(Maneuver, PushedOverAtRestTheDabAssistHoldsItUp)
{
    track::Terrain field = make_flat_field(5, 4);
    auto world = create_world();
    world->terrain = &field;
    auto bike = create_bike(*world, "crf250(2017)", 1, "1");
    place_bike(*bike, {100, 0.1f, 100}, 0.7f);
    RiderSetup s = bench_setup();
    s.arcade = false;
    set_setup(*bike, s);
    std::array<Bike*, 1> list{bike.get()};
    float worst = 0;
    for (int t = 0; t < 128 * 8; ++t) {
        if (t == 256)
            for (int b = 0; b < k_body_count; ++b)
                dBodySetAngularVel(bike->body(b), 0.6 * std::cos(0.7), 0, -0.6 * std::sin(0.7));
        apply_input(*bike, {});
        run_tick(*world, list);
        if (t > 256)
            worst = std::max(worst, std::fabs(lean_angle(bike->body(k_frame))));
        ASSERT_TRUE(bike_is_finite(*bike)) << t;
    }
    EXPECT_GT(worst, 0.01f);  // it did lean
    EXPECT_LT(std::fabs(lean_angle(bike->body(k_frame))), 0.1f);
    EXPECT_EQ(bike->knockout_count, 0);
    EXPECT_TRUE(bike->settled);
}

TEST(Maneuver, LaunchPerClass)
{
    ManeuverReport big = run("450sxf(2017)", Maneuver::launch, 14);
    ManeuverReport mini = run("rs50cr", Maneuver::launch, 14);
    ManeuverReport two = run("cr125", Maneuver::launch, 14);
    const RiderReport& b = big.riders[0];
    const RiderReport& m = mini.riders[0];
    const RiderReport& t = two.riders[0];
    ASSERT_TRUE(b.time_to_60mph_s);
    EXPECT_LT(*b.time_to_60mph_s, 7);      // a few seconds
    EXPECT_GT(*b.time_to_60mph_s, 2.5f);   // not a rocket either
    EXPECT_GT(b.max_speed_mph, 75);        // well above 60
    EXPECT_LT(b.max_speed_mph, 130);
    EXPECT_GE(b.final_gear, 4);
    EXPECT_LT(b.max_rpm, 13000);
    ASSERT_TRUE(t.time_to_30mph_s && b.time_to_30mph_s);
    EXPECT_GT(*t.time_to_30mph_s, *b.time_to_30mph_s);
    EXPECT_LT(m.max_speed_mph, 50);        // the minibike is far slower
    EXPECT_FALSE(m.time_to_60mph_s);
    // The sag is taken at the end of the settling, before the throttle opens.
    const RiderReport rest = run("450sxf(2017)", Maneuver::rest, 0).riders[0];
    EXPECT_NEAR(b.fork_sag_mm, rest.fork_sag_mm, 0.5f);
    EXPECT_NEAR(b.shock_sag_mm, rest.shock_sag_mm, 0.5f);
    for (const RiderReport* x : {&b, &m, &t}) {
        EXPECT_FALSE(x->nan);
        EXPECT_EQ(x->knockouts, 0);
        EXPECT_LT(x->max_abs_lean_deg, 10);
        EXPECT_FALSE(x->stop_distance_ft);
    }
}

// A 350 four-stroke sits between the 250 and the 450 four-strokes of its
// time: it gets to 60 mph later than the 450 and sooner than the 250, and
// its top speed lies between theirs.
TEST(Maneuver, ThreeFiftiesLaunchBetweenTheTwoFiftyAndFourFiftyFourStrokes)
{
    struct Trio {
        const char* small;
        const char* middle;
        const char* big;
    };
    for (const Trio& t : {Trio{"crf250(2017)", "350sxf(2017)", "450sxf(2017)"},
                          Trio{"crf250(2013)", "350sxf(2013)", "450sxf(2013)"},
                          Trio{"crf250(2017)", "350sxf(2011)", "450sxf(2011)"}}) {
        SCOPED_TRACE(t.middle);
        RiderReport r[3];
        int i = 0;
        for (const char* model : {t.small, t.middle, t.big})
            r[i++] = run(model, Maneuver::launch, 12).riders[0];
        for (const RiderReport& x : r)
            ASSERT_TRUE(x.time_to_60mph_s) << x.model;
        EXPECT_GT(*r[0].time_to_60mph_s, *r[1].time_to_60mph_s);
        EXPECT_GT(*r[1].time_to_60mph_s, *r[2].time_to_60mph_s);
        EXPECT_LT(r[0].max_speed_mph, r[1].max_speed_mph);
        EXPECT_LT(r[1].max_speed_mph, r[2].max_speed_mph);
    }
}

TEST(Maneuver, BrakingFromFortyStopsInTensOfFeet)
{
    ManeuverReport r = run("kx450f(2017)", Maneuver::brake, 20);
    const RiderReport& x = r.riders[0];
    ASSERT_TRUE(x.stop_distance_ft);
    // 40 mph with grip 1 needs at least 54 ft.
    EXPECT_GT(*x.stop_distance_ft, 50);
    EXPECT_LT(*x.stop_distance_ft, 150);
    EXPECT_GE(x.max_speed_mph, 40);
    EXPECT_LT(x.max_speed_mph, 45);
    EXPECT_EQ(x.knockouts, 0);
    EXPECT_FALSE(x.nan);
}

TEST(Maneuver, KnockedOffAtSpeedAndRecovered)
{
    track::Terrain field = make_flat_field();
    auto world = create_world();
    world->terrain = &field;
    auto bike = create_bike(*world, "450sxf(2017)", 1, "1");
    place_bike(*bike, {1000, 0.1f, 1800}, 0);
    RiderSetup s = bench_setup();
    s.arcade = false;
    set_setup(*bike, s);
    std::array<Bike*, 1> list{bike.get()};
    bool knocked = false;
    for (int t = 0; t < 128 * 22; ++t) {
        RiderInput in;
        in.throttle = t < 128 * 6 && bike_speed(*bike) < 58 ? 1.0f : 0.0f;
        in.steer = t > 128 * 6 ? 0.3f : 0.0f;
        if (t == 128 * 6) {
            ASSERT_GT(bike_speed(*bike), 50);
            knock_off(*bike);
            knocked = true;
        }
        apply_input(*bike, in);
        run_tick(*world, list);
        ASSERT_TRUE(bike_is_finite(*bike)) << t;
        for (const LimbPoint& l : bike->limbs)
            ASSERT_TRUE(is_finite(l.position)) << t;
    }
    EXPECT_TRUE(knocked);
    EXPECT_GE(bike->knockout_count, 1);
    EXPECT_EQ(bike->crash_timer, 0);
    EXPECT_TRUE(bike->rider_attached);
    // The rider sits at the riding position again.
    Vec3 seat = body_point_to_world(bike->body(k_frame), bike->info.rider_position - bike->info.frame_position);
    EXPECT_LT(length(seat - body_position(bike->body(k_rider))), 1.0f);
}

TEST(Maneuver, HostileInputsNeverMakeTheStateNonFinite)
{
    track::Terrain field = make_flat_field(6, 4);
    // A few bumps so wheels meet slopes and edges.
    for (size_t i = 0; i < field.heights.size(); i += 7)
        field.heights[i] = static_cast<float>(i % 5) * 0.3f;
    auto world = create_world();
    world->terrain = &field;
    std::vector<std::unique_ptr<Bike>> bikes;
    std::vector<Bike*> list;
    const char* models[] = {"450sxf(2017)", "rs50yz", "cr125"};
    for (int i = 0; i < 3; ++i) {
        bikes.push_back(create_bike(*world, models[i], i + 1, "7"));
        place_bike(*bikes.back(), {200.0f + 5 * static_cast<float>(i), 2, 200}, 0.3f * static_cast<float>(i));
        RiderSetup s = bench_setup();
        s.arcade = i == 1;
        s.sticky_dab = i == 2;
        set_setup(*bikes.back(), s);
        list.push_back(bikes.back().get());
    }
    std::mt19937 rng(7);
    std::uniform_real_distribution<float> u(-2, 2);
    const float odd[] = {NAN, INFINITY, -INFINITY, 1e30f, -1e30f};
    for (int t = 0; t < 128 * 8; ++t) {
        for (Bike* b : list) {
            RiderInput in{u(rng), u(rng), u(rng), u(rng), u(rng), u(rng), u(rng), u(rng), u(rng)};
            if (t % 97 == 0)
                in.throttle = in.steer = in.clutch = odd[(t / 97) % 5];
            if (t % 300 == 150)
                knock_off(*b);
            apply_input(*b, in);
        }
        run_tick(*world, list);
        for (Bike* b : list)
            ASSERT_TRUE(bike_is_finite(*b)) << b->info.name << " tick " << t;
    }
}

TEST(Maneuver, TicksDoNotAllocate)
{
    track::Terrain field = make_flat_field(5, 4);
    auto world = create_world();
    world->terrain = &field;
    std::vector<std::unique_ptr<Bike>> bikes;
    std::vector<Bike*> list;
    for (int i = 0; i < 4; ++i) {
        bikes.push_back(create_bike(*world, "yz250f(2017)", i + 1, "1"));
        place_bike(*bikes.back(), {60.0f + 2.5f * static_cast<float>(i), 0.1f, 100}, 0);
        set_setup(*bikes.back(), bench_setup());
        list.push_back(bikes.back().get());
    }
    RiderInput in;
    in.throttle = 0.6f;
    for (int t = 0; t < 64; ++t) {
        for (Bike* b : list)
            apply_input(*b, in);
        run_tick(*world, list);
    }
#if ZV_COUNT_ALLOCATIONS
    g_counting = true;  // the counter sees an allocation...
    auto probe = std::make_unique<int>(1);
    g_counting = false;
    ASSERT_GE(g_allocations.load(), 1);
    g_allocations = 0;
    g_counting = true;  // ...and none in the ticks
    for (int t = 0; t < 256; ++t) {
        for (Bike* b : list)
            apply_input(*b, in);
        run_tick(*world, list);
    }
    g_counting = false;
    EXPECT_EQ(g_allocations.load(), 0);
#else
    GTEST_SKIP() << "allocation counting needs the plain malloc";
#endif
}

// A rider holding 20 degrees of lean at 30 ft/s: the bike carves a steady
// circle whose radius fits v^2 / (g tan lean).
void steady_turn(bool arcade)
{
    track::Terrain field = make_flat_field();
    auto world = create_world();
    world->terrain = &field;
    auto bike = create_bike(*world, "450sxf(2017)", 1, "1");
    place_bike(*bike, {1000, 0.1f, 1000}, 0);
    RiderSetup s = bench_setup();
    s.arcade = arcade;
    set_setup(*bike, s);
    std::array<Bike*, 1> list{bike.get()};
    const float want = 20 * k_pi / 180;
    float heading_start = 0, lean_sum = 0;
    int lean_n = 0;
    for (int t = 0; t < 128 * 14; ++t) {
        RiderInput in;
        in.throttle = bike_speed(*bike) < 30 ? 0.5f : 0.1f;
        float lean = lean_angle(bike->body(k_frame));
        if (t > 128 * 6) {
            float c = std::clamp(-(want - lean) * 3, -1.0f, 1.0f);
            in.steer = s.reverse_steering ? -c : c;
        }
        apply_input(*bike, in);
        run_tick(*world, list);
        ASSERT_TRUE(bike_is_finite(*bike));
        Vec3 f = body_vector_to_world(bike->body(k_frame), {0, 0, -1});
        float heading = std::atan2(f.x, -f.z);
        if (t == 128 * 9)
            heading_start = heading;
        if (t > 128 * 9) {
            lean_sum += lean;
            ++lean_n;
        }
    }
    Vec3 f = body_vector_to_world(bike->body(k_frame), {0, 0, -1});
    float turned = std::remainder(std::atan2(f.x, -f.z) - heading_start, 2 * k_pi);
    float lean = lean_sum / static_cast<float>(lean_n);
    EXPECT_EQ(bike->knockout_count, 0);
    EXPECT_GT(std::fabs(lean), 0.2f);
    EXPECT_LT(std::fabs(lean), 0.45f);
    // 5 s at 30 ft/s on a circle of v^2 / (32 tan lean): 45 to 120 degrees.
    float expect = 5 * 30 / (900 / (32 * std::tan(std::fabs(lean))));
    EXPECT_GT(std::fabs(turned), 0.6f * expect) << lean;
    EXPECT_LT(std::fabs(turned), 1.4f * expect) << lean;
    EXPECT_NEAR(bike_speed(*bike), 30, 3);
}

TEST(Maneuver, SteadyTurnWithTheRollServo) { steady_turn(false); }
TEST(Maneuver, SteadyTurnWithArcadePhysics) { steady_turn(true); }

struct JumpResult {
    int knockouts;
    float peak_height;
    bool finite;
};

// A ramp rising toward -z to `height` over 40 ft, then a sheer drop to the
// flat: the bike rides at it at `speed` ft/s and flies off the lip.
JumpResult jump(float height, float speed)
{
    track::Terrain field = make_flat_field(7, 4);
    int w = field.grid_side;
    for (int j = 0; j < w; ++j) {
        float z = static_cast<float>(j) * 4;
        float h = (z <= 640 && z > 600) ? height * (640 - z) / 40 : 0;
        for (int i = 0; i < w; ++i)
            field.heights[static_cast<size_t>(i + w * j)] = h;
    }
    auto world = create_world();
    world->terrain = &field;
    auto bike = create_bike(*world, "450sxf(2017)", 1, "1");
    place_bike(*bike, {512, 0.1f, 900}, 0);
    RiderSetup s = bench_setup();
    s.arcade = false;
    set_setup(*bike, s);
    std::array<Bike*, 1> list{bike.get()};
    JumpResult r{0, 0, true};
    for (int t = 0; t < 128 * 11 && r.finite; ++t) {
        RiderInput in;
        in.throttle = bike_speed(*bike) < speed ? 1.0f : 0.3f;
        apply_input(*bike, in);
        run_tick(*world, list);
        r.finite = bike_is_finite(*bike);
        r.peak_height = std::max(r.peak_height, body_position(bike->body(k_frame)).y);
    }
    r.knockouts = bike->knockout_count;
    return r;
}

TEST(Maneuver, ModestJumpLandsRidden)
{
    JumpResult r = jump(8, 60);
    EXPECT_TRUE(r.finite);
    EXPECT_GT(r.peak_height, 8);
    EXPECT_EQ(r.knockouts, 0);
}

TEST(Maneuver, HugeDropToFlatThrowsTheRiderOff)
{
    JumpResult r = jump(20, 70);
    EXPECT_TRUE(r.finite);
    EXPECT_GT(r.peak_height, 22);
    EXPECT_GE(r.knockouts, 1);
}

}  // namespace
}  // namespace zv::sim
