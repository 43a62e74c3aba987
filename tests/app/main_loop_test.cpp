// The main loop's timing and tick rules: the 16-tick cap, the sleep to the
// next tick, the frame-rate lock, warp, the histogram, the connected rate,
// events reaching the tick they belong to, pause and step, and the menu
// holding a single-player race still.
#include "app/main_loop.h"

#include "app/controls.h"
#include "race/riders.h"
#include "core/settings.h"
#include "platform/events.h"
#include "platform/input.h"
#include "platform/key_names.h"

#include <gtest/gtest.h>

#include <tuple>
#include <vector>

namespace zv::app {
namespace {

// A clock that stands still until told, and a sleep that jumps to its
// deadline (counting the sleeps).
struct FakeClock {
    double now = 0;
    int sleeps = 0;
    LoopClock loop()
    {
        return LoopClock{[this] { return now; },
                         [this](double deadline) {
                             ++sleeps;
                             if (deadline > now)
                                 now = deadline;
                         }};
    }
};

TEST(FrameTiming, AOneSecondStallAdvancesSixteenTicksOnly)
{
    FakeClock fc;
    fc.now = 11.0;
    FrameClock clock{10.0, 0, 0};
    FrameStats stats;
    double a = frame_advance(clock, stats, {}, fc.loop());
    EXPECT_DOUBLE_EQ(a, 0.125);
    EXPECT_DOUBLE_EQ(clock.last_frame, 11.0);
    EXPECT_EQ(fc.sleeps, 0);
    EXPECT_EQ(stats.histogram[7], 1);

    // The ticks that advance covers.
    Game g;
    g.view = ViewMode::rider;
    int ticks = 0;
    g.on_race_tick = [&](Game&) { ++ticks; };
    g.clock = clock;
    g.clock.target += a;
    run_ticks(g, clock.last_frame);
    EXPECT_EQ(ticks, 16);
    EXPECT_DOUBLE_EQ(g.clock.simulated, 0.125);
}

TEST(FrameTiming, AShortFrameSleepsUntilOneTickHasPassed)
{
    FakeClock fc;
    fc.now = 5.002;
    FrameClock clock{5.0, 0, 0};
    FrameStats stats;
    double a = frame_advance(clock, stats, {}, fc.loop());
    EXPECT_GE(fc.sleeps, 1);
    EXPECT_DOUBLE_EQ(a, k_tick);
    EXPECT_DOUBLE_EQ(clock.last_frame, 5.0 + k_tick);
    // The histogram counts the frame's first measurement (2 ms).
    EXPECT_EQ(stats.histogram[0], 1);
    EXPECT_DOUBLE_EQ(stats.shortest, k_tick);
}

TEST(FrameTiming, FrameRateLockAndWarpGiveFixedAdvances)
{
    FakeClock fc;
    fc.now = 1.005;
    FrameClock clock{1.0, 0, 0};
    FrameStats stats;
    TimingOptions lock;
    lock.lock_fps = 50;
    EXPECT_DOUBLE_EQ(frame_advance(clock, stats, lock, fc.loop()), 1.0 / 50);
    EXPECT_DOUBLE_EQ(fc.now, 1.02);  // slept to the frame's deadline
    // A slow frame under the lock still advances exactly 1/L.
    fc.now = 1.5;
    EXPECT_DOUBLE_EQ(frame_advance(clock, stats, lock, fc.loop()), 1.0 / 50);

    TimingOptions warp;
    warp.warp = true;
    fc.now = 1.501;
    EXPECT_DOUBLE_EQ(frame_advance(clock, stats, warp, fc.loop()), 100 * k_tick);
    EXPECT_DOUBLE_EQ(stats.longest, 0.78125);
}

TEST(FrameTiming, TheFrameRateFiguresCountFromTheLastDisplay)
{
    // A race loading stalls one frame; once shown, it is forgotten.
    FakeClock fc;
    FrameClock clock{0, 0, 0};
    FrameStats stats;
    fc.now = 2.0;
    frame_advance(clock, stats, {}, fc.loop());
    fc.now += 0.0234375;
    frame_advance(clock, stats, {}, fc.loop());
    EXPECT_DOUBLE_EQ(stats.longest, 0.125);
    EXPECT_DOUBLE_EQ(stats.shortest, 0.0234375);
    reset_frame_extremes(stats);
    for (double frame : {0.015625, 0.03125, 0.0234375}) {
        fc.now += frame;
        frame_advance(clock, stats, {}, fc.loop());
    }
    // The histogram keeps counting.
    EXPECT_EQ(std::tuple(stats.longest, stats.shortest, stats.frames, stats.histogram[7]),
              std::tuple(0.03125, 0.015625, 3, 1));
}

TEST(FrameTiming, HistogramBucketsDoubleFromOneTick)
{
    FrameStats s;
    for (double t : {0.0, 0.0078, 0.0079, 0.0156, 0.02, 0.49, 0.5, 3.0})
        add_to_histogram(s, t);
    // < 1/128, < 2/128, < 4/128, ... < 64/128, then the rest.
    EXPECT_EQ(s.histogram, (std::array<int, k_frame_histogram_size>{2, 2, 1, 0, 0, 0, 1, 2}));
}

TEST(FrameTiming, ConnectedClientsBendTheirAdvance)
{
    // {offset, behind the server, rate}
    for (auto [offset, behind, rate] : {std::tuple{-2.0, true, 0.5}, {-0.5, false, 0.75}, {0.5, true, 2.5},
                                        {3.0, true, 4.0}, {1.0 / 16, false, 1.0625}, {3.0, false, 1.125}})
        EXPECT_DOUBLE_EQ(connected_rate(offset, behind), rate) << offset << " " << behind;
}

class TickTest : public ::testing::Test {
protected:
    TickTest()
    {
        platform::clear_events();
        core::reset_settings();
        bind_inputs();
        race::free_all_bikes();
        g.view = ViewMode::rider;
        g.viewed = 0;
        race::rider_slot(0).kind = race::k_rider_local;
        g.on_race_tick = [this](Game& game) {
            throttle.push_back(game.controls.throttle);
            steer.push_back(game.controls.steer);
        };
        g.clock = FrameClock{100.0, 0, 0};
    }
    ~TickTest() override
    {
        release_inputs();
        race::free_all_bikes();
        platform::clear_events();
    }

