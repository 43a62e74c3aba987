// The game in a virtual display joins our race server on loopback as a
// player would: "--connect" takes it through the connection to the race,
// a chat line and a "sendfile" typed on the chat line reach the server, and
// the game leaves the server when it is ended.
#include "program.h"

#include "support/temp_dir.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

namespace {

using namespace zv;

const std::string k_zarvox = std::string(ZV_BUILD_DIR) + "/zarvox";
const std::string k_server = std::string(ZV_BUILD_DIR) + "/zarvox-server";
const std::string k_xvfb_run = "/usr/bin/xvfb-run";

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
           "pid=$!\n"
           "wait_log() {\n"
           "  n=0\n"
           "  while ! grep -q -F -- \"$1\" \"$LOG\" 2>/dev/null; do\n"
           "    n=$((n+1)); [ $n -gt 600 ] && return 1\n"
           "    kill -0 $pid 2>/dev/null || return 1\n"
           "    sleep 0.1\n"
           "  done\n"
           "}\n"
           "wid=''\n"
           "n=0\n"
           "while [ -z \"$wid\" ] && [ $n -lt 600 ] && kill -0 $pid 2>/dev/null; do\n"
           "  wid=$(xdotool search --name '^Zarvox$' 2>/dev/null | head -n 1); n=$((n+1)); sleep 0.1\n"
           "done\n"
           "wait_log '1 laps' && echo racing > \"$DIR/racing.txt\"\n"
           "say() {\n"  // opens the chat line, types the text, sends it
           "  xdotool windowfocus \"$wid\" 2>/dev/null; xdotool key t; sleep 0.5\n"
           "  xdotool type --delay 20 \"$1\"; sleep 0.3; xdotool key Return; sleep 0.3; xdotool key Escape; sleep 0.3\n"
           "}\n"
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

TEST(MultiplayerGame, JoinsTheServerRacesChatsSendsAFileAndLeaves)
{
    if (!std::filesystem::exists(k_xvfb_run))
        GTEST_SKIP() << "xvfb-run is not installed";
    ASSERT_TRUE(std::filesystem::exists(k_server)) << "build zarvox-server first";
    test::TempDir dir;
    const std::filesystem::path home = dir.path() / "xdg/Zarvox";
    std::filesystem::create_directories(home / "outgoing");
    std::filesystem::create_directories(dir.path() / "incoming");
    test::write_file(home / "config", "xres=640\nyres=480\nvideo_mode=Windowed\n");
    std::string note(600, 'n');
    test::write_file(home / "outgoing/note.txt", note);
    const int port = 20000 + static_cast<int>(::getpid() % 20000);
    const std::string driver = (dir.path() / "driver.sh").string();
    test::write_file(driver, script(dir.path().string(), port));
    std::map<std::string, std::string> env = {
        {"HOME", (dir.path() / "user").string()},
        {"XDG_DATA_HOME", (dir.path() / "xdg").string()},
        {"PATH", "/usr/bin:/bin"},
    };
    if (const char* v = std::getenv("ASAN_OPTIONS"))
        env["ASAN_OPTIONS"] = std::string(v) + ":detect_leaks=0";
    test::RunResult r = test::run_program(
        k_xvfb_run, {"-a", "-s", "-screen 0 800x600x24", "sh", driver, k_server, k_zarvox}, env, dir.path() / "run");

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

}  // namespace
