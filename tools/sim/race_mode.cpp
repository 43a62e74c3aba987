// zarvox-sim --race: a whole race of robots from the gates, no player, run
// through the game's own race tick until the race rules end it or a cap of
// simulated time is reached; prints the standings.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "core/data_file.h"
#include "core/debug_level.h"
#include "core/messages.h"
#include "race/ground_effects.h"
#include "race/headless_race.h"
#include "race/race_demo.h"
#include "race/race_tick.h"
#include "race/riders.h"
#include "race/robots.h"
#include "race/session.h"
#include "ground_report.h"
#include "race_memory.h"
#include "race_mode.h"
#include "replay/demo_player.h"
#include "sim_cli.h"
#include "track/terrain.h"
#include "track/track.h"
#include "track/track_list.h"

namespace zv::sim_tool {
namespace {

constexpr const char* k_skill_names[] = {"novice", "amateur", "expert"};
constexpr int k_max_race_laps = 1000;
constexpr int k_max_race_minutes = 600;

bool parse_count(const std::string& text, long lo, long hi, long& out)
{
    char* end = nullptr;
    long v = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end || v < lo || v > hi)
        return false;
    out = v;
    return true;
}

// A number option within [lo, hi]; false (after a message) when malformed.
bool read_count(const Options& o, const char* name, long lo, long hi, long& out)
{
    if (!o.has(name))
        return true;
    if (parse_count(o.value(name), lo, hi, out))
        return true;
    std::fprintf(stderr, "zarvox-sim: %s takes a whole number from %ld to %ld\n", name, lo, hi);
    return false;
}

double seconds(int ticks) { return ticks / static_cast<double>(race::k_ticks_per_second); }

// The newest messages of a failed load, oldest first.
void print_load_messages(const std::string& folder)
{
    int lines = 0;
    while (lines < core::k_message_ring_lines && *core::message_line(lines))
        ++lines;
    for (int back = lines - 1; back >= 0; --back)
        std::fprintf(stderr, "%s\n", core::message_line(back));
    if (lines == 0)
        std::fprintf(stderr, "zarvox-sim: track '%s' failed to load\n", folder.c_str());
}

void print_json_string(const std::string& s)
{
    std::putchar('"');
    for (unsigned char c : s) {
        if (c == '"' || c == '\\')
            std::printf("\\%c", c);
        else if (c < 0x20)
            std::printf("\\u%04x", c);
        else
            std::putchar(c);
    }
    std::putchar('"');
}

struct RaceRun {
    race::HeadlessRace race;
    long minutes = 0;
    bool learn = false;
    GroundReport ground;
    RaceWatch watch;
};

void print_json(const RaceRun& run, const race::HeadlessRaceReport& r)
{
    std::printf("{\"track\": ");
    print_json_string(run.race.track_folder);
    std::printf(", \"robots\": %d, \"laps\": %d, \"minutes\": %ld, \"skill\": \"%s\", \"seed\": ", run.race.robots,
                run.race.laps, run.minutes, k_skill_names[run.race.skill]);
    if (run.race.seed)
        std::printf("%u", *run.race.seed);
    else
        std::printf("null");
    std::printf(", \"learn\": %s, \"ended\": %s, \"capped\": %s, \"cap_seconds\": %.3f, \"ticks\": %d, "
                "\"simulated_seconds\": %.3f, \"wall_seconds\": %.3f, \"realtime_factor\": %.3f, ",
                run.learn ? "true" : "false", r.ended ? "true" : "false", r.ended ? "false" : "true",
                seconds(r.cap_ticks), r.ticks, seconds(r.ticks), r.wall_seconds, r.realtime_factor);
    print_ground_json(run.ground);
    print_watch_json(run.watch);
    std::printf("\"riders\": [");
    for (std::size_t i = 0; i < r.riders.size(); ++i) {
        const race::RiderResult& x = r.riders[i];
        std::printf("%s{\"place\": %d, \"number\": ", i ? ", " : "", x.place);
        print_json_string(x.number);
        std::printf(", \"bike\": ");
        print_json_string(x.bike);
        std::printf(", \"personality\": ");
        print_json_string(x.personality);
        std::printf(", \"finished\": %s, \"laps\": %d, \"total_time_s\": ", x.finished ? "true" : "false", x.laps);
        if (x.total_ticks)
            std::printf("%.3f", seconds(*x.total_ticks));
        else
            std::printf("null");
        std::printf(", \"best_lap\": %d, \"best_lap_s\": ", x.best_lap);
        if (x.best_lap > 0)
            std::printf("%.3f", seconds(x.best_lap_ticks));
        else
            std::printf("null");
        std::printf(", \"knockouts\": %d}", x.knockouts);
    }
    std::printf("]}\n");
}

void print_text(const RaceRun& run, const race::HeadlessRaceReport& r)
{
    std::printf("race on %s: %d robots, %d laps, %ld minutes, %s\n", run.race.track_folder.c_str(), run.race.robots,
                run.race.laps, run.minutes, k_skill_names[run.race.skill]);
    if (r.ended)
        std::printf("ended by the race rules after %d ticks (%.1f s)", r.ticks, seconds(r.ticks));
    else
        std::printf("not finished: stopped at the cap of %d ticks (%.1f s)", r.cap_ticks, seconds(r.cap_ticks));
    std::printf(" in %.3f s wall time (%.1f x real time)\n", r.wall_seconds, r.realtime_factor);
    print_watch_text(run.watch);
    std::printf("%5s %5s %-16s %-12s %8s %4s %10s %4s %10s %3s\n", "place", "no.", "bike", "personality",
                "finished", "laps", "total s", "blap", "best s", "ko");
    for (const race::RiderResult& x : r.riders) {
        char total[32] = "-", best[32] = "-";
        if (x.total_ticks)
            std::snprintf(total, sizeof total, "%.3f", seconds(*x.total_ticks));
        if (x.best_lap > 0)
            std::snprintf(best, sizeof best, "%.3f", seconds(x.best_lap_ticks));
        std::printf("%5d %5s %-16s %-12s %8s %4d %10s %4d %10s %3d\n", x.place, x.number.c_str(), x.bike.c_str(),
                    x.personality.empty() ? "-" : x.personality.c_str(), x.finished ? "yes" : "no", x.laps, total,
                    x.best_lap, best, x.knockouts);
    }
}

// "--demo FILE --race": the demo's track and laps, no robots of its own.
bool read_demo_run(const Options& o, RaceRun& run)
{
    run.race.demo_file = o.value("--demo");
    replay::DemoPlayer player;
    if (!replay::open_demo_playback(player, run.race.demo_file)) {
        std::fprintf(stderr, "zarvox-sim: '%s' is missing or not a demo\n", run.race.demo_file.c_str());
        return false;
    }
    run.race.track_folder = player.header.track;
    run.race.robots = static_cast<int>(player.header.riders.size());
    run.race.laps = std::max(player.header.laps, 0);
    run.race.time_limit_ticks = std::max(player.header.race_length_ticks, 0);
    run.minutes = run.race.time_limit_ticks / (60 * race::k_ticks_per_second);
    replay::close_demo_playback(player);
    return true;
}

bool read_run(const Options& o, RaceRun& run)
{
    if (o.has("--record"))
        run.race.record_file = o.value("--record");
    if (o.has("--demo"))
        return read_demo_run(o, run);
    run.race.track_folder = o.value("--track");
    if (run.race.track_folder.empty()) {
        std::fprintf(stderr, "zarvox-sim: --race needs --track NAME\n");
        return false;
    }
    long robots = 1, laps = -1, minutes = 0, seed = -1;
    if (!read_count(o, "--robots", 1, race::k_rider_slot_count, robots) ||
        !read_count(o, "--laps", 0, k_max_race_laps, laps) ||
        !read_count(o, "--minutes", 0, k_max_race_minutes, minutes) ||
        !read_count(o, "--seed", 0, 0xffffffffL, seed) || !read_ground_options(o, run.ground))
        return false;
    // A race of neither laps nor minutes would be over before it began.
    if (laps < 0)
        laps = minutes > 0 ? 0 : 2;
    if (laps == 0 && minutes == 0) {
        std::fprintf(stderr, "zarvox-sim: a race needs --laps or --minutes above 0\n");
        return false;
    }
    run.race.robots = static_cast<int>(robots);
    run.race.laps = static_cast<int>(laps);
    run.minutes = minutes;
    run.race.time_limit_ticks = static_cast<int>(minutes * 60 * race::k_ticks_per_second);
    if (seed >= 0)
        run.race.seed = static_cast<unsigned>(seed);
    run.race.skill = 0;
    if (o.has("--skill")) {
        const std::string skill = o.value("--skill");
        int found = -1;
        for (int i = 0; i < 3; ++i)
            if (skill == k_skill_names[i])
                found = i;
        if (found < 0) {
            std::fprintf(stderr, "zarvox-sim: --skill takes novice, amateur or expert\n");
            return false;
        }
        run.race.skill = found;
    }
    run.learn = o.has("--learn");
    // The log (TORV_LOGFILE) then has every gate passed and every line picked.
    if (o.has("--debug"))
        core::set_debug_level(1);
    return true;
}

}  // namespace

