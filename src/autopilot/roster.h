// Who the computer riders are: the personalities that steer their line
// choice and start, and the roster of 80 rider profiles (numbers 20 to 99)
// they take in a shuffled order.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string_view>

namespace zv::autopilot {

struct Personality {
    const char* name;
    int first_variant;     // search variant while the lead is at most the threshold
    int second_variant;    // search variant with a larger lead
    float lead_threshold;  // seconds
    float reaction_min;    // launch reaction time bounds, seconds
    float reaction_max;
};

inline constexpr int k_personality_count = 5;
// Index 0 is the rider the auto pilot does not drive (the player): it
// records and learns instead.
inline constexpr int k_player_personality = 0;
inline constexpr int k_first_named_personality = 1;
inline constexpr const char* k_robot_name = "Roborider";
inline constexpr const char* k_practice_personality = "tester";

const std::array<Personality, k_personality_count>& personalities();
// The index of a personality by name; a name not in the table (index 0 is
// never matched) logs "auto pilot personality '%s' not found" and gives the
// first named entry.
int find_personality(std::string_view name);

struct RobotProfile {
    const char* bike;           // bike table model; nullptr: the gate's own
    const char* rider_texture;  // nullptr: the default
    const char* head_texture;
    const char* bike_texture;
    const char* wheel_texture;
    const char* number;
    const char* personality;
};

inline constexpr int k_roster_size = 80;
inline constexpr int k_first_roster_number = 20;
const std::array<RobotProfile, k_roster_size>& robot_roster();

using RosterOrder = std::array<int, k_roster_size>;
// The roster indices 0..79 in a race's order: for j from 79 down to 1, entry
// j is swapped with entry (r >> 16) mod j, r the generator's next number.
RosterOrder shuffle_roster(const std::function<std::uint32_t()>& next_random);

// The n-th computer rider of a race (n counts from 0, wrapping past 80):
// its profile and personality index ("tester" for every robot when the
// program runs with "--practice").
struct RobotChoice {
    const RobotProfile* profile = nullptr;
    int personality = k_first_named_personality;
};
RobotChoice robot_for(const RosterOrder& order, int n, bool practice);

}  // namespace zv::autopilot
