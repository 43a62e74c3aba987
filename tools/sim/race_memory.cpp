#include "race_memory.h"

#include <cstdio>
#include <cstdlib>

#include "platform/process_memory.h"
#include "race/riders.h"
#include "race/race_tick.h"
#include "sim/bike.h"

namespace zv::sim_tool {

namespace {

// The bikes are checked every simulated second (a robot's rescue could set a
// broken bike down again before a slower check saw it), the memory every ten.
constexpr int k_check_ticks = race::k_ticks_per_second;
constexpr int k_checks_per_memory_sample = 10;

bool all_bikes_finite()
{
    for (const race::RiderSlot& s : race::rider_slots())
        if (s.bike && !sim::bike_is_finite(*s.bike))
            return false;
    return true;
}

void take_sample(RaceWatch& w, int tick, bool last)
{
    if (!w.non_finite && !all_bikes_finite()) {
        w.non_finite = true;
        w.first_non_finite_tick = tick;
    }
    if (tick % (k_check_ticks * k_checks_per_memory_sample) != 0 && !last)
        return;
    const std::optional<platform::ProcessMemory> m = platform::process_memory();
    if (!m) {
        w.memory_known = false;
        return;
    }
    const MemorySample s{tick, m->resident_kb, m->peak_kb};
    if (!w.samples.empty() && w.samples.back().tick == tick)
        w.samples.back() = s;  // the end fell on a regular sample
    else if (w.samples.size() < w.samples.capacity())
        w.samples.push_back(s);
    else
        w.samples.back() = s;  // full (never, with the reserve): keep the end
}

double seconds(int ticks) { return ticks / static_cast<double>(race::k_ticks_per_second); }

void print_sample_json(const char* name, const MemorySample& s, long long MemorySample::*field)
{
    std::printf("\"%s\": %.1f", name, platform::kb_to_mb(s.*field));
}

void print_triple_json(const char* key, const MemoryFigures& f, long long MemorySample::*field)
{
    std::printf("\"%s\": {", key);
    print_sample_json("start", f.start, field);
    std::printf(", ");
    print_sample_json("middle", f.middle, field);
    std::printf(", ");
    print_sample_json("end", f.end, field);
    std::printf("}, ");
}

}  // namespace

void watch_race(race::HeadlessRace& race, RaceWatch& watch)
{
    // Room for every sample up to the cap, so sampling never grows the heap
    // while the figures are taken (the untouched pages are not resident).
    const int cap = race.cap_ticks > 0 ? race.cap_ticks : race::headless_cap_ticks(race.laps, race.time_limit_ticks);
    watch.samples.clear();
    watch.samples.reserve(static_cast<std::size_t>(cap / (k_check_ticks * k_checks_per_memory_sample)) + 3);
    race.sample_every_ticks = k_check_ticks;
    race.on_sample = [&watch](int tick, bool last) { take_sample(watch, tick, last); };
}

MemoryFigures memory_figures(const RaceWatch& watch)
{
    MemoryFigures f;
    if (watch.samples.empty())
        return f;
    f.start = watch.samples.front();
    f.end = watch.samples.back();
    const long long half = f.end.tick / 2;
    f.middle = f.start;
    for (const MemorySample& s : watch.samples)
        if (std::llabs(s.tick - half) < std::llabs(f.middle.tick - half))
            f.middle = s;
    if (f.middle.resident_kb > 0)
        f.middle_to_end_percent =
            100.0 * static_cast<double>(f.end.resident_kb - f.middle.resident_kb) / f.middle.resident_kb;
    return f;
}

void print_watch_json(const RaceWatch& watch)
{
    if (watch.memory_known && !watch.samples.empty()) {
        const MemoryFigures f = memory_figures(watch);
        std::printf("\"memory_seconds\": {\"start\": %.3f, \"middle\": %.3f, \"end\": %.3f}, ", seconds(f.start.tick),
                    seconds(f.middle.tick), seconds(f.end.tick));
        print_triple_json("rss_mb", f, &MemorySample::resident_kb);
        print_triple_json("peak_rss_mb", f, &MemorySample::peak_kb);
        std::printf("\"rss_middle_to_end_percent\": %.2f, ", f.middle_to_end_percent);
    } else {
        std::printf("\"rss_mb\": null, \"peak_rss_mb\": null, ");
    }
    std::printf("\"non_finite\": %s, \"first_non_finite_s\": ", watch.non_finite ? "true" : "false");
    if (watch.non_finite)
        std::printf("%.3f, ", seconds(watch.first_non_finite_tick));
    else
        std::printf("null, ");
}

void print_watch_text(const RaceWatch& watch)
{
    if (watch.memory_known && !watch.samples.empty()) {
        const MemoryFigures f = memory_figures(watch);
        const MemorySample* at[] = {&f.start, &f.middle, &f.end};
        const char* names[] = {"start", "middle", "end"};
        for (int i = 0; i < 3; ++i)
            std::printf("memory at %-6s (%8.1f s): resident %8.1f MB, peak %8.1f MB\n", names[i],
                        seconds(at[i]->tick), platform::kb_to_mb(at[i]->resident_kb),
                        platform::kb_to_mb(at[i]->peak_kb));
        std::printf("resident memory from middle to end: %+.2f %%\n", f.middle_to_end_percent);
    } else {
        std::printf("memory: no figures on this system\n");
    }
    if (watch.non_finite)
        std::printf("state went non-finite at %.3f s\n", seconds(watch.first_non_finite_tick));
    else
        std::printf("state stayed finite\n");
}

}  // namespace zv::sim_tool
