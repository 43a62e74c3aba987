// The command line: option forms, the file argument, value checks, clamps and
// messages.
#include "app/command_line.h"

#include "app/graphics_values.h"
#include "core/data_file.h"
#include "core/debug_level.h"
#include "core/settings.h"
#include "platform/log.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <array>
#include <cstdlib>
#include <initializer_list>
#include <string>
#include <tuple>
#include <type_traits>
#include <vector>

namespace zv::app {
namespace {

// Output written to a stream by f, as text.
template <typename F>
std::string captured(F f)
{
    char* buf = nullptr;
    std::size_t size = 0;
    std::FILE* stream = open_memstream(&buf, &size);
    f(stream);
    std::fclose(stream);
    std::string text(buf, size);
    std::free(buf);
    return text;
}

class CommandLineTest : public ::testing::Test {
protected:
    CommandLineTest()
    {
        core::reset_settings();
        core::set_debug_level(0);
        startup_flags() = StartupFlags{};
        graphics_values() = derive_graphics_values();
    }
    ~CommandLineTest() override
    {
        core::reset_settings();
        core::set_debug_level(0);
        startup_flags() = StartupFlags{};
    }

    // Parses the arguments (after a program name) into fresh values; the
    // error text lands in `err`.
    std::optional<int> run(std::initializer_list<const char*> args)
    {
        values = StartupValues{};
        std::vector<const char*> argv{"zarvox"};
        argv.insert(argv.end(), args.begin(), args.end());
        std::optional<int> status;
        err = captured([&](std::FILE* f) {
            status = parse_command_line(static_cast<int>(argv.size()), argv.data(), values, f);
        });
        return status;
    }

    // Parses the arguments without a complaint, then expects `want` in `field`.
    template <typename T>
    void parses_to(std::initializer_list<const char*> args, const T& field, std::type_identity_t<T> want)
    {
        EXPECT_EQ(run(args), std::nullopt) << *args.begin();
        EXPECT_EQ(field, want) << *args.begin();
    }

