// The results file: exact bytes of a finished race, finished riders only,
// and the silent failure.
#include "track/results.h"

#include "race_rules_fixture.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace zv::track {
namespace {

class Results : public test::RaceCourse {
protected:
    // Two laps. Rider "7" rides cleanly in 40 s; rider "12" leaves out
    // position 1 and finishes 1.7 s later; a replayed rider never finishes.
    void run_race()
    {
        start(0, 2);
        join(0, RiderSource::robot, "7", "KX450F");
        join(3, RiderSource::local, "12", "YZ250");
        join(5, RiderSource::replayed, "99", "RM125");
        const int s = k_start;
        stamp_all(0, {s + 640, s + 1280, s + 2560, s + 3200, s + 3840, s + 5120});
        stamp_all(3, {s + 700, -1, s + 2610, s + 3300, s + 3900, s + 5300});
        note_rider_data(5, 0);
        update_standings(s + 6000);
    }
};

// Rider 12's cut: the field rode positions 0 -> 2 in 1920 ticks, so 2048 are
// expected; it took 1910 and gets 138 ticks: 5300 + 138 = 5438 ticks,
// 42.484375 s. Its best lap is lap 2, 2690 ticks (21.015625 s).
constexpr const char* k_expected_body =
    " No. |         Bike | Laps | Total Time | BLap |  Best Time\r\n"
    "   7 |       KX450F |    2 |   0:40.000 |    2 |   0:20.000\r\n"
    "  12 |        YZ250 |    2 |   0:42.484 |    2 |   0:21.015\r\n"
    "\r\n"
    "6\r\n"
    "   5.000   10.000   20.000\r\n"
    "  25.000   30.000   40.000\r\n"
    "\r\n"
    "6\r\n"
    "   5.469       -1   20.391\r\n"
    "  25.781   30.469   41.406\r\n";

TEST_F(Results, ExactBytes)
{
    run_race();
    ASSERT_TRUE(has_final_standings());
    EXPECT_EQ(final_standings()[1].penalty_ticks, 138);
    EXPECT_EQ(format_results(1700000000),
              std::string("Time=0.00|Laps=2|Track=mini|Date=1700000000\r\n") + k_expected_body);

    // The race's end wrote the same file into the home folder.
    auto written = test::read_file(home() + "results.txt");
    ASSERT_TRUE(written);
    const std::size_t first_end = written->find("\r\n");
    ASSERT_NE(first_end, std::string::npos);
    EXPECT_EQ(written->substr(0, 33), "Time=0.00|Laps=2|Track=mini|Date=");
    EXPECT_EQ(written->substr(first_end + 2), k_expected_body);
}

TEST_F(Results, TimedRaceHeaderAndLongTimes)
{
    // A timed race of 90 minutes and 1 extra lap, nobody finished yet.
    start(90 * 60 * 128, 1);
    join(0, RiderSource::local, "1", "CR500");
    EXPECT_EQ(format_results(5),
              "Time=5400.00|Laps=1|Track=mini|Date=5\r\n"
              " No. |         Bike | Laps | Total Time | BLap |  Best Time\r\n");

    // One lap that took over an hour: the minutes run past 59; no best lap.
    start(0, 1);
    join(0, RiderSource::local, "1", "CR500");
    stamp_all(0, {k_start + 10, k_start + 20, k_start + 61 * 60 * 128 + 64});
    update_standings(k_start + 62 * 60 * 128);
    ASSERT_TRUE(has_final_standings());
    EXPECT_EQ(format_results(5),
              "Time=0.00|Laps=1|Track=mini|Date=5\r\n"
              " No. |         Bike | Laps | Total Time | BLap |  Best Time\r\n"
              "   1 |        CR500 |    1 |  61:00.500 |    0 |   0:00.000\r\n"
              "\r\n3\r\n"
              "   0.078    0.156 3660.500\r\n");
}

TEST_F(Results, NoFileUntilTheWinnerHasFinishedAndSilentFailure)
{
    // Only replayed riders whose data ran out: the race ends unfinished.
    start(0, 2);
    join(0, RiderSource::replayed, "5", "CR125");
    note_rider_data(0, 0);
    update_standings(2000);
    EXPECT_TRUE(has_final_standings());
    EXPECT_FALSE(std::filesystem::exists(home() + "results.txt"));

    // A folder where the file should go: nothing written, no complaint.
    std::filesystem::create_directories(home() + "results.txt");
    std::filesystem::create_directories(data() + "results.txt");
    EXPECT_FALSE(write_results_file(0));
}

}  // namespace
}  // namespace zv::track
