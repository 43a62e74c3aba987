// Console commands: how keywords match, the toggles, the numbers with their
// failure rules, the camera keyframe commands, the frame histogram, the pipe.
#include <gtest/gtest.h>

#include <initializer_list>
#include <tuple>
#include <utility>

#include "app/console_fixture.h"
#include "app/hud.h"
#include "app/startup_flags.h"
#include "render/render_stats.h"
#include "sim/world.h"

namespace zv::app {
namespace {

class Commands : public ConsoleTest {
protected:
    // Runs each command, expecting it taken (1) or not (0), and then the
    // value it leaves in `field`.
    template <typename T>
    void runs(const T& field, std::initializer_list<std::tuple<const char*, int, T>> rows)
    {
        for (const auto& [command, taken, value] : rows) {
            EXPECT_EQ(run(command), taken) << command;
            EXPECT_EQ(field, value) << command;
        }
    }
};

TEST_F(Commands, ToggleSpyTwiceShowsOnThenOff)
{
    EXPECT_EQ(run("/togglespy"), 1);
    EXPECT_EQ(core::settings().spy, 1);
    EXPECT_EQ(run("\\togglespy"), 1);  // either leading character
    EXPECT_EQ(core::settings().spy, 0);
    EXPECT_EQ(messages(), (Lines{"Spy mode ON", "Spy mode OFF"}));
}

TEST_F(Commands, DisplayToggles)
{
    core::settings().draw_ping = 1;
    core::settings().draw_fps = 7;  // any non-zero value counts as on
    for (const char* c : {"/togglefps", "/toggletime", "/toggleping", "/togglespeed"})
        EXPECT_EQ(run(c), 1) << c;
    EXPECT_EQ(messages(), (Lines{"FPS display OFF", "Time display ON", "Ping display OFF", "Speed display ON"}));
    const core::Settings& s = core::settings();
    EXPECT_EQ(std::tuple(s.draw_fps, s.draw_time, s.draw_ping, s.draw_speed), std::tuple(0, 1, 0, 1));

    const bool graph = suspension_graph_shown();
    EXPECT_EQ(run("/togglegraph"), 1);
    EXPECT_EQ(suspension_graph_shown(), !graph);
    EXPECT_EQ(messages(), Lines{graph ? "Suspension graph OFF" : "Suspension graph ON"});
    run("/togglegraph");
    EXPECT_EQ(suspension_graph_shown(), graph);

    EXPECT_EQ(run("/togglekeycam"), 1);
    EXPECT_TRUE(keyframe_camera_on());
    run("/togglekeycam");
    EXPECT_FALSE(keyframe_camera_on());
    EXPECT_EQ(messages(), (Lines{graph ? "Suspension graph ON" : "Suspension graph OFF", "Keycam mode ON",
                                 "Keycam mode OFF"}));
}

// Exact keywords take nothing after them; unknown words and a bare slash
// are no commands either.
TEST_F(Commands, ExactKeywordsUnknownCommandsAndTheBareSlash)
{
    for (const char* c : {"/renderstatsx", "/togglespy ", "/ togglespy", "/togglespyy", "/TOGGLESPY", "/addkeys",
                          "/clearkeys now", "/forcereload!", "/rmkey2", "/savetrackinfo ", "/", "\\", "/nosuch",
                          "/ fov 90", "/fo", "/pip 1"})
        EXPECT_EQ(run(c), 0) << c;
    EXPECT_TRUE(messages().empty());
    EXPECT_EQ(core::settings().spy, 0);
    EXPECT_TRUE(camera_keyframes().empty());
}

TEST_F(Commands, FovReadsANumberRightAfterTheKeyword)
{
    // No blank needed before the number; clamped like the menu's.
    runs<double>(core::settings().fov.value,
                 {{"/fov 90", 1, 90}, {"/fov75", 1, 75}, {"/fov 500", 1, 170}, {"/fov 1", 1, 10}});
    EXPECT_EQ(messages(), (Lines{"fov set", "fov set", "fov set", "fov set"}));

    // "fovx" is still "fov": its number fails and the usage is shown.
    for (const char* c : {"/fovx", "/fov", "/fov   ", "/fov nan", "/fov abc 90"})
        EXPECT_EQ(run(c), 1) << c;
    EXPECT_EQ(core::settings().fov.value, 10);
    EXPECT_EQ(messages(), Lines(5, "Usage: fov <degrees>"));
}

TEST_F(Commands, IntegerSettings)
{
    // A failed read leaves the value unchanged, with no message.
    runs<int>(core::settings().billboard_optimize_lookahead,
              {{"/bbopt 3", 1, 3}, {"/bbopt-2", 1, -2}, {"/bbopt x", 1, -2}});
    EXPECT_EQ(messages(), (Lines{"Billboard optimization window is now 3", "Billboard optimization window is now -2"}));

    // No number: unchanged; the word needs a blank after it.
    runs<int>(core::settings().message_lines, {{"/  messagelines 9", 1, 9}, {"/messagelines", 1, 9},
                                               {"/messagelines9", 0, 9}, {"/messagelines 5000", 1, 1000}});
    EXPECT_EQ(messages(), (Lines{"Maximum showing messages is now 9", "Maximum showing messages is now 1000"}));

    // "%d" reads the 1 of "1e9".
    runs<int>(core::settings().demo_backups, {{"/demobackups 3", 1, 3}, {"/demobackups -4", 1, 0},
                                              {"/demobackups 1e9", 1, 1}, {"/demobackups junk", 1, 1}});
    EXPECT_EQ(messages(), (Lines{"Now keeping 3 demo backups", "Now keeping 0 demo backups",
                                 "Now keeping 1 demo backups"}));
}

TEST_F(Commands, MapScaleIsClamped)
{
    runs<float>(core::settings().map_scale, {{"/mapscale 20", 1, 8.0f}, {"/ mapscale 0.01", 1, 0.125f},
                                             {"/mapscale 2.5", 1, 2.5f}, {"/mapscale", 1, 2.5f},
                                             {"/mapscale nan", 1, 2.5f}});
    EXPECT_EQ(messages(), (Lines{"Map scale set to 8.000000", "Map scale set to 0.125000", "Map scale set to 2.500000"}));
}

TEST_F(Commands, RenderStatsTurnsTheLinesOnAndClearsTheMaxima)
{
    const int old_level = startup_flags().render_stats_level;
    startup_flags().render_stats_level = 0;
    render::render_stats().max.model_polygons = 900;
    EXPECT_EQ(run("/renderstats"), 1);
    EXPECT_EQ(std::tuple(startup_flags().render_stats_level, render::render_stats().max.model_polygons, messages()),
              std::tuple(1, 0, Lines{}));
    startup_flags().render_stats_level = old_level;
}

TEST_F(Commands, FrameHistogramIsShownAndCleared)
{
    g.stats.histogram = {1, 2, 3, 4, 5, 6, 7, 80};
    g.stats.longest = 0.5;
    EXPECT_EQ(run("/fpshist"), 1);
    EXPECT_EQ(messages(), Lines{"128=1 64=2 32=3 16=4 8=5 4=6 2=7 1=80 "});
    for (int c : g.stats.histogram)
        EXPECT_EQ(c, 0);
    EXPECT_EQ(g.stats.longest, 0.5);  // only the counters go
}

TEST_F(Commands, KeyframeCommands)
{
    race::create_physics_world();
    race::physics_world()->tick = 256;
    free_camera().position = {1, 2, 3};
    core::settings().fov.value = 60;
    EXPECT_EQ(run("/addkey"), 1);
    race::physics_world()->tick = 128;
    free_camera().position = {4, 5, 6};
    EXPECT_EQ(run("/addkey"), 1);
    race::physics_world()->tick = 640;
    EXPECT_EQ(run("/addkey"), 1);
    ASSERT_EQ(camera_keyframes().size(), 3u);
    EXPECT_EQ(std::tuple(camera_keyframes()[0].tick, camera_keyframes()[1].tick, camera_keyframes()[1].fov),
              std::tuple(128, 256, 60));
    EXPECT_EQ(messages(), Lines(3, "Keyframe added"));

    EXPECT_EQ(run("/listkeys"), 1);
    EXPECT_EQ(messages(), (Lines{"pos = { 4.00, 5.00, 6.00 }, rot = { 1.00, 0.00, 0.00, 0.00 }, time = 1.00",
                                 "pos = { 1.00, 2.00, 3.00 }, rot = { 1.00, 0.00, 0.00, 0.00 }, time = 2.00",
                                 "pos = { 4.00, 5.00, 6.00 }, rot = { 1.00, 0.00, 0.00, 0.00 }, time = 5.00"}));

    race::physics_world()->tick = 400;  // 144 after 256, 240 before 640
    EXPECT_EQ(run("/rmkey"), 1);
    ASSERT_EQ(camera_keyframes().size(), 2u);
    EXPECT_EQ(camera_keyframes()[1].tick, 640);
    EXPECT_EQ(run("/deletekey"), 1);  // none after 400 now: the last
    ASSERT_EQ(camera_keyframes().size(), 1u);
    EXPECT_EQ(camera_keyframes()[0].tick, 128);
    EXPECT_EQ(run("/deletekey"), 1);  // the only one
    EXPECT_TRUE(camera_keyframes().empty());
    EXPECT_EQ(messages(), Lines(3, "Keyframe deleted"));

    run("/addkey");
    run("/addkey");
    messages();
    EXPECT_EQ(run("/clearkeys"), 1);
    EXPECT_TRUE(camera_keyframes().empty());
    EXPECT_EQ(messages(), Lines{"Keyframes cleared"});
    EXPECT_EQ(run("/listkeys"), 1);
    EXPECT_TRUE(messages().empty());
}

TEST_F(Commands, CamangleNeedsABikeAndTwoNumbers)
{
    EXPECT_EQ(run("/camangle 90 10"), 1);  // no viewed bike: nothing
    EXPECT_FALSE(free_camera().aimed);
    EXPECT_TRUE(messages().empty());

    put_bike();
    free_camera().roll = 1;
    free_camera().turn = 2;
    EXPECT_EQ(run("/camangle 90 -10"), 1);
    EXPECT_DOUBLE_EQ(free_camera().yaw, 90 * 0.017453292519943295);
    EXPECT_DOUBLE_EQ(free_camera().pitch, -10 * 0.017453292519943295);
    EXPECT_EQ(std::pair(free_camera().roll, free_camera().turn), std::pair(0.0, 0.0));
    EXPECT_EQ(messages(), Lines{"Camera aimed"});

    for (const char* c : {"/camangle", "/camangle 45", "/camangle x 3", "/camangle 1 inf"})
        EXPECT_EQ(run(c), 1) << c;
    EXPECT_DOUBLE_EQ(free_camera().yaw, 90 * 0.017453292519943295);
    EXPECT_EQ(messages(), Lines(4, "Usage: camangle <yaw> <pitch>"));

    // A key added now carries the aim.
    EXPECT_EQ(run("/addkey"), 1);
    ASSERT_EQ(camera_keyframes().size(), 1u);
    const Quat q = camera_keyframes()[0].rotation;
    const Quat e = yaw_pitch_quaternion(free_camera().yaw, free_camera().pitch);
    EXPECT_EQ(q.w, e.w);
    EXPECT_EQ(q.z, e.z);
    EXPECT_GT(q.z, 0);  // -sin(45 deg) sin(-5 deg)
}

TEST_F(Commands, PipeTakesItsNumbersAndTheClassDefaults)
{
    EXPECT_EQ(run("/pipe 1 2 3 4 5"), 1);  // no viewed bike: nothing
    EXPECT_TRUE(messages().empty());

    put_bike("450sxf(2017)");
    EXPECT_EQ(run("/pipe 6.5 0.5"), 1);
    PipeParameters p = pipe_parameters()[3];
    // The gain from the four-stroke start.
    EXPECT_EQ(std::tuple(p.length, p.spread, p.gain, p.first_tap, p.last_tap, p.changed),
              std::tuple(6.5f, 0.5f, -0.85f, 0, 15, true));
    EXPECT_EQ(messages(), Lines{"Pipe updated"});

    put_bike("125sx");
    EXPECT_EQ(run("/pipe"), 1);  // all from the two-stroke start
    p = pipe_parameters()[3];
    EXPECT_EQ(std::tuple(p.length, p.spread, p.gain), std::tuple(1.75f, 0.3f, -0.75f));
    EXPECT_EQ(run("/pipe 2 1 -0.5 3 9 77"), 1);
    p = pipe_parameters()[3];
    EXPECT_EQ(std::tuple(p.gain, p.first_tap, p.last_tap), std::tuple(-0.5f, 3, 9));
    EXPECT_EQ(run("/pipe nan 0.4"), 1);  // a number that is none keeps its start
    p = pipe_parameters()[3];
    EXPECT_EQ(p.length, 1.75f);
    EXPECT_EQ(p.spread, 0.4f);
}

TEST(PipeStart, ByEngineClass)
{
    for (const char* c : {"250f", "450f"}) {
        PipeParameters p = starting_pipe(c);
        EXPECT_EQ(std::tuple(p.length, p.spread, p.gain), std::tuple(5.0f, 0.918207f, -0.85f)) << c;
    }
    for (const char* c : {"250", "125", "50", ""}) {
        PipeParameters p = starting_pipe(c);
        EXPECT_EQ(std::tuple(p.length, p.spread, p.gain, p.first_tap, p.last_tap),
                  std::tuple(1.75f, 0.3f, -0.75f, 0, 15))
            << c;
    }
}

}  // namespace
}  // namespace zv::app
