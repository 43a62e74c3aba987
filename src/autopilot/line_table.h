// The learnt lines of the loaded track. The timing gates cut the course into
// sections: the F sections of the first lap, then the N sections of a normal
// lap that repeats. For every section the table keeps up to 45 recorded ways
// through it with the statistics of the robots that rode them.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "autopilot/line_point.h"
#include "track/timing.h"

namespace zv::autopilot {

inline constexpr int k_slots_per_section = 45;
inline constexpr int k_no_time = 1000000;         // times of an empty slot, best times when untested
inline constexpr int k_failure_ticks = 640;       // 5 s: what a failed attempt is held to cost
inline constexpr int k_never_picked = -1000000;   // last-picked tick of a slot no robot took yet
// A section recording longer than this (128 s at one point a quarter second)
// is dropped: every slot keeps room for one, so learning never allocates
// while the race runs.
inline constexpr int k_max_line_points = 512;
// Search variants with a cost rule (0..3); the race-start plan keeps 0..2.
inline constexpr int k_variant_count = 4;
inline constexpr int k_planned_variants = 3;

struct LineSlot {
    std::vector<LinePoint> points;  // empty: the slot is free
    int time1 = k_no_time;          // ticks through the section when recorded
    int time2 = k_no_time;          // ticks through it and the following section
    int tests = 0;                  // robot attempts that completed the section on it
    int best1 = k_no_time, best2 = k_no_time;
    std::int64_t sum1 = 0, sum2 = 0;  // measured times of those attempts
    int failures = 0;               // robot attempts abandoned on it
    int last_picked = k_never_picked;
    int id = 0;                     // unique within the program run; 0 when free

    bool filled() const { return !points.empty(); }
};

using SlotMask = std::uint64_t;  // one bit per slot of a section

struct LineSection {
    std::array<LineSlot, k_slots_per_section> slots;
    // links[i] bit j: slot i's end meets slot j of the next section.
    std::array<SlotMask, k_slots_per_section> links{};
    // Slots the crossing analysis withholds from the race-start plan.
    SlotMask withheld = 0;
    // The race-start plan's line per variant (-1: none).
    std::array<int, k_planned_variants> planned{-1, -1, -1};
};

struct LineTable {
    int first_lap = 0;   // F
    int normal_lap = 0;  // N
    std::vector<LineSection> sections;  // F + N; empty: the track has no timing
    // The checkpoint that ends each section (empty: riders pass no gates).
    std::vector<track::Checkpoint> gates;

    int section_count() const { return static_cast<int>(sections.size()); }
    bool empty() const { return sections.empty(); }
};

// The loaded track's table.
LineTable& line_table();

// Makes the table F + N sections of empty slots (none when either count is
// below 1). Slots keep room for k_max_line_points points.
void create_table(LineTable& table, int first_lap, int normal_lap);
// The checkpoints that end the sections: the first-lap entries and then the
// normal-lap entries, leaving out those marked for the auto pilot to skip.
// Empty when the track has no timing.
std::vector<track::Checkpoint> section_gates(const track::TrackTiming& timing);

// The section index of a rider at lap position p: the gates among positions
// 0 .. p - 1 that end sections (the skip-marked entries are none).
long long section_index_at(const track::TrackTiming& timing, long long p);

// Empties every slot (the state before a line file is read).
void empty_table(LineTable& table);
void empty_slot(LineSlot& slot);

// The table section of section index k (gates passed since the start):
// k itself in the first lap, F + (k - F) mod N beyond it. -1 for k < 0 or
// an empty table.
int table_section(const LineTable& table, long long k);
// The section ridden after table section s.
int following_section(const LineTable& table, int s);

// The time a slot is expected to take through its section and the next:
// untested, 5/4 of its recorded time 2 (plus 5 s with failures); tested, its
// average measured time 2 plus 5 s times its failure share. An empty slot
// comes to 1250000.
std::int64_t expected_time(const LineSlot& slot);

// A fresh slot id.
int next_line_id();

// Statistics as a file may hold them are brought back into range: while the
// second sum is above 100000000 or tests or failures above 65535 (16 times at
// most), tests and failures are halved and both sums scaled with the tests;
// then the sums are clamped to 100000000 and the counts to 65535.
void scale_statistics(LineSlot& slot);

}  // namespace zv::autopilot
