// The real program started as a person would start it, without a display:
// command-line errors, missing game data, no tracks, and a full run that
// writes the configuration and the log into the home folder.
#include "display_run.h"

#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <regex>
#include <sstream>
#include <utility>

namespace {

using namespace zv;
using test::RunResult;
using test::TempDir;

const std::string k_zarvox = std::string(ZV_BUILD_DIR) + "/zarvox";
const std::string k_archive = std::string(ZV_BUILD_DIR) + "/zzzz.saf";

std::vector<std::string> lines_of(const std::string& text)
{
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        out.push_back(line);
    return out;
}

// Every key of the configuration file, in the order it is written.
std::vector<std::string> config_keys()
{
    std::vector<std::string> keys = {"xres", "yres", "draw_fps", "draw_time", "draw_ping", "draw_speed",
                                     "spy", "track", "record", "skill", "minutes", "laps"};
    char buf[32];
    for (int i = 0; i < 40; ++i) {
        std::snprintf(buf, sizeof buf, "slot%02d", i);
        keys.push_back(buf);
    }
    for (const char* k :
         {"ghost_fade_distance", "time_trial_abort", "bike", "name", "number", "rider_texture",
          "head_texture", "bike_texture", "wheel_texture", "stability", "leveling", "roll_damping",
          "roll_limit_angle", "roll_limit_factor", "steering_damping", "steering_strength",
          "max_steering_force", "direct_steering", "slow_damping_speed", "slow_damping_factor",
          "land_damping_falloff", "land_damping_factor", "full_lock_speed", "restricted_lock_speed",
          "restricted_lock", "arcade", "front_brake", "rear_brake", "stop_wheelies", "auto_shift",
          "auto_dab", "auto_align", "sticky_dab", "reverse_steering", "lean_indicator",
          "auto_clutch_rpms", "brake_torque", "rear_brake_torque", "max_dab_speed",
          "front_sprocket_adjustment", "rear_sprocket_adjustment", "fork_compression_adjustment",
          "fork_slow_compression_adjustment", "fork_rebound_adjustment", "fork_slow_rebound_adjustment",
          "fork_spring_rate_adjustment", "fork_preload_adjustment", "fork_oil_level_adjustment",
          "shock_compression_adjustment", "shock_slow_compression_adjustment",
          "shock_rebound_adjustment", "shock_slow_rebound_adjustment", "shock_spring_rate_adjustment",
          "shock_preload_adjustment", "rider_yspring", "rider_ydamping", "rider_zspring",
          "rider_zdamping", "rider_mass_distribution", "video_mode", "server_name"})
        keys.push_back(k);
    for (int i = 0; i < 16; ++i) {
        std::snprintf(buf, sizeof buf, "server_name_hist%02d", i);
        keys.push_back(buf);
    }
    for (const char* k :
         {"ground_detail", "ground_texture_detail", "ground_texture_dim", "ground_mipmaps",
          "texture_compress", "render_texture", "use_shader", "roost_density", "lens_flare",
          "reflections", "hide_rider", "rigid_camera", "model_detail", "model_texture_detail", "fov",
          "first_person_height", "first_person_angle", "third_person_height", "third_person_distance",
          "volume", "comp_volume", "playback_mode", "billboard_optimize_lookahead", "message_lines",
          "demo_backups", "map_scale", "throttle_key", "front_brake_key", "rear_brake_key", "left_key",
          "right_key", "clutch_key", "upshift_key", "downshift_key", "dab_key", "back_up_key",
          "lean_forward_key", "lean_backward_key", "pause_key", "step_key", "rewind_key", "skip_key",
          "prev_key", "next_key", "console_key", "screenshot_key"})
        keys.push_back(k);
    return keys;
}

class ProgramTest : public ::testing::Test {
protected:
    ProgramTest()
    {
        std::filesystem::create_directories(dir_.path() / "data");
        std::filesystem::create_directories(dir_.path() / "bin");
        // A stand-in for the desktop's folder opener that notes what it was given.
        test::write_file(dir_.path() / "bin/xdg-open",
                         "#!/bin/sh\nprintf '%s\\n' \"$1\" >> \"" + (dir_ / "opened.txt") + "\"\n");
        std::filesystem::permissions(dir_.path() / "bin/xdg-open", std::filesystem::perms::owner_all);
    }

    std::filesystem::path home() const { return dir_.path() / "xdg/Zarvox"; }

    void install_archive()
    {
        ASSERT_TRUE(std::filesystem::exists(k_archive)) << "build the game_data target first";
        std::filesystem::copy_file(k_archive, dir_.path() / "data/zzzz.saf",
                                   std::filesystem::copy_options::overwrite_existing);
    }
    void install_track(const std::string& folder, const std::string& desc)
    {
        test::write_file(dir_.path() / "data" / folder / "terrain.hf", std::string(64, '\0'));
        test::write_file(dir_.path() / "data" / folder / "desc", desc);
    }

