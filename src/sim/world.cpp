#include "sim/world.h"

#include <algorithm>

#include "sim/bike.h"
#include "sim/contact.h"
#include "sim/step.h"

namespace zv::sim {
namespace {

std::array<int, k_penalty_entries> g_penalties{};

}  // namespace

std::unique_ptr<SimWorld> create_world()
{
    ensure_ode();
    auto w = std::make_unique<SimWorld>();
    w->world.reset(dWorldCreate());
    dWorldSetGravity(w->id(), 0, k_gravity, 0);
    w->contacts.reset(dJointGroupCreate(0));
    return w;
}

void step_world(SimWorld& world)
{
    dWorldStep(world.id(), k_dt);
    dJointGroupEmpty(world.group());
}

void set_knockout_penalties(std::span<const int> ticks)
{
    g_penalties.fill(0);
    for (size_t i = 0; i < ticks.size() && i < g_penalties.size(); ++i)
        g_penalties[i] = std::max(0, ticks[i]);
}

int knockout_penalty(int n) { return g_penalties[static_cast<size_t>(std::clamp(n, 0, k_penalty_entries - 1))]; }

void run_tick(SimWorld& world, std::span<Bike* const> bikes)
{
    make_tick_contacts(world, bikes);
    advance_tick(world, bikes);
}

void make_tick_contacts(SimWorld& world, std::span<Bike* const> bikes)
{
    for (Bike* b : bikes) {
        collide_bike_terrain(world, *b);
        if (world.test_objects)
            collide_bike_objects(world, *b);
    }
    for (size_t i = 0; i < bikes.size(); ++i)
        for (size_t j = i + 1; j < bikes.size(); ++j)
            collide_bikes(world, *bikes[i], *bikes[j]);
}

void advance_tick(SimWorld& world, std::span<Bike* const> bikes)
{
    step_world(world);
    for (Bike* b : bikes)
        bike_step(world, *b);
    ++world.tick;
}

}  // namespace zv::sim
