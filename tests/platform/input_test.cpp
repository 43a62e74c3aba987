// Control lookup by name, control codes, and SDL input events turned into
// queued control events (without a window: the events are made by hand).
#include "platform/input.h"

#include "platform/events.h"
#include "platform/input_sdl.h"
#include "platform/key_names.h"
#include "platform/names.h"
#include "support/expect_rows.h"

#include <SDL.h>
#include <cstdio>
#include <gtest/gtest.h>

namespace zv::platform {
namespace {

class InputTest : public ::testing::Test {
protected:
    InputTest()
    {
        clear_aliases();
        clear_events();
        open_input_devices();  // no joysticks under test
    }
    ~InputTest() override
    {
        close_input_devices();
        clear_aliases();
        clear_events();
    }

    static SDL_Event key_event(Uint32 type, SDL_Scancode sc, bool repeat = false)
    {
        SDL_Event e{};
        e.type = type;
        e.key.keysym.scancode = sc;
        e.key.repeat = repeat ? 1 : 0;
        return e;
    }
};

TEST(ControlCodes, PackDeviceAxisFlagAndNumber)
{
    ControlCode k = key_code(3, 17);
    EXPECT_FALSE(is_axis(k));
    EXPECT_EQ(device_of(k), 3);
    EXPECT_EQ(control_index(k), 17);
    ControlCode a = axis_code(2, 1);
    EXPECT_TRUE(is_axis(a));
    EXPECT_EQ(device_of(a), 2);
    EXPECT_EQ(control_index(a), 1);
    // Codes fit the event queue's 31 bits.
    EXPECT_EQ(key_code(0x7fff, 0x7fff) & ~k_event_code_mask, 0u);
}

TEST_F(InputTest, NamesFindTheirControls)
{
    EXPECT_EQ(device_name(k_keyboard_device), "Keyboard");
    EXPECT_EQ(device_name(k_mouse_device), "Mouse");
    EXPECT_EQ(device_name(k_first_joystick_device + 40), "");
    EXPECT_TRUE(device_attached(k_keyboard_device));
    EXPECT_TRUE(device_attached(k_mouse_device));
    EXPECT_EQ(find_control("x"), key_code(k_keyboard_device, find_fixed_key("X")));
    EXPECT_EQ(find_control("Keyboard.key[4]"), key_code(k_keyboard_device, k_key_esc));
    // The mouse keys are the table's mouse buttons; aliases reach them too.
    EXPECT_EQ(find_control("Mouse.key[0]"), key_code(k_keyboard_device, k_key_mouse_left));
    EXPECT_EQ(find_control("mouse-right"), key_code(k_keyboard_device, k_key_mouse_right));
    EXPECT_EQ(find_control("mouse-middle"), key_code(k_keyboard_device, k_key_mouse_middle));
    EXPECT_EQ(find_control("mouse-x"), axis_code(k_mouse_device, 0));
    EXPECT_EQ(find_control("MOUSE.AXIS[1]"), axis_code(k_mouse_device, 1));
    ASSERT_TRUE(find_control("cursor-y"));
    EXPECT_TRUE(is_axis(*find_control("cursor-y")));
    EXPECT_NE(find_control("cursor-y"), find_control("mouse-y"));
    // Controls that do not exist here.
    for (const char* name : {"Mouse.axis[2]", "Mouse.key[3]", "joystick-a-1", "Joystick1 axis 0", "Keyboard.axis[0]",
                             "Keyboard.key[99999]", "Keyboard.key[]", "Keyboard.key[1x]", "", "no such key"})
        EXPECT_FALSE(find_control(name)) << name;
}

TEST_F(InputTest, KeysOutsideTheTableGetNumbersAfterIt)
{
    std::optional<ControlCode> alt = find_control("Left Alt");
    ASSERT_TRUE(alt);
    int base = static_cast<int>(fixed_key_names().size());
    EXPECT_GE(control_index(*alt), base);
    EXPECT_EQ(control_name(*alt), "Left Alt");
    // The same key by scancode and by name is one control.
    EXPECT_EQ(key_code(k_keyboard_device, keyboard_key_for_scancode(SDL_SCANCODE_LALT)), *alt);
    EXPECT_EQ(control_name(key_code(k_keyboard_device, find_fixed_key("Page Down"))), "Page Down");
    EXPECT_EQ(control_name(axis_code(k_mouse_device, 1)), "Mouse.axis[1]");
    EXPECT_EQ(control_name(key_code(9, 0)), "");
    EXPECT_EQ(control_name(key_code(k_first_joystick_device, 0)), "");  // no pads here
    // The first key after the table names itself.
    EXPECT_EQ(find_control(control_name(key_code(k_keyboard_device, base))), key_code(k_keyboard_device, base));
    // The keys known so far end right after the newest one.
    const std::string last = "Keyboard.key[" + std::to_string(control_index(*alt)) + "]";
    EXPECT_EQ(find_control(last), alt);
    EXPECT_FALSE(find_control("Keyboard.key[" + std::to_string(control_index(*alt) + 1) + "]"));
    EXPECT_EQ(control_name(key_code(k_keyboard_device, control_index(*alt) + 1)), "");
}

TEST_F(InputTest, KeyAndButtonEventsAreQueuedWithTheirTime)
{
    EventTime t1{10, 500};
    EventTime t0{10, 100};
    EXPECT_TRUE(handle_input_event(key_event(SDL_KEYDOWN, SDL_SCANCODE_X), t1));
    // Repeats are not new presses.
    EXPECT_TRUE(handle_input_event(key_event(SDL_KEYDOWN, SDL_SCANCODE_X, true), t1));
    SDL_Event button{};
    button.type = SDL_MOUSEBUTTONDOWN;
    button.button.button = SDL_BUTTON_RIGHT;
    EXPECT_TRUE(handle_input_event(button, t0));
    ASSERT_EQ(events_waiting(), 2);
    std::optional<Event> e = pop_event();
    ASSERT_TRUE(e);
    EXPECT_EQ(e->code, key_code(k_keyboard_device, k_key_mouse_right));
    EXPECT_TRUE(e->pressed);
    e = pop_event();
    ASSERT_TRUE(e);
    EXPECT_EQ(e->code, *find_control("x"));
    EXPECT_EQ(e->time.microseconds, 500);

    EXPECT_TRUE(handle_input_event(key_event(SDL_KEYUP, SDL_SCANCODE_X), t1));
    e = pop_event();
    ASSERT_TRUE(e);
    EXPECT_FALSE(e->pressed);

    // Motion moves the mouse axes and the cursor; other events are not input.
    SDL_Event motion{};
    motion.type = SDL_MOUSEMOTION;
    motion.motion.x = 30;
    motion.motion.y = 40;
    motion.motion.xrel = 3;
    motion.motion.yrel = -4;
    EXPECT_TRUE(handle_input_event(motion, t1));
    EXPECT_TRUE(handle_input_event(motion, t1));
    test::expect_float_rows("axes", {{axis_value(*find_control("mouse-x")), 6},
                                     {axis_value(*find_control("mouse-y")), -8},
                                     {axis_value(*find_control("cursor-x")), 30},
                                     {axis_value(key_code(k_keyboard_device, 5)), 0}});
    SDL_Event quit{};
    quit.type = SDL_QUIT;
    EXPECT_FALSE(handle_input_event(quit, t1));
    EXPECT_EQ(events_waiting(), 0);
}

TEST_F(InputTest, UnknownJoysticksAndNamelessKeysDoNothing)
{
    SDL_Event b{};
    b.type = SDL_JOYBUTTONDOWN;
    b.jbutton.which = 1234;
    b.jbutton.button = 0;
    EXPECT_TRUE(handle_input_event(b, EventTime{1, 0}));
    SDL_Event gone{};
    gone.type = SDL_JOYDEVICEREMOVED;
    gone.jdevice.which = 1234;
    EXPECT_TRUE(handle_input_event(gone, EventTime{1, 0}));
    EXPECT_TRUE(handle_input_event(key_event(SDL_KEYDOWN, SDL_SCANCODE_UNKNOWN), EventTime{1, 0}));
    EXPECT_EQ(events_waiting(), 0);
    EXPECT_FLOAT_EQ(axis_value(axis_code(k_first_joystick_device, 0)), 0);
    EXPECT_FALSE(device_attached(k_first_joystick_device));
}

TEST_F(InputTest, TypedTextIsQueuedCharacterByCharacter)
{
    SDL_Event text{};
    text.type = SDL_TEXTINPUT;
    std::snprintf(text.text.text, sizeof text.text.text, "%s", "/a\xc3\xa9");
    EXPECT_TRUE(handle_input_event(text, EventTime{3, 0}));
    ASSERT_EQ(events_waiting(), 3);
    for (int expected : {int{'/'}, int{'a'}, 0xe9}) {
        std::optional<Event> e = pop_event();
        ASSERT_TRUE(e);
        EXPECT_TRUE(e->pressed);
        EXPECT_EQ(e->code, text_code(expected));
    }
}

}  // namespace
}  // namespace zv::platform

