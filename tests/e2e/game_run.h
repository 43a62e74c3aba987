// A private home and data folder for running the real game under a virtual
// display, driven by a shell script of keys and waits; the log, the
// screenshots and the exit status are read back afterwards.
#pragma once

#include "display_run.h"
#include "png_pixels.h"

#include "support/temp_dir.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace zv::test {

inline const std::string k_zarvox = std::string(ZV_BUILD_DIR) + "/zarvox";
inline const std::string k_archive = std::string(ZV_BUILD_DIR) + "/zzzz.saf";

// This test program's own path, for a driver script that calls it back.
inline std::string self_path()
{
    char buf[4096];
    ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    return n > 0 ? std::string(buf, static_cast<std::size_t>(n)) : std::string();
}

class GameRun : public ::testing::Test {
protected:
    // The generated archive in the test's data folder; the test adds its
    // track and configuration.
    void SetUp() override
    {
        if (!std::filesystem::exists(k_xvfb))
            GTEST_SKIP() << "Xvfb is not installed";
        ASSERT_TRUE(std::filesystem::exists(k_archive)) << "build the game_data target first";
        std::filesystem::create_directories(dir_.path() / "data");
        std::filesystem::copy_file(k_archive, dir_.path() / "data/zzzz.saf");
    }
    // Whether the set-up went far enough for the test's own.
    bool set_up() const { return !IsSkipped() && !HasFatalFailure(); }

    std::filesystem::path home() const { return dir_.path() / "xdg/Zarvox"; }
    std::string log() const { return read_file(home() / "lastlog.txt").value_or(""); }

    // Runs the game with args under the virtual display, doing `actions`
    // (shell lines; $pid is the game, $wid its window) meanwhile. Returns the
    // game's exit status (-1 when it did not finish).
    int play(const std::vector<std::string>& args, const std::string& actions)
    {
        return run_driver(driver_script(dir_.path().string(), actions), args);
    }

    // Runs a whole driver script under the virtual display, with the game
    // and its args as the script's arguments; the script leaves the game's
    // exit status in status.txt.
    int run_driver(const std::string& driver, const std::vector<std::string>& args)
    {
        std::filesystem::remove(dir_.path() / "status.txt");
        const std::string script = dir_ / "driver.sh";
        write_file(script, driver);
        std::map<std::string, std::string> env = {
            {"HOME", dir_ / "user"},
            {"XDG_DATA_HOME", dir_ / "xdg"},
            {"ZV_HOME", data_home_.empty() ? dir_ / "data" : data_home_},
            {"PATH", "/usr/bin:/bin"},
            {"ZV_E2E_SELF", self_path()},
        };
        pass_windowed_sanitizer_options(env);
        for (const auto& [k, v] : extra_env_)
            env[k] = v;
        std::vector<std::string> command = {"sh", script, k_zarvox};
        command.insert(command.end(), args.begin(), args.end());
        last_ = run_on_display(screen_, command, env, dir_.path() / "run");
        std::optional<std::string> status = read_file(dir_.path() / "status.txt");
        return status ? std::atoi(status->c_str()) : -1;
    }

    // The screenshot saved for `view` (the driver notes which file each
    // view went to).
    std::optional<RgbPicture> shot(const std::string& view)
    {
        std::istringstream in(read_file(dir_.path() / "shots.txt").value_or(""));
        std::string name, file;
        while (in >> name >> file)
            if (name == view) {
                std::optional<std::string> png = read_file(home() / file);
                return png ? read_png_rgb(*png) : std::nullopt;
            }
        return std::nullopt;
    }

    // The lines must appear in the log in this order.
    void expect_in_order(const std::vector<std::string>& lines)
    {
        const std::string text = log();
        std::size_t at = 0;
        for (const std::string& line : lines) {
            std::size_t next = text.find(line, at);
            ASSERT_NE(next, std::string::npos) << "missing or out of order: " << line << "\n" << text;
            at = next + line.size();
        }
    }

    TempDir dir_;
    RunResult last_;
    std::map<std::string, std::string> extra_env_;
    std::string data_home_;  // ZV_HOME; empty: the test's own data folder
    std::string screen_ = "1024x768x24";  // the virtual display's size and depth
};

}  // namespace zv::test
