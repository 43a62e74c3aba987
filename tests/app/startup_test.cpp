// Start-up and shutdown inside the test process: the track selection, the
// lists, the early endings and the shutdown stages with the config file.
#include "app/shutdown.h"
#include "app/startup.h"

#include "app/graphics_values.h"
#include "app/shape_check.h"
#include "core/data_file.h"
#include "core/debug_level.h"
#include "core/settings.h"
#include "platform/log.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <tuple>

namespace {

using namespace zv;
using test::ScopedEnv;
using test::TempDir;
using test::write_file;

class StartupTest : public ::testing::Test {
protected:
    StartupTest()
        : home_env_("XDG_DATA_HOME", dir_ / "xdg"),
          data_env_("ZV_HOME", dir_ / "data"),
          log_env_("TORV_LOGFILE", dir_ / "log.txt"),
          display_env_("DISPLAY", std::nullopt),
          wayland_env_("WAYLAND_DISPLAY", std::nullopt)
    {
        reset();
    }
    ~StartupTest() override
    {
        platform::log_close();
        reset();
    }

    static void reset()
    {
        // Resetting the settings lists the paint variants, which builds the
        // working set: forget it afterwards so each test sees its own files.
        core::reset_settings();
        core::reset_data_files();
        core::set_debug_level(0);
        app::startup_flags() = {};
        app::startup_lists() = {};
    }

    void install_archive()
    {
        const std::string archive = std::string(ZV_BUILD_DIR) + "/zzzz.saf";
        ASSERT_TRUE(std::filesystem::exists(archive)) << "build the game_data target first";
        std::filesystem::create_directories(dir_.path() / "data");
        std::filesystem::copy_file(archive, dir_.path() / "data/zzzz.saf",
                                   std::filesystem::copy_options::overwrite_existing);
    }
    void data(const std::string& rel, std::string_view text) { write_file(dir_.path() / "data" / rel, text); }
    void track(const std::string& folder, const std::string& desc)
    {
        data(folder + "/terrain.hf", "x");
        data(folder + "/desc", desc + "\n");
    }
    void config(const std::string& text) { write_file(dir_.path() / "xdg/Zarvox/config", text); }

    // Starts with the arguments; on success shuts down again and returns the
    // selected track's folder.
    std::optional<int> start(std::vector<std::string> args)
    {
        args.insert(args.begin(), "zarvox");
        std::vector<char*> argv;
        for (std::string& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        values_ = {};
        return app::start_up(static_cast<int>(args.size()), argv.data(), values_);
    }
    std::string selected_folder() const
    {
        const app::StartupLists& l = app::startup_lists();
        return l.tracks.folders.at(static_cast<std::size_t>(l.track_choice.index));
    }
    std::string log_text()
    {
        platform::log_close();
        return test::read_file(dir_ / "log.txt").value_or("");
    }

    TempDir dir_;
    ScopedEnv home_env_, data_env_, log_env_, display_env_, wayland_env_;
    app::StartupValues values_;
};

TEST_F(StartupTest, TrackSelectionFollowsOptionThenConfigThenDefault)
{
    install_archive();
    track("alpha", "Alpha");
    track("beta", "Beta");
    track("rabbithill", "Rabbit Hill");

    ASSERT_EQ(start({}), std::nullopt);
    const app::StartupLists& lists = app::startup_lists();
    EXPECT_EQ(lists.tracks.folders, (std::vector<std::string>{"alpha", "beta", "rabbithill"}));
    ASSERT_EQ(lists.track_choice.count(), 3);
    EXPECT_STREQ(lists.track_choice.choices[1], "Beta");
    EXPECT_EQ(selected_folder(), "rabbithill");
    EXPECT_EQ(app::shut_down(values_, app::startup_lists()), 0);

    reset();
    config("track=beta\n");
    ASSERT_EQ(start({}), std::nullopt);
    EXPECT_EQ(selected_folder(), "beta");
    app::shut_down(values_, app::startup_lists());

    reset();
    ASSERT_EQ(start({"--track", "alpha"}), std::nullopt);
    EXPECT_EQ(selected_folder(), "alpha");
    app::shut_down(values_, app::startup_lists());

    // A connect target clears the track override: the config's track wins.
    reset();
    config("track=beta\n");
    ASSERT_EQ(start({"--track", "alpha", "--connect", "zarvox:race.example.org"}), std::nullopt);
    EXPECT_EQ(selected_folder(), "beta");
    EXPECT_EQ(values_.connect_target, std::optional<std::string>("race.example.org"));
    app::shut_down(values_, app::startup_lists());

    // No such folder: the choice stays where it was.
    reset();
    config("track=nowhere\n");
    ASSERT_EQ(start({"--track", "Beta"}), std::nullopt);
    EXPECT_EQ(app::startup_lists().track_choice.index, 0);
}

TEST_F(StartupTest, ListsHoldDemosAndReadableSeries)
{
    install_archive();
    track("hills", "Hills");
    data("demos/fast.zvdemo", "x");
    std::string points;
    for (int i = 0; i < 80; ++i)
        points += "1 ";
    data("good.series", "Good 0 Amateur 1 Opener hills 0 0 " + points);
    data("bad.series", "Bad 0 Amateur 1 Opener mountains 0 0 " + points);

    ASSERT_EQ(start({}), std::nullopt);
    const app::StartupLists& lists = app::startup_lists();
    EXPECT_EQ(lists.demos.names, (std::vector<std::string>{"fast"}));
    ASSERT_EQ(lists.series.size(), 1u);
    EXPECT_EQ(std::tuple(lists.series[0].name, lists.series[0].skill), std::tuple("Good", 1));

    app::shut_down(values_, app::startup_lists());
    EXPECT_EQ(std::tuple(lists.tracks.empty(), lists.demos.empty(), lists.series.empty()),
              std::tuple(true, true, true));
}

TEST_F(StartupTest, EarlyEndings)
{
    // No archive at all.
    testing::internal::CaptureStderr();
    EXPECT_EQ(start({}), std::optional<int>(0));
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("Problem starting Zarvox"), std::string::npos) << err;
    EXPECT_NE(err.find("Can't find game data"), std::string::npos) << err;

