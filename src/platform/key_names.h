// The keyboard's fixed key table: the names of the keys the game knows by
// position, and the system keys they stand for. Keys outside the table take
// the system's own key name.
#pragma once

#include <span>
#include <string_view>

namespace zv::platform {

// Table positions the window layer fills itself.
inline constexpr int k_key_close = 0;         // the window's close request
inline constexpr int k_key_mouse_left = 1;    // the mouse buttons, 1 ... 3
inline constexpr int k_key_mouse_middle = 2;
inline constexpr int k_key_mouse_right = 3;
inline constexpr int k_key_esc = 4;

// Every name of the table; index n is key n of the keyboard device.
std::span<const char* const> fixed_key_names();

// The table position of a system scancode (SDL numbering), or -1 when the
// table has no such key.
int fixed_key_for_scancode(int scancode);
// The system scancode of table position n, or 0 for the positions without
// one (Close, the mouse buttons, the blank entry).
int scancode_for_fixed_key(int n);

// The table position whose name equals name (loose comparison), or -1.
int find_fixed_key(std::string_view name);

}  // namespace zv::platform
