// A long race watched from the side: the resident memory and whether every
// bike's state stayed finite, sampled every few simulated seconds so the
// race tick itself pays nothing.
#pragma once

#include <vector>

#include "race/headless_race.h"

namespace zv::sim_tool {

struct MemorySample {
    int tick = 0;
    long long resident_kb = 0;
    long long peak_kb = 0;
};

struct RaceWatch {
    std::vector<MemorySample> samples;  // in tick order; the first at tick 0
    bool memory_known = true;           // false: the system has no figures
    bool non_finite = false;            // some bike's state went NaN or infinite
    int first_non_finite_tick = -1;
};

// Sets the race's sampling hook to fill the watch (which must outlive the
// run): every ten simulated seconds, and at the start and the end.
void watch_race(race::HeadlessRace& race, RaceWatch& watch);

// The samples at the start, the middle (the one nearest half the ticks run)
// and the end; all zero when there are none.
struct MemoryFigures {
    MemorySample start, middle, end;
    double middle_to_end_percent = 0;  // resident memory's change
};
MemoryFigures memory_figures(const RaceWatch& watch);

// The watch's JSON fields, each followed by ", ", and its text lines.
void print_watch_json(const RaceWatch& watch);
void print_watch_text(const RaceWatch& watch);

}  // namespace zv::sim_tool
