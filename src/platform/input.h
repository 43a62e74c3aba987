// Input devices and their controls: the keyboard, the mouse and every
// joystick, each with numbered keys and axes. Key presses and releases go to
// the event queue (events.h) with their control code; axes are read when
// needed.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zv::platform {

// A control code: device number in bits 16 ... 30, an axis flag in bit 15
// and the key or axis number below. Device 0 is "Keyboard" (whose keys
// follow the fixed key table, key_names.h, then every other key in the order
// first seen), 1 is "Mouse", 2 onwards "Joystick1", "Joystick2", ...
using ControlCode = std::uint32_t;
inline constexpr int k_keyboard_device = 0;
inline constexpr int k_mouse_device = 1;
inline constexpr int k_first_joystick_device = 2;
inline constexpr std::uint32_t k_axis_flag = 0x8000u;
// Most axes and keys one device record holds; more are ignored.
inline constexpr int k_max_device_axes = 8;
inline constexpr int k_max_device_keys = 32;

constexpr ControlCode key_code(int device, int key)
{
    return (static_cast<std::uint32_t>(device) << 16) | (static_cast<std::uint32_t>(key) & 0x7fffu);
}
constexpr ControlCode axis_code(int device, int axis)
{
    return (static_cast<std::uint32_t>(device) << 16) | k_axis_flag | (static_cast<std::uint32_t>(axis) & 0x7fffu);
}
constexpr bool is_axis(ControlCode c) { return (c & k_axis_flag) != 0; }
constexpr int device_of(ControlCode c) { return static_cast<int>((c >> 16) & 0x7fffu); }
constexpr int control_index(ControlCode c) { return static_cast<int>(c & 0x7fffu); }

// Typed characters travel through the event queue too, as presses of a
// device no binding can name, so text fields see them in time order with
// the keys. The character is its Latin-1 code (32 ... 255, not 127).
inline constexpr int k_text_device = 0x7ffe;
constexpr ControlCode text_code(int character) { return key_code(k_text_device, character & 0xff); }
constexpr bool is_text(ControlCode c) { return device_of(c) == k_text_device && !is_axis(c); }
constexpr int text_character(ControlCode c) { return control_index(c) & 0xff; }

// The Latin-1 characters of UTF-8 text, in order; characters beyond Latin-1,
// control characters and broken sequences are left out.
std::string latin1_from_utf8(std::string_view text);

// Opens the keyboard, the mouse and the joysticks (the joystick roll call
// and its log lines) and registers the control aliases ("mouse-x",
// "joystick-a-1", "cursor-left", ...). The window opening calls it.
void open_input_devices();
// Logs "Closing input devices" and closes the joysticks; their numbers stay
// theirs for the next opening.
void close_input_devices();

int device_count();
// "Keyboard", "Mouse", "Joystick1", ...; "" for a device that does not exist.
std::string device_name(int device);
// Whether the device is still there (a joystick can be unplugged). A
// joystick that comes back keeps its number (joystick_slots.h).
bool device_attached(int device);
// The name a player knows a joystick by (the game-controller database's
// name where it has one, else the driver's); "" for other devices.
std::string device_product_name(int device);

// The control a name means, after the alias list: a key of the fixed table
// ("Left Ctrl"), the system's name of another key ("Left Alt"),
// "Device.key[n]" or "Device.axis[n]" ("Mouse.axis[0]", "Joystick1.key[2]"),
// "cursor.axis[n]" (the pointer's position in the window), or a menu name
// ("Joystick1 axis 0", "Joystick1 button 3"). nullopt when there is none.
std::optional<ControlCode> find_control(std::string_view name);

// The name a menu shows and the configuration stores for a control: the key
// table's name, the system key name, or the menu names of joystick controls.
std::string control_name(ControlCode code);

// An axis reading: joysticks -32768 ... 32767 (0 once unplugged); the mouse
// axes count the motion since the devices were opened; the cursor axes give
// the pointer position in window pixels. 0 for anything else.
float axis_value(ControlCode code);

}  // namespace zv::platform
