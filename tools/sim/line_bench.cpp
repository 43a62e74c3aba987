// zarvox-sim --line-bench: how long the auto pilot's race-start analysis
// (links, crossing analysis and the chain-search plan for three variants)
// and a robot's line scoring take on a full line table: every section's 45
// slots filled with wavy, overlapping lines of 24 points whose ends meet the
// next section's starts. Run the Release build.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <random>
#include <string>

#include "autopilot/chain_search.h"
#include "autopilot/line_choice.h"
#include "autopilot/line_table.h"
#include "sim_cli.h"

namespace zv::sim_tool {
namespace {

constexpr int k_points = 24;
constexpr float k_section_length = 100;  // ft along x
constexpr int k_repeats = 20;

void fill_table(autopilot::LineTable& table)
{
    std::mt19937 rng(1);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    for (int s = 0; s < table.section_count(); ++s)
        for (int i = 0; i < autopilot::k_slots_per_section; ++i) {
            autopilot::LineSlot& slot = table.sections[static_cast<std::size_t>(s)].slots[static_cast<std::size_t>(i)];
            slot.points.clear();
            const float lane = static_cast<float>(i) * 0.5f;
            const float phase = unit(rng) * 6.28f, wave = 1.5f * unit(rng);
            for (int p = 0; p < k_points; ++p) {
                const float x = static_cast<float>(s) * k_section_length + k_section_length * p / k_points;
                const float z = lane + wave * std::sin(x * 0.08f + phase) * std::sin(3.1416f * p / k_points);
                slot.points.push_back({x, 0, z, 40 + 10 * unit(rng), 0.9f});
            }
            slot.tests = 1 + static_cast<int>(unit(rng) * 40);
            slot.failures = static_cast<int>(unit(rng) * 6);
            slot.time1 = 300 + static_cast<int>(unit(rng) * 100);
            slot.time2 = 2 * slot.time1;
            slot.sum1 = static_cast<std::int64_t>(slot.tests) * slot.time1;
            slot.sum2 = static_cast<std::int64_t>(slot.tests) * slot.time2;
            slot.id = autopilot::next_line_id();
        }
}

bool parse_sections(const std::string& text, int& first, int& normal)
{
    return std::sscanf(text.c_str(), "%d,%d", &first, &normal) == 2 && first >= 1 && normal >= 1 &&
           first <= 256 && normal <= 256;
}

int run_line_bench(const Options& o)
{
    int first = 8, normal = 24;
    if (o.has("--line-sections") && !parse_sections(o.value("--line-sections"), first, normal)) {
        std::fprintf(stderr, "zarvox-sim: --line-sections takes F,N (1 to 256 each)\n");
        return k_exit_failure;
    }
    autopilot::LineTable table;
    autopilot::create_table(table, first, normal);
    fill_table(table);
    using clock = std::chrono::steady_clock;
    double best = 1e9, total = 0;
    for (int i = 0; i < k_repeats; ++i) {
        const auto t0 = clock::now();
        autopilot::analyze_lines(table);
        const double ms = std::chrono::duration<double, std::milli>(clock::now() - t0).count();
        best = std::min(best, ms);
        total += ms;
    }
    int withheld = 0;
    for (const autopilot::LineSection& s : table.sections)
        withheld += std::popcount(s.withheld);
    const auto t0 = clock::now();
    float sink = 0;
    constexpr int k_score_calls = 1000;
    for (int i = 0; i < k_score_calls; ++i) {
        autopilot::LineScores scores;
        autopilot::line_scores(table, i % table.section_count(), i % 4, 50, scores);
        sink += scores[0];
    }
    const double score_us = std::chrono::duration<double, std::micro>(clock::now() - t0).count() / k_score_calls;
    std::printf("sections %d (first lap %d, normal lap %d), %d slots each, %d points a line\n", first + normal, first,
                normal, autopilot::k_slots_per_section, k_points);
    std::printf("race-start analysis: best %.2f ms, mean %.2f ms over %d runs (%d crossing lines withheld)\n", best,
                total / k_repeats, k_repeats, withheld);
    std::printf("line scores over the next 8 sections: %.1f us a call (%g)\n", score_us, static_cast<double>(sink > 0));
    return 0;
}

const bool registered = register_mode(
    {"--line-bench", "time the auto pilot's race-start analysis on a full line table", run_line_bench},
    {{"--line-sections", true, "F,N", "first-lap and normal-lap sections (default 8,24)"}});

}  // namespace
}  // namespace zv::sim_tool
