// Line costs by variant, which line may follow which, the cheapest chains
// and the race-start plan.
#include "autopilot/chain_search.h"

#include "core/debug_level.h"
#include "support/data_folder_test.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace zv::autopilot {
namespace {

LineSlot stats(int tests, int failures, long long sum1)
{
    LineSlot s;
    s.points = {{0, 0, 0, 1, 0}};
    s.tests = tests;
    s.failures = failures;
    s.sum1 = sum1;
    return s;
}

TEST(LineCost, ByVariant)
{
    struct Case {
        int variant, tests, failures;
        long long sum1;
        double cost;
    };
    const Case cases[] = {
        {0, 4, 0, 400, 1000000},                   // too few tests
        {0, 5, 0, 1000, 200},
        {0, 5, 5, 1000, 200 + 320},                // 640 x 1/2
        {1, 5, 5, 1000, 200 + 640.0 * 4 / 7},      // 640 x 8/7 x 1/2
        {1, 5, 20, 1000, 200 + 640.0 * 32 / 35},    // 8/7 x 4/5
        {1, 5, 50, 1000, 200 + 640},               // share clamped to 1
        {1, 4, 0, 400, 1000000},
        {2, 0, 3, 0, 1000000},
        {2, 1, 0, 300, 300},
        {2, 4, 1, 400, 100 + 640 * 0.8},           // 640 x 4 x 1/5
        {2, 1, 3, 300, 300 + 640},                 // 4 x 3/4 clamped to 1
        {3, 0, 0, 0, 0},                           // never tried
        {3, 1, 5, 10, 100000},                     // 6 tries, mostly failed
        {3, 1, 4, 10, (5 + 4) * 1000},             // 5 tries only: 1 + 16 = 17 has 5 digits
        {3, 3, 1, 10, (3 + 4) * 1000},             // 7 has 3 binary digits
        {3, 2, 6, 10, (5 + 4) * 1000},             // 4 x 2 not below 6: 26 has 5 digits
        {3, 2, 9, 10, 100000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "variant " << c.variant << " t " << c.tests << " f " << c.failures);
        EXPECT_NEAR(line_cost(stats(c.tests, c.failures, c.sum1), c.variant), c.cost, 1e-9);
    }
}

TEST(LineLinks, ExtrapolatedEndWithinReach)
{
    const std::vector<LinePoint> straight{{0, 0, 0, 1, 0}, {1, 0, 0, 1, 0}, {2, 0, 0, 1, 0}};
    const std::vector<LinePoint> curving{{0, 0, 0, 1, 0}, {1, 0, 0, 1, 0}, {2, 0, 1, 1, 0}};
    const LinePoint s = extrapolated_end(straight);
    EXPECT_FLOAT_EQ(s.x, 3);
    const LinePoint c = extrapolated_end(curving);  // 3 c - 3 b + a
    EXPECT_FLOAT_EQ(c.x, 3);
    EXPECT_FLOAT_EQ(c.z, 3);
    EXPECT_FLOAT_EQ(extrapolated_end(std::vector<LinePoint>{{4, 0, 0, 1, 0}, {6, 1, 0, 1, 0}}).x, 8);
    // The end (3, 0, 0) against a line whose nearest point is 2.4 or 2.6 ft on.
    const std::vector<LinePoint> near{{9, 0, 0, 1, 0}, {5.4f, 0, 0, 1, 0}};
    const std::vector<LinePoint> far{{5.6f, 0, 0, 1, 0}, {9, 0, 0, 1, 0}};
    EXPECT_TRUE(lines_meet(straight, near));
    EXPECT_TRUE(lines_meet(straight, std::vector<LinePoint>{{5.5f, 0, 0, 1, 0}}));  // exactly 2.5 ft
    EXPECT_FALSE(lines_meet(straight, far));
    EXPECT_FALSE(lines_meet({}, near));
}

// Lines along x through three sections of 10 ft: a slot's z offset says
// where it runs; ends meet starts at the same offset.
std::vector<LinePoint> run(int section, float z)
{
    const float x0 = static_cast<float>(section) * 10;
    return {{x0, 0, z, 1, 0}, {x0 + 3.33f, 0, z, 1, 0}, {x0 + 6.67f, 0, z, 1, 0}};
}

class Chains : public test::DataFolderTest {
protected:
    Chains() { create_table(table, 2, 1); }
    ~Chains() override { core::set_debug_level(0); }
    LineSlot& put(int section, int slot, float z, int tests, long long sum1)
    {
        LineSlot& s = table.sections[static_cast<std::size_t>(section)].slots[static_cast<std::size_t>(slot)];
        s = stats(tests, 0, sum1);
        s.points = run(section, z);
        return s;
    }
    LineTable table;
};

TEST_F(Chains, CheapestChainAndRaceStartPlan)
{
    // Section 0: a fast line at z 0 that leads nowhere, a slower one at z 20
    // in slot 0 (a chain through the first slot).
    put(0, 1, 0, 5, 500);     // 100 per run
    put(0, 0, 20, 5, 1000);   // 200
    put(1, 4, 20, 5, 1500);   // 300, continues the z 20 line
    put(1, 5, 40, 5, 250);    // 50, meets nothing before it
    put(2, 2, 20, 5, 2000);   // the normal lap: 400
    core::set_debug_level(1);
    analyze_lines(table);
    EXPECT_EQ(table.sections[0].links[0], SlotMask{1} << 4);
    EXPECT_EQ(table.sections[0].links[1], SlotMask{0});

    std::vector<SlotValues> v(2);
    chain_values(table, 0, 2, 0, v);
    EXPECT_DOUBLE_EQ(v[1][5], 50);
    EXPECT_DOUBLE_EQ(v[0][0], 200 + 300);
    // The break costs the unusable cost plus the best continuation.
    EXPECT_DOUBLE_EQ(v[0][1], 100 + k_unusable + 50);
    EXPECT_EQ(v[0][3], k_no_chain);
    // The plan follows the cheapest whole chain, not the cheapest line.
    EXPECT_EQ(table.sections[0].planned[0], 0);
    EXPECT_EQ(table.sections[1].planned[0], 4);
    EXPECT_EQ(table.sections[2].planned[0], 2);
    const std::string log = log_text();
    EXPECT_NE(log.find("First lap: 3.906250\n"), std::string::npos);   // 500 ticks
    EXPECT_NE(log.find("Normal lap: 3.125000\n"), std::string::npos);  // 400 ticks
    // A line learned later in section 1 is linked from the section before.
    put(1, 6, 0, 5, 500);
    link_around(table, 1);
    EXPECT_EQ(table.sections[0].links[1], SlotMask{1} << 6);
}

TEST_F(Chains, SectionIndicesWrapIntoTheNormalLap)
{
    for (auto [section, wrapped] : {std::pair{0, 0}, {1, 1}, {2, 2}, {3, 2}, {-1, -1}})
        EXPECT_EQ(table_section(table, section), wrapped) << section;
    LineTable none;
    create_table(none, 0, 3);
    EXPECT_TRUE(none.empty());
    std::vector<SlotValues> untouched(1);
    untouched[0].fill(7);
    chain_values(none, 0, 1, 0, untouched);
    EXPECT_EQ(untouched[0][0], 7);
    create_table(none, 3, 0);
    EXPECT_TRUE(none.empty());
    LineTable wide;
    create_table(wide, 3, 4);
    EXPECT_EQ(table_section(wide, 3 + 4), 3);
    EXPECT_EQ(table_section(wide, 3 + 4 * 5 + 2), 5);
    EXPECT_EQ(following_section(wide, 6), 3);
    EXPECT_EQ(following_section(wide, 2), 3);

    // Timing positions to sections: checkpoint 0 is skipped by the robots
    // (flagged) in both laps, so it starts no section of its own.
    track::TrackTiming t;
    t.checkpoints.resize(3);
    t.first_lap = t.normal_lap = {track::k_autopilot_skip_flag, 1, 2};
    t.first_lap_autopilot = t.normal_lap_autopilot = 2;
    const int sections[] = {0, 0, 1, 2, 2, 3, 4, 4, 5};
    for (int p = 0; p < 9; ++p)
        EXPECT_EQ(section_index_at(t, p), sections[p]) << p;
}

TEST_F(Chains, CrossingTwinsInAFullSectionLeaveThePlan)
{
    // 43 lines from one start fanning out at distinct angles never cross;
    // slots 0 and 1 swap sides after their start and cross.
    LineSection& s = table.sections[0];
    for (int i = 0; i < k_nearly_full; ++i) {
        LineSlot& l = s.slots[static_cast<std::size_t>(i)];
        l = stats(5, 0, 1000);
        const float side = static_cast<float>(i) * 0.5f;
        l.points = {{0, 0, 0, 1, 0}, {5, 0, side, 1, 0}, {10, 0, 2 * side, 1, 0}, {15, 0, 3 * side, 1, 0}};
    }
    s.slots[0].points = {{0, 0, 0, 1, 0}, {5, 0, -2, 1, 0}, {10, 0, -4, 1, 0}, {15, 0, -6, 1, 0}};
    s.slots[0].sum2 = 5000;  // expected 1000 a run: the faster
    s.slots[1].points = {{0, 0, 0, 1, 0}, {5, 0, -4, 1, 0}, {10, 0, -3, 1, 0}, {15, 0, -2, 1, 0}};
    s.slots[1].sum2 = 6000;
    // Slot 3 comes down onto slot 2 and turns away: touching is no crossing.
    s.slots[3].points = {{0, 0, 0, 1, 0}, {5, 0, 1.5f, 1, 0}, {7.5f, 0, 1.5f, 1, 0},
                         {10, 0, 3, 1, 0}, {15, 0, 4.5f, 1, 0}};
    EXPECT_EQ(mark_crossings(table), 1);
    EXPECT_EQ(s.withheld, SlotMask{1} << 1);
    // One line fewer and the section is not looked at.
    empty_slot(s.slots[42]);
    EXPECT_EQ(mark_crossings(table), 0);
}

}  // namespace
}  // namespace zv::autopilot
