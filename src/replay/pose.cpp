#include "replay/pose.h"

#include <array>
#include <algorithm>
#include <cmath>

#include "sim/bike.h"
#include "track/terrain.h"

namespace zv::replay {

namespace {

// A decoded quaternion made unit length (identity when it cannot be).
void to_unit(const Quat& q, dQuaternion out)
{
    double n2 = static_cast<double>(q.w) * q.w + static_cast<double>(q.x) * q.x +
                static_cast<double>(q.y) * q.y + static_cast<double>(q.z) * q.z;
    if (!(n2 > 1e-12)) {
        out[0] = 1;
        out[1] = out[2] = out[3] = 0;
        return;
    }
    double inv = 1.0 / std::sqrt(n2);
    out[0] = q.w * inv;
    out[1] = q.x * inv;
    out[2] = q.y * inv;
    out[3] = q.z * inv;
}

void rest(dBodyID b)
{
    dBodySetLinearVel(b, 0, 0, 0);
    dBodySetAngularVel(b, 0, 0, 0);
}

constexpr std::array<int, 4> k_carried = {sim::k_front_wheel, sim::k_rear_wheel, sim::k_fork_upper,
                                          sim::k_fork_lower};

}  // namespace

void apply_record_to_bike(sim::Bike& bike, const StateRecord& record, const track::Terrain& terrain)
{
    const RecordScale scale = record_scale(terrain, bike.info);
    dBodyID frame = bike.body(sim::k_frame);

    // Where the carried bodies sit in the frame's own coordinates.
    struct Relative {
        dVector3 position;
        dQuaternion rotation;
    };
    std::array<Relative, k_carried.size() + 1> rel{};
    auto carried = [&](std::size_t k) { return k < k_carried.size() ? k_carried[k] : int{sim::k_swingarm}; };
    for (std::size_t k = 0; k < rel.size(); ++k) {
        dBodyID b = bike.body(carried(k));
        const dReal* p = dBodyGetPosition(b);
        dBodyGetPosRelPoint(frame, p[0], p[1], p[2], rel[k].position);
        dQMultiply1(rel[k].rotation, dBodyGetQuaternion(frame), dBodyGetQuaternion(b));
    }

    const sim::Vec3 fp = record_frame_position(record, scale);
    dQuaternion fq;
    to_unit(record_frame_rotation(record), fq);
    dBodySetPosition(frame, fp.x, fp.y, fp.z);
    dBodySetQuaternion(frame, fq);
    rest(frame);

    for (std::size_t k = 0; k < rel.size(); ++k) {
        dBodyID b = bike.body(carried(k));
        dVector3 p;
        dBodyGetRelPointPos(frame, rel[k].position[0], rel[k].position[1], rel[k].position[2], p);
        dQuaternion q;
        dQMultiply0(q, fq, rel[k].rotation);
        dBodySetPosition(b, p[0], p[1], p[2]);
        dBodySetQuaternion(b, q);
        rest(b);
    }

    dBodyID rider = bike.body(sim::k_rider);
    const sim::Vec3 rp = fp + record_rider_offset(record);
    dQuaternion rq;
    to_unit(record_rider_rotation(record), rq);
    dBodySetPosition(rider, rp.x, rp.y, rp.z);
    dBodySetQuaternion(rider, rq);
    rest(rider);

    bike.engine_speed = record_engine_rpm(record) / sim::k_rpm_per_rad_s;
    const DriveState d = decode_drive(record.bytes[k_at_drive]);
    if (!d.crashed()) {
        bike.controls.gear = std::min(d.gear, 5);
        bike.controls.throttle = static_cast<float>(d.throttle) / 15.0f;
    }
}

}  // namespace zv::replay