int run_race_mode(const Options& o)
{
    RaceRun run;
    if (!read_run(o, run))
        return k_exit_failure;
    track::TrackList tracks = track::build_track_list(core::working_set(), 0);
    if (track::find_track(tracks, run.race.track_folder) < 0) {
        std::fprintf(stderr, "zarvox-sim: no track '%s'\n", run.race.track_folder.c_str());
        return k_exit_failure;
    }
    track::set_track_list(std::move(tracks.folders), std::move(tracks.names));
    if (!race::create_physics_world()) {
        std::fprintf(stderr, "zarvox-sim: no physics world\n");
        return k_exit_failure;
    }
    race::set_line_learning(run.learn);
    start_ground_effects(run.ground);
    core::clear_messages();
    watch_race(run.race, run.watch);
    const race::HeadlessRaceReport report = race::run_headless_race(run.race);
    if (report.loaded)
        finish_ground_report(run.ground, run.race.track_folder);
    int status = 0;
    if (report.loaded && !run.race.record_file.empty() && !report.recording) {
        std::fprintf(stderr, "zarvox-sim: can't record into '%s'\n", run.race.record_file.c_str());
        status = k_exit_failure;
    }
    if (!report.loaded) {
        print_load_messages(run.race.track_folder);
        status = k_exit_failure;
    } else if (o.has("--json")) {
        print_json(run, report);
    } else {
        print_text(run, report);
    }
    race::end_session();
    race::destroy_physics_world();
    return status;
}

