// Rider input to controls, the steering torque in the air, lean ranges.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <tuple>

#include "sim/bike.h"
#include "sim/control.h"
#include "sim/maneuver.h"
#include "sim/world.h"

namespace zv::sim {
namespace {

struct ControlTest : ::testing::Test {
    std::unique_ptr<SimWorld> world = create_world();
    std::unique_ptr<Bike> bike = create_bike(*world, "450sxf(2017)", 1, "1");
};

TEST_F(ControlTest, ClutchLeverDisengagesAtOnceAndReengagesOverAQuarterSecond)
{
    RiderInput in;
    in.clutch = 0.875f;
    apply_input(*bike, in);
    EXPECT_FLOAT_EQ(bike->controls.clutch, 0.0f);
    in.clutch = 0.4375f;  // halfway: 1 - 0.5
    apply_input(*bike, in);
    EXPECT_FLOAT_EQ(bike->controls.clutch, 1.0f / 32);
    in.clutch = 0;
    for (int i = 1; i < 16; ++i)
        apply_input(*bike, in);
    EXPECT_FLOAT_EQ(bike->controls.clutch, 0.5f);
    for (int i = 0; i < 15; ++i)
        apply_input(*bike, in);
    EXPECT_FLOAT_EQ(bike->controls.clutch, 31.0f / 32);
    apply_input(*bike, in);
    EXPECT_FLOAT_EQ(bike->controls.clutch, 1.0f);
    in.clutch = 2;  // beyond the lever: fully out
    apply_input(*bike, in);
    EXPECT_FLOAT_EQ(bike->controls.clutch, 0.0f);
}

TEST_F(ControlTest, StickyDabFlipsOnEachPress)
{
    bike->flags |= k_flag_sticky_dab;
    RiderInput in;
    in.sit_dab = 1;
    apply_input(*bike, in);
    EXPECT_EQ(bike->controls.sit_dab, 1.0f);
    apply_input(*bike, in);  // held
    apply_input(*bike, in);
    EXPECT_EQ(bike->controls.sit_dab, 1.0f);
    in.sit_dab = 0.2f;  // released
    apply_input(*bike, in);
    EXPECT_EQ(bike->controls.sit_dab, 1.0f);
    in.sit_dab = 0.5f;  // pressed again
    apply_input(*bike, in);
    EXPECT_EQ(bike->controls.sit_dab, 0.0f);
    bike->flags &= static_cast<std::uint8_t>(~k_flag_sticky_dab);
    in.sit_dab = 0.3f;
    apply_input(*bike, in);
    EXPECT_FLOAT_EQ(bike->controls.sit_dab, 0.3f);
}

TEST_F(ControlTest, KnockedOffRiderIgnoresThrottleDabBackUpAndLean)
{
    bike->crash_timer = 100;
    RiderInput in{0.5f, 1, 1, 1, 1, 0, 1, 1, 1};
    int gear = bike->controls.gear;
    apply_input(*bike, in);
    const auto& c = bike->controls;
    EXPECT_EQ(std::tuple(c.throttle, c.sit_dab, c.back_up, c.lean, c.front_brake),
              std::tuple(0.0f, 0.0f, 0.0f, 0.0f, 1.0f));
    EXPECT_EQ(c.gear, gear);  // gear changes refused
}

TEST_F(ControlTest, InputsAreClampedAndSteeringCanBeReversed)
{
    RiderInput in{5, 2, -1, NAN, 0, 0, 0, 0, -3};
    apply_input(*bike, in);
    const auto& c = bike->controls;
    EXPECT_EQ(std::tuple(c.steer, c.throttle, c.front_brake, c.rear_brake, c.lean),
              std::tuple(1.0f, 1.0f, 0.0f, 0.0f, -1.0f));
    bike->reverse_steering = true;
    in.steer = 0.25f;
    apply_input(*bike, in);
    EXPECT_EQ(bike->controls.steer, -0.25f);
}

TEST_F(ControlTest, ShiftActsOnChangeOnly)
{
    RiderInput in;
    in.shift = 1;
    for (int i = 0; i < 5; ++i)
        apply_input(*bike, in);
    EXPECT_EQ(bike->controls.gear, 1);
    in.shift = 0;
    apply_input(*bike, in);
    in.shift = 0.9f;
    apply_input(*bike, in);
    EXPECT_EQ(bike->controls.gear, 2);
    in.shift = -1;
    apply_input(*bike, in);
    EXPECT_EQ(bike->controls.gear, 1);
    in.shift = 0.5f;  // not above 0.5: no shift, but a change of value
    apply_input(*bike, in);
    EXPECT_EQ(bike->controls.gear, 1);
}

TEST_F(ControlTest, HeldControlsAtTheStart)
{
    bike->controls.throttle = 1;
    hold_controls(*bike);
    const auto& c = bike->controls;
    EXPECT_EQ(std::tuple(c.throttle, c.clutch, c.front_brake, c.sit_dab), std::tuple(0.0f, 0.0f, 1.0f, 1.0f));
}

TEST(LeanRange, ServoAndDabRanges)
{
    float lim = k_pi / 4;
    EXPECT_EQ(lean_range(0, 30, lim, 4), 0.0f);
    EXPECT_NEAR(lean_range(15, 30, lim, 4), (1 - std::pow(0.75f, 4.0f)) * lim, 1e-6);
    EXPECT_NEAR(lean_range(20, 30, lim, 4), lim + (2 * k_pi - lim) * (175.0f / 675), 1e-5);
    EXPECT_FLOAT_EQ(lean_range(30, 30, lim, 4), 2 * k_pi);
    EXPECT_NEAR(lean_range(15, 30, lim, 32), (1 - std::pow(0.75f, 32.0f)) * lim, 1e-6);
    EXPECT_FLOAT_EQ(lean_range(20, 10, lim, 4), 2 * k_pi);
}

TEST_F(ControlTest, SteeringInTheAirIsDirectTorquePlusCentring)
{
    // The bike hangs in the air (no contacts): direct steering 1 with half
    // input gives 1.5 (-50 psi + 75 * 0.5) about the steering axis.
    bike->controls.steer = 0.5f;
    dBodySetTorque(bike->body(k_front_wheel), 0, 0, 0);
    steering_step(*world, *bike);
    Vec3 axis = normalized(bike->info.steering_head - bike->info.fork_lower);
    Vec3 t = to_vec(dBodyGetTorque(bike->body(k_front_wheel)));
    EXPECT_NEAR(dot(t, axis), 1.5f * 37.5f, 1e-3);
    EXPECT_NEAR(length(t), 1.5f * 37.5f, 1e-3);
    Vec3 f = to_vec(dBodyGetTorque(bike->body(k_frame)));
    EXPECT_NEAR(dot(f, axis), -1.5f * 37.5f, 1e-3);
    EXPECT_FLOAT_EQ(bike->controls.landing_multiplier, 2.0f);
    // Max steering force bounds it.
    set_setup_value(*bike, SetupValue::max_steering_force, 10);
    dBodySetTorque(bike->body(k_front_wheel), 0, 0, 0);
    steering_step(*world, *bike);
    EXPECT_NEAR(length(to_vec(dBodyGetTorque(bike->body(k_front_wheel)))), 10.0f, 1e-3);
}

TEST_F(ControlTest, LandingDampingReturnsToNormalOverTheFalloff)
{
    set_setup_value(*bike, SetupValue::roll_damping, 0);
    set_setup_value(*bike, SetupValue::leveling, 0);
    bike->front_contact.depth = 0.05f;
    dBodySetAngularVel(bike->body(k_front_wheel), -2, 0, 0);  // rolling: hinge rate +2
    bike->controls.landing_multiplier = 2;
    steering_step(*world, *bike);
    EXPECT_FLOAT_EQ(bike->controls.landing_multiplier, 2 - 0.03125f);
    for (int i = 0; i < 40; ++i)
        steering_step(*world, *bike);
    EXPECT_FLOAT_EQ(bike->controls.landing_multiplier, 1.0f);
}

// The roll servo at speed (past the dab speed the lean range is a full
// turn): the wanted roll rate is capped at 25/8 pi rad/s when it brings the
// bike back upright, at 5/4 pi when it leans it further over; a bike rolling
// faster than the cap is pushed back, slower is pushed on (full output, 1.5
// x 75 either way). While a collision's timer runs the roll torque is
// capped, less the more of its 192 ticks are left.
TEST_F(ControlTest, RollServoCapsTheWantedRollRateAndACollisionCapsTheRollTorque)
{
    set_setup_value(*bike, SetupValue::roll_damping, 0);
    set_setup_value(*bike, SetupValue::leveling, 0);
    set_setup_value(*bike, SetupValue::direct_steering, 0);
    bike->front_contact.depth = 0.05f;
    Vec3 axis = normalized(bike->info.steering_head - bike->info.fork_lower);
    auto torque = [&](float steer, float roll) {
        bike->controls.steer = steer;
        dBodySetTorque(bike->body(k_front_wheel), 0, 0, 0);
        dBodySetAngularVel(bike->body(k_front_wheel), -2, 0, 0);
        dBodySetAngularVel(bike->body(k_frame), 0, 0, roll);
        dBodySetLinearVel(bike->body(k_frame), 0, 0, -100);
        steering_step(*world, *bike);
        return dot(to_vec(dBodyGetTorque(bike->body(k_front_wheel))), axis);
    };
    const float full = 1.5f * 75;
    struct Case {
        float steer, roll, torque;
    } cases[] = {
        {-1, 3, -full}, {-1, 5, full},      // leaning over: cap 3.93
        {1, -9, full}, {1, -10.5f, -full},  // back upright: cap 9.82
    };
    for (const Case& c : cases)
        EXPECT_NEAR(torque(c.steer, c.roll), c.torque, 1e-2) << c.steer << " " << c.roll;

    // Roll damping 60 against a roll of 4 rad/s: 240, then the collision's
    // cap 200 (192 - t) / 192 while the timer runs.
    set_setup_value(*bike, SetupValue::roll_damping, 60);
    set_setup_value(*bike, SetupValue::direct_steering, 1);
    const struct {
        int timer;
        float torque;
    } collisions[] = {{0, 240}, {-5, 240}, {1, 200 * 191 / 192.0f}, {96, 100}, {192, 0}, {250, 0}};
    for (const auto& c : collisions) {
        bike->collision_timer = c.timer;
        bike->controls.landing_multiplier = 1;
        EXPECT_NEAR(torque(0, 4), 1.5f * c.torque, 1e-2) << c.timer;
    }
}

// The lock a front wheel on the ground may slide to: the whole quarter turn
// up to the full-lock speed, narrowing toward the restricted lock (here 0.05
// rad, reached at 11 ft/s: never below a foot per second past the full-lock
// speed of 10). A wheel sliding past it turns the torque that would steer
// further into the slide around: a quarter of the 400 maximum the other
// way. Steering out of the slide is never cut.
TEST_F(ControlTest, SteeringLockNarrowsWithSpeedOnTheGround)
{
    place_bike(*bike, {0, 0, 0}, 0);
    set_setup_value(*bike, SetupValue::roll_damping, 0);
    set_setup_value(*bike, SetupValue::leveling, 0);
    set_setup_value(*bike, SetupValue::restricted_lock, 0.05f);
    set_setup_value(*bike, SetupValue::restricted_lock_speed, 5);
    bike->front_contact.depth = 0.05f;
    Vec3 axis = normalized(bike->info.steering_head - bike->info.fork_lower);
    const float R = bike->info.front.ring_radius + bike->info.front.section_radius;
    auto torque = [&](float speed, float slide, float steer) {
        bike->controls.steer = steer;
        dBodySetTorque(bike->body(k_front_wheel), 0, 0, 0);
        dBodySetAngularVel(bike->body(k_front_wheel), -speed / R, 0, 0);
        dBodySetLinearVel(bike->body(k_front_wheel), speed * std::sin(slide), 0, -speed * std::cos(slide));
        dBodySetLinearVel(bike->body(k_frame), 0, 0, -speed);
        steering_step(*world, *bike);
        return dot(to_vec(dBodyGetTorque(bike->body(k_front_wheel))), axis);
    };
    const float full = 1.5f * 75;
    const struct {
        float speed, slide, steer, torque;
    } cases[] = {
        {10, 0.3f, 1, full}, {10, -0.3f, -1, -full},  // the whole lock
        {20, 0.3f, 1, -100}, {20, -0.3f, -1, 100},    // past the narrowed lock
        {20, 0.3f, -1, -full}, {20, 0, 1, full},
    };
    for (const auto& c : cases)
        EXPECT_NEAR(torque(c.speed, c.slide, c.steer), c.torque, 1e-2) << c.speed << " " << c.slide << " " << c.steer;
}

TEST_F(ControlTest, DirectSteeringOneIgnoresTheServoZeroIsOnlyTheServo)
{
    set_setup_value(*bike, SetupValue::roll_damping, 0);
    set_setup_value(*bike, SetupValue::leveling, 0);
    bike->front_contact.depth = 0.05f;
    Vec3 axis = normalized(bike->info.steering_head - bike->info.fork_lower);
    auto torque_after = [&]() {
        dBodySetTorque(bike->body(k_front_wheel), 0, 0, 0);
        dBodySetAngularVel(bike->body(k_front_wheel), -2, 0, 1);  // spinning and rolling over at 1 rad/s
        dBodySetAngularVel(bike->body(k_frame), 0, 0, 1);
        steering_step(*world, *bike);
        return dot(to_vec(dBodyGetTorque(bike->body(k_front_wheel))), axis);
    };
    bike->controls.steer = 0.2f;
    set_setup_value(*bike, SetupValue::direct_steering, 1);
    EXPECT_NEAR(torque_after(), 1.5f * 75 * 0.2f, 1e-3);
    // Servo only: wanted roll rate 0 (no lean range at rest), measured 1:
    // error -1 rad/s, beyond the dead band: full output, steering strength 75.
    bike->controls.steer = 0;
    set_setup_value(*bike, SetupValue::direct_steering, 0);
    EXPECT_NEAR(torque_after(), 1.5f * 75, 1e-2);
}

TEST(Aids, AutomaticDabHoldsAStoppedBikeButNeverActsAboveTheDabSpeed)
{
    // Dab When Stopped: Yes, 20 mph. Stopped: a full dab and the brakes held;
    // at half the dab speed half a dab; above it, or after a collision, nothing.
    const float v_dab = 20 * k_ft_s_per_mph;
    const struct {
        float speed, collision_timer, sit_dab, brake;
    } cases[] = {{0, 0, 1, 1}, {v_dab / 2, 0, 0.5f, 0}, {v_dab + 0.1f, 0, 0, 0}, {0, 100, 0, 0}};
    for (const auto& c : cases) {
        auto world = create_world();
        auto bike = create_bike(*world, "450sxf(2017)", 1, "1");
        set_setup(*bike, bench_setup());
        bike->front_contact.depth = bike->rear_contact.depth = 0.05f;
        bike->collision_timer = c.collision_timer;
        for (int b = 0; b < k_body_count; ++b)
            dBodySetLinearVel(bike->body(b), 0, 0, -c.speed);
        dab_or_back_up_step(*world, *bike);
        EXPECT_NEAR(bike->controls.sit_dab, c.sit_dab, 1e-3) << c.speed << " " << c.collision_timer;
        EXPECT_EQ(bike->controls.front_brake, c.brake) << c.speed;
        EXPECT_EQ(bike->controls.rear_brake, c.brake) << c.speed;
        if (c.sit_dab == 0) {
            dab_assist_step(*world, *bike);
            EXPECT_EQ(bike->controls.dab_foot, 0.0f) << c.speed;
        }
    }
}

TEST(Aids, DabFootPushesOnlyWhileTheBikeRollsSlowerThanItsTarget)
{
    // Leaned 0.3 rad the negative way: the foot aims at a roll rate of
    // +pi/8 rad/s. Slower than that it pushes; faster, it leaves it. After a
    // collision it rests from 5 ft/s ("stopped") up, not below. Above 15 ft/s
    // so small a lean keeps the foot up; at 15 it comes down (no steering
    // lock used, so no push).
    const struct {
        float roll_rate, speed, collision_timer;
        bool pushes, foot;
    } cases[] = {{0.0f, 0, 0, true, true},   {0.39f, 0, 0, true, true},  {0.4f, 0, 0, false, true},
                 {1.0f, 0, 0, false, true},  {0.0f, 0, 100, true, true}, {0.0f, 5, 0, true, true},
                 {0.0f, 5, 100, false, true}, {0.0f, 15, 0, false, true}, {0.0f, 15.5f, 0, false, false}};
    auto world = create_world();
    auto bike = create_bike(*world, "450sxf(2017)", 1, "1");
    RiderSetup s = bench_setup();
    s.arcade = false;
    set_setup(*bike, s);
    // The frame's force after one step leaned `lean` rad about its length.
    auto dab = [&](double lean, float roll_rate, float speed, float collision_timer) {
        bike->front_contact.depth = bike->rear_contact.depth = 0.05f;
        bike->controls.sit_dab = 1;
        bike->controls.dab_foot = 0;
        bike->controls.steer = -1;  // steering into the fall: the foot's full share
        const dReal q[4] = {std::cos(lean / 2), 0, 0, std::sin(lean / 2)};
        dBodySetQuaternion(bike->body(k_frame), q);
        dBodySetAngularVel(bike->body(k_frame), 0, 0, roll_rate);
        dBodySetLinearVel(bike->body(k_frame), 0, 0, -speed);
        dBodySetForce(bike->body(k_frame), 0, 0, 0);
        bike->collision_timer = collision_timer;
        dab_assist_step(*world, *bike);
        return dBodyGetForce(bike->body(k_frame));
    };
    for (const auto& c : cases) {
        const dReal* f = dab(-0.3, c.roll_rate, c.speed, c.collision_timer);
        EXPECT_EQ(f[0] != 0 || f[1] != 0 || f[2] != 0, c.pushes) << c.roll_rate << " " << c.speed << " " << c.collision_timer;
        EXPECT_EQ(bike->controls.dab_foot > 0, c.foot) << c.speed;
    }
    // The foot's 400 pushes across the frame; up to 45 degrees (up 0.707) it
    // also lifts an eighth of that, tipped further a share growing from 0.
    for (double up : {0.9, 0.70700001716613769, 0.6, 0.3}) {
        const dReal* f = dab(-std::acos(up), 0, 0, 0);
        const dReal* r = dBodyGetRotation(bike->body(k_frame));
        const double lift = up >= 0.707f ? 50 : 400 * (0.707 - up) / 0.707;
        EXPECT_NEAR(f[1] + 400 * r[4], lift, 1e-3) << up;
    }
}

TEST(Aids, BackingUpWalksTheBikeBackwards)
{
    track::Terrain field = make_flat_field(5, 4);
    auto world = create_world();
    world->terrain = &field;
    auto bike = create_bike(*world, "crf250(2017)", 1, "1");
    place_bike(*bike, {100, 0.1f, 100}, 0);
    set_setup(*bike, bench_setup());
    std::array<Bike*, 1> list{bike.get()};
    for (int t = 0; t < 256; ++t) {
        apply_input(*bike, {});
        run_tick(*world, list);
    }
    float z0 = body_position(bike->body(k_frame)).z;
    RiderInput back;
    back.back_up = 1;
    for (int t = 0; t < 128 * 4; ++t) {
        apply_input(*bike, back);
        run_tick(*world, list);
        EXPECT_LT(bike_speed(*bike), 6.0f);
    }
    // Forward is -z: walking backwards moves the bike toward +z.
    EXPECT_GT(body_position(bike->body(k_frame)).z - z0, 2.0f);
    EXPECT_EQ(bike->knockout_count, 0);
    EXPECT_LT(std::fabs(lean_angle(bike->body(k_frame))), 0.2f);
}

bool course_runs_along_x(Vec3, Vec3& d)
{
    d = {1, 0, 0};
    return true;
}

bool course_too_short_to_trust(Vec3, Vec3& d)
{
    d = {0.0005f, 0, 0};
    return true;
}

TEST(Aids, BackingUpEarlyPushesOnlyInEveryFourthSecond)
{
    // Until the second whole second after the start's, only seconds 0, 4, 8...
    // of the clock push; mid-second the push is at its strongest.
    const struct {
        int start_tick, tick;
        bool pushes;
    } cases[] = {{0, 64, true}, {0, 192, false}, {0, 320, true}, {128, 320, false}, {128, 448, true}};
    for (const auto& c : cases) {
        auto world = create_world();
        auto bike = create_bike(*world, "crf250(2017)", 1, "1");
        world->start_tick = c.start_tick;
        world->tick = c.tick;
        bike->controls.back_up = 1;
        dab_or_back_up_step(*world, *bike);
        const dReal* f = dBodyGetForce(bike->body(k_frame));
        EXPECT_EQ(f[0] != 0 || f[2] != 0, c.pushes) << c.start_tick << " " << c.tick;
    }
}

TEST(Aids, RealignTurnsARemountedBikeTowardTheCourse)
{
    track::Terrain field = make_flat_field(5, 4);
    auto world = create_world();
    world->terrain = &field;
    auto bike = create_bike(*world, "450sxf(2017)", 1, "1");
    place_bike(*bike, {100, 0.1f, 100}, 0);  // facing -z, the course runs +x
    set_setup(*bike, bench_setup());
    std::array<Bike*, 1> list{bike.get()};
    EXPECT_FALSE(realign_step(*world, *bike));  // no source
    set_course_direction_source(course_runs_along_x);
    EXPECT_FALSE(realign_step(*world, *bike));  // not after a fall
    bike->remount_tick = world->tick;
    set_course_direction_source(course_too_short_to_trust);
    EXPECT_FALSE(realign_step(*world, *bike));
    set_course_direction_source(course_runs_along_x);
    EXPECT_TRUE(realign_step(*world, *bike));
    dJointGroupEmpty(world->group());
    for (int t = 0; t < 128 * 3; ++t) {
        apply_input(*bike, {});
        run_tick(*world, list);
    }
    Vec3 f = body_vector_to_world(bike->body(k_frame), {0, 0, -1});
    EXPECT_GT(f.x, 0.9f);  // within 0.25 rad of the course
    set_course_direction_source(nullptr);
}

}  // namespace
}  // namespace zv::sim
