// The menus' common key and pointer behaviour: moving between items, choice
// settings with wrap-around and type-ahead, sliders under the pointer, the
// chooser's list pages, the quit page and the one-page-change-per-tick rule.
#include "app/menu.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "app/controls.h"
#include "app/main_loop.h"
#include "app/menu_model.h"
#include "app/menu_pages.h"
#include "core/settings.h"
#include "app/menu_fixture.h"

namespace zv::app {
namespace {

class MenuTest : public test::MenuFixture {
protected:
    MenuTest() { g.menu_page = k_menu_main; }
    void click_at(float x, float y)
    {
        menu_pointer(g, x, y, false);
        key(UiKey::click);
    }
};

TEST_F(MenuTest, MainPageItemsAndTheWayToTheTimeTrialStart)
{
    EXPECT_EQ(labels(), (std::vector<std::string>{"New Race", "Playback Race", "Points Series", "Time Trial",
                                                  "Multiplayer", "Bike Setup", "Graphics/Sound Setup",
                                                  "Customize Controls", "Quit"}));
    key(UiKey::down);
    key(UiKey::down);
    key(UiKey::down);
    key(UiKey::enter);
    EXPECT_EQ(g.menu_page, k_menu_time_trial);
    EXPECT_EQ(labels(), (std::vector<std::string>{"Back to Main Menu", "Start", "Track", "Ghost Fade Distance",
                                                  "Backing Up Aborts Attempt"}));
    EXPECT_EQ(st().current, 0);  // a page opens on its first item
    key(UiKey::down);
    EXPECT_EQ(st().current, 1);
    // "Back to Main Menu" returns, again on the first item.
    key(UiKey::up);
    key(UiKey::enter);
    EXPECT_EQ(g.menu_page, k_menu_main);
    EXPECT_EQ(st().current, 0);
}

TEST_F(MenuTest, UpAndDownStopAtTheEnds)
{
    key(UiKey::up);
    EXPECT_EQ(st().current, 0);
    for (int i = 0; i < 20; ++i)
        key(UiKey::down);
    EXPECT_EQ(st().current, 8);  // "Quit"
    key(UiKey::down);
    EXPECT_EQ(st().current, 8);
    key(UiKey::up);
    EXPECT_EQ(st().current, 7);
}

TEST_F(MenuTest, KeysAfterAPageChangeWaitForTheNextTick)
{
    menu_begin_tick(g);
    menu_key(g, pressed(UiKey::enter));  // "New Race"
    EXPECT_EQ(g.menu_page, k_menu_new_race);
    menu_key(g, pressed(UiKey::down));
    menu_key(g, pressed(UiKey::enter));
    EXPECT_EQ(g.menu_page, k_menu_new_race);
    EXPECT_EQ(st().current, 0);
    key(UiKey::down);
    EXPECT_EQ(st().current, 1);

    // A page opened by the loop ("esc") during the tick counts as well.
    g.menu_page = k_menu_closed;
    menu_begin_tick(g);
    g.menu_page = k_menu_main;
    menu_key(g, pressed(UiKey::down));
    ensure_page(g);
    EXPECT_EQ(st().current, 0);
}

TEST_F(MenuTest, ChoicesWrapBothWays)
{
    core::Settings& s = core::settings();
    g.menu_page = k_menu_new_race;
    go_to("Robot Skill");
    ASSERT_EQ(s.skill.index, 0);
    key(UiKey::left);
    EXPECT_EQ(s.skill.index, 2);  // before the first comes the last
    key(UiKey::right);
    EXPECT_EQ(s.skill.index, 0);  // after the last comes the first
    key(UiKey::enter);
    key(UiKey::space);
    EXPECT_EQ(s.skill.index, 2);
}

TEST_F(MenuTest, TypeAheadFindsTheNextBikeHoldingTheText)
{
    core::Settings& s = core::settings();
    g.menu_page = k_menu_bike_setup;
    go_to("Bike");
    const int start = s.bike.find("crf250(2008)");
    ASSERT_GE(start, 0);
    s.bike.index = start;
    auto holds = [&](int i, std::string_view text) {
        return std::string_view(s.bike.choices[static_cast<std::size_t>(i)]).find(text) != std::string_view::npos;
    };
    // The first bike from the current one on (wrapping) whose name holds "450".
    int expected = -1;
    for (int k = 0; k < s.bike.count() && expected < 0; ++k)
        if (holds((start + k) % s.bike.count(), "450"))
            expected = (start + k) % s.bike.count();
    ASSERT_GE(expected, 0);
    type("450");
    EXPECT_EQ(s.bike.index, expected);
    EXPECT_EQ(st().type_ahead, "450");

    // Tab moves on to the next match.
    int next = -1;
    for (int k = 1; k < s.bike.count() && next < 0; ++k)
        if (holds((expected + k) % s.bike.count(), "450"))
            next = (expected + k) % s.bike.count();
    key(UiKey::tab);
    EXPECT_EQ(s.bike.index, next);

    // Letters match either case; backspace starts the text afresh.
    key(UiKey::backspace);
    EXPECT_EQ(st().type_ahead, "");
    type("KX125");
    EXPECT_STREQ(s.bike.current(), "kx125");
    // A text nothing holds leaves the choice where it is; the text keeps
    // its first 31 characters.
    type("zz");
    EXPECT_STREQ(s.bike.current(), "kx125");
    type(std::string(30, 'q'));
    EXPECT_EQ(st().type_ahead, "KX125zz" + std::string(24, 'q'));
}

TEST_F(MenuTest, TypeAheadBelongsToOneSetting)
{
    core::Settings& s = core::settings();
    g.menu_page = k_menu_new_race;
    go_to("Robot Skill");
    type("ex");
    EXPECT_EQ(s.skill.index, 2);
    key(UiKey::up);  // "Record Demo"
    type("y");
    EXPECT_EQ(st().type_ahead, "y");
    EXPECT_EQ(s.record.index, 1);
    // Back on the skill after using the laps: the text starts afresh.
    go_to("Laps");
    key(UiKey::right);
    go_to("Robot Skill");
    type("n");
    EXPECT_EQ(st().type_ahead, "n");
    EXPECT_EQ(s.skill.index, 0);  // "Novice", from "Expert" on and round
    // Tab runs on through every holder of "e" and round to the first.
    key(UiKey::backspace);
    type("e");
    for (int expected : {1, 2, 0, 1}) {
        key(UiKey::tab);
        EXPECT_EQ(s.skill.index, expected);
    }
}

TEST_F(MenuTest, SlidersTakeClicksNearTheBarOnly)
{
    core::Settings& s = core::settings();
    g.menu_page = k_menu_new_race;
    ensure_page(g);
    layout_page(st().page, 640, 480);
    const int laps = item("Laps");
    ASSERT_GE(laps, 0);
    const Widget w = st().page.items[static_cast<std::size_t>(laps)];
    ASSERT_GT(w.bar_right, w.bar_left);
    const float y = (w.rect.top + w.rect.bottom) * 0.5f;

    // 20 pixels left is too far from the bar (the laps stay 5), 10 left sets
    // the minimum; 0.3 of the bar gives 0 + round(0.3 * 50 / 1) * 1 = 15.
    for (auto [x, value] : {std::pair{w.bar_left - 20.0f, 5}, {w.bar_left - 10.0f, 0}, {w.bar_right + 10.0f, 50},
                            {w.bar_left + 0.3f * (w.bar_right - w.bar_left), 15}}) {
        click_at(x, y);
        EXPECT_EQ(std::pair(s.laps.value, st().current), std::pair(double(value), laps)) << x;
    }
    // Dragging with the button held follows the pointer.
    menu_pointer(g, w.bar_left + 0.5f * (w.bar_right - w.bar_left), y, true);
    EXPECT_EQ(s.laps.value, 25);
    // Above the row nothing happens.
    click_at(static_cast<float>(w.bar_left), static_cast<float>(w.rect.top - 200));
    EXPECT_EQ(s.laps.value, 25);
    // Keys step and clamp.
    st().current = laps;
    key(UiKey::right);
    EXPECT_EQ(s.laps.value, 26);
    s.laps.value = 50;
    key(UiKey::right);
    EXPECT_EQ(s.laps.value, 50);
}

TEST_F(MenuTest, SliderValueRoundsToTheStep)
{
    core::NumberSetting n{"Height", 0, 0.03125, 0, 1};
    // 0.51 of the way: round(0.51 / 0.03125) = 16 steps.
    for (auto [x, value] : {std::pair{150, 0.5}, {151, 0.5}, {90, 0.0}, {215, 1.0}})
        EXPECT_DOUBLE_EQ(slider_value(n, 100, 200, x), value) << x;
    core::NumberSetting sprocket{"Rear Sprocket", 0, 1, -2, 2};
    EXPECT_DOUBLE_EQ(slider_value(sprocket, 0, 40, 10), -1.0);
    // A bar without length gives the minimum.
    EXPECT_DOUBLE_EQ(slider_value(sprocket, 50, 50, 50), -2.0);
}

TEST_F(MenuTest, PointerHighlightsTheItemUnderIt)
{
    ensure_page(g);
    layout_page(st().page, 640, 480);
    const Rect r = st().page.items[4].rect;
    // Where the pointer first rests takes nothing from the keys.
    menu_pointer(g, r.left + 2.0f, r.top + 2.0f, false);
    EXPECT_EQ(st().current, 0);
    menu_pointer(g, r.left + 3.0f, r.top + 2.0f, false);
    EXPECT_EQ(st().current, 4);
    // Standing still leaves the keys in charge.
    key(UiKey::down);
    menu_pointer(g, r.left + 3.0f, r.top + 2.0f, false);
    EXPECT_EQ(st().current, 5);
    // Outside every item the highlight stays; the first item takes it too.
    menu_pointer(g, 1.0f, 1.0f, false);
    EXPECT_EQ(st().current, 5);
    menu_pointer(g, st().page.items[0].rect.left + 2.0f, st().page.items[0].rect.top + 2.0f, false);
    EXPECT_EQ(st().current, 0);
    // A click on a button activates it.
    const Rect quit = st().page.items[8].rect;
    click_at(quit.left + 2.0f, quit.top + 2.0f);
    EXPECT_EQ(g.menu_page, k_menu_quit);
}

TEST_F(MenuTest, ChooserListPagesAndTheChosenIndex)
{
    core::ChoiceSetting big{"Big", {}, 27};
    std::vector<std::string> names;
    for (int i = 0; i < 45; ++i)
        names.push_back("entry " + std::to_string(i));
    for (const std::string& n : names)
        big.choices.push_back(n.c_str());
    int chosen = -1;
    g.menu_page = k_menu_bike_setup;
    open_chooser(g, "Choose Bike", big, [&chosen](Game&, int i) { chosen = i; }, k_menu_bike_setup);
    EXPECT_EQ(g.menu_page, k_menu_chooser);
    std::vector<std::string> l = labels();
    ASSERT_EQ(l.size(), 23u);  // Cancel, Prev Page, 20 entries, Next Page
    EXPECT_EQ(st().page.title, "Choose Bike");
    EXPECT_EQ(std::tuple(l[0], l[1], l[2], l[21], l[22]),
              std::tuple("Cancel", "Prev Page", "entry 20", "entry 39", "Next Page"));

    st().current = 22;
    key(UiKey::enter);
    l = labels();
    ASSERT_EQ(l.size(), 8u);  // the last five
    EXPECT_EQ(l[2], "entry 40");
    EXPECT_EQ(st().current, 7);  // still on "Next Page"
    key(UiKey::enter);          // no page after the last
    EXPECT_EQ(labels()[2], "entry 40");
    // "down" stops at the last item: the empty rows do not count.
    key(UiKey::down);
    EXPECT_EQ(st().current, 7);
    st().current = 1;
    key(UiKey::enter);
    EXPECT_EQ(labels()[2], "entry 20");
    EXPECT_EQ(st().current, 1);

    st().current = 5;  // row 3 of list page 1
    key(UiKey::enter);
    EXPECT_EQ(chosen, 23);
    EXPECT_EQ(g.menu_page, k_menu_bike_setup);

    // Cancel goes back without choosing.
    chosen = -1;
    open_chooser(g, "Choose Bike", big, [&chosen](Game&, int i) { chosen = i; }, k_menu_bike_setup);
    key(UiKey::enter);
    EXPECT_EQ(g.menu_page, k_menu_bike_setup);
    EXPECT_EQ(chosen, -1);
}

TEST_F(MenuTest, ChoosingFromARealSettingSelectsIt)
{
    core::Settings& s = core::settings();
    g.menu_page = k_menu_bike_setup;
    go_to("Helmet");
    s.head_texture.choices = {"default", "red", "blue"};
    key(UiKey::enter);
    ASSERT_EQ(g.menu_page, k_menu_chooser);
    ensure_page(g);
    EXPECT_EQ(st().page.title, "Choose Helmet");
    st().current = 4;  // "blue"
    key(UiKey::enter);
    EXPECT_EQ(g.menu_page, k_menu_bike_setup);
    EXPECT_STREQ(s.head_texture.current(), "blue");
    s.head_texture.choices = {"default"};
    s.head_texture.index = 0;
}

TEST_F(MenuTest, QuitPageEndsOnAnyKeyButEsc)
{
    g.menu_page = k_menu_quit;
    key(UiKey::drag);  // pointer movement is no key
    EXPECT_FALSE(g.quit);
    key(typed('q'));
    EXPECT_TRUE(g.quit);
    g.quit = false;
    key(UiKey::other);
    EXPECT_TRUE(g.quit);
}

TEST_F(MenuTest, TextFieldsEditTheSetting)
{
    core::Settings& s = core::settings();
    g.menu_page = k_menu_bike_setup;
    go_to("Number");
    ASSERT_EQ(s.number.text, "999");
    key(UiKey::backspace);
    key(UiKey::backspace);
    type("12");
    EXPECT_EQ(s.number.text, "912");
    type("3");  // three characters at most
    EXPECT_EQ(s.number.text, "912");
}

TEST_F(MenuTest, StabilityPresetFollowsWholeNumbersAndStarOpensTheAids)
{
    core::Settings& s = core::settings();
    s.stability.value = 50.5;
    s.stability.step = 0.25;  // quarter steps keep the whole number a while
    s.roll_damping.value = 55;
    g.menu_page = k_menu_bike_setup;
    go_to("Stability");
    key(UiKey::left);
    key(UiKey::left);
    EXPECT_DOUBLE_EQ(s.stability.value, 50);
    EXPECT_EQ(s.roll_damping.value, 55);  // still 50: the aids stay
    key(UiKey::left);                     // 49.75: the preset again
    EXPECT_NEAR(s.roll_damping.value, 64.875, 1e-9);
    key(typed('*'));
    EXPECT_EQ(g.menu_page, k_menu_stability);
    s.stability.step = 1;
}

}  // namespace
}  // namespace zv::app
