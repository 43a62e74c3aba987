// The whole program's sound under a virtual display: recording the mixed
// sound with "--record-audio" (one 1380-byte block per race tick), the sound
// device through SDL's dummy driver, and no sound at all.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <regex>
#include <string>
#include <utility>
#include <vector>

#include "e2e/game_run.h"

namespace {

// Starts the game, closes the main page with Escape, lets the race run to
// tick 256 and ends the game with SIGTERM.
std::string driver(const std::string& log)
{
    return "LOG='" + log + "'\n"
           "rm -f \"$LOG\"\n"
           "\"$@\" &\n"
           "pid=$!\n" + zv::test::k_wait_helpers + zv::test::k_key_helpers +
           "wait_log 'Max loading delay was'\n"
           "wid=$(xdotool search --name '^Zarvox$' 2>/dev/null | head -n 1)\n"
           "tap Escape 'Esc pressed'\n"
           "wait_log 'Tick 256:'\n"
           "kill -TERM $pid\n"
           "wait $pid\n"
           "echo $? > \"$(dirname \"$LOG\")/../../status.txt\"\n";
}

class SoundRun : public zv::test::GameRun {
protected:
    // The build's own generated data as the game's home.
    void SetUp() override
    {
        GameRun::SetUp();
        if (!set_up())
            return;
        data_home_ = ZV_BUILD_DIR;
        zv::test::write_file(home() / "config", "xres=640\nyres=480\nvideo_mode=Windowed\n");
    }

    int play(std::vector<std::string> args, std::map<std::string, std::string> extra = {})
    {
        extra_env_ = std::move(extra);
        args.insert(args.begin(), {"--track", "flat", "--super-debug"});
        return run_driver(driver(home() / "lastlog.txt"), args);
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
