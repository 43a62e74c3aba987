// The text header of a demo file: the format version, how many riders were
// recorded, the race length, laps and start tick, the track's folder and one
// description per rider.
//
//   ZV06 <riders> <race length in ticks> <laps> <start tick>
//   <track folder>
//   per rider: bike|rider texture|bike texture|wheel texture|head texture
//              number
//              name            (version 6 only)
//              (empty line)    (version 6 only)
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/data_file.h"

namespace zv::replay {

constexpr int k_demo_version = 6;
constexpr int k_oldest_demo_version = 4;
// A header without these numbers means 0 laps and a start 14 s in.
constexpr int k_demo_default_laps = 0;
constexpr int k_demo_default_start_tick = 14 * 128;
// Only this much of the rider number is used.
constexpr int k_demo_number_chars = 3;

struct DemoRider {
    std::string bike;            // model name, as it plays now (old names translated)
    std::string rider_texture;
    std::string bike_texture;
    std::string wheel_texture;
    std::string head_texture;
    std::string number;
    std::string name;            // empty before version 6
    std::string description;     // the description line as read (or as written)
};

struct DemoHeader {
    int version = k_demo_version;
    int race_length_ticks = 0;   // 0 or less: the race is decided by laps
    int laps = 0;
    int start_tick = k_demo_default_start_tick;
    std::string track;           // the track's folder name
    std::vector<DemoRider> riders;
};

// The model names of old demos that have since gained their year.
std::string translate_bike_name(std::string_view name);

// "bike|rider|bike texture|wheel|head".
std::string rider_description(const DemoRider& rider);

// The whole text header, always in the newest version. Line feeds and, in
// the description fields, "|" would break the lines apart; they are written
// as spaces.
std::string format_demo_header(const DemoHeader& header);
bool write_demo_header(core::DataFile& file, const DemoHeader& header);

// Reads a header of version 4, 5 or 6 and leaves the file at the data part.
// nullopt when a line lacks its line feed (or, with it, is longer than
// 1023 characters), the version is outside 4 ... 6, fewer than three numbers
// lead the first line, or the rider count is negative or above 160.
std::optional<DemoHeader> read_demo_header(core::DataFile& file);

}  // namespace zv::replay
