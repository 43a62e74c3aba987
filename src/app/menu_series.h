// The points-series side of the menus: the standings table, starting the
// next event, and recording a counted event's result once the race is over.
#pragma once

#include <string>
#include <vector>

#include "app/menu_model.h"
#include "app/series.h"

namespace zv::app {

// The series of the series list, or nullptr.
Series* menu_series(int index);

// "Next Event: ..." or "... Final Standings".
std::vector<std::string> series_title_lines(const Series& s);

// A round is a run of up to three consecutive events with the same name
// (its motos). first = index of its first event, count = its events.
struct SeriesRound {
    int first = 0;
    int count = 0;
};
std::vector<SeriesRound> series_rounds(const Series& s);

// The standings table: "No.", rider, one "Rd %d" column per round begun,
// "Total"; riders by total points, most first. A finished round's cell is its
// points with the places of its motos ("%d (%d)", "%d (%d-%d)",
// "%d (%d-%d-%d)"); a round still under way shows "- (%d-)" (or
// "- (%d-%d-)").
MenuTable standings_table(const Series& s, const std::string& player_name, const std::string& player_number);

// The gate order of the next event: rider indices (0 the player) in gate
// order. The first event takes the series' own order with the player
// first; later events line up by points, most first.
std::vector<int> series_grid(const Series& s);

// Starts the next event of series `index`; a counted event records its
// result when the race is over.
void start_series_event(Game& g, int index, bool counted);
// No counted event is under way any more (another race was started).
void forget_series_event();
// The places of the series' riders from the final standings: slots[k] is
// the rider slot of rider k (-1 when it has no bike). Riders without a
// finishing place come after the others, in rider order.
std::vector<int> series_places(const std::vector<int>& slots, const std::vector<int>& final_order);

}  // namespace zv::app
