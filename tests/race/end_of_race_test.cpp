// The end of a race on the tiny track: one checkpoint that is also the lap
// end, placed so that the first two grid places stand in its zone and the
// third does not. A one-lap race of the first two finishes on its first tick;
// the race then runs on for the end-of-race delay and ends, with the results
// file written. A rider that never finishes keeps the race from ending, and
// the headless run stops at its cap.
#include "core/debug_level.h"
#include "race/headless_race.h"
#include "race/race_tick.h"
#include "race/riders.h"
#include "race/time_trial.h"
#include "race/session.h"
#include "track/race_rules.h"
#include "track/terrain.h"
#include "mini_race_fixture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>

#include <filesystem>
#include <tuple>

namespace zv::race {
namespace {

class EndOfRace : public test::MiniRace {
protected:
    EndOfRace()
    {
        // The bikes face -z from z = 32.6, 42.6 and 52.6; the zone lies on
        // the -z side of z = 48 within 20 ft of (32, 48).
        put("timing_gates", "startinggate:\n[32 0 32] 0 null null null\ncheckpoints:\n"
                            "20 [32 0 48] [0 0 -1]\nfirstlap:\n0\nnormallap:\n0\n");
    }

    std::string results_path() const { return home() + "results.txt"; }

    bool load_robots(int robots, int laps)
    {
        gates_ = {};
        for (int k = 0; k < robots; ++k)
            gates_[static_cast<std::size_t>(k)] = k_gate_robot;
        return load_session(request(&gates_, laps));
    }

