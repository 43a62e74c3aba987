// The compact state of one rider at one tick: 39 bytes shared by the state
// history, demo files and the network. It carries what it takes to draw a
// bike and rider and to drive its engine sound, not the full physical state.
//
// Every multi-byte field is a little-endian unsigned integer. A fraction
// field holds a value v of a range [lo, hi] as floor((v - lo) / (hi - lo) * M)
// after clamping v into the range (M = 0xFFFFFF, 0xFFFF or 255 by width) and
// reads back as lo + (hi - lo) * n / M.
//
//   0-8    frame position x, y, z     24 bits each; x, z of [0, S], y of [Hmin, Hmin + S]
//   9-16   frame quaternion w x y z   16 bits each of [-1, 1]
//   17     steering angle             of [-pi/4, pi/4]
//   18     fork slider position       of [-fork travel, 0]; bit 0: sampled (not blended)
//   19     swingarm angle             of [-swingarm travel, 0]; bit 0: marker, written 0
//   20-25  rider minus frame position 16 bits each of [-16, 16] ft
//   26-33  rider quaternion w x y z   16 bits each of [-1, 1]
//   34-35  front, rear wheel angle    of [-pi, pi] (one turn)
//   36     drive byte                 gear, effect bit, throttle; or the crash level
//   37-38  engine speed, rpm          16 bits of [0, 32768]
#pragma once

#include <array>
#include <cstdint>

#include "sim/vec.h"

namespace zv::sim {
struct Bike;
struct BikeInfo;
}  // namespace zv::sim
namespace zv::track {
struct Terrain;
}

namespace zv::replay {

constexpr int k_state_record_size = 39;
constexpr std::uint32_t k_max24 = 0xFFFFFF;
constexpr std::uint32_t k_max16 = 0xFFFF;
constexpr std::uint32_t k_max8 = 255;

// Byte offsets.
constexpr int k_at_frame_position = 0;
constexpr int k_at_frame_quaternion = 9;
constexpr int k_at_steering = 17;
constexpr int k_at_fork = 18;
constexpr int k_at_shock = 19;
constexpr int k_at_rider_offset = 20;
constexpr int k_at_rider_quaternion = 26;
constexpr int k_at_front_wheel = 34;
constexpr int k_at_rear_wheel = 35;
constexpr int k_at_drive = 36;
constexpr int k_at_engine = 37;

constexpr std::uint8_t k_sample_flag = 1;   // byte 18, bit 0
constexpr std::uint8_t k_marker_bit = 1;    // byte 19, bit 0

constexpr float k_steering_limit = 0.78539816339744831f;  // pi / 4
constexpr float k_rider_offset_limit = 16.0f;             // feet
constexpr float k_max_record_rpm = 32768.0f;
constexpr int k_crashed_gear = 7;           // the gear bits while the rider is down

struct StateRecord {
    std::array<std::uint8_t, k_state_record_size> bytes{};
    friend bool operator==(const StateRecord&, const StateRecord&) = default;
};

// The ranges that depend on the terrain and the bike model.
struct RecordScale {
    float side = 1;          // S: the terrain's side length
    float min_height = 0;    // Hmin: its lowest height
    float fork_travel = 1;   // ft
    float shock_travel = 1;  // swingarm travel angle, rad
};
RecordScale record_scale(const track::Terrain& terrain, const sim::BikeInfo& info);

// ---- raw fields ----
// The clamped fraction encoding (NaN counts as lo). A value within a
// millionth of a step below a step boundary counts as on it, so decoding and
// encoding again keeps the number.
std::uint32_t encode_fraction(double v, double lo, double hi, std::uint32_t max);
double decode_fraction(std::uint32_t n, double lo, double hi, std::uint32_t max);

std::uint32_t get_u16(const StateRecord& r, int at);
std::uint32_t get_u24(const StateRecord& r, int at);
void put_u16(StateRecord& r, int at, std::uint32_t v);
void put_u24(StateRecord& r, int at, std::uint32_t v);

// ---- the drive byte ----
struct DriveState {
    int gear = 0;            // 0 ... 6, or 7 while the rider is down
    bool effect = false;     // the decaying effect level is above zero
    int throttle = 0;        // 0 ... 15; while down, the crash level
    bool crashed() const { return gear == k_crashed_gear; }
};
// Gear clamped 0..6, throttle 0..1 as 0..15 (truncated, clamped); with a
// crash timer c > 0 the gear bits are 7 and the high bits min(15, (15 c - 15) / 127).
std::uint8_t encode_drive(int gear, bool effect, float throttle, int crash_timer);
DriveState decode_drive(std::uint8_t byte);

// ---- every field as a value ----
struct Quat {
    float w = 1, x = 0, y = 0, z = 0;
};

struct StateValues {
    sim::Vec3 frame_position;
    Quat frame_rotation;
    float steering = 0;          // rad
    float fork = 0;              // slider position, 0 extended .. -travel
    float shock = 0;             // swingarm angle, 0 extended .. -travel
    sim::Vec3 rider_offset;      // rider body minus frame position
    Quat rider_rotation;
    float front_wheel = 0;       // rad, -pi .. pi
    float rear_wheel = 0;
    std::uint8_t drive = 0;      // see encode_drive
    float engine_rpm = 0;
    bool sampled = false;        // bit 0 of byte 18
};

StateRecord encode_state(const StateValues& v, const RecordScale& scale);
StateValues decode_state(const StateRecord& r, const RecordScale& scale);

// Field readers (what a consumer needs without decoding everything).
sim::Vec3 record_frame_position(const StateRecord& r, const RecordScale& scale);
Quat record_frame_rotation(const StateRecord& r);
sim::Vec3 record_rider_offset(const StateRecord& r);
Quat record_rider_rotation(const StateRecord& r);
float record_engine_rpm(const StateRecord& r);
bool record_is_sampled(const StateRecord& r);

// ---- producing records ----
// Encodes a simulated bike's current state; the sample flag is set.
StateRecord sample_state(const sim::Bike& bike, const RecordScale& scale);
StateRecord sample_state(const sim::Bike& bike, const track::Terrain& terrain);

// Blends two records at fraction t (0 = older, 1 = newer). Positions follow t
// unclamped (extrapolating) and then clamp to their range; everything else
// uses t clamped to 0..1. t exactly 0 (or NaN), or hold_older (a version-4
// demo is playing), returns the older record unchanged. Quaternions take the
// shorter way round and come back normalised; wheels are taken to have
// turned forwards by at most 7/8 or backwards by at most 1/8 of a turn; the
// drive byte is the older one's; the result is not marked as sampled.
StateRecord interpolate_states(const StateRecord& older, const StateRecord& newer, double t,
                               bool hold_older = false);

}  // namespace zv::replay