    static platform::EventTime at(double seconds) { return platform::event_time_from_seconds(seconds); }
    static std::uint32_t key(const char* name) { return *platform::find_control(name); }
    void push(const char* name, bool pressed, double seconds)
    {
        ASSERT_TRUE(platform::push_event_at(key(name), pressed, at(seconds)));
    }
    // Runs n ticks ending at the frame time 100 + n ticks.
    void run(int n)
    {
        double now = 100.0 + n * k_tick;
        g.clock = FrameClock{now, 0, n * k_tick};
        run_ticks(g, now);
    }

    Game g;
    std::vector<float> throttle, steer;
};

TEST_F(TickTest, APressAndReleaseWithinOneTickStillCountsForThatTick)
{
    // Both inside the first tick (stamped 100 + 1/128).
    push("x", true, 100.001);
    push("x", false, 100.003);
    // Held across the third tick's start, released in the fourth.
    push("x", true, 100.017);
    push("x", false, 100.035);
    run(5);
    EXPECT_EQ(throttle, (std::vector<float>{1, 0, 1, 1, 0}));
}

TEST_F(TickTest, EventsWaitForTheTickTheyBelongTo)
{
    // Steering left is +1, right -1; both held add up to 0.
    push("left", true, 100.0100);
    push("right", true, 100.0200);
    push("left", false, 100.0300);
    run(4);
    EXPECT_EQ(steer, (std::vector<float>{0, 1, 0, -1}));
    // The right key's release is later than every tick run: it waits.
    push("right", false, 200.0);
    EXPECT_EQ(platform::events_waiting(), 1);
}

TEST_F(TickTest, AMenuHoldsASinglePlayerRaceStill)
{
    g.menu_page = k_menu_main;
    run(16);
    EXPECT_TRUE(throttle.empty());
    // Watching someone else (a demo, a spectator) the race goes on.
    race::rider_slot(0).kind = race::k_rider_robot;
    run(16);
    EXPECT_EQ(throttle.size(), 16u);
}

TEST_F(TickTest, EscOpensAndClosesTheMenuAndCloseQuits)
{
    // In the editor too, which sees the keys first.
    for (ViewMode view : {ViewMode::rider, ViewMode::editor}) {
        g.view = view;
        g.quit = false;
        push("esc", true, 100.001);
        run(1);
        EXPECT_EQ(g.menu_page, k_menu_main);
        push("esc", false, 100.010);
        push("esc", true, 100.011);
        push("close", true, 100.012);
        run(2);
        EXPECT_EQ(g.menu_page, k_menu_closed);
        EXPECT_TRUE(g.quit);
    }
}

TEST_F(TickTest, PauseStopsTheRaceAndStepRunsOneTick)
{
    push("pause", true, 100.001);
    run(4);
    EXPECT_TRUE(g.paused);
    EXPECT_TRUE(throttle.empty());
    push(".", true, 100.001);
    push(".", false, 100.002);
    run(4);
    EXPECT_EQ(throttle.size(), 1u);
    push("pause", true, 100.001);
    run(2);
    EXPECT_FALSE(g.paused);
    EXPECT_EQ(throttle.size(), 3u);
}

TEST_F(TickTest, TheTitleScreenRunsNoRaceAndIgnoresRaceKeys)
{
    g.view = ViewMode::title;
    push("pause", true, 100.001);
    push("tab", true, 100.002);
    push("s", true, 100.003);
    run(8);
    EXPECT_EQ(std::tuple(throttle.empty(), g.paused, g.screenshot_requested, g.view),
              std::tuple(true, false, false, ViewMode::title));
}

TEST_F(TickTest, TabCyclesTheViewsAndDigitsPickCameras)
{
    for (ViewMode want : {ViewMode::chase, ViewMode::track_camera, ViewMode::rider}) {
        push("tab", true, 100.001);
        push("tab", false, 100.002);
        run(1);
        EXPECT_EQ(g.view, want);
    }
    // No track cameras: every digit means "no fixed camera".
    push("3", true, 100.001);
    run(1);
    EXPECT_EQ(g.track_camera, -1);
    push("s", true, 100.001);
    run(1);
    EXPECT_TRUE(g.screenshot_requested);
}

TEST(AxisBinding, ValueIsScaledIntoTheBindingRange)
{
    // {raw, low, high, value}: a reversed range reads the axis the other way;
    // an empty range gives nothing rather than a division by zero.
    for (auto [raw, low, high, value] : {std::tuple{16384, 0.0f, 1.0f, 0.5f}, {-32768, 0.0f, 1.0f, 0.0f},
                                         {32767, 0.0f, 0.5f, 1.0f}, {-16384, 0.0f, -1.0f, 0.5f},
                                         {1000, 0.25f, 0.25f, 0.0f}})
        EXPECT_FLOAT_EQ(axis_binding_value(raw, low, high), value) << raw << " in " << low << ".." << high;
}

}  // namespace
}  // namespace zv::app
