// The computer riders' part of a race: where the auto pilot's lines are
// saved and read when a race is set up, and where each robot gets its
// controls and each rider feeds what it rode back into the lines during the
// race tick. Until the auto pilot drives, robots hold their bikes in the
// gates and nothing is learnt.
#pragma once

#include "sim/bike.h"

namespace zv::race {

// Whether what the riders ride is learnt into the lines and saved ("--learn";
// off by default).
void set_line_learning(bool on);
bool line_learning();

// "Remembering lines": the lines learnt in the race that is ending go back to
// their file (only when learning is on).
void save_robot_lines();
// "Analyzing lines": the lines of the new race's track and skill are read
// and prepared.
void load_robot_lines(int skill);

// Before the bike's own step: a robot's controls for this tick.
void drive_robot(int slot, sim::Bike& bike, int tick);
// After the bike's own step and its timing: what the rider just rode goes
// into the lines (the player's laps, the robots' attempts).
void learn_from_rider(int slot, const sim::Bike& bike, int tick);

}  // namespace zv::race
