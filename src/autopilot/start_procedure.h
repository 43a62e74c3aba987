// The robots' start: holding the bike in the gate with blips of the
// throttle, the hold from the ready signal, the launch after the
// personality's reaction time and the first two seconds of the run. The
// robot follows lines from 5 s after the start on.
//
// The start itself lives with the driving controller; this header is the
// call the auto pilot makes until then.
#pragma once

#include <cstdint>

#include "sim/bike.h"
#include "sim/control.h"

namespace zv::autopilot {

inline constexpr int k_start_procedure_ticks = 5 * 128;

// What one robot's start remembers between ticks; seeded at race set-up.
struct StartProcedureState {
    std::uint32_t random = 1;  // the robot's own random sequence
    double next_change = -1;   // race-clock seconds of the next blip or pause change
    bool blipping = false;
    double hold_until = -1;    // closed throttle after the ready signal until then
    double launch = -1;        // launch moment, seconds; < 0 until drawn
};

// Fills `out` with the robot's controls at `tick` of its start: the ready
// signal at ready_tick, the gate drop at start_tick, and the reaction time
// drawn between reaction_min and reaction_max seconds.
void start_procedure(const sim::Bike& bike, float reaction_min, float reaction_max, int tick, int start_tick,
                     int ready_tick, StartProcedureState& state, sim::RiderInput& out);

}  // namespace zv::autopilot
