// Units, axes and the small float vector the bike simulation works in.
// Everything is foot-slug-second: feet, slugs, seconds, pounds-force,
// radians. World y is up; a bike's own z axis points to its rear.
#pragma once

#include <algorithm>
#include <cmath>

#include <ode/ode.h>

namespace zv::sim {

constexpr float k_dt = 1.0f / 128.0f;           // one tick
constexpr float k_gravity = -32.0f;             // ft/s^2 along y
constexpr float k_pi = 3.14159265358979323846f;
constexpr float k_rpm_per_rad_s = 9.549296f;    // 60 / 2 pi
constexpr float k_ft_s_per_mph = 1.4666666666666666f;
constexpr float k_mm_per_ft = 304.8f;
constexpr float k_kg_mm_per_lbf_ft = 0.0014881639448175144f;

struct Vec3 {
    float x = 0, y = 0, z = 0;
};

inline Vec3 operator+(Vec3 a, Vec3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline Vec3 operator-(Vec3 a, Vec3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline Vec3 operator-(Vec3 a) { return {-a.x, -a.y, -a.z}; }
inline Vec3 operator*(Vec3 a, float s) { return {a.x * s, a.y * s, a.z * s}; }
inline Vec3 operator*(float s, Vec3 a) { return {a.x * s, a.y * s, a.z * s}; }
inline Vec3& operator+=(Vec3& a, Vec3 b) { a = a + b; return a; }
inline Vec3& operator-=(Vec3& a, Vec3 b) { a = a - b; return a; }
inline Vec3& operator*=(Vec3& a, float s) { a = a * s; return a; }

inline float dot(Vec3 a, Vec3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline Vec3 cross(Vec3 a, Vec3 b)
{
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
inline float length_sq(Vec3 a) { return dot(a, a); }
inline float length(Vec3 a) { return std::sqrt(dot(a, a)); }
// Scales by 1/sqrt of the squared length; the zero vector stays zero.
inline Vec3 normalized(Vec3 a)
{
    float l2 = dot(a, a);
    if (!(l2 > 0.0f))
        return {};
    return a * (1.0f / std::sqrt(l2));
}
inline bool is_finite(Vec3 a) { return std::isfinite(a.x) && std::isfinite(a.y) && std::isfinite(a.z); }

inline float clampf(float v, float lo, float hi) { return std::min(std::max(v, lo), hi); }
// Moves v toward 0 by step without passing it.
inline float toward_zero(float v, float step)
{
    if (v > step)
        return v - step;
    if (v < -step)
        return v + step;
    return 0.0f;
}

// ODE keeps doubles; the program's own state is float.
inline Vec3 to_vec(const dReal* v)
{
    return {static_cast<float>(v[0]), static_cast<float>(v[1]), static_cast<float>(v[2])};
}

// Body-relative direction or point to world, and back, through ODE.
Vec3 body_vector_to_world(dBodyID body, Vec3 v);
Vec3 body_vector_from_world(dBodyID body, Vec3 v);
Vec3 body_point_to_world(dBodyID body, Vec3 p);
Vec3 body_point_vel(dBodyID body, Vec3 world_point);
Vec3 body_rel_point_vel(dBodyID body, Vec3 rel_point);
Vec3 body_position(dBodyID body);
Vec3 body_linear_vel(dBodyID body);
Vec3 body_angular_vel(dBodyID body);

// Lean (roll) angle of a body whose forward axis is its -z: 0 upright,
// signed by the side it leans to.
float lean_angle(dBodyID frame);

}  // namespace zv::sim
