// The whole program's sound under a virtual display: recording the mixed
// sound with "--record-audio" (one 1380-byte block per race tick), the sound
// device through SDL's dummy driver, and no sound at all.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <regex>
#include <string>

#include "e2e/display_run.h"
#include "support/temp_dir.h"

namespace {

using zv::test::TempDir;

const std::string k_zarvox = std::string(ZV_BUILD_DIR) + "/zarvox";

// Starts the game, closes the main page with Escape, lets the race run to
// tick 256 and ends the game with SIGTERM.
std::string driver(const std::string& log)
{
    return "LOG='" + log + "'\n"
           "rm -f \"$LOG\"\n"
           "\"$@\" &\n"
           "pid=$!\n" + zv::test::k_wait_helpers +
           "wait_log 'Max loading delay was'\n"
           "wid=$(xdotool search --name '^Zarvox$' 2>/dev/null | head -n 1)\n"
           "n=0\n"
           "until grep -q 'Esc pressed' \"$LOG\"; do\n"
           "  n=$((n+1)); [ $n -gt 60 ] && break; kill -0 $pid 2>/dev/null || break\n"
           "  xdotool windowfocus \"$wid\" 2>/dev/null; xdotool key Escape; sleep 0.5\n"
           "done\n"
           "wait_log 'Tick 256:'\n"
           "kill -TERM $pid\n"
           "wait $pid\n"
           "echo $? > \"$(dirname \"$LOG\")/../../status.txt\"\n";
}

class SoundRun : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!std::filesystem::exists(zv::test::k_xvfb))
            GTEST_SKIP() << "Xvfb is not installed";
        ASSERT_TRUE(std::filesystem::exists(std::string(ZV_BUILD_DIR) + "/zzzz.saf")) << "build game_data first";
        zv::test::write_file(dir_.path() / "xdg/Zarvox/config", "xres=640\nyres=480\nvideo_mode=Windowed\n");
    }
    std::string log() const { return zv::test::read_file(dir_.path() / "xdg/Zarvox/lastlog.txt").value_or(""); }

    int play(std::vector<std::string> args, std::map<std::string, std::string> extra = {})
    {
        std::filesystem::remove(dir_.path() / "status.txt");
        const std::string script = dir_ / "driver.sh";
        zv::test::write_file(script, driver(dir_ / "xdg/Zarvox/lastlog.txt"));
        std::map<std::string, std::string> env = {
            {"HOME", dir_ / "user"},
            {"XDG_DATA_HOME", dir_ / "xdg"},
            {"ZV_HOME", ZV_BUILD_DIR},
            {"PATH", "/usr/bin:/bin"},
        };
        const char* asan = std::getenv("ASAN_OPTIONS");
        env["ASAN_OPTIONS"] = std::string(asan ? asan : "") + (asan && *asan ? ":" : "") + "detect_leaks=0";
        for (const auto& [k, v] : extra)
            env[k] = v;
        std::vector<std::string> command = {"sh", script, k_zarvox, "--track", "flat", "--super-debug"};
        command.insert(command.end(), args.begin(), args.end());
        last_ = zv::test::run_on_display("1024x768x24", command, env, dir_.path() / "run");
        auto status = zv::test::read_file(dir_.path() / "status.txt");
        return status ? std::atoi(status->c_str()) : -1;
    }

    // The last "Tick N:" line of the log, -1 when none.
    int last_logged_tick() const
    {
        const std::string text = log();
        int last = -1;
        static const std::regex tick(R"(Tick (\d+): )");
        for (auto it = std::sregex_iterator(text.begin(), text.end(), tick); it != std::sregex_iterator(); ++it)
            last = std::stoi((*it)[1]);
        return last;
    }

    void expect_in_order(const std::vector<std::string>& lines)
    {
        const std::string text = log();
        std::size_t at = 0;
        for (const std::string& line : lines) {
            const std::size_t next = text.find(line, at);
            ASSERT_NE(next, std::string::npos) << "missing or out of order: " << line << "\n" << text.substr(0, 3000);
            at = next + line.size();
        }
    }

    TempDir dir_;
    zv::test::RunResult last_;
};

TEST_F(SoundRun, RecordAudioWritesOneBlockPerRaceTick)
{
    const std::string file = dir_ / "engine.raw";
    ASSERT_EQ(play({"--record-audio", file}), 0) << last_.err;
    expect_in_order({"Opening readback audio...\n", "Audio opened!\n", "Tick 256:", "Closing audio\n"});
    EXPECT_EQ(log().find("Opening waveOut audio"), std::string::npos);
    const std::uintmax_t size = std::filesystem::file_size(file);
    EXPECT_EQ(size % 1380, 0u);
    // Blocks = race ticks: past the last tick logged, fewer than 128 more.
    const int n = last_logged_tick();
    ASSERT_GE(n, 256);
    EXPECT_GE(size / 1380, static_cast<std::uintmax_t>(n + 1));
    EXPECT_LE(size / 1380, static_cast<std::uintmax_t>(n + 128));
    // The engines are heard.
    const std::string bytes = zv::test::read_file(file).value_or("");
    std::size_t loud = 0;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2)
        loud += bytes[i + 1] != 0 && bytes[i + 1] != '\xff';
    EXPECT_GT(loud, bytes.size() / 20);
}

TEST_F(SoundRun, TheDeviceOpensAndClosesWithItsThread)
{
    ASSERT_EQ(play({}, {{"SDL_AUDIODRIVER", "dummy"}}), 0) << last_.err;
    expect_in_order({"Opening waveOut audio...\n", "Found a ", "Waveout rate: 22050\n", "Waveout channels: 16\n",
                     "Waveout mixahead: 125\n", "Audio opened!\n", "Tick 256:", "Closing audio\n",
                     "Audio thread end\n"});
}

TEST_F(SoundRun, WithoutASoundDeviceOrWithNosoundTheGameGoesOnSilent)
{
    // Virtual displays have no sound device; where one exists it is used.
    ASSERT_EQ(play({}), 0) << last_.err;
    const std::string text = log();
    const bool silent = text.find("No audio device\n") != std::string::npos;
    expect_in_order({"Opening waveOut audio...\n", silent ? "No audio device\n" : "Audio opened!\n", "Tick 256:",
                     "Closing audio\n"});
    ASSERT_EQ(play({"--nosound"}), 0) << last_.err;
    EXPECT_EQ(log().find("Opening waveOut audio"), std::string::npos);
    expect_in_order({"Tick 256:", "Closing audio\n"});
}

}  // namespace
