#include "race/ground_effects.h"

#include <algorithm>
#include <array>
#include <memory>

#include "race/riders.h"
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

void erode_ground(int slot, const sim::Bike& bike)
{
    if (g_erosion <= 0 || slot < 0 || slot >= k_rider_slot_count)
        return;
    track::erode(erosion_rings()[static_cast<std::size_t>(slot)], rider_wheels(bike), g_erosion);
}

void update_roost()
{
    track::update_particles();
    g_particles_peak = std::max(g_particles_peak, track::roost_pool().active_count);
}

int particles_peak() { return g_particles_peak; }

}  // namespace zv::race