TEST(TypedText, Latin1FromUtf8KeepsPrintableLatin1Only)
{
    using zv::platform::latin1_from_utf8;
    EXPECT_EQ(latin1_from_utf8("abc /\\"), "abc /\\");
    EXPECT_EQ(latin1_from_utf8("caf\xc3\xa9"), "caf\xe9");          // é is 0xe9
    EXPECT_EQ(latin1_from_utf8("\xe2\x82\xac" "5"), "5");            // the euro sign is past Latin-1
    EXPECT_EQ(latin1_from_utf8("\xf0\x9f\x8f\x8d!"), "!");           // a four-byte character
    EXPECT_EQ(latin1_from_utf8("a\x80" "b"), "ab");                  // stray continuation byte
    EXPECT_EQ(latin1_from_utf8("a\xc3"), "a");                       // cut sequence
    EXPECT_EQ(latin1_from_utf8("\xc3(x"), "(x");                     // broken sequence resyncs
    EXPECT_EQ(latin1_from_utf8("\t\n\x7f"), "");                     // control characters
    EXPECT_EQ(latin1_from_utf8("\xc2\x85"), "");                     // C1 control
}

TEST(TypedText, CodesStayApartFromEveryDevice)
{
    using namespace zv::platform;
    ControlCode c = text_code('/');
    EXPECT_TRUE(is_text(c));
    EXPECT_EQ(text_character(c), '/');
    EXPECT_EQ(text_character(text_code(0xe9)), 0xe9);
    EXPECT_FALSE(is_text(key_code(k_keyboard_device, '/')));
    EXPECT_FALSE(is_text(axis_code(k_text_device, 3)));
    EXPECT_EQ(control_name(text_code('x')), "Text 'x'");
    EXPECT_LE(c & ~k_event_code_mask, 0u);  // fits the queue's code bits
}
