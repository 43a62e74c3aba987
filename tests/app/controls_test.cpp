// The bindings at run time: tying the configuration's names to controls,
// the nine control values with their signs, and letting go.
#include "app/controls.h"

#include "core/config.h"
#include "core/settings.h"
#include "platform/input.h"
#include "platform/key_names.h"

#include <gtest/gtest.h>

#include <array>

namespace zv::app {
namespace {

class ControlsTest : public ::testing::Test {
protected:
    ControlsTest() { core::reset_settings(); }
    ~ControlsTest() override
    {
        release_inputs();
        core::reset_settings();
    }
    static std::uint32_t key(const char* name) { return *platform::find_control(name); }
    core::Settings& s = core::settings();
};

// The nine control values in the order they are declared.
std::array<float, 9> all(const sim::RiderInput& in)
{
    return {in.steer, in.throttle, in.front_brake, in.rear_brake, in.shift,
            in.clutch, in.sit_dab, in.back_up, in.lean};
}

TEST_F(ControlsTest, DefaultNamesBindToTheirKeys)
{
    bind_inputs();
    EXPECT_EQ(binding_code(s.throttle_key), key("X"));
    EXPECT_EQ(binding_code(s.dab_key), key("Right Ctrl"));
    EXPECT_EQ(binding_code(s.rewind_key), key("\\"));
    EXPECT_EQ(binding_code(s.pause_key), key("Pause"));
    const FixedKeys& k = fixed_keys();
    EXPECT_EQ(k.close, platform::key_code(platform::k_keyboard_device, platform::k_key_close));
    EXPECT_EQ((std::array{k.esc, k.keypad_enter, k.tab, k.digits[0], k.digits[9]}),
              (std::array{key("Esc"), key("Keypad Enter"), key("Tab"), key("0"), key("9")}));
}

TEST_F(ControlsTest, NamesThatMeanNothingLeaveTheBindingLoose)
{
    core::parse_binding(s.throttle_key, "no such key");
    core::parse_binding(s.clutch_key, "(0,1)Mouse.key[0]");   // an axis binding on a key
    core::parse_binding(s.left_key, "(k)Mouse.axis[0]");       // a key binding on an axis
    core::parse_binding(s.right_key, "(-1,1)Joystick1.axis[0]"); // no joystick here: 0, not mid-range
    bind_inputs();
    for (const core::Binding* b : {&s.throttle_key, &s.clutch_key, &s.left_key, &s.right_key})
        EXPECT_EQ(binding_code(*b), k_no_code) << b->label;
    // Events for unbound codes change nothing.
    begin_binding_tick();
    apply_binding_event(k_no_code, true);
    read_axis_bindings();
    EXPECT_EQ(all(control_values()), (std::array<float, 9>{}));
}

TEST_F(ControlsTest, ControlValuesAddEachBindingWithItsSign)
{
    bind_inputs();
    begin_binding_tick();
    for (const char* name : {"left", "up", "n", "x", "c", "v", "z", "right ctrl", "b"})
        apply_binding_event(key(name), true);
    EXPECT_EQ(all(control_values()), (std::array<float, 9>{1, 1, 1, 1, 1, 1, 1, 1, -1}));
    // Opposite keys together cancel.
    for (const char* name : {"right", "down", "m"})
        apply_binding_event(key(name), true);
    EXPECT_EQ(all(control_values()), (std::array<float, 9>{0, 1, 1, 1, 0, 1, 1, 1, 0}));

    // Two bindings on one key both follow it.
    core::parse_binding(s.front_brake_key, "x");
    bind(s.front_brake_key);
    begin_binding_tick();
    apply_binding_event(key("x"), false);
    apply_binding_event(key("x"), true);
    sim::RiderInput in = control_values();
    EXPECT_FLOAT_EQ(in.throttle, 1);
    EXPECT_FLOAT_EQ(in.front_brake, 1);

    reset_binding_values();
    EXPECT_EQ(all(control_values()), (std::array<float, 9>{}));
}

TEST_F(ControlsTest, ReleaseLetsEveryBindingGo)
{
    bind_inputs();
    begin_binding_tick();
    apply_binding_event(key("x"), true);
    release_inputs();
    EXPECT_EQ(s.throttle_key.handle, -1);
    EXPECT_FLOAT_EQ(s.throttle_key.value, 0);
    EXPECT_EQ(fixed_keys().esc, k_no_code);
    // The records themselves stay for the configuration file.
    ASSERT_TRUE(s.throttle_key.key_name);
    EXPECT_STREQ(s.throttle_key.key_name, "x");
}

}  // namespace
}  // namespace zv::app