    RunResult run(const std::vector<std::string>& args) { return run_with(k_zarvox, args); }

    // A run with a window: under a virtual display of the given screen, ended
    // with kill -TERM once the window is drawing. The status is the game's.
    RunResult run_windowed(const std::vector<std::string>& args, const std::string& screen = "1024x768x24")
    {
        const std::string script = dir_ / "windowed.sh";
        test::write_file(script,
                         "rm -f '" + (home() / "lastlog.txt").string() + "'\n"
                         "\"$@\" &\n"
                         "pid=$!\n"
                         "n=0\n"
                         "until grep -q 'GL_EXTENSIONS: ' '" + (home() / "lastlog.txt").string() + "' 2>/dev/null; do\n"
                         "  n=$((n+1)); [ $n -gt 1200 ] && break\n"
                         "  kill -0 $pid 2>/dev/null || break\n"
                         "  sleep 0.1\n"
                         "done\n"
                         "kill -TERM $pid 2>/dev/null\n"
                         "wait $pid\n");
        std::vector<std::string> command = {"sh", script, k_zarvox};
        command.insert(command.end(), args.begin(), args.end());
        return test::run_on_display(screen, command, environment(true),
                                    dir_.path() / ("run" + std::to_string(runs_++)));
    }
    bool have_virtual_display() const { return std::filesystem::exists(test::k_xvfb); }

    RunResult run_with(const std::string& program, const std::vector<std::string>& args)
    {
        return test::run_program(program, args, environment(false), dir_.path() / ("run" + std::to_string(runs_++)));
    }

    std::map<std::string, std::string> environment(bool windowed)
    {
        std::map<std::string, std::string> env = {
            {"HOME", dir_ / "user"},
            {"XDG_DATA_HOME", dir_ / "xdg"},
            {"ZV_HOME", dir_ / "data"},
            {"PATH", (dir_ / "bin") + ":/usr/bin:/bin"},
        };
        // Sanitizer builds of the program need their options passed on. The
        // display's D-Bus library keeps one buffer to the end: not ours to free.
        for (const char* name : {"ASAN_OPTIONS", "UBSAN_OPTIONS"})
            if (const char* v = std::getenv(name))
                env[name] = v;
        if (windowed)
            test::pass_windowed_sanitizer_options(env);
        test::write_file(dir_.path() / "lsan.supp", "leak:libdbus-1.so\n");
        std::string lsan = "suppressions=" + (dir_ / "lsan.supp");
        if (const char* v = std::getenv("LSAN_OPTIONS"))
            lsan = std::string(v) + ":" + lsan;
        env["LSAN_OPTIONS"] = lsan;
        return env;
    }

    TempDir dir_;
    int runs_ = 0;
};

TEST_F(ProgramTest, CommandLineErrorsEndWithStatusOne)
{
    install_archive();
    install_track("tiny", "Tiny Track\n");

    const std::pair<std::vector<std::string>, const char*> cases[] = {
        {{"--no-such-option"}, "bad option '--no-such-option'\n"},
        {{"first.zvdemo", "second.zvdemo"}, "Too many files!\n"},
        {{"--", "-dashed.zvdemo", "other.zvdemo"}, "Too many files!\n"},
        {{"--erode=abc"}, "Bad arg for --erode\n"}};
    for (const auto& [args, message] : cases) {
        RunResult r = run(args);
        EXPECT_EQ(r.status, 1) << message;
        EXPECT_EQ(r.err, message);
    }

    // None of these runs got as far as writing the configuration.
    EXPECT_FALSE(std::filesystem::exists(home() / "config"));
}

TEST_F(ProgramTest, MissingOrWrongGameDataEndsQuietly)
{
    RunResult r = run({});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.err.find("Problem starting Zarvox"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("Can't find game data"), std::string::npos) << r.err;

    // An archive of the right name but the wrong contents is no better.
    test::write_file(dir_.path() / "data/zzzz.saf", "4 a.txt\n-\nabcd");
    install_track("tiny", "Tiny Track\n");
    r = run({});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.err.find("Can't find game data"), std::string::npos) << r.err;
    EXPECT_FALSE(std::filesystem::exists(home() / "config"));
    // The home folder and its log were made before the check.
    EXPECT_TRUE(std::filesystem::exists(home() / "lastlog.txt"));
}

TEST_F(ProgramTest, NoTracksEndsWithStatusOne)
{
    install_archive();
    RunResult r = run({});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "No tracks found\n");
    EXPECT_FALSE(std::filesystem::exists(home() / "config"));
}

