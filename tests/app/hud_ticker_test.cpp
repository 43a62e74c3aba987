// The track-camera ticker's line from the running standings: positions,
// numbers, gaps to the leader at the last gate both passed, the leader's lap.
#include "app/hud.h"

#include "app/main_loop.h"
#include "app/race_session.h"
#include "track/race_rules.h"

#include "mini_session_fixture.h"

#include <gtest/gtest.h>

namespace zv::app {
namespace {

class Ticker : public test::MiniTrackSession {};

TEST_F(Ticker, GapsToTheLeaderAtTheLastSharedGate)
{
    // A lap of two checkpoints, a race of 2 laps.
    time_two_checkpoint_laps();
    Game g;
    ASSERT_TRUE(load_player_race(g, 2));
    track::RiderEntry other;
    other.number = "77";
    track::set_rider(5, other);
    const std::string& mine = track::race_state().entries[0].number;

    track::update_standings(2000);
    EXPECT_EQ(ticker_text(), "Lap 1    1 " + mine + "   0.000    2  77   0.000") << "nobody started";
    // The leader has run a lap (both checkpoints); the other passed the
    // first checkpoint 0.5 s after it.
    track::set_gate_time(0, 0, 2000);
    track::set_gate_time(0, 1, 2300);
    track::set_gate_time(5, 0, 2064);
    track::update_standings(2400);
    EXPECT_EQ(ticker_text(), "Lap 2    1 " + mine + "   0.000    2  77   0.500");
    // Both laps run: no lap any more.
    track::set_gate_time(0, 2, 2600);
    track::set_gate_time(0, 3, 2900);
    track::update_standings(3000);
    EXPECT_EQ(ticker_text().substr(0, 2), "1 ");
}

}  // namespace
}  // namespace zv::app
