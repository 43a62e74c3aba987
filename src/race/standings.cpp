#include "race/standings.h"

#include "race/riders.h"
#include "track/race_rules.h"
#include "track/timing.h"

namespace zv::race {

std::vector<RiderResult> race_results()
{
    const track::RaceState& race = track::race_state();
    const track::TrackTiming& t = track::track_timing();
    const bool final_list = track::has_final_standings();
    const std::vector<track::Standing>& order = final_list ? track::final_standings() : track::running_standings();
    std::vector<RiderResult> out;
    out.reserve(order.size());
    for (const track::Standing& s : order) {
        const RiderSlot& r = rider_slot(s.slot);
        const track::RiderEntry& e = race.entries[static_cast<std::size_t>(s.slot)];
        RiderResult x;
        x.place = static_cast<int>(out.size()) + 1;
        x.slot = s.slot;
        x.number = e.number;
        x.bike = e.bike_name;
        x.personality = r.personality;
        x.finished = track::is_finished(s.slot);
        x.laps = track::laps_completed(t, s.position);
        if (s.position > 0)
            x.total_ticks = s.tick - race.start_tick;
        const track::BestLap best = track::best_lap(s.slot);
        x.best_lap = best.lap;
        x.best_lap_ticks = best.ticks;
        x.knockouts = r.bike ? r.bike->knockout_count : 0;
        out.push_back(std::move(x));
    }
    return out;
}

}  // namespace zv::race
