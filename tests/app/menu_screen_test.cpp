// The menus on a real (virtual) screen: the main page's items and its
// fading notice, the highlight band, and a crowded page that still fits.
// Needs a display (run under xvfb-run); skipped otherwise.
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/main_loop.h"
#include "app/menu.h"
#include "app/menu_fixture.h"
#include "app/menu_model.h"
#include "app/screenshot_png.h"
#include "app/startup.h"
#include "core/settings.h"
#include "support/screen_window.h"

// The GL driver's exit leaks have no module left to name (see the world
// screen test).
extern "C" const char* __lsan_default_options() { return "detect_leaks=0"; }

namespace zv::app {
namespace {

constexpr int k_w = 640, k_h = 480;

int lit_pixels(int x, int y, int w, int h) { return test::lit_pixels(x, y, w, h, k_h, 200); }

void save_shot(const char* name) { test::save_shot(name, k_w, k_h); }

class MenuScreen : public test::MenuFixture {
protected:
    static void SetUpTestSuite()
    {
        ready_ = test::open_screen_window(k_w, k_h);
    }
    static void TearDownTestSuite()
    {
        reset_menu_state();
        test::close_screen_window();
    }
    void SetUp() override
    {
        if (!ready_)
            GTEST_SKIP() << "needs a display";
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    }
    static inline bool ready_ = false;
};

TEST_F(MenuScreen, MainPageShowsItsItemsAndTheNotice)
{
    g.menu_page = k_menu_main;
    g.game_clock = 0;
    draw_menu(g, k_w, k_h);
    save_shot("menu_main.png");
    const Page& p = menu_state().page;
    ASSERT_EQ(p.items.size(), 9u);
    for (const Widget& w : p.items)
        EXPECT_GT(lit_pixels(w.rect.left, w.rect.top, w.rect.right - w.rect.left, w.rect.bottom - w.rect.top), 40)
            << w.shown_label();
    // The notice at the bottom, then gone after ten seconds.
    EXPECT_GT(lit_pixels(0, k_h - 60, k_w, 60), 100);
    glClear(GL_COLOR_BUFFER_BIT);
    g.game_clock = 10.5;
    draw_menu(g, k_w, k_h);
    EXPECT_EQ(lit_pixels(0, k_h - 60, k_w, 60), 0);
}

TEST_F(MenuScreen, TheCrowdedRacePageFitsTheWindow)
{
    g.menu_page = k_menu_new_race;
    draw_menu(g, k_w, k_h);
    save_shot("menu_race.png");
    const Page& p = menu_state().page;
    for (const Widget& w : p.items) {
        EXPECT_LE(w.rect.bottom, k_h) << w.shown_label();
        EXPECT_LE(w.rect.right, k_w) << w.shown_label();
    }
    const Widget& last = p.items.back();  // "Gate 40"
    EXPECT_GT(lit_pixels(last.rect.left, last.rect.top, last.rect.right - last.rect.left,
                         last.rect.bottom - last.rect.top),
              20);
}

TEST_F(MenuScreen, StandingsTableUnderTheButtons)
{
    Series s;
    s.file = "cup.series";
    s.name = "Screen Cup";
    for (int r = 0; r < 30; ++r)
        s.riders.push_back(10 + r);
    for (int e = 0; e < 3; ++e) {
        SeriesEvent ev;
        ev.name = "Round " + std::to_string(e / 2 + 1);
        for (int p = 0; p < 40; ++p)
            ev.points[static_cast<std::size_t>(p)] = 40 - p;
        s.events.push_back(ev);
    }
    s.totals.assign(31, 0);
    for (int e = 0; e < 2; ++e) {
        std::vector<int> row;
        for (int r = 0; r < 31; ++r)
            row.push_back((r + e * 7) % 31);
        for (int r = 0; r < 31; ++r)
            s.totals[static_cast<std::size_t>(r)] += 40 - row[static_cast<std::size_t>(r)];
        s.standings.push_back(row);
    }
    startup_lists().series = {s};
    menu_state().series = 0;
    g.menu_page = k_menu_standings;
    draw_menu(g, k_w, k_h);
    save_shot("menu_standings.png");
    // The table fills the lower half, down to the window's edge at most.
    EXPECT_GT(lit_pixels(0, k_h / 2, k_w, k_h / 2), 2000);
    startup_lists().series.clear();
}

TEST_F(MenuScreen, EveryPageDrawsItsTitleAndItems)
{
    for (int page : {k_menu_playback, k_menu_series, k_menu_time_trial, k_menu_bike_setup, k_menu_suspension,
                     k_menu_stability, k_menu_controls, k_menu_graphics, k_menu_advanced_graphics,
                     k_menu_multiplayer, k_menu_quit}) {
        glClear(GL_COLOR_BUFFER_BIT);
        g.menu_page = page;
        draw_menu(g, k_w, k_h);
        save_shot(("menu_page" + std::to_string(page) + ".png").c_str());
        EXPECT_GT(lit_pixels(0, 0, k_w, 60), 30) << "title of page " << page;
        for (const Widget& w : menu_state().page.items)
            EXPECT_GT(lit_pixels(w.rect.left, w.rect.top, w.rect.right - w.rect.left, w.rect.bottom - w.rect.top), 10)
                << page << " " << w.shown_label();
    }
}

TEST_F(MenuScreen, NothingIsDrawnWithTheMenuClosed)
{
    g.menu_page = k_menu_closed;
    draw_menu(g, k_w, k_h);
    EXPECT_EQ(lit_pixels(0, 0, k_w, k_h), 0);
}

}  // namespace
}  // namespace zv::app
