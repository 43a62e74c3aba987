// --lines SKILL --info: reads the track's line file of a robot skill as a
// race start would (the home folder's learnt file before the shipped one),
// runs the race-start analysis and prints the table: per section how many
// slots hold a line, how many robots tested, the fastest recorded and
// measured times and the line the plan takes in each search variant.
#include "sim_cli.h"
#include "sim_track.h"

#include "autopilot/chain_search.h"
#include "autopilot/line_file.h"
#include "autopilot/line_table.h"
#include "track/timing.h"
#include "track/track.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace zv::sim_tool {

namespace {

constexpr const char* k_skills[] = {"novice", "amateur", "expert"};

struct SectionInfo {
    int filled = 0, tested = 0, tests = 0, failures = 0;
    double fastest_recorded = -1;  // seconds; -1 when no line
    double best_average = -1;      // seconds; -1 when no line was tested
};

double seconds(double ticks) { return ticks / 128.0; }

SectionInfo section_info(const autopilot::LineSection& s)
{
    SectionInfo info;
    for (const autopilot::LineSlot& slot : s.slots) {
        if (!slot.filled())
            continue;
        ++info.filled;
        info.tests += slot.tests;
        info.failures += slot.failures;
        const double recorded = seconds(slot.time1);
        if (info.fastest_recorded < 0 || recorded < info.fastest_recorded)
            info.fastest_recorded = recorded;
        if (slot.tests > 0) {
            ++info.tested;
            const double average = seconds(static_cast<double>(slot.sum1) / slot.tests);
            if (info.best_average < 0 || average < info.best_average)
                info.best_average = average;
        }
    }
    return info;
}

// The cheapest planned chain over a run of sections, over variants 0 to 2,
// in seconds (-1 when no variant can ride it): the figures the race start
// logs as "First lap" and "Normal lap".
double planned_run_seconds(const autopilot::LineTable& table, long long k0, int count)
{
    if (count <= 0)
        return -1;
    std::vector<autopilot::SlotValues> values(static_cast<std::size_t>(count));
    double best = autopilot::k_no_chain;
    for (int v = 0; v < autopilot::k_planned_variants; ++v) {
        autopilot::chain_values(table, k0, count, v, values, true);
        for (double x : values[0])
            best = std::min(best, x);
    }
    return best < autopilot::k_unusable ? seconds(best) : -1;
}

void print_seconds_text(double s)
{
    if (s < 0)
        std::printf(" %9s", "-");
    else
        std::printf(" %9.3f", s);
}

void print_seconds_json(const char* key, double s)
{
    if (s < 0)
        std::printf("\"%s\": null", key);
    else
        std::printf("\"%s\": %.3f", key, s);
}

int run_lines(const Options& options)
{
    const std::string folder = options.value("--track");
    const std::string skill_name = options.value("--lines");
    int skill = -1;
    for (int i = 0; i < 3; ++i)
        if (skill_name == k_skills[i])
            skill = i;
    if (folder.empty() || skill < 0 || !options.has("--info")) {
        std::fprintf(stderr, "zarvox-sim: use --track NAME --lines novice|amateur|expert --info\n");
        return k_exit_failure;
    }
    if (!load_named_track(folder))
        return k_exit_failure;
    autopilot::set_learning(false);
    const int read = autopilot::load_lines(folder, skill, track::track_timing());
    autopilot::analyze_lines();
    const autopilot::LineTable& table = autopilot::line_table();
    const double first = planned_run_seconds(table, 0, table.first_lap);
    const double normal = planned_run_seconds(table, table.first_lap, table.normal_lap);
    const bool json = options.has("--json");
    if (json) {
        std::printf("{\"track\": \"%s\", \"skill\": \"%s\", \"sections\": %d, \"first_lap\": %d, "
                    "\"normal_lap\": %d, \"lines\": %d, ",
                    folder.c_str(), k_skills[skill], table.section_count(), table.first_lap, table.normal_lap, read);
        print_seconds_json("first_lap_s", first);
        std::printf(", ");
        print_seconds_json("normal_lap_s", normal);
        std::printf(", \"table\": [");
    } else {
        std::printf("lines of %s for %s: %d sections (first lap %d, normal lap %d), %d lines read\n",
                    folder.c_str(), k_skills[skill], table.section_count(), table.first_lap, table.normal_lap, read);
        std::printf("%7s %6s %6s %6s %8s %9s %9s %s\n", "section", "filled", "tested", "tests", "failures",
                    "fastest_s", "average_s", "planned(v0 v1 v2)");
    }
    for (int s = 0; s < table.section_count(); ++s) {
        const autopilot::LineSection& section = table.sections[static_cast<std::size_t>(s)];
        const SectionInfo info = section_info(section);
        if (json) {
            std::printf("%s{\"section\": %d, \"filled\": %d, \"tested\": %d, \"tests\": %d, \"failures\": %d, ",
                        s ? ", " : "", s, info.filled, info.tested, info.tests, info.failures);
            print_seconds_json("fastest_recorded_s", info.fastest_recorded);
            std::printf(", ");
            print_seconds_json("best_average_s", info.best_average);
            std::printf(", \"planned\": [%d, %d, %d]}", section.planned[0], section.planned[1], section.planned[2]);
        } else {
            std::printf("%7d %6d %6d %6d %8d", s, info.filled, info.tested, info.tests, info.failures);
            print_seconds_text(info.fastest_recorded);
            print_seconds_text(info.best_average);
            std::printf("  %d %d %d\n", section.planned[0], section.planned[1], section.planned[2]);
        }
    }
    if (json) {
        std::printf("]}\n");
    } else {
        std::printf("planned first lap:");
        print_seconds_text(first);
        std::printf("\nplanned normal lap:");
        print_seconds_text(normal);
        std::printf("\n");
    }
    autopilot::forget_lines();
    track::free_track();
    return 0;
}

const bool registered = register_subject_mode(
    {"--lines", "with --info: the track's line table for a robot skill, as a race start reads it", run_lines},
    "SKILL", {{"--track", true, "NAME", "track folder, as in the game's track list"}});

}  // namespace

}  // namespace zv::sim_tool
