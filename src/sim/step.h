// The bike's own step after each world step: crash rules, rider springs,
// suspension, drivetrain, brakes, steering and the dab aids.
#pragma once

#include "sim/bike.h"

namespace zv::sim {

struct SimWorld;

// Knockout threshold factor: 1.5, down to 1.0 shortly after landing from a
// long fall (descent start, touchdown and current tick).
float knockout_factor(int descent_start_tick, int touchdown_tick, int tick);
// Whether the rider comes off: relative speed against 31 f ft/s, impact
// (change of velocity over 4 ticks plus gravity) against 1376 f ft/s^2.
bool knockout_test(Vec3 relative_velocity, Vec3 velocity_now, Vec3 velocity_4_ticks_ago, float factor);

// Distance allowed between the rider and its riding position while recovering.
float recovery_reach(int crash_timer);

// One bike step (the bike's controls are already set for this tick).
void bike_step(SimWorld& world, Bike& bike);

}  // namespace zv::sim
