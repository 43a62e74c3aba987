#include "race/race_tick.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

#include "core/debug_level.h"
#include "platform/log.h"
#include "race/ground_effects.h"
#include "race/race_demo.h"
#include "race/riders.h"
#include "race/robots.h"
#include "race/session.h"
#include "race/standings.h"
#include "race/time_trial.h"
#include "replay/history.h"
#include "sim/contact.h"
#include "sim/control.h"
#include "sim/step.h"
#include "track/race_rules.h"
#include "track/results.h"
#include "track/start_gate.h"
#include "track/timing.h"
#include "track/terrain.h"
#include "track/track.h"

namespace zv::race {

namespace {

struct Live {
    sim::Bike* bike;
    int slot;
    float x;
};

// Kept between ticks so the race tick allocates nothing once warmed up.
std::vector<Live>& live_bikes()
{
    static std::vector<Live> v = [] {
        std::vector<Live> r;
        r.reserve(k_rider_slot_count);
        return r;
    }();
    return v;
}

// It is set down across the gate where no other bike is this near (ft),
// trying every few feet out to a share of the gate's radius: two robots
// wedged together and put back at once must not land on each other.
constexpr float k_set_down_room = 8;
constexpr float k_set_down_step = 3;
constexpr float k_set_down_reach = 0.7f;

void move_bike(sim::Bike& bike, float dy)
{
    for (int i = 0; i < sim::k_body_count; ++i) {
        dBodyID b = bike.body(i);
        const dReal* p = dBodyGetPosition(b);
        dBodySetPosition(b, p[0], p[1] + dy, p[2]);
    }
}

bool touches_ground(const sim::SimWorld& world, const sim::Bike& bike)
{
    for (const sim::WheelContact* w : {&bike.front_contact, &bike.rear_contact}) {
        sim::Vec3 c = sim::body_position(w->body);
        if (sim::sphere_terrain(world, c, w->ring_radius + w->section_radius).depth > 0)
            return true;
    }
    for (int part = 0; part < sim::k_body_count; ++part)
        for (const track::ShapeSphere& s : bike.shapes[static_cast<std::size_t>(part)]) {
            sim::WorldSphere ws = sim::part_sphere(bike, part, s);
            if (sim::sphere_terrain(world, ws.centre, ws.radius).depth > 0)
                return true;
        }
    return false;
}

// Every fourth tick the riders simulated here go into the state history.
void record_states(int tick)
{
    if (tick % replay::k_sample_interval != 0)
        return;
    const track::Terrain& terrain = track::loaded_terrain();
    for (const Live& l : live_bikes())
        if (rider_slot(l.slot).kind != k_rider_history)
            replay::add_state_to_history(l.slot, replay::sample_state(*l.bike, terrain), tick);
}

// A server's race: the local rider against every other rider whose newest
// state is under a second old.
void collide_local_rider(sim::SimWorld& world, const std::vector<Live>& live, int tick)
{
    const Live* local = nullptr;
    for (const Live& l : live)
        if (rider_slot(l.slot).kind == k_rider_local)
            local = &l;
    if (!local)
        return;
    const track::RaceState& race = track::race_state();
    for (const Live& l : live) {
        if (&l == local)
            continue;
        if (rider_slot(l.slot).kind == k_rider_history &&
            tick - race.last_data_tick[static_cast<std::size_t>(l.slot)] >= track::k_remote_stale_ticks)
            continue;
        sim::collide_bikes(world, *local->bike, *l.bike);
    }
}

}  // namespace

float distance_from_start(int slot)
{
    const RiderSlot& r = rider_slot(slot);
    if (!r.bike)
        return 0;
    sim::Vec3 p = sim::body_position(r.bike->body(sim::k_frame));
    float dx = p.x - r.start.x, dz = p.z - r.start.z;
    return std::sqrt(dx * dx + dz * dz);
}

void race_tick()
{
    sim::SimWorld* world = physics_world();
    if (!world)
        return;
    const int tick = world->tick;

    // History-driven riders take their recorded poses; a spectator of a
    // server race watches them a second late, so their states have come.
    const bool online = world->connected;
    const bool spectating = online && !track::race_state().local_drives_rider;
    race_demo_pose(tick, spectating);

    std::vector<Live>& live = live_bikes();
    live.clear();
    for (int slot = 0; slot < k_rider_slot_count; ++slot)
        if (sim::Bike* b = rider_slot(slot).bike.get())
            live.push_back({b, slot, sim::body_position(b->body(sim::k_frame)).x});

    // Contacts with the ground and the track objects (the start-gate objects
    // among them, whose bars record the touch).
    world->test_objects = true;
    for (const Live& l : live) {
        sim::collide_bike_terrain(*world, *l.bike);
        sim::collide_bike_objects(*world, *l.bike);
    }
    // Riders against riders: sorted along x, every close pair once. In a
    // server's race only this machine's rider is tested, against riders
    // whose states are fresh; without a place in the race (warm-up) nobody.
    std::sort(live.begin(), live.end(), [](const Live& a, const Live& b) {
        return a.x < b.x || (a.x == b.x && a.slot < b.slot);
    });
    constexpr float k_pair_reach = 15.0f;
    if (!online) {
        for (std::size_t i = 0; i < live.size(); ++i)
            for (std::size_t j = i + 1; j < live.size() && !(live[j].x - live[i].x > k_pair_reach); ++j)
                sim::collide_bikes(*world, *live[i].bike, *live[j].bike);
    } else if (!spectating) {
        collide_local_rider(*world, live, tick);
    }
    std::sort(live.begin(), live.end(), [](const Live& a, const Live& b) { return a.slot < b.slot; });

    // Roost from every wheel, in an order that turns with the tick.
    static std::array<sim::Bike*, k_rider_slot_count> bikes;
    std::size_t count = 0;
    for (const Live& l : live)
        bikes[count++] = l.bike;
    emit_ground_roost(std::span<sim::Bike* const>(bikes.data(), count), tick);

    sim::step_world(*world);
    // Ruts and berms; a replayed rider's contacts are made again from its
    // recorded pose, so a demo cuts the ground as its race did.
    for (const Live& l : live)
        erode_ground(l.slot, *l.bike, rider_slot(l.slot).kind == k_rider_history ? world : nullptr);

    // Where every bike is after the step: the robots' traffic.
    static std::array<sim::Vec3, k_rider_slot_count> positions;
    std::size_t placed = 0;
    for (const Live& l : live)
        positions[placed++] = sim::body_position(l.bike->body(sim::k_frame));
    const std::span<const sim::Vec3> traffic(positions.data(), placed);

    const bool time_trial = session().time_trial;
    // The timing of the last rider to finish makes the final standings;
    // in a server's race the gate times the server relays between ticks may
    // make them, so what was logged is remembered rather than the state at
    // the start of this tick.
    static bool final_logged = false;
    for (std::size_t k = 0; k < live.size(); ++k) {
        const Live& l = live[k];
        RiderSlot& r = rider_slot(l.slot);
        if (r.kind == k_rider_robot)
            drive_robot(l.slot, *l.bike, tick, traffic);
        // Moving off before the gate drops in a server's race holds the bike
        // at the start for a penalty.
        if (online && !spectating && r.kind == k_rider_local) {
            const float d = distance_from_start(l.slot);
            if (track::false_start_tick(tick, d * d))
                sim::hold_controls(*l.bike);
        }
        // A replayed or network rider's motion, engine and crashes come from
        // its record.
        if (r.kind != k_rider_history)
            sim::bike_step(*world, *l.bike);
        // A network opponent's passages come from the server.
        if (online && r.kind == k_rider_history)
            continue;
        sim::Vec3 front = sim::body_position(l.bike->body(sim::k_front_wheel));
        const int before = track::rider_position(l.slot);
        track::update_timing(l.slot, front.x, front.z, tick);
        const int after = track::rider_position(l.slot);
        if (after != before) {
            r.progress_tick = tick;
            if (core::debug_level() >= 1)
                platform::log_printf("Tick %d: rider %d passed timing gate %d\n", tick, l.slot, after - 1);
        } else if (r.kind == k_rider_robot && !track::race_state().riders[static_cast<std::size_t>(l.slot)].finished &&
                   (tick - std::max(r.progress_tick, track::race_state().start_tick) >
                        (before == 0 ? k_robot_first_gate_rescue_ticks : k_robot_rescue_ticks) ||
                    robot_without_headway(l.slot)) &&
                   track::track_timing().has_timing()) {
            int back = std::max(after - 1, 0);
            // Set down there once already and stuck again before getting
            // any further: whatever holds it is past that gate, so it goes
            // on from the next one.
            if (r.set_down_at >= 0 && back <= r.set_down_at)
                back = r.set_down_at + 1;
            if (put_rider_at_checkpoint(l.slot, back, traffic)) {
                // Where it stands now, for the next robot set down this tick.
                positions[k] = sim::body_position(l.bike->body(sim::k_frame));
                r.progress_tick = tick;
                r.set_down_at = back;
                platform::log_printf("Tick %d: robot %d stuck, put back at timing gate %d\n", tick, l.slot, back);
            }
        }
        if (time_trial && r.kind == k_rider_local && note_trial_timing(l.slot)) {
            trial_lap_done(l.slot, tick);
            race_demo_lap_done(l.slot);
        }
        learn_from_rider(l.slot, *l.bike, tick);
    }
    track::update_standings(tick);
    const bool final_now = track::has_final_standings();
    if (final_now && !final_logged && core::debug_level() >= 1) {
        platform::log_printf("Tick %d: Final Results\n", tick);
        // Each place with how far its rider is from where it was set down,
        // so a log shows the order decided and that every rider, network
        // ones included, was seen to ride.
        for (const RiderResult& res : race_results()) {
            const RiderSlot& r = rider_slot(res.slot);
            float feet = 0;
            if (r.bike) {
                const sim::Vec3 at = sim::body_position(r.bike->body(sim::k_frame));
                feet = std::sqrt((at.x - r.start.x) * (at.x - r.start.x) + (at.z - r.start.z) * (at.z - r.start.z));
            }
            platform::log_printf("Place %d: rider %d, %d laps%s, %.0f ft from its gate\n", res.place, res.slot,
                                 res.laps, res.finished ? " finished" : "", feet);
        }
    }
    final_logged = final_now;
    update_roost();
    record_states(tick);
    race_demo_tick();

    // A time trial's clock starts long after the start tick, so its gates
    // fall as soon as it begins.
    if (tick < track::race_state().start_tick + k_gate_active_ticks ||
        (time_trial && tick < k_time_trial_start_tick + k_gate_active_ticks))
        track::update_gate_drop(tick);
    if (tick == track::gate_drop_tick() && core::debug_level() >= 1)
        platform::log_printf("Start gate dropped at tick %d\n", tick);

    ++world->tick;
    // A server's race has no end here that all clients share: the results
    // file is kept current every 512 ticks instead.
    if (online && (tick & 511) == 510)
        track::write_results_file();
    // Once every rider is done the race runs on a few seconds before it ends.
    count_down_end_of_race();
}

bool put_rider_at_checkpoint(int slot, int position, std::span<const sim::Vec3> others)
{
    RiderSlot& r = rider_slot(slot);
    sim::SimWorld* world = physics_world();
    if (!r.bike || !world || !track::track_loaded())
        return false;
    track::CheckpointPose pose;
    if (!track::place_at_checkpoint(slot, position, track::loaded_terrain(), pose))
        return false;
    const track::Checkpoint* gate = track::checkpoint_of_position(track::track_timing(), position);
    const sim::Vec3 here = sim::body_position(r.bike->body(sim::k_frame));
    if (gate && !others.empty()) {
        // Across the gate from its centre, every few feet either side, to
        // the first place clear of the other bikes (or the clearest one).
        const float across_x = -std::cos(pose.heading), across_z = std::sin(pose.heading);
        const float reach = gate->radius * k_set_down_reach;
        float best_x = pose.x, best_z = pose.z, best_room = -1;
        for (int k = 0;; ++k) {
            const float offset = static_cast<float>((k + 1) / 2) * k_set_down_step * (k % 2 ? 1.0f : -1.0f);
            if (std::fabs(offset) > reach)
                break;
            const float x = pose.x + across_x * offset, z = pose.z + across_z * offset;
            float room = 1e9f;
            for (const sim::Vec3& q : others) {
                if (std::fabs(q.x - here.x) < 1e-3f && std::fabs(q.z - here.z) < 1e-3f)
                    continue;  // the bike being moved
                room = std::min(room, std::hypot(q.x - x, q.z - z));
            }
            if (room > best_room) {
                best_room = room;
                best_x = x;
                best_z = z;
            }
            if (room >= k_set_down_room)
                break;
        }
        if (best_x != pose.x || best_z != pose.z) {
            pose.x = best_x;
            pose.z = best_z;
            pose.y = track::terrain_height(track::loaded_terrain(), best_x, best_z);
        }
    }
    sim::place_bike(*r.bike, {pose.x, pose.y + 0.125f, pose.z}, pose.heading);
    rider_put_back(slot, position, world->tick);
    for (int i = 0; i < 64 && touches_ground(*world, *r.bike); ++i)
        move_bike(*r.bike, 0.25f);
    return true;
}

void restart_time_trial_attempt(int slot)
{
    if (put_rider_at_checkpoint(slot, track::restart_position()))
        abandon_trial_attempt(slot);
}

void lift_bikes_off_ground()
{
    sim::SimWorld* world = physics_world();
    if (!world)
        return;
    for (RiderSlot& r : rider_slots()) {
        if (!r.bike)
            continue;
        move_bike(*r.bike, 0.125f);
        for (int i = 0; i < 64 && touches_ground(*world, *r.bike); ++i)
            move_bike(*r.bike, 0.25f);
        move_bike(*r.bike, -0.125f);
    }
}

}  // namespace zv::race
