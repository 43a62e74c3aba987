// Offering a recorded way through a section to the line table: cancelled
// and duplicate recordings are refused; otherwise it takes the first free
// slot, or replaces the worst line when it promises to be clearly faster.
#pragma once

#include <span>

#include "autopilot/line_table.h"

namespace zv::autopilot {

enum class OfferResult { canceled, duplicate, stored, evicted, too_slow };

// Offers points recorded through table section `section` with time 1 (its
// ticks through the section) and time 2 (through it and the next one).
// Logs the outcome at debug level 1.
OfferResult offer_line(LineTable& table, int section, std::span<const LinePoint> points, bool cancelled,
                       int time1, int time2);

// The slot a new recording would take: the first free one, else the filled
// slot with the greatest estimate (three quarters of it for a line that
// starts where no other starts; proven lines spared while 22 or fewer are
// proven). -1 when none qualifies.
int choose_victim(const LineSection& section);

// Same point count, and every point within 1/16 ft (squared distance at most
// 1/256) and within 1/16 ft/s.
bool same_line(std::span<const LinePoint> a, std::span<const LinePoint> b);

}  // namespace zv::autopilot
