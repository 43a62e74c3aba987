// The layout shared by the demo recorder, the player and the tools that look
// into demo files. A version-6 demo is a text header followed by blocks:
//
//   0  4  payload length XOR the previous block's payload length (0 before the first)
//   4  4  tick of the block, signed
//   8  1  block type
//   9  n  payload
//
// Chaining the lengths by XOR lets a reader that knows the block behind it
// step backwards too: the word of the block before holds its length XOR the
// length already known. Versions 4 and 5 have no blocks: one frame per tick,
// one record per listed rider.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "replay/state_record.h"

namespace zv::replay {

constexpr int k_demo_block_header_size = 9;
constexpr std::uint8_t k_demo_block_states = 1;
constexpr std::uint8_t k_demo_block_message = 2;
// A state entry: rider index (1 byte), tick (4), record (39).
constexpr int k_demo_state_entry_size = 1 + 4 + k_state_record_size;
constexpr int k_demo_v4_record_size = 26;
// Records are written in blocks on ticks that are multiples of this.
constexpr int k_demo_block_interval = 16;
// Playback keeps itself this far ahead of the race clock, reading at most so
// many blocks per tick; old frame-per-tick files read only 8 ticks ahead.
constexpr int k_demo_read_ahead_ticks = 64;
constexpr int k_demo_blocks_per_tick = 128;
constexpr int k_demo_frame_read_ahead_ticks = 8;
// Message blocks show at most this much of their text.
constexpr int k_demo_message_chars = 1023;
// The rider index is one byte, and each rider needs a slot of its own.
constexpr int k_demo_max_riders = 160;

inline void put_le32(std::uint8_t* p, std::uint32_t v)
{
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
    p[2] = static_cast<std::uint8_t>(v >> 16);
    p[3] = static_cast<std::uint8_t>(v >> 24);
}

inline std::uint32_t get_le32(const std::uint8_t* p)
{
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

struct DemoBlockHeader {
    std::uint32_t length = 0;   // the payload length, already un-chained
    std::int32_t tick = 0;
    std::uint8_t type = 0;
};

// Un-chains a stored header given the payload length of the block before.
inline DemoBlockHeader decode_block_header(const std::uint8_t* p, std::uint32_t previous_length)
{
    DemoBlockHeader h;
    h.length = get_le32(p) ^ previous_length;
    h.tick = static_cast<std::int32_t>(get_le32(p + 4));
    h.type = p[8];
    return h;
}

inline void encode_block_header(std::uint8_t* p, const DemoBlockHeader& h, std::uint32_t previous_length)
{
    put_le32(p, h.length ^ previous_length);
    put_le32(p + 4, static_cast<std::uint32_t>(h.tick));
    p[8] = h.type;
}

// ---- the version-4 record ----
// Old files keep 26 bytes per rider and frame:
//
//   0-19   as the current record: frame position, frame quaternion,
//          steering, fork and shock (bit 0 of byte 18 means nothing here)
//   20-22  rider body minus frame position, x y z, 8 bits each of [-4, 4] ft
//   23     drive byte, packed as in the current record
//   24-25  engine speed, 16 bits of [0, 32768] rpm
//
// The rider body turns with the frame and the wheels do not spin: those
// fields did not exist yet. Such records are drawn as they stand, never
// blended (see set_hold_older_records).
constexpr float k_demo_v4_rider_offset_limit = 4.0f;
StateRecord decode_v4_record(std::span<const std::uint8_t, k_demo_v4_record_size> bytes);
// The inverse, for tools and tests that write old files.
void encode_v4_record(const StateRecord& record, std::span<std::uint8_t, k_demo_v4_record_size> out);

}  // namespace zv::replay
