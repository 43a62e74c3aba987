// Learning from riders on a real bike carried down a straight course of
// gates: the player's sections offered (a lap ridden twice identically is a
// duplicate the second time), the dab mark, the time trial's lap hand-over,
// a robot's attempts judged into the statistics and its slow-down at the
// finish.
#include "autopilot/auto_pilot.h"
#include "autopilot/chain_search.h"

#include "autopilot/line_file.h"
#include "core/debug_level.h"
#include "sim/world.h"
#include "support/data_folder_test.h"
#include "support/expect_rows.h"

#include <gtest/gtest.h>

namespace zv::autopilot {
namespace {

constexpr float k_gate_spacing = 100;  // ft between gates along -z
constexpr float k_speed = 64;          // ft/s: half a foot a tick

// Gate i at z = -100 (i + 1), passed heading -z.
track::TrackTiming straight_course(int first, int normal)
{
    track::TrackTiming t;
    for (int i = 0; i < first + normal; ++i) {
        t.checkpoints.push_back({30, 0, 0, -k_gate_spacing * static_cast<float>(i + 1), 0, 0, -1});
        (i < first ? t.first_lap : t.normal_lap).push_back(i);
    }
    t.first_lap_autopilot = first;
    t.normal_lap_autopilot = normal;
    return t;
}

class Learning : public test::DataFolderTest {
protected:
    Learning() : world(sim::create_world()), bike(sim::create_bike(*world, "yz250f(2009)", 0, "1"))
    {
        core::set_debug_level(1);
        reset_riders();
    }
    ~Learning() override
    {
        core::set_debug_level(0);
        reset_riders();
    }
    // Carries the bike from tick `from` to `to` at 64 ft/s from z = 0 at
    // tick 0 (x across), learning every tick.
    void ride(int slot, int from, int to, float x = 0, float speed = k_speed, bool finished = false)
    {
        for (int tick = from; tick < to; ++tick) {
            sim::place_bike(*bike, {x, 3, -static_cast<float>(tick) * k_speed / 128}, 0);
            dBodySetLinearVel(bike->body(sim::k_frame), 0, 0, -speed);
            learn(slot, tick, finished);
        }
    }
    void learn(int slot, int tick, bool finished = false)
    {
        RaceFacts f;
        f.tick = tick;
        f.finished = finished;
        auto_pilot_learn(slot, *bike, f);
    }
    LineSlot& slot_of(int section, int slot)
    {
        return line_table().sections[static_cast<std::size_t>(section)].slots[static_cast<std::size_t>(slot)];
    }
    static int count(const std::string& text, const std::string& what)
    {
        int n = 0;
        for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
            ++n;
        return n;
    }
    std::unique_ptr<sim::SimWorld> world;
    std::unique_ptr<sim::Bike> bike;
};

TEST_F(Learning, ThePlayersSectionsAreOfferedAndARepeatIsADuplicate)
{
    load_lines("t", k_skill_amateur, straight_course(2, 2));
    set_up_rider(0, k_player_personality, 0, 0, 1);
    // Through gates 0, 1 and 2: sections 0 and 1 are offered.
    ride(0, 0, 800);
    EXPECT_EQ(rider_state(0).section, 3);
    const LineSlot& first = slot_of(0, 0);
    ASSERT_TRUE(first.filled());
    // A point every 32 ticks from the start on, the gate's tick included.
    EXPECT_EQ(first.points.size(), static_cast<std::size_t>(first.time1 / 32 + 1));
    EXPECT_NEAR(first.time1, 200, 8);   // 100 ft at 64 ft/s, less the wheel's lead
    EXPECT_NEAR(first.time2, 400, 8);
    EXPECT_FLOAT_EQ(first.points[1].speed, k_speed);
    EXPECT_FLOAT_EQ(first.points[1].z - first.points[0].z, -32 * k_speed / 128);
    EXPECT_NEAR(slot_of(1, 0).time1, 200, 1);
    EXPECT_FALSE(slot_of(2, 0).filled());

    // The same ride again offers the same samples.
    set_up_rider(0, k_player_personality, 0, 0, 1);
    ride(0, 0, 800);
    EXPECT_FALSE(slot_of(0, 1).filled());
    const std::string log = log_text();
    EXPECT_EQ(count(log, "rejected (duplicate)"), 2);
    EXPECT_NE(log.find("auto pilot: 1 stored in slot 0"), std::string::npos);
}

TEST_F(Learning, ADabCancelsItsSection)
{
    load_lines("t", k_skill_amateur, straight_course(2, 2));
    set_up_rider(0, k_player_personality, 0, 0, 1);
    ride(0, 0, 250);        // into section 1
    bike->controls.dab_mark = 1;
    learn(0, 250);
    ride(0, 251, 800);
    EXPECT_TRUE(slot_of(0, 0).filled());
    EXPECT_FALSE(slot_of(1, 0).filled());
    EXPECT_NE(log_text().find("auto pilot: 1 canceled\n"), std::string::npos);
    EXPECT_EQ(bike->controls.dab_mark, 0);
}

TEST_F(Learning, TheTimeTrialHandsOverItsLapAtTheLapEnd)
{
    // One first-lap gate, then laps of gates 1 and 2 (lap ends at gates 0, 2, 4).
    load_lines("t", k_skill_novice, straight_course(1, 2));
    set_up_rider(0, k_player_personality, 0, 0, 1);
    ride(0, 0, 260);  // the first lap ends at gate 0: nothing known of the next section yet
    ASSERT_EQ(rider_state(0).section, 1);
    EXPECT_FALSE(offer_lap(0, rider_state(0).section_start[1]));
    ride(0, 260, 660);  // through gates 1 and 2 (the second lap's end)
    ASSERT_EQ(rider_state(0).section, 3);
    // Offered at once with the time through section 1 as its sequel.
    EXPECT_TRUE(offer_lap(0, rider_state(0).section_start[3]));
    ASSERT_TRUE(slot_of(2, 0).filled());
    EXPECT_NEAR(slot_of(2, 0).time1, 200, 1);
    EXPECT_NEAR(slot_of(2, 0).time2, slot_of(2, 0).time1 + 200, 1);
    // Back through gate 1, which ends the next lap's first section: section
    // 2 is not offered again.
    for (int tick = 660; tick < 900; ++tick) {
        sim::place_bike(*bike, {0, 3, -150 - static_cast<float>(tick - 660) * k_speed / 128}, 0);
        learn(0, tick);
    }
    EXPECT_EQ(rider_state(0).section, 4);
    EXPECT_EQ(count(log_text(), "auto pilot: 2 "), 1);
}

TEST_F(Learning, ARobotsAttemptsFeedItsLinesStatistics)
{
    load_lines("t", k_skill_expert, straight_course(2, 2));
    // The player lays down sections 0 and 1 first.
    set_up_rider(0, k_player_personality, 0, 0, 1);
    ride(0, 0, 800);
    ASSERT_TRUE(slot_of(1, 0).filled());

    // The line through section 1 held to 60 ft/s.
    LineSlot& line = slot_of(1, 0);
    for (LinePoint& p : line.points)
        p.speed = 60;
    struct Case {
        const char* name;
        float x, speed;
        bool success;
    };
    const Case cases[] = {
        {"on the line at its pace", 0, 60, true},
        {"the line at 15/16 of the robot's pace", 0, 64, true},
        {"faster still", 0, 64.5f, false},
        {"3.5 ft beside it", 3.5f, 60, true},
        {"4.5 ft beside it", 4.5f, 60, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const int tests = line.tests, failures = line.failures;
        const long long sum2 = line.sum2;
        set_up_rider(1, 2, 0, 0, 7);
        ride(1, 0, 300, c.x, c.speed);  // through gate 0
        RiderState& r = rider_state(1);
        ASSERT_EQ(r.section, 1);
        r.line_section = 1;
        r.line_slot = 0;
        r.line_id = line.id;
        r.driver.position = static_cast<int>(line.points.size()) - 1;
        ride(1, 300, 500, c.x, c.speed);  // through gate 1: judged
        EXPECT_EQ(line.failures, failures + (c.success ? 0 : 1));
        ride(1, 500, 700, c.x, c.speed);  // through gate 2: its time 2 arrives
        EXPECT_EQ(line.tests, tests + (c.success ? 1 : 0));
        if (c.success) {
            EXPECT_NEAR(line.sum2 - sum2, 400, 2);
            EXPECT_NEAR(line.best1, 200, 2);
        }
    }
    // A line picked for another section is not judged here.
    const int tests = line.tests, failures = line.failures;
    set_up_rider(1, 2, 0, 0, 7);
    ride(1, 0, 300);
    rider_state(1).line_section = 1;
    rider_state(1).line_slot = 0;
    rider_state(1).line_id = line.id;
    rider_state(1).section = 2;  // as if it had skipped ahead
    ride(1, 300, 700);
    EXPECT_EQ(line.tests, tests);
    EXPECT_EQ(line.failures, failures);
    // A rider the race did not set up learns nothing.
    ride(2, 0, 700);
    EXPECT_EQ(rider_state(2).section, 0);
    // Slots out of range stand for the nearest one.
    EXPECT_EQ(&rider_state(160), &rider_state(159));
    EXPECT_EQ(&rider_state(-1), &rider_state(0));
    // So does a personality out of range.
    set_up_rider(3, 999, 0, 0, 7);
    EXPECT_EQ(rider_state(3).personality, k_personality_count - 1);
}

TEST_F(Learning, ARobotPicksTheLineOfItsSectionEvenFromTheFirstSlot)
{
    load_lines("t", k_skill_expert, straight_course(2, 2));
    LineSlot& line = slot_of(0, 0);
    line.points = {{0, 0, 0, 40, 0}, {0, 0, -10, 40, 0}, {0, 0, -20, 40, 0}, {0, 0, -30, 40, 0}};
    line.id = next_line_id();
    line.tests = 5;
    line.sum1 = 1000;
    analyze_lines();
    set_up_rider(1, 2, 0, 0, 7);
    sim::place_bike(*bike, {0, 3, 0}, 0);
    RaceFacts f;
    sim::RiderInput in;
    auto_pilot_drive(1, *bike, f, in);
    EXPECT_EQ(rider_state(1).line_slot, 0);
    EXPECT_EQ(rider_state(1).line_id, line.id);
}

TEST_F(Learning, AFinishedRobotSlowsAlongTheRestOfItsLine)
{
    load_lines("t", k_skill_expert, straight_course(2, 2));
    LineSlot& line = slot_of(0, 0);
    line.points = {{0, 0, 0, 40, 0}, {0, 0, -10, 40, 0}, {0, 0, -20, 40, 0}, {0, 0, -30, 40, 0}};
    line.id = next_line_id();
    set_up_rider(1, 2, 0, 0, 7);
    RiderState& r = rider_state(1);
    r.line_section = 0;
    r.line_slot = 0;
    r.line_id = line.id;
    r.driver.position = 1;
    ride(1, 0, 2, 0, 0, true);
    ASSERT_TRUE(r.on_own_line);
    ASSERT_EQ(r.own_line.size(), 4u);
    // Point 1 has 2 of 3 left after it.
    test::expect_float_rows("own line", {{r.own_line[0].speed, 40}, {r.own_line[1].speed, 40 * 0.75f},
                                         {r.own_line[2].speed, 40 * 0.5f}, {r.own_line[3].speed, 40 * 0.25f}});
    EXPECT_FLOAT_EQ(line.points[3].speed, 40);  // the learnt line stays as it was
}

TEST_F(Learning, CourseDirectionFromLinesOrGates)
{
    // Lap entries marked 100000 and above are no section gates.
    track::TrackTiming marked = straight_course(2, 1);
    marked.first_lap[0] = track::k_autopilot_skip_flag;
    marked.first_lap_autopilot = 1;
    ASSERT_EQ(section_gates(marked).size(), 2u);
    EXPECT_FLOAT_EQ(section_gates(marked)[0].z, -200);

    sim::Vec3 d;
    load_lines("t", k_skill_expert, track::TrackTiming{});
    EXPECT_FALSE(course_direction({0, 0, 0}, d));
    load_lines("t", k_skill_expert, straight_course(1, 1));
    ASSERT_TRUE(course_direction({50, 0, -90}, d));
    EXPECT_FLOAT_EQ(d.z, -1);
    slot_of(1, 3).points = {{40, 0, -200, 1, 0}, {50, 0, -200, 1, 0}};
    ASSERT_TRUE(course_direction({50, 0, -90}, d));
    EXPECT_FLOAT_EQ(d.x, 1);
}

}  // namespace
}  // namespace zv::autopilot
