// A rider replayed from the history cuts the ground from contacts made again
// from its pose: a wheel pressed into flat ground and sliding along x is
// pushed up by the tyre's spring and held back by its grip, at most mu times
// the push; a wheel in the air pushes nothing; the bike's own contact
// records are left as they were.
#include "race/ground_effects.h"

#include "mini_race_fixture.h"
#include "sim/bike.h"
#include "sim/tyre.h"
#include "sim/world.h"

#include <gtest/gtest.h>

#include <cmath>
#include <utility>

namespace zv::race {
namespace {

class ReplayedWheels : public test::MiniRace {};

void shift_bike(sim::Bike& bike, float dy, float vx)
{
    for (int b = 0; b < sim::k_body_count; ++b) {
        const dReal* p = dBodyGetPosition(bike.body(b));
        dBodySetPosition(bike.body(b), p[0], p[1] + dy, p[2]);
        dBodySetLinearVel(bike.body(b), vx, 0, 0);
        dBodySetAngularVel(bike.body(b), 0, 0, 0);
    }
}

TEST_F(ReplayedWheels, PushAndGripComeFromThePose)
{
    GateKinds kinds{};
    kinds[0] = k_gate_robot;
    ASSERT_TRUE(load_session(request(&kinds)));
    sim::Bike* bike = rider_slot(0).bike.get();
    sim::SimWorld* world = physics_world();
    ASSERT_TRUE(bike && world);

    // High in the air: no contact, no push.
    shift_bike(*bike, 20, 0);
    track::RiderWheels air = replayed_rider_wheels(*world, *bike);
    EXPECT_LE(air.front.depth, 0);
    EXPECT_LE(air.rear.depth, 0);

    // Pressed into the ground and sliding along +x at 10 ft/s.
    const float kept_depth = bike->rear_contact.depth;
    shift_bike(*bike, -20.3f, 10);
    track::RiderWheels w = replayed_rider_wheels(*world, *bike);
    EXPECT_EQ(bike->rear_contact.depth, kept_depth) << "the bike's own record stays";
    for (const track::WheelFacts* f : {&w.front, &w.rear}) {
        ASSERT_GT(f->depth, 0);
        EXPECT_NEAR(f->contact_normal.y, 1, 1e-4f);
        // Grip against the slide: backwards along x, none across it.
        EXPECT_LT(f->force_x, 0);
        EXPECT_NEAR(f->force_z, 0, 1e-3f * std::fabs(f->force_x));
    }
    // Sliding at 10 ft/s is full grip: mu (the tile's 1) times the push, the
    // tyre's spring at that depth (nothing moves along the normal).
    for (const auto& [facts, contact] : {std::pair{&w.front, &bike->front_contact}, std::pair{&w.rear, &bike->rear_contact}}) {
        const sim::TyreSpring spring = sim::tyre_spring(facts->depth, contact->section_radius);
        EXPECT_NEAR(-facts->force_x, spring.k * facts->depth, 1e-3f * spring.k * facts->depth);
    }
    // A wheel sinking deeper is pushed harder.
    const float shallow = std::fabs(w.rear.force_x);
    shift_bike(*bike, -0.1f, 10);
    track::RiderWheels deeper = replayed_rider_wheels(*world, *bike);
    EXPECT_GT(deeper.rear.depth, w.rear.depth);
    EXPECT_GT(std::fabs(deeper.rear.force_x), shallow);
}

}  // namespace
}  // namespace zv::race
