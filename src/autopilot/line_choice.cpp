#include "autopilot/line_choice.h"

#include <algorithm>
#include <cmath>

#include "autopilot/chain_search.h"
#include "core/debug_level.h"
#include "platform/log.h"
#include "track/race_rules.h"

namespace zv::autopilot {

namespace {

constexpr float k_boost_start = 40;     // s of racing when the plan starts to count
constexpr float k_boost_rate = 0.05f;   // per second: full weight at 60 s
constexpr float k_fresh_seconds = 3;    // a line picked this long ago counts fully

float horizontal_distance(sim::Vec3 a, const LinePoint& b)
{
    const float dx = a.x - b.x, dz = a.z - b.z;
    return std::sqrt(dx * dx + dz * dz);
}

}  // namespace

int choose_variant(const Personality& p, float lead_seconds)
{
    return lead_seconds > p.lead_threshold ? p.second_variant : p.first_variant;
}

float race_lead_seconds(int slot)
{
    const std::vector<track::Standing>& standings = track::running_standings();
    if (standings.size() < 2 || standings[0].slot != slot)
        return 0;
    const int second_position = standings[1].position;
    if (second_position <= 0)
        return 0;
    const int gate = second_position - 1;
    const int mine = track::crossing_tick(slot, gate);
    const int theirs = track::crossing_tick(standings[1].slot, gate);
    if (mine < 0 || theirs < 0)
        return 0;
    return static_cast<float>(theirs - mine) / 128.0f;
}

void line_scores(const LineTable& table, long long k, int variant, float race_seconds, LineScores& out)
{
    out.fill(0);
    const int section = table_section(table, k);
    if (section < 0)
        return;
    std::array<SlotValues, k_score_sections> values;
    chain_values(table, k, k_score_sections, variant, values);
    const SlotValues& v = values[0];
    double best = k_no_chain;
    for (double x : v)
        best = std::min(best, x);
    if (best >= k_no_chain)
        return;
    best = std::max(best, 1.0);
    for (int l = 0; l < k_slots_per_section; ++l)
        if (v[static_cast<std::size_t>(l)] < k_no_chain)
            out[static_cast<std::size_t>(l)] = static_cast<float>(best / std::max(v[static_cast<std::size_t>(l)], 1.0));
    const LineSection& s = table.sections[static_cast<std::size_t>(section)];
    if (variant >= 0 && variant < k_planned_variants) {
        const int planned = s.planned[static_cast<std::size_t>(variant)];
        if (planned >= 0 && v[static_cast<std::size_t>(planned)] < k_no_chain) {
            const float a = std::clamp((race_seconds - k_boost_start) * k_boost_rate, 0.0f, 1.0f);
            float& score = out[static_cast<std::size_t>(planned)];
            score += a * (1 - score);
        }
    }
    if (k == 0)
        for (int l = 0; l < k_slots_per_section; ++l)
            if (s.slots[static_cast<std::size_t>(l)].filled())
                out[static_cast<std::size_t>(l)] = 0.8f + 0.2f * out[static_cast<std::size_t>(l)];
}

float match_distance(float speed) { return std::fabs(speed) * (k_sample_ticks / 2) / 128.0f; }

float line_match(const LineSlot& slot, sim::Vec3 robot, float s, float r)
{
    if (!slot.filled())
        return 0;
    const LinePoint& p1 = slot.points.front();
    const LinePoint& p2 = slot.points.size() > 1 ? slot.points[1] : p1;
    const float d1 = horizontal_distance(robot, p1);
    const float d2 = horizontal_distance(robot, p2);
    const float a = std::clamp((15 + std::fabs(p1.speed) - s) / 5, 0.0f, 1.0f);
    const float b = std::clamp((5 - std::fabs(r - d1)) / 3.5f, 0.0f, 1.0f) *
                    std::clamp((3 - std::fabs(d2 - d1)) / 2, 0.0f, 1.0f);
    return a * b * b * b;
}

int pick_line(LineTable& table, int section, const LineScores& scores, sim::Vec3 robot, float speed, int tick)
{
    if (section < 0 || section >= table.section_count())
        return -1;
    LineSection& s = table.sections[static_cast<std::size_t>(section)];
    const float r = match_distance(speed);
    int pick = -1;
    float best = 0, best_match = 0;
    for (int l = 0; l < k_slots_per_section; ++l) {
        const LineSlot& slot = s.slots[static_cast<std::size_t>(l)];
        if (!slot.filled())
            continue;
        const float since = static_cast<float>(static_cast<double>(tick) - slot.last_picked) / 128.0f;
        const float match = line_match(slot, robot, speed, r);
        const float value = match + std::min(1.0f, std::max(0.0f, since / k_fresh_seconds)) * scores[static_cast<std::size_t>(l)];
        if (pick < 0 || value > best) {
            pick = l;
            best = value;
            best_match = match;
        }
    }
    if (pick < 0)
        return -1;
    LineSlot& chosen = s.slots[static_cast<std::size_t>(pick)];
    if (core::debug_level() >= 1)
        platform::log_printf("auto pilot: picking %d score = %f match = %f last_picked = %f\n", pick,
                             static_cast<double>(scores[static_cast<std::size_t>(pick)]),
                             static_cast<double>(best_match),
                             (static_cast<double>(tick) - chosen.last_picked) / 128.0);
    chosen.last_picked = tick;
    return pick;
}

}  // namespace zv::autopilot
