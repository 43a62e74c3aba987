// The world view's scenery clock: the flaggers follow the tick counter from
// the race's loading, so the starter shows his boards and walks off while
// the riders wait at the gate.
#include "app/world_view.h"

#include "app/race_session.h"
#include "track/race_rules.h"
#include "track/scenery.h"
#include "track/scenery_flaggers.h"

#include "mini_session_fixture.h"

#include <gtest/gtest.h>

namespace zv::app {
namespace {

class FlaggerClock : public test::MiniTrackSession {};

TEST_F(FlaggerClock, TheStarterWalksOffOnTheTickCounterBeforeTheGateDrops)
{
    // A lap of two checkpoints (flaggers move only on a timed track) and a
    // starter who walks from x 10 to x 16 in 2 s.
    time_two_checkpoint_laps();
    put("flaggers", "[10 0 20] [16 2 20] 3 0.5 2 s0 s1 s2 s3 s4\n");
    Game g;
    ASSERT_TRUE(load_player_race(g, 3));
    ASSERT_GE(track::race_state().start_tick, 13 * 128);
    const std::optional<track::Starter>& starter = track::flaggers().starter;
    ASSERT_TRUE(starter);

    // 5.5 s after loading: the third board, still at his place.
    update_flaggers_at(5 * 128 + 64);
    EXPECT_EQ(starter->shown, 2);
    EXPECT_FLOAT_EQ(track::billboard(starter->billboard).x, 10);
    // 7 s: half way off, with the fourth board.
    update_flaggers_at(7 * 128);
    EXPECT_EQ(starter->shown, 3);
    EXPECT_FLOAT_EQ(track::billboard(starter->billboard).x, 13);
    // 8 s: gone to his end, the last board, before the gate drops.
    update_flaggers_at(8 * 128);
    EXPECT_EQ(starter->shown, 4);
    EXPECT_FLOAT_EQ(track::billboard(starter->billboard).x, 16);
}

}  // namespace
}  // namespace zv::app