    // The archive but no track.
    reset();
    install_archive();
    testing::internal::CaptureStderr();
    EXPECT_EQ(start({}), std::optional<int>(1));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "No tracks found\n");

    // A command-line error comes before the track scan.
    reset();
    testing::internal::CaptureStderr();
    EXPECT_EQ(start({"--lod-bias", "x"}), std::optional<int>(1));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Bad arg for --lod-bias\n");
    EXPECT_FALSE(std::filesystem::exists(dir_.path() / "xdg/Zarvox/config"));
}

TEST_F(StartupTest, OptionsWinOverTheDerivedGraphicsValues)
{
    install_archive();
    track("hills", "Hills");
    config("model_detail=100\n");
    ASSERT_EQ(start({}), std::nullopt);
    // model_detail 100: scale (100 - 100) * 0.02 = 0, bias 50 - 50 * 1 = 0.
    EXPECT_FLOAT_EQ(app::graphics_values().lod_scale, 0.0f);
    EXPECT_FLOAT_EQ(app::graphics_values().lod_bias, 0.0f);
    app::shut_down(values_, app::startup_lists());

    reset();
    config("model_detail=100\n");
    ASSERT_EQ(start({"--lod-bias=7.5", "--roostfrequency", "3"}), std::nullopt);
    const app::GraphicsValues& g = app::graphics_values();
    EXPECT_EQ(std::tuple(g.lod_bias, g.lod_scale, g.roost_frequency), std::tuple(7.5f, 0.0f, 3));
}

TEST_F(StartupTest, ShutdownLogsEveryStageAndWritesTheConfig)
{
    install_archive();
    track("hills", "Hills");
    ASSERT_EQ(start({"--width=800"}), std::nullopt);
    EXPECT_EQ(app::shut_down(values_, app::startup_lists()), 0);

    std::string log = log_text();
    std::size_t at = log.find("Zarvox version 2017-01-03-1329 snapshot\n");
    ASSERT_NE(at, std::string::npos);
    for (const char* stage : app::k_shutdown_stages) {
        std::size_t next = log.find(std::string(stage) + "\n", at);
        ASSERT_NE(next, std::string::npos) << stage;
        at = next;
    }
    std::optional<std::string> cfg = test::read_file(dir_.path() / "xdg/Zarvox/config");
    ASSERT_TRUE(cfg);
    EXPECT_TRUE(cfg->starts_with("xres=800\nyres=480\n"));
}

TEST_F(StartupTest, GenericShapeDigestReadsTheSevenFilesInOrder)
{
    // Missing files add nothing: frame, swing arm and rider give "a", "b", "c".
    data("generic_rider.shp", "c");
    data("generic_swingarm.shp", "b");
    data("generic_frame.shp", "a");
    EXPECT_EQ(app::generic_shape_digest(), "8eb208f7e05d987a9b044a8e98c6b087f15a0bfc");  // "abc"

    // No shapes at all: the digest of nothing.
    reset();
    std::filesystem::remove_all(dir_.path() / "data");
    EXPECT_EQ(app::generic_shape_digest(), "9c1185a5c5e9fc54612808977ee8f548b2258d31");

    for (const char* digest : {"", "8eb208f7e05d987a9b044a8e98c6b087f15a0bfc", "9C1185A5C5E9FC54612808977EE8F548B2258D31"})
        EXPECT_FALSE(app::is_stock_shape_digest(digest)) << digest;
}

TEST_F(StartupTest, StartUpKeepsTheShapeCheckResult)
{
    install_archive();
    track("hills", "Hills");
    data("generic_frame.shp", "a modified frame");
    ASSERT_EQ(start({}), std::nullopt);
    EXPECT_FALSE(app::generic_shapes_are_stock());
    app::shut_down(values_, app::startup_lists());

    // The generated data is stock.
    reset();
    std::filesystem::remove(dir_.path() / "data/generic_frame.shp");
    ASSERT_EQ(start({}), std::nullopt);
    EXPECT_TRUE(app::generic_shapes_are_stock());
}

}  // namespace
