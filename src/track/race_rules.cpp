#include "track/race_rules.h"

#include <algorithm>
#include <climits>
#include <map>
#include <optional>
#include <tuple>

#include "track/results.h"
#include "track/start_gate.h"
#include "track/terrain.h"

namespace zv::track {

namespace {

RaceState g_race;

constexpr int k_default_section_ticks = 60 * k_ticks_per_second;  // nobody rode it cleanly
constexpr int k_section_allowance_ticks = 1 * k_ticks_per_second;
// Offsets from the rider's position tested each tick, in this order. The
// position just behind (-1) is never tested.
constexpr int k_scan_offsets[] = {-3, -2, 0, 1, 2};

bool valid_slot(int slot) { return slot >= 0 && slot < k_rider_slots; }

// The crossing tick at p; -1 when p was never reached or was passed over.
int tick_at(const RiderTiming& r, long long p)
{
    if (p < 0 || p >= static_cast<long long>(r.ticks.size()))
        return -1;
    return r.ticks[static_cast<std::size_t>(p)];
}

Standing make_standing(int slot)
{
    const RiderTiming& r = g_race.riders[static_cast<std::size_t>(slot)];
    Standing s;
    s.slot = slot;
    s.position = r.position;
    s.tick = r.position > 0 ? tick_at(r, r.position - 1) : 0;
    return s;
}

// Further along first; on the same position the earlier passage; then the
// lower slot.
bool standing_before(const Standing& a, const Standing& b)
{
    if (a.position != b.position)
        return a.position > b.position;
    if (a.tick != b.tick)
        return a.tick < b.tick;
    return a.slot < b.slot;
}

void stamp(RiderTiming& r, long long p, int tick)
{
    if (static_cast<long long>(r.ticks.size()) <= p)
        r.ticks.resize(static_cast<std::size_t>(p) + 1, -1);
    r.ticks[static_cast<std::size_t>(p)] = tick;
    r.position = static_cast<int>(p) + 1;
}

// The field as the cutting penalty sees it: every rider of the running
// standings with a count of passed-over positions before each position, so
// that a section's cleanness is one subtraction, and the expected times
// worked out so far (many riders cut the same sections).
class FieldSections {
public:
    explicit FieldSections(const TrackTiming& t) : t_(t)
    {
        for (const Standing& st : g_race.running) {
            const RiderTiming& r = g_race.riders[static_cast<std::size_t>(st.slot)];
            View v;
            v.rider = &r;
            v.limit = std::min<long long>(r.position, static_cast<long long>(r.ticks.size()));
            v.missed.resize(static_cast<std::size_t>(v.limit) + 1, 0);
            for (long long k = 0; k < v.limit; ++k)
                v.missed[static_cast<std::size_t>(k) + 1] =
                    v.missed[static_cast<std::size_t>(k)] + (r.ticks[static_cast<std::size_t>(k)] == -1);
            views_.push_back(std::move(v));
        }
    }

    // What the field takes for the section (s, e], plus the allowance.
    long long expected(long long s, long long e)
    {
        const bool first_lap = s < t_.first_count();
        const long long key_start =
            first_lap ? s : t_.first_count() + (s - t_.first_count()) % t_.normal_count();
        const auto key = std::make_tuple(first_lap, key_start, e - s);
        if (auto it = memo_.find(key); it != memo_.end())
            return it->second;
        long long sum = 0, count = 0;
        for (const View& v : views_) {
            auto value = first_lap ? clean_time(v, s, e) : normal_lap_average(v, key_start, e - s);
            if (value && *value >= 0) {
                sum += *value;
                ++count;
            }
        }
        const long long mean = count > 0 ? sum / count : k_default_section_ticks;
        return memo_[key] = mean + k_section_allowance_ticks;
    }

private:
    struct View {
        const RiderTiming* rider = nullptr;
        long long limit = 0;             // positions passed and recorded
        std::vector<long long> missed;   // passed-over positions before k
    };

    // Ticks from s to e when every position from s to e is stamped (a
    // negative s counts as stamped at tick 0).
    static std::optional<long long> clean_time(const View& v, long long s, long long e)
    {
        if (e >= v.limit || e < 0)
            return std::nullopt;
        long long begin = 0;
        if (s >= 0) {
            begin = tick_at(*v.rider, s);
            if (begin == -1)
                return std::nullopt;
        }
        const long long from = std::max(s + 1, 0LL);
        if (v.missed[static_cast<std::size_t>(e) + 1] != v.missed[static_cast<std::size_t>(from)])
            return std::nullopt;
        return tick_at(*v.rider, e) - begin;
    }

