// Putting a bike into a record's pose: the frame and rider from the record,
// the other bodies carried along with the frame.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "replay/pose.h"
#include "sim/bike.h"
#include "sim/control.h"
#include "sim/maneuver.h"
#include "sim/world.h"

namespace zv::replay {
namespace {

sim::Vec3 in_frame(const sim::Bike& bike, int body)
{
    dVector3 r;
    const dReal* p = dBodyGetPosition(bike.body(body));
    dBodyGetPosRelPoint(bike.body(sim::k_frame), p[0], p[1], p[2], r);
    return {static_cast<float>(r[0]), static_cast<float>(r[1]), static_cast<float>(r[2])};
}

void expect_near(sim::Vec3 a, sim::Vec3 b, double tol)
{
    EXPECT_NEAR(a.x, b.x, tol);
    EXPECT_NEAR(a.y, b.y, tol);
    EXPECT_NEAR(a.z, b.z, tol);
}

TEST(Pose, RecordPlacesFrameAndRiderAndCarriesTheRest)
{
    track::Terrain field = sim::make_flat_field();
    auto world = sim::create_world();
    world->terrain = &field;
    std::unique_ptr<sim::Bike> bike = sim::create_bike(*world, "450sxf(2017)", 0, "1");
    ASSERT_TRUE(bike);
    sim::place_bike(*bike, {800, 0.1f, 1200}, 1.1f);
    sim::set_setup(*bike, sim::bench_setup());
    std::vector<sim::Bike*> list{bike.get()};
    sim::RiderInput in;
    in.throttle = 0.7f;
    for (int t = 0; t < 256; ++t) {
        sim::apply_input(*bike, in);
        sim::run_tick(*world, list);
    }
    const StateRecord r = sample_state(*bike, field);
    const StateValues v = decode_state(r, record_scale(field, bike->info));

    // Somewhere else, turned another way: the record brings it back.
    sim::place_bike(*bike, {300, 20, 300}, -2.0f);
    dBodySetLinearVel(bike->body(sim::k_rear_wheel), 5, 5, 5);
    const sim::Vec3 front_rel = in_frame(*bike, sim::k_front_wheel);
    const sim::Vec3 swingarm_rel = in_frame(*bike, sim::k_swingarm);
    bike->engine_speed = 0;
    apply_record_to_bike(*bike, r, field);

    expect_near(sim::body_position(bike->body(sim::k_frame)), v.frame_position, 1e-4);
    const dReal* q = dBodyGetQuaternion(bike->body(sim::k_frame));
    const double n = std::sqrt(double(v.frame_rotation.w) * v.frame_rotation.w + double(v.frame_rotation.x) * v.frame_rotation.x +
                               double(v.frame_rotation.y) * v.frame_rotation.y + double(v.frame_rotation.z) * v.frame_rotation.z);
    EXPECT_NEAR(q[0], v.frame_rotation.w / n, 1e-6);
    EXPECT_NEAR(q[2], v.frame_rotation.y / n, 1e-6);
    expect_near(sim::body_position(bike->body(sim::k_rider)), v.frame_position + v.rider_offset, 1e-4);
    const dReal* rq = dBodyGetQuaternion(bike->body(sim::k_rider));
    EXPECT_NEAR(std::fabs(rq[0]), std::fabs(v.rider_rotation.w), 1e-4);
    // The carried bodies keep their place on the frame.
    expect_near(in_frame(*bike, sim::k_front_wheel), front_rel, 1e-4);
    expect_near(in_frame(*bike, sim::k_swingarm), swingarm_rel, 1e-4);
    for (int b = 0; b < sim::k_body_count; ++b) {
        EXPECT_EQ(sim::length(sim::body_linear_vel(bike->body(b))), 0.0f) << b;
        EXPECT_EQ(sim::length(sim::body_angular_vel(bike->body(b))), 0.0f) << b;
    }
    EXPECT_NEAR(sim::engine_rpm(*bike), v.engine_rpm, 0.01);
    EXPECT_EQ(bike->controls.gear, decode_drive(v.drive).gear);
    EXPECT_TRUE(sim::bike_is_finite(*bike));

    // A zeroed record (a damaged datagram) still leaves finite bodies.
    apply_record_to_bike(*bike, StateRecord{}, field);
    EXPECT_TRUE(sim::bike_is_finite(*bike));
}

}  // namespace
}  // namespace zv::replay
