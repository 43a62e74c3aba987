// A robot choosing its line when it enters a section: the search variant
// from its personality and lead, a score for every line from the cheapest
// chains over the next 8 sections, and the pick that weighs the score with
// how well the line's start fits where the robot is and how fast it goes.
#pragma once

#include <array>

#include "autopilot/line_table.h"
#include "autopilot/roster.h"
#include "sim/vec.h"

namespace zv::autopilot {

inline constexpr int k_score_sections = 8;

// The first variant while the lead is not above the threshold, else the
// second.
int choose_variant(const Personality& p, float lead_seconds);
// A rider's lead in seconds: when it leads the running standings with at
// least two riders in them, the time between it and the second rider at the
// last gate both passed; otherwise 0.
float race_lead_seconds(int slot);

using LineScores = std::array<float, k_slots_per_section>;
// Scores of the lines of the section a robot enters at section index k:
// the best chain cost over the lines' chain costs (a cost below 1 counts as
// 1; free slots score 0); the race-start plan's line raised toward 1 from
// 40 s to 60 s of racing (not when exploring); in the race's first section
// every score becomes 0.8 + 0.2 score.
void line_scores(const LineTable& table, long long k, int variant, float race_seconds, LineScores& out);

// How well a line's start fits the robot: a b^3 with
// a = clamp((15 + |v| - s) / 5, 0, 1) and
// b = clamp((5 - |r - d1|) / 3.5, 0, 1) clamp((3 - |d2 - d1|) / 2, 0, 1),
// v the line's first speed, d1 and d2 the robot's horizontal distances to
// the line's first two points, s and r from the robot's driving state.
float line_match(const LineSlot& slot, sim::Vec3 robot, float s, float r);

// What the robot brings to the match: s is its speed, r the distance it
// covers in half a sample interval at that speed (a line's first point was
// sampled anywhere up to a sample interval after its gate, on average half).
float match_distance(float speed);

// Picks the slot of section `section` with the greatest
// match + min(1, max(0, seconds since last picked / 3)) score (the earlier
// slot on equal values), sets its last-picked tick and logs
// "auto pilot: picking %d ..." at debug level 1. -1 when the section has no
// lines.
int pick_line(LineTable& table, int section, const LineScores& scores, sim::Vec3 robot, float speed, int tick);

}  // namespace zv::autopilot
