#include "sim/vec.h"

namespace zv::sim {

Vec3 body_vector_to_world(dBodyID body, Vec3 v)
{
    dVector3 r;
    dBodyVectorToWorld(body, v.x, v.y, v.z, r);
    return to_vec(r);
}

Vec3 body_vector_from_world(dBodyID body, Vec3 v)
{
    dVector3 r;
    dBodyVectorFromWorld(body, v.x, v.y, v.z, r);
    return to_vec(r);
}

Vec3 body_point_to_world(dBodyID body, Vec3 p)
{
    dVector3 r;
    dBodyGetRelPointPos(body, p.x, p.y, p.z, r);
    return to_vec(r);
}

Vec3 body_point_vel(dBodyID body, Vec3 world_point)
{
    dVector3 r;
    dBodyGetPointVel(body, world_point.x, world_point.y, world_point.z, r);
    return to_vec(r);
}

Vec3 body_rel_point_vel(dBodyID body, Vec3 rel_point)
{
    dVector3 r;
    dBodyGetRelPointVel(body, rel_point.x, rel_point.y, rel_point.z, r);
    return to_vec(r);
}

Vec3 body_position(dBodyID body) { return to_vec(dBodyGetPosition(body)); }
Vec3 body_linear_vel(dBodyID body) { return to_vec(dBodyGetLinearVel(body)); }
Vec3 body_angular_vel(dBodyID body) { return to_vec(dBodyGetAngularVel(body)); }

float lean_angle(dBodyID frame)
{
    Vec3 origin = body_position(frame);
    Vec3 u = body_point_to_world(frame, {0, 1, 0}) - origin;
    Vec3 f = body_point_to_world(frame, {0, 0, -1}) - origin;
    float h = std::sqrt(f.x * f.x + f.z * f.z);
    float fx = 0, fz = 0;
    if (h > 0) {
        fx = f.x / h;
        fz = f.z / h;
    }
    float o = clampf(u.z * fx - u.x * fz, -1.0f, 1.0f);
    return std::acos(o) - k_pi / 2;
}

}  // namespace zv::sim
