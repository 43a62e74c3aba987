// The race session: freeing the previous race, loading the track when it
// changed and setting every occupied slot's bike in its gate, each phase
// shown on the loading screen (through the hooks) and logged; and the end of
// the race, a few seconds after the final standings are made.
#pragma once

#include <array>
#include <string>

#include "race/riders.h"
#include "replay/demo_header.h"

namespace zv::race {

inline constexpr int k_end_of_race_delay_ticks = 640;  // 5 s
inline constexpr int k_time_trial_start_tick = 300 * 128;
inline constexpr int k_rider_name_count = 80;

// Gate kinds of a slot (the `slot` settings; the race server adds 5).
enum SessionGateKind : int {
    k_gate_empty = 0,
    k_gate_human = 1,
    k_gate_robot = 2,
    k_gate_robot_2stroke = 3,
    k_gate_robot_4stroke = 4,
    k_gate_network = 5,
};
using GateKinds = std::array<int, k_rider_slot_count>;

struct SessionRequest {
    const GateKinds* gates = nullptr;  // nullptr: a time trial
    bool demo_playing = false;
    std::string demo_file;             // the demo to play (with demo_playing)
    bool record_demo = false;
    int time_limit_ticks = 0;          // 0: none
    int laps = 0;
    int skill = 0;
    std::string track_folder;          // the track to race on ("": none, the load fails)
    bool connected = false;
    // A race server's race: its start tick, and the descriptions of the
    // slots whose gate kind is k_gate_network (their riders come as states).
    // The slots keep the server's numbering: no starting-grid rotation.
    int server_start_tick = -1;        // -1: drawn here
    // The server gave this computer no place in the race: the local rider
    // rides to warm up, outside the race (no collisions, no states sent).
    bool warmup = false;
    const std::array<replay::DemoRider, k_rider_slot_count>* network_riders = nullptr;
};

// The race that is loaded.
struct Session {
    bool loaded = false;
    bool time_trial = false;
    int skill = 0;
    // Where a viewer starts: the player's slot, else the first occupied one.
    int first_viewed = 0;
    // Ticks the race runs on once the final standings exist; the race has
    // ended when they have run out.
    int end_delay_ticks = k_end_of_race_delay_ticks;
};
const Session& session();

// The race start tick of an offline race for r uniform in [0, 1):
// 128 * (13 + 2r), so the gate drops 13 to 15 s after loading.
int offline_start_tick(double r);
// The race's random generator (start tick, rider-name order) starts from
// this seed instead of the clock.
void seed_race_random(unsigned seed);

// The gate kinds of the settings' 40 gates (the other slots empty).
GateKinds gate_kinds_from_settings();

// Resets and loads a race. False when the track cannot be loaded (no track
// stays loaded then).
bool load_session(const SessionRequest& request);
// Saves what the robots learnt, frees every bike, the demo and the track.
void end_session();

// The race is over (every rider done, the final standings made) and the
// end-of-race delay has run out. Never in a time trial.
bool race_ended();
// Once a tick: counts the end-of-race delay down while the race is over.
void count_down_end_of_race();

// "forcereload": the next session load reads the track again even when it is
// the one already loaded.
void force_track_reload();
bool track_reload_forced();

// The starting grid that the warp restart rotates: entry k is the slot whose
// gate kind goes to gate k.
std::array<int, k_rider_slot_count>& starting_grid();

// The shuffled order of the 80 rider names (robots take names in this order).
const std::array<int, k_rider_name_count>& rider_name_order();

}  // namespace zv::race
