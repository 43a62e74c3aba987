// zarvox-sim --follow: robots start from the starting gates and ride laps
// along the track's centre line (each a little across from the next) with
// the driving controller, timed by the race rules; reports their lap times,
// falls, how far they strayed from the line and how fast the simulation ran.
#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <cstdlib>
#include <memory>
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

struct RiderResult {
    std::vector<float> lap_seconds;
    float max_off_line = 0;
    int knockouts = 0;
    int back_ups = 0;
    bool finished = false;
    bool nan = false;
};

struct FollowReport {
    std::string track;
    float pace = 1;
    int laps_wanted = 0;
    std::vector<RiderResult> riders;
    float mean_off_line = 0, max_off_line = 0;
    float top_speed = 0;
    int ticks = 0;
    double wall_seconds = 0, realtime_factor = 0;
    double cpu_seconds = 0, cpu_realtime_factor = 0;  // this process's processor time
    double driver_share = 0;                           // of the wall time, in the controller
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

// The riders' lines across the course: the middle, then either side.
float rider_offset(const track::TrackTiming& timing, int rider)
{
    static constexpr float k_offsets[] = {0, -1, 1, -0.5f, 0.5f};
    float narrowest = 1e9f;
    for (const track::Checkpoint& c : timing.checkpoints)
        narrowest = std::min(narrowest, c.radius);
    return 0.1f * narrowest * k_offsets[rider % 5];
}

struct Rider {
    std::unique_ptr<sim::Bike> bike;
    std::vector<autopilot::LinePoint> line;
    autopilot::StartPlan plan;
    autopilot::DriverState state;
    bool was_backing = false;
};

FollowReport follow(const std::string& name, int laps, float pace, int count, const std::string& model, bool trace,
                    int traced)
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

    track::RaceSetup setup;
    setup.start_tick = k_start_tick;
    setup.laps = laps;
    setup.track_name = name;
    track::begin_race(setup);

    std::mt19937 rng(12);
    std::uniform_real_distribution<float> uniform(0.0f, 1.0f);
    const autopilot::CentreLinePace line_pace = autopilot::centre_line_pace(pace);
    // One lap position past the finish keeps the aim point on the course.
    const int positions = timing.first_count() + (laps - 1) * timing.normal_count() + 1;
    std::vector<Rider> riders(static_cast<size_t>(count));
    std::vector<sim::Bike*> bikes;
    for (int i = 0; i < count; ++i) {
        Rider& x = riders[static_cast<size_t>(i)];
        x.bike = sim::create_bike(*world, model, i + 1, std::to_string(i + 1));
        track::StartPose start = track::start_position(timing, i, terrain.field_size);
        sim::place_bike(*x.bike, {start.x, track::terrain_height(terrain, start.x, start.z) + 0.1f, start.z},
                        start.heading);
        sim::RiderSetup rider_setup = sim::bench_setup();
        autopilot::robot_setup(rider_setup);
        sim::set_setup(*x.bike, rider_setup);
        track::set_rider(i, {track::RiderSource::robot, x.bike->number, x.bike->info.name});
        x.line = autopilot::centre_line(timing, terrain, start.x, start.z, start.heading, positions, line_pace);
        float offset = rider_offset(timing, i);
        if (offset != 0)
            autopilot::offset_line(x.line, offset, terrain, line_pace);
        x.plan = autopilot::plan_start(k_start_tick, autopilot::ready_signal_tick(k_start_tick), k_reaction_low,
                                       k_reaction_high, [&] { return uniform(rng); });
        bikes.push_back(x.bike.get());
    }
    r.riders.resize(static_cast<size_t>(count));
    if (trace)
        for (size_t k = 0; k < riders[0].line.size() && traced == 0; ++k)
            std::fprintf(stderr, "line %zu %.1f %.1f %.1f %.1f\n", k, static_cast<double>(riders[0].line[k].x),
                         static_cast<double>(riders[0].line[k].z), static_cast<double>(riders[0].line[k].y),
                         static_cast<double>(riders[0].line[k].speed));

