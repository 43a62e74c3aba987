// The game's side of a race on a tiny track: the loader runs on the track
// chosen in the menus, the viewer starts on the player's bike (or the first
// occupied gate), and the hooks the game installs report the texture memory
// and the longest loading wait after the bikes.
#include "app/race_session.h"

#include "app/controls.h"
#include "app/main_loop.h"
#include "app/menu.h"
#include "app/menu_series.h"
#include "track/race_rules.h"
#include "race/race_demo.h"
#include "race/riders.h"
#include "platform/events.h"
#include "platform/input.h"
#include "render/textures.h"
#include "sim/bike.h"
#include "mini_session_fixture.h"

#include <gtest/gtest.h>

#include <vector>

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

// Holding "Back up" in a time trial puts the player back at the checkpoint
// and abandons the attempt, but only where the setting allows it; a race of
// laps never does.
TEST_F(RaceSession, BackingUpRestartsOnlyAnAllowedTimeTrialAttempt)
{
    struct Row {
        bool trial;
        int abort;
        bool held;
        bool restarts;
    } rows[] = {{true, 1, true, true}, {true, 1, false, false}, {true, 0, true, false}, {false, 1, true, false}};
    time_two_checkpoint_laps();
    race::GateKinds kinds{};
    kinds[0] = race::k_gate_human;
    double now = 100;
    for (const Row& r : rows) {
        SCOPED_TRACE(::testing::Message() << r.trial << r.abort << r.held);
        ASSERT_TRUE(load(r.trial ? nullptr : &kinds));
        ASSERT_EQ(g.time_trial, r.trial);
        g.view = ViewMode::rider;
        core::settings().time_trial_abort.index = r.abort;
        bind_inputs();
        sim::Bike& bike = *race::rider_slot(0).bike;
        const sim::Vec3 gate = sim::body_position(bike.body(sim::k_frame));
        sim::place_bike(bike, {gate.x + 20, gate.y, gate.z}, 0);
        if (r.held) {
            ASSERT_TRUE(platform::push_event_at(*platform::find_control("b"), true,
                                                platform::event_time_from_seconds(now + 0.001)));
        }
        now += k_tick;
        g.clock = FrameClock{now, 0, k_tick};
        run_ticks(g, now);
        const sim::Vec3 at = sim::body_position(bike.body(sim::k_frame));
        EXPECT_EQ(std::abs(at.x - gate.x) < 5, r.restarts) << at.x << " from " << gate.x;
        release_inputs();
        platform::clear_events();
    }
}

// A series event runs on its own track with the player in the grid's first
// gate; only a counted event records its places once the race is over.
TEST_F(RaceSession, OnlyACountedSeriesEventRecordsItsResult)
{
    time_two_checkpoint_laps();
    core::settings().laps.value = 1;
    for (bool counted : {false, true}) {
        Series s;
        s.file = "cup.series";
        s.events.resize(2);
        for (SeriesEvent& e : s.events)
            e.track = k_folder;
        startup_lists().series = {s};
        // The record setting holds for series events too.
        core::settings().record.index = counted ? 1 : 0;
        start_series_event(g, 0, counted);
        EXPECT_EQ(race::demo_recording(), counted);
        EXPECT_EQ(g.menu_page, k_menu_closed);
        EXPECT_EQ(race::rider_slot(0).kind, race::k_rider_local);
        for (int gate : {0, 1, 2})
            track::set_gate_time(0, gate, 2000 + 300 * gate);
        track::update_standings(3000);
        ASSERT_TRUE(track::has_final_standings());
        finish_series_event(g);
        EXPECT_EQ(startup_lists().series[0].standings.size(), counted ? 1u : 0u) << counted;
    }
}

TEST_F(RaceSession, EveryBikeMadeGoesThroughTheArtHookBeforeTheMemoryLine)
{
    // The game's hook requests each bike's art; here each bike adds 1 MB.
    std::vector<int> slots;
    set_bike_made_hook([&](const sim::Bike& bike) {
        slots.push_back(bike.slot);
        render::set_texture_memory(render::texture_memory() + (1u << 20));
    });
    race::GateKinds kinds{};
    kinds[2] = race::k_gate_robot;
    kinds[5] = race::k_gate_human;
    kinds[9] = race::k_gate_robot_4stroke;
    const bool loaded = load(&kinds);
    set_bike_made_hook(nullptr);
    ASSERT_TRUE(loaded);
    EXPECT_EQ(slots, (std::vector<int>{2, 5, 9}));
    const std::string log = log_text();
    const std::size_t line = log.find("] 3 MB texture memory used\n");
    ASSERT_NE(line, std::string::npos) << log;
    EXPECT_LT(log.find("] Loading bikes\n"), line);
}

}  // namespace
}  // namespace zv::app
