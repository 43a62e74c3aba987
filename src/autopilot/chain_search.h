// Planning lines through several sections: the cost of a line by search
// variant, which line may follow which, and the cheapest chains found by
// dynamic programming. At race start the plan for the first lap and a
// normal lap is made for variants 0, 1 and 2.
#pragma once

#include <array>
#include <span>

#include "autopilot/line_table.h"

namespace zv::autopilot {

inline constexpr double k_unusable = 1000000;  // cost of a line a variant will not use
inline constexpr float k_link_reach = 2.5f;    // ft from an extrapolated end to the next line
inline constexpr int k_nearly_full = 43;       // filled slots that make a section "nearly full"

// Cost of a line in a search variant (tests t, failures f, first time sum S1):
// 0: t < 5 unusable, else S1 / t + 640 clamp(f / (t + f), 0, 1);
// 1: the same with 8/7 f / (t + f); 2: t < 1 unusable, else with 4 f / (t + f);
// 3 (exploring): 100000 when t + f > 5 and 4 t < f; else 0 for a line never
// tried, else (b + 4) 1000 with b the binary digits of t + 4 f.
double line_cost(const LineSlot& slot, int variant);

// Where a line goes after its last point: one sample step beyond it, from
// its last three points (its only point when it has one).
LinePoint extrapolated_end(std::span<const LinePoint> line);
// Whether `next` may follow `line`: the extrapolated end lies within 2.5 ft
// of one of next's points.
bool lines_meet(std::span<const LinePoint> line, std::span<const LinePoint> next);

// Recomputes which slots of section s meet which of the following section.
void link_section(LineTable& table, int s);
// After a slot of section s changed: the links into it and out of it.
void link_around(LineTable& table, int s);

using SlotValues = std::array<double, k_slots_per_section>;
inline constexpr double k_no_chain = 1e30;  // value of a free slot

// Cheapest chain costs over the sections ridden from section index k0 on
// (count of them, at most values.size()): values[i][slot] is the cost of the
// cheapest chain that starts with that slot in the i-th section of the run.
// A line that meets no line of a following section that has lines carries
// the unusable cost for the break. With honour_withheld the lines the
// crossing analysis withheld are left out.
void chain_values(const LineTable& table, long long k0, int count, int variant, std::span<SlotValues> values,
                  bool honour_withheld = false);

// The race-start analysis: links every section, marks crossing lines (below),
// plans the first lap and a normal lap for variants 0, 1 and 2 (the planned
// line of each section per variant) and logs "First lap: %f" and
// "Normal lap: %f" (seconds, the cheapest of the variants) at debug level 1.
void analyze_lines(LineTable& table);
void analyze_lines();

// The crossing analysis of nearly full sections: of two lines that leave
// from one start (first points within 2 ft) and then cross each other, the
// one expected to be slower is withheld from the race-start plan, so the plan
// does not commit the robots to the worse of two interchangeable ways.
// Returns the number of lines withheld.
int mark_crossings(LineTable& table);

}  // namespace zv::autopilot
