// zarvox-sim --race: a race of robots on a tiny track whose only checkpoint
// (the lap end) takes in the first two grid places, so a one-lap race of two
// robots is over on its first tick and ends after the end-of-race delay;
// a third robot outside the zone never finishes and the run stops at its cap.
#include "sim_run.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

namespace {

using namespace zv;
using test::k_sim;

class SimRace : public test::SimRun {
protected:
    SimRace()
    {
        write_tiny_track("tracks/mini",
                         "startinggate:\n[32 0 32] 0 null null null\ncheckpoints:\n"
                         "20 [32 0 48] [0 0 -1]\nfirstlap:\n0\nnormallap:\n0\n",
                         std::string(2, '\0'));
        put("tileinfo", "friction 1.0 1.0\naddtile\n");
    }

    void put(const std::string& name, const std::string& bytes) { SimRun::put("tracks/mini", name, bytes); }
};

TEST_F(SimRace, TwoRobotsFinishAndTheRaceEndsAfterTheDelay)
{
    ASSERT_TRUE(std::filesystem::exists(k_sim)) << "build the zarvox-sim target first";
    test::RunResult r = sim({"--race", "--track", "tracks/mini", "--robots", "2", "--laps", "1", "--seed", "3",
                             "--skill", "expert", "--json"});
    ASSERT_EQ(r.status, 0) << r.err;
    for (const char* part : {"{\"track\": \"tracks/mini\", \"robots\": 2, \"laps\": 1, \"minutes\": 0, "
                             "\"skill\": \"expert\", \"seed\": 3, \"learn\": false, \"ended\": true, "
                             "\"capped\": false, \"cap_seconds\": 320.000, \"ticks\": 640, "
                             "\"simulated_seconds\": 5.000, ",
                             "\"realtime_factor\": ",
                             // Memory at the first and the last tick; no sample lies
                             // nearer the middle than the start.
                             "\"memory_seconds\": {\"start\": 0.000, \"middle\": 0.000, \"end\": 5.000}, ",
                             "\"non_finite\": false, \"first_non_finite_s\": null, \"riders\": [{\"place\": 1, \"number\": \"",
                             "\"finished\": true, \"laps\": 1, \"total_time_s\": ",
                             "{\"place\": 2, \"number\": \"", "\"knockouts\": 0}]}\n"})
        EXPECT_NE(r.out.find(part), std::string::npos) << part << "\n" << r.out;
    std::smatch m;
    const std::string mb = R"(\{"start": ([0-9.]+), "middle": ([0-9.]+), "end": ([0-9.]+)\})";
    ASSERT_TRUE(std::regex_search(r.out, m, std::regex("\"rss_mb\": " + mb + ", \"peak_rss_mb\": " + mb))) << r.out;
    for (int i = 1; i <= 3; ++i) {
        EXPECT_GT(std::stod(m[i].str()), 1.0) << i;
        EXPECT_GE(std::stod(m[i + 3].str()), std::stod(m[i].str())) << "the peak is never below the resident set";
    }
    EXPECT_LE(std::stod(m[4].str()), std::stod(m[6].str())) << "the peak never falls";
    // Robots race under their roster profiles' numbers and personalities.
    EXPECT_EQ(r.out.find("\"personality\": \"\""), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\"personality\": \""), std::string::npos) << r.out;
    // The race wrote its results in the home folder.
    const std::string results = test::slurp(dir_ / "home/Zarvox/results.txt");
    EXPECT_EQ(results.rfind("Time=0.00|Laps=1|Track=", 0), 0u) << results;

