// Projection and camera placement. The projection keeps the vertical view
// angle of a 4:3 screen on wider ones; cameras are a position and a 3 x 3
// rotation whose rows are the camera's axes (x right, y up, z backward) in
// world coordinates.
#pragma once

#include <array>
#include <string>

namespace zv::render {

using Vec3f = std::array<float, 3>;
using Mat3f = std::array<float, 9>;  // row-major

struct Projection {
    int width = 1, height = 1;
    float fov = 110;
    float near_plane = 0.25f, far_plane = 5000;
    float half_h = 1, half_v = 0.75f;  // half-extents at unit distance
};

// The frustum numbers for a viewport, field of view and planes.
Projection compute_projection(int width, int height, float fov, float near_plane, float far_plane);
// Sets the viewport and the frustum (GL) and keeps the state.
void set_projection(int width, int height, float fov);
// The clipping planes the next set_projection uses (the track's lighting).
void set_clip_planes(float near_plane, float far_plane);
const Projection& projection();

struct Camera {
    Vec3f position{};
    Mat3f rotation{1, 0, 0, 0, 1, 0, 0, 0, 1};
    Vec3f velocity{};
};

// Look-at camera: backward axis from the target to the eye, side axis
// perpendicular to it and world up, up axis completing the frame. A view
// straight up or down keeps world x as its side.
Camera look_at(const Vec3f& from, const Vec3f& to);

// The rider camera from the rider body's pose: `body_rotation` is the body's
// row-major rotation (world = R * local); the eye lies between the low and
// high head points at `height_fraction`; the view tilts down by
// `angle_degrees` about the camera's x axis.
Camera rider_camera_pose(const Vec3f& body_position, const Mat3f& body_rotation, const Vec3f& body_velocity,
                         const Vec3f& low_head, const Vec3f& high_head, float height_fraction,
                         float angle_degrees);
// The "--print-orientation" line.
std::string orientation_line(double race_time, const Camera& camera);

// Where a world point lands: screen x, y (pixels, origin bottom left),
// window depth 0..1; `visible` false behind the camera or outside the view.
struct ScreenPoint {
    float x = 0, y = 0, depth = 0;
    bool visible = false;
};
ScreenPoint project_point(const Projection& p, const Camera& camera, const Vec3f& point);
// The same for a direction (a point at infinity).
ScreenPoint project_direction(const Projection& p, const Camera& camera, const Vec3f& direction);

// The model-view matrix (column-major) of a camera rotation.
std::array<float, 16> rotation_matrix_gl(const Mat3f& rotation);

}  // namespace zv::render
