// zarvox-sim --race: a race of robots on a tiny track whose only checkpoint
// (the lap end) takes in the first two grid places, so a one-lap race of two
// robots is over on its first tick and ends after the end-of-race delay;
// a third robot outside the zone never finishes and the run stops at its cap.
#include "program.h"

#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

using namespace zv;
using test::TempDir;

const std::string k_sim = std::string(ZV_BUILD_DIR) + "/zarvox-sim";

class SimRace : public ::testing::Test {
protected:
    SimRace()
    {
        std::filesystem::create_directories(dir_ / "home");
        env_ = {{"ZV_HOME", dir_ / "data"}, {"XDG_DATA_HOME", dir_ / "home"},
                {"TORV_LOGFILE", dir_ / "log.txt"}};
        put("terrain.hf", "1 16.0 0.0 10.0\n:" + std::string(50, '\0'));
        put("shading.ppm", "P6\n5 5\n255\n" + std::string(75, '\x80'));
        put("texturelist", "1 5 15 dirt.png\n");
        put("tileinfo", "friction 1.0 1.0\naddtile\n");
        put("tilemap", std::string(4, '\0'));
        put("timing_gates", "startinggate:\n[32 0 32] 0 null null null\ncheckpoints:\n"
                            "20 [32 0 48] [0 0 -1]\nfirstlap:\n0\nnormallap:\n0\n");
    }

    void put(const std::string& name, const std::string& bytes)
    {
        test::write_file(dir_ / ("data/tracks/mini/" + name), bytes);
    }

    test::RunResult sim(std::vector<std::string> args)
    {
        return test::run_program(k_sim, args, env_, dir_ / "run");
    }

    TempDir dir_;
    std::map<std::string, std::string> env_;
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
                             "\"riders\": [{\"place\": 1, \"number\": \"",
                             "\"finished\": true, \"laps\": 1, \"total_time_s\": ",
                             "{\"place\": 2, \"number\": \"", "\"knockouts\": 0}]}\n"})
        EXPECT_NE(r.out.find(part), std::string::npos) << part << "\n" << r.out;
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

}  // namespace
