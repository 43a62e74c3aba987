// A robot's line choice: variant by lead, scores with the race-start boost
// and the first-section rule, the match of a line's start, and the pick.
#include "autopilot/line_choice.h"

#include "core/debug_level.h"
#include "support/data_folder_test.h"
#include "track/race_rules.h"

#include <gtest/gtest.h>

#include <cmath>

namespace zv::autopilot {
namespace {

class LineChoice : public test::DataFolderTest {
protected:
    LineChoice() { create_table(table, 1, 1); }
    ~LineChoice() override { core::set_debug_level(0); }
    LineSlot& put(int section, int slot, float x, int tests, long long sum1)
    {
        LineSlot& s = table.sections[static_cast<std::size_t>(section)].slots[static_cast<std::size_t>(slot)];
        s.points = {{x, 0, 0, 20, 0}, {x, 0, 3, 20, 0}};
        s.tests = tests;
        s.sum1 = sum1;
        s.id = next_line_id();
        return s;
    }
    LineTable table;
};

TEST_F(LineChoice, VariantByLead)
{
    const Personality& corwin = personalities()[2];
    EXPECT_EQ(choose_variant(corwin, 0), 2);
    EXPECT_EQ(choose_variant(corwin, 10), 2);
    EXPECT_EQ(choose_variant(corwin, 10.5f), 1);

    track::TrackTiming t;
    t.checkpoints = {{10, 0, 0, 0, 1, 0, 0}, {10, 50, 0, 0, 1, 0, 0}};
    t.first_lap = {0};
    t.normal_lap = {1};
    t.first_lap_autopilot = t.normal_lap_autopilot = 1;
    track::set_track_timing(t);
    track::RaceSetup setup;
    setup.laps = 10;
    track::begin_race(setup);
    track::set_rider(3, {});
    EXPECT_EQ(race_lead_seconds(3), 0);  // alone in the race
    track::set_rider(5, {});
    track::set_gate_time(3, 0, 0);
    track::set_gate_time(3, 1, 200);
    track::set_gate_time(5, 0, 256);
    track::update_standings(400);
    EXPECT_FLOAT_EQ(race_lead_seconds(3), 2.0f);  // both at gate 0: 256 ticks apart
    EXPECT_EQ(race_lead_seconds(5), 0);           // not leading
    track::set_gate_time(5, 0, -1);               // the second rider's passage lost
    track::update_standings(400);
    EXPECT_EQ(race_lead_seconds(3), 0);
    track::free_timing();
}

TEST_F(LineChoice, ScoresFromChainsWithThePlanAndTheFirstSection)
{
    // Sections 0, 1 and 2; nothing learnt past section 1, so chains end there.
    create_table(table, 1, 2);
    for (int section : {0, 1}) {
        put(section, 0, 0, 5, 500);   // 100 a run
        put(section, 1, 9, 5, 1000);  // 200
    }
    table.sections[1].planned[0] = 1;
    // Each line of section 0 runs on into its namesake.
    table.sections[0].links[0] = 1;
    table.sections[0].links[1] = 2;
    struct Case {
        long long k;
        int variant;
        float seconds;
        float score0, score1;
    };
    const Case cases[] = {
        {1, 0, 30, 1, 0.5f},     // before 40 s the plan adds nothing
        {1, 0, 50, 1, 0.75f},    // halfway to 60 s: half the way to 1
        {3, 0, 70, 1, 1},        // a later lap, fully raised
        {1, 3, 70, 1, 1},        // exploring: both cost 7000, no plan
        {0, 0, 70, 1, 0.9f},     // the race's first section: 200 against 400, 0.8 + 0.2 x 0.5
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "k " << c.k << " variant " << c.variant << " at " << c.seconds);
        LineScores s;
        line_scores(table, c.k, c.variant, c.seconds, s);
        EXPECT_FLOAT_EQ(s[0], c.score0);
        EXPECT_FLOAT_EQ(s[1], c.score1);
        EXPECT_EQ(s[44], 0);
    }
    // Exploring follows no plan: two failures make slot 0 a line of 13
    // tries (8000 against 7000), and nothing raises it.
    table.sections[1].slots[0].failures = 2;
    LineScores exploring;
    line_scores(table, 1, 3, 70, exploring);
    EXPECT_FLOAT_EQ(exploring[0], 0.875f);
    EXPECT_FLOAT_EQ(exploring[1], 1);
    table.sections[1].slots[0].failures = 0;
    // A plan whose line is gone raises nothing.
    table.sections[1].planned[0] = 7;
    LineScores planned_gone;
    line_scores(table, 1, 0, 70, planned_gone);
    EXPECT_EQ(planned_gone[7], 0);
    EXPECT_FLOAT_EQ(planned_gone[1], 0.5f);
    // A chain cost below 1 counts as 1.
    put(1, 2, 20, 5, 2);
    LineScores s;
    line_scores(table, 1, 0, 0, s);
    EXPECT_FLOAT_EQ(s[2], 1);
    EXPECT_FLOAT_EQ(s[0], 0.01f);
}

TEST_F(LineChoice, MatchOfALineStart)
{
    LineSlot line;
    line.points = {{4, 0, 0, 20, 0}, {4, 0, 3, 20, 0}};
    // d1 = 4, d2 = 5: b = (5 - |2 - 4|) / 3.5 x (3 - 1) / 2; a = (15 + 20 - 32) / 5.
    EXPECT_NEAR(line_match(line, {0, 7, 0}, 32, 2), 0.6 * std::pow(3 / 3.5, 3), 1e-6);
    EXPECT_FLOAT_EQ(line_match(line, {0, 0, 0}, 30, 4), 1);
    EXPECT_FLOAT_EQ(line_match(line, {0, 0, 0}, 40, 4), 0);   // far too fast for it
    EXPECT_FLOAT_EQ(line_match(line, {0, 0, 0}, 30, 9.5f), 0);  // 5.5 ft off the distance
    // A line of one point: both distances to it.
    LineSlot dot;
    dot.points = {{4, 0, 0, 20, 0}};
    EXPECT_FLOAT_EQ(line_match(dot, {0, 0, 0}, 30, 4), 1);
    EXPECT_FLOAT_EQ(match_distance(40), 5);
    EXPECT_FLOAT_EQ(match_distance(-8), 1);
}

TEST_F(LineChoice, PickWeighsScoreByFreshness)
{
    core::set_debug_level(1);
    put(0, 0, 500, 5, 500).last_picked = 1000 - 192;  // 1.5 s ago: half its score
    put(0, 1, 500, 5, 500);
    put(0, 2, 500, 5, 500);
    LineScores scores{};
    scores[0] = 1;
    scores[1] = 0.4f;
    scores[2] = 0.6f;
    EXPECT_EQ(pick_line(table, 0, scores, {0, 0, 0}, 20, 1000), 2);
    EXPECT_EQ(table.sections[0].slots[2].last_picked, 1000);
    // Equal values: the earlier slot.
    scores[0] = 0;
    scores[1] = 0.6f;
    table.sections[0].slots[2].last_picked = k_never_picked;
    EXPECT_EQ(pick_line(table, 0, scores, {0, 0, 0}, 20, 2000), 1);
    EXPECT_EQ(pick_line(table, 1, scores, {0, 0, 0}, 20, 2000), -1);  // no lines
    EXPECT_EQ(pick_line(table, table.section_count(), scores, {0, 0, 0}, 20, 2000), -1);
    scores[0] = 0.9f;
    EXPECT_EQ(pick_line(table, 0, scores, {0, 0, 0}, 20, 3000), 0);
    EXPECT_NE(log_text().find("auto pilot: picking 2 score = 0.600000 match = 0.000000 last_picked = "),
              std::string::npos);
}

}  // namespace
}  // namespace zv::autopilot
