// The points-series pages: rounds made of motos, the standings table with
// every cell form, the next event's grid, and the places a finished race
// gives the series' riders.
#include "app/menu_series.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace zv::app {
namespace {

Series make_series(const std::vector<std::string>& event_names, int robots)
{
    Series s;
    s.file = "t.series";
    s.name = "Test Cup";
    for (int r = 0; r < robots; ++r)
        s.riders.push_back(100 + r);
    for (const std::string& n : event_names) {
        SeriesEvent e;
        e.name = n;
        e.track = "hills";
        // 25, 22, 20, ... for the first places.
        const int top[] = {25, 22, 20, 18, 16};
        for (int p = 0; p < 5; ++p)
            e.points[static_cast<std::size_t>(p)] = top[p];
        s.events.push_back(e);
    }
    s.totals.assign(static_cast<std::size_t>(s.field_size()), 0);
    return s;
}

// Adds a completed event in memory (places minus one per rider).
void add_row(Series& s, const std::vector<int>& places)
{
    const SeriesEvent& e = s.events[s.standings.size()];
    for (std::size_t r = 0; r < places.size(); ++r)
        s.totals[r] += e.points[static_cast<std::size_t>(places[r])];
    s.standings.push_back(places);
}

TEST(MenuSeries, RoundsGroupUpToThreeMotosOfOneName)
{
    Series s = make_series({"A", "A", "B", "C", "C", "C", "C", "A"}, 1);
    std::vector<SeriesRound> r = series_rounds(s);
    std::vector<std::pair<int, int>> first_count;
    for (const SeriesRound& round : r)
        first_count.emplace_back(round.first, round.count);
    // A fourth moto of "C" starts a new round.
    EXPECT_EQ(first_count, (std::vector<std::pair<int, int>>{{0, 2}, {2, 1}, {3, 3}, {6, 1}, {7, 1}}));
}

TEST(MenuSeries, TableCellsForEveryRoundState)
{
    // Rounds: "One" (1 moto), "Two" (2 motos), "Three" (3 motos), "Four" (2).
    Series s = make_series({"One", "Two", "Two", "Three", "Three", "Three", "Four", "Four"}, 2);
    add_row(s, {1, 0, 2});  // One
    add_row(s, {0, 1, 2});  // Two
    add_row(s, {2, 0, 1});
    add_row(s, {0, 2, 1});  // Three
    add_row(s, {0, 1, 2});
    add_row(s, {1, 0, 2});
    add_row(s, {2, 1, 0});  // Four, first moto only
    MenuTable t = standings_table(s, "Joe Motocross", "999");
    EXPECT_EQ(t.header, (std::vector<std::string>{"No.", "Rider", "Rd 1", "Rd 2", "Rd 3", "Rd 4", "Total"}));
    ASSERT_EQ(t.rows.size(), 3u);
    // Totals: player 22+25+20+25+25+22+20 = 159, robot 1: 25+22+25+20+22+25+22 = 161,
    // robot 2: 20+20+22+22+20+20+25 = 149.
    EXPECT_EQ(t.rows[0], (std::vector<std::string>{"100", "Robot 1", "25 (1)", "47 (2-1)", "67 (3-2-1)", "- (2-)",
                                                   "161"}));
    EXPECT_EQ(t.rows[1], (std::vector<std::string>{"999", "Joe Motocross", "22 (2)", "45 (1-3)", "72 (1-1-2)",
                                                   "- (3-)", "159"}));
    EXPECT_EQ(std::pair(t.rows[2][1], t.rows[2].back()), std::pair(std::string("Robot 2"), std::string("149")));
    EXPECT_EQ(series_title_lines(s), (std::vector<std::string>{"Next Event: Four"}));

    add_row(s, {2, 1, 0});
    EXPECT_EQ(series_title_lines(s), (std::vector<std::string>{"Test Cup Final Standings"}));
    t = standings_table(s, "Joe", "1");
    EXPECT_EQ(t.rows[0][5], "44 (2-2)");
}

TEST(MenuSeries, NoEventsRunShowsOnlyTheTotals)
{
    Series s = make_series({"One"}, 3);
    MenuTable t = standings_table(s, "Joe", "7");
    EXPECT_EQ(t.header, (std::vector<std::string>{"No.", "Rider", "Total"}));
    ASSERT_EQ(t.rows.size(), 4u);
    EXPECT_EQ(t.rows[0], (std::vector<std::string>{"7", "Joe", "0"}));  // ties keep rider order
    EXPECT_EQ(t.rows[3][0], "102");
}

TEST(MenuSeries, GridFollowsTheListThenThePoints)
{
    Series s = make_series({"A", "B"}, 3);
    EXPECT_EQ(series_grid(s), (std::vector<int>{0, 1, 2, 3}));
    add_row(s, {3, 1, 0, 2});
    // Robot 2 won (25), robot 1 second (22), robot 3 third, the player last.
    EXPECT_EQ(series_grid(s), (std::vector<int>{2, 1, 3, 0}));
}

TEST(MenuSeries, PlacesFromTheFinalStandings)
{
    // Riders 0..3 in slots 0, 1, 2 and none.
    EXPECT_EQ(series_places({0, 1, 2, -1}, {2, 0, 1}), (std::vector<int>{1, 2, 0, 3}));
    // Slots outside the series and repeated slots are passed over; riders
    // without a place follow in rider order.
    EXPECT_EQ(series_places({5, 6, 7}, {9, 7, 7}), (std::vector<int>{1, 2, 0}));
    EXPECT_TRUE(series_places({}, {1, 2}).empty());
}

}  // namespace
}  // namespace zv::app
