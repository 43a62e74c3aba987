// zarvox-server as a program: its command line refuses what it cannot use,
// and a short run on the generated game data listens, logs and stops
// cleanly.
#include "e2e/program.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

using namespace zv;

const std::string k_server = std::string(ZV_BUILD_DIR) + "/zarvox-server";

TEST(ServerProgram, CommandLineAndAShortRun)
{
    test::TempDir dir;
    std::filesystem::create_directories(dir / "home");
    std::map<std::string, std::string> env = {
        {"ZV_HOME", ZV_BUILD_DIR}, {"XDG_DATA_HOME", dir / "home"}, {"TORV_LOGFILE", dir / "log.txt"}};

    struct Case {
        std::vector<std::string> args;
        int status;
        std::string out_has;  // in standard output
        std::string err_has;  // in standard error
    };
    const std::vector<Case> cases = {
        {{"--help"}, 0, "usage: zarvox-server", ""},
        {{"--laps", "x"}, 1, "", "bad value for --laps: x"},
        {{"--max-riders", "161"}, 1, "", "bad value for --max-riders"},
        {{"--port", "65536"}, 1, "", "bad value for --port"},
        {{"--knockout", "10 x"}, 1, "", "bad value for --knockout"},
        {{"--laps", "0"}, 1, "", "a race needs laps or minutes"},
        {{"--bogus", "1"}, 1, "", "unknown option --bogus"},
        {{"--password"}, 1, "", "--password needs a value"},
        {{"--track", "nowhere"}, 1, "", "no track 'nowhere'"},
        {{"--port", "0", "--seconds", "1", "--track", "rabbithill", "--incoming", dir / "in", "--knockout", "10 20"}, 0,
         "listening on UDP port", ""},
    };
    for (const Case& c : cases) {
        test::RunResult r = test::run_program(k_server, c.args, env, dir / "run");
        std::string what = c.args.front();
        EXPECT_EQ(r.status, c.status) << what << "\n" << r.err;
        EXPECT_NE(r.out.find(c.out_has), std::string::npos) << what << "\n" << r.out;
        EXPECT_NE(r.err.find(c.err_has), std::string::npos) << what << "\n" << r.err;
        if (c.status == 0 && c.args.size() > 1) {
            EXPECT_NE(r.out.find("race 1 begins"), std::string::npos) << r.out;
            EXPECT_NE(r.out.find("track rabbithill ("), std::string::npos) << r.out;
            EXPECT_NE(r.out.find("server stopped"), std::string::npos) << r.out;
            EXPECT_TRUE(std::filesystem::is_directory(dir / "in"));
        }
    }
}

}  // namespace
