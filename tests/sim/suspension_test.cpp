// Fork and shock: damper clamps, air spring, linkage curve, top-out fade.
#include <gtest/gtest.h>

#include <cmath>

#include "sim/bike.h"
#include "sim/suspension.h"
#include "sim/world.h"

namespace zv::sim {
namespace {

TEST(Damper, LowSpeedOffsetStaysWithinAnEighthAndEightTimes)
{
    // Compression at 1 ft/s, c 60, offset -60: target 0, raised to b/8.
    EXPECT_FLOAT_EQ(damper_force(-1, 60, -60, 30, 30), 7.5f);
    // Rebound at 1 ft/s, c 30, offset 30: -60 lies inside [-240, -3.75].
    EXPECT_FLOAT_EQ(damper_force(1, 60, 60, 30, 30), -60.0f);
    // A big offset is cut at eight times the linear force.
    EXPECT_FLOAT_EQ(damper_force(-0.1f, 60, 100, 30, 30), 48.0f);
    EXPECT_FLOAT_EQ(damper_force(0.1f, 60, 60, 30, 100), -24.0f);
    EXPECT_FLOAT_EQ(damper_force(0, 60, 60, 30, 30), 0.0f);
}

TEST(AirSpring, OilLevelStiffensTheEndOfTravel)
{
    // Setting 0: gap 0.416667 ft; 82.46169 ((1.416667/0.416667)^1.4 - 1) = 374.97.
    EXPECT_NEAR(air_spring_force(1, 1, 0.416667f), 374.97f, 0.1f);
    // Setting 100: gap 0.25 ft; 82.46169 (5^1.4 - 1) = 702.43.
    EXPECT_NEAR(air_spring_force(1, 1, 0.25f), 702.43f, 0.2f);
    EXPECT_FLOAT_EQ(air_spring_force(0, 1, 0.25f), 0.0f);
    EXPECT_FLOAT_EQ(air_spring_force(2, 1, 0.25f), air_spring_force(1, 1, 0.25f));  // clamped to travel
    EXPECT_TRUE(std::isfinite(air_spring_force(1, 1, 0)));
}

TEST(Linkage, RisingRateCurveMeetsAtTheKnee)
{
    const BikeInfo& b = *find_bike_info("450sxf(2017)");
    EXPECT_FLOAT_EQ(linkage_curve(b, 0).compression, 0.0f);
    EXPECT_NEAR(linkage_curve(b, 0).slope, 0.315039f, 1e-6);
    EXPECT_NEAR(linkage_curve(b, 0.75f).compression, 0.283652f, 1e-6);
    EXPECT_NEAR(linkage_curve(b, 0.75f).slope, 0.460479f, 1e-5);
    EXPECT_NEAR(linkage_curve(b, std::nextafter(0.75f, 1.0f)).compression, 0.283652f, 1e-5);
    EXPECT_NEAR(linkage_curve(b, std::nextafter(0.75f, 1.0f)).slope, 0.460479f, 1e-4);
    EXPECT_NEAR(linkage_curve(b, 1).compression, 0.413386f, 1e-6);
    EXPECT_NEAR(linkage_curve(b, 1).slope, 0.607049f, 1e-5);
    EXPECT_NEAR(linkage_curve(b, 1.5f).compression, 0.413386f, 1e-6);
    // Rising rate: the slope grows along the travel.
    float last = 0;
    for (int i = 0; i <= 20; ++i) {
        float s = linkage_curve(b, static_cast<float>(i) / 20).slope;
        EXPECT_GE(s, last - 1e-6f);
        last = s;
    }
}

TEST(Fork, FullExtensionPushesNothingWhateverThePreload)
{
    auto world = create_world();
    auto bike = create_bike(*world, "450sxf(2017)", 1, "1");
    set_setup_value(*bike, SetupValue::fork_preload, 1);
    set_setup_value(*bike, SetupValue::shock_preload, 1);
    EXPECT_FLOAT_EQ(fork_force(*bike, 0, 0), 0.0f);
    EXPECT_FLOAT_EQ(fork_force(*bike, 0, -3), 0.0f);
    EXPECT_FLOAT_EQ(shock_torque(*bike, 0, 0), 0.0f);
    // From 1/32 of the travel on, the full force: spring (mid rate) times
    // (preload + compression) plus the air spring.
    ForkValues f = fork_values(*bike);
    float q = -0.5f;
    float expect = f.spring * (f.preload - q) + air_spring_force(0.5f, 1, f.gap);
    EXPECT_NEAR(fork_force(*bike, q, 0), expect, 1e-2f);
    // Halfway into the fade.
    EXPECT_NEAR(fork_force(*bike, -1.0f / 64, 0),
                0.5f * (f.spring * (f.preload + 1.0f / 64) + air_spring_force(1.0f / 64, 1, f.gap)), 1e-3f);
}

TEST(Fork, MotorPushesOutOnlyWithPositiveForce)
{
    auto world = create_world();
    auto bike = create_bike(*world, "450sxf(2017)", 1, "1");
    suspension_step(*bike);  // at full extension: nothing
    EXPECT_FLOAT_EQ(dJointGetSliderParam(bike->joint(k_fork_slider), dParamFMax), 0.0f);
    EXPECT_FLOAT_EQ(dJointGetSliderParam(bike->joint(k_fork_slider), dParamVel), 100.0f);
}

}  // namespace
}  // namespace zv::sim
