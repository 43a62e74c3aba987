// zarvox-sim --maneuver and --bench: bikes ridden by script on a flat field
// or a track, with what they did (speeds, times, stopping distance, sag)
// and how fast the simulation runs.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "ground_report.h"
#include "race/ground_effects.h"
#include "sim/bike.h"
#include "sim/bike_info.h"
#include "sim/maneuver.h"
#include "sim_cli.h"
#include "sim_track.h"
#include "track/terrain.h"
#include "track/timing.h"
#include "track/track.h"

namespace zv::sim_tool {
namespace {

constexpr int k_max_riders = 160;

bool parse_int(const std::string& text, int lo, int hi, int& out)
{
    char* end = nullptr;
    long v = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end || v < lo || v > hi)
        return false;
    out = static_cast<int>(v);
    return true;
}

bool parse_seconds(const std::string& text, float& out)
{
    char* end = nullptr;
    float v = std::strtof(text.c_str(), &end);
    if (text.empty() || *end || !std::isfinite(v) || v < 0 || v > 3600)
        return false;
    out = v;
    return true;
}

void print_optional(std::optional<float> v, const char* format)
{
    if (v)
        std::printf(format, static_cast<double>(*v));
    else
        std::printf("null");
}

void print_json(const sim::ManeuverReport& r, const GroundReport* ground)
{
    std::printf("{\"ticks\": %d, \"wall_seconds\": %.6f, \"realtime_factor\": %.3f, ", r.ticks, r.wall_seconds,
                r.realtime_factor);
    if (ground)
        print_ground_json(*ground);
    std::printf("\"riders\": [");
    for (size_t i = 0; i < r.riders.size(); ++i) {
        const sim::RiderReport& x = r.riders[i];
        std::printf("%s{\"model\": \"%s\", \"max_speed_mph\": %.3f, \"time_to_30mph_s\": ", i ? ", " : "",
                    x.model.c_str(), static_cast<double>(x.max_speed_mph));
        print_optional(x.time_to_30mph_s, "%.4f");
        std::printf(", \"time_to_60mph_s\": ");
        print_optional(x.time_to_60mph_s, "%.4f");
        std::printf(", \"stop_distance_ft\": ");
        print_optional(x.stop_distance_ft, "%.3f");
        std::printf(", \"knockouts\": %d, \"max_abs_lean_deg\": %.3f, \"fork_sag_mm\": %.2f, "
                    "\"shock_sag_mm\": %.2f, \"max_rpm\": %.0f, \"final_gear\": %d, \"nan\": %s}",
                    x.knockouts, static_cast<double>(x.max_abs_lean_deg), static_cast<double>(x.fork_sag_mm),
                    static_cast<double>(x.shock_sag_mm), static_cast<double>(x.max_rpm), x.final_gear,
                    x.nan ? "true" : "false");
    }
    std::printf("]}\n");
}

void print_text(const sim::ManeuverReport& r, sim::Maneuver m)
{
    std::printf("maneuver %s: %d ticks in %.3f s (%.1f x real time)\n", sim::maneuver_name(m), r.ticks,
                r.wall_seconds, r.realtime_factor);
    std::printf("%-16s %8s %7s %7s %8s %3s %7s %7s %7s %6s %4s %s\n", "model", "max mph", "0-30 s", "0-60 s",
                "stop ft", "ko", "lean", "fork", "shock", "rpm", "gear", "nan");
    auto opt = [](std::optional<float> v) {
        char buf[32];
        if (v)
            std::snprintf(buf, sizeof buf, "%.2f", static_cast<double>(*v));
        else
            std::snprintf(buf, sizeof buf, "-");
        return std::string(buf);
    };
    for (const sim::RiderReport& x : r.riders)
        std::printf("%-16s %8.1f %7s %7s %8s %3d %7.1f %7.1f %7.1f %6.0f %4d %s\n", x.model.c_str(),
                    static_cast<double>(x.max_speed_mph), opt(x.time_to_30mph_s).c_str(),
                    opt(x.time_to_60mph_s).c_str(), opt(x.stop_distance_ft).c_str(), x.knockouts,
                    static_cast<double>(x.max_abs_lean_deg), static_cast<double>(x.fork_sag_mm),
                    static_cast<double>(x.shock_sag_mm), static_cast<double>(x.max_rpm), x.final_gear,
                    x.nan ? "yes" : "no");
}

int run_maneuver_mode(const Options& o)
{
    auto m = sim::parse_maneuver(o.value("--maneuver"));
    if (!m) {
        std::fprintf(stderr, "zarvox-sim: --maneuver takes rest, launch, brake or ride\n");
        return k_exit_failure;
    }
    sim::ManeuverOptions mo;
    mo.maneuver = *m;
    mo.model = o.value("--bike", "450sxf(2017)");
    if (!sim::find_bike_info(mo.model))
        std::fprintf(stderr, "zarvox-sim: no bike '%s', using the substitute\n", mo.model.c_str());
    int riders = 1;
    if (o.has("--riders") && !parse_int(o.value("--riders"), 1, k_max_riders, riders)) {
        std::fprintf(stderr, "zarvox-sim: --riders takes 1 to %d\n", k_max_riders);
        return k_exit_failure;
    }
    mo.seconds = 20;
    if (o.has("--seconds") && !parse_seconds(o.value("--seconds"), mo.seconds)) {
        std::fprintf(stderr, "zarvox-sim: --seconds takes a number of seconds from 0 to 3600\n");
        return k_exit_failure;
    }
    if (o.has("--flat") == o.has("--track")) {
        std::fprintf(stderr, "zarvox-sim: give either --flat or --track NAME\n");
        return k_exit_failure;
    }
    GroundReport ground;
    if (!read_ground_options(o, ground))
        return k_exit_failure;
    if (o.has("--flat") && (o.has("--roostfrequency") || o.has("--erode"))) {
        std::fprintf(stderr, "zarvox-sim: --roostfrequency and --erode need --track NAME\n");
        return k_exit_failure;
    }
    sim::ManeuverReport report;
    if (o.has("--flat")) {
        track::Terrain field = sim::make_flat_field();
        auto starts = sim::side_by_side(field, riders);
        report = sim::run_maneuver(field, starts, mo);
    } else {
        if (!load_named_track(o.value("--track")))
            return k_exit_failure;
        const track::Terrain& terrain = track::loaded_terrain();
        std::vector<sim::StartPose> starts;
        for (int slot = 0; slot < riders; ++slot) {
            track::StartPose p = track::start_position(track::track_timing(), slot, terrain.field_size);
            starts.push_back({{p.x, track::terrain_height(terrain, p.x, p.z), p.z}, p.heading});
        }
        mo.objects = true;
        // The wheels throw roost and cut the ground as in a race: riders are
        // numbered from 0 for their erosion events.
        start_ground_effects(ground);
        race::reset_ground_effects(false);
        mo.before_step = [](std::span<sim::Bike* const> bikes, int tick) { race::emit_ground_roost(bikes, tick); };
        mo.after_step = [](std::span<sim::Bike* const> bikes, int) {
            for (std::size_t i = 0; i < bikes.size(); ++i)
                race::erode_ground(static_cast<int>(i), *bikes[i]);
            race::update_roost();
        };
        report = sim::run_maneuver(terrain, starts, mo);
        finish_ground_report(ground, o.value("--track"));
        track::free_track();
    }
    if (o.has("--json"))
        print_json(report, o.has("--track") ? &ground : nullptr);
    else
        print_text(report, *m);
    for (const sim::RiderReport& r : report.riders)
        if (r.nan)
            return k_exit_failure;
    return 0;
}

int run_bench_mode(const Options& o)
{
    sim::ManeuverOptions mo;
    mo.maneuver = sim::Maneuver::ride;
    mo.model = o.value("--bike", "450sxf(2017)");
    mo.seconds = 30;
    if (o.has("--seconds") && !parse_seconds(o.value("--seconds"), mo.seconds)) {
        std::fprintf(stderr, "zarvox-sim: --seconds takes a number of seconds from 0 to 3600\n");
        return k_exit_failure;
    }
    track::Terrain field = sim::make_flat_field();
    std::printf("%-8s %12s %12s %14s\n", "riders", "sim seconds", "wall seconds", "x real time");
    int status = 0;
    for (int riders : {1, 10, 40}) {
        auto starts = sim::side_by_side(field, riders);
        sim::ManeuverReport r = sim::run_maneuver(field, starts, mo);
        std::printf("%-8d %12.2f %12.3f %14.2f\n", riders, r.ticks * static_cast<double>(sim::k_dt),
                    r.wall_seconds, r.realtime_factor);
        std::fflush(stdout);
        for (const sim::RiderReport& x : r.riders)
            if (x.nan)
                status = k_exit_failure;
    }
    return status;
}

// "--maneuver NAME" selects the mode and carries a value: register the
// option with its value before the mode registers the flag.
const bool registered_options = register_options({
    {"--maneuver", true, "rest|launch|brake|ride", "ride a scripted maneuver and report it"},
    {"--flat", false, {}, "a flat field of the default surface"},
    {"--track", true, "NAME", "track folder, as in the game's track list"},
    {"--bike", true, "MODEL", "bike model (default 450sxf(2017))"},
    {"--riders", true, "N", "riders side by side or at the track's start positions"},
    {"--seconds", true, "S", "maneuver seconds after a 2 s settling period"},
    {"--json", false, {}, "print one JSON object"},
});
const bool registered_maneuver =
    registered_options && register_mode({"--maneuver", "ride a scripted maneuver and report it", run_maneuver_mode});
const bool registered_bench = register_mode(
    {"--bench", "real-time factors of 1, 10 and 40 riders riding on the flat field", run_bench_mode});

}  // namespace
}  // namespace zv::sim_tool
