// The rider's setup as the configuration keeps it (menu scale), the physical
// setup values a bike carries, and the setters that clamp them.
#pragma once

#include <array>
#include <cstdint>

namespace zv::sim {

struct Bike;

// The rider-setup settings on their menu scale (degrees, mph, 0..100 ...).
// Defaults are those of a fresh configuration.
struct RiderSetup {
    float leveling = 20;
    float roll_damping = 80;
    float roll_limit_angle = 35;     // degrees
    float roll_limit_factor = 32;
    float steering_damping = 45;
    float steering_strength = 75;
    float max_steering_force = 400;
    float direct_steering = 0;
    float slow_damping_speed = 40;
    float slow_damping_factor = 2;
    float land_damping_falloff = 0.25f;
    float land_damping_factor = 2;
    float full_lock_speed = 10;
    float restricted_lock_speed = 50;
    float restricted_lock = 5;       // degrees
    bool arcade = true;
    bool front_antilock = true;
    bool rear_antilock = false;
    int stop_wheelies = 0;           // choice: 0 "No", 1 "Yes", 2 "Front Only"
    bool auto_shift = true;
    bool auto_dab = true;
    bool auto_align = true;
    bool sticky_dab = false;
    bool reverse_steering = true;
    float auto_clutch_rpms = 5000;
    float brake_torque = 250;
    float rear_brake_torque = 250;
    float max_dab_speed = 20;        // mph
    float front_sprocket_adjustment = 0;
    float rear_sprocket_adjustment = 0;
    float fork_compression_adjustment = 50;
    float fork_slow_compression_adjustment = 50;
    float fork_rebound_adjustment = 50;
    float fork_slow_rebound_adjustment = 50;
    float fork_spring_rate_adjustment = 50;
    float fork_preload_adjustment = 50;
    float fork_oil_level_adjustment = 50;
    float shock_compression_adjustment = 50;
    float shock_slow_compression_adjustment = 50;
    float shock_rebound_adjustment = 50;
    float shock_slow_rebound_adjustment = 50;
    float shock_spring_rate_adjustment = 50;
    float shock_preload_adjustment = 50;
    float rider_yspring = 50;
    float rider_ydamping = 50;
    float rider_zspring = 50;
    float rider_zdamping = 50;
    float rider_mass_distribution = 0.33f;
};

// The bike's setup values, each with its own clamp and tolerance range.
enum class SetupValue : int {
    leveling,
    roll_damping,
    roll_limit_angle,        // rad
    roll_limit_factor,
    steering_damping,
    steering_strength,
    max_steering_force,
    direct_steering,
    slow_damping_speed,
    slow_damping_factor,
    land_damping_falloff,
    land_damping_factor,
    full_lock_speed,
    restricted_lock_speed,
    restricted_lock,         // rad
    auto_clutch_rpm,
    front_brake_torque,
    rear_brake_torque,
    max_dab_speed,           // ft/s
    front_sprocket,          // teeth added
    rear_sprocket,
    fork_compression,        // multiplier of the row's coefficient
    fork_slow_compression,   // -1..1 of the row's coefficient
    fork_rebound,
    fork_slow_rebound,
    fork_spring_rate,        // 0..1 between the row's limits
    fork_preload,
    fork_oil_level,
    shock_compression,
    shock_slow_compression,
    shock_rebound,
    shock_slow_rebound,
    shock_spring_rate,
    shock_preload,
    rider_yspring,           // 0..1
    rider_ydamping,
    rider_zspring,
    rider_zdamping,
    rider_mass_distribution,
    count
};
constexpr int k_setup_value_count = static_cast<int>(SetupValue::count);

struct SetupRange {
    float clamp_lo, clamp_hi;
    float tolerance_lo, tolerance_hi;
    float fallback;  // the value a new bike starts with
};
const SetupRange& setup_range(SetupValue v);

// Stores the value clamped to its range; a value outside the wider
// tolerance raises the program-wide out-of-range flag. Returns the stored value.
float set_setup_value(Bike& bike, SetupValue v, float value);
float setup_value(const Bike& bike, SetupValue v);
bool setup_out_of_range();
void clear_setup_out_of_range();

// Stop-wheelies codes: bit 0 cuts drive in a wheelie, bit 1 releases the
// front brake while the rear wheel is in the air.
constexpr int k_stop_wheelies_codes[3] = {0, 3, 2};

// Converts every setting of the rider setup and calls the setters, without
// the mechanic rule.
void set_setup(Bike& bike, const RiderSetup& setup);
// The mechanic rule: applies the setup only while the bike is nearly at rest
// (frame slower than 0.125 ft/s). A refusal within 10 s of game time of the
// previous one shows "Settings not applied.  Mechanic can't keep up error.".
// Returns whether the setup was applied.
bool apply_setup(Bike& bike, const RiderSetup& setup, double game_time);
// Forgets earlier refusals (new session).
void reset_mechanic();

// Display conversions of the setup menu.
float fork_spring_display_kg_mm(float rate_lbf_ft);  // per leg
float shock_spring_display_kg_mm(float rate_lbf_ft);
float length_display_mm(float feet);

}  // namespace zv::sim
