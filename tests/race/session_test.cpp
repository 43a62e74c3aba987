// The race session on a tiny track: the start tick window, the gate table,
// the time trial's late start, the phases in the log, the gate dropping at
// the start tick, and a track that cannot be loaded.
#include "race/session.h"

#include "autopilot/auto_pilot.h"
#include "core/debug_level.h"
#include "core/messages.h"
#include "core/settings.h"
#include "platform/log.h"
#include "race/ground_effects.h"
#include "race/hooks.h"
#include "race/race_tick.h"
#include "race/robots.h"
#include "replay/demo_header.h"
#include "race/riders.h"
#include "sim/control.h"
#include "sim/setup.h"
#include "track/race_rules.h"
#include "track/start_gate.h"
#include "track/terrain.h"
#include "track/track.h"
#include "mini_race_fixture.h"

#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <string>
#include <tuple>
#include <vector>

namespace zv::race {
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

// What the hooks heard, in order.
std::vector<std::string>& heard()
{
    static std::vector<std::string> h;
    return h;
}

RaceHooks recording_hooks()
{
    RaceHooks h;
    h.show_loading = [](std::string_view text) { heard().push_back("show " + std::string(text)); };
    h.loading_started = [] { heard().push_back("started"); };
    h.track_changing = [] { heard().push_back("track"); };
    h.track_failed = [] { heard().push_back("failed"); };
    h.bike_created = [](int slot) {
        // The bike exists and sits in its slot when the hook hears of it.
        heard().push_back("bike " + std::to_string(slot) + (rider_slot(slot).bike ? "" : " missing"));
    };
    h.slot_emptied = [](int slot) {
        if (rider_slot(slot).bike)
            heard().push_back("free " + std::to_string(slot));
    };
    h.bikes_loaded = [] { heard().push_back("loaded"); };
    return h;
}

class SessionTest : public test::MiniRace {
protected:
    std::string log_text() { return test::read_file(tmp_.str() + "log.txt").value_or(""); }

    bool load(const GateKinds* kinds) { return load_session(request(kinds)); }
};

TEST_F(SessionTest, ARaceSetsEveryOccupiedGatesBike)
{
    GateKinds kinds = gate_kinds_from_settings();
    // The defaults: robots in gates 18, 19, 21, 22, 23 and the player in 20.
    kinds[20] = k_gate_robot_2stroke;
    kinds[21] = k_gate_robot_4stroke;
    kinds[25] = k_gate_human;  // a second human is not kept
    kinds[30] = 77;            // nonsense counts as empty
    core::settings().number.text = "42";
    core::settings().max_steering_force.value = 600;
    heard().clear();
    set_race_hooks(recording_hooks());
    ASSERT_TRUE(load(&kinds));
    ASSERT_TRUE(track::track_loaded());
    EXPECT_EQ(bike_count(), 6);
    EXPECT_EQ(session().first_viewed, 19);
    // The player rides with their own number and setup; the robots take the
    // roster's riders in grid order (the player's gate takes none) and keep
    // their own setup. Every rider the race drives is on the auto pilot.
    EXPECT_EQ(rider_slot(19).kind, k_rider_local);
    EXPECT_EQ(std::tuple(rider_slot(19).bike->number, track::race_state().entries[19].number), std::tuple("42", "42"));
    EXPECT_EQ(track::race_state().entries[19].source, track::RiderSource::local);
    EXPECT_FLOAT_EQ(sim::setup_value(*rider_slot(19).bike, sim::SetupValue::max_steering_force), 600);
    int robot = 0;
    for (int slot : {17, 18, 20, 21, 22}) {
        EXPECT_EQ(rider_slot(slot).kind, k_rider_robot) << slot;
        EXPECT_EQ(rider_slot(slot).bike->number, robot_choice(robot++).profile->number) << slot;
        EXPECT_EQ(track::race_state().entries[static_cast<std::size_t>(slot)].source, track::RiderSource::robot);
        EXPECT_FLOAT_EQ(sim::setup_value(*rider_slot(slot).bike, sim::SetupValue::max_steering_force), 400);
    }
    for (int slot : {17, 19, 22})
        EXPECT_TRUE(autopilot::rider_state(slot).active) << slot;
    EXPECT_FALSE(autopilot::rider_state(23).active);
    EXPECT_EQ(std::tuple(std::string(rider_slot(20).bike->info.name), std::string(rider_slot(21).bike->info.name)),
              std::tuple("yz250(2012)", "yz250f(2017)"));
    EXPECT_FALSE(rider_slot(25).bike);
    // Slots out of range stand for the nearest one.
    EXPECT_EQ(&rider_slot(k_rider_slot_count), &rider_slot(k_rider_slot_count - 1));
    EXPECT_EQ(&rider_slot(-1), &rider_slot(0));
    EXPECT_FALSE(rider_slot(30).bike);
    EXPECT_FALSE(session().time_trial);

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
                             "] Analyzing lines...done\n", "] Loading bikes\n", "] Loading bikes...done\n"}) {
        std::size_t next = log.find(line, at);
        ASSERT_NE(next, std::string::npos) << line << "\n" << log;
        at = next;
    }
    // The screen hears of the loading, the new track and every bike.
    EXPECT_EQ(heard(), (std::vector<std::string>{"started", "show Resetting...", "track", "show Loading bikes",
                                                 "bike 17", "show Loading bikes.", "bike 18",
                                                 "show Loading bikes..", "bike 19", "show Loading bikes...",
                                                 "bike 20", "show Loading bikes", "bike 21",
                                                 "show Loading bikes.", "bike 22", "loaded"}));

    // Loading again keeps the track and replaces the bikes.
    heard().clear();
    GateKinds one{};
    one[3] = k_gate_robot;
    ASSERT_TRUE(load(&one));
    EXPECT_EQ(heard(), (std::vector<std::string>{"started", "show Resetting...", "free 17", "free 18", "free 19",
                                                 "free 20", "free 21", "free 22", "show Loading bikes",
                                                 "bike 3", "loaded"}));
    EXPECT_EQ(bike_count(), 1);
    EXPECT_EQ(session().first_viewed, 3);
    EXPECT_EQ(rider_slot(3).kind, k_rider_robot);

    end_session();
    EXPECT_EQ(bike_count(), 0);
    EXPECT_FALSE(track::track_loaded());
    log = log_text();
    EXPECT_LT(log.find("] Deallocating bikes\n"), log.find("] Finished deallocating bikes\n"));
    // The world outlives the session; made again, it is there at once.
    destroy_physics_world();
    EXPECT_FALSE(physics_world());
    EXPECT_TRUE(create_physics_world());
    EXPECT_TRUE(create_physics_world());
    EXPECT_TRUE(physics_world());
}

