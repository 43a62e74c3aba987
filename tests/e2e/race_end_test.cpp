// A New Race from the menus, with the default grid, run to its end in the
// real program under a virtual display: the robots leave their gates on
// their lines, the player holds the throttle down a short straight, every
// rider finishes the one lap, the final results are shown and
// "results.txt" is written to the home folder.
#include "game_run.h"
#include "strip_track.h"

#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <sstream>

namespace {

using namespace zv;

// The default grid: robots in gates 18, 19, 21, 22 and 23, the player in
// gate 20.
constexpr int k_robot_gates[] = {18, 19, 21, 22, 23};
constexpr int k_player_slot = 19;

std::string strip_lines() { return test::strip_lines({std::begin(k_robot_gates), std::end(k_robot_gates)}); }
using test::write_strip;

// From the main page: "New Race" (its first item), then "Start" (the
// second of its page); once the race has loaded and the gate has dropped,
// the throttle (x) is held until the player has passed the lap end.
const std::string k_race_to_the_end =
    "wait_log 'GL_EXTENSIONS: '\n"
    "press Return Enter\n"
    "press Down Down\n"
    "press Return Enter\n"
    "wait_log 'Max loading delay was'\n"
    "wait_log 'Start gate dropped at tick'\n"
    "shot racing\n"
    "hold '] X pressed'\n"
    "wait_log 'rider " + std::to_string(k_player_slot) + " passed timing gate 1$'\n"
    "xdotool keyup x\n"
    "wait_log '] Tick [0-9]*: Final Results'\n"
    "sleep 1\n"
    "shot results\n"
    "kill -TERM $pid\n";

class RaceEndTest : public test::GameRun {
protected:
    void SetUp() override
    {
        GameRun::SetUp();
        if (!set_up())
            return;
        write_strip(dir_.path() / "data/strip");
        for (const char* skill : {"lines_novice", "lines_amateur", "lines_expert"})
            test::write_file(dir_.path() / "data/strip" / skill, strip_lines());
        // One lap, the grid as it comes.
        test::write_file(home() / "config", "xres=640\nyres=360\nvideo_mode=Windowed\ntrack=strip\nlaps=1\n");
    }

    int play(const std::string& actions) { return GameRun::play({"--super-debug"}, actions); }
};

TEST_F(RaceEndTest, ANewRaceWithTheDefaultGridEndsWithFinalResults)
{
    ASSERT_EQ(play(k_race_to_the_end), 0) << last_.err << log();
    const std::string text = log();

    // Every robot left its gate and passed both checkpoints, after the drop.
    std::smatch m;
    ASSERT_TRUE(std::regex_search(text, m, std::regex(R"(\] Start gate dropped at tick (\d+)\n)"))) << text;
    const int drop = std::stoi(m[1].str());
    for (int gate : k_robot_gates) {
        const std::string rider = "rider " + std::to_string(gate - 1) + " passed timing gate ";
        for (int cp = 0; cp < 2; ++cp) {
            ASSERT_TRUE(std::regex_search(text, m, std::regex(R"(\] Tick (\d+): )" + rider + std::to_string(cp) + "\n")))
                << rider << cp << "\n" << text;
            EXPECT_GT(std::stoi(m[1].str()), drop) << rider << cp;
        }
    }
    ASSERT_TRUE(std::regex_search(text, m, std::regex(R"(\] Tick (\d+): Final Results\n)"))) << text;
    const int over = std::stoi(m[1].str());
    EXPECT_GT(over, drop);
    EXPECT_LT(over - drop, 60 * 128) << "a 140 ft lap is over within a minute";

    // "results.txt": its header, then the six finishers of one lap each (a
    // first lap, from the gate, is never a best lap).
    std::optional<std::string> results = test::read_file(home() / "results.txt");
    ASSERT_TRUE(results) << "results.txt in the home folder";
    std::istringstream in(*results);
    std::string line;
    std::getline(in, line);
    EXPECT_TRUE(std::regex_match(line, std::regex(R"(Time=0\.00\|Laps=\d+\|Track=strip\|Date=\d+\r)"))) << line;
    std::getline(in, line);
    EXPECT_EQ(line, " No. |         Bike | Laps | Total Time | BLap |  Best Time\r");
    int finishers = 0;
    const std::regex row(R"( *\S+ \| *\S+ \|    1 \|   0:\d\d\.\d\d\d \|    0 \|   0:00\.000\r)");
    while (std::getline(in, line) && std::regex_match(line, row))
        ++finishers;
    EXPECT_EQ(finishers, 6) << *results;

    // The results table is on the screen: its title is white writing over
    // the sky, which the same view showed without it at the drop.
    std::optional<test::RgbPicture> racing = shot("racing");
    std::optional<test::RgbPicture> over_pic = shot("results");
    ASSERT_TRUE(racing && over_pic) << text;
    auto title = [](const test::RgbPicture& p) {
        return test::white_pixels(p, p.width / 5, p.height * 12 / 100, p.width * 7 / 10, p.height * 12 / 100 + 20);
    };
    EXPECT_GT(title(*over_pic), title(*racing) + 60) << "the results title";
}

}  // namespace
