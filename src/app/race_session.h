// The game around the race: the hooks that put loading on screen and give
// bikes their art and engine sound, the session loader with the track chosen
// in the menus, the race tick with what the display samples after it, the
// time-trial restart of the player's bike, and the warp restart.
#pragma once

#include <functional>

#include "race/session.h"
#include "sim/bike.h"

namespace zv::app {

struct Game;

// Points the race's hooks at the loading screen, the renderer and the
// engine sounds, and passes on whether lines are learnt ("--learn"); the
// loader and the shutdown install them too.
void install_race_hooks();

// Called for every bike the session loader makes during "Loading bikes",
// after its engine sound. The window's set-up puts the bike art request here,
// so the art counts in the texture memory reported after loading and is kept
// by the release of what the track no longer uses.
using BikeMadeHook = std::function<void(const sim::Bike&)>;
void set_bike_made_hook(BikeMadeHook hook);

// Loads a race on the selected track (unless the request names one) and
// starts the viewer on the player's bike, else the first occupied slot.
bool load_session(Game& g, race::SessionRequest request);
void end_session();

// One race tick, then the viewed rider's suspension sample.
void race_tick(Game& g);

// Backing up in a time trial: the viewed rider restarts its attempt.
void restart_time_trial_attempt(Game& g);

// With warp on: once the leader has finished the race's laps, rotate the
// grid by one place and load the race again.
void warp_restart_if_finished(Game& g);

}  // namespace zv::app
