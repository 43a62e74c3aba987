// Setup values: clamps, tolerance flag, conversions, sprockets, the rider
// mass distribution and the mechanic rule.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <tuple>
#include <utility>

#include "core/messages.h"
#include "core/settings.h"
#include "sim/bike.h"
#include "sim/setup.h"
#include "sim/setup_adapter.h"
#include "sim/world.h"

namespace zv::sim {
namespace {

struct SetupTest : ::testing::Test {
    std::unique_ptr<SimWorld> world = create_world();
    std::unique_ptr<Bike> bike = create_bike(*world, "450sxf(2017)", 1, "1");
    void SetUp() override { clear_setup_out_of_range(); }
};

TEST_F(SetupTest, SprocketAdjustmentsChangeTheRatio)
{
    RiderSetup s;
    s.rear_sprocket_adjustment = -2;
    s.front_sprocket_adjustment = 2;
    set_setup(*bike, s);
    EXPECT_FLOAT_EQ(bike->sprocket_ratio, 46.0f / 15.0f);
    // Out of the clamp range: stored clamped, flag raised beyond tolerance.
    set_setup_value(*bike, SetupValue::rear_sprocket, -7);
    EXPECT_FLOAT_EQ(bike->value(SetupValue::rear_sprocket), -2.0f);
    EXPECT_TRUE(setup_out_of_range());
    // Either sprocket set on its own changes the ratio at once.
    set_setup_value(*bike, SetupValue::front_sprocket, 0);
    EXPECT_FLOAT_EQ(bike->sprocket_ratio, 46.0f / 13.0f);
    set_setup_value(*bike, SetupValue::rear_sprocket, 0);
    EXPECT_FLOAT_EQ(bike->sprocket_ratio, 48.0f / 13.0f);
}

TEST_F(SetupTest, RiderMassDistributionClampAndFlag)
{
    EXPECT_FLOAT_EQ(set_setup_value(*bike, SetupValue::rider_mass_distribution, 0.32f), 0.33f);
    EXPECT_FALSE(setup_out_of_range());
    EXPECT_FLOAT_EQ(set_setup_value(*bike, SetupValue::rider_mass_distribution, 0.2f), 0.33f);
    EXPECT_TRUE(setup_out_of_range());
    set_setup_value(*bike, SetupValue::rider_mass_distribution, 0.5f);
    dMass m;
    dBodyGetMass(bike->body(k_rider), &m);
    EXPECT_NEAR(m.mass, 0.5 * 5.46875, 1e-5);
    dBodyGetMass(bike->body(k_frame), &m);
    EXPECT_NEAR(m.mass, 4.735 + 0.5 * 5.46875, 1e-5);
}

TEST_F(SetupTest, ConversionsOfTheMenuScale)
{
    RiderSetup s;  // 50 everywhere: the middle of every range
    set_setup(*bike, s);
    EXPECT_FLOAT_EQ(bike->value(SetupValue::fork_compression), 1.0f);
    EXPECT_FLOAT_EQ(bike->value(SetupValue::fork_slow_rebound), 0.0f);
    EXPECT_FLOAT_EQ(bike->value(SetupValue::shock_spring_rate), 0.5f);
    EXPECT_NEAR(bike->value(SetupValue::roll_limit_angle), 35 * k_pi / 180, 1e-6);
    EXPECT_NEAR(bike->value(SetupValue::max_dab_speed), 20 * 1.4666667f, 1e-4);
    EXPECT_NEAR(bike->value(SetupValue::restricted_lock), 5 * k_pi / 180, 1e-6);
    s.fork_compression_adjustment = 100;   // 2^(4-2) = 4
    s.shock_rebound_adjustment = 0;        // 2^-2 = 0.25
    s.fork_slow_compression_adjustment = 0;  // -1
    set_setup(*bike, s);
    EXPECT_FLOAT_EQ(bike->value(SetupValue::fork_compression), 4.0f);
    EXPECT_FLOAT_EQ(bike->value(SetupValue::shock_rebound), 0.25f);
    EXPECT_FLOAT_EQ(bike->value(SetupValue::fork_slow_compression), -1.0f);
    EXPECT_FALSE(setup_out_of_range());
    s.arcade = false;
    s.stop_wheelies = 1;
    s.rear_antilock = true;
    s.sticky_dab = true;
    set_setup(*bike, s);
    EXPECT_EQ(bike->arcade, 0);
    for (auto flag : {k_flag_wheelie_cut, k_flag_wheelie_front, k_flag_rear_antilock, k_flag_sticky_dab})
        EXPECT_TRUE(bike->flags & flag) << flag;
}

TEST_F(SetupTest, ToleranceEdges)
{
    set_setup_value(*bike, SetupValue::leveling, 112.5f);
    EXPECT_FALSE(setup_out_of_range());
    EXPECT_FLOAT_EQ(bike->value(SetupValue::leveling), 100.0f);
    set_setup_value(*bike, SetupValue::leveling, 112.6f);
    EXPECT_TRUE(setup_out_of_range());
    clear_setup_out_of_range();
    set_setup_value(*bike, SetupValue::slow_damping_factor, 0.5f);  // clamp 1, tolerance -0.125
    EXPECT_FLOAT_EQ(bike->value(SetupValue::slow_damping_factor), 1.0f);
    EXPECT_FALSE(setup_out_of_range());
    set_setup_value(*bike, SetupValue::land_damping_factor, NAN);
    EXPECT_TRUE(setup_out_of_range());
    EXPECT_FLOAT_EQ(bike->value(SetupValue::land_damping_factor), 2.0f);
}

TEST_F(SetupTest, DisplayConversions)
{
    EXPECT_NEAR(fork_spring_display_kg_mm(913.878f), 0.68f, 0.001f);
    EXPECT_NEAR(shock_spring_display_kg_mm(5174.16f), 7.7f, 0.001f);
    EXPECT_NEAR(length_display_mm(0.083333f), 25.4f, 0.001f);
}

TEST_F(SetupTest, MechanicRefusesAMovingBike)
{
    reset_mechanic();
    core::clear_messages();
    RiderSetup s;
    s.leveling = 77;
    dBodySetLinearVel(bike->body(k_frame), 0.2, 0, 0);
    EXPECT_FALSE(apply_setup(*bike, s, 100.0));
    EXPECT_EQ(core::messages_on_screen(), 0);
    EXPECT_FALSE(apply_setup(*bike, s, 105.0));
    EXPECT_STREQ(core::message_line(0), "Settings not applied.  Mechanic can't keep up error.");
    core::clear_messages();
    EXPECT_FALSE(apply_setup(*bike, s, 116.0));
    EXPECT_EQ(core::messages_on_screen(), 0);
    EXPECT_NE(bike->value(SetupValue::leveling), 77.0f);
    dBodySetLinearVel(bike->body(k_frame), 0.1, 0, 0);
    EXPECT_TRUE(apply_setup(*bike, s, 117.0));
    EXPECT_FLOAT_EQ(bike->value(SetupValue::leveling), 77.0f);
}

TEST(SetupAdapter, FreshSettingsGiveTheDefaultRiderSetup)
{
    core::Settings settings;
    RiderSetup r = rider_setup_from(settings);
    RiderSetup d;
    auto aids = [](const RiderSetup& s) {
        return std::tuple(s.roll_damping, s.max_dab_speed, s.arcade, s.front_antilock, s.rear_antilock,
                          s.stop_wheelies, s.reverse_steering);
    };
    EXPECT_EQ(aids(r), aids(d));
    EXPECT_FLOAT_EQ(r.rider_mass_distribution, d.rider_mass_distribution);
    settings.stop_wheelies.parse("Front Only");
    settings.arcade.parse("No");
    settings.fork_spring_rate_adjustment.set(80);
    r = rider_setup_from(settings);
    EXPECT_EQ(r.stop_wheelies, 2);
    EXPECT_FALSE(r.arcade);
    EXPECT_FLOAT_EQ(r.fork_spring_rate_adjustment, 80);
}

}  // namespace
}  // namespace zv::sim
