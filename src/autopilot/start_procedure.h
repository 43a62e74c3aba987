// How a robot starts a race: it holds its bike in first gear with the
// clutch in and blips the throttle while the field waits, holds still from
// the ready signal, revs up, and at its own reaction time after the gate
// drops lets the clutch out under full throttle.
#pragma once

#include <array>
#include <cstdint>
#include <functional>

#include "sim/bike.h"
#include "sim/control.h"

namespace zv::autopilot {

// The start procedure governs a robot at most this long after the gate drops.
inline constexpr int k_start_procedure_ticks = 5 * 128;
// The ready signal comes this long before the gate drops.
constexpr int k_ready_signal_lead_ticks = 3 * 128;
constexpr int k_max_start_blips = 32;

// One robot's start, drawn once at race start. Ticks are race ticks; the
// blips are [on, off) spans of full throttle.
struct StartPlan {
    int ready_tick = 0;
    int start_tick = 0;
    int blip_count = 0;
    std::array<int, k_max_start_blips> blip_on{};
    std::array<int, k_max_start_blips> blip_off{};
    int rev_tick = 0;     // the throttle opens after the ready signal
    int launch_tick = 0;  // the race start plus the robot's reaction time
};

// The ready signal of a race starting at start_tick.
int ready_signal_tick(int start_tick);

// Draws the plan from `rand` (uniform in [0, 1)) in this order: the first
// pause, then for every blip its length and the pause after it (while a
// pause would still end before the ready signal), then the hold after the
// signal, then the reaction time. `reaction_low` and `reaction_high` are the
// personality's bounds of the reaction time, seconds.
StartPlan plan_start(int start_tick, int ready_tick, float reaction_low, float reaction_high,
                     const std::function<float()>& rand);

// Whether the start procedure governs the robot at `tick`: from the race's
// beginning until two seconds after its launch (never past five seconds
// after the gate drop). When it does it sets the throttle, brakes, clutch,
// shift and, while the bike is held, steer and lean; call it after the line
// controller so the launch keeps the controller's steering. Once the rider
// has fallen it lets go.
bool start_procedure(const StartPlan& plan, int tick, const sim::Bike& bike, sim::RiderInput& out);

// What one robot's start remembers between ticks: its own random sequence
// (seeded at race set-up, never 0) and the plan drawn from it on the first
// call.
struct StartProcedureState {
    std::uint32_t random = 1;
    bool planned = false;
    StartPlan plan;
};

// The next number of a robot's random sequence, uniform in [0, 1).
float start_random(std::uint32_t& state);

// The auto pilot's call until five seconds after the gate drop: draws the
// plan on the first call (reaction time between reaction_min and
// reaction_max seconds), then fills `out` as the plan says. After the
// launch phase it keeps the throttle open and the bar straight and returns
// false: the line controller may take over from then on.
bool start_procedure(const sim::Bike& bike, float reaction_min, float reaction_max, int tick, int start_tick,
                     int ready_tick, StartProcedureState& state, sim::RiderInput& out);

}  // namespace zv::autopilot
