#include "sim/step.h"

#include <cmath>

#include "sim/contact.h"
#include "sim/control.h"
#include "sim/drivetrain.h"
#include "sim/suspension.h"
#include "sim/world.h"
#include "track/terrain.h"

namespace zv::sim {
namespace {

constexpr float k_speed_limit = 31;     // ft/s, relative rider speed
constexpr float k_impact_limit = 1376;  // ft/s^2
constexpr int k_crash_ticks = 512;
constexpr float k_arm_reach = 2.5f;     // ft, rider body to a limb point
constexpr float k_hold_reach = 6;       // ft, a flying rider to the bike

Vec3 riding_point(const Bike& k) { return k.info.rider_position - k.info.frame_position; }

void jump_timing(SimWorld& world, Bike& k)
{
    bool ground = k.front_contact.on_ground() || k.rear_contact.on_ground();
    if (ground) {
        if (k.touchdown_tick < k.descent_start_tick)
            k.touchdown_tick = world.tick;
    } else if (body_linear_vel(k.body(k_frame)).y < 0 && k.descent_start_tick <= k.touchdown_tick) {
        k.descent_start_tick = world.tick;
    }
}

void cancel_internal_forces(Bike& k)
{
    Vec3 origin = body_position(k.body(k_frame));
    Vec3 force{}, torque{};
    for (int i = 0; i < k_joint_count; ++i) {
        const dJointFeedback& f = k.feedback[static_cast<size_t>(i)];
        dJointID j = k.joint(i);
        dBodyID b1 = dJointGetBody(j, 0), b2 = dJointGetBody(j, 1);
        Vec3 f1 = to_vec(f.f1), f2 = to_vec(f.f2);
        force += f1 + f2;
        torque += to_vec(f.t1) + to_vec(f.t2);
        if (b1)
            torque += cross(body_position(b1) - origin, f1);
        if (b2)
            torque += cross(body_position(b2) - origin, f2);
    }
    if (!is_finite(force) || !is_finite(torque))
        return;
    dBodyID frame = k.body(k_frame);
    dBodyAddForce(frame, -force.x, -force.y, -force.z);
    dBodyAddTorque(frame, -torque.x, -torque.y, -torque.z);
}

void update_limbs(SimWorld& world, Bike& k)
{
    dBodyID frame = k.body(k_frame);
    if (k.rider_attached) {
        for (int side = 0; side < 2; ++side) {
            Vec3 p = body_point_to_world(frame, k.info.pose_point(side == 0 ? k_pose_left_grip : k_pose_right_grip) -
                                                    k.info.frame_position);
            k.limbs[static_cast<size_t>(side)] = {p, body_point_vel(frame, p)};
        }
        return;
    }
    Vec3 rider = body_position(k.body(k_rider));
    for (LimbPoint& l : k.limbs) {
        l.velocity.y += k_gravity * k_dt;
        l.position += l.velocity * k_dt;
        float ground = world.terrain ? track::terrain_height(*world.terrain, l.position.x, l.position.z) : 0.0f;
        if (l.position.y < ground + 0.25f) {
            l.position.y = ground + 0.25f;
            l.velocity = {};
        }
        l.velocity *= 0.9375f;
        Vec3 d = l.position - rider;
        float dist = length(d);
        if (dist > k_arm_reach)
            l.position = rider + d * (k_arm_reach / dist);
        if (!is_finite(l.position) || !is_finite(l.velocity))
            l = {rider, {}};
    }
}

void crash_step(SimWorld& world, Bike& k)
{
    dBodyID frame = k.body(k_frame), rider = k.body(k_rider);
    Vec3 P = riding_point(k);
    if (length_sq(body_linear_vel(rider)) > 4.0f) {
        distance_limit(world, rider, {}, frame, P, k_hold_reach);
    } else {
        --k.crash_timer;
    }
    if (k.crash_timer < k_crash_ticks) {
        distance_limit(world, rider, {}, frame, P, recovery_reach(k.crash_timer));
        if (k.crash_timer < 320) {
            // The hand on the side of the lean reaches for its grip.
            int side = lean_angle(frame) >= 0 ? 0 : 1;
            Vec3 grip = body_point_to_world(
                frame, k.info.pose_point(side == 0 ? k_pose_left_grip : k_pose_right_grip) - k.info.frame_position);
            LimbPoint& l = k.limbs[static_cast<size_t>(side)];
            Vec3 d = grip - l.position;
            float dist = length(d);
            float step = 4 * k_dt;
            l.position = dist > step ? l.position + d * (step / dist) : grip;
        }
    }
    if (k.crash_timer <= 0) {
        k.crash_timer = 0;
        attach_rider(k);
        k.remount_tick = world.tick;
        Vec3 v = body_linear_vel(rider);
        k.rider_velocity_ring.fill(v);
    }
}

}  // namespace

float knockout_factor(int descent, int touchdown, int tick)
{
    if (touchdown < descent)
        return 1.5f;
    float a = static_cast<float>(touchdown - descent) * k_dt;
    float b = static_cast<float>(tick - touchdown) * k_dt;
    return 1.5f - 0.5f * clampf((a - 0.559f) * 7.9365087f, 0, 1) * clampf((b - 0.25f) * -8.0f, 0, 1);
}

bool knockout_test(Vec3 rel, Vec3 now, Vec3 before, float f)
{
    float speed_limit = k_speed_limit * f;
    if (length_sq(rel) > speed_limit * speed_limit)
        return true;
    Vec3 impact = (now - before) * (0.25f / k_dt) + Vec3{0, -k_gravity, 0};
    float impact_limit = k_impact_limit * f;
    return length_sq(impact) > impact_limit * impact_limit;
}

float recovery_reach(int crash_timer)
{
    return 5 * clampf(static_cast<float>(crash_timer - 128) / 384, 0, 1);
}

void bike_step(SimWorld& world, Bike& k)
{
    BikeControls& c = k.controls;
    jump_timing(world, k);
    if (k.activity <= 0.25f) {
        update_limbs(world, k);
        return;
    }
    k.collision_timer = toward_zero(k.collision_timer, 1);
    // The aids may hold the brakes and the foot down for this tick only.
    const float held_sit_dab = c.sit_dab, held_front = c.front_brake, held_rear = c.rear_brake;
    dBodyID frame = k.body(k_frame), rider = k.body(k_rider);
    const size_t slot = static_cast<size_t>(world.tick & 3);

    if (k.rider_attached && k.crash_timer == 0) {
        if (k.steps >= 1)
            cancel_internal_forces(k);
        if (k.steps >= 4 && k.collision_timer >= 0) {
            Vec3 rv = body_linear_vel(rider);
            Vec3 rel = rv - body_point_vel(frame, body_position(rider));
            float f = knockout_factor(k.descent_start_tick, k.touchdown_tick, world.tick);
            if (knockout_test(rel, rv, k.rider_velocity_ring[slot], f))
                knock_off(k);
        }
    }
    k.rider_velocity_ring[slot] = body_linear_vel(rider);
    if (k.crash_timer > 0) {
        c.throttle = 0;
        c.sit_dab = 0;
        c.back_up = 0;
        c.lean = 0;
        crash_step(world, k);
    }

    rider_springs_step(world, k);
    suspension_step(k);
    dab_or_back_up_step(world, k);
    drivetrain_step(k, world.tick);
    brake_step(k);
    if (k.arcade && k.rider_attached)
        arcade_step(world, k);
    else
        steering_step(world, k);
    steering_damping_step(k);
    dab_assist_step(world, k);
    update_limbs(world, k);

    // Held controls of this tick end here.
    c.sit_dab = k.knocked_off() ? 0 : held_sit_dab;
    c.front_brake = held_front;
    c.rear_brake = held_rear;
    c.dab_foot = std::max(0.0f, c.dab_foot - 4 * k_dt);

    if (!k.settled && world.tick - world.start_tick > 256 && length_sq(body_linear_vel(frame)) < 25.0f)
        k.settled = true;
    ++k.steps;
}

}  // namespace zv::sim
