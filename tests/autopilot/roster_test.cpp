// Personalities and the robot roster.
#include "autopilot/roster.h"

#include "sim/bike.h"
#include "support/data_folder_test.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <utility>

namespace zv::autopilot {
namespace {

class Roster : public test::DataFolderTest {};

TEST_F(Roster, PersonalitiesByName)
{
    // The player's entry ("empty") is never matched.
    for (auto [name, index] : {std::pair{"vesk", 1}, {"drun", 3}, {"tester", 4}, {"empty", 1}, {"nobody", 1}})
        EXPECT_EQ(find_personality(name), index) << name;
    EXPECT_NE(log_text().find("auto pilot personality 'nobody' not found\n"), std::string::npos);
    const Personality& drun = personalities()[3];
    EXPECT_EQ(std::pair(drun.first_variant, drun.second_variant), std::pair(1, 0));
    EXPECT_FLOAT_EQ(drun.lead_threshold, 10);
    EXPECT_FLOAT_EQ(drun.reaction_max, 0.1f);
}

TEST_F(Roster, ProfilesRideRealBikesUnderTheirNumbers)
{
    std::set<std::string> numbers;
    for (int i = 0; i < k_roster_size; ++i) {
        const RobotProfile& p = robot_roster()[static_cast<std::size_t>(i)];
        SCOPED_TRACE(p.number);
        EXPECT_EQ(std::string(p.number), std::to_string(k_first_roster_number + i));
        numbers.insert(p.number);
        if (p.bike) {
            EXPECT_STREQ(sim::resolve_bike_info(p.bike).name, p.bike);
        }
        const int n = k_first_roster_number + i;
        const char* expected = n < 40 ? "corwin" : n < 60 ? "vesk" : n < 80 ? "corwin" : "drun";
        EXPECT_STREQ(p.personality, expected);
    }
    EXPECT_EQ(numbers.size(), 80u);
    EXPECT_EQ(robot_roster()[0].bike, nullptr);
    EXPECT_STREQ(robot_roster()[20].bike, "rm125");
    EXPECT_EQ(robot_roster()[20].rider_texture, nullptr);
    EXPECT_NE(robot_roster()[20].head_texture, nullptr);
    EXPECT_STREQ(robot_roster()[40].bike, "yz250f_se(2006)");
    EXPECT_EQ(robot_roster()[60].wheel_texture, nullptr);
    EXPECT_STREQ(robot_roster()[61].bike_texture, "@crf250-alt1.png");
    EXPECT_STREQ(robot_roster()[62].wheel_texture, "@wheels-alt2.png");
}

TEST_F(Roster, ShuffleAndTheRobotsOfARace)
{
    // r >> 16 = j - 1 swaps entry j with entry j - 1 every time: entry 79
    // walks to the front and the rest move up one.
    int j = 79;
    RosterOrder order = shuffle_roster([&] { return (static_cast<std::uint32_t>(j--) - 1) << 16; });
    EXPECT_EQ(order[0], 79);
    EXPECT_EQ(order[1], 0);
    EXPECT_EQ(order[79], 78);
    // r >> 16 = 0 swaps with entry 0 each time.
    RosterOrder zero = shuffle_roster([] { return 0xffffu; });
    EXPECT_EQ(zero[0], 1);
    EXPECT_EQ(zero[1], 2);
    EXPECT_EQ(zero[79], 0);
    std::set<int> all(zero.begin(), zero.end());
    EXPECT_EQ(all.size(), 80u);

    RobotChoice c = robot_for(order, 0, false);
    EXPECT_STREQ(c.profile->number, "99");
    EXPECT_EQ(c.personality, 3);
    EXPECT_EQ(robot_for(order, 80, false).profile, c.profile);
    EXPECT_EQ(robot_for(order, 0, true).personality, 4);
}

}  // namespace
}  // namespace zv::autopilot
