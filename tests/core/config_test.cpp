// The configuration file: syntax, special keys, bindings, writing order and
// round trips, through the real data-file layer in a private home folder.
#include "core/config.h"

#include "core/data_file.h"
#include "core/messages.h"
#include "data_file_fixture.h"
#include "support/expect_rows.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace zv::core {
namespace {

class ConfigTest : public test::DataFolders {
protected:
    ConfigTest()
    {
        test::write_file(data() + "placeholder.txt", "x");
        reset_settings();
        build_gear_lists();
    }
    ~ConfigTest() override { reset_settings(); }

    void write_config_file(std::string_view text) { test::write_file(home() + "config", text); }
    bool read_config_text(std::string_view text)
    {
        write_config_file(text);
        return read_config();
    }
    std::string config_file() { return test::read_file(home() + "config").value_or("<none>"); }
    // Writes the settings and returns the file.
    std::string written()
    {
        EXPECT_TRUE(write_config());
        return config_file();
    }
    static std::vector<std::string> keys_of(const std::string& text)
    {
        std::vector<std::string> keys;
        std::istringstream in(text);
        for (std::string line; std::getline(in, line);)
            keys.push_back(line.substr(0, line.find('=')));
        return keys;
    }
    static std::string line_of(const std::string& text, std::string_view key)
    {
        std::istringstream in(text);
        for (std::string line; std::getline(in, line);)
            if (line.compare(0, key.size() + 1, std::string(key) + "=") == 0)
                return line;
        return "<missing>";
    }