TEST_F(ProgramTest, WithoutADisplayTheWindowFailsWithStatusOne)
{
    install_archive();
    install_track("tiny", "Tiny Track\n");
    RunResult r = run({});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("Can't open the window"), std::string::npos) << r.err;
    // It ended before the main loop: nothing to write back.
    EXPECT_FALSE(std::filesystem::exists(home() / "config"));
    std::optional<std::string> log = test::read_file(home() / "lastlog.txt");
    ASSERT_TRUE(log);
    EXPECT_NE(log->find("] Can't create window!\n"), std::string::npos);
}

TEST_F(ProgramTest, ARunWritesTheConfigurationAndReadsItBack)
{
    if (!have_virtual_display())
        GTEST_SKIP() << "Xvfb is not installed";
    install_archive();
    install_track("tiny", "Tiny Track\r\n");

    RunResult r = run_windowed({});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    std::optional<std::string> config = test::read_file(home() / "config");
    ASSERT_TRUE(config);

    std::vector<std::string> keys;
    std::map<std::string, std::string> values;
    for (const std::string& line : lines_of(*config)) {
        std::size_t eq = line.find('=');
        ASSERT_NE(eq, std::string::npos) << line;
        keys.push_back(line.substr(0, eq));
        values[keys.back()] = line.substr(eq + 1);
    }
    EXPECT_EQ(keys, config_keys());
    EXPECT_EQ(config->back(), '\n');
    // The riding aids (the last three) come from the stability preset at 100.
    for (auto [key, want] : std::initializer_list<std::pair<const char*, const char*>>{
             {"xres", "640"}, {"draw_ping", "1"}, {"track", "rabbithill"}, {"skill", "Novice"},
             {"laps", "5.000000"}, {"slot00", "Empty"}, {"slot17", "Robot"}, {"slot19", "Human"},
             {"name", "Joe Motocross"}, {"stability", "100.000000"}, {"rider_mass_distribution", "0.330000"},
             {"video_mode", "Default Fullscreen"}, {"server_name_hist00", ""}, {"map_scale", "1.000000"},
             {"throttle_key", "(k)x"}, {"rewind_key", "(k)\\"}, {"dab_key", "(k)right ctrl"},
             {"roll_damping", "80.000000"}, {"direct_steering", "0.000000"}, {"land_damping_falloff", "0.250000"}})
        EXPECT_EQ(values[key], want) << key;

    // Plain integers print as "%d", number settings as "%f".
    const std::regex integer(R"(-?\d+)");
    const std::regex number(R"(-?\d+\.\d{6})");
    for (const char* k : {"xres", "yres", "draw_fps", "draw_time", "draw_ping", "draw_speed", "spy",
                          "billboard_optimize_lookahead", "message_lines", "demo_backups"})
        EXPECT_TRUE(std::regex_match(values[k], integer)) << k << "=" << values[k];
    int numbers = 0;
    for (const std::string& k : keys) {
        bool is_number = k == "minutes" || k == "laps" || k == "ghost_fade_distance" ||
                         k == "stability" || k == "map_scale" || k == "fov" || k == "volume" ||
                         k == "comp_volume" || k.ends_with("_adjustment") || k.ends_with("_detail") ||
                         k.ends_with("_damping") || k.ends_with("_speed") || k.ends_with("_height") ||
                         k.ends_with("_angle") || k.ends_with("_factor") || k.ends_with("_torque") ||
                         k.starts_with("rider_y") || k.starts_with("rider_z") ||
                         k == "rider_mass_distribution" || k == "leveling" || k == "steering_strength" ||
                         k == "max_steering_force" || k == "direct_steering" ||
                         k == "land_damping_falloff" || k == "restricted_lock" ||
                         k == "auto_clutch_rpms" || k == "roost_density" ||
                         k == "third_person_distance";
        if (is_number && k != "draw_speed") {
            ++numbers;
            EXPECT_TRUE(std::regex_match(values[k], number)) << k << "=" << values[k];
        }
    }
    EXPECT_EQ(numbers, 16 + 40);  // the general numbers and map_scale, the rider-setup numbers

    // A second run reads it and writes the same bytes back.
    r = run_windowed({});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(test::read_file(home() / "config"), config);

    // Options change this run only where they set settings.
    r = run_windowed({"--width=1024", "--height", "768"});
    ASSERT_EQ(r.status, 0) << r.err;
    std::optional<std::string> changed = test::read_file(home() / "config");
    ASSERT_TRUE(changed);
    EXPECT_TRUE(changed->starts_with("xres=1024\nyres=768\ndraw_fps=0\n")) << changed->substr(0, 40);
}

