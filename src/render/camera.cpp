#include "render/camera.h"

#include <cmath>
#include <cstdio>

#include "render/gl.h"

namespace zv::render {

namespace {

Projection g_projection;
float g_near = 0.25f, g_far = 5000.0f;

Vec3f cross(const Vec3f& a, const Vec3f& b)
{
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}
float dot(const Vec3f& a, const Vec3f& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }
Vec3f normalised(const Vec3f& v)
{
    float len = std::sqrt(dot(v, v));
    if (!(len > 0))
        return {0, 0, 0};
    return {v[0] / len, v[1] / len, v[2] / len};
}

}  // namespace

Projection compute_projection(int width, int height, float fov, float near_plane, float far_plane)
{
    Projection p;
    p.width = width > 0 ? width : 1;
    p.height = height > 0 ? height : 1;
    p.fov = fov;
    p.near_plane = near_plane;
    p.far_plane = far_plane;
    double half_angle = fov * 3.14159265358979323846 / 360.0;
    double aspect = static_cast<double>(p.width) / p.height;
    if (aspect > 4.0 / 3.0) {
        p.half_v = static_cast<float>(std::tan(half_angle) * 0.75);
        p.half_h = static_cast<float>(p.half_v * aspect);
    } else {
        p.half_h = static_cast<float>(std::tan(half_angle));
        p.half_v = static_cast<float>(p.half_h / aspect);
    }
    return p;
}

void set_clip_planes(float near_plane, float far_plane)
{
    g_near = near_plane;
    g_far = far_plane;
}

void set_projection(int width, int height, float fov)
{
    g_projection = compute_projection(width, height, fov, g_near, g_far);
    const Projection& p = g_projection;
    glViewport(0, 0, p.width, p.height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glFrustum(-p.half_h * p.near_plane, p.half_h * p.near_plane, -p.half_v * p.near_plane,
              p.half_v * p.near_plane, p.near_plane, p.far_plane);
    glMatrixMode(GL_MODELVIEW);
}

const Projection& projection() { return g_projection; }

Camera look_at(const Vec3f& from, const Vec3f& to)
{
    Camera c;
    c.position = from;
    Vec3f back = normalised({from[0] - to[0], from[1] - to[1], from[2] - to[2]});
    if (back == Vec3f{0, 0, 0})
        back = {0, 0, 1};
    Vec3f side = normalised(cross({0, 1, 0}, back));
    if (side == Vec3f{0, 0, 0})
        side = {1, 0, 0};
    Vec3f up = cross(back, side);
    c.rotation = {side[0], side[1], side[2], up[0], up[1], up[2], back[0], back[1], back[2]};
    return c;
}

Camera rider_camera_pose(const Vec3f& pos, const Mat3f& r, const Vec3f& vel, const Vec3f& low, const Vec3f& high,
                         float fraction, float angle_degrees)
{
    Camera c;
    Vec3f local = {low[0] + (high[0] - low[0]) * fraction, low[1] + (high[1] - low[1]) * fraction,
                   low[2] + (high[2] - low[2]) * fraction};
    for (int i = 0; i < 3; ++i)
        c.position[static_cast<std::size_t>(i)] =
            pos[static_cast<std::size_t>(i)] + r[static_cast<std::size_t>(3 * i)] * local[0] +
            r[static_cast<std::size_t>(3 * i + 1)] * local[1] + r[static_cast<std::size_t>(3 * i + 2)] * local[2];
    // The body's axes in world coordinates are the columns of R.
    Vec3f x = {r[0], r[3], r[6]}, y = {r[1], r[4], r[7]}, z = {r[2], r[5], r[8]};
    double a = angle_degrees * 3.14159265358979323846 / 180.0;
    float ca = static_cast<float>(std::cos(a)), sa = static_cast<float>(std::sin(a));
    Vec3f y2, z2;
    for (std::size_t i = 0; i < 3; ++i) {
        y2[i] = ca * y[i] - sa * z[i];
        z2[i] = ca * z[i] + sa * y[i];
    }
    c.rotation = {x[0], x[1], x[2], y2[0], y2[1], y2[2], z2[0], z2[1], z2[2]};
    c.velocity = vel;
    return c;
}

std::string orientation_line(double t, const Camera& c)
{
    char buf[512];
    std::snprintf(buf, sizeof buf, "t=%f p0=%f p1=%f p2=%f x0=%f x1=%f x2=%f z0=%f z1=%f z2=%f\n", t,
                  static_cast<double>(c.position[0]), static_cast<double>(c.position[1]),
                  static_cast<double>(c.position[2]), static_cast<double>(c.rotation[0]),
                  static_cast<double>(c.rotation[1]), static_cast<double>(c.rotation[2]),
                  static_cast<double>(c.rotation[6]), static_cast<double>(c.rotation[7]),
                  static_cast<double>(c.rotation[8]));
    return buf;
}

namespace {

ScreenPoint to_screen(const Projection& p, float ex, float ey, float ez, bool infinite)
{
    ScreenPoint s;
    float dist = -ez;  // distance in front of the camera
    if (!(dist > 0))
        return s;
    float nx = ex / (dist * p.half_h), ny = ey / (dist * p.half_v);
    s.x = (nx + 1) * 0.5f * static_cast<float>(p.width);
    s.y = (ny + 1) * 0.5f * static_cast<float>(p.height);
    if (infinite) {
        s.depth = 1;
    } else {
        float n = p.near_plane, f = p.far_plane;
        float zndc = (f + n) / (f - n) - 2 * f * n / ((f - n) * dist);
        s.depth = zndc * 0.5f + 0.5f;
    }
    s.visible = nx >= -1 && nx <= 1 && ny >= -1 && ny <= 1 && (infinite || (dist >= p.near_plane && dist <= p.far_plane));
    return s;
}

}  // namespace

ScreenPoint project_point(const Projection& p, const Camera& c, const Vec3f& point)
{
    Vec3f d = {point[0] - c.position[0], point[1] - c.position[1], point[2] - c.position[2]};
    const Mat3f& r = c.rotation;
    return to_screen(p, r[0] * d[0] + r[1] * d[1] + r[2] * d[2], r[3] * d[0] + r[4] * d[1] + r[5] * d[2],
                     r[6] * d[0] + r[7] * d[1] + r[8] * d[2], false);
}

ScreenPoint project_direction(const Projection& p, const Camera& c, const Vec3f& d)
{
    const Mat3f& r = c.rotation;
    return to_screen(p, r[0] * d[0] + r[1] * d[1] + r[2] * d[2], r[3] * d[0] + r[4] * d[1] + r[5] * d[2],
                     r[6] * d[0] + r[7] * d[1] + r[8] * d[2], true);
}

std::array<float, 16> rotation_matrix_gl(const Mat3f& r)
{
    return {r[0], r[3], r[6], 0, r[1], r[4], r[7], 0, r[2], r[5], r[8], 0, 0, 0, 0, 1};
}

}  // namespace zv::render