    StartupValues values;
    std::string err;
    core::Settings& s = core::settings();
    StartupFlags& flags = startup_flags();
    GraphicsValues& g = graphics_values();
};

TEST_F(CommandLineTest, ValueJoinedOrNextAgree)
{
    parses_to({"--width=1024"}, s.xres, 1024);
    s.xres = 640;
    EXPECT_EQ(run({"--width", "1024", "--height", "768"}), std::nullopt);
    EXPECT_EQ(s.xres, 1024);
    EXPECT_EQ(s.yres, 768);
    EXPECT_FALSE(values.file_argument);  // "1024" was the value, not a file
    s.xres = 640;
    parses_to({"--width"}, s.xres, 640);        // last: no value
    parses_to({"--width=wide"}, s.xres, 640);   // "%d" fails: nothing stored
    EXPECT_EQ(err, "");
}

TEST_F(CommandLineTest, ValueIsTakenEvenWhenItLooksLikeAnOption)
{
    EXPECT_EQ(run({"--track", "-odd-folder", "--password=a=b"}), std::nullopt);
    EXPECT_EQ(values.track_override, "-odd-folder");
    EXPECT_EQ(values.password, "a=b");
}

TEST_F(CommandLineTest, DoubleDashEndsOptions)
{
    EXPECT_EQ(run({"--nosound", "--", "-demo.zvdemo"}), std::nullopt);
    EXPECT_TRUE(values.no_sound);
    EXPECT_EQ(values.file_argument, "-demo.zvdemo");
    EXPECT_EQ(run({"--", "--"}), std::nullopt);
    EXPECT_EQ(values.file_argument, "--");
}

TEST_F(CommandLineTest, OneFileArgumentOnly)
{
    EXPECT_EQ(run({"race.zvdemo"}), std::nullopt);
    EXPECT_EQ(values.file_argument, "race.zvdemo");
    EXPECT_EQ(run({"a.zvdemo", "b.zvdemo"}), 1);
    EXPECT_EQ(err, "Too many files!\n");
    EXPECT_EQ(run({"a.zvdemo", "--", "--width"}), 1);
    EXPECT_EQ(err, "Too many files!\n");
}

TEST_F(CommandLineTest, UnknownOptionsFail)
{
    // "--fugly" is a plain flag and takes no value; options are case-sensitive.
    for (const char* option : {"--wdth=3", "-", "--fugly=1", "--Debug"}) {
        EXPECT_EQ(run({option}), 1) << option;
        EXPECT_EQ(err, std::string("bad option '") + option + "'\n");
    }
}

TEST_F(CommandLineTest, IntegerOptionsClamp)
{
    EXPECT_EQ(run({"--texture-detail", "9"}), std::nullopt);
    EXPECT_EQ(g.model_texture_bias, 4);
    EXPECT_EQ(g.ground_texture_bias, 4);
    EXPECT_EQ(run({"--texture-detail=-3", "--ground-texture-detail", "2"}), std::nullopt);
    EXPECT_EQ(g.model_texture_bias, 0);
    EXPECT_EQ(g.ground_texture_bias, 2);
    parses_to({"--fake-loss", "-5"}, flags.packet_loss_percent, 0);
    parses_to({"--fake-loss=250"}, flags.packet_loss_percent, 100);
    parses_to({"--roostfrequency", "5000"}, g.roost_frequency, 1000);
}

TEST_F(CommandLineTest, FloatOptionsClampAndConvert)
{
    parses_to({"--erode", "250"}, flags.erosion, 100.0f);
    parses_to({"--erode=-1"}, flags.erosion, 0.0f);
    parses_to({"--fake-lag", "250"}, flags.fake_lag, 0.25f);
    parses_to({"--fake-lag", "5000"}, flags.fake_lag, 1.0f);
    parses_to({"--lod-scale", "0"}, g.lod_scale, 0.000001f);
    EXPECT_EQ(run({"--lod-scale=1e9", "--lod-bias", "-7.5", "--detail", "0.01"}), std::nullopt);
    EXPECT_FLOAT_EQ(g.lod_scale, 1000000.0f);
    EXPECT_FLOAT_EQ(g.lod_bias, -7.5f);
    EXPECT_FLOAT_EQ(g.ground_detail_factor, 0.01f);
    EXPECT_EQ(run({"--max-detail-distance", "20"}), std::nullopt);
    EXPECT_EQ(g.detail_distance, 20.0f);
    EXPECT_EQ(g.fade_distance, 25.0f);
    parses_to({"--lock-fps", "30"}, values.lock_fps, 30.0f);
}

TEST_F(CommandLineTest, BadValuesNameTheirOption)
{
    const char* options[] = {"--texture-detail", "--ground-texture-detail", "--roostfrequency",
                             "--erode", "--detail", "--max-detail-distance", "--lod-scale",
                             "--lod-bias", "--lock-fps", "--fake-lag", "--fake-loss",
                             "--chase-center", "--benchmark"};
    for (const char* o : options) {
        EXPECT_EQ(run({o, "abc"}), 1) << o;
        EXPECT_EQ(err, std::string("Bad arg for ") + o + "\n");
        std::string joined = std::string(o) + "=";
        EXPECT_EQ(run({joined.c_str()}), 1) << o;
        // Given last, the option has no value at all.
        EXPECT_EQ(run({o}), 1) << o;
        EXPECT_EQ(err, std::string("Bad arg for ") + o + "\n");
    }
    // Processing stops at the first error.
    EXPECT_EQ(run({"--erode=abc", "--warp", "x", "y"}), 1);
    EXPECT_EQ(err, "Bad arg for --erode\n");
    EXPECT_FALSE(values.warp);
}

TEST_F(CommandLineTest, BenchmarkTakesPositiveSeconds)
{
    EXPECT_EQ(run({}), std::nullopt);
    EXPECT_EQ(values.benchmark_seconds, 0.0f);  // no benchmark by default
    parses_to({"--benchmark", "20"}, values.benchmark_seconds, 20.0f);
    parses_to({"--benchmark=0.5"}, values.benchmark_seconds, 0.5f);
    // No time at all, or less, is no benchmark: an error, nothing stored.
    for (const char* v : {"0", "-3", "-0.0", "nan"}) {
        EXPECT_EQ(run({"--benchmark", v}), 1) << v;
        EXPECT_EQ(err, "Bad arg for --benchmark\n") << v;
        EXPECT_EQ(values.benchmark_seconds, 0.0f) << v;
    }
}

TEST_F(CommandLineTest, UncheckedIntegerOptions)
{
    EXPECT_EQ(run({"--depth", "abc", "--zdepth=24", "--draw-fps", "1", "--draw-ping=0"}), std::nullopt);
    EXPECT_EQ(values.color_depth, 0);  // atoi
    EXPECT_EQ(values.zdepth, 24);
    EXPECT_EQ(s.draw_fps, 1);
    EXPECT_EQ(s.draw_ping, 0);
    flags.lineup_rotation = 6;
    EXPECT_EQ(run({"--rotate-lineup", "many"}), std::nullopt);
    EXPECT_EQ(flags.lineup_rotation, 6);
    EXPECT_EQ(run({"--rotate-lineup", "-3", "--draw-render-stats", "2x"}), std::nullopt);
    EXPECT_EQ(flags.lineup_rotation, -3);
    EXPECT_EQ(flags.render_stats_level, 2);
    EXPECT_EQ(err, "");
}

TEST_F(CommandLineTest, ChaseCenterNeedsThreeNumbers)
{
    EXPECT_EQ(values.chase_center[1], 2.52f);
    EXPECT_EQ(run({"--chase-center", "1,-2.5, 3"}), std::nullopt);
    EXPECT_EQ(values.chase_center, (std::array<float, 3>{1.0f, -2.5f, 3.0f}));
    EXPECT_EQ(run({"--chase-center=1,2"}), 1);
    EXPECT_EQ(err, "Bad arg for --chase-center\n");
    EXPECT_EQ(run({"--chase-center=1 ,2,3"}), 1);
    EXPECT_EQ(values.chase_center[0], 0.0f);  // nothing stored on failure
}

TEST_F(CommandLineTest, ConnectStripsTheLinkSchemeAndPushesHistory)
{
    s.server_history[0].text = "old.example";
    s.server_history_selected = 3;
    EXPECT_EQ(run({"--track", "hill", "--connect", "zarvox:race.example:5000"}), std::nullopt);
    EXPECT_EQ(values.connect_target, "race.example:5000");
    EXPECT_EQ(std::tuple(s.server_name.text, s.server_history[0].text, s.server_history[1].text),
              std::tuple("race.example:5000", "race.example:5000", "old.example"));
    EXPECT_EQ(s.server_history_selected, -1);
    EXPECT_FALSE(values.track_override);  // the server picks the track

    // Equal to entry 0: the history stays as it is.
    EXPECT_EQ(run({"--connect=race.example:5000"}), std::nullopt);
    EXPECT_EQ(std::pair(s.server_history[1].text, s.server_history[2].text), std::pair(std::string("old.example"), std::string()));

    EXPECT_EQ(run({"--connect", "zarvox:"}), std::nullopt);
    EXPECT_FALSE(values.connect_target);
    EXPECT_EQ(s.server_history[0].text, "race.example:5000");
}

TEST_F(CommandLineTest, FlagsAndDebugLevels)
{
    EXPECT_EQ(run({"--fugly", "--novertexarrays", "--learn", "--practice", "--editor",
                   "--accurate-skip", "--print-orientation", "--glfinish", "--hidden-pause",
                   "--hidden-hud", "--record-video", "--warp", "--super-debug"}),
              std::nullopt);
    EXPECT_EQ(std::tuple(flags.flat_shading, flags.no_vertex_arrays, flags.learning, flags.practice, flags.editor,
                         flags.accurate_skip, flags.print_orientation),
              std::tuple(true, true, true, true, true, true, true));
    EXPECT_TRUE(values.glfinish && values.hide_pause_text && values.hide_hud);
    EXPECT_TRUE(values.record_video && values.warp);
    EXPECT_EQ(core::debug_level(), 2);
    EXPECT_EQ(run({"--nolearn", "--debug", "--record-audio", "out.raw"}), std::nullopt);
    EXPECT_FALSE(flags.learning);
    EXPECT_EQ(core::debug_level(), 1);
    EXPECT_EQ(values.audio_record_file, "out.raw");
}

TEST_F(CommandLineTest, BikesOptionOnlyWarns)
{
    EXPECT_EQ(run({"--bikes", "5", "--nosound"}), std::nullopt);
    EXPECT_EQ(err, "--bikes doesn't do anything anymore\n");
    EXPECT_FALSE(values.file_argument);
    EXPECT_TRUE(values.no_sound);
}

TEST_F(CommandLineTest, OpenHomeEndsParsing)
{
    EXPECT_EQ(run({"--open-home", "--bogus"}), 0);
    EXPECT_TRUE(values.open_home);
    EXPECT_EQ(err, "");
    EXPECT_EQ(run({"--bogus", "--open-home"}), 1);
    EXPECT_FALSE(values.open_home);
}

TEST_F(CommandLineTest, NoMmxIsLoggedOnlyWhenPresent)
{
    test::TempDir tmp;
    test::ScopedEnv log_env("TORV_LOGFILE", tmp / "log.txt");
    platform::log_close();
    flags.mmx = false;
    EXPECT_EQ(run({"--nommx"}), std::nullopt);
    flags.mmx = true;
    EXPECT_EQ(run({"--nommx"}), std::nullopt);
    EXPECT_FALSE(flags.mmx);
    platform::log_close();
    std::string log = test::read_file(tmp / "log.txt").value_or("");
    EXPECT_NE(log.find("Ignoring MMX\n"), std::string::npos);
    EXPECT_EQ(log.find("Ignoring MMX"), log.rfind("Ignoring MMX"));  // once
}

// Every option the parser knows is in the help, with a text, on a line of its
// own under its group's heading; and the parser accepts it (so the table the
// help is printed from is the parser's own).
TEST_F(CommandLineTest, HelpListsEveryOptionUnderItsGroup)
{
    const std::string help = captured([](std::FILE* f) { print_help(f); });
    ASSERT_TRUE(help.starts_with("usage: zarvox [options] [demo-file]\n")) << help;
    const char* groups[] = {"general", "race", "display", "sound", "network", "debugging", "environment",
                            "folders"};
    std::vector<std::size_t> heading;
    for (const char* g : groups) {
        heading.push_back(help.find("\n" + std::string(g) + ":\n"));
        ASSERT_NE(heading.back(), std::string::npos) << g;
        if (heading.size() > 1) {
            EXPECT_GT(heading.back(), heading[heading.size() - 2]) << g << " out of order";
        }
    }

    const std::vector<OptionHelp> options = command_line_options();
    ASSERT_GE(options.size(), 48u);
    for (const OptionHelp& o : options) {
        SCOPED_TRACE(o.name);
        EXPECT_FALSE(o.help.empty()) << "an option without help";
        EXPECT_EQ(o.value_name.empty(), !o.takes_value);
        std::string left = "\n  " + o.name + (o.takes_value ? " " + o.value_name : "") + " ";
        std::size_t at = help.find(left);
        ASSERT_NE(at, std::string::npos) << help;
        std::size_t end = help.find('\n', at + 1);
        EXPECT_TRUE(std::string_view(help).substr(at, end - at).ends_with(" " + o.help));
        const auto g = static_cast<std::size_t>(o.group);
        EXPECT_GT(at, heading[g]);
        EXPECT_LT(at, heading[g + 1]);

        run({o.name.c_str(), "1"});
        EXPECT_EQ(err.find("bad option"), std::string::npos) << err;
    }

    for (const char* variable : {"ZV_HOME", "XDG_DATA_HOME", "TORV_LOGFILE", "TORV_LOGFILE_FLAGS",
                                 "TORV_OPTIONS", "ZV_CHECK_ALLOC"})
        EXPECT_NE(help.find("\n  " + std::string(variable) + " "), std::string::npos) << variable;
    EXPECT_NE(help.find("home folder: " + core::home_folder() + "\n"), std::string::npos);
    EXPECT_NE(help.find("data folder: " + core::data_folder() + "\n"), std::string::npos);
}

// "--help" and "--version" are found as the parser would read the arguments:
// never as an option's value, never after "--", an unknown option or a second
// file (the parser reports those itself).
TEST_F(CommandLineTest, HelpAndVersionAreAnsweredBeforeStartUp)
{
    const std::string usage = "usage: zarvox ";
    const std::string version = "Zarvox version 2017-01-03-1329 snapshot\n";
    struct Case {
        std::vector<const char*> args;
        std::optional<int> status;
        std::string starts;  // the output's beginning ("" with no answer)
    };
    const Case cases[] = {
        {{"--help"}, 0, usage},
        {{"-h"}, 0, usage},
        {{"--version"}, 0, version},
        {{"--width", "800", "--version"}, 0, version},
        {{"--width=800", "-h"}, 0, usage},
        {{"race.zvdemo", "--version"}, 0, version},
        {{"--version", "--help"}, 0, version},
        {{"--track", "--help"}, std::nullopt, ""},
        {{"--", "--help"}, std::nullopt, ""},
        {{"--bogus", "--help"}, std::nullopt, ""},
        {{"--help=1"}, std::nullopt, ""},
        {{"a.zvdemo", "b.zvdemo", "--version"}, std::nullopt, ""},
        {{"--nosound"}, std::nullopt, ""},
    };
    for (const Case& c : cases) {
        std::vector<const char*> argv{"zarvox"};
        argv.insert(argv.end(), c.args.begin(), c.args.end());
        std::optional<int> status;
        const std::string out = captured([&](std::FILE* f) {
            status = answer_information_request(static_cast<int>(argv.size()), argv.data(), f);
        });
        SCOPED_TRACE(argv[1]);
        EXPECT_EQ(status, c.status);
        EXPECT_TRUE(out.starts_with(c.starts)) << out.substr(0, 80);
        if (c.starts.empty()) {
            EXPECT_EQ(out, "");
        }
    }
    EXPECT_EQ(captured([](std::FILE* f) { print_version(f); }), version);
    // The parser passes over them quietly.
    EXPECT_EQ(run({"--help", "--version", "-h"}), std::nullopt);
    EXPECT_EQ(err, "");
}

}  // namespace
}  // namespace zv::app
