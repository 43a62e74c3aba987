// One bike-and-rider instance: seven bodies and six joints in the world,
// built from a row of the bike table and tuned by the rider's setup.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "sim/bike_info.h"
#include "sim/ode_handles.h"
#include "sim/setup.h"
#include "sim/vec.h"
#include "track/shape.h"

namespace zv::sim {

struct SimWorld;

enum BodyIndex : int {
    k_frame,
    k_front_wheel,
    k_rear_wheel,
    k_fork_upper,
    k_fork_lower,
    k_swingarm,
    k_rider,
    k_body_count
};

enum JointIndex : int {
    k_front_axle,
    k_rear_axle,
    k_steering_head,
    k_fork_slider,
    k_swingarm_pivot,
    k_rider_joint,
    k_joint_count
};

// Contact bits of the body parts (bike against objects and other bikes).
enum PartBit : int {
    k_part_frame = 1,
    k_part_front_wheel = 2,
    k_part_rear_wheel = 4,
    k_part_fork_upper = 8,
    k_part_fork_lower = 16,
    k_part_swingarm = 32,
    k_part_rider = 64,
};
int part_bit(int body_index);

// One wheel's ground contact of the current tick.
struct WheelContact {
    dBodyID body = nullptr;
    Vec3 axle{1, 0, 0};       // body frame
    float ring_radius = 0;
    float section_radius = 0;
    Vec3 point;               // deepest point, world
    Vec3 point_velocity;      // wheel body velocity there
    Vec3 normal{0, 1, 0};
    float depth = 0;          // > 0: on the ground
    dJointFeedback feedback{};
    bool terrain_touch = false;  // the depth came from the ground this tick
    bool on_ground() const { return depth > 0; }
};

// The rider's controls as the bike uses them.
struct BikeControls {
    float throttle = 0;
    float clutch = 1;         // engagement, 1 = fully engaged
    float front_brake = 0;
    float rear_brake = 0;
    float steer = 0;
    float sit_dab = 0;
    float back_up = 0;
    float lean = 0;
    int gear = 0;
    int last_shift = 0;
    float dab_foot = 0;       // foot extension 0..1
    float landing_multiplier = 1;
    float lock_usage = 0;
    int dab_mark = 0;
    bool sticky_state = false;
    bool sticky_was_down = false;
};

// Behaviour flags.
enum BikeFlag : std::uint8_t {
    k_flag_front_antilock = 1,
    k_flag_rear_antilock = 2,
    k_flag_wheelie_cut = 4,        // stop-wheelies code bit 0
    k_flag_wheelie_front = 8,      // stop-wheelies code bit 1
    k_flag_auto_shift = 16,
    k_flag_auto_dab = 32,
    k_flag_auto_align = 64,
    k_flag_sticky_dab = 128,
};

struct LimbPoint {
    Vec3 position;
    Vec3 velocity;
};

struct Bike {
    BikeInfo info{};          // private copy of the row
    SimWorld* world = nullptr;
    std::array<BodyHandle, k_body_count> bodies;
    std::array<JointHandle, k_joint_count> joints;
    std::array<dJointFeedback, k_joint_count> feedback{};
    std::array<float, k_setup_value_count> setup{};
    float sprocket_ratio = 1;
    std::uint8_t flags = 0;
    std::uint8_t arcade = 0;
    bool reverse_steering = false;
    float total_mass = 0;
    int slot = 0;
    std::string number;       // up to 7 characters
    std::string rider_texture, head_texture, bike_texture, wheel_texture;
    // Collision spheres of each body part (empty: none), body coordinates.
    std::array<std::vector<track::ShapeSphere>, k_body_count> shapes;

    BikeControls controls;
    WheelContact front_contact, rear_contact;

    // Drivetrain.
    float engine_speed = 0;   // rad/s
    float ref_angle = 0;      // engine side of the driveline at the wheel

    // Step state.
    float activity = 1;
    float collision_timer = 0;
    int descent_start_tick = 0;
    int touchdown_tick = 0;
    int crash_timer = 0;
    int knockout_count = 0;
    std::array<Vec3, 4> rider_velocity_ring{};
    std::array<LimbPoint, 2> limbs{};
    bool settled = false;
    int first_bike_contact_tick = -1;
    int last_bike_contact_tick = -1;
    int steps = 0;            // bike steps run since the last reset
    bool rider_attached = true;
    bool timed_lap = false;   // set by the race rules while a lap is timed
    int remount_tick = -1000000;  // tick the rider got back on after a fall

    dBodyID body(int index) const { return bodies[static_cast<size_t>(index)].get(); }
    dJointID joint(int index) const { return joints[static_cast<size_t>(index)].get(); }
    bool knocked_off() const { return crash_timer > 0; }
    float value(SetupValue v) const { return setup[static_cast<size_t>(v)]; }
};

// Builds a bike in the world. An unknown model name picks a substitute (the
// first "125" row when the name holds "125", else the first "250f" row) and
// logs "bike info for '%.20s' not found using '%.20s' instead". Textures ""
// mean the row's own. The body parts' collision spheres come from the row's
// shape files (built-in ones where a file is missing or damaged; see
// bike_shapes.h). The bike starts at the row's positions, unrotated.
std::unique_ptr<Bike> create_bike(SimWorld& world, std::string_view model, int slot,
                                  std::string_view number, std::string_view rider_texture = {},
                                  std::string_view head_texture = {},
                                  std::string_view bike_texture = {},
                                  std::string_view wheel_texture = {});
// The row used for a requested model name (the substitute rule above,
// without logging).
const BikeInfo& resolve_bike_info(std::string_view model);

// Places the bike: every body at origin + rotation * (row position), rotated
// by `heading` radians about world y, velocities zero, rider attached, all
// step and drivetrain state reset.
void place_bike(Bike& bike, Vec3 origin, float heading);
// Re-creates the frame and rider masses for a rider mass distribution.
void set_rider_mass_distribution_masses(Bike& bike, float distribution);
// Attaches the rider to the frame at its riding position (re-attach after a
// fall): the rider body takes the frame's rotation.
void attach_rider(Bike& bike);
void detach_rider(Bike& bike);

// Useful readings.
float bike_speed(const Bike& bike);          // frame speed, ft/s
float engine_rpm(const Bike& bike);
float fork_position(const Bike& bike);       // 0 extended .. -travel
float swingarm_angle(const Bike& bike);      // 0 extended .. -travel angle
float fork_speed(const Bike& bike);          // ft/s, negative compressing
float shock_compression(const Bike& bike);   // ft of shock stroke through the linkage
bool bike_is_finite(const Bike& bike);       // every body's state finite

// Number-plate colours from a bike texture's description text:
// "[numberbackground:r,g,b" and "[numberforeground:r,g,b" (0..1).
struct PlateColours {
    float background[3] = {1, 1, 1};
    float foreground[3] = {0, 0, 0};
};
PlateColours parse_plate_colours(std::string_view description);

}  // namespace zv::sim
