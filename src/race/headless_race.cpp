#include "race/headless_race.h"

#include <algorithm>
#include <chrono>

#include "race/race_demo.h"
#include "race/race_tick.h"
#include "race/riders.h"
#include "race/session.h"

namespace zv::race {

namespace {

constexpr int k_latest_start_ticks = 15 * k_ticks_per_second;
constexpr int k_cap_ticks_per_lap = 5 * 60 * k_ticks_per_second;

}  // namespace

int headless_cap_ticks(int laps, int time_limit_ticks)
{
    const long long cap = k_latest_start_ticks + static_cast<long long>(std::max(time_limit_ticks, 0)) +
                          static_cast<long long>(std::max(laps, 1)) * k_cap_ticks_per_lap +
                          k_end_of_race_delay_ticks;
    return static_cast<int>(std::min<long long>(cap, 1LL << 30));
}

HeadlessRaceReport run_headless_race(const HeadlessRace& race)
{
    HeadlessRaceReport report;
    report.cap_ticks = race.cap_ticks > 0 ? race.cap_ticks : headless_cap_ticks(race.laps, race.time_limit_ticks);
    if (race.seed)
        seed_race_random(*race.seed);

    GateKinds gates{};
    const bool playing = !race.demo_file.empty();
    const int robots = playing ? 0 : std::clamp(race.robots, 0, k_rider_slot_count);
    for (int k = 0; k < robots; ++k)
        gates[static_cast<std::size_t>(k)] = k_gate_robot;
    SessionRequest req;
    req.demo_playing = playing;
    req.demo_file = race.demo_file;
    req.gates = &gates;
    req.laps = race.laps;
    req.time_limit_ticks = race.time_limit_ticks;
    req.skill = race.skill;
    req.track_folder = race.track_folder;
    report.loaded = load_session(req) && (!playing || demo_playing());
    if (!report.loaded)
        return report;
    if (!race.record_file.empty())
        report.recording = record_race_to(race.record_file);

    if (race.on_sample)
        race.on_sample(0, false);
    const int every = race.on_sample ? race.sample_every_ticks : 0;
    int next_sample = every > 0 ? every : -1;
    const auto begin = std::chrono::steady_clock::now();
    while (!race_ended() && report.ticks < report.cap_ticks && !demo_exhausted()) {
        race_tick();
        ++report.ticks;
        if (report.ticks == next_sample) {
            race.on_sample(report.ticks, false);
            next_sample += every;
        }
    }
    const std::chrono::duration<double> wall = std::chrono::steady_clock::now() - begin;
    report.wall_seconds = wall.count();
    report.realtime_factor =
        report.wall_seconds > 0 ? report.ticks / static_cast<double>(k_ticks_per_second) / report.wall_seconds : 0;
    report.ended = race_ended();
    if (race.on_sample)
        race.on_sample(report.ticks, true);
    report.riders = race_results();
    return report;
}

}  // namespace zv::race
