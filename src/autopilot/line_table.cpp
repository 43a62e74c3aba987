#include "autopilot/line_table.h"

#include <algorithm>

namespace zv::autopilot {

namespace {

constexpr std::int64_t k_max_time_sum = 100000000;
constexpr int k_max_count = 65535;
constexpr int k_max_halvings = 16;

int g_last_id = 0;

}  // namespace

LineTable& line_table()
{
    static LineTable table;
    return table;
}

void empty_slot(LineSlot& slot)
{
    slot.points.clear();  // keeps its room
    slot.time1 = slot.time2 = k_no_time;
    slot.tests = 0;
    slot.best1 = slot.best2 = k_no_time;
    slot.sum1 = slot.sum2 = 0;
    slot.failures = 0;
    slot.last_picked = k_never_picked;
    slot.id = 0;
}

void empty_table(LineTable& table)
{
    for (LineSection& s : table.sections) {
        for (LineSlot& slot : s.slots)
            empty_slot(slot);
        s.links.fill(0);
        s.withheld = 0;
        s.planned.fill(-1);
    }
}

void create_table(LineTable& table, int first_lap, int normal_lap)
{
    if (first_lap < 1 || normal_lap < 1) {
        table.first_lap = table.normal_lap = 0;
        table.sections.clear();
        return;
    }
    const auto count = static_cast<std::size_t>(first_lap + normal_lap);
    table.first_lap = first_lap;
    table.normal_lap = normal_lap;
    if (table.sections.size() != count) {
        table.sections.clear();
        table.sections.resize(count);
    }
    for (LineSection& s : table.sections)
        for (LineSlot& slot : s.slots)
            slot.points.reserve(k_max_line_points);
    empty_table(table);
}

std::vector<track::Checkpoint> section_gates(const track::TrackTiming& timing)
{
    std::vector<track::Checkpoint> gates;
    if (!timing.has_timing())
        return gates;
    for (const std::vector<int>* list : {&timing.first_lap, &timing.normal_lap})
        for (int e : *list) {
            if (e >= track::k_autopilot_skip_flag)
                continue;
            const auto c = static_cast<std::size_t>(e);
            gates.push_back(c < timing.checkpoints.size() ? timing.checkpoints[c] : track::Checkpoint{});
        }
    return gates;
}

long long section_index_at(const track::TrackTiming& timing, long long p)
{
    if (!timing.has_timing() || p <= 0)
        return 0;
    const long long first = timing.first_count(), normal = timing.normal_count();
    long long k = 0;
    for (long long q = 0; q < std::min(p, first); ++q)
        k += timing.first_lap[static_cast<std::size_t>(q)] < track::k_autopilot_skip_flag ? 1 : 0;
    if (p <= first)
        return k;
    const long long laps = (p - first) / normal, rest = (p - first) % normal;
    k += laps * timing.normal_lap_autopilot;
    for (long long q = 0; q < rest; ++q)
        k += timing.normal_lap[static_cast<std::size_t>(q)] < track::k_autopilot_skip_flag ? 1 : 0;
    return k;
}

int table_section(const LineTable& table, long long k)
{
    if (k < 0 || table.empty())
        return -1;
    if (k < table.first_lap)
        return static_cast<int>(k);
    return table.first_lap + static_cast<int>((k - table.first_lap) % table.normal_lap);
}

int following_section(const LineTable& table, int s)
{
    if (table.empty())
        return -1;
    return s + 1 < table.section_count() ? s + 1 : table.first_lap;
}

std::int64_t expected_time(const LineSlot& slot)
{
    const std::int64_t failure_cost = slot.failures > 0 ? k_failure_ticks : 0;
    if (slot.tests <= 0)
        return static_cast<std::int64_t>(slot.time2) * 5 / 4 + failure_cost;
    return slot.sum2 / slot.tests +
           static_cast<std::int64_t>(k_failure_ticks) * slot.failures / (slot.tests + slot.failures);
}

int next_line_id() { return ++g_last_id; }

void scale_statistics(LineSlot& slot)
{
    for (int i = 0; i < k_max_halvings &&
                    (slot.sum2 > k_max_time_sum || slot.tests > k_max_count || slot.failures > k_max_count);
         ++i) {
        const int old_tests = slot.tests;
        slot.tests /= 2;
        // Without tests there is nothing the sums could average.
        slot.sum1 = old_tests > 0 ? slot.tests * (slot.sum1 / old_tests) : 0;
        slot.sum2 = old_tests > 0 ? slot.tests * (slot.sum2 / old_tests) : 0;
        slot.failures /= 2;
    }
    slot.sum1 = std::min(slot.sum1, k_max_time_sum);
    slot.sum2 = std::min(slot.sum2, k_max_time_sum);
    slot.tests = std::min(slot.tests, k_max_count);
    slot.failures = std::min(slot.failures, k_max_count);
}

}  // namespace zv::autopilot
