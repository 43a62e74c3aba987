// The game in a virtual display joins our race server on loopback as a
// player would: "--connect" takes it through the connection to the race,
// a chat line and a "sendfile" typed on the chat line reach the server, and
// the game leaves the server when it is ended. With two headless clients
// beside it on a short track, the three race one lap to its end, agree on
// the standings, hear the game's chat, and are brought back to the track
// stage for the next race.
#include "display_run.h"
#include "strip_track.h"

#include "support/temp_dir.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <regex>
#include <string>
#include <vector>

namespace {

using namespace zv;

const std::string k_zarvox = std::string(ZV_BUILD_DIR) + "/zarvox";
const std::string k_server = std::string(ZV_BUILD_DIR) + "/zarvox-server";
const std::string k_sim = std::string(ZV_BUILD_DIR) + "/zarvox-sim";
const std::string k_archive = std::string(ZV_BUILD_DIR) + "/zzzz.saf";

std::string script(const std::string& dir, int port)
{
    const std::string p = std::to_string(port);
    return "set -u\n"
           "DIR='" + dir + "'\n"
           "LOG=\"$DIR/xdg/Zarvox/lastlog.txt\"\n"
           "\"$1\" --port " + p + " --track rabbithill --warmup 3 --laps 1 --incoming \"$DIR/incoming\""
           " --seconds 60 > \"$DIR/server.log\" 2>&1 &\n"
           "server=$!\n"
           "sleep 0.5\n"
           "\"$2\" --connect 127.0.0.1:" + p + " --nosound &\n"
           "pid=$!\n" + test::k_wait_helpers + test::k_say_helper + test::k_find_window +
           "wait_log '1 laps' && echo racing > \"$DIR/racing.txt\"\n"
           "say 'hello from the game'\n"
           "sleep 2.5\n"
           "say '/sendfile note.txt'\n"
           "wait_log 'Sending file'\n"
           "n=0\n"
           "while [ ! -f \"$DIR/incoming/note.txt\" ] && [ $n -lt 100 ]; do n=$((n+1)); sleep 0.1; done\n"
           "kill -TERM $pid\n"
           "wait $pid\n"
           "echo $? > \"$DIR/status.txt\"\n"
           "sleep 0.5\n"
           "kill -KILL $server 2>/dev/null\n"
           "wait $server\n";
}

// Runs `script` (made for the folder and a port of its own) under a virtual
// display with the given programs as its arguments, the game's window
// 640 x 480 and `note` waiting in its outgoing folder; ZV_HOME is
// `data_home` when given.
test::RunResult run_session(const test::TempDir& dir, std::string (*script)(const std::string&, int), int port,
                            const std::string& note, const std::vector<std::string>& programs,
                            const std::string& data_home = "")
{
    const std::filesystem::path home = dir.path() / "xdg/Zarvox";
    std::filesystem::create_directories(home / "outgoing");
    std::filesystem::create_directories(dir.path() / "incoming");
    test::write_file(home / "config", "xres=640\nyres=480\nvideo_mode=Windowed\n");
    test::write_file(home / "outgoing/note.txt", note);
    const std::string driver = (dir.path() / "driver.sh").string();
    test::write_file(driver, script(dir.path().string(), port));
    std::map<std::string, std::string> env = {
        {"HOME", (dir.path() / "user").string()},
        {"XDG_DATA_HOME", (dir.path() / "xdg").string()},
        {"PATH", "/usr/bin:/bin"},
    };
    if (!data_home.empty())
        env["ZV_HOME"] = data_home;
    test::pass_windowed_sanitizer_options(env);
    std::vector<std::string> command = {"sh", driver};
    command.insert(command.end(), programs.begin(), programs.end());
    return test::run_on_display("800x600x24", command, env, dir.path() / "run");
}

TEST(MultiplayerGame, JoinsTheServerRacesChatsSendsAFileAndLeaves)
{
    if (!std::filesystem::exists(test::k_xvfb))
        GTEST_SKIP() << "Xvfb is not installed";
    ASSERT_TRUE(std::filesystem::exists(k_server)) << "build zarvox-server first";
    test::TempDir dir;
    const std::filesystem::path home = dir.path() / "xdg/Zarvox";
    const std::string note(600, 'n');
    const int port = 20000 + static_cast<int>(::getpid() % 20000);
    test::RunResult r = run_session(dir, script, port, note, {k_server, k_zarvox});

    const std::string log = test::read_file(home / "lastlog.txt").value_or("");
    const std::string server_log = test::read_file(dir.path() / "server.log").value_or("");
    SCOPED_TRACE("game log:\n" + log + "\nserver log:\n" + server_log + "\n" + r.err);
    EXPECT_TRUE(std::filesystem::exists(dir.path() / "racing.txt"));
    std::size_t at = 0;
    for (const char* line : {"Contacting server", "Sending client info", "Sending track acknowledgment",
                             "Loading bikes", "1 laps", "Sending file", "Disconnecting"}) {
        std::size_t next = log.find(line, at);
        EXPECT_NE(next, std::string::npos) << "missing or out of order: " << line;
        if (next != std::string::npos)
            at = next;
    }
    EXPECT_NE(server_log.find("hello from the game"), std::string::npos);
    EXPECT_EQ(test::read_file(dir.path() / "incoming/note.txt").value_or(""), note);
    EXPECT_EQ(test::read_file(dir.path() / "status.txt").value_or("-1").substr(0, 1), "0");
}

// The three riders of the field race on the strip: the game's rider holds
// the throttle, the headless clients' robots ride their lines. After the
// race the game sends a file; the server's next race brings all back.
std::string field_script(const std::string& dir, int port)
{
    const std::string p = std::to_string(port);
    return "set -u\n"
           "DIR='" + dir + "'\n"
           "LOG=\"$DIR/xdg/Zarvox/lastlog.txt\"\n"
           "\"$1\" --port " + p + " --track strip --warmup 5 --laps 1 --incoming \"$DIR/incoming\""
           " --seconds 55 > \"$DIR/server.log\" 2>&1 &\n"
           "server=$!\n"
           "sleep 0.3\n"
           "\"$2\" --connect 127.0.0.1:" + p + " --nosound --super-debug &\n"
           "pid=$!\n" + test::k_wait_helpers + test::k_key_helpers + test::k_say_helper + test::k_find_window +
           "wait_log 'Contacting server'\n"
           "for who in a b; do\n"
           "  \"$3\" --connect 127.0.0.1:" + p + " --seconds 32 --json > \"$DIR/$who.json\" 2>&1 &\n"
           "  eval \"sim_$who=$!\"\n"
           "done\n"
           "wait_log '1 laps'\n"
           "say 'hello from the game'\n"
           "wait_log 'Start gate dropped at tick'\n"
           "hold 'Final Results'\n"
           "xdotool keyup x\n"
           "say '/sendfile note.txt'\n"
           "wait_log 'Sending restart'\n"
           "wait_log 'Sending track acknowledgment' 2\n"
           "wait $sim_a; echo $? > \"$DIR/a.status\"\n"
           "wait $sim_b; echo $? > \"$DIR/b.status\"\n"
           "kill -TERM $pid\n"
           "wait $pid\n"
           "echo $? > \"$DIR/status.txt\"\n"
           "kill -KILL $server 2>/dev/null\n"
           "wait $server\n";
}

// The slots of a headless client's list (standings or riders moved), in
// its order.
std::vector<int> json_slots(const std::string& json, const std::string& key)
{
    std::vector<int> slots;
    const std::size_t at = json.find("\"" + key + "\": [");
    if (at == std::string::npos)
        return slots;
    const std::string list = json.substr(at, json.find(']', at) - at);
    const std::regex slot(key == "moved" ? R"((\d+))" : R"("slot": (\d+), "laps": 1, "finished": true)");
    for (std::sregex_iterator i(list.begin(), list.end(), slot), end; i != end; ++i)
        slots.push_back(std::stoi((*i)[1].str()));
    return slots;
}

TEST(MultiplayerGame, AFieldOfTheGameAndTwoHeadlessClientsRacesToTheEndAndRestarts)
{
    if (!std::filesystem::exists(test::k_xvfb))
        GTEST_SKIP() << "Xvfb is not installed";
    ASSERT_TRUE(std::filesystem::exists(k_server)) << "build zarvox-server first";
    ASSERT_TRUE(std::filesystem::exists(k_archive)) << "build the game_data target first";
    test::TempDir dir;
    const std::filesystem::path data = dir.path() / "data";
    std::filesystem::create_directories(data);
    std::filesystem::copy_file(k_archive, data / "zzzz.saf");
    test::write_strip(data / "strip", 112, 216);  // across every gate
    std::vector<int> every_gate;
    for (int gate = 1; gate <= 24; ++gate)
        every_gate.push_back(gate);
    for (const char* skill : {"lines_novice", "lines_amateur", "lines_expert"})
        test::write_file(data / "strip" / skill, test::strip_lines(every_gate));
    const std::filesystem::path home = dir.path() / "xdg/Zarvox";
    const std::string note = "a note for the server\n";
    const int port = 20000 + static_cast<int>((::getpid() * 13) % 20000);
    test::RunResult r = run_session(dir, field_script, port, note, {k_server, k_zarvox, k_sim}, data.string());

    const std::string log = test::read_file(home / "lastlog.txt").value_or("");
    const std::string server_log = test::read_file(dir.path() / "server.log").value_or("");
    const std::string a = test::read_file(dir.path() / "a.json").value_or("");
    const std::string b = test::read_file(dir.path() / "b.json").value_or("");
    SCOPED_TRACE("game log:\n" + log + "\nserver log:\n" + server_log + "\na: " + a + "\nb: " + b + "\n" + r.err);

    // The game's decided places, each rider far from its gate.
    std::vector<int> game_order;
    const std::regex place(R"(Place (\d+): rider (\d+), 1 laps finished, (\d+) ft from its gate)");
    for (std::sregex_iterator i(log.begin(), log.end(), place), end; i != end; ++i) {
        EXPECT_EQ(std::stoi((*i)[1].str()), static_cast<int>(game_order.size()) + 1);
        EXPECT_GT(std::stoi((*i)[3].str()), 100) << "rider " << (*i)[2].str() << " rode the lap";
        game_order.push_back(std::stoi((*i)[2].str()));
    }
    ASSERT_EQ(game_order.size(), 3u) << "three finishers";

    for (const std::string* json : {&a, &b}) {
        EXPECT_NE(json->find("\"states\": [\"CONNECTING\""), std::string::npos);
        // The same places as the game's, and both other riders moved.
        EXPECT_EQ(json_slots(*json, "final_standings"), game_order);
        std::vector<int> moved = json_slots(*json, "moved");
        EXPECT_EQ(moved.size(), 2u);
        for (int slot : moved)
            EXPECT_NE(std::find(game_order.begin(), game_order.end(), slot), game_order.end());
        // The game's chat line and the server's results reached it.
        EXPECT_NE(json->find(": hello from the game\""), std::string::npos);
        EXPECT_TRUE(std::regex_search(*json, std::regex(R"("Race \d+ results:")")));
        // Raced, then brought back to the track stage by the next race.
        EXPECT_NE(json->find("\"RACING\", \"RESTARTING\", \"TRACK_ACCEPTED\""), std::string::npos);
    }
    EXPECT_EQ(test::read_file(dir.path() / "a.status").value_or("").substr(0, 1), "0");
    EXPECT_EQ(test::read_file(dir.path() / "b.status").value_or("").substr(0, 1), "0");
    EXPECT_NE(server_log.find("hello from the game"), std::string::npos);
    EXPECT_TRUE(std::regex_search(server_log, std::regex(R"(race \d+ begins \(the next race\))")));
    std::size_t at = log.find("Final Results");
    for (const char* line : {"Sending file", "Sending restart", "Sending track acknowledgment"}) {
        at = log.find(line, at == std::string::npos ? log.size() : at);
        EXPECT_NE(at, std::string::npos) << "missing or out of order: " << line;
    }
    EXPECT_EQ(test::read_file(dir.path() / "incoming/note.txt").value_or(""), note);
    EXPECT_EQ(test::read_file(dir.path() / "status.txt").value_or("-1").substr(0, 1), "0");
}

}  // namespace
