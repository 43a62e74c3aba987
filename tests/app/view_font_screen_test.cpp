// The game's text with the generated font on a real (virtual) screen: text
// drawn at a scale has its capitals from y to y + 7 x scale and stays within
// its measured width, and the head-up display's layouts still show their
// text where they did with the bitmap font. Needs a display (run under
// xvfb-run) and the generated game data; skipped otherwise.
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <algorithm>

#include "app/hud.h"
#include "app/view.h"
#include "app/view_font.h"
#include "core/settings.h"
#include "hud_screen_fixture.h"
#include "render/textures.h"
#include "track/race_rules.h"

// The GL driver's exit leaks have no module left to name (see the world
// screen test).
extern "C" const char* __lsan_default_options() { return "detect_leaks=0"; }

namespace zv::app {
namespace {

constexpr int k_w = test::HudScreenFixture::k_w, k_h = test::HudScreenFixture::k_h;

int lit_pixels(int x, int y, int w, int h) { return test::lit_pixels(x, y, w, h, k_h); }

void save_shot(const char* name) { test::save_shot(name, k_w, k_h); }

class ViewFontScreen : public test::HudScreenFixture {
protected:
    static void SetUpTestSuite()
    {
        ready_ = open_hud_window("view-font-screen");
        loaded_ = ready_ && load_font();
    }
    static void TearDownTestSuite()
    {
        close_hud_window([] {
            release_font();
            release_hud_pictures();
            render::release_textures(true);
        });
    }
    void SetUp() override
    {
        if (!ready_)
            GTEST_SKIP() << "needs a display and the generated game data";
        ASSERT_TRUE(loaded_) << "the generated font did not load";
        ASSERT_TRUE(font_loaded());
        set_pixel_projection(k_w, k_h);
        clear_window();
        glColor4f(1, 1, 1, 1);
    }
    static inline bool ready_ = false, loaded_ = false;
};

TEST_F(ViewFontScreen, CapitalsFillSevenRowsPerScale)
{
    const int scale = 4, x = 40, y = 30;
    const std::string_view text = "Paused";  // no descenders, no accents
    draw_text(x, y, scale, text);
    save_shot("view_font_paused.png");
    const int w = text_width(text, scale);
    EXPECT_GT(w, 100);
    EXPECT_LT(w, 200);
    // Ink only within the measured box, from the capitals' top to the
    // baseline 7 x scale below it (ascenders such as 'd' rise a little above
    // the capitals).
    int inside = lit_pixels(x - 2, y - 2, w + 4, 7 * scale + 4);
    EXPECT_GT(inside, 400);
    EXPECT_EQ(lit_pixels(0, 0, k_w, k_h), inside);
    // The rows just below the capitals' top and just above the baseline
    // have ink; the rows outside have none.
    EXPECT_GT(lit_pixels(x, y, w, 3), 10);
    EXPECT_GT(lit_pixels(x, y + 7 * scale - 3, w, 3), 10);
    EXPECT_EQ(lit_pixels(0, 0, k_w, y - 2), 0);
    EXPECT_EQ(lit_pixels(0, y + 7 * scale + 1, k_w, k_h - (y + 7 * scale + 1)), 0);
}

TEST_F(ViewFontScreen, DescendersStayInTheLine)
{
    // Message lines are 10 x scale apart: descenders must not reach the next.
    const int scale = 2, y = 20;
    draw_text(8, y, scale, "jpqgy Qj");
    EXPECT_GT(lit_pixels(0, y + 7 * scale, k_w, 3 * scale), 10);
    EXPECT_EQ(lit_pixels(0, y + 10 * scale, k_w, k_h - y - 10 * scale), 0);
}

TEST_F(ViewFontScreen, HudLayoutsStillShowTheirText)
{
    track::RaceSetup race;
    race.laps = 5;
    track::begin_race(race);
    HudFrame f = frame();
    core::settings().draw_fps = 1;
    core::settings().draw_speed = 1;
    f.render_stats_level = 1;
    draw_rider_overlay(f);
    draw_info_layer(f);
    core::settings().draw_fps = 0;
    core::settings().draw_speed = 0;
    save_shot("view_font_hud.png");
    EXPECT_GT(lit_pixels(10, k_h - 100, 110, 90), 500) << "pit board";
    EXPECT_GT(lit_pixels(k_w / 2 - 80, static_cast<int>(k_h * 0.3), 160, 40), 50) << "start banner";
    EXPECT_GT(lit_pixels(0, static_cast<int>(k_h * 0.45), 200, 80), 100) << "information lines";
    // The information lines stay left of the middle of the screen.
    EXPECT_EQ(lit_pixels(k_w / 2 - 40, static_cast<int>(k_h * 0.45), 60, 60), 0);
}

}  // namespace
}  // namespace zv::app
