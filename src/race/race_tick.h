// The race tick: one step of the race for every rider, in a fixed order. The
// game runs it from its loop (and the step key, and demo skipping); the
// bench runs the very same tick without a window.
#pragma once

#include <span>

#include "sim/vec.h"

namespace zv::race {

inline constexpr int k_ticks_per_second = 128;
// Start-gate objects take part in contacts until this long after the start.
inline constexpr int k_gate_active_ticks = 10 * k_ticks_per_second;
// A robot that has passed no timing gate for this long after the gate drop
// (the slowest line through a section takes about 9 s) is wedged somewhere
// its controller cannot get out of (in a pile-up, against hay bales, upside
// down in a rut); it is set down again at the last gate it passed, as a
// marshal would, so one stuck robot never holds a race open. So is one
// that has asked to go without getting anywhere for 5 s (a tyre digging
// into a berm face), which may never be quite stopped.
inline constexpr int k_robot_rescue_ticks = 12 * k_ticks_per_second;
// Out of the gate the whole field rides in one pack: the first gate may
// take longer.
inline constexpr int k_robot_first_gate_rescue_ticks = 20 * k_ticks_per_second;

// Advances the loaded race by one tick.
void race_tick();

// A time-trial attempt restarts: the slot's rider is put back at the
// restart checkpoint of the first lap.
void restart_time_trial_attempt(int slot);
// Sets a rider down at the checkpoint of lap position `position`, facing
// along the course and clear of the ground; its timing and its auto pilot
// go back to that position. Given the other bikes' positions it keeps
// clear of them, moving across the gate from its centre. False when there
// is no such checkpoint.
bool put_rider_at_checkpoint(int slot, int position, std::span<const sim::Vec3> others = {});

// Leaving the editor: every bike is lifted 0.125 up, then by 0.25 while it
// still touches the ground, then lowered by 0.125.
void lift_bikes_off_ground();

// Distance (horizontal, feet) of a slot's bike from where it was set down;
// 0 without a bike.
float distance_from_start(int slot);

}  // namespace zv::race
