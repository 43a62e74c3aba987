// Driving: a robot's start, then the line it picks in each section.
#include <cmath>
#include <span>

#include "autopilot/auto_pilot.h"
#include "autopilot/line_choice.h"

namespace zv::autopilot {

namespace {

constexpr float k_normal_aggression = 1.0f;
constexpr int k_start_ticks = 5 * 128;  // lines alone from 5 s after the start

// Picks the robot's line for the section it is in (once per section).
void pick_for_section(LineTable& table, int slot, RiderState& r, const sim::Bike& bike, const RaceFacts& facts)
{
    if (r.tried_section == r.section)
        return;
    r.tried_section = r.section;
    const int section = table_section(table, r.section);
    const Personality& p = personalities()[static_cast<std::size_t>(r.personality)];
    const int variant = choose_variant(p, race_lead_seconds(slot));
    LineScores scores;
    line_scores(table, r.section, variant, static_cast<float>(facts.tick - facts.start_tick) / 128.0f, scores);
    const sim::Vec3 at = sim::body_position(bike.body(sim::k_frame));
    const int pick = pick_line(table, section, scores, at, sim::bike_speed(bike), facts.tick);
    if (pick < 0)
        return;
    r.line_section = section;
    r.line_slot = pick;
    r.line_id = table.sections[static_cast<std::size_t>(section)].slots[static_cast<std::size_t>(pick)].id;
    r.driver = DriverState{};
}

// The points the robot follows now (empty when it has no line).
std::span<const LinePoint> current_line(LineTable& table, RiderState& r)
{
    if (r.on_own_line)
        return r.own_line;
    if (r.line_slot < 0 || r.line_section < 0 || r.line_section >= table.section_count())
        return {};
    const LineSlot& s = table.sections[static_cast<std::size_t>(r.line_section)].slots[static_cast<std::size_t>(r.line_slot)];
    if (!s.filled() || s.id != r.line_id) {
        // Learning replaced the line under the robot: choose again.
        r.line_slot = -1;
        r.tried_section = -1;
        return {};
    }
    return s.points;
}

// The way on past the end of the robot's line: a line of the following
// section that the race-start analysis found starting where this one ends,
// else the one that starts nearest its end (the controller ignores one that
// starts far away).
std::span<const LinePoint> next_line(const LineTable& table, const RiderState& r)
{
    if (r.on_own_line || r.line_slot < 0 || r.line_section < 0 || r.line_section >= table.section_count())
        return {};
    const LineSection& from = table.sections[static_cast<std::size_t>(r.line_section)];
    const LinePoint& end = from.slots[static_cast<std::size_t>(r.line_slot)].points.back();
    const LineSection& to = table.sections[static_cast<std::size_t>(following_section(table, r.line_section))];
    const SlotMask links = from.links[static_cast<std::size_t>(r.line_slot)];
    int nearest = -1;
    float nearest_d = 0;
    for (int j = 0; j < k_slots_per_section; ++j) {
        const LineSlot& s = to.slots[static_cast<std::size_t>(j)];
        if (!s.filled())
            continue;
        if (links >> j & 1)
            return s.points;
        const float d = std::hypot(s.points.front().x - end.x, s.points.front().z - end.z);
        if (nearest < 0 || d < nearest_d) {
            nearest = j;
            nearest_d = d;
        }
    }
    return nearest < 0 ? std::span<const LinePoint>{} : std::span<const LinePoint>(to.slots[static_cast<std::size_t>(nearest)].points);
}

}  // namespace

void auto_pilot_drive(int slot, sim::Bike& bike, const RaceFacts& facts, sim::RiderInput& out)
{
    out = sim::RiderInput{};
    RiderState& r = rider_state(slot);
    if (!r.active || r.personality == k_player_personality)
        return;
    LineTable& table = line_table();
    if (!table.empty() && !r.finished && !r.on_own_line) {
        if (r.line_slot < 0 || r.line_section != table_section(table, r.section))
            pick_for_section(table, slot, r, bike, facts);
    }
    std::span<const LinePoint> line = current_line(table, r);
    if (line.empty() && !r.finished && !table.empty()) {
        pick_for_section(table, slot, r, bike, facts);
        line = current_line(table, r);
    }
    r.driver.traffic = facts.traffic;
    r.driver.next = line.empty() ? std::span<const LinePoint>{} : next_line(table, r);
    drive_line(bike, line, r.driver, k_normal_aggression, out);
    // Until the launch is done the start holds the throttle, brakes, clutch
    // and gear; the line keeps the steering.
    if (facts.tick < facts.start_tick + k_start_ticks)
        start_procedure(r.start, facts.tick, bike, out);
    if (bike.knocked_off()) {
        // Fallen: no throttle, the clutch pulled so the engine is not stalled.
        out.throttle = 0;
        out.clutch = 1;
    }
}

}  // namespace zv::autopilot
