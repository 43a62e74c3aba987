#include "app/camera_keys.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "app/main_loop.h"

namespace zv::app {

namespace {

FreeCamera g_free_camera;
std::vector<CameraKeyframe> g_keys;
bool g_keyframe_camera = false;

float lerp(float a, float b, double t)
{
    return static_cast<float>(a + (static_cast<double>(b) - a) * t);
}

// A value for the list: negative zero (a quaternion part of an unpitched
// camera) prints as 0.00, not -0.00.
double shown(float v)
{
    return static_cast<double>(v) + 0.0;
}

}  // namespace

FreeCamera& free_camera() { return g_free_camera; }

void aim_free_camera(double yaw_degrees, double pitch_degrees)
{
    g_free_camera.yaw = yaw_degrees * k_degrees_to_radians;
    g_free_camera.pitch = pitch_degrees * k_degrees_to_radians;
    g_free_camera.roll = 0;
    g_free_camera.turn = 0;
    g_free_camera.aimed = true;
}

Quat yaw_pitch_quaternion(double yaw, double pitch)
{
    const double cy = std::cos(yaw / 2), sy = std::sin(yaw / 2);
    const double cp = std::cos(pitch / 2), sp = std::sin(pitch / 2);
    return {static_cast<float>(cy * cp), static_cast<float>(cy * sp), static_cast<float>(sy * cp),
            static_cast<float>(-sy * sp)};
}

Quat multiply(const Quat& a, const Quat& b)
{
    return {a.w * b.w - a.x * b.x - a.y * b.y - a.z * b.z, a.w * b.x + a.x * b.w + a.y * b.z - a.z * b.y,
            a.w * b.y - a.x * b.z + a.y * b.w + a.z * b.x, a.w * b.z + a.x * b.y - a.y * b.x + a.z * b.w};
}

render::Mat3f free_camera_rows(const FreeCamera& camera)
{
    const Quat aim = yaw_pitch_quaternion(camera.yaw + camera.turn, camera.pitch);
    const Quat roll{static_cast<float>(std::cos(camera.roll / 2)), 0, 0, static_cast<float>(std::sin(camera.roll / 2))};
    return quaternion_rows(multiply(aim, roll));
}

Quat slerp(const Quat& a, const Quat& b, double t)
{
    double bw = b.w, bx = b.x, by = b.y, bz = b.z;
    double dot = a.w * bw + a.x * bx + a.y * by + a.z * bz;
    if (dot < 0) {  // q and -q are the same rotation: take the shorter way
        dot = -dot;
        bw = -bw, bx = -bx, by = -by, bz = -bz;
    }
    double ka, kb;
    if (dot > 0.9995) {
        // Nearly equal: the sine below would divide by almost nothing.
        ka = 1 - t;
        kb = t;
    } else {
        const double angle = std::acos(std::min(dot, 1.0));
        const double s = std::sin(angle);
        ka = std::sin((1 - t) * angle) / s;
        kb = std::sin(t * angle) / s;
    }
    double w = ka * a.w + kb * bw, x = ka * a.x + kb * bx;
    double y = ka * a.y + kb * by, z = ka * a.z + kb * bz;
    const double n = std::sqrt(w * w + x * x + y * y + z * z);
    if (n > 0)
        w /= n, x /= n, y /= n, z /= n;
    return {static_cast<float>(w), static_cast<float>(x), static_cast<float>(y), static_cast<float>(z)};
}

render::Mat3f quaternion_rows(const Quat& q)
{
    const float w = q.w, x = q.x, y = q.y, z = q.z;
    // Columns of the rotation matrix are the camera's axes in the world;
    // the renderer keeps them as rows.
    return {1 - 2 * (y * y + z * z), 2 * (x * y + w * z),     2 * (x * z - w * y),
            2 * (x * y - w * z),     1 - 2 * (x * x + z * z), 2 * (y * z + w * x),
            2 * (x * z + w * y),     2 * (y * z - w * x),     1 - 2 * (x * x + y * y)};
}

const std::vector<CameraKeyframe>& camera_keyframes() { return g_keys; }

void add_keyframe(const CameraKeyframe& key)
{
    auto later = std::upper_bound(g_keys.begin(), g_keys.end(), key.tick,
                                  [](std::int32_t t, const CameraKeyframe& k) { return t < k.tick; });
    g_keys.insert(later, key);
}

void add_keyframe_from_free_camera(float fov, std::int32_t tick)
{
    const FreeCamera& c = g_free_camera;
    add_keyframe({c.position, yaw_pitch_quaternion(c.yaw, c.pitch), fov, tick});
}

int keyframe_to_delete(std::int32_t tick)
{
    const int n = static_cast<int>(g_keys.size());
    if (n < 2)
        return -1;
    // The first keyframe after the tick; the one before it lies at or before.
    int after = 0;
    while (after < n && g_keys[static_cast<std::size_t>(after)].tick <= tick)
        ++after;
    if (after == 0)
        return 0;
    if (after == n)
        return n - 1;
    const std::int64_t back = static_cast<std::int64_t>(tick) - g_keys[static_cast<std::size_t>(after - 1)].tick;
    const std::int64_t ahead = static_cast<std::int64_t>(g_keys[static_cast<std::size_t>(after)].tick) - tick;
    return back <= ahead ? after - 1 : after;
}

void delete_keyframe(std::int32_t tick)
{
    const int index = keyframe_to_delete(tick);
    if (index < 0)
        g_keys.clear();
    else
        g_keys.erase(g_keys.begin() + index);
}

void clear_keyframes() { g_keys.clear(); }

std::vector<std::string> keyframe_lines()
{
    std::vector<std::string> lines;
    for (const CameraKeyframe& k : g_keys) {
        char text[256];
        std::snprintf(text, sizeof text,
                      "pos = { %.2f, %.2f, %.2f }, rot = { %.2f, %.2f, %.2f, %.2f }, time = %.2f",
                      shown(k.position[0]), shown(k.position[1]), shown(k.position[2]), shown(k.rotation.w),
                      shown(k.rotation.x), shown(k.rotation.y), shown(k.rotation.z), k.tick * k_tick);
        lines.emplace_back(text);
    }
    return lines;
}

bool keyframe_camera_on() { return g_keyframe_camera; }
void set_keyframe_camera(bool on) { g_keyframe_camera = on; }

std::optional<CameraPose> keyframe_camera_pose(double tick)
{
    if (g_keys.empty() || std::isnan(tick))
        return std::nullopt;
    const CameraKeyframe& first = g_keys.front();
    const CameraKeyframe& last = g_keys.back();
    if (tick <= first.tick)
        return CameraPose{first.position, first.rotation, first.fov};
    if (tick >= last.tick)
        return CameraPose{last.position, last.rotation, last.fov};
    // first.tick < tick < last.tick: a later keyframe exists, and the one
    // before it has a smaller tick, so the span is never empty.
    auto b = std::upper_bound(g_keys.begin(), g_keys.end(), tick,
                              [](double t, const CameraKeyframe& k) { return t < k.tick; });
    const CameraKeyframe& kb = *b;
    const CameraKeyframe& ka = *(b - 1);
    const double t = (tick - ka.tick) / (static_cast<double>(kb.tick) - ka.tick);
    CameraPose pose;
    for (int i = 0; i < 3; ++i)
        pose.position[static_cast<std::size_t>(i)] =
            lerp(ka.position[static_cast<std::size_t>(i)], kb.position[static_cast<std::size_t>(i)], t);
    pose.rotation = slerp(ka.rotation, kb.rotation, t);
    pose.fov = lerp(ka.fov, kb.fov, t);
    return pose;
}

render::Camera pose_camera(const CameraPose& pose)
{
    render::Camera c;
    c.position = pose.position;
    c.rotation = quaternion_rows(pose.rotation);
    return c;
}

}  // namespace zv::app
