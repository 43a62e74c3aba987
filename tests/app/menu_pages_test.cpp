// What the pages hold and do: item order, the line-up rotation after
// "Start", the graphics presets line, the playback page's same-file rule, the
// multiplayer page's server history, and capturing a binding.
#include "app/menu.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "app/controls.h"
#include "app/main_loop.h"
#include "app/menu_capture.h"
#include "app/menu_model.h"
#include "app/menu_pages.h"
#include "app/startup.h"
#include "app/startup_flags.h"
#include "core/messages.h"
#include "core/settings.h"
#include "platform/input.h"
#include "app/menu_fixture.h"

namespace zv::app {
namespace {

class MenuPagesTest : public test::MenuFixture {
protected:
    MenuPagesTest() { bind_inputs(); }
    ~MenuPagesTest() override
    {
        release_inputs();
        startup_flags().lineup_rotation = 0;
        startup_lists().demos = {};
    }
    std::vector<int> gates()
    {
        std::vector<int> out;
        for (const core::ChoiceSetting& c : core::settings().slots)
            out.push_back(c.index);
        return out;
    }
};

TEST_F(MenuPagesTest, PagesListTheirItemsInOrder)
{
    std::vector<std::string> race = labels(k_menu_new_race);
    ASSERT_EQ(race.size(), 47u);
    EXPECT_EQ(std::vector<std::string>(race.begin(), race.begin() + 8),
              (std::vector<std::string>{"Back to Main Menu", "Start", "Track", "Record Demo", "Robot Skill", "Minutes",
                                        "Laps", "Gate 1"}));
    EXPECT_EQ(race.back(), "Gate 40");
    // Gates 1-20 and 21-40 stand in two columns of 20.
    const Page& p = menu_state().page;
    EXPECT_EQ(std::tuple(p.items[7].column, p.items[27].column, p.items[7].row), std::tuple(0, 1, p.items[27].row));

    // {page, item count, some items by place}
    struct Sample {
        int page;
        std::size_t count;
        std::vector<std::pair<std::size_t, const char*>> items;
    };
    const Sample samples[] = {
        {k_menu_controls, 21, {{1, "Throttle"}, {20, "Screenshot"}}},
        {k_menu_bike_setup, 25, {{3, "Bike"}, {10, "Stability"}, {15, "Arcade Physics"}, {24, "Lean Indicator"}}},
        {k_menu_suspension, 21, {{5, "Fork Spring Rate"}, {20, "Rider Mass Distribution"}}},
        {k_menu_stability, 16, {{15, "Restricted Lock Angle"}}},
        {k_menu_graphics, 17, {{7, "Switch To Selected Mode Now"}, {16, "Competitor Volume"}}},
        {k_menu_advanced_graphics, 13, {{6, "Terrain Rendering Method"}}}};
    for (const Sample& sample : samples) {
        const std::vector<std::string> items = labels(sample.page);
        ASSERT_EQ(items.size(), sample.count) << "page " << sample.page;
        for (const auto& [at, label] : sample.items)
            EXPECT_EQ(items[at], label) << "page " << sample.page;
    }
    EXPECT_EQ(labels(k_menu_multiplayer),
              (std::vector<std::string>{"Back to Main Menu", "Connect", "Request Restart", "Server"}));
    EXPECT_EQ(labels(k_menu_standings),
              (std::vector<std::string>{"Back to Points Series List", "Enter Next Event", "Practice Next Event",
                                        "Reset Points"}));
    EXPECT_TRUE(labels(k_menu_quit).empty());
}

TEST_F(MenuPagesTest, EveryPageFitsASmallWindow)
{
    DemoList& demos = startup_lists().demos;
    for (int i = 0; i < 30; ++i) {
        demos.paths.push_back("demos/d" + std::to_string(i) + ".zvdemo");
        demos.names.push_back("demo number " + std::to_string(i));
    }
    for (int page : {k_menu_main, k_menu_new_race, k_menu_playback, k_menu_series, k_menu_standings,
                     k_menu_time_trial, k_menu_bike_setup, k_menu_suspension, k_menu_stability, k_menu_controls,
                     k_menu_graphics, k_menu_advanced_graphics, k_menu_multiplayer, k_menu_quit}) {
        labels(page);
        Page& p = menu_state().page;
        const int notes = p.notes ? static_cast<int>(p.notes(g).size()) : 0;
        const int table = p.table ? 2 : 0;
        for (auto [w, h] : {std::pair{640, 480}, std::pair{1280, 720}}) {
            PageLayout l = layout_page(p, w, h, notes + table);
            for (const Widget& item : p.items) {
                EXPECT_LE(item.rect.bottom, h) << page << " " << item.shown_label();
                EXPECT_LE(item.rect.right, w) << page << " " << item.shown_label();
                EXPECT_GT(item.rect.bottom, item.rect.top);
            }
            EXPECT_LE(l.notes_top + (notes + table) * l.line_height, h) << page;
        }
    }
}

TEST_F(MenuPagesTest, SuspensionShowsPhysicalValues)
{
    labels(k_menu_suspension);
    const Page& p = menu_state().page;
    ASSERT_TRUE(p.items[5].detail);
    EXPECT_NE(p.items[5].detail().find(" kg/mm"), std::string::npos);
    EXPECT_NE(p.items[6].detail().find(" mm"), std::string::npos);
    // The sprocket shows the teeth with the adjustment added.
    core::settings().rear_sprocket_adjustment.value = -2;
    const std::string teeth = p.items[15].detail();
    EXPECT_NE(teeth.find(" teeth"), std::string::npos);
    EXPECT_NE(teeth.find(".00"), std::string::npos);
}

TEST_F(MenuPagesTest, StartTurnsTheLineUpByTheRotation)
{
    core::Settings& s = core::settings();
    const std::vector<int> first = gates();
    startup_flags().lineup_rotation = 1;
    go_to(k_menu_new_race, "Start");
    key(UiKey::enter);
    EXPECT_EQ(g.menu_page, k_menu_closed);
    std::vector<int> second = gates();
    for (int i = 0; i < core::k_gate_count; ++i)
        EXPECT_EQ(second[static_cast<std::size_t>((i + 1) % core::k_gate_count)], first[static_cast<std::size_t>(i)]) << i;
    // Gate 20 was the human; it is gate 21 now, and 22 after the next start.
    EXPECT_EQ(s.slots[20].index, core::gate_human);
    start_race(g);
    EXPECT_EQ(s.slots[21].index, core::gate_human);
    EXPECT_EQ(s.slots[19].index, core::gate_robot);  // gate 18's robot, two gates on

    // Without a rotation the line-up stays; a negative one turns back.
    startup_flags().lineup_rotation = 0;
    const std::vector<int> before = gates();
    start_race(g);
    EXPECT_EQ(gates(), before);
    startup_flags().lineup_rotation = -2;
    start_race(g);
    EXPECT_EQ(s.slots[19].index, core::gate_human);
    // The gate at the end comes round to the front.
    s.slots[39].index = core::gate_robot_4stroke;
    startup_flags().lineup_rotation = 1;
    start_race(g);
    EXPECT_EQ(s.slots[0].index, core::gate_robot_4stroke);
}

TEST_F(MenuPagesTest, GateTableHoldsTheFortyGatesOnly)
{
    core::settings().slots[0].index = core::gate_robot;
    race::GateKinds t = gate_table_from_choices();
    EXPECT_EQ(t[0], core::gate_robot);
    EXPECT_EQ(t[19], core::gate_human);
    for (std::size_t i = 40; i < t.size(); ++i)
        EXPECT_EQ(t[i], core::gate_empty);
}

TEST_F(MenuPagesTest, PresetsLineNamesTheMatchingPreset)
{
    core::apply_graphics_preset(core::k_graphics_presets[2]);
    EXPECT_EQ(current_settings_line(), "Current Settings: Normal");
    go_to(k_menu_graphics, "Use High FPS Settings");
    key(UiKey::enter);
    EXPECT_EQ(current_settings_line(), "Current Settings: High FPS");
    go_to(k_menu_graphics, "Use High Detail Settings");
    key(UiKey::enter);
    EXPECT_EQ(current_settings_line(), "Current Settings: High Detail");
    // One change away from every preset.
    go_to(k_menu_advanced_graphics, "Roost Density");
    key(UiKey::left);
    EXPECT_EQ(current_settings_line(), "Current Settings: Custom");
    go_to(k_menu_graphics, "Use Compatibility Settings");
    key(UiKey::enter);
    EXPECT_EQ(current_settings_line(), "Current Settings: Compatibility");
    // The page's notes carry the line and the driver strings.
    labels(k_menu_graphics);
    std::vector<std::string> notes = menu_state().page.notes(g);
    ASSERT_GE(notes.size(), 6u);
    EXPECT_EQ(std::vector<std::string>(notes.begin(), notes.begin() + 3),
              (std::vector<std::string>{"Current Settings: Compatibility",
                                        "Some settings will not take effect until next restart", "Driver info:"}));
}

TEST_F(MenuPagesTest, RenderingMethodsNeedTheirDriverFeatures)
{
    // No context in the tests: the driver offers nothing.
    for (auto [method, available] : {std::pair{0, true}, {2, false}, {4, false}, {7, false}})
        EXPECT_EQ(render_method_available(method), available) << method;
    labels(k_menu_advanced_graphics);
    const Page& p = menu_state().page;
    core::settings().render_texture.index = 0;
    EXPECT_EQ(p.items[6].detail(), "Available");
    core::settings().render_texture.index = 4;
    EXPECT_EQ(p.items[6].detail(), "Not Available");
    core::settings().use_shader.index = 1;
    EXPECT_EQ(p.items[7].detail(), "Not Available");
    core::settings().use_shader.index = 0;
    EXPECT_EQ(p.items[7].detail(), "Available");
}

TEST_F(MenuPagesTest, PlayingTheRecordingTargetDisablesRecording)
{
    core::Settings& s = core::settings();
    DemoList& demos = startup_lists().demos;
    demos.paths = {"demos/default.zvdemo", "demos/race.zvdemo"};
    demos.names = {"default", "race"};
    std::vector<std::string> l = labels(k_menu_playback);
    EXPECT_EQ(l, (std::vector<std::string>{"Back to Main Menu", "Playback Mode", "Prev Page", "default", "race",
                                           "Next Page"}));
    s.playback_mode.index = 1;
    s.record.index = 1;
    menu_state().current = 3;
    key(UiKey::enter);
    EXPECT_EQ(g.menu_page, k_menu_closed);
    EXPECT_EQ(menu_demo_argument(), "@demos/default.zvdemo");
    bool warned = false;
    for (int i = 0; i < core::messages_on_screen(); ++i)
        warned |= std::string(core::message_line(i)) == "Can't record and play from same file - recording disabled";
    EXPECT_TRUE(warned);

    go_to(k_menu_playback, "race");
    key(UiKey::enter);
    EXPECT_EQ(menu_demo_argument(), "@demos/race.zvdemo");
}

TEST_F(MenuPagesTest, DemoListTurnsPages)
{
    DemoList& demos = startup_lists().demos;
    for (int i = 0; i < 25; ++i) {
        demos.paths.push_back("demos/d" + std::to_string(i) + ".zvdemo");
        demos.names.push_back("d" + std::to_string(i));
    }
    std::vector<std::string> l = labels(k_menu_playback);
    ASSERT_EQ(l.size(), 24u);  // back, mode, prev, 20, next
    menu_state().current = 23;
    key(UiKey::enter);
    l = labels(k_menu_playback);
    ASSERT_EQ(l.size(), 9u);
    EXPECT_EQ(l[3], "d20");
    EXPECT_EQ(menu_state().current, 8);
    menu_state().current = 2;
    key(UiKey::enter);
    EXPECT_EQ(labels(k_menu_playback)[3], "d0");
    EXPECT_EQ(menu_state().current, 2);
    // Leaving and coming back opens the first list page.
    menu_state().current = 23;
    key(UiKey::enter);
    EXPECT_EQ(labels(k_menu_main)[0], "New Race");
    EXPECT_EQ(labels(k_menu_playback)[3], "d0");
}

TEST_F(MenuPagesTest, ConnectPushesTheServerHistory)
{
    core::Settings& s = core::settings();
    s.server_name.set("one.example");
    go_to(k_menu_multiplayer, "Connect");
    key(UiKey::enter);
    EXPECT_EQ(menu_connect_target(), std::optional<std::string>("one.example"));
    EXPECT_EQ(s.server_history[0].text, "one.example");
    s.server_name.set("two.example:7777");
    key(UiKey::enter);
    EXPECT_EQ(s.server_history[0].text, "two.example:7777");
    EXPECT_EQ(s.server_history[1].text, "one.example");
    key(UiKey::enter);  // already entry 0: no new entry
    EXPECT_EQ(s.server_history[1].text, "one.example");

    // "page up" walks to older entries, passing over an entry 0 equal to the
    // field; "page down" comes back.
    go_to(k_menu_multiplayer, "Server");
    key(UiKey::page_up);
    EXPECT_EQ(s.server_name.text, "one.example");
    EXPECT_EQ(s.server_history_selected, 1);
    key(UiKey::page_up);  // nothing older
    EXPECT_EQ(s.server_name.text, "one.example");
    key(UiKey::page_down);
    EXPECT_EQ(s.server_name.text, "two.example:7777");
    EXPECT_EQ(s.server_history_selected, 0);

    // Connected, the item disconnects.
    g.connected = true;
    labels(k_menu_multiplayer);
    EXPECT_EQ(menu_state().page.items[1].shown_label(), "Disconnect");
    menu_state().current = 1;
    key(UiKey::enter);
    EXPECT_FALSE(g.connected);
    EXPECT_FALSE(menu_connect_target());
    EXPECT_STREQ(core::message_line(0), "Disconnected");
    // The rider list has its columns and no riders.
    MenuTable t = menu_state().page.table(g);
    EXPECT_EQ(t.header, (std::vector<std::string>{"No.", "Slot", "Ping", "Bike", "Name"}));
    EXPECT_TRUE(t.rows.empty());
}

// ---- binding capture ----

struct FakeAxes {
    std::map<std::uint32_t, float> raw;
    AxisReader reader()
    {
        return [this](std::uint32_t code) { return raw[code]; };
    }
};

TEST(MenuCapture, AKeyBindsAfterAQuarterSecond)
{
    core::Binding b{"Throttle", "x"};
    b.axis_name = "old axis";
    BindingCapture c;
    FakeAxes axes;
    begin_capture(c, b, {}, axes.reader(), 1.0);
    EXPECT_EQ(check_capture(c, axes.reader(), 1.5), CaptureOutcome::waiting);
    c.key_recorded = true;
    c.key_name = "q";
    c.key_time = 2.0;
    EXPECT_EQ(check_capture(c, axes.reader(), 2.25), CaptureOutcome::waiting);
    EXPECT_EQ(check_capture(c, axes.reader(), 2.26), CaptureOutcome::key);
    EXPECT_STREQ(b.key_name, "q");
    EXPECT_EQ(b.axis_name, nullptr);
}

TEST(MenuCapture, AnAxisThatTravelledAndRestedBindsWithItsRange)
{
    core::Binding b{"Throttle", "x"};
    b.key_name = "x";
    FakeAxes axes;
    const std::uint32_t stick = platform::axis_code(2, 1), other = platform::axis_code(2, 0);
    axes.raw[stick] = -8192;  // b = -0.25
    BindingCapture c;
    begin_capture(c, b, {AxisWatch{other, "Joystick1 axis 0"}, AxisWatch{stick, "Joystick1 axis 1"}},
                  axes.reader(), 0.0);
    axes.raw[stick] = 16384;  // 0.5: 0.75 from the start
    EXPECT_EQ(check_capture(c, axes.reader(), 0.1), CaptureOutcome::waiting);
    axes.raw[stick] = 8192;   // closer again: the wait goes on from 0.1
    EXPECT_EQ(check_capture(c, axes.reader(), 0.3), CaptureOutcome::waiting);
    axes.raw[stick] = 24576;  // 0.75: a new extreme restarts the wait
    EXPECT_EQ(check_capture(c, axes.reader(), 0.36), CaptureOutcome::waiting);
    EXPECT_EQ(check_capture(c, axes.reader(), 0.6), CaptureOutcome::waiting);
    EXPECT_EQ(check_capture(c, axes.reader(), 0.62), CaptureOutcome::axis);
    EXPECT_STREQ(b.axis_name, "Joystick1 axis 1");
    EXPECT_EQ(b.key_name, nullptr);
    // low = b + (c - b) * 0.0625, high = b + (c - b) * 0.9375 with b -0.25, c 0.75.
    EXPECT_FLOAT_EQ(b.low, -0.1875f);
    EXPECT_FLOAT_EQ(b.high, 0.6875f);
    EXPECT_TRUE(c.axes.empty());
}

TEST(MenuCapture, SmallMovesAndAxesBeatKeys)
{
    core::Binding b{"Clutch", "z"};
    FakeAxes axes;
    const std::uint32_t stick = platform::axis_code(2, 0);
    BindingCapture c;
    begin_capture(c, b, {AxisWatch{stick, "Joystick1 axis 0"}}, axes.reader(), 0.0);
    axes.raw[stick] = 16000;  // under half the range
    EXPECT_EQ(check_capture(c, axes.reader(), 1.0), CaptureOutcome::waiting);
    // An axis that is ready wins over a key that is ready too.
    axes.raw[stick] = -20000;
    check_capture(c, axes.reader(), 1.0);
    c.key_recorded = true;
    c.key_name = "z";
    c.key_time = 0.0;
    EXPECT_EQ(check_capture(c, axes.reader(), 1.5), CaptureOutcome::axis);
    EXPECT_LT(b.high, b.low);  // a stick pushed down reads as a reversed range
}

TEST_F(MenuPagesTest, CaptureFromTheControlsPage)
{
    core::Settings& s = core::settings();
    const std::uint32_t q = *platform::find_control("Q");
    go_to(k_menu_controls, "Throttle");
    g.game_clock = 5.0;
    key(UiKey::enter);
    ASSERT_TRUE(capturing_binding());
    // Typed characters are no key presses.
    capture_key(platform::text_code('a'), 5.0);
    capture_key(q, 5.1);
    capture_key(*platform::find_control("W"), 5.2);  // one key per capture
    g.game_clock = 5.3;
    finish_capture_tick(g);
    EXPECT_TRUE(capturing_binding());
    g.game_clock = 5.36;
    finish_capture_tick(g);
    EXPECT_FALSE(capturing_binding());
    EXPECT_STREQ(s.throttle_key.key_name, platform::control_name(q).c_str());
    EXPECT_EQ(binding_code(s.throttle_key), q);

    // "esc" cancels and keeps the binding.
    key(UiKey::enter);
    ASSERT_TRUE(capturing_binding());
    capture_key(fixed_keys().esc, 6.0);
    EXPECT_FALSE(capturing_binding());
    EXPECT_EQ(binding_code(s.throttle_key), q);
}

}  // namespace
}  // namespace zv::app
