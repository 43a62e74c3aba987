// A race recorded from the race tick plays back through the same tick: the
// replayed riders stand where the recorded ones stood, rewinding and
// skipping land on the states a straight playback shows, and a playback
// raced against refuses to record over itself.
#include "race/race_demo.h"

#include "mini_race_fixture.h"
#include "race/race_tick.h"
#include "race/time_trial.h"
#include "replay/demo_format.h"
#include "replay/demo_scan.h"
#include "replay/demo_writer.h"
#include "replay/history.h"
#include "replay/state_record.h"
#include "sim/control.h"
#include "track/race_rules.h"
#include "track/terrain.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <map>
#include <vector>

namespace zv::race {
namespace {

constexpr const char* k_named = "@demos/race1.zvdemo";

class RaceDemoTest : public test::MiniRace {
protected:
    ~RaceDemoTest() override { replay::clear_history(); }

    static void run_to(int tick, bool ride)
    {
        sim::SimWorld* world = physics_world();
        sim::RiderInput open;
        open.throttle = 1;
        while (world->tick < tick) {
            // Steering that changes keeps the poses from being a straight line.
            open.steer = (world->tick / 64) % 2 ? 0.5f : -0.5f;
            if (ride)
                for (int slot = 0; slot < k_rider_slot_count; ++slot)
                    if (rider_slot(slot).bike && rider_slot(slot).kind == k_rider_local)
                        sim::apply_input(*rider_slot(slot).bike, open);
            race_tick();
        }
    }

    static replay::RecordScale scale()
    {
        replay::RecordScale s;
        s.side = track::loaded_terrain().field_size;
        s.min_height = track::loaded_terrain().min_height;
        return s;
    }

    // Records a ridden race of `ticks` under the name race1; returns the
    // frame positions the history held for the player at every sampled tick.
    std::map<int, sim::Vec3> record_race(int ticks)
    {
        GateKinds kinds{};
        kinds[0] = k_gate_human;
        SessionRequest req = request(&kinds);
        req.record_demo = true;
        EXPECT_TRUE(load_session(req));
        EXPECT_TRUE(demo_recording());
        std::map<int, sim::Vec3> where;
        for (int t = 0; t < ticks; t += replay::k_sample_interval) {
            run_to(t + 1, true);
            const replay::SlotHistory& h = *replay::slot_history(0);
            const replay::HistoryEntry& e = h.ring[static_cast<std::size_t>(h.head)];
            EXPECT_EQ(e.tick, t);
            where[t] = replay::record_frame_position(e.record, scale());
        }
        EXPECT_STREQ(name_race_demo("race1"), "Demo name updated");
        // Written in place as the race runs: a crash now would keep these.
        std::optional<replay::DemoScan> so_far = replay::scan_demo(replay::k_default_demo);
        EXPECT_TRUE(so_far && so_far->state_blocks >= ticks / replay::k_demo_block_interval);
        end_session();
        return where;
    }

    static bool message_shown(const char* text)
    {
        for (int back = 0; back < core::k_message_ring_lines && *core::message_line(back); ++back)
            if (std::strstr(core::message_line(back), text))
                return true;
        return false;
    }

