// zarvox-sim records a race of robots on the generated Rabbit Hill and plays
// it back through the same race tick: the replayed riders pass the timing
// gates when the recorded ones did, and a demo cut off half way plays what
// it holds and ends.
#include "sim_run.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <vector>

namespace {

using namespace zv;

struct Finisher {
    std::string number;
    int laps = 0;
    double total = -1;  // seconds; -1 without a time
};

std::vector<Finisher> finishers(const std::string& json)
{
    std::vector<Finisher> out;
    std::regex rider(R"re("number": "([^"]*)".*?"laps": (\d+), "total_time_s": ([0-9.]+|null))re");
    for (auto it = std::sregex_iterator(json.begin(), json.end(), rider); it != std::sregex_iterator(); ++it) {
        Finisher f;
        f.number = (*it)[1].str();
        f.laps = std::stoi((*it)[2].str());
        f.total = (*it)[3].str() == "null" ? -1 : std::stod((*it)[3].str());
        out.push_back(f);
    }
    return out;
}

int ticks_of(const std::string& json)
{
    std::smatch m;
    return std::regex_search(json, m, std::regex(R"("ticks": (\d+))")) ? std::stoi(m[1].str()) : -1;
}

// The build's own generated tracks and lines.
class SimDemoRace : public test::SimRun {
protected:
    SimDemoRace() { env_["ZV_HOME"] = ZV_BUILD_DIR; }
    std::string file(const char* name) const { return dir_ / name; }
};

TEST_F(SimDemoRace, ARecordedRaceReplaysWithTheSameGateTimesAndACutDemoEndsEarly)
{
    ASSERT_TRUE(std::filesystem::exists(std::string(ZV_BUILD_DIR) + "/rabbithill/lines_expert"))
        << "build the robot_lines target first";
    test::RunResult raced = sim({"--race", "--track", "rabbithill", "--robots", "2", "--laps", "1", "--seed", "3",
                                 "--skill", "expert", "--record", file("race1.zvdemo"), "--json"});
    ASSERT_EQ(raced.status, 0) << raced.err;
    ASSERT_NE(raced.out.find("\"ended\": true"), std::string::npos) << raced.out;
    test::RunResult played = sim({"--demo", file("race1.zvdemo"), "--race", "--json"});
    ASSERT_EQ(played.status, 0) << played.err;
    EXPECT_NE(played.out.find("\"track\": \"rabbithill\""), std::string::npos) << played.out;
    EXPECT_NE(played.out.find("\"ended\": true"), std::string::npos) << played.out;

    const std::vector<Finisher> a = finishers(raced.out), b = finishers(played.out);
    ASSERT_EQ(a.size(), 2u) << raced.out;
    ASSERT_EQ(b.size(), a.size()) << played.out;
    for (std::size_t i = 0; i < a.size(); ++i) {
        EXPECT_EQ(b[i].number, a[i].number) << "place " << i + 1;
        EXPECT_EQ(b[i].laps, 1) << "place " << i + 1;
        ASSERT_GT(a[i].total, 0) << raced.out;
        // Replayed riders are drawn from records four ticks apart: their
        // front wheels reach a gate within a few ticks of the recorded ones.
        EXPECT_NEAR(b[i].total, a[i].total, 4.0 / 128) << "place " << i + 1;
    }

    // Half the file: the replay plays what there is and stops when it runs
    // out, neither hanging to the cap nor crashing.
    std::optional<std::string> bytes = test::read_file(file("race1.zvdemo"));
    ASSERT_TRUE(bytes);
    test::write_file(file("cut.zvdemo"), bytes->substr(0, bytes->size() / 2 + 7));
    test::RunResult cut = sim({"--demo", file("cut.zvdemo"), "--race", "--json"});
    ASSERT_EQ(cut.status, 0) << cut.err;
    EXPECT_GT(ticks_of(cut.out), ticks_of(raced.out) / 3) << cut.out;
    EXPECT_LT(ticks_of(cut.out), ticks_of(raced.out) * 2 / 3) << cut.out;
}

}  // namespace
