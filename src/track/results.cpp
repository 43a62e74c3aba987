#include "track/results.h"

#include <cstdarg>
#include <cstdio>

#include "core/data_file.h"
#include "platform/text_format.h"
#include "track/race_rules.h"
#include "track/timing.h"

namespace zv::track {

namespace {

// "%3d:%02d.%03d" of a tick count, truncated to whole milliseconds; a
// negative count shows as zero.
void append_time(std::string& out, long long ticks)
{
    long long ms = ticks > 0 ? ticks * 1000 / k_ticks_per_second : 0;
    platform::append_format(out, "%3d:%02d.%03d", static_cast<int>(ms / 60000), static_cast<int>(ms / 1000 % 60),
           static_cast<int>(ms % 1000));
}

// The lap a position belongs to: 0 for the first lap's checkpoints.
long long lap_of(const TrackTiming& t, long long p)
{
    if (t.normal_count() == 0 || p < t.first_count())
        return 0;
    return (p - t.first_count()) / t.normal_count() + 1;
}

}  // namespace

std::string format_results(std::time_t now)
{
    const RaceState& race = race_state();
    const TrackTiming& t = track_timing();
    // Before the race is over (the server's periodic rewrite) the running
    // standings stand in for the final list.
    const std::vector<Standing> order = has_final_standings() ? final_standings() : running_standings();

    std::string out;
    platform::append_format(out, "Time=%.2f|Laps=%d|Track=%s|Date=%ld\r\n",
           static_cast<double>(race.time_limit_ticks) / k_ticks_per_second, race.extra_laps,
           race.track_name.c_str(), static_cast<long>(now));
    platform::append_format(out, "%4s | %12s | %4s | %10s | %4s | %10s\r\n", "No.", "Bike", "Laps", "Total Time",
           "BLap", "Best Time");

    std::vector<const Standing*> finished;
    for (const Standing& s : order)
        if (is_finished(s.slot))
            finished.push_back(&s);

    for (const Standing* s : finished) {
        const RiderEntry& e = race.entries[static_cast<std::size_t>(s->slot)];
        platform::append_format(out, "%4s | %12s | %4d | ", e.number.c_str(), e.bike_name.c_str(),
               laps_completed(t, s->position));
        append_time(out, static_cast<long long>(s->tick) - race.start_tick);
        const BestLap best = best_lap(s->slot);
        platform::append_format(out, " | %4d | ", best.lap);
        append_time(out, best.ticks);
        out += "\r\n";
    }

    for (const Standing* s : finished) {
        const int n = rider_position(s->slot);
        platform::append_format(out, "\r\n%d\r\n", n);
        for (int p = 0; p < n; ++p) {
            const int tick = crossing_tick(s->slot, p);
            if (tick == -1)
                platform::append_format(out, "%8d", -1);
            else
                platform::append_format(out, "%8.3f",
                       static_cast<double>(static_cast<long long>(tick) - race.start_tick) /
                           k_ticks_per_second);
            const bool same_lap = p + 1 < n && lap_of(t, p + 1) == lap_of(t, p);
            out += same_lap ? " " : "\r\n";
        }
    }
    return out;
}

bool write_results_file(std::time_t now)
{
    const std::string text = format_results(now);
    core::DataFilePtr file = core::open_data_file(k_results_file, "wb");
    if (!file)
        return false;
    const bool written = core::write_text(*file, text);
    return core::commit_data_file(std::move(file), written);
}

bool write_results_file() { return write_results_file(std::time(nullptr)); }

}  // namespace zv::track
