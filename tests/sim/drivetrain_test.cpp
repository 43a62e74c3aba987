// Engine torque curves, clutch, driveline slip, gearbox and brakes.
#include <gtest/gtest.h>

#include <cmath>
#include <tuple>
#include <utility>

#include "sim/bike.h"
#include "sim/drivetrain.h"
#include "sim/world.h"
#include "support/expect_rows.h"

namespace zv::sim {
namespace {

constexpr float rpm = 1 / k_rpm_per_rad_s;  // rad/s per rpm

TEST(Engine, TorqueInterpolatesBothCurves)
{
    const BikeInfo& b = *find_bike_info("450sxf(2017)");
    // 7250 rpm lies halfway between entries 14 and 15.
    EXPECT_NEAR(engine_torque(b, 7250 * rpm, 1), (33.61f + 33.96f) / 2, 1e-3);
    EXPECT_NEAR(engine_torque(b, 7250 * rpm, 0), -11.5f, 1e-3);
    EXPECT_NEAR(engine_torque(b, 7250 * rpm, 0.5f), -11.5f + 0.5f * (33.785f + 11.5f), 1e-3);
    // Beyond 24500 rpm: entry 49 of both curves.
    EXPECT_NEAR(engine_torque(b, 30000 * rpm, 1), -34.0f, 1e-4);
    EXPECT_NEAR(engine_torque(b, 30000 * rpm, 0), -46.0f, 1e-4);
    EXPECT_NEAR(engine_torque(b, 24500 * rpm, 1), -34.0f, 1e-3);
    // Below zero: entry 0.
    EXPECT_NEAR(engine_torque(b, -100, 1), 5.0f, 1e-6);
    EXPECT_NEAR(engine_torque(b, NAN, 1), 5.0f, 1e-6);
}

TEST(Clutch, AutomaticClutchOpensOverTwoThousandRpm)
{
    test::expect_float_rows("clutch", {{clutch_engagement(1, 6000, 5000), 0.5f},
                                       {clutch_engagement(1, 4000, 5000), 0.0f},
                                       {clutch_engagement(0.3f, 6500, 5000), 0.3f},
                                       {clutch_engagement(0.4f, 9000, 5000), 0.4f},
                                       {clutch_engagement(1, 1000, 0), 0.5f}});
}

TEST(Gearbox, MissingGearsAreSkipped)
{
    // {model, gear, shift, new gear}: the 450 has no sixth gear.
    for (auto [model, gear, shift, want] :
         {std::tuple{"450sxf(2017)", 4, 1, 4}, {"450sxf(2017)", 3, 1, 4}, {"450sxf(2017)", 0, -1, 0},
          {"450sxf(2017)", 5, 0, 4}, {"cr125", 4, 1, 5}, {"cr125", 5, 1, 5}, {"rs50cr", 0, 1, 0}})
        EXPECT_EQ(shifted_gear(*find_bike_info(model), gear, shift), want) << model << " " << gear << " " << shift;
    const BikeInfo& one = *find_bike_info("rs50cr");
    BikeInfo none = one;  // a broken row without any gear still answers first
    none.gears.fill(-1);
    EXPECT_EQ(shifted_gear(none, 3, 1), 0);
}

TEST(Wrap, AnglesLandInMinusPiToPi)
{
    for (auto [angle, wrapped] :
         {std::pair{3 * k_pi / 2, -k_pi / 2}, {-3 * k_pi / 2, k_pi / 2}, {k_pi, k_pi}, {-k_pi, k_pi}})
        EXPECT_NEAR(wrap_angle(angle), wrapped, 1e-5) << angle;
    EXPECT_EQ(wrap_angle(INFINITY), 0.0f);
}

struct DrivelineTest : ::testing::Test {
    std::unique_ptr<SimWorld> world = create_world();
    std::unique_ptr<Bike> bike = create_bike(*world, "450sxf(2017)", 1, "1");
};

TEST_F(DrivelineTest, DisengagedClutchTransmitsNothing)
{
    bike->controls.clutch = 0;
    bike->controls.throttle = 1;
    bike->engine_speed = 700 * 0.1f;  // about 670 rpm
    float w0 = bike->engine_speed;
    float t = engine_torque(bike->info, w0, 1);
    DrivelineResult r = driveline_update(*bike, 0.3f, 0);
    EXPECT_EQ(r.transmitted, 0.0f);
    EXPECT_NEAR(bike->engine_speed, w0 + k_dt * t / 0.00885f, 1e-3);
}

TEST_F(DrivelineTest, TwistIsCutBackToTheClutchLimit)
{
    bike->controls.clutch = 0.5f;
    bike->engine_speed = 9000 * rpm;  // above the auto clutch band: e = lever
    float beta = 0.25f;
    bike->ref_angle = beta + 1.0f;    // twist 1 rad > 0.5 * pi/4
    float N = overall_ratio(*bike);
    DrivelineResult r = driveline_update(*bike, beta, 0);
    EXPECT_FLOAT_EQ(r.engagement, 0.5f);
    // The torque comes from the uncut twist; the angle is cut before it advances.
    EXPECT_NEAR(r.torque, 7500 * 1.0f + 500, 1e-2);  // damper clamped at 500
    EXPECT_NEAR(r.transmitted, 0.25f * r.torque, 1e-2);
    EXPECT_NEAR(bike->ref_angle, wrap_angle(beta + 0.5f * k_pi / 4 + k_dt * bike->engine_speed / N), 1e-5);
    // A twist within the limit is left alone.
    bike->ref_angle = beta + 0.1f;
    float w = bike->engine_speed;
    driveline_update(*bike, beta, w / N);
    (void)w;
    EXPECT_NEAR(wrap_angle(bike->ref_angle - k_dt * bike->engine_speed / N), beta + 0.1f, 1e-4);
}

TEST_F(DrivelineTest, NegativeTorqueIgnoresTheAutomaticClutch)
{
    bike->controls.clutch = 1;
    bike->engine_speed = 5500 * rpm;  // auto clutch alone would give 0.25
    bike->ref_angle = -0.05f;         // engine behind the wheel: engine braking
    DrivelineResult r = driveline_update(*bike, 0, bike->engine_speed / overall_ratio(*bike));
    EXPECT_LT(r.torque, 0);
    EXPECT_FLOAT_EQ(r.engagement, 1.0f);
}

TEST_F(DrivelineTest, AntilockReleasesASlidingWheelForOneTick)
{
    bike->controls.front_brake = 1;
    bike->front_contact.depth = 0.1f;
    bike->rear_contact.depth = 0.1f;
    bike->front_contact.point_velocity = {3, 0, 0};  // sliding at 3 ft/s
    brake_step(*bike);
    EXPECT_FLOAT_EQ(dJointGetHingeParam(bike->joint(k_front_axle), dParamFMax), 0.0f);
    bike->front_contact.point_velocity = {0, 0, 0.5f};
    brake_step(*bike);
    EXPECT_FLOAT_EQ(dJointGetHingeParam(bike->joint(k_front_axle), dParamFMax), 250.0f);
    EXPECT_FLOAT_EQ(dJointGetHingeParam(bike->joint(k_front_axle), dParamVel), 0.0f);
    // Rear wheel in the air with the front down: "Front Only" releases the front.
    bike->rear_contact.depth = 0;
    brake_step(*bike);
    EXPECT_FLOAT_EQ(dJointGetHingeParam(bike->joint(k_front_axle), dParamFMax), 0.0f);
    // The rear is "Normal" by default: a sliding rear keeps its torque.
    bike->controls.rear_brake = 0.5f;
    bike->rear_contact.depth = 0.1f;
    bike->rear_contact.point_velocity = {5, 0, 0};
    brake_step(*bike);
    EXPECT_FLOAT_EQ(dJointGetHingeParam(bike->joint(k_rear_axle), dParamFMax), 125.0f);
}

TEST_F(DrivelineTest, WheelieCutNeedsTheRearDownAndTheFrontUp)
{
    bike->flags |= k_flag_wheelie_cut;
    bike->controls.throttle = 1;
    bike->engine_speed = 7500 * rpm;
    bike->rear_contact.depth = 0.1f;
    bike->front_contact.depth = 0;
    EXPECT_EQ(bike_engine_torque(*bike), 0.0f);
    bike->front_contact.depth = 0.1f;
    EXPECT_NEAR(bike_engine_torque(*bike), 33.96f, 1e-3);
    bike->front_contact.depth = 0;
    bike->controls.throttle = 0;  // negative torque is kept
    EXPECT_LT(bike_engine_torque(*bike), 0);
}

}  // namespace
}  // namespace zv::sim
