// The built-in bike table: order, names, the values the game fixes, and the
// substitute rule for unknown models.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>

#include "core/bike_names.h"
#include "platform/log.h"
#include "sim/bike.h"
#include "sim/bike_info.h"
#include "sim/drivetrain.h"
#include "sim/world.h"
#include "support/expect_rows.h"
#include "support/temp_dir.h"

namespace zv::sim {
namespace {

TEST(BikeTable, AgreesWithTheConfigurationsBikeList)
{
    auto table = bike_table();
    ASSERT_EQ(static_cast<int>(table.size()), k_bike_model_count);
    ASSERT_EQ(core::k_bike_model_count, k_bike_model_count);
    for (int i = 0; i < k_bike_model_count; ++i)
        EXPECT_STREQ(table[static_cast<size_t>(i)].name, core::k_bike_table_order[static_cast<size_t>(i)]) << i;
    std::set<std::string> menu;
    for (const auto& m : core::k_bike_models)
        menu.insert(m.name);
    std::set<std::string> rows;
    for (const BikeInfo& b : table)
        rows.insert(b.name);
    EXPECT_EQ(rows.size(), 68u);
    EXPECT_EQ(menu, rows);
}

TEST(BikeTable, FirstRowCarriesTheGivenValues)
{
    const BikeInfo& b = bike_table()[0];
    EXPECT_STREQ(b.name, "450sxf(2017)");
    EXPECT_STREQ(b.bike_class, "450f");
    test::expect_float_rows(
        "450sxf(2017)",
        {{b.front.position.y, 1.09f}, {b.front.position.z, 1.11f}, {b.front.ring_radius, 0.8333f},
         {b.front.ring_mass, 0.40625f}, {b.rear.position.z, 6.0f}, {b.rear.hub_mass, 0.3125f},
         {b.frame_mass, 4.735f}, {b.fork_spring_min, 376.303f}, {b.fork_spring_max, 913.878f},
         {b.fork_hs_rebound, 32.0f}, {b.shock_spring_max, 5174.16f}, {b.shock_hs_rebound, 650.0f},
         {b.swingarm_travel, 0.530304f}, {b.primary_ratio, 2.45161f}, {b.countershaft_teeth, 13.0f},
         {b.rear_teeth, 48.0f}, {b.engine_inertia, 0.00885f},
         {b.full_torque[15], 33.96f},  // peak at 7500 rpm
         {b.full_torque[11], 27.90f}, {b.full_torque[24], 0.0f}, {b.full_torque[26], -11.0f},
         {b.closed_torque[0], 2.0f}, {b.closed_torque[2], 1.0f}, {b.closed_torque[3], 0.0f},
         {b.upshift_rpm, 10500.0f}, {b.rider_mass, 5.46875f}, {b.pose_point(k_pose_left_grip).x, -0.556f},
         {b.pose_point(k_pose_right_peg).x, 0.269f}});
}

TEST(BikeTable, ClassesShareTheirValues)
{
    const BikeInfo* s17 = find_bike_info("350sxf(2017)");
    const BikeInfo* s11 = find_bike_info("350sxf(2011)");
    ASSERT_TRUE(s17 && s11);
    EXPECT_STREQ(s17->bike_class, "250f");
    EXPECT_STREQ(find_bike_info("350sxf(2013)")->bike_class, "250f");
    EXPECT_STREQ(s11->bike_class, "450f");
    test::expect_float_rows("classes", {{s17->fork_hs_rebound, 32.0f}, {s17->engine_inertia, 0.006836f},
                                        {s17->rider_mass, 5.46875f},
                                        {find_bike_info("crf250(2017)")->frame_mass, 4.24f},
                                        {find_bike_info("cr250(2007)")->fork_mass, 0.75375f},
                                        {find_bike_info("cr125")->frame_mass, 3.65375f},
                                        {find_bike_info("rs50cr")->driveline_stiffness, 1200.0f},
                                        {find_bike_info("rs50cr")->driveline_damping, 1.0f},
                                        {find_bike_info("yz125")->downshift_rpm, 9400.0f}});

    float lo = 1e9f, hi = -1e9f;
    for (const BikeInfo& b : bike_table()) {
        float peak = *std::max_element(b.full_torque.begin(), b.full_torque.end());
        lo = std::min(lo, peak);
        hi = std::max(hi, peak);
        EXPECT_GT(b.gears[0], 0) << b.name;
        // Missing gears only at the end of the list.
        int n = gear_count(b);
        for (int g = n; g < 6; ++g)
            EXPECT_LE(b.gears[static_cast<size_t>(g)], 0) << b.name;
    }
    EXPECT_NEAR(lo, 4.31f, 0.05f);
    EXPECT_NEAR(hi, 36.2f, 0.05f);
    EXPECT_EQ(gear_count(*find_bike_info("450sxf(2017)")), 5);
    EXPECT_EQ(gear_count(*find_bike_info("cr125")), 6);
}

TEST(BikeTable, UnknownModelsTakeASubstituteAndLogIt)
{
    test::TempDir dir;
    std::string log = dir / "log.txt";
    test::ScopedEnv env("TORV_LOGFILE", log);
    platform::log_close();

    EXPECT_STREQ(resolve_bike_info("kx125x").name, "cr125");
    EXPECT_STREQ(resolve_bike_info("superbike").name, "kx250f(2017)");
    EXPECT_STREQ(resolve_bike_info("yz450f(2016)").name, "yz450f(2016)");
    EXPECT_EQ(find_bike_info("kx125x"), nullptr);

    auto world = create_world();
    auto bike = create_bike(*world, "kx125x", 1, "123");
    EXPECT_STREQ(bike->info.name, "cr125");
    platform::log_close();
    std::string text = test::read_file(log).value_or("");
    EXPECT_NE(text.find("bike info for 'kx125x' not found using 'cr125' instead"), std::string::npos) << text;
}

TEST(BikeTable, InstanceMassesAndJoints)
{
    auto world = create_world();
    auto bike = create_bike(*world, "450sxf(2017)", 3, "12345678");
    const BikeInfo& b = bike->info;
    EXPECT_EQ(bike->number, "1234567");
    EXPECT_EQ(bike->slot, 3);
    dMass m;
    dBodyGetMass(bike->body(k_frame), &m);
    EXPECT_NEAR(m.mass, 4.735 + 5.46875 * 2 / 3, 1e-4);
    dBodyGetMass(bike->body(k_rider), &m);
    EXPECT_NEAR(m.mass, 5.46875 / 3, 1e-4);
    dBodyGetMass(bike->body(k_front_wheel), &m);
    EXPECT_NEAR(m.mass, 0.40625 + 0.15625, 1e-5);
    dBodyGetMass(bike->body(k_swingarm), &m);
    EXPECT_NEAR(m.mass, 2 * 0.5025, 1e-5);
    dBodyGetMass(bike->body(k_fork_upper), &m);
    EXPECT_NEAR(m.mass, 0.703125, 1e-5);
    float total = 4.735f + 5.46875f + 0.5625f + 0.78125f + 2 * 0.703125f + 2 * 0.5025f;
    EXPECT_NEAR(bike->total_mass, total, 1e-3);
    EXPECT_TRUE(dBodyGetFiniteRotationMode(bike->body(k_front_wheel)));
    EXPECT_FALSE(dBodyGetFiniteRotationMode(bike->body(k_frame)));
    EXPECT_NEAR(dJointGetHingeParam(bike->joint(k_steering_head), dParamHiStop), k_pi / 4, 1e-6);
    EXPECT_NEAR(dJointGetSliderParam(bike->joint(k_fork_slider), dParamLoStop), -1.0, 1e-6);
    EXPECT_NEAR(dJointGetHingeParam(bike->joint(k_swingarm_pivot), dParamLoStop), -0.530304, 1e-6);
    EXPECT_NEAR(bike->sprocket_ratio, 48.0f / 13.0f, 1e-6);
    Vec3 p = body_position(bike->body(k_rider));
    EXPECT_FLOAT_EQ(p.y, b.rider_position.y);
    // Defaults before any setup: front antilock, stop wheelies "Front Only".
    EXPECT_EQ(bike->flags, k_flag_front_antilock | k_flag_wheelie_front | k_flag_auto_align);
    EXPECT_FLOAT_EQ(bike->value(SetupValue::roll_damping), 60.0f);
    EXPECT_FLOAT_EQ(bike->value(SetupValue::max_dab_speed), 30.0f);
}

TEST(BikeTable, PlateColours)
{
    PlateColours c = parse_plate_colours("a bike [numberbackground:0.5,0.25,1] [numberforeground:1,1,0]");
    test::expect_float_rows("plate", {{c.background[0], 0.5f}, {c.background[1], 0.25f}, {c.foreground[2], 0.0f},
                                      {c.foreground[0], 1.0f}});
    PlateColours d = parse_plate_colours("[numberbackground:oops");
    EXPECT_FLOAT_EQ(d.background[0], 1.0f);
    EXPECT_FLOAT_EQ(d.foreground[0], 0.0f);
}

}  // namespace
}  // namespace zv::sim
