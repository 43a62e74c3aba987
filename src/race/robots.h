// The computer riders' part of a race: where the auto pilot's lines are
// saved and read when a race is set up, who the robots are (the shuffled
// roster), and where each robot gets its controls and each rider feeds what
// it rode back into the lines during the race tick.
#pragma once

#include <cstdint>
#include <functional>
#include <span>

#include "autopilot/roster.h"
#include "sim/bike.h"
#include "sim/vec.h"

namespace zv::race {

// Whether what the riders ride is learnt into the lines and saved ("--learn";
// off by default).
void set_line_learning(bool on);
bool line_learning();
// "--practice": every robot gets the "tester" personality.
void set_practice(bool on);

// "Remembering lines": the lines learnt in the race that is ending go back to
// their file (only when learning is on).
void save_robot_lines();
// "Analyzing lines": the lines of the new race's track and skill are read
// and prepared.
void load_robot_lines(int skill);

// "Resetting": the order in which this race's robots take the roster's
// profiles, drawn from the race's random numbers.
void shuffle_robot_roster(const std::function<std::uint32_t()>& next_random);
// The n-th robot of the race (counted from 0 in slot order).
autopilot::RobotChoice robot_choice(int n);

// After a slot's bike is made: the rider's auto pilot state (the local rider
// learns, a robot with its personality drives). A robot's bike gets the
// robots' setup.
void set_up_line_rider(int slot, sim::Bike& bike, bool robot, int personality, std::uint32_t seed);
// Whether a robot has been asking to go without getting anywhere for a
// while (its controller's headway measure).
bool robot_without_headway(int slot);
// A time trial's restart put the rider back at lap position `position`.
void rider_put_back(int slot, int position, int tick);
// A time-trial lap was timed: it is offered to the lines.
void trial_lap_done(int slot, int tick);

// Before the bike's own step: a robot's controls for this tick.
void drive_robot(int slot, sim::Bike& bike, int tick, std::span<const sim::Vec3> traffic);
// After the bike's own step and its timing: what the rider just rode goes
// into the lines (the player's laps, the robots' attempts).
void learn_from_rider(int slot, sim::Bike& bike, int tick);

}  // namespace zv::race
