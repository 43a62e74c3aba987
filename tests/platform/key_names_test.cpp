// The fixed key table: its order (configuration files name keys by number),
// the scancodes behind the names, and name lookups.
#include "platform/key_names.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <set>
#include <string>

namespace zv::platform {
namespace {

TEST(KeyTable, OrderAndLength)
{
    auto names = fixed_key_names();
    // Close, three mouse buttons, Esc, 10 digits, 26 letters, 11 symbols,
    // 10 named keys (the blank among them), 6 navigation keys, 4 arrows,
    // 12 function keys, Pause, Num Lock and 16 keypad keys.
    ASSERT_EQ(names.size(), 1u + 3 + 1 + 10 + 26 + 11 + 10 + 6 + 4 + 12 + 2 + 16);
    for (auto [n, name] : {std::pair<std::size_t, const char*>{k_key_close, "Close"}, {k_key_mouse_left, "Mouse Left"},
                           {k_key_mouse_middle, "Mouse Middle"}, {k_key_mouse_right, "Mouse Right"}, {k_key_esc, "Esc"},
                           {5, "0"}, {14, "9"}, {15, "A"}, {40, "Z"}, {41, "-"}, {48, "\\"}, {51, "/"}, {52, "Backspace"},
                           {58, "Space"}, {59, " "}, {60, "Caps Lock"}, {names.size() - 3, "Keypad Enter"},
                           {names.size() - 1, "Keypad ."}})
        EXPECT_STREQ(names[n], name) << n;
    std::set<std::string> unique(names.begin(), names.end());
    EXPECT_EQ(unique.size(), names.size());
}

TEST(KeyTable, ScancodesMapBothWays)
{
    // Keys outside the table, and no key at all, are -1.
    for (auto [sc, n] : {std::pair{SDL_SCANCODE_ESCAPE, k_key_esc}, {SDL_SCANCODE_0, 5}, {SDL_SCANCODE_1, 6},
                         {SDL_SCANCODE_X, find_fixed_key("X")}, {SDL_SCANCODE_RCTRL, find_fixed_key("Right Ctrl")},
                         {SDL_SCANCODE_KP_ENTER, find_fixed_key("Keypad Enter")}, {SDL_SCANCODE_LALT, -1},
                         {SDL_SCANCODE_UNKNOWN, -1}})
        EXPECT_EQ(fixed_key_for_scancode(sc), n) << sc;
    for (int n : {k_key_close, 59, -1, static_cast<int>(fixed_key_names().size()), 10000})
        EXPECT_EQ(scancode_for_fixed_key(n), 0) << n;  // keys with no scancode, and numbers outside the table
    for (int n = 0; n < static_cast<int>(fixed_key_names().size()); ++n) {
        if (int sc = scancode_for_fixed_key(n)) {
            EXPECT_EQ(fixed_key_for_scancode(sc), n) << fixed_key_names()[static_cast<std::size_t>(n)];
        }
    }
}

TEST(KeyTable, NamesCompareLoosely)
{
    // The configuration's default key names.
    EXPECT_EQ(find_fixed_key("right ctrl"), find_fixed_key("Right Ctrl"));
    EXPECT_EQ(find_fixed_key("RIGHT_CTRL"), find_fixed_key("Right Ctrl"));
    EXPECT_EQ(find_fixed_key("keypad enter"), find_fixed_key("Keypad Enter"));
    EXPECT_EQ(find_fixed_key("x"), 15 + ('X' - 'A'));
    EXPECT_EQ(find_fixed_key("close"), k_key_close);
    EXPECT_EQ(find_fixed_key("page up"), find_fixed_key("Page Up"));
    EXPECT_GE(find_fixed_key("\\"), 0);
    // The blank position and empty or unknown names mean nothing.
    for (const char* name : {" ", "_", "", "Left Alt", "Right  Ctrl"})
        EXPECT_EQ(find_fixed_key(name), -1) << name;
}

}  // namespace
}  // namespace zv::platform
