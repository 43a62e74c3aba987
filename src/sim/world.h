// The one physics world all bikes share, its per-tick contact group, the
// tick counter and the program-wide knockout penalty table.
#pragma once

#include <array>
#include <memory>
#include <span>

#include "sim/ode_handles.h"
#include "sim/vec.h"

namespace zv::track {
struct Terrain;
}

namespace zv::sim {

struct Bike;

struct SimWorld {
    WorldHandle world;
    JointGroupHandle contacts;  // every contact and per-tick motor joint
    const track::Terrain* terrain = nullptr;
    int tick = 0;
    int start_tick = 0;         // race start (gate drop)
    bool connected = false;     // online: fork tests against other bikes only detect
    bool test_objects = true;   // bike against track objects

    dWorldID id() const { return world.get(); }
    dJointGroupID group() const { return contacts.get(); }
    double game_time() const { return tick * static_cast<double>(k_dt); }
};

std::unique_ptr<SimWorld> create_world();

// dWorldStep with one tick, then empties the contact group.
void step_world(SimWorld& world);

// Extra knockout ticks by knockout number (all 0 until a server sends some).
constexpr int k_penalty_entries = 16;
void set_knockout_penalties(std::span<const int> ticks);
int knockout_penalty(int knockout_number);

// One offline race tick for the given bikes, in the order the game runs it:
// terrain and object contacts, bike-to-bike contacts, the world step, each
// bike's own step, then the tick counter advances. Controls must be set
// before the call.
void run_tick(SimWorld& world, std::span<Bike* const> bikes);
// The two halves of run_tick, for callers that act between them (roost is
// thrown with this tick's contacts made, before the world moves): the
// contacts, then the step, each bike's own step and the tick counter.
void make_tick_contacts(SimWorld& world, std::span<Bike* const> bikes);
void advance_tick(SimWorld& world, std::span<Bike* const> bikes);

}  // namespace zv::sim
