// zarvox-sim --follow: one robot starts from the first starting gate and
// rides laps along the track's centre line with the driving controller,
// timed by the race rules; reports its lap times, falls, how far it strayed
// from the line and how fast the simulation ran.
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "autopilot/centre_line.h"
#include "autopilot/driver.h"
#include "autopilot/start_procedure.h"
#include "sim/bike.h"
#include "sim/control.h"
#include "sim/maneuver.h"
#include "sim/world.h"
#include "sim_cli.h"
#include "sim_track.h"
#include "track/race_rules.h"
#include "track/start_gate.h"
#include "track/terrain.h"
#include "track/timing.h"
#include "track/track.h"

namespace zv::sim_tool {
namespace {

constexpr int k_start_tick = 4 * 128;          // the gate drops 4 s into the run
constexpr int k_seconds_per_lap_limit = 300;   // a lap not done in this time ends the run
constexpr float k_reaction_low = 0.2f, k_reaction_high = 0.4f;

struct FollowReport {
    std::string track;
    float pace = 1;
    int laps_wanted = 0;
    std::vector<float> lap_seconds;
    int knockouts = 0;
    int back_ups = 0;
    float mean_off_line = 0, max_off_line = 0;
    float top_speed = 0;
    int ticks = 0;
    double wall_seconds = 0, realtime_factor = 0;
    bool finished = false;
    bool nan = false;
};

bool parse_float(const std::string& text, float lo, float hi, float& out)
{
    char* end = nullptr;
    float v = std::strtof(text.c_str(), &end);
    if (text.empty() || *end || !std::isfinite(v) || v < lo || v > hi)
        return false;
    out = v;
    return true;
}

FollowReport follow(const std::string& name, int laps, float pace, const std::string& model, bool trace)
{
    FollowReport r;
    r.track = name;
    r.pace = pace;
    r.laps_wanted = laps;
    const track::Terrain& terrain = track::loaded_terrain();
    const track::TrackTiming& timing = track::track_timing();
    auto world = sim::create_world();
    world->terrain = &terrain;
    world->test_objects = true;
    world->start_tick = k_start_tick;
    auto bike = sim::create_bike(*world, model, 1, "1");
    track::StartPose start = track::start_position(timing, 0, terrain.field_size);
    sim::place_bike(*bike, {start.x, track::terrain_height(terrain, start.x, start.z) + 0.1f, start.z},
                    start.heading);
    sim::RiderSetup rider_setup = sim::bench_setup();
    autopilot::robot_setup(rider_setup);
    sim::set_setup(*bike, rider_setup);
    sim::load_bike_shapes(*bike);

    track::RaceSetup setup;
    setup.start_tick = k_start_tick;
    setup.laps = laps;
    setup.track_name = name;
    track::begin_race(setup);
    track::set_rider(0, {track::RiderSource::robot, "1", bike->info.name});

    // One lap position past the finish keeps the aim point on the course.
    int positions = timing.first_count() + (laps - 1) * timing.normal_count() + 1;
    std::vector<autopilot::LinePoint> line = autopilot::centre_line(
        timing, terrain, start.x, start.z, start.heading, positions, autopilot::centre_line_pace(pace));
    if (trace)
        for (size_t k = 0; k < line.size(); ++k)
            std::fprintf(stderr, "line %zu %.1f %.1f %.1f %.1f\n", k, static_cast<double>(line[k].x),
                         static_cast<double>(line[k].z), static_cast<double>(line[k].y),
                         static_cast<double>(line[k].speed));
    std::mt19937 rng(12);
    std::uniform_real_distribution<float> uniform(0.0f, 1.0f);
    autopilot::StartPlan plan = autopilot::plan_start(k_start_tick, autopilot::ready_signal_tick(k_start_tick),
                                                      k_reaction_low, k_reaction_high, [&] { return uniform(rng); });
    autopilot::DriverState state;
    sim::Bike* bikes[1] = {bike.get()};
    const int limit = k_start_tick + laps * k_seconds_per_lap_limit * 128;
    double off_sum = 0;
    int off_count = 0;
    bool was_backing = false;
    auto t0 = std::chrono::steady_clock::now();
    int tick = 0;
    for (; tick < limit; ++tick) {
        world->tick = tick;
        sim::RiderInput in;
        autopilot::drive_line(*bike, line, state, 1.0f, in);
        autopilot::start_procedure(plan, tick, *bike, in);
        sim::apply_input(*bike, in);
        sim::run_tick(*world, bikes);
        sim::Vec3 front = sim::body_position(bike->body(sim::k_front_wheel));
        track::update_timing(0, front.x, front.z, tick);
        track::update_standings(tick);
        if (tick < k_start_tick + 10 * 128)
            track::update_gate_drop(tick);
        if (!sim::bike_is_finite(*bike)) {
            r.nan = true;
            break;
        }
        bool backing = state.back_up_ticks > 0;
        if (backing && !was_backing)
            ++r.back_ups;
        was_backing = backing;
        if (tick > k_start_tick) {
            off_sum += state.line_distance;
            ++off_count;
            r.max_off_line = std::max(r.max_off_line, state.line_distance);
            r.top_speed = std::max(r.top_speed, sim::bike_speed(*bike));
        }
        if (trace && tick % 32 == 0)
            std::fprintf(stderr, "t %.2f pos %d off %.1f v %.1f want %.1f gear %d rpm %.0f lean %.2f pitch %.2f air %d ko %d laps %d eta %.2f wl %.2f yaw %.2f\n",
                         tick / 128.0, state.position, static_cast<double>(state.line_distance),
                         static_cast<double>(sim::bike_speed(*bike)), static_cast<double>(state.target_speed),
                         bike->controls.gear + 1, static_cast<double>(sim::engine_rpm(*bike)),
                         static_cast<double>(sim::lean_angle(bike->body(sim::k_frame))),
                         static_cast<double>(autopilot::frame_pitch(*bike)), state.airborne ? 1 : 0,
                         bike->knockout_count, track::laps_completed(0), static_cast<double>(state.heading_error), static_cast<double>(state.wanted_lean), static_cast<double>(sim::body_angular_vel(bike->body(sim::k_frame)).y));
        if (track::laps_completed(0) >= laps) {
            r.finished = true;
            ++tick;
            break;
        }
    }
    auto t1 = std::chrono::steady_clock::now();
    r.ticks = tick;
    r.wall_seconds = std::chrono::duration<double>(t1 - t0).count();
    r.realtime_factor = r.wall_seconds > 0 ? tick * static_cast<double>(sim::k_dt) / r.wall_seconds : 0;
    r.knockouts = bike->knockout_count;
    r.mean_off_line = off_count ? static_cast<float>(off_sum / off_count) : 0;
    for (int k = 1; k <= track::laps_completed(0); ++k)
        r.lap_seconds.push_back(static_cast<float>(track::lap_time_ticks(0, k)) / 128.0f);
    return r;
}

void print(const FollowReport& r, bool json)
{
    if (json) {
        std::printf("{\"track\": \"%s\", \"pace\": %.3f, \"laps\": %d, \"finished\": %s, \"lap_seconds\": [",
                    r.track.c_str(), static_cast<double>(r.pace), r.laps_wanted, r.finished ? "true" : "false");
        for (size_t i = 0; i < r.lap_seconds.size(); ++i)
            std::printf("%s%.3f", i ? ", " : "", static_cast<double>(r.lap_seconds[i]));
        std::printf("], \"knockouts\": %d, \"back_ups\": %d, \"mean_off_line_ft\": %.2f, \"max_off_line_ft\": %.2f, "
                    "\"top_speed_mph\": %.1f, \"ticks\": %d, \"wall_seconds\": %.3f, \"realtime_factor\": %.1f, "
                    "\"nan\": %s}\n",
                    r.knockouts, r.back_ups, static_cast<double>(r.mean_off_line),
                    static_cast<double>(r.max_off_line), static_cast<double>(r.top_speed / sim::k_ft_s_per_mph),
                    r.ticks, r.wall_seconds, r.realtime_factor, r.nan ? "true" : "false");
        return;
    }
    std::printf("follow %s at pace %.2f: %s %zu of %d laps\n", r.track.c_str(), static_cast<double>(r.pace),
                r.finished ? "finished" : "did not finish,", r.lap_seconds.size(), r.laps_wanted);
    for (size_t i = 0; i < r.lap_seconds.size(); ++i)
        std::printf("  lap %zu: %.3f s\n", i + 1, static_cast<double>(r.lap_seconds[i]));
    std::printf("  falls %d, back-ups %d, off the line %.1f ft on average (%.1f at most), top speed %.1f mph\n",
                r.knockouts, r.back_ups, static_cast<double>(r.mean_off_line), static_cast<double>(r.max_off_line),
                static_cast<double>(r.top_speed / sim::k_ft_s_per_mph));
    std::printf("  %d ticks in %.3f s (%.1f x real time)%s\n", r.ticks, r.wall_seconds, r.realtime_factor,
                r.nan ? ", NON-FINITE STATE" : "");
}

int run_follow(const Options& o)
{
    if (!o.has("--track")) {
        std::fprintf(stderr, "zarvox-sim: --follow needs --track NAME\n");
        return k_exit_failure;
    }
    float laps_f = 2, pace = 1;
    if (o.has("--laps") && !parse_float(o.value("--laps"), 1, 50, laps_f)) {
        std::fprintf(stderr, "zarvox-sim: --laps takes 1 to 50\n");
        return k_exit_failure;
    }
    if (o.has("--pace") && !parse_float(o.value("--pace"), 0, 1, pace)) {
        std::fprintf(stderr, "zarvox-sim: --pace takes a number from 0 to 1\n");
        return k_exit_failure;
    }
    std::string name = o.value("--track");
    if (!load_named_track(name))
        return k_exit_failure;
    if (!track::track_timing().has_timing()) {
        std::fprintf(stderr, "zarvox-sim: track '%s' has no timing gates\n", name.c_str());
        track::free_track();
        return k_exit_failure;
    }
    FollowReport r = follow(name, static_cast<int>(laps_f), pace, o.value("--bike", "450sxf(2017)"), o.has("--trace"));
    track::free_track();
    print(r, o.has("--json"));
    return r.nan || !r.finished ? k_exit_failure : 0;
}

const bool registered = register_mode(
    {"--follow", "one robot rides laps along the track's centre line (needs --track)", run_follow},
    {{"--laps", true, "L", "laps to ride (default 2)"},
     {"--pace", true, "P", "pace of the centre line, 0 slowest to 1 fastest (default 1)"},
     {"--trace", false, {}, "print the rider's state every quarter second on standard error"}});

}  // namespace
}  // namespace zv::sim_tool
