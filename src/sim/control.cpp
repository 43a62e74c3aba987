#include "sim/control.h"

#include <cmath>

#include "sim/contact.h"
#include "sim/drivetrain.h"
#include "sim/tyre.h"
#include "sim/world.h"
#include "track/terrain.h"
#include "track/tileinfo.h"

namespace zv::sim {
namespace {

constexpr float pi = k_pi;
constexpr float k_slow = 5;            // ft/s: "stopped"
constexpr float k_hold_gain = 2000;    // lbf, the holding force
constexpr float k_clutch_rate = 4;     // engagement per second
constexpr float k_rider_mass_unit = 4.6875f;  // slug: 150 lb

float frame_speed(const Bike& k) { return length(body_linear_vel(k.body(k_frame))); }

Vec3 frame_axis(const Bike& k, Vec3 a) { return body_vector_to_world(k.body(k_frame), a); }

Vec3 steering_axis(const Bike& k) { return normalized(k.info.steering_head - k.info.fork_lower); }

void apply_steering_torque(Bike& k, float T)
{
    Vec3 t = frame_axis(k, steering_axis(k)) * T;
    dBodyAddTorque(k.body(k_front_wheel), t.x, t.y, t.z);
    dBodyAddTorque(k.body(k_frame), -t.x, -t.y, -t.z);
}

// A holding force on the frame toward a horizontal target velocity.
void holding_force(Bike& k, Vec3 target)
{
    Vec3 v = body_linear_vel(k.body(k_frame)) - target;
    v.y = 0;
    float s = length(v);
    if (!(s >= 0.25f))
        return;
    Vec3 f = v * (-k_hold_gain * clampf((s - 0.25f) * 0.8f, 0, 1) / s);
    dBodyAddForce(k.body(k_frame), f.x, 0, f.z);
}

// A one-axis angular motor between the frame and the world for this tick.
void frame_motor(SimWorld& world, Bike& k, Vec3 axis, float velocity, float max_torque)
{
    dJointID j = dJointCreateAMotor(world.id(), world.group());
    dJointAttach(j, k.body(k_frame), nullptr);
    dJointSetAMotorNumAxes(j, 1);
    dJointSetAMotorAxis(j, 0, 0, axis.x, axis.y, axis.z);
    dJointSetAMotorParam(j, dParamVel, velocity);
    dJointSetAMotorParam(j, dParamFMax, max_torque);
}

bool both_wheels_down(const Bike& k) { return k.front_contact.on_ground() && k.rear_contact.on_ground(); }

float roll_rate(const Bike& k)
{
    return body_vector_from_world(k.body(k_frame), body_angular_vel(k.body(k_frame))).z;
}

// Travel angle of the front wheel against the direction the fork points.
float travel_angle(const Bike& k)
{
    Vec3 v = body_vector_from_world(k.body(k_fork_upper), body_linear_vel(k.body(k_front_wheel)));
    Vec3 a = steering_axis(k);
    float f = -v.y * a.z + v.z * a.y;
    if (v.x * v.x + f * f > 1)
        return -std::atan2(v.x, -f);
    return 0;
}

}  // namespace

void set_throttle(Bike& k, float v) { k.controls.throttle = k.knocked_off() ? 0.0f : clampf(v, 0, 1); }

void set_brakes(Bike& k, float front, float rear)
{
    k.controls.front_brake = clampf(front, 0, 1);
    k.controls.rear_brake = clampf(rear, 0, 1);
}

void set_steer(Bike& k, float v) { k.controls.steer = clampf(v, -1, 1); }

void set_clutch_engagement(Bike& k, float v) { k.controls.clutch = clampf(v, 0, 1); }

void request_shift(Bike& k, int shift)
{
    shift = shift > 0 ? 1 : (shift < 0 ? -1 : 0);
    if (shift != k.controls.last_shift && shift != 0 && !k.knocked_off())
        k.controls.gear = shifted_gear(k.info, k.controls.gear, shift);
    k.controls.last_shift = shift;
}

void hold_controls(Bike& k)
{
    k.controls.front_brake = 1;
    k.controls.rear_brake = 1;
    k.controls.sit_dab = 1;
    k.controls.back_up = 0;
    k.controls.clutch = 0;
    k.controls.throttle = 0;
}

void apply_input(Bike& k, const RiderInput& in)
{
    BikeControls& c = k.controls;
    bool off = k.knocked_off();
    auto finite = [](float v) { return std::isfinite(v) ? v : 0.0f; };
    float steer = finite(in.steer);
    c.steer = clampf(k.reverse_steering ? -steer : steer, -1, 1);
    c.front_brake = clampf(finite(in.front_brake), 0, 1);
    c.rear_brake = clampf(finite(in.rear_brake), 0, 1);
    c.throttle = off ? 0 : clampf(finite(in.throttle), 0, 1);
    float dab = finite(in.sit_dab);
    if (k.flags & k_flag_sticky_dab) {
        bool down = dab >= 0.5f;
        if (down && !c.sticky_was_down)
            c.sticky_state = !c.sticky_state;
        c.sticky_was_down = down;
        dab = c.sticky_state ? 1.0f : 0.0f;
    }
    c.sit_dab = off ? 0 : clampf(dab, 0, 1);
    c.back_up = off ? 0 : clampf(finite(in.back_up), 0, 1);
    c.lean = off ? 0 : clampf(finite(in.lean), -1, 1);
    float target = clampf(1 - finite(in.clutch) * 8 / 7, 0, 1);
    if (c.clutch < target)
        c.clutch = std::min(target, c.clutch + k_clutch_rate * k_dt);
    else
        c.clutch = target;
    float shift = finite(in.shift);
    request_shift(k, shift > 0.5f ? 1 : (shift < -0.5f ? -1 : 0));
}

float dab_speed_limit(const Bike& k)
{
    float v = k.value(SetupValue::max_dab_speed);
    if (k.collision_timer <= -512)
        v = std::max(v, 75.0f);
    return v;
}

float lean_range(float V, float v_dab, float roll_limit, int power)
{
    if (!(V > 0))
        return 0;
    if (V >= v_dab)
        return 2 * pi;
    if (V <= 15) {
        float base = 1 - clampf(V * V / (v_dab * v_dab), 0, 1);
        return (1 - std::pow(base, static_cast<float>(power))) * roll_limit;
    }
    float den = v_dab * v_dab - 225;
    float t = den > 0 ? clampf((V * V - 225) / den, 0, 1) : 1;
    return roll_limit + (2 * pi - roll_limit) * t;
}

void rider_springs_step(SimWorld& world, Bike& k)
{
    if (!k.rider_attached)
        return;
    using V = SetupValue;
    dBodyID frame = k.body(k_frame), rider = k.body(k_rider);
    float n = k.info.rider_mass / k_rider_mass_unit;
    Vec3 P = body_point_to_world(frame, k.info.rider_position - k.info.frame_position);
    Vec3 r = body_position(rider);
    Vec3 zaxis = frame_axis(k, {0, 0, 1}), yaxis = frame_axis(k, {0, 1, 0});
    Vec3 off = P - r;
    float z = dot(off, zaxis), y = dot(off, yaxis);
    float dab = k.controls.sit_dab, lean = k.controls.lean;

    // Forward.
    float tz = clampf((0.5f + 0.5f * dab) * y - lean, -0.75f, 0.75f);
    float spring = 100 * std::fabs(z - tz) + 600 * k.value(V::rider_zspring);
    float damping = 0;
    if (std::fabs(z) >= 0.75f)
        spring = damping = 2500;
    float K = spring * n, D = damping * n;
    if (K > 0) {
        Vec3 normal = z > tz ? zaxis : -zaxis;
        add_soft_contact(world, rider, frame, r, normal, std::fabs(z - tz), 0, K, D);
    }
    // Vertical.
    float yt = y + 0.125f - 0.5f * dab;
    spring = 400 * k.value(V::rider_yspring);
    damping = 100 * k.value(V::rider_ydamping);
    if (y > 0.5f || y < -0.75f)
        spring = damping = 2500;
    K = spring * n, D = damping * n;
    if (K + D > 0) {
        Vec3 normal = yt > 0 ? yaxis : -yaxis;
        add_soft_contact(world, rider, frame, r, normal, std::fabs(yt), 0, K, D);
    }
    // The rider joint: a pure damper along its first axis.
    dJointID j = k.joint(k_rider_joint);
    dJointSetHinge2Param(j, dParamSuspensionERP, 0);
    dJointSetHinge2Param(j, dParamSuspensionCFM, 1.0f / ((30 * k.value(V::rider_zdamping) + 5) * n));
}

void steering_step(SimWorld& world, Bike& k)
{
    using SV = SetupValue;
    BikeControls& c = k.controls;
    if (k.knocked_off()) {
        c.lock_usage = 0;
        return;
    }
    const float s = c.steer;
    const float delta = k.value(SV::direct_steering);
    const float S = k.value(SV::steering_strength);
    const float Fmax = k.value(SV::max_steering_force);
    const float v_full = k.value(SV::full_lock_speed);
    const float v_r = k.value(SV::restricted_lock_speed);
    const float theta_r = k.value(SV::restricted_lock);
    const float c_roll = k.value(SV::roll_damping);
    const float c_lev = k.value(SV::leveling);
    const float k_lim = k.value(SV::roll_limit_factor);
    const float theta_lim = k.value(SV::roll_limit_angle);
    const float v_slow = k.value(SV::slow_damping_speed);
    const float k_slow_f = k.value(SV::slow_damping_factor);
    const float K_land = k.value(SV::land_damping_factor);
    const float t_fall = k.value(SV::land_damping_falloff);
    const float v_dab = dab_speed_limit(k);

    // 1-2.
    float lo = -Fmax, hi = Fmax;
    float tau_d = S * s * delta;
    float front_rate = static_cast<float>(dJointGetHingeAngleRate(k.joint(k_front_axle)));
    float v_f = (k.info.front.ring_radius + k.info.front.section_radius) * front_rate;
    float lambda = lean_angle(k.body(k_frame));
    float psi = static_cast<float>(dJointGetHingeAngle(k.joint(k_steering_head)));
    // 3.
    float alpha = travel_angle(k);
    // 4.
    float v_m = std::max(v_full + 1, v_r);
    float g = clampf((1 / std::max(1.0f, v_f) - 1 / v_m) / (1 / v_full - 1 / v_m), 0, 1);
    Vec3 fw = body_position(k.body(k_front_wheel));
    const track::TileType& tile = tile_at(world.terrain, fw.x, fw.z);
    float q = std::max(0.125f, tile.friction[0].coefficient);
    float L_r = std::min(pi / 4, theta_r / q);
    float L = L_r + (pi / 4 - L_r) * g;
    // 5.
    float ground = world.terrain ? track::terrain_height(*world.terrain, fw.x, fw.z) : 0.0f;
    float h = fw.y - ground - k.info.front.ring_radius - k.info.front.section_radius;
    if (v_f > 1 && h < 0.5f) {
        float Lp = L + (pi / 4 - L) * clampf(2 * h, 0, 1);
        float thr = 1.125f * Lp + 0.015f;
        if (alpha > Lp) {
            float r = clampf((alpha - thr) / (Lp - thr), 0, 1);
            lo = (1.25f * r - 0.25f) * lo;
        }
        if (alpha < -Lp) {
            float r = clampf((alpha + thr) / (-Lp + thr), 0, 1);
            hi = (1.25f * r - 0.25f) * hi;
        }
    }
    float tau_s, tau_st;
    float V = frame_speed(k);
    if (!k.front_contact.on_ground() || front_rate < pi / 4) {
        // 6.
        c.landing_multiplier = K_land;
        tau_s = -50 * psi;
        tau_st = tau_d;
    } else {
        // 7.
        float rho = roll_rate(k);
        float M = c.landing_multiplier;
        float tau_roll = rho * c_roll * M;
        if (M > 1 && t_fall != 0)
            c.landing_multiplier = std::max(1.0f, M - (K_land - 1) * k_dt / t_fall);
        float tau_lev = lambda * c_lev;
        if (V < v_slow) {
            float m = k_slow_f + (1 - k_slow_f) * clampf(V / v_slow, 0, 1);
            tau_roll *= m;
            tau_lev *= m;
        }
        if (((rho < 0 && lambda < 0) || (rho >= 0 && lambda >= 0)) && std::fabs(lambda) > theta_lim)
            tau_roll *= 1 + (std::fabs(lambda) - theta_lim) * k_lim;
        tau_s = tau_roll + tau_lev;
        // 8.
        if (delta < 1) {
            float sigma = lean_range(V, v_dab, theta_lim, 4);
            float rho_d = (-s * sigma - lambda) * 2.5f;
            bool upright = (lambda >= 0 && rho_d < 0) || (lambda < 0 && rho_d >= 0);
            float cap = upright ? 25 * pi / 8 : 5 * pi / 4;
            rho_d = clampf(rho_d, -cap, cap);
            float e = rho_d - rho;
            float u = clampf(4 * (clampf(e, -0.125f, 0.125f) - e), -1, 1);
            float tau_i = S * u;
            tau_st = tau_i + (tau_d - tau_i) * delta;
        } else {
            tau_st = tau_d;
        }
    }
    // 9.
    if (k.collision_timer > 0) {
        float m = 200 * clampf((192 - k.collision_timer) / 192, 0, 1);
        tau_s = clampf(tau_s, -m, m);
    }
    // 10.
    float T = clampf(1.5f * (tau_s + tau_st), lo, hi);
    // 11.
    float b = clampf((v_f - 5) / 10, 0, 1);
    float a_edge = 0.25f * b * L, c_edge = (0.125f + 0.625f * b) * L;
    float p, qq;
    float span = c_edge - a_edge;
    if (lambda >= 0) {
        p = span > 0 ? clampf((-alpha - a_edge) / span, 0, 1) : 0;
        qq = clampf((psi - pi / 12) * 12 / pi, 0, 1);
    } else {
        p = span > 0 ? clampf((alpha - a_edge) / span, 0, 1) : 0;
        qq = clampf((psi + pi / 12) * (-12 / pi), 0, 1);
    }
    c.lock_usage = std::max(p, qq);
    // 12.
    if (std::isfinite(T))
        apply_steering_torque(k, T);
}

void arcade_step(SimWorld& world, Bike& k)
{
    if (k.knocked_off())
        return;
    const float s = k.controls.steer;
    float lambda = lean_angle(k.body(k_frame));
    float target = -(pi / 4) * s;
    float g = clampf((k.value(SetupValue::roll_damping) - 40) * 0.025f, 0, 1);
    float w = (1.5f - 0.5f * g) * 16 * std::min(0.0625f, std::fabs(lambda - target));
    if (target <= lambda)
        w = -w;
    frame_motor(world, k, frame_axis(k, {0, 0, 1}), w, 1000);

    float alpha = travel_angle(k);
    float psi = static_cast<float>(dJointGetHingeAngle(k.joint(k_steering_head)));
    float psi_rate = static_cast<float>(dJointGetHingeAngleRate(k.joint(k_steering_head)));
    float x = alpha - 0.5f * s;
    float d = toward_zero(clampf(x - psi, -0.25f, 0.25f), 0.03125f);
    float e = toward_zero(8 * d - psi_rate, 0.00041666668f);
    float r = clampf(0.5f * e, -2.0f / 3, 2.0f / 3);
    apply_steering_torque(k, r * k.value(SetupValue::steering_strength));

    // Tail damper.
    Vec3 tail = body_point_to_world(k.body(k_frame), {0, 0, 20});
    Vec3 f = body_point_vel(k.body(k_frame), tail) * -0.25f;
    dBodyAddForceAtPos(k.body(k_frame), f.x, f.y, f.z, tail.x, tail.y, tail.z);
}

void steering_damping_step(Bike& k)
{
    dBodyID wheel = k.body(k_front_wheel);
    Vec3 w = body_angular_vel(wheel);
    Vec3 a = normalized(body_vector_to_world(wheel, {1, 0, 0}));
    Vec3 t = (a * dot(w, a) - w) * k.value(SetupValue::steering_damping);
    if (!is_finite(t))
        return;
    dBodyAddTorque(wheel, t.x, t.y, t.z);
    dBodyAddTorque(k.body(k_frame), -t.x, -t.y, -t.z);
}

void dab_or_back_up_step(SimWorld& world, Bike& k)
{
    BikeControls& c = k.controls;
    float V = frame_speed(k);
    if (c.back_up > 0 && V < k_slow) {
        // Walk the bike backwards, one push per 128 ticks.
        int tick = world.tick;
        float w = (1 - std::cos(static_cast<float>(tick & 127) * 0.049473900056532176f)) / 2;
        int first = ((world.start_tick + 128) / 128 + 1) * 128;
        if (tick < first && ((tick >> 7) & 3) != 0)
            w = 0;
        c.sit_dab = k.knocked_off() ? 0 : 1;
        // Backwards is along the frame's +z axis.
        Vec3 back = frame_axis(k, {0, 0, 1});
        holding_force(k, Vec3{back.x, 0, back.z} * (4 * w));
        frame_motor(world, k, {0, 1, 0}, -c.steer * w * pi / 2, 2000);
        return;
    }
    if (!(k.flags & k_flag_auto_dab) || k.collision_timer > 0)
        return;
    float v_dab = dab_speed_limit(k);
    float lambda = std::fabs(lean_angle(k.body(k_frame)));
    if (V > v_dab)
        return;
    if (V > 15 && lambda < clampf((V - 15) / 15, 0, 1) * pi / 4)
        return;
    if (c.throttle != 0 && c.clutch != 0 && !(V < k_slow || lambda > pi / 16))
        return;
    c.sit_dab = k.knocked_off() ? 0 : std::max(c.sit_dab, clampf(1 - V / v_dab, 0, 1));
    if (V < k_slow && (c.throttle == 0 || c.clutch == 0) && both_wheels_down(k)) {
        c.front_brake = 1;
        c.rear_brake = 1;
        holding_force(k, {});
    }
}

namespace {
CourseDirection g_course_direction = nullptr;
}

void set_course_direction_source(CourseDirection source) { g_course_direction = source; }

bool realign_step(SimWorld& world, Bike& k)
{
    if (!(k.flags & k_flag_auto_align) || !g_course_direction || k.knocked_off())
        return false;
    if (world.tick - k.remount_tick > static_cast<int>(k_realign_seconds / k_dt))
        return false;
    if (!(frame_speed(k) < k_slow) || k.controls.back_up > 0.125f)
        return false;
    Vec3 pos = body_position(k.body(k_frame));
    Vec3 want;
    if (!g_course_direction(pos, want))
        return false;
    Vec3 f = frame_axis(k, {0, 0, -1});
    f.y = 0;
    want.y = 0;
    if (length_sq(f) < 1e-6f || length_sq(want) < 1e-6f)
        return false;
    f = normalized(f);
    want = normalized(want);
    float error = std::atan2(cross(f, want).y, dot(f, want));
    if (std::fabs(error) < 0.25f)
        return false;
    // Turn about the vertical at up to 90 degrees a second.
    frame_motor(world, k, {0, 1, 0}, clampf(2 * error, -pi / 2, pi / 2), 320 * k.total_mass);
    if (std::fabs(error) > pi / 2) {
        // Facing away: the rider takes the bike's weight off the wheels so
        // it pivots instead of scrubbing its tyres round.
        float lift = 0.5f * -k_gravity * k.total_mass;
        for (const WheelContact* w : {&k.front_contact, &k.rear_contact})
            if (w->on_ground())
                dBodyAddForce(w->body, 0, lift, 0);
    }
    return true;
}

void dab_assist_step(SimWorld& world, Bike& k)
{
    BikeControls& c = k.controls;
    if (k.knocked_off()) {
        c.dab_foot = std::min(1.0f, c.dab_foot + 8 * k_dt);
        return;
    }
    realign_step(world, k);
    if (c.sit_dab == 0)
        return;
    if (!k.front_contact.on_ground()) {
        Vec3 r = body_position(k.body(k_rider));
        if (!(sphere_terrain(world, r, k.info.rider_position.y + 1).depth > 0))
            return;
    }
    float V = frame_speed(k);
    float v_dab = dab_speed_limit(k);
    float lambda = lean_angle(k.body(k_frame));
    float al = std::fabs(lambda);
    if (V > v_dab)
        return;
    if (V > 15 && !(both_wheels_down(k) && al >= 3 * pi / 16))
        return;
    c.dab_foot = std::min(1.0f, c.dab_foot + 8 * k_dt);
    if (k.arcade || (V >= k_slow && k.collision_timer > 0))
        return;
    float rho_t = lambda >= 0 ? -pi / 8 : pi / 8;
    if ((k.flags & k_flag_auto_dab) && k.collision_timer < 0)
        rho_t *= 3;
    if (al < pi / 16)
        rho_t = al * rho_t * 16 / pi;
    float rho = roll_rate(k);
    float F = 0;
    if (rho_t > 0 && rho_t > rho)
        F = -400;
    else if (rho_t < 0 && rho_t < rho)
        F = 400;
    if (al < pi / 32)
        F = al * F * 32 / pi;
    if (c.back_up < 0.125f || V > k_slow) {
        float sigma = 1.25f * lean_range(V, v_dab, k.value(SetupValue::roll_limit_angle), 32);
        float sp = rho_t < 0 ? c.steer : -c.steer;
        float share = clampf(2 * (sp - 0.5f), 0, 1);
        float fade = clampf((al - sigma) / 0.25f, 0, 1);
        F *= fade + (1 - fade) * share;
        if (V > k_slow)
            F *= c.lock_usage;
    }
    dBodyID frame = k.body(k_frame);
    Vec3 up = frame_axis(k, {0, 1, 0});
    if (F != 0) {
        if (up.y >= 0.707f) {
            dBodyAddForceAtRelPos(frame, 0, std::fabs(F) / 8, 0, 0, 4, 0);
            dBodyAddRelForceAtRelPos(frame, F, 0, 0, 0, 4, 0);
        } else if (V < k_slow && k.rider_attached) {
            // Tipped past 45 degrees: the rider's foot lifts the bike back up,
            // the lift sharing its weight so it stands up over a second or so.
            float lift = std::fabs(F) * (0.707f - std::max(up.y, 0.0f)) / 0.707f;
            dBodyAddForceAtRelPos(frame, 0, lift, 0, 0, 4, 0);
            dBodyAddRelForceAtRelPos(frame, F, 0, 0, 0, 4, 0);
        }
    }
    if (V <= k_slow && al > pi / 8 && al < 1.0995574f && k.timed_lap)
        c.dab_mark = 1;
}

}  // namespace zv::sim
