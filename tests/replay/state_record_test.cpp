// The 39-byte state record: every field at its range ends and beyond, the
// drive byte, the blending rules, and a simulated bike sampled and read back.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <tuple>
#include <utility>
#include <vector>

#include "replay/state_record.h"
#include "sim/bike.h"
#include "sim/control.h"
#include "sim/drivetrain.h"
#include "sim/maneuver.h"
#include "sim/world.h"
#include "support/expect_rows.h"

namespace zv::replay {
namespace {

constexpr double k_pi = 3.14159265358979323846;

RecordScale scale_1024()
{
    RecordScale s;
    s.side = 1024;
    s.min_height = -10;
    s.fork_travel = 1;
    s.shock_travel = 0.5f;
    return s;
}

std::uint8_t at(const StateRecord& r, int i) { return r.bytes[static_cast<std::size_t>(i)]; }

TEST(StateRecord, FractionEncodingEndsBeyondAndMiddle)
{
    // {value, low end, most, encoded} up to 1: 0.5 makes 127.5, floored; -3
    // is clamped; the last has an empty range.
    for (auto [value, low, most, want] :
         {std::tuple{0.0, 0.0, k_max8, 0u}, {1.0, 0.0, k_max8, 255u}, {0.5, 0.0, k_max8, 127u},
          {-3.0, 0.0, k_max8, 0u}, {7.0, 0.0, k_max16, 65535u}, {std::nan(""), 0.0, k_max24, 0u},
          {std::numeric_limits<double>::infinity(), 0.0, k_max24, k_max24}, {0.5, 1.0, k_max8, 0u}})
        EXPECT_EQ(encode_fraction(value, low, 1.0, most), want) << value << " " << low;
    // Decoding and encoding again keeps every number.
    for (std::uint32_t n : {0u, 1u, 2u, 3u, 77u, 32767u, 32768u, 65534u, 65535u})
        EXPECT_EQ(encode_fraction(decode_fraction(n, -1.0, 1.0, k_max16), -1.0, 1.0, k_max16), n) << n;
    EXPECT_DOUBLE_EQ(decode_fraction(255, -2.0, 2.0, k_max8), 2.0);
    EXPECT_DOUBLE_EQ(decode_fraction(0, -2.0, 2.0, k_max8), -2.0);
}

TEST(StateRecord, MultiByteFieldsAreLittleEndian)
{
    StateRecord r;
    put_u24(r, 0, 0x123456);
    put_u16(r, 37, 0xBEEF);
    for (auto [i, byte] : {std::pair{0, 0x56}, {1, 0x34}, {2, 0x12}, {37, 0xEF}, {38, 0xBE}})
        EXPECT_EQ(at(r, i), byte) << i;
    EXPECT_EQ(get_u24(r, 0), 0x123456u);
    EXPECT_EQ(get_u16(r, 37), 0xBEEFu);
}

TEST(StateRecord, EveryFieldAtItsRangeEnds)
{
    const RecordScale s = scale_1024();
    StateValues v;
    v.frame_position = {512, 502, 2000};             // middle, middle above the lowest, beyond
    v.frame_rotation = {1, 0, 0, 0};
    v.steering = 1.0f;                               // past pi/4
    v.fork = -0.5f;
    v.shock = 0;
    v.rider_offset = {16, -20, 0};
    v.rider_rotation = {0, -1, 0, 1};
    v.front_wheel = static_cast<float>(k_pi / 2);
    v.rear_wheel = static_cast<float>(-k_pi);
    v.drive = 0x5A;
    v.engine_rpm = 1000;
    v.sampled = true;
    StateRecord r = encode_state(v, s);

    EXPECT_EQ(get_u24(r, 0), 8388607u);              // 0.5 x 0xFFFFFF = 8388607.5
    EXPECT_EQ(std::vector<int>(r.bytes.begin(), r.bytes.begin() + 3), (std::vector<int>{0xFF, 0xFF, 0x7F}));
    EXPECT_EQ(get_u24(r, 3), 8388607u);              // heights count from the lowest, -10
    EXPECT_EQ(get_u24(r, 6), k_max24);
    EXPECT_EQ(get_u16(r, 9), 65535u);                // w = 1
    EXPECT_EQ(get_u16(r, 11), 32767u);               // 0 -> 32767.5 floored
    EXPECT_EQ(at(r, 17), 255);
    EXPECT_EQ(at(r, 18), 127);                       // 127 with the sample flag
    EXPECT_EQ(at(r, 19), 254);                       // 255, marker bit cleared
    EXPECT_EQ(get_u16(r, 20), 65535u);
    EXPECT_EQ(get_u16(r, 22), 0u);
    EXPECT_EQ(get_u16(r, 24), 32767u);
    EXPECT_EQ(get_u16(r, 26), 32767u);
    EXPECT_EQ(get_u16(r, 28), 0u);
    EXPECT_EQ(get_u16(r, 32), 65535u);
    EXPECT_EQ(at(r, 34), 191);                       // 0.75 x 255 = 191.25
    EXPECT_EQ(at(r, 35), 0);
    EXPECT_EQ(at(r, 36), 0x5A);
    EXPECT_EQ(get_u16(r, 37), 1999u);                // 1000 / 32768 x 65535 = 1999.97

    v.sampled = false;
    v.fork = -1;
    v.engine_rpm = 40000;
    v.steering = -0.9f;
    v.frame_position.y = -10.5f;                     // below the lowest
    r = encode_state(v, s);
    EXPECT_EQ(get_u24(r, 3), 0u);
    EXPECT_EQ(at(r, 18), 0);
    EXPECT_EQ(get_u16(r, 37), 65535u);
    EXPECT_EQ(at(r, 17), 0);
    v.sampled = true;
    EXPECT_EQ(at(encode_state(v, s), 18), 1);        // the flag on a fully compressed fork

    StateValues back = decode_state(encode_state(v, s), s);
    EXPECT_NEAR(back.frame_position.x, 512, 1e-3);
    EXPECT_FLOAT_EQ(back.frame_position.y, -10);
    EXPECT_FLOAT_EQ(back.frame_position.z, 1024);    // clamped to the side
    EXPECT_NEAR(back.rider_offset.x, 16, 1e-6);
    EXPECT_NEAR(back.rider_offset.y, -16, 1e-6);
    EXPECT_TRUE(back.sampled);
    EXPECT_NEAR(back.front_wheel, k_pi / 2 - 0.25 * 2 * k_pi / 255, 1e-5);
}

TEST(StateRecord, DriveByte)
{
    // {gear, effect, throttle, crash count, byte}: gear 3 with the effect
    // and throttle 7; gear and throttle clamped; 0.99 makes 14.85, truncated.
    // Down after a crash: gear bits 7, high bits (15 c - 15) / 127, so 1485 /
    // 127 = 11 and 1905 / 127 = 15.
    for (auto [gear, effect, throttle, crash, byte] :
         {std::tuple{3, true, 0.5f, 0, 0x7B}, {9, false, 1.2f, 0, 0xF6}, {-2, false, -1.0f, 0, 0x00},
          {2, false, 1.0f, 0, 0xF2}, {2, false, 0.99f, 0, 0xE2}, {2, false, std::nanf(""), 0, 0x02},
          {3, true, 1.0f, 1, 0x0F}, {3, false, 1.0f, 100, 0xB7}, {3, false, 1.0f, 128, 0xF7},
          {3, false, 1.0f, 5000, 0xF7}})
        EXPECT_EQ(encode_drive(gear, effect, throttle, crash), byte) << gear << " " << throttle << " " << crash;
    for (auto [byte, gear, effect, throttle] : {std::tuple{0xB7, k_crashed_gear, false, 11}, {0x7B, 3, true, 7}}) {
        const DriveState d = decode_drive(static_cast<std::uint8_t>(byte));
        EXPECT_EQ(std::tuple(d.gear, d.effect, d.throttle), std::tuple(gear, effect, throttle)) << byte;
    }
}

StateRecord two_field_record(std::uint32_t x, std::uint8_t steering)
{
    StateValues v;
    StateRecord r = encode_state(v, scale_1024());
    put_u24(r, 0, x);
    r.bytes[17] = steering;
    return r;
}

TEST(StateRecord, InterpolationPositionsExtrapolateOthersDoNot)
{
    StateRecord a = two_field_record(1000, 100), b = two_field_record(2000, 200);
    a.bytes[18] = 101;
    b.bytes[18] = 201;
    a.bytes[36] = 0x5A;
    b.bytes[36] = 0x13;
    put_u16(a, 37, 0);
    put_u16(b, 37, 65535);

    StateRecord m = interpolate_states(a, b, 0.5);
    EXPECT_EQ(get_u24(m, 0), 1500u);
    EXPECT_EQ(at(m, 17), 150);
    EXPECT_EQ(at(m, 18), 150);             // 151 with the sample flag cleared
    EXPECT_EQ(at(m, 36), 0x5A);            // the older drive byte
    EXPECT_EQ(get_u16(m, 37), 32767u);
    EXPECT_FALSE(record_is_sampled(m));

    StateRecord e = interpolate_states(a, b, 1.5);
    EXPECT_EQ(get_u24(e, 0), 2500u);       // positions go on
    EXPECT_EQ(at(e, 17), 200);             // the rest stops at the newer record
    EXPECT_EQ(get_u16(e, 37), 65535u);

    // Extrapolated positions stay in range.
    StateRecord hi = interpolate_states(two_field_record(k_max24 - 100, 0), two_field_record(k_max24, 0), 3.0);
    EXPECT_EQ(get_u24(hi, 0), k_max24);
    StateRecord lo = interpolate_states(two_field_record(100, 0), two_field_record(0, 0), 3.0);
    EXPECT_EQ(get_u24(lo, 0), 0u);

    // t exactly 0, NaN, and the old-demo mode give the older record as it is.
    EXPECT_EQ(interpolate_states(a, b, 0.0), a);
    EXPECT_EQ(interpolate_states(a, b, std::nan("")), a);
    EXPECT_EQ(interpolate_states(a, b, 0.5, true), a);
    EXPECT_TRUE(record_is_sampled(interpolate_states(a, b, 0.0)));
    // Identical records blend to themselves (but for the flag); quaternions,
    // normalised again, within a step.
    StateRecord same = interpolate_states(b, b, 0.37);
    same.bytes[18] |= 1;
    for (int i = 0; i < k_state_record_size; ++i) {
        bool quaternion = (i >= k_at_frame_quaternion && i < k_at_steering) ||
                          (i >= k_at_rider_quaternion && i < k_at_front_wheel);
        if (!quaternion) {
            EXPECT_EQ(at(same, i), at(b, i)) << i;
        }
    }
    for (int i : {9, 11, 13, 15, 26, 28, 30, 32})
        EXPECT_NEAR(double(get_u16(same, i)), double(get_u16(b, i)), 1.0) << i;
}

StateRecord rotation_record(Quat q)
{
    StateValues v;
    v.frame_rotation = q;
    v.rider_rotation = q;
    return encode_state(v, scale_1024());
}

TEST(StateRecord, InterpolationQuaternions)
{
    // Identity to 90 degrees about y: halfway is 45 degrees about y.
    const float c = static_cast<float>(std::sqrt(0.5));
    StateRecord m = interpolate_states(rotation_record({1, 0, 0, 0}), rotation_record({c, 0, c, 0}), 0.5);
    Quat q = record_frame_rotation(m);
    EXPECT_NEAR(q.w, 0.9238795, 1e-4);
    EXPECT_NEAR(q.x, 0, 1e-4);
    EXPECT_NEAR(q.y, 0.3826834, 1e-4);
    EXPECT_NEAR(q.z, 0, 1e-4);
    Quat r = record_rider_rotation(m);
    EXPECT_NEAR(r.y, 0.3826834, 1e-4);

    // The same rotation written with opposite signs stays that rotation.
    StateRecord s = interpolate_states(rotation_record({0.6f, 0.8f, 0, 0}), rotation_record({-0.6f, -0.8f, 0, 0}), 0.5);
    for (Quat p : {record_frame_rotation(s), record_rider_rotation(s)}) {
        EXPECT_NEAR(p.w, -0.6, 1e-4);
        EXPECT_NEAR(p.x, -0.8, 1e-4);
        EXPECT_NEAR(p.y, 0, 1e-4);
        EXPECT_NEAR(p.z, 0, 1e-4);
    }
}

StateRecord wheel_record(std::uint8_t front, std::uint8_t rear)
{
    StateRecord r = rotation_record({1, 0, 0, 0});
    r.bytes[34] = front;
    r.bytes[35] = rear;
    return r;
}

TEST(StateRecord, InterpolationWheelsWrap)
{
    // 0.95 -> 0.05 of a turn (242 -> 13): forwards through a full turn.
    StateRecord a = wheel_record(242, 242), b = wheel_record(13, 13);
    EXPECT_EQ(at(interpolate_states(a, b, 0.25), 34), 248);   // -6.5 + 255 = 248.5
    EXPECT_EQ(at(interpolate_states(a, b, 0.5), 34), 0);
    EXPECT_EQ(at(interpolate_states(a, b, 0.75), 35), 6);     // 6.5
    // 0.05 -> 0.95: more than seven eighths forwards counts as backwards.
    EXPECT_EQ(at(interpolate_states(b, a, 0.25), 34), 6);
    EXPECT_EQ(at(interpolate_states(b, a, 0.75), 34), 248);
    // Small steps back and long steps forward blend directly.
    EXPECT_EQ(at(interpolate_states(wheel_record(26, 26), wheel_record(13, 13), 0.5), 34), 19);
    EXPECT_EQ(at(interpolate_states(wheel_record(26, 26), wheel_record(230, 230), 0.5), 34), 128);
    // Blending stops at the newer wheel angle when t passes 1.
    EXPECT_EQ(at(interpolate_states(a, b, 4.0), 34), 13);
}

// A bike on the flat field after some riding, sampled and read back.
TEST(StateRecord, SampledBikeReadsBackWithinResolution)
{
    track::Terrain field = sim::make_flat_field();
    auto world = sim::create_world();
    world->terrain = &field;
    std::unique_ptr<sim::Bike> bike = sim::create_bike(*world, "yz250f(2017)", 3, "3");
    ASSERT_TRUE(bike);
    sim::place_bike(*bike, {900, 0.1f, 1300}, 0.7f);
    sim::set_setup(*bike, sim::bench_setup());
    std::vector<sim::Bike*> list{bike.get()};
    sim::RiderInput in;
    in.throttle = 0.8f;
    in.steer = 0.3f;
    for (int t = 0; t < 300; ++t) {
        sim::apply_input(*bike, in);
        sim::run_tick(*world, list);
    }
    ASSERT_TRUE(sim::bike_is_finite(*bike));
    bike->controls.dab_foot = 0.5f;

    const RecordScale s = record_scale(field, bike->info);
    test::expect_float_rows("scale", {{s.side, field.field_size}, {s.fork_travel, bike->info.fork_travel},
                                      {s.shock_travel, bike->info.swingarm_travel}});
    StateRecord r = sample_state(*bike, field);
    StateValues v = decode_state(r, s);
    EXPECT_TRUE(v.sampled);

    const double pos_step = s.side / double(k_max24);
    sim::Vec3 fp = sim::body_position(bike->body(sim::k_frame));
    EXPECT_NEAR(v.frame_position.x, fp.x, pos_step + 1e-4);
    EXPECT_NEAR(v.frame_position.y, fp.y, pos_step + 1e-4);
    EXPECT_NEAR(v.frame_position.z, fp.z, pos_step + 1e-4);
    const dReal* fq = dBodyGetQuaternion(bike->body(sim::k_frame));
    EXPECT_NEAR(v.frame_rotation.w, fq[0], 2.0 / k_max16 + 1e-6);
    EXPECT_NEAR(v.frame_rotation.x, fq[1], 2.0 / k_max16 + 1e-6);
    EXPECT_NEAR(v.frame_rotation.y, fq[2], 2.0 / k_max16 + 1e-6);
    EXPECT_NEAR(v.frame_rotation.z, fq[3], 2.0 / k_max16 + 1e-6);
    sim::Vec3 off = sim::body_position(bike->body(sim::k_rider)) - fp;
    EXPECT_NEAR(v.rider_offset.x, off.x, 32.0 / k_max16 + 1e-5);
    EXPECT_NEAR(v.rider_offset.y, off.y, 32.0 / k_max16 + 1e-5);
    EXPECT_NEAR(v.rider_offset.z, off.z, 32.0 / k_max16 + 1e-5);
    const dReal* rq = dBodyGetQuaternion(bike->body(sim::k_rider));
    EXPECT_NEAR(v.rider_rotation.w, rq[0], 2.0 / k_max16 + 1e-6);
    EXPECT_NEAR(v.rider_rotation.y, rq[2], 2.0 / k_max16 + 1e-6);
    const double steer = dJointGetHingeAngle(bike->joint(sim::k_steering_head));
    EXPECT_NEAR(v.steering, steer, k_pi / 2 / 255 + 1e-6);
    // The flag takes the lowest bit of the fork, so two steps of slack.
    EXPECT_NEAR(v.fork, sim::fork_position(*bike), 2 * s.fork_travel / 255 + 1e-6);
    EXPECT_NEAR(v.shock, sim::swingarm_angle(*bike), 2 * s.shock_travel / 255 + 1e-6);
    const double front = dJointGetHingeAngle(bike->joint(sim::k_front_axle));
    const double rear = dJointGetHingeAngle(bike->joint(sim::k_rear_axle));
    EXPECT_NEAR(v.front_wheel, front, 2 * k_pi / 255 + 1e-5);
    EXPECT_NEAR(v.rear_wheel, rear, 2 * k_pi / 255 + 1e-5);
    EXPECT_GT(sim::engine_rpm(*bike), 1000.0f);
    EXPECT_NEAR(v.engine_rpm, sim::engine_rpm(*bike), 32768.0 / k_max16 + 1e-3);
    DriveState d = decode_drive(v.drive);
    EXPECT_EQ(d.gear, bike->controls.gear);
    EXPECT_TRUE(d.effect);
    EXPECT_EQ(d.throttle, static_cast<int>(bike->controls.throttle * 15));

    // Knocked off: the crash level replaces gear and throttle.
    bike->crash_timer = 300;
    d = decode_drive(sample_state(*bike, field).bytes[36]);
    EXPECT_TRUE(d.crashed());
    EXPECT_EQ(d.throttle, 15);                // (4500 - 15) / 127 = 35, capped

    // A size or travel of nothing, or less, counts as 1.
    for (float none : {0.0f, -3.0f}) {
        field.field_size = bike->info.fork_travel = bike->info.swingarm_travel = none;
        const RecordScale one = record_scale(field, bike->info);
        EXPECT_EQ(std::vector<float>({one.side, one.fork_travel, one.shock_travel}), std::vector<float>(3, 1.0f)) << none;
    }
}

}  // namespace
}  // namespace zv::replay