    Settings& s = settings();
};

TEST_F(ConfigTest, MissingFileLeavesDefaults)
{
    EXPECT_FALSE(read_config());
    EXPECT_EQ(s.laps.value, 5);
    EXPECT_EQ(s.xres, 640);
}

TEST_F(ConfigTest, NumbersClampAndBadNumbersKeepTheOldValue)
{
    ASSERT_TRUE(read_config_text("laps=75\nminutes=12\n"));
    EXPECT_EQ(s.laps.value, 50);
    EXPECT_EQ(s.minutes.value, 12);
    read_config_text("laps=7\nlaps=seven\nxres=abc\nyres= 600px\n");
    EXPECT_EQ(s.laps.value, 7);
    EXPECT_EQ(s.xres, 640);
    EXPECT_EQ(s.yres, 600);
}

TEST_F(ConfigTest, ChoicesMatchExactly)
{
    read_config_text("skill=expert\n");
    EXPECT_EQ(s.skill.index, 0);
    read_config_text("skill=Expert\nslot00=Robot (2 stroke)\nslot01=robot\n");
    EXPECT_EQ(s.skill.index, 2);
    EXPECT_EQ(s.slots[0].index, 3);
    EXPECT_EQ(s.slots[1].index, 0);
}

TEST_F(ConfigTest, OldBikeNameIsRenamedAndPaintListRebuilt)
{
    test::write_file(data() + "bikes/crf250-red.png", "p");
    test::write_file(data() + "bikes/crf250-red_norm.png", "p");
    test::write_file(data() + "bikes/450sxfv2016-orange.png", "p");
    reset_data_files();
    build_gear_lists();
    ASSERT_EQ(s.bike_texture.count(), 2);  // "default", "orange"
    EXPECT_STREQ(s.bike_texture.choices[1], "orange");
    s.bike_texture.index = 1;

    read_config_text("bike=crf250\n");
    EXPECT_STREQ(s.bike.current(), "crf250(2008)");
    EXPECT_STREQ(s.bike_texture.current(), "default");
    ASSERT_EQ(s.bike_texture.count(), 2);
    EXPECT_STREQ(s.bike_texture.choices[1], "red");
    ASSERT_EQ(s.bike_texture_files.size(), 2u);
    EXPECT_STREQ(s.bike_texture_files[1], "@bikes/crf250-red.png");

    // A paint line before the bike line is undone by it; one after it stays.
    read_config_text("bike_texture=red\nbike=no such bike\n");
    EXPECT_STREQ(s.bike.current(), "crf250(2008)");
    EXPECT_EQ(s.bike_texture.index, 0);
    read_config_text("bike=crf250(2008)\nbike_texture=red\n");
    EXPECT_STREQ(s.bike_texture.current(), "red");
    EXPECT_STREQ(s.bike_texture_file(), "@bikes/crf250-red.png");
    // An index outside the list names no file.
    for (int i : {-1, 2}) {
        s.bike_texture.index = i;
        EXPECT_EQ(s.bike_texture_file(), nullptr) << i;
    }
}

TEST_F(ConfigTest, StabilityAppliesThePresetAndLaterAidsOverride)
{
    read_config_text("stability=0\nroll_damping=55\n");
    test::expect_rows<double>("stability 0",
                              {{s.stability.value, 0}, {s.roll_damping.value, 55}, {s.roll_limit_angle.value, 90},
                               {s.roll_limit_factor.value, 0}, {s.direct_steering.value, 1},
                               {s.slow_damping_factor.value, 1}, {s.land_damping_falloff.value, 0},
                               {s.land_damping_factor.value, 1}, {s.restricted_lock.value, 45},
                               {s.leveling.value, 20}});

    read_config_text("stability=50\n");
    EXPECT_DOUBLE_EQ(s.roll_damping.value, 65);
    EXPECT_DOUBLE_EQ(s.restricted_lock.value, 7.5);
    // A stability that does not scan changes nothing, aids included.
    s.roll_damping.value = 61;
    read_config_text("stability=high\n");
    EXPECT_EQ(s.stability.value, 50);
    EXPECT_EQ(s.roll_damping.value, 61);
}

TEST_F(ConfigTest, AxisBindingRoundTripsWithSixDecimals)
{
    read_config_text("throttle_key=(0.25,0.75)Joystick1.axis[1]\n");
    EXPECT_EQ(s.throttle_key.key_name, nullptr);
    EXPECT_STREQ(s.throttle_key.axis_name, "Joystick1.axis[1]");
    test::expect_float_rows("axis", {{s.throttle_key.low, 0.25f}, {s.throttle_key.high, 0.75f}});
    std::string file = written();
    EXPECT_EQ(line_of(file, "throttle_key"), "throttle_key=(0.250000,0.750000)Joystick1.axis[1]");
    reset_settings();
    read_config();
    EXPECT_EQ(written(), file);
    // A plus sign before a number is allowed; anything that is not two numbers
    // leaves the whole value a key name.
    read_config_text("throttle_key=(+1,-2)J\n");
    EXPECT_STREQ(s.throttle_key.axis_name, "J");
    EXPECT_FLOAT_EQ(s.throttle_key.low, 1.0f);
    EXPECT_FLOAT_EQ(s.throttle_key.high, -2.0f);
    for (const char* bad : {"(,1)J", "( ,1)J", "(+,1)J", "(+-1,1)J", "(nan,1)J", "(1,nan)J", "(1 1)J", "(1,)J"}) {
        read_config_text("throttle_key=" + std::string(bad) + "\n");
        EXPECT_EQ(s.throttle_key.axis_name, nullptr) << bad;
        EXPECT_STREQ(s.throttle_key.key_name, bad) << bad;
    }
}

TEST_F(ConfigTest, KeyBindingsWithAndWithoutMarker)
{
    read_config_text("left_key=(k)a\nright_key=d\nclutch_key=  (k)left shift\n"
                      "upshift_key=(0.5)q\nrear_brake_key=(1,2\ndab_key=\n");
    EXPECT_STREQ(s.left_key.key_name, "a");
    EXPECT_STREQ(s.right_key.key_name, "d");
    EXPECT_STREQ(s.clutch_key.key_name, "left shift");
    // Not two numbers in parentheses: the whole text is a key name.
    EXPECT_STREQ(s.upshift_key.key_name, "(0.5)q");
    EXPECT_STREQ(s.rear_brake_key.key_name, "(1,2");
    EXPECT_FALSE(s.dab_key.bound());
    std::string file = written();
    // The unbound dab key is not written.
    for (auto [key, line] : {std::pair{"left_key", "left_key=(k)a"}, {"right_key", "right_key=(k)d"},
                             {"dab_key", "<missing>"}, {"rewind_key", "rewind_key=(k)\\"}})
        EXPECT_EQ(line_of(file, key), line) << key;

    // Rebinding a key to an axis forgets the key, and back.
    Binding b{"Test", "x"};
    b.key_name = "x";
    b.handle = 12;
    parse_binding(b, "( -1 , 1)Mouse.x");  // "," must follow the number directly
    EXPECT_EQ(b.axis_name, nullptr);
    EXPECT_STREQ(b.key_name, "( -1 , 1)Mouse.x");
    parse_binding(b, "(-1, 1)Mouse.x");
    EXPECT_STREQ(b.axis_name, "Mouse.x");
    EXPECT_FLOAT_EQ(b.low, -1.0f);
    EXPECT_EQ(b.handle, -1);
    parse_binding(b, "(k)y");
    EXPECT_EQ(b.axis_name, nullptr);
    EXPECT_STREQ(b.key_name, "y");
    test::expect_float_rows("key", {{b.low, 0.0f}, {b.high, 1.0f}});
}

TEST_F(ConfigTest, ValuesKeepTrailingSpacesAndLoseLineEnds)
{
    read_config_text("name=Joe Racer  \r\nnumber= 42\r\r\nserver_name=a\rb\n");
    EXPECT_EQ(s.name.text, "Joe Racer  ");
    EXPECT_EQ(s.number.text, " 42");
    EXPECT_EQ(s.server_name.text, "a\rb");
    read_config_text("name=last line without end");
    EXPECT_EQ(s.name.text, "last line without end");
    read_config_text("name=x=y\n");
    EXPECT_EQ(s.name.text, "x=y");
}

TEST_F(ConfigTest, LinesWithoutEqualsAndUnknownKeysChangeNothing)
{
    std::string before = written();
    read_config_text("laps 9\nLaps=9\nunknown_key=1\n=5\n\n laps=9\nlaps\n#laps=9\n");
    EXPECT_EQ(written(), before);
    EXPECT_FALSE(read_config_line("laps 9"));
    EXPECT_FALSE(read_config_line("nothing=1"));
    EXPECT_TRUE(read_config_line("laps=9\n"));
    EXPECT_EQ(s.laps.value, 9);
}

TEST_F(ConfigTest, HistoryEntriesMustBeShorterThan127)
{
    std::string ok(126, 'a'), too_long(127, 'b');
    read_config_text("server_name_hist00=" + ok + "\nserver_name_hist01=" + too_long
                      + "\nserver_name_hist15=last\nserver_name=" + too_long + "x\n");
    EXPECT_EQ(std::tuple(s.server_history[0].text, s.server_history[1].text, s.server_history[15].text),
              std::tuple(ok, "", "last"));
    EXPECT_EQ(s.server_name.text, too_long);  // the field itself is cut to 127
}

TEST_F(ConfigTest, SpecialPlainValues)
{
    read_config_text("map_scale=20\nmessage_lines=12\ndemo_backups=3\nbillboard_optimize_lookahead=2\n"
                      "track=hillside\nground_texture_distance=99\n");
    EXPECT_EQ(s.map_scale, 8.0f);
    EXPECT_EQ(std::tuple(s.message_lines, s.demo_backups, s.billboard_optimize_lookahead), std::tuple(12, 3, 2));
    EXPECT_STREQ(s.track, "hillside");
    EXPECT_EQ(s.track, intern("hillside"));
    EXPECT_EQ(s.ground_detail.value, 70);
    read_config_text("map_scale=0.01\n");
    EXPECT_EQ(s.map_scale, 0.125f);
    read_config_text("map_scale=big\n");
    EXPECT_EQ(s.map_scale, 0.125f);
    std::string file = written();
    EXPECT_EQ(line_of(file, "map_scale"), "map_scale=0.125000");
    EXPECT_EQ(line_of(file, "track"), "track=hillside");
    EXPECT_EQ(line_of(file, "ground_texture_distance"), "<missing>");
}

TEST_F(ConfigTest, MessageLinesFromTheFileReachTheMessageList)
{
    struct Case {
        const char* line;
        int setting;  // what the setting holds afterwards
        int shown;    // lines on screen after 1200 messages
    };
    const Case cases[] = {
        {"message_lines=12\n", 12, 12},   {"message_lines=1\n", 1, 1},
        {"message_lines=junk\n", 1, 1},   {"message_lines=-3\n", 0, 0},
        {"message_lines=5000\n", 1000, 1000}, {"message_lines=0\n", 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        read_config_text(c.line);
        EXPECT_EQ(s.message_lines, c.setting);
        clear_messages();
        for (int i = 0; i < 1200; ++i)
            show_message("line %d", i);
        EXPECT_EQ(messages_on_screen(), c.shown);
    }
    // Back to the defaults, the list shows five again.
    reset_settings();
    clear_messages();
    for (int i = 0; i < 9; ++i)
        show_message("line %d", i);
    EXPECT_EQ(messages_on_screen(), 5);
}

TEST_F(ConfigTest, UseFboPicksTheTerrainMethodAndIsNeverWritten)
{
    read_config_text("use_fbo=No\n");
    EXPECT_STREQ(s.render_texture.current(), "Hardware/Copy");
    read_config_text("use_fbo=Yes\n");
    EXPECT_STREQ(s.render_texture.current(), "Hardware/Direct");
    read_config_text("render_texture=Shaders/Copy\nuse_fbo=maybe\n");
    EXPECT_STREQ(s.render_texture.current(), "Shaders/Copy");
    EXPECT_EQ(line_of(written(), "use_fbo"), "<missing>");
}

TEST_F(ConfigTest, OverlongLineTailIsNotALineOfItsOwn)
{
    // 1023 characters fill the line buffer; "laps=3" follows on the same line.
    std::string first = "spy=" + std::string(1019, '1');
    ASSERT_EQ(first.size(), 1023u);
    read_config_text(first + "laps=3\nminutes=4\n");
    EXPECT_EQ(s.laps.value, 5);
    EXPECT_EQ(s.minutes.value, 4);
    EXPECT_EQ(s.spy, 2147483647);

    // A NUL byte ends the text; the line still counts its full length.
    std::string with_nul = "name=ab" + std::string(1, '\0') + std::string(1015, 'c');
    ASSERT_EQ(with_nul.size(), 1023u);
    read_config_text(with_nul + "laps=9\n");
    EXPECT_EQ(s.name.text, "ab");
    EXPECT_EQ(s.laps.value, 5);
}

TEST_F(ConfigTest, SetupKeysAreTheirOwnGroup)
{
    EXPECT_FALSE(read_setup_key("xres", "800"));
    EXPECT_EQ(s.xres, 640);
    EXPECT_FALSE(read_setup_key("throttle_key", "q"));
    EXPECT_TRUE(read_setup_key("brake_torque", "1000"));
    EXPECT_EQ(s.brake_torque.value, 500);
    EXPECT_TRUE(read_setup_key("rider_mass_distribution", "junk"));
    EXPECT_DOUBLE_EQ(s.rider_mass_distribution.value, 0.33);

    DataFilePtr f = open_data_file("@setups/mine", "wb");
    ASSERT_TRUE(f);
    write_setup(*f);
    f.reset();
    std::string text = test::read_file(home() + "setups/mine").value_or("");
    std::vector<std::string> keys = keys_of(text);
    ASSERT_EQ(keys.size(), 57u);
    EXPECT_EQ(keys.front(), "bike");
    EXPECT_EQ(keys[7], "stability");
    EXPECT_EQ(keys.back(), "rider_mass_distribution");
    EXPECT_EQ(line_of(text, "brake_torque"), "brake_torque=500.000000");
    EXPECT_EQ(line_of(text, "rider_mass_distribution"), "rider_mass_distribution=0.330000");
    EXPECT_EQ(line_of(text, "front_brake"), "front_brake=Antilock");

    // Reading a setup back takes only the setup keys.
    test::write_file(home() + "setups/other", "brake_torque=120\r\nxres=999\nname=Setup Sam \n"
                                              "bike=kx250f\nlaps=3\n");
    f = open_data_file("@setups/other", "rb");
    ASSERT_TRUE(f);
    read_setup_lines(*f);
    EXPECT_EQ(std::tuple(s.brake_torque.value, s.xres, s.laps.value), std::tuple(120.0, 640, 5.0));
    EXPECT_EQ(s.name.text, "Setup Sam ");
    EXPECT_STREQ(s.bike.current(), "kx250f(2008)");
}

TEST_F(ConfigTest, WritingOrderAndFormats)
{
    std::vector<std::string> expected = {"xres", "yres", "draw_fps", "draw_time", "draw_ping",
        "draw_speed", "spy", "track", "record", "skill", "minutes", "laps"};
    for (int i = 0; i < 40; ++i) {
        char k[16];
        std::snprintf(k, sizeof k, "slot%02d", i);
        expected.push_back(k);
    }
    for (const char* k : {"ghost_fade_distance", "time_trial_abort", "bike", "name", "number",
             "rider_texture", "head_texture", "bike_texture", "wheel_texture", "stability",
             "leveling", "roll_damping", "roll_limit_angle", "roll_limit_factor", "steering_damping",
             "steering_strength", "max_steering_force", "direct_steering", "slow_damping_speed",
             "slow_damping_factor", "land_damping_falloff", "land_damping_factor", "full_lock_speed",
             "restricted_lock_speed", "restricted_lock", "arcade", "front_brake", "rear_brake",
             "stop_wheelies", "auto_shift", "auto_dab", "auto_align", "sticky_dab",
             "reverse_steering", "lean_indicator", "auto_clutch_rpms", "brake_torque",
             "rear_brake_torque", "max_dab_speed", "front_sprocket_adjustment",
             "rear_sprocket_adjustment", "fork_compression_adjustment",
             "fork_slow_compression_adjustment", "fork_rebound_adjustment",
             "fork_slow_rebound_adjustment", "fork_spring_rate_adjustment",
             "fork_preload_adjustment", "fork_oil_level_adjustment", "shock_compression_adjustment",
             "shock_slow_compression_adjustment", "shock_rebound_adjustment",
             "shock_slow_rebound_adjustment", "shock_spring_rate_adjustment",
             "shock_preload_adjustment", "rider_yspring", "rider_ydamping", "rider_zspring",
             "rider_zdamping", "rider_mass_distribution", "video_mode", "server_name"})
        expected.push_back(k);
    for (int i = 0; i < 16; ++i) {
        char k[32];
        std::snprintf(k, sizeof k, "server_name_hist%02d", i);
        expected.push_back(k);
    }
    for (const char* k : {"ground_detail", "ground_texture_detail", "ground_texture_dim",
             "ground_mipmaps", "texture_compress", "render_texture", "use_shader", "roost_density",
             "lens_flare", "reflections", "hide_rider", "rigid_camera", "model_detail",
             "model_texture_detail", "fov", "first_person_height", "first_person_angle",
             "third_person_height", "third_person_distance", "volume", "comp_volume",
             "playback_mode", "billboard_optimize_lookahead", "message_lines", "demo_backups",
             "map_scale", "throttle_key", "front_brake_key", "rear_brake_key", "left_key",
             "right_key", "clutch_key", "upshift_key", "downshift_key", "dab_key", "back_up_key",
             "lean_forward_key", "lean_backward_key", "pause_key", "step_key", "rewind_key",
             "skip_key", "prev_key", "next_key", "console_key", "screenshot_key"})
        expected.push_back(k);

    std::string file = written();
    EXPECT_EQ(keys_of(file), expected);
    EXPECT_EQ(file.substr(0, 40), "xres=640\nyres=480\ndraw_fps=0\ndraw_time=0");
    for (std::string_view line : {"laps=5.000000", "slot19=Human", "first_person_height=0.000000",
                                  "land_damping_falloff=0.250000", "server_name=race.zarvox.org",
                                  "server_name_hist03=",
                                  "dab_key=(k)right ctrl", "map_scale=1.000000", "video_mode=Default Fullscreen"})
        EXPECT_EQ(line_of(file, line.substr(0, line.find('='))), line);
    EXPECT_EQ(file.back(), '\n');
}

TEST_F(ConfigTest, FullRoundTripIsByteIdentical)
{
    s.xres = 1280;
    s.skill.index = 1;
    s.slots[5].index = 4;
    s.name.set("Rider with = and spaces ");
    s.fork_preload_adjustment.set(37.5);
    s.first_person_height.set(0.03125);
    s.render_texture.index = 3;
    apply_stability(33);  // aids off the menu steps
    push_server_history("one.example");
    push_server_history("two.example:7777");
    s.map_scale = 0.5f;
    s.demo_backups = -2;
    parse_binding(s.lean_forward_key, "(-0.5,0.125)Joystick2.axis[0]");
    parse_binding(s.pause_key, "");
    std::string first = written();

    reset_settings();
    ASSERT_TRUE(read_config());
    EXPECT_EQ(s.xres, 1280);
    EXPECT_EQ(s.server_history[1].text, "one.example");
    // An unbound key is not written, so its default comes back.
    EXPECT_STREQ(s.pause_key.key_name, "pause");
    s.pause_key.key_name = nullptr;
    std::string second = written();
    EXPECT_EQ(second, first);
}

}  // namespace
}  // namespace zv::core