    GateKinds gates_{};
};

TEST_F(EndOfRace, AFinishedFieldEndsAfterTheDelayAndWritesTheResults)
{
    ASSERT_TRUE(load_robots(2, 1));
    EXPECT_FALSE(track::has_final_standings());
    core::set_debug_level(1);
    race_tick();
    core::set_debug_level(0);
    const std::string log = test::read_file(tmp_.str() + "log.txt").value_or("");
    for (const char* line :
         {"] Tick 0: rider 1 passed timing gate 0\n", "] Tick 0: Final Results\n", "] Place 2: rider "})
        EXPECT_NE(log.find(line), std::string::npos) << line << log;
    ASSERT_TRUE(track::has_final_standings());
    EXPECT_TRUE(track::is_finished(0));
    EXPECT_TRUE(track::is_finished(1));
    // Only a time trial's player is timed by the time-trial record.
    EXPECT_EQ(trial_record().attempt_start, -1);
    const std::optional<std::string> results = test::read_file(results_path());
    ASSERT_TRUE(results);
    EXPECT_EQ(results->rfind("Time=0.00|Laps=1|Track=", 0), 0u) << *results;
    // A row for each robot under its roster number.
    for (int slot : {0, 1}) {
        char row[16];
        std::snprintf(row, sizeof row, "\r\n%4s | ", track::race_state().entries[static_cast<std::size_t>(slot)].number.c_str());
        EXPECT_NE(results->find(row), std::string::npos) << *results;
    }

    // The delay counts from the tick that made the final standings.
    for (int i = 1; i < k_end_of_race_delay_ticks; ++i) {
        ASSERT_FALSE(race_ended()) << "tick " << i;
        race_tick();
    }
    EXPECT_TRUE(race_ended());
    const std::string later = test::read_file(tmp_.str() + "log.txt").value_or("");
    EXPECT_EQ(later.find("Final Results"), later.rfind("Final Results")) << "logged once";
    // A new race starts afresh.
    ASSERT_TRUE(load_robots(2, 1));
    EXPECT_FALSE(race_ended());
    EXPECT_EQ(session().end_delay_ticks, k_end_of_race_delay_ticks);
}

TEST_F(EndOfRace, OnARaceServerThePlayersOwnPassagesAreTimedHere)
{
    gates_ = {};
    gates_[0] = k_gate_human;
    SessionRequest req = request(&gates_, 1);
    req.connected = true;
    ASSERT_TRUE(load_session(req));
    race_tick();
    EXPECT_EQ(track::rider_position(0), 1);
}

TEST_F(EndOfRace, ARiderStillRidingKeepsTheRaceGoingUntilItFinishes)
{
    ASSERT_TRUE(load_robots(3, 1));
    for (int i = 0; i < 2 * k_end_of_race_delay_ticks; ++i)
        race_tick();
    EXPECT_TRUE(track::is_finished(0));
    EXPECT_FALSE(track::is_finished(2));
    EXPECT_FALSE(track::has_final_standings());
    EXPECT_FALSE(race_ended());
    EXPECT_FALSE(std::filesystem::exists(results_path()));

    // Set down inside the zone, the last rider finishes on its next lap end;
    // the delay only starts then.
    sim::Bike& last = *rider_slot(2).bike;
    sim::place_bike(last, sim::body_position(last.body(sim::k_frame)) + sim::Vec3{0, 0, -12}, 0);
    int ticks = 0;
    while (!track::has_final_standings() && ticks < 16) {
        race_tick();
        ++ticks;
    }
    ASSERT_TRUE(track::has_final_standings());
    EXPECT_TRUE(track::is_finished(2));
    EXPECT_TRUE(std::filesystem::exists(results_path()));
    // As above, the tick that made the final standings is the delay's first.
    for (int i = 2; i < k_end_of_race_delay_ticks; ++i)
        race_tick();
    EXPECT_FALSE(race_ended());
    race_tick();
    EXPECT_TRUE(race_ended());
}

// A robot that passes no gate for 20 s out of the start (12 s later on) is
// set down at its last gate, across from the centre where another bike
// stands there; stuck again before it gets further, it is set down at the
// next gate.
TEST_F(EndOfRace, AStuckRobotIsSetDownAtItsLastGateClearOfOthersThenAtTheNext)
{
    // A second checkpoint (the lap end) far down the course, out of reach
    // of the robots, which have no lines and hold their bikes.
    put("timing_gates", "startinggate:\n[32 0 32] 0 null null null\ncheckpoints:\n"
                        "20 [32 0 48] [0 0 -1]\n6 [32 0 8] [0 0 -1]\nfirstlap:\n0 1\nnormallap:\n0 1\n");
    ASSERT_TRUE(load_robots(3, 1));
    sim::Bike& last = *rider_slot(2).bike;
    // Turned round, its launch takes it away from the gate.
    sim::place_bike(last, sim::body_position(last.body(sim::k_frame)) + sim::Vec3{0, 0, 10}, 3.14159265f);
    const int start = track::race_state().start_tick;
    auto frame = [](int slot) { return sim::body_position(rider_slot(slot).bike->body(sim::k_frame)); };
    auto at_first_gate = [&] {
        const sim::Vec3 p = frame(2);
        return std::abs(p.x - 32.0f) <= 14.5f && p.z > 45.0f && p.z < 53.0f;
    };
    // Waiting in the gate does not count; 20 s after the drop it does.
    while (physics_world()->tick < start + k_robot_first_gate_rescue_ticks) {
        race_tick();
        ASSERT_FALSE(at_first_gate()) << physics_world()->tick;
    }
    // Another bike stands on the gate's centre.
    sim::place_bike(*rider_slot(0).bike, {32, frame(2).y, 48}, 0);
    race_tick();
    ASSERT_FALSE(at_first_gate());
    race_tick();
    ASSERT_TRUE(at_first_gate());
    EXPECT_EQ(track::rider_position(2), 0);
    EXPECT_EQ(rider_slot(2).set_down_at, 0);
    const sim::Vec3 a = frame(2), b = frame(0);
    EXPECT_GE(std::hypot(a.x - b.x, a.z - b.z), 8.0f);

    // Set down short of the gate's line, it holds its bike there; stuck
    // again without passing it, it goes on from the next gate.
    const int set_down = physics_world()->tick;
    while (rider_slot(2).set_down_at == 0 && physics_world()->tick < set_down + 2 * k_robot_first_gate_rescue_ticks)
        race_tick();
    EXPECT_GT(physics_world()->tick, set_down + k_robot_first_gate_rescue_ticks);
    EXPECT_EQ(rider_slot(2).set_down_at, 1);
    EXPECT_EQ(track::rider_position(2), 1);
    const sim::Vec3 p = frame(2);
    EXPECT_NEAR(p.x, 32.0f, 0.5f);  // nobody near the second gate
    EXPECT_GT(p.z, 5.0f);
    EXPECT_LT(p.z, 13.0f);

    // Past the first gate the wait is 12 s.
    for (int i = 0; i < k_robot_rescue_ticks; ++i) {
        race_tick();
        ASSERT_EQ(rider_slot(2).set_down_at, 1) << i;
    }
    race_tick();
    EXPECT_EQ(rider_slot(2).set_down_at, 2);
}

TEST_F(EndOfRace, ATimeTrialNeverEndsAndRestartsAtTheCheckpoint)
{
    ASSERT_TRUE(load_session(request(nullptr, 1)));
    for (int i = 0; i < 2 * k_end_of_race_delay_ticks; ++i)
        race_tick();
    EXPECT_TRUE(track::is_finished(0));
    EXPECT_EQ(trial_record().attempt_start, k_time_trial_start_tick);
    EXPECT_FALSE(race_ended());

    // Backing up puts the player at the checkpoint, facing its way, with the
    // lap under way abandoned; an empty slot has nothing to put back.
    restart_time_trial_attempt(7);
    EXPECT_EQ(track::rider_position(0), 1);
    restart_time_trial_attempt(0);
    EXPECT_EQ(track::rider_position(0), 0);
    EXPECT_FALSE(track::race_state().riders[0].finished);
    EXPECT_EQ(trial_record().attempt_start, -1);
    const sim::Vec3 p = sim::body_position(rider_slot(0).bike->body(sim::k_frame));
    // The bike faces -z with its frame a little behind the centre.
    EXPECT_NEAR(p.x, 32.0f, 0.5f);
    EXPECT_GT(p.z, 48.0f);
    EXPECT_LT(p.z, 53.0f);
    // Set on its wheels, not lifted clear of ground it never touched.
    EXPECT_LT(p.y - track::terrain_height(track::loaded_terrain(), p.x, p.z), 3.0f);
}

TEST_F(EndOfRace, TheHeadlessRaceRunsToTheEndOrToItsCap)
{
    struct Case {
        int robots;
        bool ended;
        int ticks;
        std::vector<bool> finished;
        // The watcher's calls (tick, last): at the start, every 300 ticks
        // and once more after the last tick, even one that fell on a sample.
        std::vector<std::pair<int, bool>> samples;
    };
    for (const Case& c :
         {Case{2, true, k_end_of_race_delay_ticks, {true, true}, {{0, false}, {300, false}, {600, false}, {640, true}}},
          Case{3, false, 900, {true, true, false}, {{0, false}, {300, false}, {600, false}, {900, false}, {900, true}}}}) {
        HeadlessRace run;
        run.track_folder = k_folder;
        run.robots = c.robots;
        run.laps = 1;
        run.seed = 7;
        run.cap_ticks = 900;
        std::vector<std::pair<int, bool>> samples;
        run.sample_every_ticks = 300;
        run.on_sample = [&samples](int tick, bool last) { samples.emplace_back(tick, last); };
        const HeadlessRaceReport r = run_headless_race(run);
        ASSERT_TRUE(r.loaded);
        EXPECT_EQ(r.ended, c.ended) << c.robots;
        EXPECT_EQ(r.ticks, c.ticks) << c.robots;
        EXPECT_EQ(samples, c.samples) << c.robots;
        ASSERT_EQ(r.riders.size(), c.finished.size());
        for (std::size_t i = 0; i < r.riders.size(); ++i) {
            const RiderResult& x = r.riders[i];
            EXPECT_EQ(x.place, static_cast<int>(i) + 1);
            const bool finished = c.finished[i];
            EXPECT_EQ(std::tuple(x.finished, x.laps, x.total_ticks.has_value()),
                      std::tuple(finished, finished ? 1 : 0, finished))
                << i;
            // Robots carry their roster profile's number, 20 to 99.
            EXPECT_GE(std::stoi(x.number), 20);
            EXPECT_LE(std::stoi(x.number), 99);
            EXPECT_FALSE(x.bike.empty());
        }
    }
    // A race that cannot load says so.
    HeadlessRace missing;
    missing.track_folder = "tracks/nowhere";
    EXPECT_FALSE(run_headless_race(missing).loaded);
}

TEST(HeadlessCap, LatestStartTimeLimitFiveMinutesALapAndTheDelay)
{
    for (auto [laps, ticks, cap] : {std::tuple{2, 0, 1920 + 2 * 38400 + 640}, {0, 0, 1920 + 38400 + 640},
                                    {1, 128 * 600, 1920 + 76800 + 38400 + 640}})
        EXPECT_EQ(headless_cap_ticks(laps, ticks), cap) << laps << " " << ticks;
    EXPECT_EQ(headless_cap_ticks(1000000, 0), 1 << 30);
}

}  // namespace
}  // namespace zv::race
