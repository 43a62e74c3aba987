// Every tuning constant of the driving controller, in one place. Distances
// in feet, speeds in ft/s, angles in radians, times in ticks or seconds as
// named.
#pragma once

#include <array>

namespace zv::autopilot::tuning {

// ---- finding the robot on its line ----
constexpr float k_search_ahead = 160;     // ft of line searched ahead of the last place
constexpr int k_search_back = 2;          // segments searched behind it
constexpr float k_lost_distance = 30;     // farther than this from the window: search the whole line
constexpr float k_join_distance = 25;     // the next section's line continues this one when it passes this near its end

// ---- steering ----
constexpr float k_lead_seconds = 0.35f;   // steer for where the bike will be this much later
constexpr float k_look_base = 10;         // look-ahead distance at rest
constexpr float k_look_time = 0.55f;      // plus this many seconds of travel
constexpr float k_look_max = 60;
constexpr float k_rejoin_distance = 6;    // farther off the line than this the look-ahead shortens
constexpr float k_rejoin_span = 12;       // ... to its least share this much farther
constexpr float k_rejoin_look_share = 0.3f;
constexpr float k_yaw_gain = 0.3f;        // lean per rad/s of yaw rate short of the arc's
constexpr float k_yaw_help_max = 0.2f;    // at most this much lean from it
constexpr float k_min_steer_speed = 14;   // turns are asked for as if at least this fast
constexpr float k_max_lean = 0.6f;        // deepest lean asked for at aggression 1
constexpr float k_gravity = 32;           // ft/s^2, lean angle for a turn
constexpr float k_slow_steer_base = 0.3f; // steer allowed at a standstill
constexpr float k_slow_steer_speed = 20;  // plus all of it at this speed
constexpr float k_direct_lean_gain = 2.5f;   // direct steering: steer per radian of lean error
constexpr float k_direct_rate_gain = 0.35f;  // and per rad/s of roll rate

// Arcade physics: steer per lean asked for, by speed (ft/s, factor); the
// bike was ridden in steady circles to measure it.
constexpr std::array<std::array<float, 2>, 5> k_arcade_turn_scale{
    {{10, 2.2f}, {15, 2.0f}, {25, 1.0f}, {40, 0.85f}, {60, 0.8f}}};

// ---- speed ----
constexpr float k_min_target_speed = 10;  // ft/s: the slowest a robot means to ride
constexpr float k_turn_grip = 11;         // ft/s^2 sideways: a turn's speed is held to sqrt(this x radius)
constexpr float k_braking = 22;           // ft/s^2 the robot plans to brake at
constexpr float k_reaction = 0.25f;       // s before braking takes hold
constexpr float k_cruise_throttle = 0.3f; // throttle at the target speed
constexpr float k_throttle_gain = 0.12f;  // more per ft/s below it
constexpr float k_brake_dead_band = 2;    // ft/s above the target before braking
constexpr float k_brake_gain = 0.12f;     // brake per ft/s beyond the dead band
constexpr float k_front_brake_share = 0.8f;
constexpr float k_rear_brake_share = 0.7f;
constexpr float k_front_brake_lean = 0.8f; // front brake gone at this lean
constexpr float k_lean_throttle_cut = 0.6f; // throttle limit falls by this per radian of lean
constexpr float k_off_line_slow = 5;      // farther off the line than this: slower
constexpr float k_off_line_span = 25;     // ... down to the least share this much farther
constexpr float k_heading_slow = 0.35f;   // aim further off the heading than this: slower
constexpr float k_heading_span = 1.2f;
constexpr float k_min_speed_share = 0.4f;
constexpr float k_min_aggression = 0.5f;
constexpr float k_max_aggression = 1.25f;

// ---- other bikes ----
constexpr float k_traffic_base = 8;       // ft ahead a bike is in the way at rest
constexpr float k_traffic_time = 0.6f;    // plus this many seconds of travel
constexpr float k_traffic_min_ahead = 1;  // nearer than this (alongside) it is not ahead
constexpr float k_traffic_width = 3.5f;   // ft either side of the robot's path
constexpr float k_traffic_offset = 5;     // ft the aim moves away from it
constexpr float k_traffic_speed = 8;      // ft/s behind it, more the further ahead it is
constexpr float k_traffic_speed_gain = 1.5f;

// ---- gears (when the bike does not shift by itself) ----
constexpr int k_shift_wait_ticks = 48;    // between two shifts
constexpr float k_downshift_margin = 500; // rpm below the bike's downshift speed

// ---- in the air ----
constexpr float k_air_predict_seconds = 2.5f;
constexpr float k_air_predict_step = 1.0f / 32;
constexpr float k_slope_probe = 3;        // ft either side of the landing point
constexpr float k_pitch_gain = 2.5f;      // nose-up demand per radian of pitch error
constexpr float k_pitch_rate_gain = 0.6f; // less per rad/s of pitch rate
constexpr float k_air_throttle = 1.0f;    // throttle per unit nose-up demand
constexpr float k_air_lean = 1.5f;        // rider lean per unit demand (back = nose up)

// ---- recovery ----
constexpr float k_stopped_speed = 3;      // ft/s
constexpr int k_stuck_ticks = 256;        // stopped this long while asking to go: stuck
constexpr int k_back_up_ticks = 192;      // then back up this long
constexpr int k_detour_ticks = 384;       // then aim beside the line this long
constexpr float k_detour_offset = 5;      // ft beside it, twice that from the third time stuck
constexpr float k_free_speed = 15;        // faster than this the bike runs freely again
constexpr float k_lying_lean = 1.0f;      // a stopped bike leaning further lies on its side
constexpr float k_turn_round_angle = 1.75f; // a stopped robot facing further away than this backs round
constexpr int k_start_grace_ticks = 5 * 128; // no stuck test until this long after the start
// Headway: a robot that asks to go but stays within this many feet of one
// place for this long (a rear tyre digging into a berm face, a bike
// crawling along a wall) is making none, though never quite stopped.
constexpr float k_headway_distance = 16;
constexpr int k_headway_ticks = 5 * 128;

}  // namespace zv::autopilot::tuning
