#include "race/riders.h"

#include <algorithm>

#include "core/settings.h"
#include "race/hooks.h"

namespace zv::race {

namespace {

std::unique_ptr<sim::SimWorld>& world_holder()
{
    static std::unique_ptr<sim::SimWorld> world;
    return world;
}

float number(const core::NumberSetting& s) { return static_cast<float>(s.value); }
bool yes(const core::ChoiceSetting& s) { return s.index == 1; }

}  // namespace

std::array<RiderSlot, k_rider_slot_count>& rider_slots()
{
    static std::array<RiderSlot, k_rider_slot_count> slots;
    return slots;
}

RiderSlot& rider_slot(int slot)
{
    return rider_slots()[static_cast<std::size_t>(std::clamp(slot, 0, k_rider_slot_count - 1))];
}

int bike_count()
{
    int n = 0;
    for (const RiderSlot& s : rider_slots())
        n += s.bike ? 1 : 0;
    return n;
}

void free_all_bikes()
{
    const RaceHooks& hooks = race_hooks();
    for (int slot = 0; slot < k_rider_slot_count; ++slot) {
        if (hooks.slot_emptied)
            hooks.slot_emptied(slot);
        rider_slots()[static_cast<std::size_t>(slot)] = RiderSlot{};
    }
}

bool create_physics_world()
{
    if (!world_holder())
        world_holder() = sim::create_world();
    return world_holder() != nullptr;
}

void destroy_physics_world()
{
    free_all_bikes();
    world_holder().reset();
}

sim::SimWorld* physics_world() { return world_holder().get(); }

sim::RiderSetup rider_setup_from_settings()
{
    const core::Settings& s = core::settings();
    sim::RiderSetup r;
    r.leveling = number(s.leveling);
    r.roll_damping = number(s.roll_damping);
    r.roll_limit_angle = number(s.roll_limit_angle);
    r.roll_limit_factor = number(s.roll_limit_factor);
    r.steering_damping = number(s.steering_damping);
    r.steering_strength = number(s.steering_strength);
    r.max_steering_force = number(s.max_steering_force);
    r.direct_steering = number(s.direct_steering);
    r.slow_damping_speed = number(s.slow_damping_speed);
    r.slow_damping_factor = number(s.slow_damping_factor);
    r.land_damping_falloff = number(s.land_damping_falloff);
    r.land_damping_factor = number(s.land_damping_factor);
    r.full_lock_speed = number(s.full_lock_speed);
    r.restricted_lock_speed = number(s.restricted_lock_speed);
    r.restricted_lock = number(s.restricted_lock);
    r.arcade = yes(s.arcade);
    r.front_antilock = yes(s.front_brake);
    r.rear_antilock = yes(s.rear_brake);
    r.stop_wheelies = std::clamp(s.stop_wheelies.index, 0, 2);
    r.auto_shift = yes(s.auto_shift);
    r.auto_dab = yes(s.auto_dab);
    r.auto_align = yes(s.auto_align);
    r.sticky_dab = yes(s.sticky_dab);
    r.reverse_steering = yes(s.reverse_steering);
    r.auto_clutch_rpms = number(s.auto_clutch_rpms);
    r.brake_torque = number(s.brake_torque);
    r.rear_brake_torque = number(s.rear_brake_torque);
    r.max_dab_speed = number(s.max_dab_speed);
    r.front_sprocket_adjustment = number(s.front_sprocket_adjustment);
    r.rear_sprocket_adjustment = number(s.rear_sprocket_adjustment);
    r.fork_compression_adjustment = number(s.fork_compression_adjustment);
    r.fork_slow_compression_adjustment = number(s.fork_slow_compression_adjustment);
    r.fork_rebound_adjustment = number(s.fork_rebound_adjustment);
    r.fork_slow_rebound_adjustment = number(s.fork_slow_rebound_adjustment);
    r.fork_spring_rate_adjustment = number(s.fork_spring_rate_adjustment);
    r.fork_preload_adjustment = number(s.fork_preload_adjustment);
    r.fork_oil_level_adjustment = number(s.fork_oil_level_adjustment);
    r.shock_compression_adjustment = number(s.shock_compression_adjustment);
    r.shock_slow_compression_adjustment = number(s.shock_slow_compression_adjustment);
    r.shock_rebound_adjustment = number(s.shock_rebound_adjustment);
    r.shock_slow_rebound_adjustment = number(s.shock_slow_rebound_adjustment);
    r.shock_spring_rate_adjustment = number(s.shock_spring_rate_adjustment);
    r.shock_preload_adjustment = number(s.shock_preload_adjustment);
    r.rider_yspring = number(s.rider_yspring);
    r.rider_ydamping = number(s.rider_ydamping);
    r.rider_zspring = number(s.rider_zspring);
    r.rider_zdamping = number(s.rider_zdamping);
    r.rider_mass_distribution = number(s.rider_mass_distribution);
    return r;
}

}  // namespace zv::race
