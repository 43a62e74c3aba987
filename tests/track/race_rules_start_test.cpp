// The starting gates' drop and the false-start rule of online races.
#include "track/start_gate.h"

#include "core/messages.h"
#include "race_rules_fixture.h"
#include "track/scenery.h"
#include "support/expect_rows.h"

#include <gtest/gtest.h>

#include <cmath>

namespace zv::track {
namespace {

class StartGate : public test::RaceCourse {
protected:
    void SetUp() override
    {
        RaceCourse::SetUp();
        core::clear_messages();
        StartingGate g;
        g.heading = 0.5f;
        mutable_track_timing().gates = {g, g};
        reset_gate_states();
    }
    void TearDown() override
    {
        clear_scenery();
        RaceCourse::TearDown();
    }
};

TEST_F(StartGate, BarsFallFromTheStartTick)
{
    ASSERT_EQ(gate_states().size(), 2u);
    EXPECT_EQ(gate_drop_tick(), k_start);
    update_gate_drop(k_start - 1);
    EXPECT_EQ(gate_states()[0].raise, 1.0f);
    EXPECT_FLOAT_EQ(gate_bar_angle(0), 0.5890486f);

    // 32 per second squared, 128 ticks per second: the speed grows by 1/4
    // each tick and the bar drops by speed / 128.
    update_gate_drop(k_start);
    EXPECT_EQ(gate_states()[0].fall_speed, 0.25f);
    EXPECT_EQ(gate_states()[0].raise, 1.0f - 0.25f / 128);
    update_gate_drop(k_start + 1);
    EXPECT_EQ(gate_states()[0].raise, 1.0f - 0.75f / 128);
    for (int tick = k_start + 2; tick <= k_start + 30; ++tick)
        update_gate_drop(tick);
    // After 31 ticks: 1 - 0.25 * (1 + ... + 31) / 128 = 4 / 128.
    EXPECT_EQ(gate_states()[0].raise, 4.0f / 128);
    EXPECT_EQ(gate_states()[0].fall_speed, 7.75f);
    update_gate_drop(k_start + 31);
    EXPECT_EQ(gate_states()[0].raise, 0.0f);  // never below the ground
    EXPECT_EQ(gate_states()[0].fall_speed, 8.0f);
    update_gate_drop(k_start + 32);
    EXPECT_EQ(gate_states()[0].fall_speed, 8.0f);  // capped
    EXPECT_EQ(gate_bar_angle(1), 0.0f);
}

TEST_F(StartGate, TouchedBarHoldsForThatTick)
{
    update_gate_drop(k_start);
    update_gate_drop(k_start + 1);
    const float raised = gate_states()[1].raise;
    stamp_gate_touch(1, k_start + 2);
    stamp_gate_touch(7, k_start + 2);   // no such gate
    stamp_gate_touch(-1, k_start + 2);
    update_gate_drop(k_start + 2);
    EXPECT_EQ(gate_states()[1].raise, raised);
    EXPECT_EQ(gate_states()[1].fall_speed, 0.0f);
    EXPECT_LT(gate_states()[0].raise, raised);
    // Falling again from rest.
    update_gate_drop(k_start + 3);
    EXPECT_EQ(gate_states()[1].fall_speed, 0.25f);
    EXPECT_EQ(gate_states()[1].raise, raised - 0.25f / 128);
}

TEST_F(StartGate, GateObjectTurnsWithTheBar)
{
    const int object = create_track_object(10, 0, 20, 0.5f, "null", "null", "null");
    mutable_track_timing().gates[0].object = object;
    mutable_track_timing().gates[1].object = 99;  // not an object: left alone
    update_gate_drop(k_start - 1);
    const auto expected = gate_rotation(0.5f, 0.5890486f);
    for (int i = 0; i < 9; ++i)
        EXPECT_FLOAT_EQ(track_object(object).rotation[static_cast<std::size_t>(i)],
                        expected[static_cast<std::size_t>(i)]);
    // A bike against the object holds the bar like a stamp.
    update_gate_drop(k_start);
    const float raised = gate_states()[0].raise;
    track_object(object).last_contact_tick = k_start + 1;
    update_gate_drop(k_start + 1);
    EXPECT_EQ(gate_states()[0].raise, raised);
    EXPECT_LT(gate_states()[1].raise, raised);
    // Down: only the heading is left.
    for (int tick = k_start + 2; tick < k_start + 200; ++tick)
        update_gate_drop(tick);
    const auto down = gate_rotation(0.5f, 0);
    const auto& rotation = track_object(object).rotation;
    test::expect_float_rows("down", {{rotation[0], std::cos(0.5f)}, {rotation[2], std::sin(0.5f)}, {rotation[4], 1},
                                     {down[5], 0}});
}

TEST(GateRotation, TurnsAboutTheGatesOwnXAxis)
{
    // A point up the bar, local (0, 1, 0).
    auto apply = [](const std::array<float, 9>& m, float x, float y, float z) {
        return std::array<float, 3>{m[0] * x + m[1] * y + m[2] * z, m[3] * x + m[4] * y + m[5] * z,
                                    m[6] * x + m[7] * y + m[8] * z};
    };
    const float a = 0.5890486f;
    auto p = apply(gate_rotation(0, a), 0, 1, 0);
    EXPECT_NEAR(p[0], 0, 1e-6);
    EXPECT_NEAR(p[1], std::cos(a), 1e-6);
    EXPECT_NEAR(p[2], std::sin(a), 1e-6);
    // Facing a quarter turn round: the tilt goes along +x.
    p = apply(gate_rotation(1.5707963f, a), 0, 1, 0);
    EXPECT_NEAR(p[0], std::sin(a), 1e-6);
    EXPECT_NEAR(p[1], std::cos(a), 1e-6);
    EXPECT_NEAR(p[2], 0, 1e-6);
    // The x axis stays where the heading puts it.
    p = apply(gate_rotation(1.5707963f, a), 1, 0, 0);
    EXPECT_NEAR(p[0], 0, 1e-6);
    EXPECT_NEAR(p[2], -1, 1e-6);
}

TEST_F(StartGate, SpectatorsOnlineSeeTheDropLater)
{
    RaceSetup s;
    s.start_tick = 500;
    s.online = true;
    s.local_drives_rider = false;
    begin_race(s);
    EXPECT_EQ(gate_drop_tick(), 627);
    update_gate_drop(626);
    EXPECT_EQ(gate_states()[0].raise, 1.0f);
    update_gate_drop(627);
    EXPECT_LT(gate_states()[0].raise, 1.0f);
    s.local_drives_rider = true;
    begin_race(s);
    EXPECT_EQ(gate_drop_tick(), 500);
    EXPECT_EQ(gate_states()[0].raise, 1.0f);  // a new race puts the bars up
    EXPECT_TRUE(gate_contacts_active(500 + 1279));
    EXPECT_FALSE(gate_contacts_active(500 + 1280));
}

TEST_F(StartGate, FalseStartHoldsTheRiderFifteenSecondsAfterTheDrop)
{
    // Offline there is no such rule.
    EXPECT_FALSE(false_start_tick(k_start - 100, 100.0f));
    EXPECT_EQ(false_start_hold(), 0);

    start(0, 3, true);
    EXPECT_FALSE(false_start_tick(k_start - 100, 8.99f));
    EXPECT_EQ(core::messages_on_screen(), 0);
    // Three units out before the drop.
    EXPECT_TRUE(false_start_tick(k_start - 50, 9.0f));
    EXPECT_STREQ(core::message_line(0), "15 second false start penalty");
    EXPECT_EQ(false_start_hold(), 50 + 15 * 128 - 1);
    int held = 1;
    for (int tick = k_start - 49; false_start_tick(tick, 0); ++tick)
        ++held;
    // Held from the penalty up to 15 s after the drop: it leaves at S + 1920.
    EXPECT_EQ(held, 50 + 15 * 128);
    EXPECT_EQ(core::messages_on_screen(), 1);
    // After the start tick nothing counts; on it, moving still does.
    start(0, 3, true);
    EXPECT_FALSE(false_start_tick(k_start + 1, 100.0f));
    EXPECT_TRUE(false_start_tick(k_start, 9.5f));
}

}  // namespace
}  // namespace zv::track