TEST_F(ProgramTest, FullScreenModesOfTheDisplayAreKept)
{
    if (!have_virtual_display())
        GTEST_SKIP() << "Xvfb is not installed";
    install_archive();
    install_track("tiny", "Tiny Track\n");

    // A display that does not offer the mode refuses it.
    test::write_file(home() / "config", "video_mode=1280x1024\n");
    RunResult r = run_windowed({});
    ASSERT_EQ(r.status, 0) << r.err;
    std::optional<std::string> config = test::read_file(home() / "config");
    ASSERT_TRUE(config);
    EXPECT_NE(config->find("\nvideo_mode=Default Fullscreen\n"), std::string::npos);

    // A display that offers the mode keeps it.
    test::write_file(home() / "config", "video_mode=1280x1024\n");
    r = run_windowed({}, "1280x1024x24");
    ASSERT_EQ(r.status, 0) << r.err;
    config = test::read_file(home() / "config");
    ASSERT_TRUE(config);
    EXPECT_NE(config->find("\nvideo_mode=1280x1024\n"), std::string::npos);
}

TEST_F(ProgramTest, TheLogIsStampedAndFollowsStartAndShutdown)
{
    if (!have_virtual_display())
        GTEST_SKIP() << "Xvfb is not installed";
    install_archive();
    install_track("tiny", "Tiny Track\n");
    install_track("big", "big air\n");
    test::write_file(dir_.path() / "data/demos/lap1.zvdemo", "x");
    RunResult r = run_windowed({"--debug"});
    ASSERT_EQ(r.status, 0) << r.err;

    std::optional<std::string> log = test::read_file(home() / "lastlog.txt");
    ASSERT_TRUE(log);
    std::vector<std::string> lines = lines_of(*log);
    ASSERT_GE(lines.size(), 3u);
    const std::regex stamp(R"(^\[\d+:\d\d:\d\d\.\d\d\] .*)");
    for (const std::string& line : lines)
        EXPECT_TRUE(std::regex_match(line, stamp)) << line;
    EXPECT_NE(lines[0].find("Logfile"), std::string::npos) << lines[0];
    EXPECT_NE(lines[0].find("opened"), std::string::npos) << lines[0];
    EXPECT_NE(log->find("TORV 0.31"), std::string::npos);
    EXPECT_LT(log->find("TORV 0.31"), log->find("Zarvox version 2017-01-03-1329 snapshot\n"));

    // Tracks sorted by display name, then the demo.
    std::size_t big = log->find("] big -> big air\n");
    std::size_t tiny = log->find("] tiny -> Tiny Track\n");
    std::size_t demo = log->find("] demos/lap1.zvdemo -> lap1\n");
    ASSERT_NE(big, std::string::npos);
    ASSERT_NE(tiny, std::string::npos);
    ASSERT_NE(demo, std::string::npos);
    EXPECT_LT(big, tiny);
    EXPECT_LT(tiny, demo);

    // The shutdown stages, in order, after the lists.
    std::size_t at = demo;
    for (const char* stage : {"Freeing memory (1)", "Closing input devices", "Closing audio",
                              "Writing config files", "Freeing memory (2)", "Freeing memory (3)",
                              "Freeing file list", "Freeing memory (4)", "Deleting textures",
                              "Deleting models"}) {
        std::size_t next = log->find("] " + std::string(stage) + "\n", at);
        ASSERT_NE(next, std::string::npos) << stage;
        at = next;
    }
}

TEST_F(ProgramTest, OpenHomeAloneOpensTheFolderAndLogsNothing)
{
    RunResult r = run({"--open-home"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_TRUE(std::filesystem::is_directory(home()));
    EXPECT_FALSE(std::filesystem::exists(home() / "lastlog.txt"));

    // The opener runs in the background: give it a moment to note its argument.
    std::optional<std::string> opened;
    for (int i = 0; i < 1000; ++i) {
        opened = test::read_file(dir_ / "opened.txt");
        if (opened && opened->ends_with("\n"))
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_TRUE(opened);
    EXPECT_EQ(*opened, home().string() + "\n");
}

TEST_F(ProgramTest, OpenHomeAmongOtherOptionsAlsoEndsTheRun)
{
    install_archive();
    install_track("tiny", "Tiny Track\n");
    RunResult r = run({"--debug", "--open-home"});
    EXPECT_EQ(r.status, 0);
    EXPECT_FALSE(std::filesystem::exists(home() / "config"));
    std::optional<std::string> log = test::read_file(home() / "lastlog.txt");
    ASSERT_TRUE(log);
    EXPECT_EQ(log->find("Writing config files"), std::string::npos);
}

}  // namespace
