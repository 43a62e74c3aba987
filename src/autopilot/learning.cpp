// Learning: what a player's ride records and offers, and how a robot's
// rides are judged into the statistics of the lines it took.
#include <algorithm>
#include <cmath>
#include <random>

#include "autopilot/auto_pilot.h"
#include "autopilot/chain_search.h"
#include "autopilot/offer.h"
#include "sim/control.h"
#include "track/race_rules.h"

namespace zv::autopilot {

namespace {

constexpr float k_on_line_reach = 4.0f;  // ft from the line for an attempt to count
constexpr float k_on_pace = 15.0f / 16;  // the line at least this fast against the robot
constexpr int k_rider_count = 160;

std::array<RiderState, k_rider_count>& riders()
{
    static std::array<RiderState, k_rider_count> r;
    return r;
}

int start_of(const RiderState& r, long long k) { return r.section_start[static_cast<std::size_t>(k & 3)]; }

void clear_buffer(RiderState& r, long long k)
{
    const auto b = static_cast<std::size_t>(k & 1);
    r.buffers[b].clear();
    r.cancelled[b] = false;
    r.offered[b] = false;
}

void offer(LineTable& table, RiderState& r, long long k, int time1, int time2)
{
    const auto b = static_cast<std::size_t>(k & 1);
    const int section = table_section(table, k);
    const OfferResult result = offer_line(table, section, r.buffers[b], r.cancelled[b], time1, time2);
    if (result == OfferResult::stored || result == OfferResult::evicted)
        link_around(table, section);
}

// The lap's last section k ended at its gate: offered with its time and the
// rider's last time through the section that follows it.
bool offer_early(LineTable& table, RiderState& r, long long k)
{
    const auto b = static_cast<std::size_t>(k & 1);
    if (r.offered[b] || r.last_time.empty())
        return false;
    const int following = following_section(table, table_section(table, k));
    const int next_time = r.last_time[static_cast<std::size_t>(following)];
    if (next_time <= 0)
        return false;  // its gate will offer it with the real time
    const int time1 = start_of(r, k + 1) - start_of(r, k);
    offer(table, r, k, time1, time1 + next_time);
    clear_buffer(r, k);
    r.offered[b] = true;
    return true;
}

LineSlot* picked_slot(LineTable& table, const RiderState& r, int table_section, int slot, int id)
{
    if (table_section < 0 || table_section >= table.section_count() || slot < 0 || slot >= k_slots_per_section)
        return nullptr;
    LineSlot& s = table.sections[static_cast<std::size_t>(table_section)].slots[static_cast<std::size_t>(slot)];
    (void)r;
    return s.filled() && s.id == id ? &s : nullptr;
}

// Whether the robot rode its line: within 4 ft of the line through the two
// points around its place on it, and the line at one of them at least 15/16
// as fast as the robot.
bool on_line(std::span<const LinePoint> line, int position, sim::Vec3 at, float speed)
{
    if (line.empty())
        return false;
    const int last = static_cast<int>(line.size()) - 1;
    const int hi = std::min(std::max(position, 1), last);  // 0 for a line of one point
    const LinePoint& a = line[static_cast<std::size_t>(std::max(hi - 1, 0))];
    const LinePoint& b = line[static_cast<std::size_t>(hi)];
    const sim::Vec3 pa{a.x, a.y, a.z}, pb{b.x, b.y, b.z};
    const sim::Vec3 ab = pb - pa;
    const float len_sq = sim::length_sq(ab);
    // The foot of the perpendicular on the line through the two points: at
    // its end gate a robot is usually past the section's last sample.
    const float u = len_sq > 0 ? sim::dot(at - pa, ab) / len_sq : 0.0f;
    const sim::Vec3 nearest = pa + ab * u;
    if (!(sim::length_sq(at - nearest) <= k_on_line_reach * k_on_line_reach))
        return false;
    return a.speed >= k_on_pace * speed || b.speed >= k_on_pace * speed;
}

// A robot passed the gate ending section k: the success waiting from the
// section before gets its time 2, and the attempt on this section's line is
// judged.
void judge(LineTable& table, RiderState& r, const sim::Bike& bike, long long k, int tick)
{
    PendingAttempt& p = r.pending;
    if (p.section == k - 1) {
        if (LineSlot* s = picked_slot(table, r, p.table_section, p.slot, p.id)) {
            const int time2 = tick - start_of(r, k - 1);
            ++s->tests;
            s->sum1 += p.time1;
            s->sum2 += time2;
            s->best1 = std::min(s->best1, p.time1);
            s->best2 = std::min(s->best2, time2);
        }
    }
    p = PendingAttempt{};
    if (r.on_own_line)
        return;
    LineSlot* s = picked_slot(table, r, r.line_section, r.line_slot, r.line_id);
    if (!s || r.line_section != table_section(table, k))
        return;
    const sim::Vec3 at = sim::body_position(bike.body(sim::k_frame));
    if (on_line(s->points, r.driver.position, at, sim::bike_speed(bike))) {
        p.section = k;
        p.table_section = r.line_section;
        p.slot = r.line_slot;
        p.id = r.line_id;
        p.time1 = tick - start_of(r, k);
    } else {
        ++s->failures;
    }
}

// A robot that finished rides out the rest of its line ever slower: each
// remaining point's speed times 0.25 + 0.75 (points after it / points left).
void slow_down(LineTable& table, RiderState& r)
{
    const LineSlot* s = picked_slot(table, r, r.line_section, r.line_slot, r.line_id);
    if (!s)
        return;
    r.own_line.assign(s->points.begin(), s->points.end());
    const int n = static_cast<int>(r.own_line.size());
    const int from = std::clamp(r.driver.position, 0, n);
    const int left = n - from;
    for (int i = from; i < n; ++i)
        r.own_line[static_cast<std::size_t>(i)].speed *=
            0.25f + 0.75f * static_cast<float>(n - 1 - i) / static_cast<float>(left);
    r.on_own_line = true;
}

void pass_gate(LineTable& table, RiderState& r, sim::Bike& bike, int tick)
{
    const long long k = r.section;
    if (r.personality == k_player_personality) {
        if (k >= 1) {
            const auto b = static_cast<std::size_t>((k - 1) & 1);
            if (!r.offered[b])
                offer(table, r, k - 1, start_of(r, k) - start_of(r, k - 1), tick - start_of(r, k - 1));
            clear_buffer(r, k - 1);
        }
        const int s = table_section(table, k);
        if (s >= 0 && static_cast<std::size_t>(s) < r.last_time.size())
            r.last_time[static_cast<std::size_t>(s)] = tick - start_of(r, k);
    } else {
        judge(table, r, bike, k, tick);
        if (!r.on_own_line)
            r.line_slot = -1;
    }
    r.section = k + 1;
    r.section_start[static_cast<std::size_t>((k + 1) & 3)] = tick;
    if (r.lap_offer_waiting) {
        r.lap_offer_waiting = false;
        offer_early(table, r, k);
    }
    // A dab belongs to the section it happened in.
    bike.controls.dab_mark = 0;
}

}  // namespace

RiderState& rider_state(int slot) { return riders()[static_cast<std::size_t>(std::clamp(slot, 0, k_rider_count - 1))]; }

void reset_riders()
{
    for (RiderState& r : riders())
        r.active = false;
}

void set_up_rider(int slot, int personality, int begin_tick, int start_tick, std::uint32_t seed)
{
    RiderState& r = rider_state(slot);
    const int sections = line_table().section_count();
    r.active = true;
    r.personality = std::clamp(personality, 0, k_personality_count - 1);
    for (std::size_t b = 0; b < 2; ++b) {
        r.buffers[b].clear();
        if (r.personality == k_player_personality)
            r.buffers[b].reserve(k_max_line_points);
    }
    r.cancelled.fill(false);
    r.offered.fill(false);
    r.section = 0;
    r.section_start.fill(begin_tick);
    r.last_time.assign(r.personality == k_player_personality ? static_cast<std::size_t>(sections) : 0, 0);
    r.lap_offer_waiting = false;
    r.line_section = r.line_slot = -1;
    r.line_id = 0;
    r.tried_section = -1;
    r.driver = DriverState{};
    r.pending = PendingAttempt{};
    r.finished = false;
    r.on_own_line = false;
    r.own_line.clear();
    if (r.personality != k_player_personality)
        r.own_line.reserve(k_max_line_points);
    r.start = StartPlan{};
    if (r.personality != k_player_personality) {
        const Personality& p = personalities()[static_cast<std::size_t>(r.personality)];
        std::minstd_rand rng(seed ? seed : 1);
        std::uniform_real_distribution<float> uniform(0.0f, 1.0f);
        r.start = plan_start(start_tick, ready_signal_tick(start_tick), p.reaction_min, p.reaction_max,
                             [&] { return uniform(rng); });
    }
}

void restart_rider(int slot, long long section, int tick)
{
    RiderState& r = rider_state(slot);
    if (!r.active)
        return;
    clear_buffer(r, 0);
    clear_buffer(r, 1);
    r.section = std::max(section, 0LL);
    r.section_start.fill(tick);
    r.lap_offer_waiting = false;
    r.line_slot = -1;
    r.tried_section = -1;
    r.pending = PendingAttempt{};
}

LinePoint sample_point(const sim::Bike& bike)
{
    dBodyID frame = bike.body(sim::k_frame);
    const sim::Vec3 p = sim::body_position(frame);
    return {p.x, p.y, p.z, sim::length(sim::body_linear_vel(frame)), line_attitude(bike)};
}

void auto_pilot_learn(int slot, sim::Bike& bike, const RaceFacts& facts)
{
    RiderState& r = rider_state(slot);
    LineTable& table = line_table();
    if (!r.active || table.empty() || table.gates.size() != static_cast<std::size_t>(table.section_count()))
        return;
    const bool player = r.personality == k_player_personality;
    const auto b = static_cast<std::size_t>(r.section & 1);
    if (player) {
        if (bike.controls.dab_mark)
            r.cancelled[b] = true;
        if (facts.tick % k_sample_ticks == 0 && facts.tick >= facts.start_tick) {
            if (r.buffers[b].size() < static_cast<std::size_t>(k_max_line_points))
                r.buffers[b].push_back(sample_point(bike));
            else
                r.cancelled[b] = true;  // too long a section to keep
        }
    } else if (facts.finished && !r.finished) {
        r.finished = true;
        slow_down(table, r);
    }
    const track::Checkpoint& gate = table.gates[static_cast<std::size_t>(table_section(table, r.section))];
    const sim::Vec3 front = sim::body_position(bike.body(sim::k_front_wheel));
    if (track::in_checkpoint_zone(gate, front.x, front.z))
        pass_gate(table, r, bike, facts.tick);
}

bool offer_lap(int slot, int tick)
{
    RiderState& r = rider_state(slot);
    LineTable& table = line_table();
    if (!r.active || r.personality != k_player_personality || table.empty())
        return false;
    if (r.section >= 1 && start_of(r, r.section) == tick)
        return offer_early(table, r, r.section - 1);
    r.lap_offer_waiting = true;
    return false;
}

}  // namespace zv::autopilot
