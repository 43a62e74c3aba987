#include "replay/state_record.h"

#include <algorithm>
#include <cmath>

#include "sim/bike.h"
#include "track/terrain.h"

namespace zv::replay {

namespace {

constexpr double k_pi = 3.14159265358979323846;
// Slack below a step boundary that still counts as on it (in steps).
constexpr double k_step_slack = 1e-6;

// A count from a real number of steps: floored, clamped to 0 ... max.
std::uint32_t to_count(double steps, std::uint32_t max)
{
    if (!(steps > 0.0))
        return 0;
    double m = static_cast<double>(max);
    if (steps >= m)
        return max;
    return std::min(static_cast<std::uint32_t>(std::floor(steps + k_step_slack)), max);
}

void put_quat(StateRecord& r, int at, const Quat& q)
{
    const float c[4] = {q.w, q.x, q.y, q.z};
    for (int i = 0; i < 4; ++i)
        put_u16(r, at + 2 * i, encode_fraction(c[i], -1.0, 1.0, k_max16));
}

Quat get_quat(const StateRecord& r, int at)
{
    float c[4];
    for (int i = 0; i < 4; ++i)
        c[i] = static_cast<float>(decode_fraction(get_u16(r, at + 2 * i), -1.0, 1.0, k_max16));
    return {c[0], c[1], c[2], c[3]};
}

void put_u8(StateRecord& r, int at, std::uint32_t v) { r.bytes[static_cast<std::size_t>(at)] = static_cast<std::uint8_t>(v); }
std::uint32_t get_u8(const StateRecord& r, int at) { return r.bytes[static_cast<std::size_t>(at)]; }

// A linear blend of two counts, clamped to the field.
std::uint32_t blend_count(std::uint32_t a, std::uint32_t b, double t, std::uint32_t max)
{
    double x = static_cast<double>(a) + t * (static_cast<double>(b) - static_cast<double>(a));
    return to_count(x, max);
}

void blend_quat(StateRecord& out, const StateRecord& older, const StateRecord& newer, int at, double t)
{
    double a[4], b[4];
    for (int i = 0; i < 4; ++i) {
        a[i] = decode_fraction(get_u16(older, at + 2 * i), -1.0, 1.0, k_max16);
        b[i] = decode_fraction(get_u16(newer, at + 2 * i), -1.0, 1.0, k_max16);
    }
    // q and -q are the same rotation: take the shorter way round.
    double d = a[0] * b[0] + a[1] * b[1] + a[2] * b[2] + a[3] * b[3];
    if (d < 0.0)
        for (double& c : a)
            c = -c;
    double q[4], len2 = 0;
    for (int i = 0; i < 4; ++i) {
        q[i] = a[i] + t * (b[i] - a[i]);
        len2 += q[i] * q[i];
    }
    if (!(len2 > 1e-12))
        return;  // cannot happen with decoded records; keep the older one
    double inv = 1.0 / std::sqrt(len2);
    for (int i = 0; i < 4; ++i)
        put_u16(out, at + 2 * i, encode_fraction(q[i] * inv, -1.0, 1.0, k_max16));
}

// Wheel angles as fractions of a turn: the wheel turned forwards by at most
// seven eighths or backwards by at most an eighth between the samples.
// Worked in steps of the field so that whole turns cancel exactly.
std::uint32_t blend_wheel(std::uint32_t a_count, std::uint32_t b_count, double t)
{
    const double m = static_cast<double>(k_max8);
    double a = static_cast<double>(a_count), b = static_cast<double>(b_count);
    if (b < a - 0.125 * m)
        a -= m;
    else if (b > a + 0.875 * m)
        b -= m;
    double r = a + t * (b - a);
    if (r < 0.0)
        r += m;
    return to_count(std::clamp(r, 0.0, m), k_max8);
}

}  // namespace

RecordScale record_scale(const track::Terrain& terrain, const sim::BikeInfo& info)
{
    RecordScale s;
    s.side = terrain.field_size > 0 ? terrain.field_size : 1.0f;
    s.min_height = terrain.min_height;
    s.fork_travel = info.fork_travel > 0 ? info.fork_travel : 1.0f;
    s.shock_travel = info.swingarm_travel > 0 ? info.swingarm_travel : 1.0f;
    return s;
}

std::uint32_t encode_fraction(double v, double lo, double hi, std::uint32_t max)
{
    if (!(hi > lo))
        return 0;
    double f = (v - lo) / (hi - lo);
    if (!(f > 0.0))
        return 0;
    if (f >= 1.0)
        return max;
    return to_count(f * static_cast<double>(max), max);
}

double decode_fraction(std::uint32_t n, double lo, double hi, std::uint32_t max)
{
    return lo + (hi - lo) * static_cast<double>(std::min(n, max)) / static_cast<double>(max);
}

std::uint32_t get_u16(const StateRecord& r, int at)
{
    auto i = static_cast<std::size_t>(at);
    return static_cast<std::uint32_t>(r.bytes[i]) | static_cast<std::uint32_t>(r.bytes[i + 1]) << 8;
}

std::uint32_t get_u24(const StateRecord& r, int at)
{
    auto i = static_cast<std::size_t>(at);
    return static_cast<std::uint32_t>(r.bytes[i]) | static_cast<std::uint32_t>(r.bytes[i + 1]) << 8 |
           static_cast<std::uint32_t>(r.bytes[i + 2]) << 16;
}

void put_u16(StateRecord& r, int at, std::uint32_t v)
{
    auto i = static_cast<std::size_t>(at);
    r.bytes[i] = static_cast<std::uint8_t>(v & 0xFF);
    r.bytes[i + 1] = static_cast<std::uint8_t>((v >> 8) & 0xFF);
}

void put_u24(StateRecord& r, int at, std::uint32_t v)
{
    auto i = static_cast<std::size_t>(at);
    r.bytes[i] = static_cast<std::uint8_t>(v & 0xFF);
    r.bytes[i + 1] = static_cast<std::uint8_t>((v >> 8) & 0xFF);
    r.bytes[i + 2] = static_cast<std::uint8_t>((v >> 16) & 0xFF);
}

std::uint8_t encode_drive(int gear, bool effect, float throttle, int crash_timer)
{
    int low, high;
    if (crash_timer > 0) {
        low = k_crashed_gear;
        long long c = crash_timer;
        high = static_cast<int>(std::min<long long>(15, (c * 15 - 15) / 127));
    } else {
        low = std::clamp(gear, 0, 6);
        float th = throttle * 15.0f;
        high = th > 0.0f ? std::min(15, static_cast<int>(std::min(th, 15.0f))) : 0;
    }
    return static_cast<std::uint8_t>(low | (effect ? 8 : 0) | high << 4);
}

DriveState decode_drive(std::uint8_t byte)
{
    DriveState d;
    d.gear = byte & 7;
    d.effect = (byte & 8) != 0;
    d.throttle = byte >> 4;
    return d;
}

StateRecord encode_state(const StateValues& v, const RecordScale& s)
{
    StateRecord r;
    const double side = s.side, hmin = s.min_height;
    put_u24(r, k_at_frame_position, encode_fraction(v.frame_position.x, 0.0, side, k_max24));
    put_u24(r, k_at_frame_position + 3, encode_fraction(v.frame_position.y, hmin, hmin + side, k_max24));
    put_u24(r, k_at_frame_position + 6, encode_fraction(v.frame_position.z, 0.0, side, k_max24));
    put_quat(r, k_at_frame_quaternion, v.frame_rotation);
    put_u8(r, k_at_steering, encode_fraction(v.steering, -k_steering_limit, k_steering_limit, k_max8));
    std::uint32_t fork = encode_fraction(v.fork, -s.fork_travel, 0.0, k_max8);
    put_u8(r, k_at_fork, v.sampled ? fork | k_sample_flag : fork & ~std::uint32_t{k_sample_flag});
    std::uint32_t shock = encode_fraction(v.shock, -s.shock_travel, 0.0, k_max8);
    put_u8(r, k_at_shock, shock & ~std::uint32_t{k_marker_bit});
    const float lim = k_rider_offset_limit;
    put_u16(r, k_at_rider_offset, encode_fraction(v.rider_offset.x, -lim, lim, k_max16));
    put_u16(r, k_at_rider_offset + 2, encode_fraction(v.rider_offset.y, -lim, lim, k_max16));
    put_u16(r, k_at_rider_offset + 4, encode_fraction(v.rider_offset.z, -lim, lim, k_max16));
    put_quat(r, k_at_rider_quaternion, v.rider_rotation);
    put_u8(r, k_at_front_wheel, encode_fraction(v.front_wheel, -k_pi, k_pi, k_max8));
    put_u8(r, k_at_rear_wheel, encode_fraction(v.rear_wheel, -k_pi, k_pi, k_max8));
    put_u8(r, k_at_drive, v.drive);
    put_u16(r, k_at_engine, encode_fraction(v.engine_rpm, 0.0, k_max_record_rpm, k_max16));
    return r;
}

sim::Vec3 record_frame_position(const StateRecord& r, const RecordScale& s)
{
    const double side = s.side, hmin = s.min_height;
    return {static_cast<float>(decode_fraction(get_u24(r, k_at_frame_position), 0.0, side, k_max24)),
            static_cast<float>(decode_fraction(get_u24(r, k_at_frame_position + 3), hmin, hmin + side, k_max24)),
            static_cast<float>(decode_fraction(get_u24(r, k_at_frame_position + 6), 0.0, side, k_max24))};
}

Quat record_frame_rotation(const StateRecord& r) { return get_quat(r, k_at_frame_quaternion); }
Quat record_rider_rotation(const StateRecord& r) { return get_quat(r, k_at_rider_quaternion); }

sim::Vec3 record_rider_offset(const StateRecord& r)
{
    const double lim = k_rider_offset_limit;
    return {static_cast<float>(decode_fraction(get_u16(r, k_at_rider_offset), -lim, lim, k_max16)),
            static_cast<float>(decode_fraction(get_u16(r, k_at_rider_offset + 2), -lim, lim, k_max16)),
            static_cast<float>(decode_fraction(get_u16(r, k_at_rider_offset + 4), -lim, lim, k_max16))};
}

float record_engine_rpm(const StateRecord& r)
{
    return static_cast<float>(decode_fraction(get_u16(r, k_at_engine), 0.0, k_max_record_rpm, k_max16));
}

bool record_is_sampled(const StateRecord& r) { return (get_u8(r, k_at_fork) & k_sample_flag) != 0; }

StateValues decode_state(const StateRecord& r, const RecordScale& s)
{
    StateValues v;
    v.frame_position = record_frame_position(r, s);
    v.frame_rotation = record_frame_rotation(r);
    v.steering = static_cast<float>(decode_fraction(get_u8(r, k_at_steering), -k_steering_limit, k_steering_limit, k_max8));
    v.fork = static_cast<float>(decode_fraction(get_u8(r, k_at_fork), -s.fork_travel, 0.0, k_max8));
    v.shock = static_cast<float>(decode_fraction(get_u8(r, k_at_shock), -s.shock_travel, 0.0, k_max8));
    v.rider_offset = record_rider_offset(r);
    v.rider_rotation = record_rider_rotation(r);
    v.front_wheel = static_cast<float>(decode_fraction(get_u8(r, k_at_front_wheel), -k_pi, k_pi, k_max8));
    v.rear_wheel = static_cast<float>(decode_fraction(get_u8(r, k_at_rear_wheel), -k_pi, k_pi, k_max8));
    v.drive = static_cast<std::uint8_t>(get_u8(r, k_at_drive));
    v.engine_rpm = record_engine_rpm(r);
    v.sampled = record_is_sampled(r);
    return v;
}

StateRecord sample_state(const sim::Bike& bike, const RecordScale& scale)
{
    StateValues v;
    dBodyID frame = bike.body(sim::k_frame);
    dBodyID rider = bike.body(sim::k_rider);
    v.frame_position = sim::body_position(frame);
    const dReal* q = dBodyGetQuaternion(frame);
    v.frame_rotation = {static_cast<float>(q[0]), static_cast<float>(q[1]), static_cast<float>(q[2]),
                        static_cast<float>(q[3])};
    v.steering = static_cast<float>(dJointGetHingeAngle(bike.joint(sim::k_steering_head)));
    v.fork = sim::fork_position(bike);
    v.shock = sim::swingarm_angle(bike);
    v.rider_offset = sim::body_position(rider) - v.frame_position;
    q = dBodyGetQuaternion(rider);
    v.rider_rotation = {static_cast<float>(q[0]), static_cast<float>(q[1]), static_cast<float>(q[2]),
                        static_cast<float>(q[3])};
    v.front_wheel = static_cast<float>(dJointGetHingeAngle(bike.joint(sim::k_front_axle)));
    v.rear_wheel = static_cast<float>(dJointGetHingeAngle(bike.joint(sim::k_rear_axle)));
    v.drive = encode_drive(bike.controls.gear, bike.controls.dab_foot > 0.0f, bike.controls.throttle,
                           bike.crash_timer);
    v.engine_rpm = sim::engine_rpm(bike);
    v.sampled = true;
    return encode_state(v, scale);
}

StateRecord sample_state(const sim::Bike& bike, const track::Terrain& terrain)
{
    return sample_state(bike, record_scale(terrain, bike.info));
}

StateRecord interpolate_states(const StateRecord& older, const StateRecord& newer, double t, bool hold_older)
{
    if (hold_older || t == 0.0 || std::isnan(t))
        return older;
    StateRecord out = older;
    // Positions alone follow t past the newer record.
    for (int i = 0; i < 3; ++i) {
        int at = k_at_frame_position + 3 * i;
        put_u24(out, at, blend_count(get_u24(older, at), get_u24(newer, at), t, k_max24));
    }
    const double tc = std::clamp(t, 0.0, 1.0);
    blend_quat(out, older, newer, k_at_frame_quaternion, tc);
    blend_quat(out, older, newer, k_at_rider_quaternion, tc);
    for (int at : {k_at_steering, k_at_fork, k_at_shock})
        put_u8(out, at, blend_count(get_u8(older, at), get_u8(newer, at), tc, k_max8));
    for (int i = 0; i < 3; ++i) {
        int at = k_at_rider_offset + 2 * i;
        put_u16(out, at, blend_count(get_u16(older, at), get_u16(newer, at), tc, k_max16));
    }
    put_u16(out, k_at_engine, blend_count(get_u16(older, k_at_engine), get_u16(newer, k_at_engine), tc, k_max16));
    for (int at : {k_at_front_wheel, k_at_rear_wheel})
        put_u8(out, at, blend_wheel(get_u8(older, at), get_u8(newer, at), tc));
    // The drive byte stays the older one's (already copied).
    out.bytes[k_at_fork] &= static_cast<std::uint8_t>(~k_sample_flag);
    out.bytes[k_at_shock] &= static_cast<std::uint8_t>(~k_marker_bit);
    return out;
}

}  // namespace zv::replay
