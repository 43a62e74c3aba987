#include "sim/setup.h"

#include <cmath>

#include "core/messages.h"
#include "sim/bike.h"

namespace zv::sim {
namespace {

constexpr float pi = k_pi;

// Clamp range, tolerance range and default of every setup value, in enum order.
constexpr SetupRange k_ranges[k_setup_value_count] = {
    {0, 100, -12.5f, 112.5f, 20},                          // leveling
    {0, 100, -12.5f, 112.5f, 60},                          // roll_damping
    {0, pi, -pi / 8, 9 * pi / 8, pi / 4},                  // roll_limit_angle
    {0, 64, -8, 72, 10},                                   // roll_limit_factor
    {0, 100, -12.5f, 112.5f, 45},                          // steering_damping
    {0, 100, -12.5f, 112.5f, 75},                          // steering_strength
    {0, 1000, -125, 1125, 400},                            // max_steering_force
    {0, 1, -0.125f, 1.125f, 1},                            // direct_steering
    {0, 100, -12.5f, 112.5f, 0},                           // slow_damping_speed
    {1, 10, -0.125f, 11.125f, 1},                          // slow_damping_factor
    {0, 0.5f, -0.0625f, 0.5625f, 0.25f},                   // land_damping_falloff
    {1, 3, 0.75f, 3.25f, 2},                               // land_damping_factor
    {1, 100, -11.375f, 112.375f, 10},                      // full_lock_speed
    {1, 100, -11.375f, 112.375f, 50},                      // restricted_lock_speed
    {0, pi / 4, -pi / 32, 9 * pi / 32, 0.0872665f},        // restricted_lock
    {0, 5000, -625, 5625, 5000},                           // auto_clutch_rpm
    {0, 500, -62.5f, 562.5f, 250},                         // front_brake_torque
    {0, 500, -62.5f, 562.5f, 250},                         // rear_brake_torque
    {7, 100, -4.625f, 111.625f, 30},                       // max_dab_speed
    {-2, 2, -2.5f, 2.5f, 0},                               // front_sprocket
    {-2, 2, -2.5f, 2.5f, 0},                               // rear_sprocket
    {0.25f, 4, -0.21875f, 4.46875f, 1},                    // fork_compression
    {-1, 1, -1.25f, 1.25f, 0},                             // fork_slow_compression
    {0.25f, 4, -0.21875f, 4.46875f, 1},                    // fork_rebound
    {-1, 1, -1.25f, 1.25f, 0},                             // fork_slow_rebound
    {0, 1, -0.125f, 1.125f, 0.5f},                         // fork_spring_rate
    {0, 1, -0.125f, 1.125f, 0.5f},                         // fork_preload
    {0, 1, -0.125f, 1.125f, 0},                            // fork_oil_level
    {0.25f, 4, -0.21875f, 4.46875f, 1},                    // shock_compression
    {-1, 1, -1.25f, 1.25f, 0},                             // shock_slow_compression
    {0.25f, 4, -0.21875f, 4.46875f, 1},                    // shock_rebound
    {-1, 1, -1.25f, 1.25f, 0},                             // shock_slow_rebound
    {0, 1, -0.125f, 1.125f, 0.5f},                         // shock_spring_rate
    {0, 1, -0.125f, 1.125f, 0.5f},                         // shock_preload
    {0, 1, -0.125f, 1.125f, 0.5f},                         // rider_yspring
    {0, 1, -0.125f, 1.125f, 0.5f},                         // rider_ydamping
    {0, 1, -0.125f, 1.125f, 0.5f},                         // rider_zspring
    {0, 1, -0.125f, 1.125f, 0.5f},                         // rider_zdamping
    {0.33f, 0.5f, 0.30875f, 0.52125f, 1.0f / 3.0f},        // rider_mass_distribution
};

bool g_out_of_range = false;
double g_last_refusal = -20.0;

void update_sprockets(Bike& bike)
{
    float rear = std::max(3.0f, std::floor(bike.info.rear_teeth + bike.value(SetupValue::rear_sprocket)));
    float front = std::max(3.0f, std::floor(bike.info.countershaft_teeth + bike.value(SetupValue::front_sprocket)));
    bike.sprocket_ratio = rear / front;
}

}  // namespace

const SetupRange& setup_range(SetupValue v) { return k_ranges[static_cast<int>(v)]; }

float set_setup_value(Bike& bike, SetupValue v, float value)
{
    const SetupRange& r = setup_range(v);
    if (!(value >= r.tolerance_lo && value <= r.tolerance_hi))
        g_out_of_range = true;
    float stored = std::isfinite(value) ? clampf(value, r.clamp_lo, r.clamp_hi) : r.fallback;
    bike.setup[static_cast<size_t>(v)] = stored;
    if (v == SetupValue::front_sprocket || v == SetupValue::rear_sprocket)
        update_sprockets(bike);
    if (v == SetupValue::rider_mass_distribution) {
        set_rider_mass_distribution_masses(bike, stored);
    }
    return stored;
}

float setup_value(const Bike& bike, SetupValue v) { return bike.value(v); }
bool setup_out_of_range() { return g_out_of_range; }
void clear_setup_out_of_range() { g_out_of_range = false; }

void set_setup(Bike& bike, const RiderSetup& s)
{
    using V = SetupValue;
    constexpr float deg = pi / 180;
    auto hs = [](float x) { return std::exp2(0.04f * x - 2); };
    auto ls = [](float x) { return 0.02f * x - 1; };
    set_setup_value(bike, V::leveling, s.leveling);
    set_setup_value(bike, V::roll_damping, s.roll_damping);
    set_setup_value(bike, V::roll_limit_angle, s.roll_limit_angle * deg);
    set_setup_value(bike, V::roll_limit_factor, s.roll_limit_factor);
    set_setup_value(bike, V::steering_damping, s.steering_damping);
    set_setup_value(bike, V::steering_strength, s.steering_strength);
    set_setup_value(bike, V::max_steering_force, s.max_steering_force);
    set_setup_value(bike, V::direct_steering, s.direct_steering);
    set_setup_value(bike, V::slow_damping_speed, s.slow_damping_speed);
    set_setup_value(bike, V::slow_damping_factor, s.slow_damping_factor);
    set_setup_value(bike, V::land_damping_falloff, s.land_damping_falloff);
    set_setup_value(bike, V::land_damping_factor, s.land_damping_factor);
    set_setup_value(bike, V::full_lock_speed, s.full_lock_speed);
    set_setup_value(bike, V::restricted_lock_speed, s.restricted_lock_speed);
    set_setup_value(bike, V::restricted_lock, s.restricted_lock * deg);
    set_setup_value(bike, V::auto_clutch_rpm, s.auto_clutch_rpms);
    set_setup_value(bike, V::front_brake_torque, s.brake_torque);
    set_setup_value(bike, V::rear_brake_torque, s.rear_brake_torque);
    set_setup_value(bike, V::max_dab_speed, s.max_dab_speed * k_ft_s_per_mph);
    set_setup_value(bike, V::front_sprocket, s.front_sprocket_adjustment);
    set_setup_value(bike, V::rear_sprocket, s.rear_sprocket_adjustment);
    set_setup_value(bike, V::fork_compression, hs(s.fork_compression_adjustment));
    set_setup_value(bike, V::fork_slow_compression, ls(s.fork_slow_compression_adjustment));
    set_setup_value(bike, V::fork_rebound, hs(s.fork_rebound_adjustment));
    set_setup_value(bike, V::fork_slow_rebound, ls(s.fork_slow_rebound_adjustment));
    set_setup_value(bike, V::fork_spring_rate, 0.01f * s.fork_spring_rate_adjustment);
    set_setup_value(bike, V::fork_preload, 0.01f * s.fork_preload_adjustment);
    set_setup_value(bike, V::fork_oil_level, 0.01f * s.fork_oil_level_adjustment);
    set_setup_value(bike, V::shock_compression, hs(s.shock_compression_adjustment));
    set_setup_value(bike, V::shock_slow_compression, ls(s.shock_slow_compression_adjustment));
    set_setup_value(bike, V::shock_rebound, hs(s.shock_rebound_adjustment));
    set_setup_value(bike, V::shock_slow_rebound, ls(s.shock_slow_rebound_adjustment));
    set_setup_value(bike, V::shock_spring_rate, 0.01f * s.shock_spring_rate_adjustment);
    set_setup_value(bike, V::shock_preload, 0.01f * s.shock_preload_adjustment);
    set_setup_value(bike, V::rider_yspring, 0.01f * s.rider_yspring);
    set_setup_value(bike, V::rider_ydamping, 0.01f * s.rider_ydamping);
    set_setup_value(bike, V::rider_zspring, 0.01f * s.rider_zspring);
    set_setup_value(bike, V::rider_zdamping, 0.01f * s.rider_zdamping);
    set_setup_value(bike, V::rider_mass_distribution, s.rider_mass_distribution);

    std::uint8_t f = 0;
    int code = k_stop_wheelies_codes[std::clamp(s.stop_wheelies, 0, 2)];
    if (s.front_antilock) f |= k_flag_front_antilock;
    if (s.rear_antilock) f |= k_flag_rear_antilock;
    if (code & 1) f |= k_flag_wheelie_cut;
    if (code & 2) f |= k_flag_wheelie_front;
    if (s.auto_shift) f |= k_flag_auto_shift;
    if (s.auto_dab) f |= k_flag_auto_dab;
    if (s.auto_align) f |= k_flag_auto_align;
    if (s.sticky_dab) f |= k_flag_sticky_dab;
    bike.flags = f;
    bike.arcade = s.arcade ? 1 : 0;
    bike.reverse_steering = s.reverse_steering;
}

bool apply_setup(Bike& bike, const RiderSetup& setup, double game_time)
{
    if (bike_speed(bike) > 0.125f) {
        if (game_time - g_last_refusal < 10.0)
            core::show_message("Settings not applied.  Mechanic can't keep up error.");
        g_last_refusal = game_time;
        return false;
    }
    set_setup(bike, setup);
    return true;
}

void reset_mechanic() { g_last_refusal = -20.0; }

float fork_spring_display_kg_mm(float rate) { return rate * 0.0007440819724087572f; }
float shock_spring_display_kg_mm(float rate) { return rate * k_kg_mm_per_lbf_ft; }
float length_display_mm(float feet) { return feet * k_mm_per_ft; }

}  // namespace zv::sim
