// The start-up steps from the window to the main loop, and their undoing at
// shutdown.
#pragma once

#include <optional>

#include "app/startup.h"
#include "app/startup_flags.h"

namespace zv::app {

// Window drawable wait: this many tries, 1/16 s apart.
inline constexpr int k_drawable_tries = 162;

// Opens the window and its context, waits until it can be drawn, logs the
// GL strings, sets the GL state, loads the pictures, binds the inputs,
// creates the physics world and loads the race for "--track". Returns
// nullopt when the program goes on to the main loop, else the exit status
// (1: no window).
std::optional<int> open_game(StartupValues& values, StartupLists& lists);

// Starts the frame clock and runs the main loop until the quit flag.
void run_main_loop(StartupValues& values);

// Shutdown, before the loading-screen stages: ends the race session and
// destroys the physics world.
void end_game_session();
// Shutdown, after the stages: the pictures, the OpenGL context and the
// window.
void close_game_window();

}  // namespace zv::app
