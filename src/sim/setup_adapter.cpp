#include "sim/setup_adapter.h"

#include "core/settings.h"

namespace zv::sim {

RiderSetup rider_setup_from(const core::Settings& s)
{
    auto num = [](const core::NumberSetting& n) { return static_cast<float>(n.value); };
    auto yes = [](const core::ChoiceSetting& c) { return c.is("Yes"); };
    RiderSetup r;
    r.leveling = num(s.leveling);
    r.roll_damping = num(s.roll_damping);
    r.roll_limit_angle = num(s.roll_limit_angle);
    r.roll_limit_factor = num(s.roll_limit_factor);
    r.steering_damping = num(s.steering_damping);
    r.steering_strength = num(s.steering_strength);
    r.max_steering_force = num(s.max_steering_force);
    r.direct_steering = num(s.direct_steering);
    r.slow_damping_speed = num(s.slow_damping_speed);
    r.slow_damping_factor = num(s.slow_damping_factor);
    r.land_damping_falloff = num(s.land_damping_falloff);
    r.land_damping_factor = num(s.land_damping_factor);
    r.full_lock_speed = num(s.full_lock_speed);
    r.restricted_lock_speed = num(s.restricted_lock_speed);
    r.restricted_lock = num(s.restricted_lock);
    r.arcade = yes(s.arcade);
    r.front_antilock = s.front_brake.is("Antilock");
    r.rear_antilock = s.rear_brake.is("Antilock");
    r.stop_wheelies = s.stop_wheelies.is("Yes") ? 1 : (s.stop_wheelies.is("Front Only") ? 2 : 0);
    r.auto_shift = yes(s.auto_shift);
    r.auto_dab = yes(s.auto_dab);
    r.auto_align = yes(s.auto_align);
    r.sticky_dab = yes(s.sticky_dab);
    r.reverse_steering = yes(s.reverse_steering);
    r.auto_clutch_rpms = num(s.auto_clutch_rpms);
    r.brake_torque = num(s.brake_torque);
    r.rear_brake_torque = num(s.rear_brake_torque);
    r.max_dab_speed = num(s.max_dab_speed);
    r.front_sprocket_adjustment = num(s.front_sprocket_adjustment);
    r.rear_sprocket_adjustment = num(s.rear_sprocket_adjustment);
    r.fork_compression_adjustment = num(s.fork_compression_adjustment);
    r.fork_slow_compression_adjustment = num(s.fork_slow_compression_adjustment);
    r.fork_rebound_adjustment = num(s.fork_rebound_adjustment);
    r.fork_slow_rebound_adjustment = num(s.fork_slow_rebound_adjustment);
    r.fork_spring_rate_adjustment = num(s.fork_spring_rate_adjustment);
    r.fork_preload_adjustment = num(s.fork_preload_adjustment);
    r.fork_oil_level_adjustment = num(s.fork_oil_level_adjustment);
    r.shock_compression_adjustment = num(s.shock_compression_adjustment);
    r.shock_slow_compression_adjustment = num(s.shock_slow_compression_adjustment);
    r.shock_rebound_adjustment = num(s.shock_rebound_adjustment);
    r.shock_slow_rebound_adjustment = num(s.shock_slow_rebound_adjustment);
    r.shock_spring_rate_adjustment = num(s.shock_spring_rate_adjustment);
    r.shock_preload_adjustment = num(s.shock_preload_adjustment);
    r.rider_yspring = num(s.rider_yspring);
    r.rider_ydamping = num(s.rider_ydamping);
    r.rider_zspring = num(s.rider_zspring);
    r.rider_zdamping = num(s.rider_zdamping);
    r.rider_mass_distribution = num(s.rider_mass_distribution);
    return r;
}

}  // namespace zv::sim
