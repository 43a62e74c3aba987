// What the wheels do to the ground: roost thrown from both tyres and, with
// erosion on, ruts and berms pushed into the height field.
#pragma once

#include <span>

#include "sim/bike.h"
#include "track/wheel_facts.h"

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
// After the world step: a bike records and applies its erosion events
// (nothing when erosion is 0). A bike replayed from the history passes the
// world: its wheel contacts are made again from its pose and the ground's
// push follows from them (replayed_rider_wheels).
void erode_ground(int slot, const sim::Bike& bike, const sim::SimWorld* replayed_in = nullptr);
// The wheel facts of a replayed bike: each wheel's contact from its pose,
// the push the tyre's spring gives at that depth along the normal, and the
// grip (at most mu times the push) against the slip across the ground.
track::RiderWheels replayed_rider_wheels(const sim::SimWorld& world, const sim::Bike& bike);
// Once a tick: the particles fly, fade and fall.
void update_roost();
// The most particles in the air at once since the race was set up.
int particles_peak();

}  // namespace zv::race
