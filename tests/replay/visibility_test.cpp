// The visibility test: empty and local slots, a history that does not reach
// now, stale network riders, and the off-course rule on hand-made gate times
// (course of the race-rule tests: first lap 0 1 2, later laps 3 4 2).
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <utility>
#include <vector>

#include "replay/history.h"
#include "replay/visibility.h"
#include "track/race_rules_fixture.h"

namespace zv::replay {
namespace {

class Visibility : public test::RaceCourse {
protected:
    std::array<SlotDriver, k_history_slots> drivers{};

    void SetUp() override
    {
        RaceCourse::SetUp();
        clear_history();
        clear_network_bookkeeping();
        reset_off_course_parameters();
        drivers.fill(SlotDriver::empty);
    }
    void TearDown() override
    {
        clear_history();
        clear_network_bookkeeping();
        reset_off_course_parameters();
        RaceCourse::TearDown();
    }

    VisibilityContext offline(int tick)
    {
        VisibilityContext c;
        c.tick = tick;
        c.race_start_tick = k_start;
        c.drivers = drivers.data();
        c.own_slot = 0;
        c.viewed_slot = 0;
        return c;
    }
    VisibilityContext online(int tick)
    {
        VisibilityContext c = offline(tick);
        c.on_server = true;
        return c;
    }
    // A fresh history and a fresh received state at the tick.
    static void fresh(int slot, int tick)
    {
        add_state_to_history(slot, StateRecord{}, tick - 4);
        add_state_to_history(slot, StateRecord{}, tick);
        note_received_state(slot, static_cast<std::uint32_t>(tick));
    }
    // Three riders online: this client in slot 0, opponents in 1 and 2.
    void three_riders()
    {
        drivers[0] = SlotDriver::local;
        drivers[1] = SlotDriver::remote;
        drivers[2] = SlotDriver::remote;
        start(0, 3, true);
        join(0, track::RiderSource::local);
        join(1, track::RiderSource::remote);
        join(2, track::RiderSource::remote);
        // The leader takes 1 s from gate 0 to gate 1.
        stamp_all(2, {1100, 1228, 1356});
        stamp_all(0, {1110, 1240, 1370});
    }
};

TEST_F(Visibility, EmptyAndLocalSlots)
{
    for (int slot : {5, -1, 160})                           // empty, no slot
        EXPECT_TRUE(is_rider_hidden(slot, offline(2000))) << slot;
    drivers[5] = SlotDriver::local;
    drivers[6] = SlotDriver::local;
    EXPECT_FALSE(is_rider_hidden(5, offline(2000)));        // no history needed
    VisibilityContext spectator = online(2000);
    spectator.spectating = true;
    spectator.viewed_slot = 6;
    EXPECT_TRUE(is_rider_hidden(5, spectator));
    EXPECT_FALSE(is_rider_hidden(6, spectator));
}

TEST_F(Visibility, HistoryMustReachWithinASecond)
{
    drivers[3] = SlotDriver::replayed;
    EXPECT_TRUE(is_rider_hidden(3, offline(2000)));         // empty history
    add_state_to_history(3, StateRecord{}, 2000);
    add_state_to_history(3, StateRecord{}, 2004);
    for (auto [tick, hidden] : {std::pair{2002, false}, {2004 + 128, false}, {2004 + 129, true}, {2000 - 128, false},
                                {2000 - 129, true}})
        EXPECT_EQ(is_rider_hidden(3, offline(tick)), hidden) << tick;
    // Without a driver table every slot counts as replayed.
    VisibilityContext bare = offline(2002);
    bare.drivers = nullptr;
    EXPECT_FALSE(is_rider_hidden(3, bare));
    EXPECT_TRUE(is_rider_hidden(4, bare));
}

TEST_F(Visibility, StaleNetworkRidersAreHidden)
{
    drivers[0] = SlotDriver::local;
    drivers[1] = SlotDriver::remote;
    drivers[2] = SlotDriver::replayed;
    add_state_to_history(1, StateRecord{}, 1996);
    add_state_to_history(1, StateRecord{}, 2000);
    add_state_to_history(2, StateRecord{}, 2000);
    EXPECT_TRUE(is_rider_hidden(1, online(2000)));          // nothing received yet
    EXPECT_FALSE(is_rider_hidden(1, offline(2000)));        // off-line it does not matter
    note_received_state(1, 1900);
    for (auto [tick, hidden] : {std::pair{1900 + 127, false}, {1900 + 128, true}, {1880, false}})  // 1880: received ahead
        EXPECT_EQ(is_rider_hidden(1, online(tick)), hidden) << tick;
    EXPECT_FALSE(is_rider_hidden(2, online(2100)));         // a replayed rider has no network age
    // No rider of its own on the server: nothing beyond the history counts.
    VisibilityContext no_rider = online(1900 + 128);
    no_rider.own_slot = 160;
    EXPECT_FALSE(is_rider_hidden(1, no_rider));
}

TEST_F(Visibility, OffCourseAtAGate)
{
    // Against the leader's 1 s from gate 0 to gate 1: off course from
    // 1.5 x 1 s + 10 s = 11.5 s (1472 ticks) on.
    const struct {
        std::vector<int> ticks;  // slot 1's gate times
        int now, gate;
        bool off;
    } cases[] = {
        // Gate 1 not reached: from its gate-0 time to now.
        {{1120}, 1120 + 1471, 1, false},
        {{1120}, 1120 + 1472, 1, true},
        {{1120}, 9999, 0, false},  // no gate before 0
        {{1120}, 9999, 3, false},  // nobody has passed gate 3: no leader to measure by
        // Gate 1 passed over: from gate 0 to the gate-2 time.
        {{1120, -1, 1300}, 9999, 2, false},
        {{1120, -1, 1120 + 1472}, 3000, 2, true},
        // No time at gate 0 either: from the race start.
        {{-1, -1, k_start + 1471}, 3000, 2, false},
        {{-1, -1, k_start + 1472}, 3000, 2, true},
    };
    for (const auto& c : cases) {
        three_riders();
        stamp_all(1, c.ticks);
        track::update_standings(std::min(c.now, 3000));
        EXPECT_EQ(off_course_at_gate(1, c.gate, c.now, k_start), c.off) << c.gate << " " << c.now;
    }
    // A leader that took a passed-over gate back stands at that gate again: it
    // has not passed it, whatever time its next position still holds.
    three_riders();
    stamp_all(2, {1100, 1228, 1356, -1, 1500});
    pass(2, 3, 1600);
    ASSERT_EQ(track::rider_position(2), 4);
    stamp_all(1, {1120});
    track::update_standings(1700);
    EXPECT_FALSE(off_course_at_gate(1, 4, 9999, k_start));
}

TEST_F(Visibility, OffCourseRiderIsHiddenOnline)
{
    three_riders();
    stamp_all(1, {1120});
    track::update_standings(1400);
    for (int tick : {2591, 2592}) {
        fresh(1, tick);
        fresh(2, tick);
    }
    EXPECT_FALSE(is_rider_hidden(1, online(2591)));
    EXPECT_TRUE(is_rider_hidden(1, online(2592)));
    EXPECT_FALSE(is_rider_hidden(2, online(2592)));
    EXPECT_FALSE(is_rider_hidden(1, offline(2592)));        // off-line: shown

    // The server's parameters: 1 x 1 s + 2 s.
    set_off_course_parameters(2.0, 1.0);
    EXPECT_EQ(std::pair(off_course_bias(), off_course_scale()), std::pair(2.0, 1.0));
    fresh(1, 1504);
    EXPECT_TRUE(is_rider_hidden(1, online(1504)));
    fresh(1, 1503);
    EXPECT_FALSE(is_rider_hidden(1, online(1503)));
    reset_off_course_parameters();
    EXPECT_EQ(std::pair(off_course_bias(), off_course_scale()), std::pair(10.0, 1.5));
}

TEST_F(Visibility, OffCourseRuleWaitsAndYields)
{
    three_riders();
    stamp_all(1, {1120});
    track::update_standings(1400);
    fresh(1, 2592);
    EXPECT_TRUE(is_rider_hidden(1, online(2592)));
    // The rule waits off_course_bias seconds after the start: with the
    // start at 1400 only 1192 ticks (9.3 s) have passed.
    VisibilityContext early = online(2592);
    early.race_start_tick = 1400;
    EXPECT_FALSE(is_rider_hidden(1, early));
    early.race_start_tick = 1312;                           // 1280 ticks: 10 s
    EXPECT_TRUE(is_rider_hidden(1, early));

    // When this client's own rider is off course itself, everybody shows.
    three_riders();
    stamp_all(0, {1110});
    stamp_all(1, {1120});
    track::update_standings(1400);
    fresh(1, 2600);
    EXPECT_FALSE(is_rider_hidden(1, online(2600)));

    // Fewer than two riders in the standings: no rule.
    drivers.fill(SlotDriver::empty);
    drivers[0] = SlotDriver::local;
    drivers[1] = SlotDriver::remote;
    start(0, 3, true);
    join(1, track::RiderSource::remote);
    stamp_all(1, {1120});
    track::update_standings(1400);
    fresh(1, 2600);
    EXPECT_FALSE(is_rider_hidden(1, online(2600)));
}

TEST_F(Visibility, FinishedRidersAreHiddenUntilTheLocalRiderFinishes)
{
    three_riders();
    // Slot 2 completes the 3 laps: lap positions 0 ... 8.
    stamp_all(2, {1100, 1228, 1356, 1484, 1612, 1740, 1868, 1996, 2124});
    stamp_all(1, {1120, 1250, 1380, 1510, 1640, 1770, 1900, 2030, 2160});
    stamp_all(0, {1110, 1240, 1370, 1500, 1630, 1760, 1890, 2020});
    track::update_standings(2200);
    ASSERT_TRUE(track::is_finished(2));
    ASSERT_TRUE(track::is_finished(1));
    ASSERT_FALSE(track::is_finished(0));
    fresh(1, 2200);
    fresh(2, 2200);
    // Tick 2200 is 9.4 s after the start; the rule waits 10 s.
    EXPECT_FALSE(is_rider_hidden(1, online(2200)));
    VisibilityContext later = online(2200);
    later.race_start_tick = 900;                            // 10.2 s
    EXPECT_TRUE(is_rider_hidden(1, later));
    EXPECT_TRUE(is_rider_hidden(2, later));
    track::set_gate_time(0, 8, 2190);
    track::update_standings(2200);
    ASSERT_TRUE(track::is_finished(0));
    EXPECT_FALSE(is_rider_hidden(1, later));
    EXPECT_FALSE(is_rider_hidden(2, later));
}

}  // namespace
}  // namespace zv::replay
