// What the wheels do to the ground: roost thrown from both tyres and, with
// erosion on, ruts and berms pushed into the height field.
#pragma once

#include <span>

#include "sim/bike.h"

namespace zv::race {

// The roost frequency (0..1000, "--roostfrequency") and the erosion strength
// (0..100, "--erode"; 0 leaves every height as it is).
void set_ground_effects(int roost_frequency, float erosion);

// Race set-up: every particle back in the pool, every rider's erosion events
// forgotten; a server race locks the terrain.
void reset_ground_effects(bool locked);

// Before the world step, with this tick's contacts made: each bike throws its
// roost, in an order that starts at (tick mod bikes).
void emit_ground_roost(std::span<sim::Bike* const> bikes, int tick);
// After the world step: a bike simulated here records and applies its
// erosion events (nothing when erosion is 0).
void erode_ground(int slot, const sim::Bike& bike);
// Once a tick: the particles fly, fade and fall.
void update_roost();
// The most particles in the air at once since the race was set up.
int particles_peak();

}  // namespace zv::race
