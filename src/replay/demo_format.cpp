#include "replay/demo_format.h"

#include <algorithm>

namespace zv::replay {

namespace {

constexpr int k_v4_at_rider_offset = 20;
constexpr int k_v4_at_drive = 23;
constexpr int k_v4_at_engine = 24;
constexpr double k_turn = 3.14159265358979323846;

}  // namespace

StateRecord decode_v4_record(std::span<const std::uint8_t, k_demo_v4_record_size> bytes)
{
    StateRecord r;
    std::copy_n(bytes.begin(), k_at_rider_offset, r.bytes.begin());
    // It was sampled from a simulation, whatever the old byte held.
    r.bytes[k_at_fork] |= k_sample_flag;
    for (int axis = 0; axis < 3; ++axis) {
        double v = decode_fraction(bytes[static_cast<std::size_t>(k_v4_at_rider_offset + axis)],
                                   -k_demo_v4_rider_offset_limit, k_demo_v4_rider_offset_limit, k_max8);
        put_u16(r, k_at_rider_offset + 2 * axis,
                encode_fraction(v, -k_rider_offset_limit, k_rider_offset_limit, k_max16));
    }
    std::copy_n(r.bytes.begin() + k_at_frame_quaternion, 8, r.bytes.begin() + k_at_rider_quaternion);
    const auto still = static_cast<std::uint8_t>(encode_fraction(0.0, -k_turn, k_turn, k_max8));
    r.bytes[k_at_front_wheel] = still;
    r.bytes[k_at_rear_wheel] = still;
    r.bytes[k_at_drive] = bytes[k_v4_at_drive];
    r.bytes[k_at_engine] = bytes[k_v4_at_engine];
    r.bytes[k_at_engine + 1] = bytes[k_v4_at_engine + 1];
    return r;
}

void encode_v4_record(const StateRecord& record, std::span<std::uint8_t, k_demo_v4_record_size> out)
{
    std::copy_n(record.bytes.begin(), k_at_rider_offset, out.begin());
    for (int axis = 0; axis < 3; ++axis) {
        double v = decode_fraction(get_u16(record, k_at_rider_offset + 2 * axis), -k_rider_offset_limit,
                                   k_rider_offset_limit, k_max16);
        out[static_cast<std::size_t>(k_v4_at_rider_offset + axis)] = static_cast<std::uint8_t>(
            encode_fraction(v, -k_demo_v4_rider_offset_limit, k_demo_v4_rider_offset_limit, k_max8));
    }
    out[k_v4_at_drive] = record.bytes[k_at_drive];
    out[k_v4_at_engine] = record.bytes[k_at_engine];
    out[k_v4_at_engine + 1] = record.bytes[k_at_engine + 1];
}

}  // namespace zv::replay
