// zarvox-sim --maneuver and --bench as a user runs them: options, errors,
// the JSON report, and a ride on a tiny track folder.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>

#include "e2e/program.h"
#include "support/temp_dir.h"

namespace {

using namespace zv;

const std::string k_sim = std::string(ZV_BUILD_DIR) + "/zarvox-sim";

class BenchCli : public ::testing::Test {
protected:
    BenchCli()
    {
        std::filesystem::create_directories(dir_ / "home");
        std::filesystem::create_directories(dir_ / "data");
        env_ = {{"ZV_HOME", dir_ / "data"}, {"XDG_DATA_HOME", dir_ / "home"}, {"TORV_LOGFILE", dir_ / "log.txt"}};
    }
    void put(const std::string& name, const std::string& bytes) { test::write_file(dir_ / ("data/" + name), bytes); }
    test::RunResult sim(const std::vector<std::string>& args) { return test::run_program(k_sim, args, env_, dir_ / "run"); }

    // A 64 ft square track, flat at 1.25 ft, two starting gates facing -z.
    void write_track(const std::string& track)
    {
        std::string hf = "1 16.0 0.0 10.0\n:";
        for (int i = 0; i < 25; ++i)
            hf += std::string("\x10\x20", 2);
        put(track + "/terrain.hf", hf);
        put(track + "/shading.ppm", "P6\n5 5\n255\n" + std::string(75, '\x80'));
        put(track + "/texturelist", "1 5 15 dirt.png\n");
        put(track + "/tilemap", std::string(4, '\0'));
        put(track + "/timing_gates",
            "startinggate:\n[24 0 40] 0 null null null\n[40 0 40] 0 null null null\n"
            "checkpoints:\n5 [10 0 10] [0 0 1]\n5 [20 0 20] [0 0 1]\n"
            "firstlap:\n0 1\nnormallap:\n0 1\n");
    }

    test::TempDir dir_;
    std::map<std::string, std::string> env_;
};

// The number after "key": in the JSON text (or "null").
std::string field(const std::string& json, const std::string& key, size_t from = 0)
{
    size_t at = json.find("\"" + key + "\": ", from);
    if (at == std::string::npos)
        return "";
    at += key.size() + 4;
    size_t end = json.find_first_of(",}", at);
    return json.substr(at, end - at);
}

TEST_F(BenchCli, BrakeOnTheFlatFieldAsJson)
{
    ASSERT_TRUE(std::filesystem::exists(k_sim)) << "build the zarvox-sim target first";
    test::RunResult r = sim({"--maneuver", "brake", "--flat", "--bike", "kx450f(2017)", "--seconds", "12", "--json"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.front(), '{');
    EXPECT_EQ(r.out.substr(r.out.size() - 2), "}\n");
    EXPECT_EQ(field(r.out, "model"), "\"kx450f(2017)\"");
    EXPECT_EQ(field(r.out, "time_to_60mph_s"), "null");
    float stop = std::stof(field(r.out, "stop_distance_ft"));
    EXPECT_GT(stop, 40);
    EXPECT_LT(stop, 150);
    EXPECT_EQ(field(r.out, "nan"), "false");
    EXPECT_EQ(field(r.out, "knockouts"), "0");
    EXPECT_GT(std::stoi(field(r.out, "ticks")), 256);
}

TEST_F(BenchCli, SeveralRidersSideBySide)
{
    ASSERT_TRUE(std::filesystem::exists(k_sim));
    test::RunResult r = sim({"--maneuver=rest", "--flat", "--riders", "3", "--seconds", "1", "--json"});
    ASSERT_EQ(r.status, 0) << r.err;
    size_t first = r.out.find("\"model\"");
    size_t second = r.out.find("\"model\"", first + 1);
    size_t third = r.out.find("\"model\"", second + 1);
    EXPECT_NE(third, std::string::npos);
    EXPECT_EQ(r.out.find("\"model\"", third + 1), std::string::npos);
    EXPECT_EQ(field(r.out, "stop_distance_ft"), "null");
    float sag = std::stof(field(r.out, "fork_sag_mm", third));
    EXPECT_GT(sag, 20);
    EXPECT_EQ(field(r.out, "final_gear"), "1");
}

TEST_F(BenchCli, RidesOnATrackFromItsStartingGates)
{
    ASSERT_TRUE(std::filesystem::exists(k_sim));
    write_track("tiny");
    test::RunResult r = sim({"--maneuver", "rest", "--track", "tiny", "--riders", "2", "--seconds", "1", "--json"});
    ASSERT_EQ(r.status, 0) << r.err << r.out;
    EXPECT_EQ(field(r.out, "nan"), "false");
    EXPECT_EQ(field(r.out, "knockouts"), "0");
    EXPECT_LT(std::stof(field(r.out, "max_abs_lean_deg")), 5);
    r = sim({"--maneuver", "rest", "--track", "nowhere"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("no track 'nowhere'"), std::string::npos) << r.err;
}

TEST_F(BenchCli, BadOptionsAreRefused)
{
    ASSERT_TRUE(std::filesystem::exists(k_sim));
    test::RunResult r = sim({"--maneuver", "wheelie", "--flat"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("rest, launch, brake or ride"), std::string::npos) << r.err;
    r = sim({"--maneuver", "rest"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("--flat or --track"), std::string::npos);
    r = sim({"--maneuver", "rest", "--flat", "--riders", "0"});
    EXPECT_EQ(r.status, 1);
    r = sim({"--maneuver", "rest", "--flat", "--riders", "161"});
    EXPECT_EQ(r.status, 1);
    r = sim({"--maneuver", "rest", "--flat", "--seconds", "-1"});
    EXPECT_EQ(r.status, 1);
    r = sim({"--maneuver", "rest", "--flat", "--seconds", "abc"});
    EXPECT_EQ(r.status, 1);
    r = sim({"--maneuver", "rest", "--bench", "--flat"});
    EXPECT_EQ(r.status, 1);
    // An unknown bike rides the substitute and says so.
    r = sim({"--maneuver", "rest", "--flat", "--bike", "kx125x", "--seconds", "0", "--json"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(field(r.out, "model"), "\"cr125\"");
    EXPECT_NE(r.err.find("no bike 'kx125x'"), std::string::npos);
}

}  // namespace
