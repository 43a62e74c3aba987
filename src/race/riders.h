// The 160 rider slots of a race and the physics world they ride in.
#pragma once

#include <array>
#include <memory>
#include <string>

#include "sim/bike.h"
#include "sim/setup.h"
#include "sim/vec.h"
#include "sim/world.h"

namespace zv::race {

inline constexpr int k_rider_slot_count = 160;
inline constexpr int k_no_rider = 160;

// Who drives a slot's bike. An empty slot keeps the history kind.
enum RiderKind : int {
    k_rider_local = 0,    // this computer's controls
    k_rider_history = 1,  // a demo being played back or a network opponent
    k_rider_robot = 2,    // the auto pilot
};

struct RiderSlot {
    std::unique_ptr<sim::Bike> bike;
    int kind = k_rider_history;
    sim::Vec3 start;      // the frame's position when the bike was set down
    float start_heading = 0;
    // How a robot races, from its roster profile ("" for other riders and
    // until the roster deals profiles out).
    std::string personality;
    // The tick at which the rider last passed a timing gate (0: not yet).
    int progress_tick = 0;
    // The lap position a stuck robot was last set down at (-1: never).
    int set_down_at = -1;
};

std::array<RiderSlot, k_rider_slot_count>& rider_slots();
RiderSlot& rider_slot(int slot);  // slot clamped into 0 ... 159
int bike_count();
// Frees every bike; every slot becomes empty (history kind). The slot_emptied
// hook hears of every slot first.
void free_all_bikes();

// The physics world: made at start-up, destroyed at shutdown.
bool create_physics_world();
void destroy_physics_world();
sim::SimWorld* physics_world();

// The rider setup of the configuration, as the bike takes it.
sim::RiderSetup rider_setup_from_settings();

}  // namespace zv::race
