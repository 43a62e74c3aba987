// A whole race without a window: robots from the gates, the race tick run
// until the race rules end the race or a cap of simulated time is reached.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "race/standings.h"

namespace zv::race {

struct HeadlessRace {
    std::string track_folder;
    int robots = 1;               // in gates 1 ... robots
    int laps = 0;
    int time_limit_ticks = 0;
    int skill = 0;
    std::optional<unsigned> seed; // the race's random generator; none: the clock
    int cap_ticks = 0;            // 0: the default cap (see headless_cap_ticks)
    std::string record_file;      // records the race into this demo file
    // Plays this demo instead: its riders, track, race length and laps; the
    // race ends with the race rules or when the demo runs out.
    std::string demo_file;
    // Watches a long run: called once the race is loaded (tick 0), every
    // sample_every_ticks ticks (0: never) and, with last set, after the
    // last tick.
    std::function<void(int tick, bool last)> on_sample;
    int sample_every_ticks = 0;
};

struct HeadlessRaceReport {
    bool loaded = false;          // false: the track (or the demo) could not be loaded
    bool recording = false;       // the record file was created
    bool ended = false;           // the race rules ended the race
    int ticks = 0;                // race ticks run
    int cap_ticks = 0;
    double wall_seconds = 0;
    double realtime_factor = 0;   // simulated seconds per wall second
    std::vector<RiderResult> riders;
};

// The default cap: the latest gate drop, the time limit, five minutes a lap
// (at least one lap) and the end-of-race delay.
int headless_cap_ticks(int laps, int time_limit_ticks);

// Loads the race (the physics world must exist), runs it and reports the
// standings. The race stays loaded for the caller to look at or end.
HeadlessRaceReport run_headless_race(const HeadlessRace& race);

}  // namespace zv::race
