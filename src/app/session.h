// The race session: freeing the previous race, loading the track when it
// changed and setting every occupied slot's bike in its gate, each phase
// shown on the loading screen and logged.
#pragma once

#include <array>
#include <functional>
#include <span>

#include "app/riders.h"

namespace zv::app {

struct Game;

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
    bool record_demo = false;
    int time_limit_ticks = 0;          // 0: none
    int laps = 0;
    int skill = 0;
};

// The race start tick of an offline race for r uniform in [0, 1):
// 128 * (13 + 2r), so the gate drops 13 to 15 s after loading.
int offline_start_tick(double r);

// The gate kinds of the settings' 40 gates (the other slots empty).
GateKinds gate_kinds_from_settings();

// Called for every bike the session loader makes during "Loading bikes".
// The game requests the bike's models and textures there, so they count in
// the texture memory reported after loading and are kept by the release of
// what the track no longer uses. Headless runs install none.
using BikeMadeHook = std::function<void(const sim::Bike&)>;
void set_bike_made_hook(BikeMadeHook hook);

// Resets and loads a race. False when the track cannot be loaded (no track
// stays loaded then).
bool load_session(Game& g, const SessionRequest& request);
// Saves what the robots learnt, frees every bike, the demo and the track.
void end_session();

// "forcereload": the next session load reads the track again even when it is
// the one already loaded.
void force_track_reload();
bool track_reload_forced();

// The starting grid that the warp restart rotates: entry k is the slot whose
// gate kind goes to gate k.
std::array<int, k_rider_slot_count>& starting_grid();
// With warp on: once the leader has finished the race's laps, rotate the
// grid by one place and load the race again.
void warp_restart_if_finished(Game& g);

// The shuffled order of the 80 rider names (robots take names in this order).
const std::array<int, k_rider_name_count>& rider_name_order();

}  // namespace zv::app
