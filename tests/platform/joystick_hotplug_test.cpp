// Joysticks coming and going, with SDL's virtual joysticks standing in for
// real devices: one that is plugged back in answers to its old name.
#include "platform/input.h"

#include "platform/events.h"
#include "platform/input_sdl.h"
#include "platform/names.h"

#include <SDL.h>
#include <gtest/gtest.h>

namespace zv::platform {
namespace {

int attach_pad()
{
    return SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_GAMECONTROLLER, 2, 4, 0);
}

SDL_Event device_event(Uint32 type, Sint32 which)
{
    SDL_Event e{};
    e.type = type;
    e.jdevice.which = which;
    return e;
}

TEST(JoystickHotplug, APadPluggedBackInKeepsItsNumber)
{
    // SDL counts initialisations: this one keeps the subsystem (and the
    // virtual devices) alive between the openings below.
    ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_JOYSTICK), 0) << SDL_GetError();
    clear_events();
    ASSERT_GE(attach_pad(), 0) << SDL_GetError();
    ASSERT_GE(attach_pad(), 0);
    open_input_devices();
    ASSERT_EQ(device_count(), k_first_joystick_device + 2);
    const int first = k_first_joystick_device;
    EXPECT_EQ(device_name(first), "Joystick1");
    EXPECT_EQ(device_name(first + 1), "Joystick2");
    EXPECT_FALSE(device_product_name(first).empty());
    const auto button = find_control("Joystick1 button 3");
    ASSERT_TRUE(button);
    // Axes read the pad itself; past its two axes, and past the mouse's four, is nothing.
    SDL_JoystickSetVirtualAxis(SDL_JoystickFromInstanceID(SDL_JoystickGetDeviceInstanceID(0)), 1, -1234);
    SDL_JoystickUpdate();
    EXPECT_EQ(axis_value(axis_code(first, 1)), -1234.0f);
    EXPECT_EQ(axis_value(axis_code(first, 2)), 0.0f);
    EXPECT_EQ(axis_value(axis_code(k_mouse_device, 4)), 0.0f);

    // The first pad leaves: its held buttons are let go, its number stays.
    const SDL_JoystickID old_instance = SDL_JoystickGetDeviceInstanceID(0);
    ASSERT_EQ(SDL_JoystickDetachVirtual(0), 0);
    handle_input_event(device_event(SDL_JOYDEVICEREMOVED, old_instance), {});
    EXPECT_FALSE(device_attached(first));
    EXPECT_TRUE(device_attached(first + 1));
    EXPECT_EQ(find_control("Joystick1 button 3"), button);

    // It comes back under a new SDL instance: Joystick1 again, and its
    // buttons reach the bindings made for Joystick1.
    const int index = attach_pad();
    ASSERT_GE(index, 0);
    handle_input_event(device_event(SDL_JOYDEVICEADDED, index), {});
    EXPECT_EQ(device_count(), k_first_joystick_device + 2);
    EXPECT_TRUE(device_attached(first));
    clear_events();
    SDL_Event press{};
    press.type = SDL_JOYBUTTONDOWN;
    press.jbutton.which = SDL_JoystickGetDeviceInstanceID(index);
    press.jbutton.button = 3;
    handle_input_event(press, {});
    auto ev = pop_event();
    ASSERT_TRUE(ev);
    EXPECT_EQ(ev->code, *button);

    // Closing and opening again (a new window) keeps the numbers too.
    close_input_devices();
    open_input_devices();
    EXPECT_EQ(device_count(), k_first_joystick_device + 2);
    EXPECT_TRUE(device_attached(first));
    EXPECT_TRUE(device_attached(first + 1));
    close_input_devices();
    // With the devices closed, a pad arriving is left alone.
    handle_input_event(device_event(SDL_JOYDEVICEADDED, 0), {});
    EXPECT_FALSE(device_attached(first));
    clear_aliases();
    clear_events();
    SDL_QuitSubSystem(SDL_INIT_JOYSTICK);
}

}  // namespace
}  // namespace zv::platform
