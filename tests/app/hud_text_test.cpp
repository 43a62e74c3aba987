// The head-up display's numbers and texts.
#include <gtest/gtest.h>

#include "app/hud_text.h"

#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace zv::app {
namespace {

TEST(Tachometer, NeedleSpans270DegreesOver16000Rpm)
{
    for (auto [rpm, angle] : {std::pair{0, -135.0}, {8000, 0.0}, {16000, 135.0}, {4000, -67.5}})
        EXPECT_DOUBLE_EQ(tachometer_angle(rpm), angle) << rpm;
}

TEST(Shifter, GearPicksItsCell)
{
    // {gear, column, row}: three a row, the rows wrap after three.
    const int cells[][3] = {{4, 1, 1}, {0, 0, 0}, {5, 2, 1}, {8, 2, 2}, {9, 0, 0}, {-1, 0, 0}};
    for (const auto& c : cells) {
        EXPECT_EQ(shifter_cell(c[0]).column, c[1]) << c[0];
        EXPECT_EQ(shifter_cell(c[0]).row, c[2]) << c[0];
    }
}

TEST(RaceBanner, LengthForms)
{
    // {laps, ticks, text}: 89 seconds round to one minute.
    for (auto [laps, ticks, text] : {std::tuple{5, 0, "5 laps"}, {0, 10 * 60 * 128, "10 minutes"},
                                     {2, 10 * 60 * 128, "10 minutes + 2 laps"}, {0, 89 * 128, "1 minutes"}})
        EXPECT_EQ(race_length_text(laps, ticks), text) << laps << " " << ticks;
    EXPECT_FLOAT_EQ(banner_opacity(0), 1.0f);
    EXPECT_FLOAT_EQ(banner_opacity(2.5), 0.5f);
    EXPECT_FLOAT_EQ(banner_opacity(3.5), 0.0f);
}

TEST(Times, TenthsAndThousandths)
{
    EXPECT_EQ(lap_time_tenths(128 * 75 + 64), "1:15.5");
    EXPECT_EQ(lap_time_thousandths(128 * 75 + 16), "1:15.125");
    EXPECT_EQ(lap_time_tenths(-5), "0:00.0");
    EXPECT_EQ(clock_text(-3), "Time - 0:00.0 ");
    EXPECT_EQ(clock_text(61.25), "Time - 1:01.2 ");
    EXPECT_EQ(fps_text(1.0 / 59.5), "FPS - 59");
    EXPECT_EQ(speed_text(44), "Speed - 30.00");
    EXPECT_EQ(ping_text(16, -8), "Ping - 125ms (-62ms offset)");
}

TEST(PitBoard, RaceAndTimeTrialLines)
{
    PitBoardInput in;
    in.number = "7";
    in.lap = 1;
    in.position = 2;
    in.gap_seconds = 1.25;
    in.last_ticks = 128 * 62 + 13;
    auto race = pit_board_lines(in);
    ASSERT_EQ(race.size(), 4u);
    EXPECT_EQ(std::vector<std::string>(race.begin() + 1, race.end()),
              (std::vector<std::string>{"L2 P3", "+1.2 ", "Last - 1:02.1 "}));
    in.race = false;
    in.best_ticks = 128 * 61;
    auto trial = pit_board_lines(in);
    ASSERT_EQ(trial.size(), 5u);
    EXPECT_EQ(std::pair(trial[1], trial[4]), std::pair(std::string("P3"), std::string("Best - 1:01.0")));
    EXPECT_EQ(close_rider_text("1234567", 0.44), " 12345 (0.4) ");
}

TEST(Results, RowsAndPenalties)
{
    EXPECT_EQ(std::pair(results_title(true), results_title(false)),
              std::pair(std::string("Final Results"), std::string("Unofficial Results")));
    EXPECT_EQ(results_header().size(), 6u);
    ResultInput r{2, "7", 5, 1.5, 128 * 70, 3, true};
    auto row = result_row(r);
    ASSERT_GE(row.size(), 6u);
    EXPECT_EQ(std::vector<std::string>(row.begin() + 1, row.begin() + 6),
              (std::vector<std::string>{"  7", "L5", "  1.500", "1:10.000", "(3)"}));
    EXPECT_EQ(total_race_time_text(128 * 600), "Total Race Time: 10:00.000");
    EXPECT_EQ(penalty_text({"12", 1, 2.5}), " 12 penalized 1 lap 2.50 seconds for cutting track");
    EXPECT_EQ(penalty_text({"3", 2, 0}), "  3 penalized 2 laps 0.00 seconds for cutting track");
    EXPECT_EQ(penalty_text({"3", 0, 4}), "  3 penalized 4.00 seconds for cutting track");
}

TEST(Ticker, EntriesAndTheLeadersLap)
{
    EXPECT_EQ(ticker_entry(1, "7", 0), "1   7   0.000");
    EXPECT_EQ(ticker_entry(12, "123", 61.0625), "12 123  61.062");
    // The leader's lap while laps remain: on the last lap, then none.
    for (auto [lap, text] : {std::pair{0, "Lap 1"}, {4, "Lap 5"}, {5, ""}, {6, ""}})
        EXPECT_EQ(ticker_lap_text(lap, 5), text) << lap;
}

TEST(RenderStats, SixLinesInOrder)
{
    StatLines s{{1, 2}, {3, 4}, {5, 6}, {7, 8}, {9, 10}, {11, 12}};
    auto lines = render_stat_lines(s);
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(lines[0], "Ground polygons - 1 max=2");
    EXPECT_EQ(lines[5], "Shader Changes - 11 max=12");
}

}  // namespace
}  // namespace zv::app
