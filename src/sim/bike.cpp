#include "sim/bike.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <utility>

#include "platform/log.h"
#include "sim/bike_shapes.h"
#include "sim/suspension.h"
#include "sim/world.h"

namespace zv::sim {
namespace {

void set_body_mass(dBodyID body, dMass& m)
{
    // Symmetric sums leave rounding dust in the centre of mass; ODE wants it
    // exactly at the body origin.
    m.c[0] = m.c[1] = m.c[2] = 0;
    dBodySetMass(body, &m);
}

void wheel_mass(dMass& m, const WheelInfo& w)
{
    dMassSetSphereTotal(&m, w.hub_mass, w.hub_radius);
    for (int k = 0; k < 16; ++k) {
        dMass s;
        float a = static_cast<float>(k) * k_pi / 8;
        dMassSetSphereTotal(&s, w.ring_mass / 16, w.section_radius);
        dMassTranslate(&s, 0, w.ring_radius * std::cos(a), w.ring_radius * std::sin(a));
        dMassAdd(&m, &s);
    }
}

void fork_mass(dMass& m, const BikeInfo& b)
{
    dMass leg;
    float r = b.fork_leg_spacing / 8, len = b.fork_length * 2 / 3;
    dMassSetCylinderTotal(&m, b.fork_mass / 2, 3, r, len);
    dMassTranslate(&m, b.fork_leg_spacing / 2, 0, 0);
    dMassSetCylinderTotal(&leg, b.fork_mass / 2, 3, r, len);
    dMassTranslate(&leg, -b.fork_leg_spacing / 2, 0, 0);
    dMassAdd(&m, &leg);
    Vec3 d = b.steering_head - b.fork_lower;
    dMatrix3 rot;
    dRFromAxisAndAngle(rot, 1, 0, 0, std::atan(d.z / d.y));
    dMassRotate(&m, rot);
}

void swingarm_mass(dMass& m, const BikeInfo& b)
{
    float w = b.frame_size.x;
    Vec3 d = b.rear.position - b.swingarm_pivot;
    float len = length(d);
    dMass side;
    dMassSetBoxTotal(&m, b.swingarm_mass, w / 4, w / 4, len);
    dMassTranslate(&m, w / 2, 0, 0);
    dMassSetBoxTotal(&side, b.swingarm_mass, w / 4, w / 4, len);
    dMassTranslate(&side, -w / 2, 0, 0);
    dMassAdd(&m, &side);
    dMatrix3 rot;
    dRFromAxisAndAngle(rot, 1, 0, 0, -std::atan(d.y / d.z));
    dMassRotate(&m, rot);
}

void set_rotation_y(dBodyID body, float heading)
{
    dMatrix3 r;
    dRFromAxisAndAngle(r, 0, 1, 0, heading);
    dBodySetRotation(body, r);
}

Vec3 rotate_y(Vec3 v, float heading)
{
    float c = std::cos(heading), s = std::sin(heading);
    return {c * v.x + s * v.z, v.y, -s * v.x + c * v.z};
}

Vec3 row_position(const BikeInfo& b, int index)
{
    switch (index) {
    case k_frame: return b.frame_position;
    case k_front_wheel: return b.front.position;
    case k_rear_wheel: return b.rear.position;
    case k_fork_upper: return b.steering_head;
    case k_fork_lower: return b.fork_lower;
    case k_swingarm: return b.swingarm_position;
    default: return b.rider_position;
    }
}

void set_rider_joint_frame(Bike& bike)
{
    dJointID j = bike.joint(k_rider_joint);
    dBodyID frame = bike.body(k_frame);
    const BikeInfo& b = bike.info;
    Vec3 anchor = body_point_to_world(frame, Vec3{0, b.rider_position.y, -50} - b.frame_position);
    dJointSetHinge2Anchor(j, anchor.x, anchor.y, anchor.z);
    Vec3 a1 = body_vector_to_world(frame, normalized({0, 1, 1}));
    Vec3 a2 = body_vector_to_world(frame, {1, 0, 0});
    dReal axis1[3] = {a1.x, a1.y, a1.z};
    dReal axis2[3] = {a2.x, a2.y, a2.z};
    dJointSetHinge2Axes(j, axis1, axis2);
    dJointSetHinge2Param(j, dParamLoStop, 0);
    dJointSetHinge2Param(j, dParamHiStop, 0);
}

}  // namespace

int part_bit(int body_index)
{
    static constexpr int bits[k_body_count] = {k_part_frame,      k_part_front_wheel, k_part_rear_wheel,
                                               k_part_fork_upper, k_part_fork_lower,  k_part_swingarm,
                                               k_part_rider};
    return bits[body_index];
}

const BikeInfo& resolve_bike_info(std::string_view model)
{
    if (const BikeInfo* exact = find_bike_info(model))
        return *exact;
    auto table = bike_table();
    std::string_view want = model.find("125") != std::string_view::npos ? "125" : "250f";
    for (const BikeInfo& b : table)
        if (std::string_view(b.name).find(want) != std::string_view::npos)
            return b;
    return table[0];
}

void set_rider_mass_distribution_masses(Bike& bike, float d)
{
    const BikeInfo& b = bike.info;
    dMass m;
    dMassSetBoxTotal(&m, b.frame_mass + (1 - d) * b.rider_mass, b.frame_size.x, b.frame_size.y,
                     b.frame_size.z);
    set_body_mass(bike.body(k_frame), m);
    dMassSetSphereTotal(&m, d * b.rider_mass, 1);
    set_body_mass(bike.body(k_rider), m);
}

std::unique_ptr<Bike> create_bike(SimWorld& world, std::string_view model, int slot,
                                  std::string_view number, std::string_view rider_texture,
                                  std::string_view head_texture, std::string_view bike_texture,
                                  std::string_view wheel_texture)
{
    ensure_ode();
    const BikeInfo& row = resolve_bike_info(model);
    if (model != row.name)
        platform::log_printf("bike info for '%.20s' not found using '%.20s' instead\n",
                             std::string(model).c_str(), row.name);

    auto bike = std::make_unique<Bike>();
    Bike& k = *bike;
    k.info = row;
    k.world = &world;
    const BikeInfo& b = k.info;
    k.number = std::string(number.substr(0, 7));
    k.rider_texture = rider_texture.empty() ? b.art.rider_body_texture : std::string(rider_texture);
    k.head_texture = head_texture.empty() ? b.art.rider_head_texture : std::string(head_texture);
    k.bike_texture = bike_texture.empty() ? b.art.bike_texture : std::string(bike_texture);
    k.wheel_texture = wheel_texture.empty() ? b.art.wheel_texture : std::string(wheel_texture);

    for (auto& body : k.bodies)
        body.reset(dBodyCreate(world.id()));
    dBodySetFiniteRotationMode(k.body(k_front_wheel), 1);
    dBodySetFiniteRotationMode(k.body(k_rear_wheel), 1);
    for (int i : {k_fork_upper, k_fork_lower, k_swingarm, k_frame, k_front_wheel, k_rear_wheel, k_rider}) {
        Vec3 p = row_position(b, i);
        dBodySetPosition(k.body(i), p.x, p.y, p.z);
    }

    // Masses.
    dMass m;
    set_rider_mass_distribution_masses(k, 1.0f / 3.0f);
    wheel_mass(m, b.front);
    set_body_mass(k.body(k_front_wheel), m);
    wheel_mass(m, b.rear);
    set_body_mass(k.body(k_rear_wheel), m);
    fork_mass(m, b);
    set_body_mass(k.body(k_fork_upper), m);
    set_body_mass(k.body(k_fork_lower), m);
    swingarm_mass(m, b);
    set_body_mass(k.body(k_swingarm), m);

    // Joints.
    dWorldID w = world.id();
    Vec3 steer_axis = normalized(b.steering_head - b.fork_lower);
    dJointID j = dJointCreateHinge(w, nullptr);
    k.joints[k_front_axle].reset(j);
    dJointAttach(j, k.body(k_fork_lower), k.body(k_front_wheel));
    dJointSetHingeAnchor(j, b.front.position.x, b.front.position.y, b.front.position.z);
    dJointSetHingeAxis(j, 1, 0, 0);

    j = dJointCreateHinge(w, nullptr);
    k.joints[k_rear_axle].reset(j);
    dJointAttach(j, k.body(k_swingarm), k.body(k_rear_wheel));
    dJointSetHingeAnchor(j, b.rear.position.x, b.rear.position.y, b.rear.position.z);
    dJointSetHingeAxis(j, 1, 0, 0);

    j = dJointCreateHinge(w, nullptr);
    k.joints[k_steering_head].reset(j);
    dJointAttach(j, k.body(k_fork_upper), k.body(k_frame));
    dJointSetHingeAnchor(j, b.steering_head.x, b.steering_head.y, b.steering_head.z);
    dJointSetHingeAxis(j, steer_axis.x, steer_axis.y, steer_axis.z);
    dJointSetHingeParam(j, dParamLoStop, -k_pi / 4);
    dJointSetHingeParam(j, dParamHiStop, k_pi / 4);

    j = dJointCreateSlider(w, nullptr);
    k.joints[k_fork_slider].reset(j);
    dJointAttach(j, k.body(k_fork_upper), k.body(k_fork_lower));
    dJointSetSliderAxis(j, steer_axis.x, steer_axis.y, steer_axis.z);
    dJointSetSliderParam(j, dParamBounce, 0);
    dJointSetSliderParam(j, dParamLoStop, -b.fork_travel);
    dJointSetSliderParam(j, dParamHiStop, 0);

    j = dJointCreateHinge(w, nullptr);
    k.joints[k_swingarm_pivot].reset(j);
    dJointAttach(j, k.body(k_swingarm), k.body(k_frame));
    dJointSetHingeAnchor(j, b.swingarm_pivot.x, b.swingarm_pivot.y, b.swingarm_pivot.z);
    dJointSetHingeAxis(j, 1, 0, 0);
    dJointSetHingeParam(j, dParamBounce, 0);
    dJointSetHingeParam(j, dParamLoStop, -b.swingarm_travel);
    dJointSetHingeParam(j, dParamHiStop, 0);

    j = dJointCreateHinge2(w, nullptr);
    k.joints[k_rider_joint].reset(j);
    dJointAttach(j, k.body(k_rider), k.body(k_frame));
    set_rider_joint_frame(k);

    for (int i = 0; i < k_joint_count; ++i)
        dJointSetFeedback(k.joint(i), &k.feedback[static_cast<size_t>(i)]);

    k.front_contact.body = k.body(k_front_wheel);
    k.front_contact.ring_radius = b.front.ring_radius;
    k.front_contact.section_radius = b.front.section_radius;
    k.rear_contact.body = k.body(k_rear_wheel);
    k.rear_contact.ring_radius = b.rear.ring_radius;
    k.rear_contact.section_radius = b.rear.section_radius;
    set_builtin_shapes(k);
    load_bike_shapes(k);

    // Setup defaults.
    for (int i = 0; i < k_setup_value_count; ++i) {
        const SetupRange& r = setup_range(static_cast<SetupValue>(i));
        k.setup[static_cast<size_t>(i)] = r.fallback;
    }
    k.sprocket_ratio = std::max(3.0f, b.rear_teeth) / std::max(3.0f, b.countershaft_teeth);
    k.flags = k_flag_front_antilock | (k_stop_wheelies_codes[2] & 1 ? k_flag_wheelie_cut : 0) |
              (k_stop_wheelies_codes[2] & 2 ? k_flag_wheelie_front : 0) | k_flag_auto_align;
    k.arcade = 0;

    k.total_mass = 0;
    for (int i = 0; i < k_body_count; ++i) {
        dMass bm;
        dBodyGetMass(k.body(i), &bm);
        k.total_mass += static_cast<float>(bm.mass);
    }
    k.slot = slot;
    place_bike(k, {0, 0, 0}, 0);
    return bike;
}

void place_bike(Bike& bike, Vec3 origin, float heading)
{
    const BikeInfo& b = bike.info;
    bool was_attached = bike.rider_attached;
    if (!was_attached) {
        // Put the rider back first so the joint is rebuilt around the new pose.
        bike.rider_attached = true;
    }
    for (int i = 0; i < k_body_count; ++i) {
        dBodyID body = bike.body(i);
        Vec3 p = origin + rotate_y(row_position(b, i), heading);
        dBodySetPosition(body, p.x, p.y, p.z);
        set_rotation_y(body, heading);
        dBodySetLinearVel(body, 0, 0, 0);
        dBodySetAngularVel(body, 0, 0, 0);
        dBodySetForce(body, 0, 0, 0);
        dBodySetTorque(body, 0, 0, 0);
        dBodyEnable(body);
    }
    dJointAttach(bike.joint(k_rider_joint), bike.body(k_rider), bike.body(k_frame));
    set_rider_joint_frame(bike);
    bike.rider_attached = true;

    bike.controls = BikeControls{};
    bike.front_contact.depth = bike.rear_contact.depth = 0;
    bike.engine_speed = 0;
    bike.ref_angle = 0;
    bike.activity = 1;
    bike.collision_timer = 0;
    int tick = bike.world ? bike.world->tick : 0;
    bike.descent_start_tick = tick;
    bike.touchdown_tick = tick;
    bike.crash_timer = 0;
    bike.rider_velocity_ring = {};
    bike.settled = false;
    bike.first_bike_contact_tick = -1;
    bike.last_bike_contact_tick = -1;
    bike.steps = 0;
    for (auto& f : bike.feedback)
        f = dJointFeedback{};
    for (int side = 0; side < 2; ++side) {
        Vec3 p = b.pose_point(side == 0 ? k_pose_left_grip : k_pose_right_grip);
        bike.limbs[static_cast<size_t>(side)] = {origin + rotate_y(p, heading), {}};
    }
}

void attach_rider(Bike& bike)
{
    const BikeInfo& b = bike.info;
    dBodyID frame = bike.body(k_frame);
    dBodyID rider = bike.body(k_rider);
    Vec3 p = body_point_to_world(frame, b.rider_position - b.frame_position);
    dBodySetPosition(rider, p.x, p.y, p.z);
    dBodySetRotation(rider, dBodyGetRotation(frame));
    Vec3 v = body_point_vel(frame, p);
    dBodySetLinearVel(rider, v.x, v.y, v.z);
    const dReal* w = dBodyGetAngularVel(frame);
    dBodySetAngularVel(rider, w[0], w[1], w[2]);
    dJointAttach(bike.joint(k_rider_joint), rider, frame);
    set_rider_joint_frame(bike);
    bike.rider_attached = true;
}

void detach_rider(Bike& bike)
{
    dJointAttach(bike.joint(k_rider_joint), nullptr, nullptr);
    bike.feedback[k_rider_joint] = dJointFeedback{};
    bike.rider_attached = false;
}

float bike_speed(const Bike& bike) { return length(body_linear_vel(bike.body(k_frame))); }
float engine_rpm(const Bike& bike) { return bike.engine_speed * k_rpm_per_rad_s; }
float fork_position(const Bike& bike)
{
    return static_cast<float>(dJointGetSliderPosition(bike.joint(k_fork_slider)));
}
float swingarm_angle(const Bike& bike)
{
    return static_cast<float>(dJointGetHingeAngle(bike.joint(k_swingarm_pivot)));
}

float fork_speed(const Bike& bike)
{
    return static_cast<float>(dJointGetSliderPositionRate(bike.joint(k_fork_slider)));
}

float shock_compression(const Bike& bike)
{
    float travel = bike.info.swingarm_travel;
    float x = travel > 0 ? clampf(-swingarm_angle(bike) / travel, 0, 1) : 0;
    return linkage_curve(bike.info, x).compression;
}

bool bike_is_finite(const Bike& bike)
{
    for (int i = 0; i < k_body_count; ++i) {
        dBodyID b = bike.body(i);
        if (!is_finite(body_position(b)) || !is_finite(body_linear_vel(b)) ||
            !is_finite(body_angular_vel(b)))
            return false;
        const dReal* q = dBodyGetQuaternion(b);
        for (int k = 0; k < 4; ++k)
            if (!std::isfinite(q[k]))
                return false;
    }
    return std::isfinite(bike.engine_speed) && std::isfinite(bike.ref_angle) &&
           std::isfinite(bike.collision_timer) && std::isfinite(bike.controls.dab_foot) &&
           std::isfinite(bike.controls.landing_multiplier) && std::isfinite(bike.controls.lock_usage);
}

PlateColours parse_plate_colours(std::string_view description)
{
    PlateColours c;
    auto scan = [&](std::string_view key, float* out) {
        size_t at = description.find(key);
        if (at == std::string_view::npos)
            return;
        std::string rest(description.substr(at + key.size()));
        float r, g, b;
        if (std::sscanf(rest.c_str(), "%f,%f,%f", &r, &g, &b) == 3) {
            out[0] = r;
            out[1] = g;
            out[2] = b;
        }
    };
    scan("[numberbackground:", c.background);
    scan("[numberforeground:", c.foreground);
    return c;
}

}  // namespace zv::sim