    const int limit = k_start_tick + laps * k_seconds_per_lap_limit * 128;
    double off_sum = 0;
    long long off_count = 0;
    auto t0 = std::chrono::steady_clock::now();
    std::clock_t c0 = std::clock();
    std::chrono::steady_clock::duration in_driver{};
    std::vector<sim::Vec3> positions_now(static_cast<size_t>(count));
    int tick = 0;
    for (; tick < limit; ++tick) {
        world->tick = tick;
        for (int i = 0; i < count; ++i)
            positions_now[static_cast<size_t>(i)] = sim::body_position(bikes[static_cast<size_t>(i)]->body(sim::k_frame));
        auto d0 = std::chrono::steady_clock::now();
        for (int i = 0; i < count; ++i) {
            Rider& x = riders[static_cast<size_t>(i)];
            // Every bike but this one.
            std::swap(positions_now[static_cast<size_t>(i)], positions_now.back());
            x.state.traffic = std::span<const sim::Vec3>(positions_now.data(), positions_now.size() - 1);
            sim::RiderInput in;
            autopilot::drive_line(*x.bike, x.line, x.state, 1.0f, in);
            autopilot::start_procedure(x.plan, tick, *x.bike, in);
            sim::apply_input(*x.bike, in);
            std::swap(positions_now[static_cast<size_t>(i)], positions_now.back());
        }
        in_driver += std::chrono::steady_clock::now() - d0;
        sim::run_tick(*world, bikes);
        bool all_done = true;
        for (int i = 0; i < count; ++i) {
            Rider& x = riders[static_cast<size_t>(i)];
            RiderResult& res = r.riders[static_cast<size_t>(i)];
            sim::Vec3 front = sim::body_position(x.bike->body(sim::k_front_wheel));
            if (!res.nan)
                track::update_timing(i, front.x, front.z, tick);
            if (!sim::bike_is_finite(*x.bike))
                res.nan = true;
            bool backing = x.state.back_up_ticks > 0;
            if (backing && !x.was_backing)
                ++res.back_ups;
            x.was_backing = backing;
            if (tick > k_start_tick && !res.finished) {
                off_sum += x.state.line_distance;
                ++off_count;
                r.max_off_line = std::max(r.max_off_line, x.state.line_distance);
                res.max_off_line = std::max(res.max_off_line, x.state.line_distance);
                r.top_speed = std::max(r.top_speed, sim::bike_speed(*x.bike));
            }
            if (track::laps_completed(i) >= laps)
                res.finished = true;
            if (!res.finished && !res.nan)
                all_done = false;
        }
        track::update_standings(tick);
        if (tick < k_start_tick + 10 * 128)
            track::update_gate_drop(tick);
        const Rider& first = riders[static_cast<size_t>(std::clamp(traced, 0, count - 1))];
        if (trace && tick % 32 == 0)
            std::fprintf(stderr, "t %.2f pos %d off %.1f v %.1f want %.1f gear %d rpm %.0f lean %.2f pitch %.2f air %d ko %d laps %d eta %.2f wl %.2f yaw %.2f\n",
                         tick / 128.0, first.state.position, static_cast<double>(first.state.line_distance),
                         static_cast<double>(sim::bike_speed(*first.bike)), static_cast<double>(first.state.target_speed),
                         first.bike->controls.gear + 1, static_cast<double>(sim::engine_rpm(*first.bike)),
                         static_cast<double>(sim::lean_angle(first.bike->body(sim::k_frame))),
                         static_cast<double>(autopilot::frame_pitch(*first.bike)), first.state.airborne ? 1 : 0,
                         first.bike->knockout_count, track::laps_completed(traced),
                         static_cast<double>(first.state.heading_error), static_cast<double>(first.state.wanted_lean),
                         static_cast<double>(sim::body_angular_vel(first.bike->body(sim::k_frame)).y));
        if (all_done) {
            ++tick;
            break;
        }
    }
    auto t1 = std::chrono::steady_clock::now();
    r.ticks = tick;
    r.wall_seconds = std::chrono::duration<double>(t1 - t0).count();
    r.realtime_factor = r.wall_seconds > 0 ? tick * static_cast<double>(sim::k_dt) / r.wall_seconds : 0;
    r.cpu_seconds = static_cast<double>(std::clock() - c0) / CLOCKS_PER_SEC;
    r.cpu_realtime_factor = r.cpu_seconds > 0 ? tick * static_cast<double>(sim::k_dt) / r.cpu_seconds : 0;
    r.driver_share = r.wall_seconds > 0 ? std::chrono::duration<double>(in_driver).count() / r.wall_seconds : 0;
    r.mean_off_line = off_count ? static_cast<float>(off_sum / static_cast<double>(off_count)) : 0;
    for (int i = 0; i < count; ++i) {
        RiderResult& res = r.riders[static_cast<size_t>(i)];
        res.knockouts = riders[static_cast<size_t>(i)].bike->knockout_count;
        for (int k = 1; k <= track::laps_completed(i); ++k)
            res.lap_seconds.push_back(static_cast<float>(track::lap_time_ticks(i, k)) / 128.0f);
    }
    return r;
}

struct Summary {
    int finished = 0, knockouts = 0, back_ups = 0;
    bool nan = false;
    float best_fastest = 0, best_slowest = 0;  // over the riders' best laps
};

Summary summarize(const FollowReport& r)
{
    Summary s;
    bool any = false;
    for (const RiderResult& x : r.riders) {
        s.finished += x.finished ? 1 : 0;
        s.knockouts += x.knockouts;
        s.back_ups += x.back_ups;
        s.nan = s.nan || x.nan;
        // The best lap as the race counts it: lap 2 on (lap 1 starts at the gate).
        float best = 0;
        for (size_t k = 1; k < x.lap_seconds.size(); ++k)
            if (x.lap_seconds[k] > 0 && (best == 0 || x.lap_seconds[k] < best))
                best = x.lap_seconds[k];
        if (best > 0) {
            s.best_fastest = any ? std::min(s.best_fastest, best) : best;
            s.best_slowest = any ? std::max(s.best_slowest, best) : best;
            any = true;
        }
    }
    return s;
}

