#include "race/robots.h"

#include "autopilot/auto_pilot.h"
#include "autopilot/chain_search.h"
#include "autopilot/line_file.h"
#include "race/session.h"
#include "sim/control.h"
#include "sim/setup.h"
#include "track/race_rules.h"
#include "track/timing.h"
#include "track/track.h"

namespace zv::race {

namespace {

bool g_practice = false;
autopilot::RosterOrder g_roster = [] {
    autopilot::RosterOrder o{};
    for (int i = 0; i < autopilot::k_roster_size; ++i)
        o[static_cast<std::size_t>(i)] = i;
    return o;
}();

autopilot::RaceFacts facts_for(int slot, int tick)
{
    autopilot::RaceFacts f;
    f.tick = tick;
    f.start_tick = track::race_state().start_tick;
    f.finished = track::race_state().riders[static_cast<std::size_t>(slot)].finished;
    return f;
}

}  // namespace

void set_line_learning(bool on) { autopilot::set_learning(on); }
bool line_learning() { return autopilot::learning(); }
void set_practice(bool on) { g_practice = on; }

void save_robot_lines() { autopilot::save_lines(); }

void load_robot_lines(int skill)
{
    autopilot::reset_riders();
    autopilot::load_lines(track::current_track(), skill, track::track_timing());
    autopilot::analyze_lines();
    autopilot::use_course_directions();
}

void shuffle_robot_roster(const std::function<std::uint32_t()>& next_random)
{
    g_roster = autopilot::shuffle_roster(next_random);
}

autopilot::RobotChoice robot_choice(int n) { return autopilot::robot_for(g_roster, n, g_practice); }

void set_up_line_rider(int slot, sim::Bike& bike, bool robot, int personality, std::uint32_t seed)
{
    const int start_tick = track::race_state().start_tick;
    // A time trial's clock starts long after its start tick: the first
    // section begins when the rider can first move.
    const int begin = session().time_trial ? k_time_trial_start_tick : start_tick;
    if (robot) {
        sim::RiderSetup setup;
        autopilot::robot_setup(setup);
        sim::set_setup(bike, setup);
    }
    autopilot::set_up_rider(slot, robot ? personality : autopilot::k_player_personality, begin, start_tick, seed);
}

void rider_put_back(int slot, int position, int tick)
{
    autopilot::restart_rider(slot, autopilot::section_index_at(track::track_timing(), position), tick);
}

bool robot_without_headway(int slot) { return autopilot::rider_state(slot).driver.no_headway; }

void trial_lap_done(int slot, int tick) { autopilot::offer_lap(slot, tick); }

void drive_robot(int slot, sim::Bike& bike, int tick, std::span<const sim::Vec3> traffic)
{
    sim::RiderInput input;
    autopilot::RaceFacts facts = facts_for(slot, tick);
    facts.traffic = traffic;
    autopilot::auto_pilot_drive(slot, bike, facts, input);
    sim::apply_input(bike, input);
}

void learn_from_rider(int slot, sim::Bike& bike, int tick)
{
    autopilot::auto_pilot_learn(slot, bike, facts_for(slot, tick));
}

}  // namespace zv::race
