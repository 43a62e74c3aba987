// The race session on a tiny track: the start tick window, the gate table,
// the time trial's late start, the phases in the log, the gate dropping at
// the start tick, and a track that cannot be loaded.
#include "app/session.h"

#include "app/main_loop.h"
#include "app/race_tick.h"
#include "app/riders.h"
#include "app/startup.h"
#include "core/messages.h"
#include "core/settings.h"
#include "platform/log.h"
#include "render/textures.h"
#include "track/race_rules.h"
#include "track/start_gate.h"
#include "track/track.h"
#include "mini_session_fixture.h"

#include <gtest/gtest.h>

namespace zv::app {
namespace {

TEST(StartTick, TheGateDropsThirteenToFifteenSecondsIn)
{
    EXPECT_EQ(offline_start_tick(0.0), 1664);
    EXPECT_EQ(offline_start_tick(0.5), 1792);
    EXPECT_EQ(offline_start_tick(0.999999), 1919);
    // Out-of-range draws stay inside the window.
    EXPECT_EQ(offline_start_tick(1.0), 1919);
    EXPECT_EQ(offline_start_tick(-3.0), 1664);
    for (int i = 0; i <= 1000; ++i) {
        int t = offline_start_tick(i / 1000.0);
        EXPECT_GE(t, 1664);
        EXPECT_LT(t, 1920);
    }
}

class SessionTest : public test::MiniTrackSession {
protected:

    std::string log_text() { return test::read_file(tmp_.str() + "log.txt").value_or(""); }

    bool load(const GateKinds* kinds)
    {
        SessionRequest req;
        req.gates = kinds;
        req.laps = 1000;
        return load_session(g, req);
    }

