// The race tick: one step of the race for every rider, in a fixed order. The
// game runs it from its loop (and the step key, and demo skipping); the
// bench runs the very same tick without a window.
#pragma once

namespace zv::race {

inline constexpr int k_ticks_per_second = 128;
// Start-gate objects take part in contacts until this long after the start.
inline constexpr int k_gate_active_ticks = 10 * k_ticks_per_second;

// Advances the loaded race by one tick.
void race_tick();

// A time-trial attempt restarts: the slot's rider is put back at the
// restart checkpoint of the first lap.
void restart_time_trial_attempt(int slot);
// Sets a rider down at the checkpoint of lap position `position`, facing
// along the course and clear of the ground; its timing and its auto pilot
// go back to that position. False when there is no such checkpoint.
bool put_rider_at_checkpoint(int slot, int position);

// Leaving the editor: every bike is lifted 0.125 up, then by 0.25 while it
// still touches the ground, then lowered by 0.125.
void lift_bikes_off_ground();

// Distance (horizontal, feet) of a slot's bike from where it was set down;
// 0 without a bike.
float distance_from_start(int slot);

}  // namespace zv::race
