// The track-camera ticker's line from the running standings: positions,
// numbers, gaps to the leader at the last gate both passed, the leader's lap.
#include "app/hud.h"

#include "app/main_loop.h"
#include "app/race_session.h"
#include "track/race_rules.h"

#include "mini_session_fixture.h"

#include <gtest/gtest.h>

#include <array>

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
    // The pit board's gap to the rider ahead counts from the first gate on.
    const struct {
        int slot, index;
        double gap;
    } boards[] = {{0, 0, 0.0}, {5, 1, 0.5}, {9, -1, 0.0}};
    for (const auto& b : boards) {
        int index = -2;
        EXPECT_DOUBLE_EQ(gap_to_rider_ahead(b.slot, track::running_standings(), index), b.gap) << b.slot;
        EXPECT_EQ(index, b.index) << b.slot;
    }
    // The warp restarts the race, the grid turned by one, only once the
    // leader has run every lap.
    const std::array<int, race::k_rider_slot_count> grid = race::starting_grid();
    warp_restart_if_finished(g);
    EXPECT_EQ(race::starting_grid(), grid);
    // Both laps run: no lap any more.
    track::set_gate_time(0, 2, 2600);
    track::set_gate_time(0, 3, 2900);
    track::update_standings(3000);
    EXPECT_EQ(ticker_text().substr(0, 2), "1 ");
    warp_restart_if_finished(g);
    EXPECT_EQ(race::starting_grid()[0], grid[1]);
    EXPECT_EQ(race::starting_grid().back(), grid[0]);
    race::starting_grid() = grid;
}

}  // namespace
}  // namespace zv::app
