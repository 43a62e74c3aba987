#include "autopilot/chain_search.h"

#include <algorithm>
#include <bit>
#include <vector>

#include "core/debug_level.h"
#include "platform/log.h"

namespace zv::autopilot {

namespace {

constexpr int k_min_tests_careful = 5;  // variants 0 and 1 trust a line after 5 tests
constexpr double k_explore_refused = 100000;
constexpr float k_shared_start_sq = 2.0f * 2.0f;

bool usable(const LineSection& s, int slot, bool honour_withheld)
{
    return s.slots[static_cast<std::size_t>(slot)].filled() &&
           !(honour_withheld && (s.withheld >> slot & 1));
}

// Horizontal (x, z) orientation of c about the line a -> b.
float orientation(const LinePoint& a, const LinePoint& b, const LinePoint& c)
{
    return (b.x - a.x) * (c.z - a.z) - (b.z - a.z) * (c.x - a.x);
}

bool segments_cross(const LinePoint& a, const LinePoint& b, const LinePoint& c, const LinePoint& d)
{
    const float o1 = orientation(a, b, c), o2 = orientation(a, b, d);
    const float o3 = orientation(c, d, a), o4 = orientation(c, d, b);
    return ((o1 > 0 && o2 < 0) || (o1 < 0 && o2 > 0)) && ((o3 > 0 && o4 < 0) || (o3 < 0 && o4 > 0));
}

// Whether two lines cross after their first segment (lines that leave from
// one start touch there anyway).
bool lines_cross(std::span<const LinePoint> a, std::span<const LinePoint> b)
{
    for (std::size_t i = 2; i < a.size(); ++i)
        for (std::size_t j = 2; j < b.size(); ++j)
            if (segments_cross(a[i - 1], a[i], b[j - 1], b[j]))
                return true;
    return false;
}

float distance_sq(const LinePoint& a, const LinePoint& b)
{
    const float dx = a.x - b.x, dy = a.y - b.y, dz = a.z - b.z;
    return dx * dx + dy * dy + dz * dz;
}

int cheapest(const SlotValues& v, SlotMask among)
{
    int best = -1;
    for (int i = 0; i < k_slots_per_section; ++i)
        if ((among >> i & 1) && v[static_cast<std::size_t>(i)] < k_no_chain &&
            (best < 0 || v[static_cast<std::size_t>(i)] < v[static_cast<std::size_t>(best)]))
            best = i;
    return best;
}

constexpr SlotMask k_all_slots = (SlotMask{1} << k_slots_per_section) - 1;

// Plans one run of sections for a variant: the planned line of every
// section along the cheapest chain. Returns the chain's cost.
double plan_run(LineTable& table, long long k0, int count, int variant, std::vector<SlotValues>& values)
{
    if (count <= 0)
        return k_no_chain;
    chain_values(table, k0, count, variant, values, true);
    int pick = cheapest(values[0], k_all_slots);
    const double cost = pick >= 0 ? values[0][static_cast<std::size_t>(pick)] : k_no_chain;
    for (int i = 0; i < count; ++i) {
        LineSection& s = table.sections[static_cast<std::size_t>(table_section(table, k0 + i))];
        if (i > 0) {
            const int previous = pick;
            const LineSection& before = table.sections[static_cast<std::size_t>(table_section(table, k0 + i - 1))];
            pick = previous >= 0 ? cheapest(values[static_cast<std::size_t>(i)], before.links[static_cast<std::size_t>(previous)]) : -1;
            if (pick < 0)
                pick = cheapest(values[static_cast<std::size_t>(i)], k_all_slots);
        }
        s.planned[static_cast<std::size_t>(variant)] = pick;
    }
    return cost;
}

}  // namespace

double line_cost(const LineSlot& slot, int variant)
{
    const int t = slot.tests, f = slot.failures;
    const double failure_share = t + f > 0 ? static_cast<double>(f) / (t + f) : 0.0;
    const double average = t > 0 ? static_cast<double>(slot.sum1) / t : 0.0;
    switch (variant) {
    case 0:
        return t < k_min_tests_careful ? k_unusable : average + k_failure_ticks * std::clamp(failure_share, 0.0, 1.0);
    case 1:
        return t < k_min_tests_careful ? k_unusable
                                       : average + k_failure_ticks * std::clamp(8.0 / 7.0 * failure_share, 0.0, 1.0);
    case 2:
        return t < 1 ? k_unusable : average + k_failure_ticks * std::clamp(4.0 * failure_share, 0.0, 1.0);
    default:
        if (t + f > 5 && 4 * t < f)
            return k_explore_refused;
        if (t + f == 0)
            return 0;
        return (std::bit_width(static_cast<unsigned>(t + 4 * f)) + 4) * 1000.0;
    }
}

LinePoint extrapolated_end(std::span<const LinePoint> line)
{
    if (line.empty())
        return {};
    const std::size_t n = line.size();
    const LinePoint& c = line[n - 1];
    if (n == 1)
        return c;
    const LinePoint& b = line[n - 2];
    if (n == 2)
        return {2 * c.x - b.x, 2 * c.y - b.y, 2 * c.z - b.z, c.speed, c.attitude};
    // The parabola through the last three samples, one step on.
    const LinePoint& a = line[n - 3];
    return {3 * c.x - 3 * b.x + a.x, 3 * c.y - 3 * b.y + a.y, 3 * c.z - 3 * b.z + a.z, c.speed, c.attitude};
}

bool lines_meet(std::span<const LinePoint> line, std::span<const LinePoint> next)
{
    if (line.empty())
        return false;
    const LinePoint end = extrapolated_end(line);
    for (const LinePoint& p : next)
        if (distance_sq(end, p) <= k_link_reach * k_link_reach)
            return true;
    return false;
}

void link_section(LineTable& table, int s)
{
    if (s < 0 || s >= table.section_count())
        return;
    LineSection& from = table.sections[static_cast<std::size_t>(s)];
    const LineSection& to = table.sections[static_cast<std::size_t>(following_section(table, s))];
    for (int i = 0; i < k_slots_per_section; ++i) {
        SlotMask m = 0;
        const LineSlot& a = from.slots[static_cast<std::size_t>(i)];
        if (a.filled())
            for (int j = 0; j < k_slots_per_section; ++j) {
                const LineSlot& b = to.slots[static_cast<std::size_t>(j)];
                if (b.filled() && lines_meet(a.points, b.points))
                    m |= SlotMask{1} << j;
            }
        from.links[static_cast<std::size_t>(i)] = m;
    }
}

void link_around(LineTable& table, int s)
{
    if (s < 0 || s >= table.section_count())
        return;
    link_section(table, s);
    // Every section whose following section is s.
    for (int p = 0; p < table.section_count(); ++p)
        if (p != s && following_section(table, p) == s)
            link_section(table, p);
}

void chain_values(const LineTable& table, long long k0, int count, int variant, std::span<SlotValues> values,
                  bool honour_withheld)
{
    count = std::min<int>(count, static_cast<int>(values.size()));
    if (count <= 0 || table.empty())
        return;
    for (int i = count - 1; i >= 0; --i) {
        const LineSection& s = table.sections[static_cast<std::size_t>(table_section(table, k0 + i))];
        SlotValues& v = values[static_cast<std::size_t>(i)];
        const SlotValues* next = i + 1 < count ? &values[static_cast<std::size_t>(i + 1)] : nullptr;
        double next_best = k_no_chain;
        if (next)
            for (double x : *next)
                next_best = std::min(next_best, x);
        for (int l = 0; l < k_slots_per_section; ++l) {
            double& out = v[static_cast<std::size_t>(l)];
            if (!usable(s, l, honour_withheld)) {
                out = k_no_chain;
                continue;
            }
            out = line_cost(s.slots[static_cast<std::size_t>(l)], variant);
            if (next_best >= k_no_chain)
                continue;  // nothing to follow: the chain ends here
            double follow = k_no_chain;
            const SlotMask links = s.links[static_cast<std::size_t>(l)];
            for (int j = 0; j < k_slots_per_section; ++j)
                if (links >> j & 1)
                    follow = std::min(follow, (*next)[static_cast<std::size_t>(j)]);
            out += follow < k_no_chain ? follow : k_unusable + next_best;
        }
    }
}

int mark_crossings(LineTable& table)
{
    int withheld = 0;
    for (LineSection& s : table.sections) {
        s.withheld = 0;
        int filled = 0;
        for (const LineSlot& slot : s.slots)
            filled += slot.filled() ? 1 : 0;
        if (filled < k_nearly_full)
            continue;
        for (int i = 0; i < k_slots_per_section; ++i)
            for (int j = i + 1; j < k_slots_per_section; ++j) {
                const LineSlot& a = s.slots[static_cast<std::size_t>(i)];
                const LineSlot& b = s.slots[static_cast<std::size_t>(j)];
                if (!a.filled() || !b.filled() || distance_sq(a.points.front(), b.points.front()) >= k_shared_start_sq ||
                    !lines_cross(a.points, b.points))
                    continue;
                const int slower = expected_time(a) > expected_time(b) ? i : j;
                s.withheld |= SlotMask{1} << slower;
            }
        withheld += std::popcount(s.withheld);
    }
    return withheld;
}

void analyze_lines(LineTable& table)
{
    if (table.empty())
        return;
    for (int s = 0; s < table.section_count(); ++s)
        link_section(table, s);
    const int withheld = mark_crossings(table);
    std::vector<SlotValues> values(static_cast<std::size_t>(std::max(table.first_lap, table.normal_lap)));
    double first = k_no_chain, normal = k_no_chain;
    for (int v = 0; v < k_planned_variants; ++v) {
        first = std::min(first, plan_run(table, 0, table.first_lap, v, values));
        normal = std::min(normal, plan_run(table, table.first_lap, table.normal_lap, v, values));
    }
    if (core::debug_level() >= 1) {
        if (withheld > 0)
            platform::log_printf("auto pilot: %d crossing lines left out of the plan\n", withheld);
        if (first < k_no_chain)
            platform::log_printf("First lap: %f\n", first / 128.0);
        if (normal < k_no_chain)
            platform::log_printf("Normal lap: %f\n", normal / 128.0);
    }
}

void analyze_lines() { analyze_lines(line_table()); }

}  // namespace zv::autopilot
