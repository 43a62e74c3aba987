#include "autopilot/offer.h"

#include <cmath>
#include <cstdint>

#include "core/debug_level.h"
#include "platform/log.h"

namespace zv::autopilot {

namespace {

constexpr float k_same_distance_sq = 1.0f / 256;
constexpr float k_same_speed = 1.0f / 16;
constexpr float k_lonely_start_sq = 2.0f * 2.0f;  // a start 2 ft from every other
constexpr int k_spared_proven = 22;               // proven lines kept while this few or fewer

float distance_sq(const LinePoint& a, const LinePoint& b)
{
    const float dx = a.x - b.x, dy = a.y - b.y, dz = a.z - b.z;
    return dx * dx + dy * dy + dz * dz;
}

bool proven(const LineSlot& s) { return s.failures < s.tests; }

bool lonely_start(const LineSection& section, int index)
{
    const LinePoint& first = section.slots[static_cast<std::size_t>(index)].points.front();
    for (int j = 0; j < k_slots_per_section; ++j) {
        const LineSlot& other = section.slots[static_cast<std::size_t>(j)];
        if (j != index && other.filled() && distance_sq(first, other.points.front()) < k_lonely_start_sq)
            return false;
    }
    return true;
}

double seconds(std::int64_t ticks) { return static_cast<double>(ticks) / 128.0; }

}  // namespace

bool same_line(std::span<const LinePoint> a, std::span<const LinePoint> b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (!(distance_sq(a[i], b[i]) <= k_same_distance_sq) || !(std::fabs(a[i].speed - b[i].speed) <= k_same_speed))
            return false;
    return true;
}

int choose_victim(const LineSection& section)
{
    int proven_count = 0;
    for (const LineSlot& s : section.slots) {
        if (!s.filled())
            return static_cast<int>(&s - section.slots.data());
        proven_count += proven(s) ? 1 : 0;
    }
    const bool spare_proven = proven_count <= k_spared_proven;
    int victim = -1;
    std::int64_t worst = 0;
    for (int i = 0; i < k_slots_per_section; ++i) {
        const LineSlot& s = section.slots[static_cast<std::size_t>(i)];
        if (spare_proven && proven(s))
            continue;
        std::int64_t estimate = expected_time(s);
        if (lonely_start(section, i))
            estimate = estimate * 3 / 4;
        if (victim < 0 || estimate > worst) {
            victim = i;
            worst = estimate;
        }
    }
    return victim;
}

OfferResult offer_line(LineTable& table, int section, std::span<const LinePoint> points, bool cancelled,
                       int time1, int time2)
{
    const bool log = core::debug_level() >= 1;
    if (section < 0 || section >= table.section_count() || points.empty() || cancelled ||
        points.size() > static_cast<std::size_t>(k_max_line_points)) {
        if (log)
            platform::log_printf("auto pilot: %d canceled\n", section);
        return OfferResult::canceled;
    }
    LineSection& sec = table.sections[static_cast<std::size_t>(section)];
    for (const LineSlot& s : sec.slots)
        if (s.filled() && same_line(s.points, points)) {
            if (log)
                platform::log_printf("auto pilot: %d rejected (duplicate)\n", section);
            return OfferResult::duplicate;
        }
    const int victim = choose_victim(sec);
    if (victim < 0 || expected_time(sec.slots[static_cast<std::size_t>(victim)]) <
                          static_cast<std::int64_t>(time2) * 5 / 4) {
        if (log)
            platform::log_printf("auto pilot: %d rejected (too slow)\n", section);
        return OfferResult::too_slow;
    }
    LineSlot& slot = sec.slots[static_cast<std::size_t>(victim)];
    const bool evicting = slot.filled();
    if (log && evicting) {
        const double avg1 = slot.tests > 0 ? seconds(slot.sum1 / slot.tests) : 0.0;
        const double avg2 = slot.tests > 0 ? seconds(slot.sum2 / slot.tests) : 0.0;
        platform::log_printf("auto pilot: evicting %d (times: %.2f %.2f tested (%d %d): %.2f %.2f repl: %f %f)\n",
                             victim, seconds(slot.time1), seconds(slot.time2), slot.tests, slot.failures, avg1,
                             avg2, seconds(time2), seconds(time1));
    } else if (log) {
        platform::log_printf("auto pilot: %d stored in slot %d\n", section, victim);
    }
    empty_slot(slot);
    slot.points.assign(points.begin(), points.end());
    slot.time1 = time1;
    slot.time2 = time2;
    slot.id = next_line_id();
    return evicting ? OfferResult::evicted : OfferResult::stored;
}

}  // namespace zv::autopilot
