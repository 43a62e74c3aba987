// The built-in bike models: one read-only row per model, in table order.
// Positions are in the bike's own frame (x lateral, y up, z to the rear).
#pragma once

#include <array>
#include <span>
#include <string_view>

#include "sim/vec.h"

namespace zv::sim {

struct WheelInfo {
    Vec3 position;          // initial wheel centre
    float ring_radius;      // tyre ring (centre circle of the tube)
    float section_radius;   // tyre tube
    float ring_mass;        // slug, spread over the ring
    float hub_radius;
    float hub_mass;
};

// Model and texture names the renderer loads for a model, in row order.
struct BikeArt {
    const char* frame;
    const char* frame_shape;
    const char* bike_texture;
    const char* fork_upper;
    const char* fork_upper_shape;
    const char* fork_lower;
    const char* fork_lower_shape;
    const char* swingarm;
    const char* swingarm_shape;
    const char* front_wheel;
    const char* front_wheel_shape;
    const char* rear_wheel;
    const char* rear_wheel_shape;
    const char* wheel_texture;
    const char* rider_head;
    const char* rider_head_texture;
    const char* rider_body;
    const char* rider_first_person_body;
    const char* rider_shape;
    const char* rider_body_texture;
    const char* side_plates;
    const char* front_plate;
    const char* rider_number_plate;
};

// Rider pose points (x, y, z triples in the bike frame) by index.
enum PosePoint : int {
    k_pose_left_grip,
    k_pose_right_grip,
    k_pose_left_peg,
    k_pose_right_peg,
    k_pose_seat,
    k_pose_left_knee,
    k_pose_right_knee,
    k_pose_left_elbow,
    k_pose_right_elbow,
    k_pose_head,
    k_pose_count
};

struct BikeInfo {
    const char* name;        // e.g. "450sxf(2017)"
    const char* bike_class;  // "450f", "250f", "250", "125" or "50"
    WheelInfo front;
    WheelInfo rear;
    Vec3 frame_position;
    float frame_mass;
    Vec3 frame_size;
    Vec3 steering_head;      // fork upper position
    Vec3 swingarm_position;  // swingarm body
    Vec3 swingarm_pivot;
    Vec3 fork_lower;
    float fork_leg_spacing;
    float fork_length;
    float fork_mass;          // both legs
    float fork_spring_min, fork_spring_max;    // lbf/ft, both legs
    float fork_preload_min, fork_preload_max;  // ft
    float fork_oil_min, fork_oil_max;          // air gap above the oil, ft
    float fork_hs_compression, fork_ls_compression;
    float fork_hs_rebound, fork_ls_rebound;
    float fork_travel;        // ft
    float swingarm_mass;
    float shock_spring_min, shock_spring_max;  // lbf/ft at the shock
    float shock_preload_min, shock_preload_max;
    float shock_hs_compression, shock_ls_compression;
    float shock_hs_rebound, shock_ls_rebound;
    float link_knee_compression;  // shock compression at the knee, ft
    float link_full_compression;  // at full travel, ft
    float swingarm_travel;        // rad
    float link_knee_fraction;     // knee as a fraction of swingarm travel
    float link_slope_start, link_slope_knee, link_slope_full;
    float primary_ratio;
    float countershaft_teeth;
    float rear_teeth;
    std::array<float, 6> gears;   // -1 marks a gear the model lacks
    float engine_inertia;         // slug ft^2
    float driveline_stiffness;    // lbf ft / rad
    float driveline_damping;
    std::array<float, 50> closed_torque;  // lbf ft at 500 i rpm
    std::array<float, 50> full_torque;
    float downshift_rpm, upshift_rpm, display_max_rpm;
    std::array<float, 3> rider_figure_a;  // renderer only
    Vec3 rider_position;
    std::array<float, 2> rider_figure_b;  // renderer only
    float rider_mass;
    BikeArt art;
    std::array<float, 32> pose;  // k_pose_count triples, then hip height and setback

    Vec3 pose_point(int index) const
    {
        return {pose[3 * index], pose[3 * index + 1], pose[3 * index + 2]};
    }
};

constexpr int k_bike_model_count = 68;

// Every row, in table order.
std::span<const BikeInfo> bike_table();
// The row with exactly that name, or nullptr.
const BikeInfo* find_bike_info(std::string_view name);
// Number of gears the row has (ratios before the first one <= 0).
int gear_count(const BikeInfo& info);

}  // namespace zv::sim
