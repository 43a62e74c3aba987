// The race tick stores every locally simulated rider's state on every
// fourth tick, and a new session starts with an empty history.
#include "race/session.h"

#include "race/race_tick.h"
#include "race/riders.h"
#include "core/messages.h"
#include "core/settings.h"
#include "platform/log.h"
#include "replay/history.h"
#include "track/terrain.h"
#include "track/track.h"
#include "mini_race_fixture.h"

#include <gtest/gtest.h>

#include <vector>

namespace zv::race {
namespace {

class RaceHistory : public test::MiniRace {
protected:
    ~RaceHistory() override
    {
        replay::clear_history();
    }

    static std::vector<int> ticks_newest_first(int slot)
    {
        const replay::SlotHistory& h = *replay::slot_history(slot);
        std::vector<int> out;
        for (int k = 0, i = h.head; k < replay::k_history_length; ++k) {
            int t = h.ring[static_cast<std::size_t>(i)].tick;
            if (t == replay::k_empty_tick)
                break;
            out.push_back(t);
            i = i == 0 ? replay::k_history_length - 1 : i - 1;
        }
        return out;
    }

};

TEST_F(RaceHistory, EveryFourthTickStoresTheLocalRiders)
{
    GateKinds kinds{};
    kinds[1] = k_gate_human;
    kinds[3] = k_gate_robot;
    SessionRequest req = request(&kinds);
    ASSERT_TRUE(load_session(req));
    ASSERT_TRUE(rider_slot(1).bike);
    ASSERT_TRUE(rider_slot(3).bike);
    sim::SimWorld* world = physics_world();
    ASSERT_NE(world, nullptr);
    for (int i = 0; i < 9; ++i)
        race_tick();
    EXPECT_EQ(world->tick, 9);
    for (int slot : {1, 3}) {
        EXPECT_EQ(ticks_newest_first(slot), (std::vector<int>{8, 4, 0})) << slot;
        EXPECT_EQ(replay::slot_history(slot)->unwritten, 3);
    }
    for (int slot : {0, 2, 4, 159})
        EXPECT_TRUE(ticks_newest_first(slot).empty()) << slot;

    // The stored record is the bike as it stood after tick 8.
    const replay::SlotHistory& h = *replay::slot_history(1);
    const replay::StateRecord& r = h.ring[static_cast<std::size_t>(h.head)].record;
    EXPECT_TRUE(replay::record_is_sampled(r));
    const replay::RecordScale s = replay::record_scale(track::loaded_terrain(), rider_slot(1).bike->info);
    for (int i = 0; i < 3; ++i)
        race_tick();  // ticks 9-11 move the bike but store nothing
    EXPECT_EQ(ticks_newest_first(1).front(), 8);
    sim::Vec3 p = replay::record_frame_position(r, s);
    sim::Vec3 start = rider_slot(1).start;
    EXPECT_NEAR(p.x, start.x, 0.5);
    EXPECT_NEAR(p.z, start.z, 0.5);
    race_tick();
    EXPECT_EQ(ticks_newest_first(1).front(), 12);

    // A new session starts from nothing.
    ASSERT_TRUE(load_session(req));
    EXPECT_TRUE(ticks_newest_first(1).empty());
    EXPECT_TRUE(ticks_newest_first(3).empty());
    EXPECT_EQ(replay::slot_history(1)->unwritten, 0);
}

TEST_F(RaceHistory, ATimeTrialStoresFromItsLateStart)
{
    ASSERT_TRUE(load_session(request(nullptr)));  // no gate table: a time trial
    ASSERT_TRUE(rider_slot(0).bike);
    const int first = physics_world()->tick;
    for (int i = 0; i < 5; ++i)
        race_tick();
    std::vector<int> t = ticks_newest_first(0);
    ASSERT_FALSE(t.empty());
    for (int tick : t) {
        EXPECT_EQ(tick % 4, 0);
        EXPECT_GE(tick, first);
        EXPECT_LT(tick, first + 5);
    }
}

}  // namespace
}  // namespace zv::race
