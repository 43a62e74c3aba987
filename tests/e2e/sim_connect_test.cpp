// zarvox-sim --connect: two headless clients join zarvox-server on loopback,
// reach the race, see each other's riders and report in JSON; a client
// whose server is not there never reaches the race and says so by its exit
// status.
#include "program.h"

#include "support/temp_dir.h"

#include <gtest/gtest.h>
#include <unistd.h>

namespace {

using namespace zv;

const std::string k_sim = std::string(ZV_BUILD_DIR) + "/zarvox-sim";
const std::string k_server = std::string(ZV_BUILD_DIR) + "/zarvox-server";

TEST(SimConnect, TwoHeadlessClientsRaceOnOneServer)
{
    ASSERT_TRUE(std::filesystem::exists(k_server)) << "build zarvox-server first";
    test::TempDir dir;
    const int port = 20000 + static_cast<int>((::getpid() * 7) % 20000);
    const std::string d = dir.path().string();
    const std::string p = std::to_string(port);
    const std::string script =
        "\"$1\" --port " + p + " --track rabbithill --warmup 4 --laps 1 --seconds 30 > '" + d +
        "/server.log' 2>&1 &\n"
        "server=$!\n"
        "sleep 0.3\n"
        "\"$2\" --connect 127.0.0.1:" + p + " --seconds 7 --json > '" + d + "/a.json' 2>&1 &\n"
        "a=$!\n"
        "\"$2\" --connect 127.0.0.1:" + p + " --seconds 7 --json > '" + d + "/b.json' 2>&1\n"
        "echo $? > '" + d + "/b.status'\n"
        "wait $a\n"
        "echo $? > '" + d + "/a.status'\n"
        "kill -KILL $server\n";
    test::write_file(dir.path() / "run.sh", script);
    test::RunResult r = test::run_program("/bin/sh", {(dir.path() / "run.sh").string(), k_server, k_sim},
                                          {{"PATH", "/usr/bin:/bin"}, {"ZV_HOME", ZV_BUILD_DIR},
                                           {"XDG_DATA_HOME", d + "/xdg"}},
                                          dir.path() / "out");
    for (const char* who : {"a", "b"}) {
        const std::string json = test::read_file(dir.path() / (std::string(who) + ".json")).value_or("");
        SCOPED_TRACE(std::string(who) + ": " + json + "\nserver:\n" +
                     test::read_file(dir.path() / "server.log").value_or(""));
        EXPECT_EQ(test::read_file(dir.path() / (std::string(who) + ".status")).value_or("").substr(0, 1), "0");
        for (const char* part : {"\"states\": [\"CONNECTING\"", "\"RACING\"", "\"Headless Rider\"", "\"1 laps\""})
            EXPECT_NE(json.find(part), std::string::npos) << part;
    }
}

TEST(SimConnect, NoServerNoRace)
{
    test::TempDir dir;
    test::RunResult r = test::run_program(k_sim, {"--connect", "127.0.0.1:9", "--seconds", "1.5", "--json"},
                                          {{"PATH", "/usr/bin:/bin"}, {"ZV_HOME", ZV_BUILD_DIR},
                                           {"XDG_DATA_HOME", dir.path().string() + "/xdg"}},
                                          dir.path() / "out");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("\"states\": [\"CONNECTING\"]"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\"Contacting server\", \"Contacting server\""), std::string::npos) << r.out;

    r = test::run_program(k_sim, {"--connect", "127.0.0.1:9", "--seconds", "-1"},
                          {{"PATH", "/usr/bin:/bin"}, {"ZV_HOME", ZV_BUILD_DIR}}, dir.path() / "out2");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("--seconds"), std::string::npos);
}

}  // namespace
