// Setting records, number scanning, the stability and graphics presets, the
// video mode list, the server history and the bike names.
#include "core/bike_names.h"
#include "core/settings.h"
#include "support/expect_rows.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <set>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace zv::core {
namespace {

class SettingsTest : public ::testing::Test {
protected:
    void SetUp() override { reset_settings(); }
    void TearDown() override { reset_settings(); }
    Settings& s = settings();
};

TEST(ScanTest, IntegersReadLikePercentD)
{
    const std::pair<const char*, int> good[] = {{"  -42abc", -42}, {"+7", 7}, {"\t12 34", 12},
                                                {"99999999999999999999999", INT_MAX}, {"-99999999999", INT_MIN}};
    for (const auto& [text, want] : good) {
        int v = 99;
        EXPECT_TRUE(scan_int(text, v)) << text;
        EXPECT_EQ(v, want) << text;
    }
    for (const char* bad : {"", "abc", "+-3", "- 3"}) {
        int v = 5;
        EXPECT_FALSE(scan_int(bad, v)) << bad;
        EXPECT_EQ(v, 5) << bad;
    }
}

TEST(ScanTest, NumbersReadLikePercentF)
{
    const std::pair<const char*, double> good[] = {{" 0.0625xyz", 0.0625}, {"-3e2", -300.0}, {"+.5", 0.5}, {"12", 12.0}};
    for (const auto& [text, want] : good) {
        double v = 0;
        EXPECT_TRUE(scan_number(text, v)) << text;
        EXPECT_DOUBLE_EQ(v, want) << text;
    }
    // "nan" would poison every clamp.
    for (const char* bad : {"", "x1", "nan", "."}) {
        double v = 1.5;
        EXPECT_FALSE(scan_number(bad, v)) << bad;
        EXPECT_DOUBLE_EQ(v, 1.5) << bad;
    }
}

TEST_F(SettingsTest, NumberParseClampsAndKeepsOldValueOnFailure)
{
    EXPECT_TRUE(s.laps.parse("75"));
    EXPECT_EQ(s.laps.value, 50);
    EXPECT_TRUE(s.laps.parse("-3"));
    EXPECT_EQ(s.laps.value, 0);
    EXPECT_TRUE(s.laps.parse("7.5 laps"));
    EXPECT_EQ(s.laps.value, 7.5);
    EXPECT_FALSE(s.laps.parse("many"));
    EXPECT_EQ(s.laps.value, 7.5);
    EXPECT_TRUE(s.rider_mass_distribution.parse("0.2"));
    EXPECT_DOUBLE_EQ(s.rider_mass_distribution.value, 0.33);
    EXPECT_TRUE(s.fov.parse("-inf"));
    EXPECT_EQ(s.fov.value, 10);
}

TEST_F(SettingsTest, MapScaleIsClamped)
{
    set_map_scale(20);
    EXPECT_EQ(s.map_scale, 8.0f);
    set_map_scale(0.0);
    EXPECT_EQ(s.map_scale, 0.125f);
    set_map_scale(2.5);
    set_map_scale(std::nan(""));
    EXPECT_EQ(s.map_scale, 2.5f);
}

TEST_F(SettingsTest, ChoiceParseIsExactAndCaseSensitive)
{
    EXPECT_FALSE(s.skill.parse("expert"));
    EXPECT_EQ(s.skill.index, 0);
    EXPECT_FALSE(s.skill.parse("Expert "));
    EXPECT_FALSE(s.skill.parse(""));
    EXPECT_TRUE(s.skill.parse("Expert"));
    EXPECT_EQ(s.skill.index, 2);
    EXPECT_STREQ(s.skill.current(), "Expert");
    s.skill.index = 7;  // off the list
    EXPECT_STREQ(s.skill.current(), "");
}

TEST_F(SettingsTest, TextIsCutToItsLength)
{
    s.number.set("12345");
    EXPECT_EQ(s.number.text, "123");
    std::string long_name(100, 'n');
    s.name.set(long_name);
    EXPECT_EQ(s.name.text.size(), 63u);
    s.server_name.set(std::string(200, 'h'));
    EXPECT_EQ(s.server_name.text.size(), 127u);
}

TEST_F(SettingsTest, DefaultsOfGatesAndBindings)
{
    std::string kinds;
    for (const ChoiceSetting& g : s.slots)
        kinds += static_cast<char>('0' + g.index);
    // Gates 18, 19, 21, 22, 23 robots (2), gate 20 the player (1).
    EXPECT_EQ(kinds, "0000000000000000022122200000000000000000");
    EXPECT_STREQ(s.slots[0].label, "Gate 1");
    EXPECT_STREQ(s.slots[39].label, "Gate 40");
    EXPECT_STREQ(s.slots[19].current(), "Human");
    ASSERT_EQ(s.slots[0].count(), 5);
    EXPECT_STREQ(s.slots[0].choices[4], "Robot (4 stroke)");

    EXPECT_EQ(s.throttle_key.axis_name, nullptr);
    EXPECT_EQ((std::vector<std::string>{s.dab_key.key_name, s.rewind_key.key_name, s.track, s.server_name.text,
                                        s.bike.current(), s.video_mode.current()}),
              (std::vector<std::string>{"right ctrl", "\\", "rabbithill", "race.zarvox.org", "450sxf(2017)",
                                        "Default Fullscreen"}));
}

TEST_F(SettingsTest, KeyTableHasEveryKeyOnce)
{
    std::set<std::string> keys;
    int written = 0, setup = 0, bindings = 0;
    for (const SettingEntry& e : setting_table()) {
        EXPECT_TRUE(keys.insert(e.key).second) << e.key;
        written += e.written;
        setup += e.group == SettingGroup::setup;
        bindings += e.group == SettingGroup::binding;
    }
    EXPECT_EQ(setup, 57);
    EXPECT_EQ(bindings, 20);
    // 12 race keys + 40 gates, 57 setup, video/server/16 history, 22 display
    // and sound keys, 4 plain values, 20 bindings.
    EXPECT_EQ(written, 12 + 40 + 2 + 57 + 18 + 22 + 4 + 20);
    EXPECT_EQ(static_cast<int>(keys.size()), written + 2);
    EXPECT_EQ(find_setting("use_fbo")->written, false);
    EXPECT_EQ(find_setting("Laps"), nullptr);
    EXPECT_EQ(std::get<NumberSetting*>(find_setting("laps")->ref), &s.laps);
}

TEST_F(SettingsTest, StabilityEndsGiveThePresetColumns)
{
    apply_stability(0);
    test::expect_rows<double>("stability 0", {{s.roll_damping.value, 40}, {s.roll_limit_angle.value, 90},
                                              {s.roll_limit_factor.value, 0}, {s.direct_steering.value, 1},
                                              {s.slow_damping_factor.value, 1}, {s.land_damping_falloff.value, 0},
                                              {s.land_damping_factor.value, 1}, {s.restricted_lock.value, 45}});
    apply_stability(100);
    test::expect_rows<double>("stability 100", {{s.roll_damping.value, 80}, {s.roll_limit_angle.value, 35},
                                                {s.roll_limit_factor.value, 32}, {s.direct_steering.value, 0},
                                                {s.restricted_lock.value, 5}});

    apply_stability(-40);  // below the table: P0
    EXPECT_EQ(s.roll_damping.value, 40);
    apply_stability(300);  // above: P5
    EXPECT_EQ(s.direct_steering.value, 0);
    EXPECT_EQ(s.roll_damping.value, 80);
}

TEST_F(SettingsTest, StabilityInterpolatesBetweenPoints)
{
    // 50 lies halfway between P2 (40) and P3 (60): roll damping 60 .. 70,
    // limit angle 45 .. 40, limit factor 10 .. 32, slow damping 1.5 .. 2,
    // restricted lock 10 .. 5.
    apply_stability(50);
    test::expect_double_rows("stability 50", {{s.roll_damping.value, 65}, {s.roll_limit_angle.value, 42.5},
                                              {s.roll_limit_factor.value, 21}, {s.slow_damping_factor.value, 1.75},
                                              {s.restricted_lock.value, 7.5}, {s.direct_steering.value, 1},
                                              {s.leveling.value, 20}});
    // 90: halfway between P4 (80) and P5 (100): roll damping 75 .. 80,
    // direct steering 1 .. 0.
    apply_stability(90);
    test::expect_double_rows("stability 90", {{s.roll_damping.value, 77.5}, {s.direct_steering.value, 0.5}});
    // 30: halfway between P1 and P2.
    apply_stability(30);
    test::expect_double_rows("stability 30", {{s.land_damping_falloff.value, 0.1875},
                                              {s.land_damping_factor.value, 1.75}, {s.restricted_lock.value, 12.5},
                                              {s.roll_limit_factor.value, 7.5}});
}

TEST_F(SettingsTest, DefaultsEqualTheStartUpPresets)
{
    // The aids' defaults are the stability-100 column and the graphics
    // defaults are "Compatibility".
    Settings before = s;
    apply_stability(0);
    apply_stability(100);
    test::expect_rows<double>("stability 100", {{s.roll_damping.value, before.roll_damping.value},
                                                {s.land_damping_falloff.value, before.land_damping_falloff.value},
                                                {s.direct_steering.value, before.direct_steering.value},
                                                {s.restricted_lock.value, before.restricted_lock.value}});
    ASSERT_NE(matching_graphics_preset(), nullptr);
    EXPECT_STREQ(matching_graphics_preset()->name, "Compatibility");
}

TEST_F(SettingsTest, GraphicsPresetsApplyAndAreRecognised)
{
    for (const GraphicsPreset& p : k_graphics_presets) {
        apply_graphics_preset(p);
        ASSERT_EQ(matching_graphics_preset(), &p) << p.name;
    }
    // "High Detail" is the last one applied.
    EXPECT_EQ(s.ground_detail.value, 90);
    EXPECT_STREQ(s.ground_texture_dim.current(), "256x256");
    EXPECT_STREQ(s.render_texture.current(), "Shaders/Direct");
    apply_graphics_preset(k_graphics_presets[1]);
    EXPECT_STREQ(s.render_texture.current(), "Hardware/Direct");
    EXPECT_STREQ(s.use_shader.current(), "No");
    EXPECT_EQ(s.roost_density.value, 0);
    s.model_detail.value = 26;  // one value off any preset
    EXPECT_EQ(matching_graphics_preset(), nullptr);
    apply_graphics_preset(compatibility_preset());
    EXPECT_STREQ(matching_graphics_preset()->name, "Compatibility");
}

TEST_F(SettingsTest, VideoModesKeepOneDepthAndOneEntryPerSize)
{
    const VideoMode modes[] = {
        {1024, 768, 32}, {800, 600, 32}, {1024, 768, 32}, {640, 480, 16}, {1920, 1080, 32}};
    s.video_mode.index = 1;
    set_video_modes(modes);
    ASSERT_EQ(s.video_mode.count(), 5);
    EXPECT_EQ(std::vector<std::string>(s.video_mode.choices.begin(), s.video_mode.choices.begin() + 5),
              (std::vector<std::string>{"Default Fullscreen", "Windowed", "1024x768", "800x600", "1920x1080"}));
    EXPECT_EQ(s.video_mode.index, 0);
    ASSERT_EQ(video_mode_sizes().size(), 5u);
    EXPECT_EQ(video_mode_sizes()[3].width, 800);
    EXPECT_EQ(video_mode_sizes()[3].height, 600);
    EXPECT_EQ(video_mode_sizes()[1].width, 0);
    EXPECT_TRUE(s.video_mode.parse("1920x1080"));

    set_video_modes({});
    EXPECT_EQ(s.video_mode.count(), 2);
    EXPECT_EQ(video_mode_sizes().size(), 2u);
}

TEST_F(SettingsTest, ServerHistoryShiftsAndDropsTheOldest)
{
    push_server_history("a.example");
    s.server_history_selected = 4;
    push_server_history("b.example");
    EXPECT_EQ(s.server_history[0].text, "b.example");
    EXPECT_EQ(s.server_history[1].text, "a.example");
    EXPECT_EQ(s.server_history_selected, -1);
    push_server_history("b.example");  // already entry 0
    EXPECT_EQ(s.server_history[1].text, "a.example");
    EXPECT_EQ(s.server_history[2].text, "");
    push_server_history("");           // empty: no entry
    EXPECT_EQ(s.server_name.text, "");
    EXPECT_EQ(s.server_history[0].text, "b.example");
    for (int i = 0; i < 15; ++i)
        push_server_history("h" + std::to_string(i));
    // 17 names pushed: "a.example" fell off the end, "b.example" is last.
    const auto& h = s.server_history;
    EXPECT_EQ(std::tuple(h[0].text, h[14].text, h[15].text, s.server_name.text),
              std::tuple("h14", "h0", "b.example", "h14"));
}

TEST(BikeNamesTest, MenuAndTableHoldTheSameSixtyEightNames)
{
    std::set<std::string> menu, table;
    for (const BikeModelName& m : k_bike_models) {
        menu.insert(m.name);
        std::string prefix = m.paint_prefix;
        EXPECT_EQ(prefix.back(), '-') << m.name;
    }
    for (const char* n : k_bike_table_order)
        table.insert(n);
    EXPECT_EQ(menu.size(), 68u);
    EXPECT_EQ(menu, table);
    // The two orders differ: 350sxf(2017) is 7th in the table, 22nd in the menu.
    EXPECT_STREQ(k_bike_table_order[6], "350sxf(2017)");
    EXPECT_EQ(bike_model_index("350sxf(2017)"), 21);
    EXPECT_STREQ(k_bike_models[67].name, "rs50yz");
    EXPECT_STREQ(bike_paint_prefix("rs50yz"), "yz125-");
    EXPECT_STREQ(bike_paint_prefix("crf250(2008)"), "crf250-");
    EXPECT_STREQ(bike_paint_prefix("kx250f(2017)"), "kx250fv2017-");
    EXPECT_EQ(bike_paint_prefix("crf250"), nullptr);
    EXPECT_EQ(bike_model_index("450SXF(2017)"), -1);
    const Settings& s = settings();
    ASSERT_EQ(s.bike.count(), 68);
    for (int i = 0; i < 68; ++i)
        EXPECT_STREQ(s.bike.choices[static_cast<std::size_t>(i)], k_bike_models[static_cast<std::size_t>(i)].name);
}

}  // namespace
}  // namespace zv::core
