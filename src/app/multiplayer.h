// The game around the race-server client: one connection for the program,
// the hooks that let the client start races, set the clock and reach the
// standings, the per-tick exchange with its file parts, and what the menus,
// console and head-up display ask of it.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "net/connection.h"

namespace zv::app {

struct Game;

inline constexpr double k_file_part_interval = 0.25;   // seconds between parts
inline constexpr std::size_t k_file_part_size = 256;

net::Connection& multiplayer();

// Wires the client to the game (hooks, console, fake lag and loss, the
// password and the shapes check). Called once at start-up; tests call it
// again after changing the flags.
void install_multiplayer(Game& g);

// Once a tick, before the race tick: takes a requested connection, runs
// the client and sends file parts. Keeps g.connected up to date.
void multiplayer_tick(Game& g, double now);

// Whether the race tick may run: off-line always; connected only once the
// server's clock has been heard.
bool race_tick_allowed(const Game& g);

// The time bending of the frame clock: server tick minus local tick, and
// whether the local tick is still before the race start.
int server_ticks_ahead();
bool before_race_start();

// Player actions from the menus.
void multiplayer_disconnect(Game& g, double now);
void multiplayer_leave(Game& g);
void multiplayer_request_restart();

// Whether this client has a slot and a place in the race, its ping and the
// server clock estimate minus the race clock (ticks).
bool multiplayer_has_place();
bool multiplayer_spectating();
int multiplayer_ping_ticks();
int multiplayer_offset_ticks();

// The rider list of the "Multiplayer" page: "No.", "Slot", "Ping", "Bike",
// "Name" for every described slot.
std::vector<std::vector<std::string>> multiplayer_rider_rows();

// Sends the next part of an outgoing file when the server is ready and a
// quarter second has passed; the last read closes the file and sends the
// closing message.
void send_file_parts(Game& g, double now);

}  // namespace zv::app