namespace {

const bool registered_options = register_options({
    {"--track", true, "NAME", "track folder, as in the game's track list"},
    {"--robots", true, "N", "race: robots in gates 1 to N (default 1)"},
    {"--laps", true, "L", "race: laps (default 2, or 0 with --minutes)"},
    {"--minutes", true, "M", "race: minutes before the last laps (default 0)"},
    {"--skill", true, "novice|amateur|expert", "race: the robots' skill (default novice)"},
    {"--seed", true, "K", "race: seed of the race's random draws (default: the clock)"},
    {"--learn", false, {}, "race: the riders' laps are learnt into the lines and saved"},
    {"--debug", false, {}, "race: debug level 1 in the log (gates passed, lines picked and offered)"},
    {"--json", false, {}, "print one JSON object"},
    {"--roostfrequency", true, "N", "race and maneuvers on a track: roost frequency 0 to 1000 (default 1000)"},
    {"--erode", true, "E", "race and maneuvers on a track: terrain erosion 0 to 100 (default 0: the ground stays as it is)"},
    {"--record", true, "FILE", "race: record the race into this demo file"},
});
const bool registered_race = registered_options &&
    register_mode({"--race", "a whole race of robots through the game's race tick, with its standings",
                   run_race_mode});

}  // namespace
}  // namespace zv::sim_tool