    Game g;
};

TEST_F(SessionTest, ARaceSetsEveryOccupiedGatesBike)
{
    GateKinds kinds = gate_kinds_from_settings();
    // The defaults: robots in gates 18, 19, 21, 22, 23 and the player in 20.
    kinds[20] = k_gate_robot_2stroke;
    kinds[21] = k_gate_robot_4stroke;
    kinds[25] = k_gate_human;  // a second human is not kept
    kinds[30] = 77;            // nonsense counts as empty
    ASSERT_TRUE(load(&kinds));
    ASSERT_TRUE(track::track_loaded());
    EXPECT_EQ(bike_count(), 6);
    EXPECT_EQ(g.viewed, 19);
    EXPECT_TRUE(viewed_is_local(g));
    EXPECT_EQ(rider_slot(19).kind, k_rider_local);
    EXPECT_EQ(rider_slot(17).kind, k_rider_robot);
    EXPECT_EQ(rider_slot(20).bike->info.name, std::string("yz250(2012)"));
    EXPECT_EQ(rider_slot(21).bike->info.name, std::string("yz250f(2017)"));
    EXPECT_FALSE(rider_slot(25).bike);
    EXPECT_FALSE(rider_slot(30).bike);
    EXPECT_FALSE(g.time_trial);

    sim::SimWorld* world = physics_world();
    ASSERT_TRUE(world);
    EXPECT_EQ(world->tick, 0);
    EXPECT_GE(world->start_tick, 1664);
    EXPECT_LT(world->start_tick, 1920);
    EXPECT_EQ(track::race_state().start_tick, world->start_tick);
    EXPECT_TRUE(track::race_state().in_use[19]);

    // Every phase, in order, each followed by its "...done".
    std::string log = log_text();
    std::size_t at = 0;
    for (const char* line : {"] Resetting\n", "] Remembering lines\n", "] Remembering lines...done\n",
                             "] Cleaning up\n", "] Cleaning up...done\n", "] Analyzing lines\n",
                             "] Analyzing lines...done\n", "] Loading bikes\n", "] Loading bikes...done\n",
                             "] 0 MB texture memory used\n", "] Max loading delay was "}) {
        std::size_t next = log.find(line, at);
        ASSERT_NE(next, std::string::npos) << line << "\n" << log;
        at = next;
    }

    // Loading again keeps the track and replaces the bikes.
    GateKinds one{};
    one[3] = k_gate_robot;
    ASSERT_TRUE(load(&one));
    EXPECT_EQ(bike_count(), 1);
    EXPECT_EQ(g.viewed, 3);
    EXPECT_FALSE(viewed_is_local(g));

    end_session();
    EXPECT_EQ(bike_count(), 0);
    EXPECT_FALSE(track::track_loaded());
    log = log_text();
    EXPECT_LT(log.find("] Deallocating bikes\n"), log.find("] Finished deallocating bikes\n"));
}

TEST_F(SessionTest, ATimeTrialStartsLateWithThePlayerAlone)
{
    ASSERT_TRUE(load(nullptr));
    EXPECT_TRUE(g.time_trial);
    EXPECT_EQ(physics_world()->tick, 38400);
    EXPECT_EQ(bike_count(), 1);
    EXPECT_EQ(g.viewed, 0);
    EXPECT_EQ(rider_slot(0).kind, k_rider_local);
    // Its gate is down within a second: the clock is long past the start.
    ASSERT_EQ(track::gate_states().size(), 1u);
    g.view = ViewMode::rider;
    for (int i = 0; i < 128; ++i)
        race_tick(g);
    EXPECT_FLOAT_EQ(track::gate_states()[0].raise, 0.0f);
}

TEST_F(SessionTest, NoOccupiedGateGivesSlotZeroARobot)
{
    GateKinds none{};
    ASSERT_TRUE(load(&none));
    EXPECT_EQ(bike_count(), 1);
    EXPECT_EQ(rider_slot(0).kind, k_rider_robot);
    EXPECT_EQ(g.viewed, 0);
}

TEST_F(SessionTest, TheGateHoldsUntilTheStartTickThenDrops)
{
    GateKinds kinds{};
    kinds[0] = k_gate_human;
    ASSERT_TRUE(load(&kinds));
    sim::SimWorld* world = physics_world();
    const int start = world->start_tick;
    g.view = ViewMode::rider;
    while (world->tick < start) {
        race_tick(g);
        ASSERT_EQ(track::gate_states().size(), 1u);
        ASSERT_FLOAT_EQ(track::gate_states()[0].raise, 1.0f) << "tick " << world->tick;
    }
    for (int i = 0; i < 64; ++i)
        race_tick(g);
    EXPECT_LT(track::gate_states()[0].raise, 1.0f);
    EXPECT_EQ(world->tick, start + 64);
    EXPECT_TRUE(sim::bike_is_finite(*rider_slot(0).bike));
}

TEST_F(SessionTest, EveryBikeMadeGoesThroughTheArtHookBeforeTheMemoryLine)
{
    // The game's hook requests each bike's art; here each bike adds 1 MB.
    std::vector<int> slots;
    set_bike_made_hook([&](const sim::Bike& bike) {
        slots.push_back(bike.slot);
        render::set_texture_memory(render::texture_memory() + (1u << 20));
    });
    GateKinds kinds{};
    kinds[2] = k_gate_robot;
    kinds[5] = k_gate_human;
    kinds[9] = k_gate_robot_4stroke;
    const bool loaded = load(&kinds);
    set_bike_made_hook(nullptr);
    ASSERT_TRUE(loaded);
    EXPECT_EQ(slots, (std::vector<int>{2, 5, 9}));
    const std::string log = log_text();
    const std::size_t line = log.find("] 3 MB texture memory used\n");
    ASSERT_NE(line, std::string::npos) << log;
    EXPECT_LT(log.find("] Loading bikes\n"), line);
}

TEST_F(SessionTest, AMissingTrackFailsAndLeavesNoTrack)
{
    startup_lists().tracks.folders = {"tracks/nowhere"};
    GateKinds kinds = gate_kinds_from_settings();
    EXPECT_FALSE(load(&kinds));
    EXPECT_FALSE(track::track_loaded());
    EXPECT_EQ(bike_count(), 0);
    // An empty track list is no better.
    startup_lists().tracks.folders.clear();
    EXPECT_FALSE(load(&kinds));
}

}  // namespace
}  // namespace zv::app
