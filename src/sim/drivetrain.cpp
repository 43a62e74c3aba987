#include "sim/drivetrain.h"

#include <cmath>

namespace zv::sim {
namespace {

constexpr float k_clutch_band_rpm = 2000;
constexpr float k_damper_limit = 500;
constexpr float k_torque_limit = 1e6f;
constexpr float k_slip_sq = 4;  // (ft/s)^2: a contact sliding faster than 2 ft/s

}  // namespace

float engine_torque(const BikeInfo& b, float engine_speed, float throttle)
{
    float u = clampf(engine_speed * k_rpm_per_rad_s * 0.002f, 0, 49);
    if (!std::isfinite(u))
        u = 0;
    int i = static_cast<int>(u);
    float f = u - static_cast<float>(i);
    int n = std::min(i + 1, 49);
    float c = b.closed_torque[static_cast<size_t>(i)] +
              f * (b.closed_torque[static_cast<size_t>(n)] - b.closed_torque[static_cast<size_t>(i)]);
    float w = b.full_torque[static_cast<size_t>(i)] +
              f * (b.full_torque[static_cast<size_t>(n)] - b.full_torque[static_cast<size_t>(i)]);
    return c + throttle * (w - c);
}

float bike_engine_torque(const Bike& k)
{
    float t = engine_torque(k.info, k.engine_speed, k.controls.throttle);
    if ((k.flags & k_flag_wheelie_cut) && t > 0 && !k.front_contact.on_ground() &&
        k.rear_contact.on_ground()) {
        Vec3 w = body_vector_from_world(k.body(k_frame), body_angular_vel(k.body(k_frame)));
        if (w.x > -0.03125f)
            t = 0;
    }
    return t;
}

int shifted_gear(const BikeInfo& b, int gear, int delta)
{
    int g = std::clamp(gear + delta, 0, 5);
    while (g > 0 && !(b.gears[static_cast<size_t>(g)] > 0))
        --g;
    return g;
}

float overall_ratio(const Bike& k)
{
    return k.info.gears[static_cast<size_t>(std::clamp(k.controls.gear, 0, 5))] * k.info.primary_ratio *
           k.sprocket_ratio;
}

float clutch_engagement(float clutch, float rpm, float n_ac)
{
    if (rpm <= n_ac + k_clutch_band_rpm)
        return std::min(clutch, clampf((rpm - n_ac) / k_clutch_band_rpm, 0, 1));
    return clutch;
}

float wrap_angle(float a)
{
    if (!std::isfinite(a))
        return 0;
    float r = std::remainder(a, 2 * k_pi);  // [-pi, pi]
    if (r <= -k_pi)
        r += 2 * k_pi;
    return r;
}

DrivelineResult driveline_update(Bike& k, float beta, float beta_rate)
{
    const BikeInfo& b = k.info;
    float N = overall_ratio(k);
    if (!(N > 0))
        N = 1;
    float delta = wrap_angle(k.ref_angle - beta);
    float rpm = k.engine_speed * k_rpm_per_rad_s;
    float clutch = k.controls.clutch;
    float e = clutch_engagement(clutch, rpm, k.value(SetupValue::auto_clutch_rpm));
    float T = b.driveline_stiffness * delta +
              clampf((k.engine_speed - N * beta_rate) * b.driveline_damping, -k_damper_limit, k_damper_limit);
    if (T < 0)
        e = clutch;
    T = clampf(T, -k_torque_limit, k_torque_limit);
    if (!std::isfinite(T))
        T = 0;
    float lim = e * k_pi / 4;
    if (delta > lim)
        k.ref_angle = beta + lim;
    else if (delta < -lim)
        k.ref_angle = beta - lim;
    float tau = e * e * T;
    float engine = bike_engine_torque(k);
    k.engine_speed += k_dt * (engine - tau / N) / b.engine_inertia;
    if (!std::isfinite(k.engine_speed))
        k.engine_speed = 0;
    k.ref_angle = wrap_angle(k.ref_angle + k_dt * k.engine_speed / N);
    return {e, T, tau};
}

void auto_shift_step(Bike& k, int tick)
{
    if (!(k.flags & k_flag_auto_shift) || (tick & 31) != 0 || k.knocked_off())
        return;
    if (!(swingarm_angle(k) < -0.01f))
        return;
    if (k.rear_contact.on_ground() && length_sq(k.rear_contact.point_velocity) > k_slip_sq)
        return;
    float rate = static_cast<float>(dJointGetHingeAngleRate(k.joint(k_rear_axle)));
    float n = overall_ratio(k) * rate * k_rpm_per_rad_s;
    if (n < k.info.downshift_rpm)
        k.controls.gear = shifted_gear(k.info, k.controls.gear, -1);
    else if (n > k.info.upshift_rpm)
        k.controls.gear = shifted_gear(k.info, k.controls.gear, +1);
}

void drivetrain_step(Bike& k, int tick)
{
    auto_shift_step(k, tick);
    dJointID axle = k.joint(k_rear_axle);
    float beta = static_cast<float>(dJointGetHingeAngle(axle));
    float rate = static_cast<float>(dJointGetHingeAngleRate(axle));
    DrivelineResult r = driveline_update(k, beta, rate);
    dBodyAddRelTorque(k.body(k_rear_wheel), -r.transmitted, 0, 0);
    dBodyAddRelTorque(k.body(k_frame), r.transmitted, 0, 0);
}

void brake_step(Bike& k)
{
    float tf = k.value(SetupValue::front_brake_torque) * k.controls.front_brake;
    if ((k.flags & k_flag_front_antilock) && k.front_contact.on_ground() &&
        length_sq(k.front_contact.point_velocity) > k_slip_sq)
        tf = 0;
    if ((k.flags & k_flag_wheelie_front) && k.front_contact.on_ground() && !k.rear_contact.on_ground())
        tf = 0;
    float tr = k.value(SetupValue::rear_brake_torque) * k.controls.rear_brake;
    if ((k.flags & k_flag_rear_antilock) && k.rear_contact.on_ground() &&
        length_sq(k.rear_contact.point_velocity) > k_slip_sq)
        tr = 0;
    dJointSetHingeParam(k.joint(k_front_axle), dParamVel, 0);
    dJointSetHingeParam(k.joint(k_front_axle), dParamFMax, std::max(0.0f, tf));
    dJointSetHingeParam(k.joint(k_rear_axle), dParamVel, 0);
    dJointSetHingeParam(k.joint(k_rear_axle), dParamFMax, std::max(0.0f, tr));
}

}  // namespace zv::sim
