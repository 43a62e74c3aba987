// The menus inside the main loop's ticks: keys from the event queue reach
// the open page, a page change ends the tick for keys, a binding capture
// takes the keys and completes after the tick's events, and a race that
// cannot load leaves the title screen.
#include <gtest/gtest.h>

#include <vector>

#include "app/controls.h"
#include "app/main_loop.h"
#include "app/menu.h"
#include "app/menu_fixture.h"
#include "app/menu_model.h"
#include "race/riders.h"
#include "core/settings.h"
#include "platform/events.h"
#include "platform/input.h"

namespace zv::app {
namespace {

class MenuLoopTest : public test::MenuFixture {
protected:
    MenuLoopTest()
    {
        platform::clear_events();
        bind_inputs();
        race::free_all_bikes();
        g.view = ViewMode::title;
        g.on_race_tick = [this](Game&) { ++ticks; };
    }
    ~MenuLoopTest() override
    {
        release_inputs();
        platform::clear_events();
    }
    static std::uint32_t key(const char* name) { return *platform::find_control(name); }
    // Presses (and releases) a key inside tick n of the next run.
    void press(const char* name, int tick)
    {
        const double t = start_ + (tick + 0.5) * k_tick;
        platform::push_event_at(key(name), true, platform::event_time_from_seconds(t));
        platform::push_event_at(key(name), false, platform::event_time_from_seconds(t + 0.001));
    }
    void type(int character, int tick)
    {
        const double t = start_ + (tick + 0.5) * k_tick;
        platform::push_event_at(platform::text_code(character), true, platform::event_time_from_seconds(t + 0.0005));
    }
    void run(int n)
    {
        const double now = start_ + n * k_tick;
        g.clock = FrameClock{now, 0, n * k_tick};
        run_ticks(g, now);
        start_ = now;
    }

    int ticks = 0;
    double start_ = 100.0;
};

TEST_F(MenuLoopTest, TheWayToTheTimeTrialStartByKeys)
{
    press("esc", 0);
    press("down", 0);  // same tick as the page change: dropped
    press("down", 1);
    press("down", 2);
    press("down", 3);
    press("enter", 4);
    press("down", 5);
    run(6);
    EXPECT_EQ(g.menu_page, k_menu_time_trial);
    EXPECT_EQ(menu_state().current, 1);  // "Start"
    // Without a physics world the track cannot load: the title screen stays.
    g.view = ViewMode::rider;
    press("enter", 0);
    run(1);
    EXPECT_EQ(g.menu_page, k_menu_closed);
    EXPECT_EQ(g.view, ViewMode::title);
}

TEST_F(MenuLoopTest, TypedCharactersReachTextFields)
{
    g.menu_page = k_menu_bike_setup;
    ensure_page(g);
    menu_state().current = 5;  // "Number"
    press("backspace", 0);
    // The key press of a letter is no text; its typed character is.
    press("7", 1);
    type('7', 1);
    run(2);
    EXPECT_EQ(core::settings().number.text, "997");
}

TEST_F(MenuLoopTest, CaptureTakesTheNextKeyAfterTheTicksEvents)
{
    core::Settings& s = core::settings();
    g.menu_page = k_menu_controls;
    ensure_page(g);
    menu_state().current = 1;  // "Throttle"
    press("enter", 0);
    run(1);
    ASSERT_TRUE(capturing_binding());
    g.game_clock = 1.0;
    press("q", 0);
    type('q', 0);
    press("down", 1);  // a second key: ignored, and not for the page either
    run(2);
    EXPECT_TRUE(capturing_binding());  // a quarter second must pass
    EXPECT_EQ(menu_state().current, 1);
    g.game_clock = 1.3;
    run(1);
    EXPECT_FALSE(capturing_binding());
    EXPECT_EQ(binding_code(s.throttle_key), key("q"));
    EXPECT_EQ(g.menu_page, k_menu_controls);

    // "esc" during a capture cancels it and leaves the menu open.
    press("enter", 0);
    run(1);
    ASSERT_TRUE(capturing_binding());
    press("esc", 0);
    run(1);
    EXPECT_FALSE(capturing_binding());
    EXPECT_EQ(g.menu_page, k_menu_controls);
    EXPECT_EQ(binding_code(s.throttle_key), key("q"));
}

TEST_F(MenuLoopTest, QuitPageTakesAnyKeyButEsc)
{
    g.menu_page = k_menu_quit;
    press("esc", 0);
    run(1);
    EXPECT_EQ(g.menu_page, k_menu_closed);
    EXPECT_FALSE(g.quit);
    g.menu_page = k_menu_quit;
    press("space", 0);
    run(1);
    EXPECT_TRUE(g.quit);
}

}  // namespace
}  // namespace zv::app
