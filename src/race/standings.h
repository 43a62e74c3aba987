// The standings of the race as a table of riders: the final list once the
// race is over, else the running order. What the bench prints and what a
// test can check without reading the race rules' lists by hand.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace zv::race {

struct RiderResult {
    int place = 0;              // 1 for the first
    int slot = 0;
    std::string number;
    std::string bike;
    std::string personality;
    bool finished = false;
    int laps = 0;               // laps completed (after laps taken for cutting)
    // From the start to the rider's last passage (plus its cutting penalty in
    // the final list); none when it has passed nothing.
    std::optional<int> total_ticks;
    int best_lap = 0;           // lap number, 0 when none
    int best_lap_ticks = 0;
    int knockouts = 0;
};

std::vector<RiderResult> race_results();

}  // namespace zv::race
