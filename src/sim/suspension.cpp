#include "sim/suspension.h"

#include <cmath>

namespace zv::sim {
namespace {

constexpr float k_air_scale = 82.46169f;  // lbf
constexpr float k_air_exponent = 1.4f;
constexpr float k_motor_speed = 100;      // ft/s or rad/s: "push out"

float lerp(float a, float b, float t) { return a + t * (b - a); }

}  // namespace

float damper_force(float v, float c_c, float l_c, float c_r, float l_r)
{
    if (v < 0) {
        float b = -v * c_c;
        return clampf(b + l_c, b / 8, 8 * b);
    }
    float b = -v * c_r;  // <= 0
    return clampf(b - l_r, 8 * b, b / 8);
}

float air_spring_force(float x, float travel, float gap)
{
    x = clampf(x, 0, travel);
    float L = travel + gap;
    if (!(L - x > 1e-6f))
        return 1e6f;  // no air gap left: as stiff as it gets
    return k_air_scale * (std::pow(L / (L - x), k_air_exponent) - 1);
}

LinkagePoint linkage_curve(const BikeInfo& b, float x)
{
    x = clampf(x, 0, 1);
    float start, end, len, t, a, s;
    float xk = b.link_knee_fraction;
    if (x <= xk) {
        start = 0, end = b.link_knee_compression, len = xk;
        t = len > 0 ? x / len : 0;
        a = b.link_slope_start * xk;
        s = b.link_slope_knee * xk;
    } else {
        start = b.link_knee_compression, end = b.link_full_compression, len = 1 - xk;
        t = (x - xk) / len;
        a = b.link_slope_knee * (1 - xk);
        s = b.link_slope_full * (1 - xk);
    }
    float c2 = 3 * (end - start) - 2 * a - s;
    float c3 = 2 * (start - end) + a + s;
    LinkagePoint p;
    p.compression = start + a * t + c2 * t * t + c3 * t * t * t;
    p.slope = len > 0 ? (a + 2 * c2 * t + 3 * c3 * t * t) / len : 0;
    return p;
}

ForkValues fork_values(const Bike& k)
{
    const BikeInfo& b = k.info;
    using V = SetupValue;
    ForkValues f;
    f.spring = lerp(b.fork_spring_min, b.fork_spring_max, k.value(V::fork_spring_rate));
    f.preload = lerp(b.fork_preload_min, b.fork_preload_max, k.value(V::fork_preload));
    f.gap = lerp(b.fork_oil_min, b.fork_oil_max, k.value(V::fork_oil_level));
    f.c_c = k.value(V::fork_compression) * b.fork_hs_compression;
    f.l_c = k.value(V::fork_slow_compression) * b.fork_ls_compression;
    f.c_r = k.value(V::fork_rebound) * b.fork_hs_rebound;
    f.l_r = k.value(V::fork_slow_rebound) * b.fork_ls_rebound;
    return f;
}

ForkValues shock_values(const Bike& k)
{
    const BikeInfo& b = k.info;
    using V = SetupValue;
    ForkValues f;
    f.spring = lerp(b.shock_spring_min, b.shock_spring_max, k.value(V::shock_spring_rate));
    f.preload = lerp(b.shock_preload_min, b.shock_preload_max, k.value(V::shock_preload));
    f.gap = 0;
    f.c_c = k.value(V::shock_compression) * b.shock_hs_compression;
    f.l_c = k.value(V::shock_slow_compression) * b.shock_ls_compression;
    f.c_r = k.value(V::shock_rebound) * b.shock_hs_rebound;
    f.l_r = k.value(V::shock_slow_rebound) * b.shock_ls_rebound;
    return f;
}

float fork_force(const Bike& k, float q, float q_rate)
{
    ForkValues f = fork_values(k);
    float travel = k.info.fork_travel;
    float damper = damper_force(q_rate, f.c_c, f.l_c, f.c_r, f.l_r);
    float coil = f.spring * (f.preload - q);
    float x = clampf(-q, 0, travel);
    float air = air_spring_force(x, travel, f.gap);
    float F = damper + coil + air;
    return F * clampf(32 * x / travel, 0, 1);
}

float shock_torque(const Bike& k, float theta, float theta_rate)
{
    ForkValues f = shock_values(k);
    float x = k.info.swingarm_travel > 0 ? clampf(-theta / k.info.swingarm_travel, 0, 1) : 0;
    LinkagePoint p = linkage_curve(k.info, x);
    float v = theta_rate * p.slope;
    float damper = damper_force(v, f.c_c, f.l_c, f.c_r, f.l_r);
    float spring = f.spring * (p.compression + f.preload);
    return p.slope * (damper + spring) * clampf(32 * x, 0, 1);
}

void suspension_step(Bike& k)
{
    dJointID fork = k.joint(k_fork_slider);
    float q = static_cast<float>(dJointGetSliderPosition(fork));
    float qr = static_cast<float>(dJointGetSliderPositionRate(fork));
    float F = fork_force(k, q, qr);
    if (!std::isfinite(F))
        F = 0;
    dJointSetSliderParam(fork, dParamFMax, std::fabs(F));
    dJointSetSliderParam(fork, dParamVel, F >= 0 ? k_motor_speed : 0);

    dJointID pivot = k.joint(k_swingarm_pivot);
    float th = static_cast<float>(dJointGetHingeAngle(pivot));
    float thr = static_cast<float>(dJointGetHingeAngleRate(pivot));
    float T = shock_torque(k, th, thr);
    if (!std::isfinite(T))
        T = 0;
    dJointSetHingeParam(pivot, dParamFMax, std::fabs(T));
    dJointSetHingeParam(pivot, dParamVel, T >= 0 ? k_motor_speed : 0);
}

}  // namespace zv::sim