TEST_F(SessionTest, ATimeTrialStartsLateWithThePlayerAlone)
{
    ASSERT_TRUE(load(nullptr));
    EXPECT_TRUE(session().time_trial);
    EXPECT_EQ(physics_world()->tick, 38400);
    EXPECT_EQ(bike_count(), 1);
    EXPECT_EQ(session().first_viewed, 0);
    EXPECT_EQ(rider_slot(0).kind, k_rider_local);
    // Its gate is down within a second: the clock is long past the start.
    ASSERT_EQ(track::gate_states().size(), 1u);
    for (int i = 0; i < 128; ++i)
        race_tick();
    EXPECT_FLOAT_EQ(track::gate_states()[0].raise, 0.0f);
}

// Who rides, who is watched first and whether this machine drives a rider:
// with no gate occupied slot 0 gets a robot, unless a network opponent's gate
// is taken (its bike comes with the race server); on a server only a player
// past the warm-up is driven here.
TEST_F(SessionTest, GateTablesGiveTheRidersTheViewAndWhoDrives)
{
    struct Case {
        int slot, gate;
        bool connected, warmup;
        int bikes, viewed;
        bool drives;
    };
    const Case cases[] = {
        {2, k_gate_empty, false, false, 1, 0, true},  {4, k_gate_network, false, false, 0, 4, true},
        {2, k_gate_robot, false, false, 1, 2, true},  {2, k_gate_human, false, true, 1, 2, true},
        {2, k_gate_human, true, false, 1, 2, true},   {2, k_gate_human, true, true, 1, 2, false},
        {2, k_gate_robot, true, false, 1, 2, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.slot << " " << c.gate << " " << c.connected << " " << c.warmup);
        GateKinds kinds{};
        kinds[static_cast<std::size_t>(c.slot)] = c.gate;
        SessionRequest req = request(&kinds);
        req.connected = c.connected;
        req.warmup = c.warmup;
        ASSERT_TRUE(load_session(req));
        EXPECT_EQ(bike_count(), c.bikes);
        EXPECT_EQ(session().first_viewed, c.viewed);
        EXPECT_EQ(rider_slot(c.viewed).kind, c.gate == k_gate_human ? k_rider_local
                                             : c.bikes                 ? k_rider_robot
                                                                       : k_rider_history);
        EXPECT_EQ(track::race_state().local_drives_rider, c.drives);
    }
}

