// The head-up display on a real (virtual) screen: the rider overlay and the
// information layer over a cleared frame show the tachometer, the gear
// picture, the pit board, the information lines and the start banner.
// Needs a display (run under xvfb-run) and the generated game data; skipped
// otherwise.
#include <gtest/gtest.h>

#include <GL/gl.h>


#include "app/hud.h"
#include "app/main_loop.h"
#include "app/view.h"
#include "core/messages.h"
#include "core/settings.h"
#include "race/riders.h"
#include "hud_screen_fixture.h"
#include "track/race_rules.h"

// The GL driver's exit leaks have no module left to name (see the world
// screen test).
extern "C" const char* __lsan_default_options() { return "detect_leaks=0"; }

namespace zv::app {
namespace {

constexpr int k_w = test::HudScreenFixture::k_w, k_h = test::HudScreenFixture::k_h;

int lit_pixels(int x, int y, int w, int h) { return test::lit_pixels(x, y, w, h, k_h); }

class HudScreen : public test::HudScreenFixture {
protected:
    static void SetUpTestSuite() { ready_ = open_hud_window("hud-screen"); }
    static void TearDownTestSuite() { close_hud_window(); }
    void SetUp() override
    {
        if (!ready_)
            GTEST_SKIP() << "needs a display and the generated game data";
        clear_window();
    }
    static inline bool ready_ = false;
};

TEST_F(HudScreen, RiderOverlayShowsTachometerPitBoardAndBanner)
{
    track::RaceSetup race;
    race.laps = 5;
    track::begin_race(race);
    HudFrame f = frame();
    core::settings().draw_fps = 1;
    draw_rider_overlay(f);
    draw_info_layer(f);
    core::settings().draw_fps = 0;
    test::save_shot("hud.png", k_w, k_h);
    EXPECT_GT(lit_pixels(k_w - 120, k_h - 120, 110, 110), 500) << "tachometer";
    EXPECT_GT(lit_pixels(10, k_h - 100, 110, 90), 500) << "pit board";
    EXPECT_GT(lit_pixels(k_w / 2 - 80, static_cast<int>(k_h * 0.3), 160, 40), 50) << "start banner";
}

TEST_F(HudScreen, BannerFadesThreeSecondsIntoTheTickCounter)
{
    // The gate drops at 14 s: the banner is long gone by then.
    track::RaceSetup race;
    race.laps = 5;
    race.start_tick = 14 * 128;
    track::begin_race(race);
    HudFrame f = frame();
    const int band_y = static_cast<int>(k_h * 0.3);
    f.tick = 2 * 128 + 64;  // half faded
    draw_rider_overlay(f);
    EXPECT_GT(lit_pixels(k_w / 2 - 80, band_y, 160, 40), 50);
    glClear(GL_COLOR_BUFFER_BIT);
    f.tick = 4 * 128;
    draw_rider_overlay(f);
    EXPECT_EQ(lit_pixels(k_w / 2 - 80, band_y, 160, 40), 0);
}

TEST_F(HudScreen, MessageLinesAreOnTheInformationLayer)
{
    core::clear_messages();
    core::show_message("First line of news");
    core::show_message("Second line of news");
    HudFrame f = frame();
    draw_info_layer(f);
    // Two lines of 20 pixels at the top left, nothing below them.
    EXPECT_GT(lit_pixels(0, 8, 240, 20), 50);
    EXPECT_GT(lit_pixels(0, 28, 240, 20), 50);
    EXPECT_EQ(lit_pixels(0, 48, 240, 20), 0);
    // The chat line pages back: one line back the older line is the newest
    // shown, and ten lines stand ready.
    glClear(GL_COLOR_BUFFER_BIT);
    f.message_scroll = 1;
    f.min_message_lines = 10;
    draw_info_layer(f);
    EXPECT_EQ(lit_pixels(0, 8, 240, 20 * 9), 0) << "older, empty lines";
    EXPECT_GT(lit_pixels(0, 8 + 20 * 9, 240, 20), 50) << "the first line, last";
    core::clear_messages();
    glClear(GL_COLOR_BUFFER_BIT);
    draw_info_layer(frame());
    EXPECT_EQ(lit_pixels(0, 0, k_w, 60), 0);
}

TEST_F(HudScreen, EveryViewCarriesTheMessageLinesUnlessTheHudIsHidden)
{
    core::clear_messages();
    core::show_message("Track failed to load");
    Game g;
    g.view = ViewMode::title;
    draw_view(g, k_w, k_h, 1.0 / 60, false);
    EXPECT_GT(lit_pixels(0, 8, 240, 20), 50);
    draw_view(g, k_w, k_h, 1.0 / 60, true);
    EXPECT_EQ(lit_pixels(0, 8, 240, 20), 0);
    core::clear_messages();
}

TEST_F(HudScreen, OverlaysShowThePauseAndTheWarmupOnlyWhenTheyApply)
{
    // The pause text sits at 0.4 of the height, the warmup warning at 0.3.
    const struct {
        int kind;
        bool connected, paused, hide_pause, pause_shown, warmup_shown;
    } cases[] = {
        {race::k_rider_local, false, false, false, false, false},
        {race::k_rider_local, true, false, false, false, true},  // connected, no place in the race
        {race::k_rider_robot, true, false, false, false, false}, // watching another rider
        {race::k_rider_local, false, true, false, true, false},
        {race::k_rider_local, false, true, true, false, false},
    };
    Game g;
    g.view = ViewMode::rider;
    for (const auto& c : cases) {
        race::rider_slot(0).kind = c.kind;
        g.connected = c.connected;
        g.paused = c.paused;
        clear_window();
        draw_overlays(g, k_w, k_h, c.hide_pause);
        EXPECT_EQ(lit_pixels(0, 140, k_w, 40) > 50, c.pause_shown) << c.kind << c.connected << c.paused;
        EXPECT_EQ(lit_pixels(0, 100, k_w, 34) > 20, c.warmup_shown) << c.kind << c.connected << c.paused;
    }
    race::rider_slot(0).kind = race::k_rider_history;
}

TEST_F(HudScreen, TrackCameraShowsThePendingTextAtTheTop)
{
    HudFrame f = frame();
    draw_track_camera_overlay(f);
    EXPECT_EQ(lit_pixels(0, 0, k_w, k_h), 0) << "nothing to show";
    f.pending_text = "see you at the finish";
    draw_track_camera_overlay(f);
    EXPECT_GT(lit_pixels(k_w / 4, 0, k_w / 2, 20), 50);
    EXPECT_EQ(lit_pixels(0, 20, k_w, k_h - 20), 0);
}

TEST_F(HudScreen, InformationLinesWhenAsked)
{
    core::settings().draw_fps = 1;
    core::settings().draw_speed = 1;
    HudFrame f = frame();
    f.render_stats_level = 1;
    draw_info_layer(f);
    EXPECT_GT(lit_pixels(0, static_cast<int>(k_h * 0.45), 200, 80), 100);
    core::settings().draw_fps = 0;
    core::settings().draw_speed = 0;
    glClear(GL_COLOR_BUFFER_BIT);
    HudFrame none = frame();
    draw_info_layer(none);
    EXPECT_EQ(lit_pixels(0, static_cast<int>(k_h * 0.45), 200, 80), 0);
}

TEST_F(HudScreen, TimeTrialLapClockWhileAnAttemptIsUnderWay)
{
    track::begin_race(track::RaceSetup{});
    HudFrame f = frame();
    f.tick = 40000;  // long past any start banner
    f.time_trial = true;
    // No track map here: the clock stands in the top right corner.
    const int x = k_w - 160, w = 160, band = 40;
    draw_rider_overlay(f);
    EXPECT_EQ(lit_pixels(x, 0, w, band), 0) << "no attempt yet";
    glClear(GL_COLOR_BUFFER_BIT);
    f.trial_lap_ticks = 12 * 128 + 64;  // 0:12.5
    draw_rider_overlay(f);
    EXPECT_GT(lit_pixels(x, 0, w, band), 100) << "the attempt's clock";
    // Races have no lap clock.
    glClear(GL_COLOR_BUFFER_BIT);
    f.time_trial = false;
    draw_rider_overlay(f);
    EXPECT_EQ(lit_pixels(x, 0, w, band), 0);
}

}  // namespace
}  // namespace zv::app