    static bool play(const char* file, bool race_against)
    {
        GateKinds kinds{};
        if (race_against)
            kinds[0] = k_gate_human;
        SessionRequest req = request(&kinds);
        req.demo_playing = true;
        req.demo_file = file;
        req.record_demo = race_against;
        return load_session(req) && demo_playing();
    }
};

TEST_F(RaceDemoTest, ARecordedRaceRidesAgainWhereItWasRecorded)
{
    const std::map<int, sim::Vec3> where = record_race(640);
    EXPECT_TRUE(std::filesystem::exists(home() + "demos/race1.zvdemo"));
    EXPECT_FALSE(std::filesystem::exists(home() + "demos/default.zvdemo"));

    std::optional<replay::DemoScan> kept = replay::scan_demo(k_named);
    ASSERT_TRUE(kept);
    ASSERT_EQ(kept->header.riders.size(), 1u);
    // The recording ends with the state at the clock it was closed on.
    EXPECT_EQ(kept->last_tick, 637);
    EXPECT_EQ(kept->header.riders[0].name, core::settings().name.text);
    EXPECT_EQ(kept->header.track, k_folder);

    ASSERT_TRUE(play(k_named, false));
    ASSERT_TRUE(rider_slot(0).bike);
    EXPECT_EQ(rider_slot(0).kind, k_rider_history);
    EXPECT_FALSE(is_ghost_rider(0));
    EXPECT_FALSE(rider_slot(1).bike);
    EXPECT_FALSE(demo_recording());
    EXPECT_TRUE(can_seek_race_demo());
    sim::SimWorld* world = physics_world();
    float moved = 0;
    while (world->tick < 600) {
        const int t = world->tick;
        race_tick();
        auto it = where.find(t);
        if (it == where.end())
            continue;
        // Posed at the start of the tick; the step after it barely moves it.
        sim::Vec3 p = sim::body_position(rider_slot(0).bike->body(sim::k_frame));
        EXPECT_NEAR(p.x, it->second.x, 0.05f) << "tick " << t;
        EXPECT_NEAR(p.y, it->second.y, 0.05f) << "tick " << t;
        EXPECT_NEAR(p.z, it->second.z, 0.05f) << "tick " << t;
        moved = std::max(moved, std::abs(p.x - where.begin()->second.x) + std::abs(p.z - where.begin()->second.z));
    }
    EXPECT_GT(moved, 3.0f);  // the player really rode off, and so did the replay
    // The demo is spent two seconds after its last block, not before.
    EXPECT_FALSE(demo_exhausted());
    run_to(640 + 3 * k_ticks_per_second, false);
    EXPECT_TRUE(demo_exhausted());
}

TEST_F(RaceDemoTest, RewindingAndSkippingLandOnTheStatesOfAStraightPlayback)
{
    record_race(900);
    ASSERT_TRUE(play(k_named, false));
    sim::SimWorld* world = physics_world();
    std::map<int, replay::StateRecord> first;
    auto pose_now = [] { return replay::pose_for_tick(0, physics_world()->tick - 1); };
    while (world->tick < 700) {
        race_tick();
        std::optional<replay::Pose> p = pose_now();
        ASSERT_TRUE(p);
        first[world->tick - 1] = p->record;
    }
    // Three seconds back, one at a time: each lands a tick past clock - 129.
    for (int expected : {572, 444, 316}) {
        ASSERT_TRUE(seek_race_demo(-1.0));
        EXPECT_EQ(world->tick, expected);
    }
    while (world->tick < 400) {
        race_tick();
        std::optional<replay::Pose> p = pose_now();
        ASSERT_TRUE(p);
        EXPECT_EQ(p->record.bytes, first[world->tick - 1].bytes) << "tick " << world->tick - 1;
    }
    ASSERT_TRUE(seek_race_demo(+1.0));
    EXPECT_EQ(world->tick, 528);
    std::optional<replay::Pose> p = pose_now();
    ASSERT_TRUE(p);
    EXPECT_EQ(p->record.bytes, first[527].bytes);
    // Rewinding before the first block lands at its start.
    ASSERT_TRUE(seek_race_demo(-30.0));
    EXPECT_EQ(world->tick, 1);
}

TEST_F(RaceDemoTest, RacingAgainstTheDefaultDemoRefusesToRecordOverIt)
{
    core::settings().demo_backups = 0;
    GateKinds kinds{};
    kinds[0] = k_gate_robot;
    SessionRequest req = request(&kinds);
    req.record_demo = true;
    ASSERT_TRUE(load_session(req));
    run_to(64, false);
    end_session();
    ASSERT_TRUE(std::filesystem::exists(home() + "demos/default.zvdemo"));
    const auto size = std::filesystem::file_size(home() + "demos/default.zvdemo");
    std::optional<replay::DemoScan> robot = replay::scan_demo(replay::k_default_demo);
    ASSERT_TRUE(robot && robot->header.riders.size() == 1u);
    EXPECT_EQ(robot->header.riders[0].name, "Roborider");

    core::clear_messages();
    ASSERT_TRUE(play(replay::k_default_demo, true));
    EXPECT_TRUE(message_shown("Can't record and play from same file - recording disabled"));
    EXPECT_FALSE(demo_recording());
    // The player keeps gate 0; the demo's robot comes back as a ghost beside it.
    EXPECT_EQ(rider_slot(0).kind, k_rider_local);
    EXPECT_TRUE(is_ghost_rider(1));
    EXPECT_EQ(rider_slot(1).kind, k_rider_history);
    for (int outside : {-1, k_rider_slot_count})
        EXPECT_FALSE(is_ghost_rider(outside));
    // With a rider of its own on the track the demo cannot be moved.
    EXPECT_FALSE(seek_race_demo(-1.0));
    run_to(64, false);
    end_session();
    EXPECT_EQ(std::filesystem::file_size(home() + "demos/default.zvdemo"), size);
}

TEST_F(RaceDemoTest, AMissingOrBrokenDemoLeavesNothingToPlay)
{
    put_data("broken.zvdemo", "ZV06 1\n");
    for (const char* file : {"@demos/none.zvdemo", "@broken.zvdemo"}) {
        EXPECT_FALSE(play(file, false)) << file;
        EXPECT_FALSE(demo_playing()) << file;
        EXPECT_FALSE(seek_race_demo(-1.0)) << file;
    }
}

// A time trial on two checkpoints far from the bike: the test stamps the
// player's passages itself.
class GhostLapTest : public RaceDemoTest {
protected:
    GhostLapTest()
    {
        put("timing_gates", "startinggate:\n[32 0 32] 0 null null null\ncheckpoints:\n"
                            "1 [4 0 4] [0 0 1]\n1 [8 0 4] [0 0 1]\nfirstlap:\n0 1\nnormallap:\n0 1\n");
    }
    // The player passes the next two positions (the second a lap end) 300
    // ticks apart, and the race tick times the lap.
    static void ride_lap()
    {
        const int p = track::rider_position(0);
        run_to(physics_world()->tick + 300, false);
        track::set_gate_time(0, p, physics_world()->tick - 1);
        run_to(physics_world()->tick + 300, false);
        track::set_gate_time(0, p + 1, physics_world()->tick - 1);
        race_tick();
    }
    static std::optional<replay::DemoScan> scan(const char* which)
    {
        return replay::scan_demo(std::string("@") + k_folder + "/" + which);
    }
};

TEST_F(GhostLapTest, EachLapIsRecordedAndABeatenGhostIsReplacedByThePlayersLap)
{
    ASSERT_TRUE(load_session(request(nullptr)));
    EXPECT_TRUE(demo_recording());
    EXPECT_FALSE(demo_playing());
    EXPECT_FALSE(scan("fastlap.zvdemo"));

    // The first lap: no ghost yet, so the lap becomes the ghost, which then
    // starts with the next lap beside the player.
    ride_lap();
    EXPECT_EQ(trial_record().laps, 1);
    std::optional<replay::DemoScan> first = scan("fastlap.zvdemo");
    ASSERT_TRUE(first);
    EXPECT_EQ(first->header.riders.size(), 1u);
    EXPECT_EQ(first->first_tick, k_time_trial_start_tick);
    EXPECT_EQ((std::vector<bool>{demo_playing(), demo_recording(), is_ghost_rider(1), is_ghost_rider(0)}),
              (std::vector<bool>{true, true, true, false}));
    EXPECT_EQ(rider_slot(1).kind, k_rider_history);
    EXPECT_EQ(track::rider_position(1), track::rider_position(0));

    // The ghost stands still and passes no gate: the player's second lap
    // beats it and takes its place.
    const int second_start = physics_world()->tick - 1;
    ride_lap();
    EXPECT_EQ(trial_record().laps, 2);
    std::optional<replay::DemoScan> second = scan("fastlap.zvdemo");
    ASSERT_TRUE(second);
    EXPECT_EQ(second->first_tick, second_start);
    EXPECT_EQ(second->header.riders.size(), 1u) << "the ghost beside the player is not recorded";
    EXPECT_TRUE(is_ghost_rider(1));
    EXPECT_FALSE(rider_slot(2).bike);  // one ghost, not one more a lap

    // A ghost that has passed as many gates when the player's lap ends
    // stays the ghost.
    const int p = track::rider_position(1);
    track::set_gate_time(1, p, physics_world()->tick);
    track::set_gate_time(1, p + 1, physics_world()->tick);
    ride_lap();
    EXPECT_EQ(trial_record().laps, 3);
    std::optional<replay::DemoScan> third = scan("fastlap.zvdemo");
    ASSERT_TRUE(third);
    EXPECT_EQ(third->first_tick, second_start);
    EXPECT_TRUE(is_ghost_rider(1));
    // Nothing is saved under the player's own demo names in a time trial.
    EXPECT_STREQ(name_race_demo("race1"), "Not currently recording a demo");
    EXPECT_FALSE(seek_race_demo(-1.0));
}

}  // namespace
}  // namespace zv::race
