// The game's side of a race on a tiny track: the loader runs on the track
// chosen in the menus, the viewer starts on the player's bike (or the first
// occupied gate), and the hooks the game installs report the texture memory
// and the longest loading wait after the bikes.
#include "app/race_session.h"

#include "app/main_loop.h"
#include "race/riders.h"
#include "mini_session_fixture.h"

#include <gtest/gtest.h>

namespace zv::app {
namespace {

class RaceSession : public test::MiniTrackSession {
protected:
    std::string log_text() { return test::read_file(tmp_.str() + "log.txt").value_or(""); }

    bool load(const race::GateKinds* kinds)
    {
        race::SessionRequest req;
        req.gates = kinds;
        req.laps = 1000;
        return load_session(g, req);
    }

    Game g;
};

TEST_F(RaceSession, TheSelectedTrackTheViewerAndTheScreensReports)
{
    race::GateKinds kinds{};
    kinds[4] = race::k_gate_robot;
    kinds[7] = race::k_gate_human;
    ASSERT_TRUE(load(&kinds));
    EXPECT_EQ(g.viewed, 7);
    EXPECT_TRUE(viewed_is_local(g));
    EXPECT_FALSE(g.time_trial);
    std::string log = log_text();
    std::size_t at = log.find("] Loading bikes...done\n");
    ASSERT_NE(at, std::string::npos) << log;
    at = log.find("] 0 MB texture memory used\n", at);
    ASSERT_NE(at, std::string::npos) << log;
    EXPECT_NE(log.find("] Max loading delay was ", at), std::string::npos) << log;

    // The race tick runs from the game and moves the clock.
    const int tick = race::physics_world()->tick;
    race_tick(g);
    EXPECT_EQ(race::physics_world()->tick, tick + 1);

    kinds = {};
    kinds[4] = race::k_gate_robot;
    ASSERT_TRUE(load(&kinds));
    EXPECT_EQ(g.viewed, 4);
    EXPECT_FALSE(viewed_is_local(g));
    ASSERT_TRUE(load(nullptr));
    EXPECT_TRUE(g.time_trial);
    EXPECT_EQ(g.viewed, 0);

    // A track the list does not have: nothing loads, the viewer goes to 0.
    startup_lists().tracks.folders = {"tracks/nowhere"};
    g.viewed = 5;
    EXPECT_FALSE(load(&kinds));
    EXPECT_EQ(g.viewed, 0);
    EXPECT_EQ(race::bike_count(), 0);
}

}  // namespace
}  // namespace zv::app
