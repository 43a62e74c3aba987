#include "race/time_trial.h"

#include <cstdio>
#include <string>

#include "core/debug_level.h"
#include "platform/log.h"
#include "track/race_rules.h"
#include "track/timing.h"

namespace zv::race {

namespace {

TrialRecord& record()
{
    static TrialRecord r;
    return r;
}

// m:ss.mmm, for the log.
std::string lap_text(int ticks)
{
    if (ticks < 0)
        ticks = 0;
    const int ms = static_cast<int>(static_cast<long long>(ticks) * 1000 / 128);
    char buf[32];
    std::snprintf(buf, sizeof buf, "%d:%02d.%03d", ms / 60000, ms / 1000 % 60, ms % 1000);
    return buf;
}

// Every gate from `from` to `to` was passed (none jumped over).
bool clean(int slot, int from, int to)
{
    for (int p = from; p <= to; ++p)
        if (track::crossing_tick(slot, p) < 0)
            return false;
    return true;
}

}  // namespace

const TrialRecord& trial_record() { return record(); }

void reset_trial_record() { record() = TrialRecord{}; }

bool note_trial_timing(int slot)
{
    TrialRecord& r = record();
    const track::TrackTiming& t = track::track_timing();
    int now = track::rider_position(slot);
    if (!t.has_timing() || now <= r.seen_position) {
        r.seen_position = now;  // nothing new, or the rider went back a gate
        return false;
    }
    bool timed = false;
    for (int q = r.seen_position; q < now; ++q) {
        int tick = track::crossing_tick(slot, q);
        if (tick < 0)
            continue;  // jumped over
        if (q == 0 && r.attempt_start < 0) {
            r.attempt_start = tick;
            r.attempt_position = 0;
        }
        if (!track::is_lap_end(t, q))
            continue;
        if (r.attempt_start >= 0 && q > r.attempt_position) {
            int lap = tick - r.attempt_start;
            if (lap > 0 && clean(slot, r.attempt_position, q)) {
                r.last_ticks = lap;
                if (r.best_ticks == 0 || lap < r.best_ticks)
                    r.best_ticks = lap;
                ++r.laps;
                timed = true;
                if (core::debug_level() >= 1)
                    platform::log_printf("Time trial lap %d: %s (best %s)\n", r.laps,
                                         lap_text(lap).c_str(),
                                         lap_text(r.best_ticks).c_str());
            } else if (core::debug_level() >= 1) {
                platform::log_printf("Time trial lap not timed: a gate was missed\n");
            }
        }
        // The next attempt starts at this lap end.
        r.attempt_start = tick;
        r.attempt_position = q;
    }
    r.seen_position = now;
    return timed;
}

void abandon_trial_attempt(int slot)
{
    TrialRecord& r = record();
    r.attempt_start = -1;
    r.attempt_position = -1;
    r.seen_position = track::rider_position(slot);
}

}  // namespace zv::race