    // The average of the rider's clean times for the section taken in every
    // normal lap, the first section starting at position b.
    std::optional<long long> normal_lap_average(const View& v, long long b, long long len) const
    {
        long long sum = 0, count = 0;
        for (; b + len < v.limit; b += t_.normal_count()) {
            if (auto value = clean_time(v, b, b + len)) {
                sum += *value;
                ++count;
            }
        }
        if (count == 0)
            return std::nullopt;
        return sum / count;
    }

    const TrackTiming& t_;
    std::vector<View> views_;
    std::map<std::tuple<bool, long long, long long>, long long> memo_;
};

long long rider_penalty(FieldSections& field, const RiderTiming& r)
{
    const long long end = std::min<long long>(r.position, static_cast<long long>(r.ticks.size()));
    long long penalty = 0;
    long long missed = 0;
    long long last = 0;
    for (long long j = 0; j < end; ++j) {
        const int tj = r.ticks[static_cast<std::size_t>(j)];
        if (tj == -1) {
            ++missed;
            continue;
        }
        if (missed > 0) {
            // The section from j - missed - 1 to j was cut short.
            const long long expected = field.expected(j - missed - 1, j);
            const long long own = tj - last;
            if (own < expected)
                penalty += expected - own;
        }
        last = tj;
        missed = 0;
    }
    return std::min<long long>(penalty, INT_MAX);
}

// A rider the local machine does not drive may stop counting: a replay
// whose data ran out, an online opponent no longer heard from.
bool done_without_finishing(int slot, int tick)
{
    const long long idle =
        static_cast<long long>(tick) - g_race.last_data_tick[static_cast<std::size_t>(slot)];
    switch (g_race.entries[static_cast<std::size_t>(slot)].source) {
    case RiderSource::replayed:
        return idle >= k_replayed_stale_ticks;
    case RiderSource::remote:
        return g_race.online && idle >= k_remote_stale_ticks;
    default:
        return false;
    }
}

// A timed race: the halfway lap, and the race's laps once time is up.
void settle_timed_race(const TrackTiming& t, int tick)
{
    if (g_race.time_limit_ticks <= 0 || g_race.running.empty())
        return;
    const long long start = g_race.start_tick;
    const long long limit = g_race.time_limit_ticks;
    const int leader_laps = laps_completed(t, g_race.running.front().position);
    if (g_race.halfway_lap == k_laps_unknown && tick >= start + limit / 2)
        g_race.halfway_lap = leader_laps + 1;
    if (tick < start + limit)
        return;
    long long o = std::clamp<long long>(leader_laps - 1, 1, std::max(g_race.race_laps, 1));
    for (;;) {
        const long long end = lap_end_position(t, o);
        int earliest = -1;
        for (int slot = 0; slot < k_rider_slots; ++slot) {
            if (!g_race.in_use[static_cast<std::size_t>(slot)])
                continue;
            const int v = tick_at(g_race.riders[static_cast<std::size_t>(slot)], end);
            if (v != -1 && (earliest == -1 || v < earliest))
                earliest = v;
        }
        if (earliest == -1)
            return;
        if (earliest >= start + limit) {
            g_race.race_laps = static_cast<int>(std::min<long long>(g_race.race_laps, o + g_race.extra_laps));
            return;
        }
        g_race.race_laps =
            static_cast<int>(std::max<long long>(g_race.race_laps, o + g_race.extra_laps + 1));
        ++o;
    }
}

void make_final_list(const TrackTiming& t)
{
    g_race.final_list.clear();
    FieldSections field(t);
    for (int slot = 0; slot < k_rider_slots; ++slot) {
        if (!g_race.in_use[static_cast<std::size_t>(slot)])
            continue;
        Standing s = make_standing(slot);
        long long penalty = rider_penalty(field, g_race.riders[static_cast<std::size_t>(slot)]);
        if (laps_completed(t, s.position) >= 2) {
            // A penalty longer than the best lap costs whole laps first.
            const long long w = best_lap(slot).ticks;
            while (w > 0 && penalty > w && s.position > t.first_count()) {
                s.position -= t.normal_count();
                penalty -= w;
                ++s.laps_deducted;
            }
        }
        s.tick = static_cast<int>(std::min<long long>(s.tick + penalty, INT_MAX));
        s.penalty_ticks = static_cast<int>(penalty);
        g_race.final_list.push_back(s);
    }
    std::sort(g_race.final_list.begin(), g_race.final_list.end(), standing_before);
    g_race.final_exists = true;
}

}  // namespace

// ---- set-up ----

void begin_race(const RaceSetup& setup)
{
    g_race = RaceState{};
    g_race.start_tick = setup.start_tick;
    g_race.time_limit_ticks = std::max(setup.time_limit_ticks, 0);
    g_race.extra_laps = std::clamp(setup.laps, 0, k_laps_unknown);
    if (g_race.time_limit_ticks > 0) {
        g_race.race_laps = k_laps_unknown;
        g_race.halfway_lap = k_laps_unknown;
    } else {
        g_race.race_laps = g_race.extra_laps;
        g_race.halfway_lap = (g_race.extra_laps + 1) / 2;
    }
    g_race.online = setup.online;
    g_race.local_drives_rider = setup.local_drives_rider;
    g_race.track_name = setup.track_name;
    reset_gate_states();
    reset_false_start();
}

void set_rider(int slot, const RiderEntry& entry)
{
    if (!valid_slot(slot))
        return;
    g_race.in_use[static_cast<std::size_t>(slot)] = true;
    g_race.entries[static_cast<std::size_t>(slot)] = entry;
}

void clear_rider(int slot)
{
    if (!valid_slot(slot))
        return;
    g_race.in_use[static_cast<std::size_t>(slot)] = false;
    g_race.entries[static_cast<std::size_t>(slot)] = RiderEntry{};
    g_race.riders[static_cast<std::size_t>(slot)] = RiderTiming{};
}

void note_rider_data(int slot, int tick)
{
    if (valid_slot(slot))
        g_race.last_data_tick[static_cast<std::size_t>(slot)] = tick;
}

const RaceState& race_state() { return g_race; }

// ---- per tick ----

void update_timing(int slot, float front_x, float front_z, int tick)
{
    const TrackTiming& t = track_timing();
    if (!valid_slot(slot) || !t.has_timing())
        return;
    RiderTiming& r = g_race.riders[static_cast<std::size_t>(slot)];
    if (r.finished)
        return;

    bool missed = false;
    long long passed = -1;
    for (int i : k_scan_offsets) {
        const long long q = static_cast<long long>(r.position) + i;
        if (q < 0)
            continue;
        const bool unstamped = tick_at(r, q) == -1;
        if (unstamped)
            missed = true;
        const Checkpoint* c = checkpoint_of_position(t, q);
        if (c && in_checkpoint_zone(*c, front_x, front_z)) {
            // Going back is allowed only to take a checkpoint that was missed.
            if (i >= 0 || missed) {
                passed = q;
                break;
            }
            continue;
        }
        // A lap end not yet passed blocks everything beyond it.
        if (unstamped && is_lap_end(t, q))
            return;
    }
    if (passed < 0 || passed >= k_max_lap_positions)
        return;

    stamp(r, passed, tick);
    if (is_lap_end(t, passed)) {
        const bool won = !g_race.running.empty() && g_race.running.front().position > final_lap_end();
        if (won || laps_completed(t, r.position) >= g_race.race_laps)
            r.finished = true;
    }
    update_standings(tick);
}

void update_standings(int tick)
{
    if (g_race.final_exists)
        return;
    const TrackTiming& t = track_timing();
    g_race.running.clear();
    if (!t.has_timing())
        return;
    for (int slot = 0; slot < k_rider_slots; ++slot)
        if (g_race.in_use[static_cast<std::size_t>(slot)])
            g_race.running.push_back(make_standing(slot));
    std::sort(g_race.running.begin(), g_race.running.end(), standing_before);

    settle_timed_race(t, tick);

    // An empty field never ends a race: riders may still join.
    if (g_race.running.empty())
        return;
    for (const Standing& s : g_race.running)
        if (!is_finished(s.slot) && !done_without_finishing(s.slot, tick))
            return;

    make_final_list(t);
    if (!g_race.final_list.empty() && is_finished(g_race.final_list.front().slot))
        write_results_file();
}

// ---- queries ----

bool has_final_standings() { return g_race.final_exists; }
const std::vector<Standing>& running_standings() { return g_race.running; }
const std::vector<Standing>& final_standings() { return g_race.final_list; }

int rider_position(int slot)
{
    return valid_slot(slot) ? g_race.riders[static_cast<std::size_t>(slot)].position : 0;
}

int laps_completed(int slot) { return laps_completed(track_timing(), rider_position(slot)); }

int checkpoints_into_lap(int slot)
{
    return checkpoints_into_lap(track_timing(), rider_position(slot));
}

int crossing_tick(int slot, long long position)
{
    return valid_slot(slot) ? tick_at(g_race.riders[static_cast<std::size_t>(slot)], position) : -1;
}

int lap_time_ticks(int slot, int lap)
{
    const TrackTiming& t = track_timing();
    if (!valid_slot(slot) || lap < 1 || !t.has_timing())
        return 0;
    const RiderTiming& r = g_race.riders[static_cast<std::size_t>(slot)];
    const int end = tick_at(r, lap_end_position(t, lap));
    const int begin = lap == 1 ? g_race.start_tick : tick_at(r, lap_end_position(t, lap - 1));
    if (end == -1 || begin == -1)
        return 0;
    return static_cast<int>(std::clamp<long long>(static_cast<long long>(end) - begin, INT_MIN, INT_MAX));
}

BestLap best_lap(int slot)
{
    BestLap best;
    const int laps = laps_completed(slot);
    for (int k = 2; k <= laps; ++k) {
        const int ticks = lap_time_ticks(slot, k);
        if (ticks > 0 && (best.lap == 0 || ticks < best.ticks)) {
            best.lap = k;
            best.ticks = ticks;
        }
    }
    return best;
}

long long final_lap_end()
{
    if (g_race.race_laps == 0)
        return 0;
    return lap_end_position(track_timing(), g_race.race_laps);
}

bool is_finished(int slot)
{
    if (!valid_slot(slot))
        return false;
    RiderTiming& r = g_race.riders[static_cast<std::size_t>(slot)];
    if (r.finished)
        return true;
    const TrackTiming& t = track_timing();
    if (!t.has_timing() || g_race.running.empty())
        return false;
    // Once the leader has completed the race, everybody finishes on
    // completing their current lap.
    const long long b = final_lap_end();
    const Standing& leader = g_race.running.front();
    if (leader.position <= b)
        return false;
    const int d = tick_at(g_race.riders[static_cast<std::size_t>(leader.slot)], b);
    if (d == -1)
        return false;
    const long long f = r.position >= t.first_count()
                            ? t.first_count() - 1 +
                                  static_cast<long long>(t.normal_count()) *
                                      ((r.position - t.first_count()) / t.normal_count())
                            : 0;
    const int at_f = tick_at(r, f);
    if (at_f != -1 && at_f >= d) {
        r.finished = true;
        return true;
    }
    return false;
}

int cutting_penalty(int slot)
{
    const TrackTiming& t = track_timing();
    if (!valid_slot(slot) || !t.has_timing())
        return 0;
    FieldSections field(t);
    return static_cast<int>(rider_penalty(field, g_race.riders[static_cast<std::size_t>(slot)]));
}

// ---- outside changes ----

void set_gate_time(int slot, int gate_index, int tick)
{
    if (!valid_slot(slot) || gate_index < 0 || gate_index >= k_max_lap_positions)
        return;
    stamp(g_race.riders[static_cast<std::size_t>(slot)], gate_index, tick);
}

void drop_passages_after(int tick)
{
    bool changed = false;
    for (RiderTiming& r : g_race.riders) {
        bool dropped = false;
        for (int& v : r.ticks)
            if (v > tick) {
                v = -1;
                dropped = true;
            }
        if (!dropped)
            continue;
        changed = true;
        while (!r.ticks.empty() && r.ticks.back() == -1)
            r.ticks.pop_back();
        r.position = static_cast<int>(r.ticks.size());
        r.finished = false;
    }
    if (!changed)
        return;
    // The end of the race is decided again from what is left.
    g_race.final_exists = false;
    g_race.final_list.clear();
    if (g_race.time_limit_ticks > 0) {
        g_race.race_laps = k_laps_unknown;
        if (tick < static_cast<long long>(g_race.start_tick) + g_race.time_limit_ticks / 2)
            g_race.halfway_lap = k_laps_unknown;
    }
}

void set_rider_position(int slot, int position)
{
    if (!valid_slot(slot))
        return;
    RiderTiming& r = g_race.riders[static_cast<std::size_t>(slot)];
    position = std::clamp(position, 0, k_max_lap_positions);
    if (r.ticks.size() > static_cast<std::size_t>(position))
        r.ticks.resize(static_cast<std::size_t>(position));
    if (position < r.position)
        r.finished = false;
    r.position = position;
}

bool place_at_checkpoint(int slot, int position, const GroundGrid& ground, CheckpointPose& out)
{
    if (!valid_slot(slot) || position < 0 || !checkpoint_pose(track_timing(), position, ground, out))
        return false;
    set_rider_position(slot, position);
    return true;
}

bool place_at_checkpoint(int slot, int position, const Terrain& terrain, CheckpointPose& out)
{
    GroundGrid ground;
    if (!terrain.heights.empty()) {
        ground.side = terrain.grid_side;
        ground.cell_size = terrain.cell_size;
        ground.height = [&terrain](int i, int j) { return terrain_sample(terrain, i, j); };
    }
    return place_at_checkpoint(slot, position, ground, out);
}

int restart_position() { return std::max(track_timing().first_count() - 2, 0); }

}  // namespace zv::track