    // The same race in text.
    r = sim({"--race", "--track", "tracks/mini", "--robots", "2", "--laps", "1"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("ended by the race rules after 640 ticks (5.0 s)"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("memory at end    (     5.0 s): resident "), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("state stayed finite\n"), std::string::npos) << r.out;
}

// A launch on the track changes the ground only with erosion on, and the
// report compares the ground with the track's files.
TEST_F(SimRace, ManeuversThrowRoostAndCutTheGroundOnlyWithErosion)
{
    ASSERT_TRUE(std::filesystem::exists(k_sim));
    auto launch = [&](const std::string& erode) {
        return sim({"--track", "tracks/mini", "--maneuver", "launch", "--seconds", "3", "--erode", erode, "--json"});
    };
    test::RunResult still = launch("0"), cut = launch("100");
    ASSERT_EQ(still.status, 0) << still.err;
    ASSERT_EQ(cut.status, 0) << cut.err;
    EXPECT_NE(still.out.find("\"roost_frequency\": 1000, \"erode\": 0, \"terrain_changes\": 0, "), std::string::npos)
        << still.out;
    EXPECT_NE(still.out.find("\"largest_height_change_ft\": 0.0000, \"heights_unchanged\": true, "),
              std::string::npos) << still.out;
    EXPECT_NE(cut.out.find("\"erode\": 100, "), std::string::npos) << cut.out;
    EXPECT_EQ(cut.out.find("\"terrain_changes\": 0,"), std::string::npos) << cut.out;
    EXPECT_NE(cut.out.find("\"heights_unchanged\": false, "), std::string::npos) << cut.out;
    // Without roost nothing is thrown (this track's tiles name no roost, so
    // the count of a launch with roost stays unchecked here).
    test::RunResult none =
        sim({"--track", "tracks/mini", "--maneuver", "launch", "--seconds", "3", "--roostfrequency", "0", "--json"});
    EXPECT_NE(none.out.find("\"particles_peak\": 0, \"particles_emitted\": 0, "), std::string::npos) << none.out;
}

TEST_F(SimRace, BadArgumentsAndMissingTracksFail)
{
    ASSERT_TRUE(std::filesystem::exists(k_sim));
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"--race"},
             {"--race", "--track", "tracks/none"},
             {"--race", "--track", "tracks/mini", "--robots", "0"},
             {"--race", "--track", "tracks/mini", "--robots", "161"},
             {"--race", "--track", "tracks/mini", "--laps", "x"},
             {"--race", "--track", "tracks/mini", "--laps", "0"},
             {"--race", "--track", "tracks/mini", "--skill", "pro"},
             {"--race", "--track", "tracks/mini", "--seed", "-1"},
             {"--race", "--track", "tracks/mini", "--erode", "101"},
             {"--track", "tracks/mini", "--maneuver", "launch", "--roostfrequency", "1001"},
             {"--flat", "--maneuver", "launch", "--erode", "5"}}) {
        test::RunResult r = sim(args);
        EXPECT_EQ(r.status, 1) << args.back();
        EXPECT_EQ(r.out, "") << args.back();
        EXPECT_NE(r.err.find("zarvox-sim: "), std::string::npos) << args.back() << r.err;
    }
}

// --lines SKILL --info: the table a race start reads, with its figures
// worked out by hand. Section 0 holds a line tested twice (one failure,
// measured 240 ticks) and an untested one; section 1 is empty, so the
// normal lap has no plan. Variant 2 alone trusts two tests: 120 + 640
// (four times a third failure share, clamped to 1) = 760 ticks.
TEST_F(SimRace, LinesInfoPrintsTheTableAsARaceStartReadsIt)
{
    ASSERT_TRUE(std::filesystem::exists(k_sim));
    put("lines_expert", "ct03 2\n2\n2 128 256 2 120 250 240 500 1\n[0 0 0] 10 1\n[1 0 0] 10 1\n"
                        "3 192 320 0 1000000 1000000 0 0 0\n[0 0 0] 9 1\n[ 1 0 0 ] 9 1\n[2 0 0] 9 1\n0\n");
    test::RunResult r = sim({"--track", "tracks/mini", "--lines", "expert", "--info", "--json"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "{\"track\": \"tracks/mini\", \"skill\": \"expert\", \"sections\": 2, \"first_lap\": 1, "
                     "\"normal_lap\": 1, \"lines\": 2, \"first_lap_s\": 5.938, \"normal_lap_s\": null, \"table\": ["
                     "{\"section\": 0, \"filled\": 2, \"tested\": 1, \"tests\": 2, \"failures\": 1, "
                     "\"fastest_recorded_s\": 1.000, \"best_average_s\": 0.938, \"planned\": [0, 0, 0]}, "
                     "{\"section\": 1, \"filled\": 0, \"tested\": 0, \"tests\": 0, \"failures\": 0, "
                     "\"fastest_recorded_s\": null, \"best_average_s\": null, \"planned\": [-1, -1, -1]}]}\n");
    r = sim({"--track", "tracks/mini", "--lines", "amateur", "--info"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("2 sections (first lap 1, normal lap 1), 0 lines read"), std::string::npos) << r.out;
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"--track", "tracks/mini", "--lines", "pro", "--info"},
             {"--track", "tracks/mini", "--lines", "expert"},
             {"--lines", "expert", "--info"},
             {"--track", "tracks/none", "--lines", "expert", "--info"}}) {
        r = sim(args);
        EXPECT_EQ(r.status, 1) << args[args.size() - 2];
        EXPECT_EQ(r.out, "");
    }
}

}  // namespace
