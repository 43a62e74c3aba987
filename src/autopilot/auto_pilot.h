// The auto pilot as the race uses it: every rider's learning state, the
// per-tick learning step after the simulation step, the robots' driving
// step before it, the time trial's lap hand-over, and the course direction
// the "Realign After Fall" aid asks for.
//
// Race set-up: load_lines (line_file.h) and analyze_lines (chain_search.h),
// then set_up_rider for every rider the race drives itself.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "autopilot/driver.h"
#include "autopilot/line_table.h"
#include "autopilot/roster.h"
#include "autopilot/start_procedure.h"
#include "sim/bike.h"
#include "sim/control.h"
#include "sim/vec.h"

namespace zv::autopilot {

// The race facts of one tick for one rider.
struct RaceFacts {
    int tick = 0;
    int start_tick = 0;     // the gate drops
    bool finished = false;  // the rider has finished the race
    // Every bike's frame position this tick (the robot's own among them),
    // so robots ease off behind a bike in their way.
    std::span<const sim::Vec3> traffic;
};

// A robot's successful attempt waits for its time through the next section.
struct PendingAttempt {
    long long section = -1;  // section index it was judged at
    int table_section = -1;
    int slot = -1;
    int id = 0;
    int time1 = 0;
};

struct RiderState {
    bool active = false;
    int personality = k_player_personality;
    // Points of the two most recent sections, by section parity.
    std::array<std::vector<LinePoint>, 2> buffers;
    std::array<bool, 2> cancelled{};
    std::array<bool, 2> offered{};   // handed over early by offer_lap
    long long section = 0;           // gates passed since the start
    std::array<int, 4> section_start{};  // tick each recent section began, by index & 3
    std::vector<int> last_time;      // ticks of the last ride through each table section (0: none)
    bool lap_offer_waiting = false;
    // Robots.
    int line_section = -1;           // table section of the picked line
    int line_slot = -1;
    int line_id = 0;
    long long tried_section = -1;    // section index a pick was last tried for
    DriverState driver;
    PendingAttempt pending;
    bool finished = false;
    bool on_own_line = false;        // driving the slowed copy after the finish
    std::vector<LinePoint> own_line;
    StartPlan start;                 // the robot's start, drawn at set-up
};

RiderState& rider_state(int slot);  // slot clamped into 0 ... 159
// Every rider inactive (a new race).
void reset_riders();
// Sets a rider up at race set-up: personality 0 for the player (records and
// learns), a named one for a robot (drives and reports; its start is drawn
// from its own random sequence seeded with `seed`, the gate dropping at
// start_tick). Its first section begins at begin_tick (the start tick, or
// the tick a time trial starts).
void set_up_rider(int slot, int personality, int begin_tick, int start_tick, std::uint32_t seed);

// A rider put back onto the course (a time trial's restart) at section
// index `section` at `tick`: what it recorded so far is dropped.
void restart_rider(int slot, long long section, int tick);

// The learning step, once per tick for each rider after the simulation
// step: the player's samples every 32 ticks, the dab mark, passing the next
// gate and offering what the section before the last one recorded; a
// robot's judged attempts and its slow-down after the finish.
void auto_pilot_learn(int slot, sim::Bike& bike, const RaceFacts& facts);
// The time trial's lap hand-over: the lap's last section is offered now
// (with the rider's last time through the section that follows it), or at
// its gate when that has not been passed yet. False when nothing was offered.
bool offer_lap(int slot, int tick);

// The driving step, once per tick for each robot before its bike step:
// the picked line of the section it is in, under the start procedure until
// that lets go (5 s after the start at the latest). A crashed robot's
// throttle is closed and its clutch out. `out` is meant for sim::apply_input.
void auto_pilot_drive(int slot, sim::Bike& bike, const RaceFacts& facts, sim::RiderInput& out);

// A sampled point of a bike: frame position, frame speed and the attitude
// the driving controller steers by (line_attitude).
LinePoint sample_point(const sim::Bike& bike);

// The course direction near a point: along the nearest learnt line, or
// along the nearest gate when there are no lines. False with neither.
bool course_direction(sim::Vec3 position, sim::Vec3& direction);
// Hands course_direction to the realignment aid.
void use_course_directions();

}  // namespace zv::autopilot
