// Camera keyframes and the free camera. The keyframe camera of the
// track-camera view flies along a tick-ordered list of keyframes (position,
// rotation, field of view); the console adds them from the free camera, which
// the chase view places and the "camangle" command aims.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "render/camera.h"

namespace zv::app {

// A rotation as a unit quaternion, w first.
struct Quat {
    float w = 1, x = 0, y = 0, z = 0;
};

struct CameraKeyframe {
    render::Vec3f position{};
    Quat rotation{};
    float fov = 110;
    std::int32_t tick = 0;
};

// The free camera. The chase view writes `position` every frame it draws
// (so a keyframe records where the camera is); once `aimed` by "camangle" it
// looks along yaw and pitch instead of at the bike, banked by `roll` and
// turned further by `turn` (both radians, cleared by "camangle").
struct FreeCamera {
    render::Vec3f position{};
    double yaw = 0;    // radians about world up
    double pitch = 0;  // radians, positive looks up
    double roll = 0;
    double turn = 0;
    bool aimed = false;
};

inline constexpr double k_degrees_to_radians = 0.017453292519943295;

FreeCamera& free_camera();
// "camangle": yaw and pitch in degrees; clears the other two angles.
void aim_free_camera(double yaw_degrees, double pitch_degrees);
// The aimed free camera's rotation (rows as render::Camera keeps them):
// yaw + turn about world up, then pitch, then roll about the view axis.
render::Mat3f free_camera_rows(const FreeCamera& camera);

// The rotation of yaw about world up after pitch about the camera's side:
// (cos(y/2)cos(p/2), cos(y/2)sin(p/2), sin(y/2)cos(p/2), -sin(y/2)sin(p/2)).
Quat yaw_pitch_quaternion(double yaw, double pitch);
// The rotation a then b (b applied first, in a's frame).
Quat multiply(const Quat& a, const Quat& b);
// Spherical interpolation along the shorter arc; t = 0 gives a, 1 gives b.
Quat slerp(const Quat& a, const Quat& b, double t);
// The camera's axes as rows (x right, y up, z backward), as render::Camera
// keeps them, for the rotation that takes camera axes to world axes.
render::Mat3f quaternion_rows(const Quat& q);

// ---- the keyframe list, kept in tick order ----

const std::vector<CameraKeyframe>& camera_keyframes();
// Inserts before the first keyframe with a later tick (after equal ones).
void add_keyframe(const CameraKeyframe& key);
// "addkey": a keyframe from the free camera's position and aim.
void add_keyframe_from_free_camera(float fov, std::int32_t tick);
// The keyframe "deletekey" removes at this tick: the first when none lies at
// or before it, the last when none lies after it, else the nearer of the two
// around it (the earlier one on a tie). -1 with fewer than two keyframes
// (then all go).
int keyframe_to_delete(std::int32_t tick);
void delete_keyframe(std::int32_t tick);
void clear_keyframes();
// "listkeys": one line per keyframe.
std::vector<std::string> keyframe_lines();

// The keyframe camera of the track-camera view ("togglekeycam").
bool keyframe_camera_on();
void set_keyframe_camera(bool on);

struct CameraPose {
    render::Vec3f position{};
    Quat rotation{};
    float fov = 110;
};
// The pose at a (fractional) tick: position and field of view interpolated
// linearly and rotation spherically between the keyframes around it; held at
// the first before it and at the last after it. None without keyframes.
std::optional<CameraPose> keyframe_camera_pose(double tick);
// The pose as a camera for the renderer (no velocity).
render::Camera pose_camera(const CameraPose& pose);

}  // namespace zv::app
