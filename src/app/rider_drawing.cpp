#include "app/rider_drawing.h"

#include "app/main_loop.h"
#include "app/multiplayer.h"
#include "net/client.h"
#include "race/race_demo.h"
#include "sim/bike.h"
#include "sim/world.h"
#include "track/race_rules.h"

namespace zv::app {

using race::k_rider_slot_count;
using race::rider_slot;
using race::RiderSlot;

namespace {

// Connected, history-driven riders are the network's; off-line, a demo's.
replay::SlotDriver driver_of(const RiderSlot& r, bool connected)
{
    if (!r.bike)
        return replay::SlotDriver::empty;
    if (r.kind != race::k_rider_history)
        return replay::SlotDriver::local;
    return connected ? replay::SlotDriver::remote : replay::SlotDriver::replayed;
}

int own_slot()
{
    for (int slot = 0; slot < k_rider_slot_count; ++slot)
        if (rider_slot(slot).bike && rider_slot(slot).kind == race::k_rider_local)
            return slot;
    return race::k_no_rider;
}

render::Vec3f frame_point(const sim::Bike& b)
{
    const dReal* p = dBodyGetPosition(b.body(sim::k_frame));
    return {static_cast<float>(p[0]), static_cast<float>(p[1]), static_cast<float>(p[2])};
}

}  // namespace

RiderDrawing& rider_drawing()
{
    static RiderDrawing d;
    return d;
}

void set_rider_ghost(int slot, bool ghost)
{
    if (slot >= 0 && slot < k_rider_slot_count)
        rider_drawing().ghost[static_cast<std::size_t>(slot)] = ghost;
}

void clear_rider_ghosts()
{
    rider_drawing().ghost.fill(false);
    rider_drawing().player_position.reset();
}

replay::VisibilityContext visibility_context(const Game& g, const RiderDrawing& d,
                                             std::array<replay::SlotDriver, k_rider_slot_count>& drivers)
{
    for (int slot = 0; slot < k_rider_slot_count; ++slot)
        drivers[static_cast<std::size_t>(slot)] = driver_of(rider_slot(slot), g.connected);
    const sim::SimWorld* world = race::physics_world();
    replay::VisibilityContext v;
    v.tick = world ? world->tick : 0;
    v.race_start_tick = track::race_state().start_tick;
    v.on_server = d.on_server || (g.connected && net::has_slot(multiplayer().client));
    v.spectating = d.spectating || multiplayer_spectating();
    v.own_slot = own_slot();
    v.viewed_slot = g.viewed;
    v.drivers = drivers.data();
    return v;
}

void fill_frame_riders(const Game& g, const RiderDrawing& d, render::WorldFrame& frame)
{
    std::array<replay::SlotDriver, k_rider_slot_count> drivers{};
    const replay::VisibilityContext visibility = visibility_context(g, d, drivers);
    frame.bikes.clear();
    for (int slot = 0; slot < k_rider_slot_count; ++slot) {
        const RiderSlot& r = rider_slot(slot);
        if (!r.bike)
            continue;
        render::BikeInFrame b;
        b.bike = r.bike.get();
        b.slot = slot;
        b.ghost = !visibility.on_server && (d.ghost[static_cast<std::size_t>(slot)] || race::is_ghost_rider(slot));
        b.visible = !replay::is_rider_hidden(slot, visibility);
        frame.bikes.push_back(b);
    }
    frame.ghost_anchor.reset();
    if (d.player_position)
        frame.ghost_anchor = d.player_position;
    else if (visibility.own_slot != race::k_no_rider)
        frame.ghost_anchor = frame_point(*rider_slot(visibility.own_slot).bike);
}

}  // namespace zv::app