// In a server's race the player meets only opponents heard from within the
// last second: a state 127 ticks old still pushes, one 128 old does not.
TEST_F(SessionTest, ThePlayerMeetsOnlyOpponentsHeardFromWithinASecond)
{
    std::array<replay::DemoRider, k_rider_slot_count> riders{};
    riders[1].bike = "yz250(2012)";
    riders[1].number = "7";
    GateKinds kinds{};
    kinds[0] = k_gate_human;
    kinds[1] = k_gate_network;
    float moved[2] = {};
    for (int age : {127, 128}) {
        SessionRequest req = request(&kinds);
        req.connected = true;
        req.network_riders = &riders;
        ASSERT_TRUE(load_session(req));
        ASSERT_TRUE(rider_slot(1).bike);
        const sim::Bike& mine = *rider_slot(0).bike;
        // The opponent's last state puts its bike where the player's stands.
        for (int b = 0; b < sim::k_body_count; ++b) {
            const dReal* p = dBodyGetPosition(mine.body(b));
            dBodySetPosition(rider_slot(1).bike->body(b), p[0], p[1], p[2]);
            dBodySetRotation(rider_slot(1).bike->body(b), dBodyGetRotation(mine.body(b)));
        }
        track::note_rider_data(1, physics_world()->tick - age);
        const sim::Vec3 before = sim::body_position(mine.body(sim::k_frame));
        race_tick();
        moved[age - 127] = sim::length(sim::body_position(mine.body(sim::k_frame)) - before);
    }
    EXPECT_GT(moved[0], 10 * moved[1]) << moved[0] << " " << moved[1];
    // A server's race keeps its results file current every 512 ticks, not every tick.
    EXPECT_FALSE(std::filesystem::exists(home() + "results.txt"));
}

TEST_F(SessionTest, RobotsHoldInTheirGatesUntilTheDropWhileThePlayerRidesOff)
{
    GateKinds kinds{};
    kinds[0] = k_gate_human;
    kinds[1] = k_gate_robot;
    ASSERT_TRUE(load(&kinds));
    sim::SimWorld* world = physics_world();
    sim::RiderInput open;
    open.throttle = 1;
    while (world->tick < world->start_tick) {
        // Both get full throttle; only the robot's own controls override it.
        for (int slot : {0, 1})
            sim::apply_input(*rider_slot(slot).bike, open);
        race_tick();
    }
    EXPECT_LT(distance_from_start(1), 1.0f);
    const int until = world->start_tick + 3 * k_ticks_per_second;
    while (world->tick < until) {
        sim::apply_input(*rider_slot(0).bike, open);
        race_tick();
    }
    EXPECT_GT(distance_from_start(0), 3.0f);
}

TEST_F(SessionTest, TheGateHoldsUntilTheStartTickThenDrops)
{
    GateKinds kinds{};
    kinds[0] = k_gate_human;
    ASSERT_TRUE(load(&kinds));
    core::set_debug_level(1);
    sim::SimWorld* world = physics_world();
    const int start = world->start_tick;
    while (world->tick < start) {
        race_tick();
        ASSERT_EQ(track::gate_states().size(), 1u);
        ASSERT_FLOAT_EQ(track::gate_states()[0].raise, 1.0f) << "tick " << world->tick;
    }
    // Riding off, the player (alone, in slot 0) cuts the ground.
    set_ground_effects(1000, 1.0f);
    sim::RiderInput open;
    open.throttle = 1;
    for (int i = 0; i < 3 * k_ticks_per_second; ++i) {
        sim::apply_input(*rider_slot(0).bike, open);
        race_tick();
    }
    set_ground_effects(1000, 0.0f);
    EXPECT_GT(track::loaded_terrain().change_count, 0u);
    EXPECT_LT(track::gate_states()[0].raise, 1.0f);
    EXPECT_EQ(world->tick, start + 3 * k_ticks_per_second);
    EXPECT_TRUE(sim::bike_is_finite(*rider_slot(0).bike));
    // The log notes the drop once, at the tick it happened.
    core::set_debug_level(0);
    const std::string log = log_text();
    const std::string drop = "] Start gate dropped at tick " + std::to_string(track::gate_drop_tick()) + "\n";
    EXPECT_NE(log.find(drop), std::string::npos) << log;
    EXPECT_EQ(log.find("Start gate dropped"), log.rfind("Start gate dropped"));
}

TEST_F(SessionTest, AMissingTrackFailsAndLeavesNoTrack)
{
    GateKinds kinds = gate_kinds_from_settings();
    SessionRequest req = request(&kinds);
    req.track_folder = "tracks/nowhere";
    heard().clear();
    set_race_hooks(recording_hooks());
    EXPECT_FALSE(load_session(req));
    EXPECT_EQ(heard(), (std::vector<std::string>{"started", "show Resetting...", "track", "failed"}));
    EXPECT_FALSE(track::track_loaded());
    EXPECT_EQ(bike_count(), 0);
    EXPECT_FALSE(session().loaded);
    // No track named is no better.
    req.track_folder.clear();
    EXPECT_FALSE(load_session(req));
}

}  // namespace
}  // namespace zv::race
