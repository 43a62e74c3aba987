#include "race/ground_effects.h"

#include <algorithm>
#include <array>
#include <memory>

#include "race/riders.h"
#include "sim/tyre.h"
#include "sim/world.h"
#include "track/deform.h"
#include "track/roost.h"
#include "track/terrain.h"
#include "track/wheel_facts.h"

namespace zv::race {

namespace {

int g_roost_frequency = 1000;
float g_erosion = 0;
int g_particles_peak = 0;  // most particles in the air at once this race

// 160 rings of 1024 events: made once, kept for the program's life, so the
// race tick allocates nothing.
std::array<track::ErosionRing, k_rider_slot_count>& erosion_rings()
{
    static const auto rings = std::make_unique<std::array<track::ErosionRing, k_rider_slot_count>>();
    return *rings;
}

track::TerrainVec3 plain(sim::Vec3 v) { return {v.x, v.y, v.z}; }
track::TerrainVec3 plain(const dReal* v) { return {float(v[0]), float(v[1]), float(v[2])}; }

track::WheelFacts wheel_facts(const sim::WheelContact& c)
{
    track::WheelFacts f;
    f.depth = c.depth;
    f.contact_point = plain(c.point);
    f.contact_normal = plain(c.normal);
    f.slip_velocity = plain(c.point_velocity);
    f.force_x = float(c.feedback.f1[0]);
    f.force_z = float(c.feedback.f1[2]);
    if (c.body) {
        f.position = plain(dBodyGetPosition(c.body));
        // The wheel's local x axis (its axle) is the rotation's first column.
        const dReal* r = dBodyGetRotation(c.body);
        f.axle = {float(r[0]), float(r[4]), float(r[8])};
        f.velocity = plain(dBodyGetLinearVel(c.body));
        f.angular_velocity = plain(dBodyGetAngularVel(c.body));
    }
    return f;
}

// A replayed rider's wheel: its contact made again from the pose it was
// given (the contact routine of the simulation, on a copy, so the bike's own
// record stays), and the ground's push worked out from that contact instead
// of from a physics step the recording never had: the tyre's spring at that
// depth along the normal, and its grip (up to mu times the push) against the
// slip across the ground.
track::WheelFacts replayed_wheel_facts(const sim::SimWorld& world, const sim::WheelContact& recorded)
{
    sim::WheelContact w = recorded;
    w.feedback = {};
    dContact ct;
    if (!w.body || !sim::wheel_contact(world, w, 1.0f, ct)) {
        track::WheelFacts none = wheel_facts(w);
        none.depth = 0;
        return none;
    }
    const sim::Vec3 n = w.normal, v = w.point_velocity;
    const sim::TyreSpring spring = sim::tyre_spring(w.depth, w.section_radius);
    const float push = std::max(0.0f, spring.k * w.depth - spring.d * sim::dot(v, n));
    const sim::Vec3 slip = v - n * sim::dot(v, n);
    const float slip_speed = sim::length(slip);
    sim::Vec3 force = n * push;
    if (slip_speed > 0) {
        // Full grip once sliding at a foot a second; less while nearly still.
        const float grip = static_cast<float>(ct.surface.mu) * push * std::min(1.0f, slip_speed);
        force = force - slip * (grip / slip_speed);
    }
    for (int k = 0; k < 3; ++k)
        w.feedback.f1[k] = k == 0 ? force.x : (k == 1 ? force.y : force.z);
    return wheel_facts(w);
}

track::RiderWheels rider_wheels(const sim::Bike& bike)
{
    track::RiderWheels w;
    w.front = wheel_facts(bike.front_contact);
    w.rear = wheel_facts(bike.rear_contact);
    w.body_position = plain(sim::body_position(bike.body(sim::k_frame)));
    return w;
}

}  // namespace

void set_ground_effects(int roost_frequency, float erosion)
{
    g_roost_frequency = roost_frequency;
    g_erosion = erosion;
}

void reset_ground_effects(bool locked)
{
    track::reset_roost();
    g_particles_peak = 0;
    for (track::ErosionRing& r : erosion_rings())
        track::clear_erosion_ring(r);
    track::loaded_terrain().locked = locked;
}

void emit_ground_roost(std::span<sim::Bike* const> bikes, int tick)
{
    if (g_roost_frequency <= 0)
        return;
    const int n = static_cast<int>(bikes.size());
    for (int k = 0; k < n; ++k)
        track::emit_roost(rider_wheels(*bikes[static_cast<std::size_t>(track::roost_rider_order(tick, n, k))]), tick,
                          g_roost_frequency);
}

void erode_ground(int slot, const sim::Bike& bike, const sim::SimWorld* replayed_in)
{
    if (g_erosion <= 0 || slot < 0 || slot >= k_rider_slot_count)
        return;
    track::RiderWheels wheels = replayed_in ? replayed_rider_wheels(*replayed_in, bike) : rider_wheels(bike);
    track::erode(erosion_rings()[static_cast<std::size_t>(slot)], wheels, g_erosion);
}

track::RiderWheels replayed_rider_wheels(const sim::SimWorld& world, const sim::Bike& bike)
{
    track::RiderWheels w;
    w.front = replayed_wheel_facts(world, bike.front_contact);
    w.rear = replayed_wheel_facts(world, bike.rear_contact);
    w.body_position = plain(sim::body_position(bike.body(sim::k_frame)));
    return w;
}

void update_roost()
{
    track::update_particles();
    g_particles_peak = std::max(g_particles_peak, track::roost_pool().active_count);
}

int particles_peak() { return g_particles_peak; }

}  // namespace zv::race