void print(const FollowReport& r, bool json)
{
    Summary s = summarize(r);
    if (json) {
        std::printf("{\"track\": \"%s\", \"pace\": %.3f, \"laps\": %d, \"riders\": %zu, \"finished\": %d, "
                    "\"knockouts\": %d, \"back_ups\": %d, \"best_lap_fastest\": %.3f, \"best_lap_slowest\": %.3f, "
                    "\"mean_off_line_ft\": %.2f, \"max_off_line_ft\": %.2f, \"top_speed_mph\": %.1f, \"ticks\": %d, "
                    "\"wall_seconds\": %.3f, \"realtime_factor\": %.1f, \"cpu_seconds\": %.3f, \"cpu_realtime_factor\": %.1f, "
                    "\"controller_share\": %.3f, \"nan\": %s, \"lap_seconds\": [",
                    r.track.c_str(), static_cast<double>(r.pace), r.laps_wanted, r.riders.size(), s.finished,
                    s.knockouts, s.back_ups, static_cast<double>(s.best_fastest), static_cast<double>(s.best_slowest),
                    static_cast<double>(r.mean_off_line), static_cast<double>(r.max_off_line),
                    static_cast<double>(r.top_speed / sim::k_ft_s_per_mph), r.ticks, r.wall_seconds,
                    r.realtime_factor, r.cpu_seconds, r.cpu_realtime_factor, r.driver_share, s.nan ? "true" : "false");
        for (size_t i = 0; i < r.riders.size(); ++i) {
            std::printf("%s[", i ? ", " : "");
            for (size_t k = 0; k < r.riders[i].lap_seconds.size(); ++k)
                std::printf("%s%.3f", k ? ", " : "", static_cast<double>(r.riders[i].lap_seconds[k]));
            std::printf("]");
        }
        std::printf("]}\n");
        return;
    }
    std::printf("follow %s at pace %.2f, %zu rider%s, %d laps: %d finished\n", r.track.c_str(),
                static_cast<double>(r.pace), r.riders.size(), r.riders.size() == 1 ? "" : "s", r.laps_wanted,
                s.finished);
    for (size_t i = 0; i < r.riders.size(); ++i) {
        const RiderResult& x = r.riders[i];
        std::printf("  rider %zu:", i + 1);
        for (float l : x.lap_seconds)
            std::printf(" %.3f", static_cast<double>(l));
        std::printf("%s, falls %d, back-ups %d, at most %.1f ft off the line%s\n",
                    x.finished ? "" : " (did not finish)", x.knockouts, x.back_ups,
                    static_cast<double>(x.max_off_line), x.nan ? ", NON-FINITE STATE" : "");
    }
    if (s.best_fastest > 0)
        std::printf("  best laps from %.3f to %.3f s\n", static_cast<double>(s.best_fastest),
                    static_cast<double>(s.best_slowest));
    std::printf("  off the line %.1f ft on average (%.1f at most), top speed %.1f mph\n",
                static_cast<double>(r.mean_off_line), static_cast<double>(r.max_off_line),
                static_cast<double>(r.top_speed / sim::k_ft_s_per_mph));
    std::printf("  %d ticks in %.3f s (%.1f x real time; %.3f s of processor time, %.1f x; %.1f %% in the controller)\n",
                r.ticks, r.wall_seconds, r.realtime_factor, r.cpu_seconds, r.cpu_realtime_factor,
                100 * r.driver_share);
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
    int riders = 1;
    if (o.has("--riders")) {
        float n = 0;
        if (!parse_float(o.value("--riders"), 1, 40, n) || n != std::floor(n)) {
            std::fprintf(stderr, "zarvox-sim: --follow takes 1 to 40 --riders\n");
            return k_exit_failure;
        }
        riders = static_cast<int>(n);
    }
    std::string name = o.value("--track");
    if (!load_named_track(name))
        return k_exit_failure;
    if (!track::track_timing().has_timing()) {
        std::fprintf(stderr, "zarvox-sim: track '%s' has no timing gates\n", name.c_str());
        track::free_track();
        return k_exit_failure;
    }
    FollowReport r = follow(name, static_cast<int>(laps_f), pace, riders, o.value("--bike", "450sxf(2017)"),
                            o.has("--trace"), o.has("--trace") ? std::atoi(o.value("--trace").c_str()) - 1 : 0);
    track::free_track();
    print(r, o.has("--json"));
    Summary s = summarize(r);
    return s.nan || s.finished == 0 ? k_exit_failure : 0;
}

const bool registered = register_mode(
    {"--follow", "robots ride laps along the track's centre line (needs --track; --riders N, default 1)",
     run_follow},
    {{"--laps", true, "L", "laps to ride (default 2)"},
     {"--pace", true, "P", "pace of the centre line, 0 slowest to 1 fastest (default 1)"},
     {"--trace", true, "N", "print rider N's state every quarter second on standard error"}});

}  // namespace
}  // namespace zv::sim_tool
