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
    EXPECT_STREQ(names[k_key_close], "Close");
    EXPECT_STREQ(names[k_key_mouse_left], "Mouse Left");
    EXPECT_STREQ(names[k_key_mouse_middle], "Mouse Middle");
    EXPECT_STREQ(names[k_key_mouse_right], "Mouse Right");
    EXPECT_STREQ(names[k_key_esc], "Esc");
    EXPECT_STREQ(names[5], "0");
    EXPECT_STREQ(names[14], "9");
    EXPECT_STREQ(names[15], "A");
    EXPECT_STREQ(names[40], "Z");
    EXPECT_STREQ(names[41], "-");
    EXPECT_STREQ(names[48], "\\");
    EXPECT_STREQ(names[51], "/");
    EXPECT_STREQ(names[52], "Backspace");
    EXPECT_STREQ(names[58], "Space");
    EXPECT_STREQ(names[59], " ");
    EXPECT_STREQ(names[60], "Caps Lock");
    EXPECT_STREQ(names[names.size() - 1], "Keypad .");
    EXPECT_STREQ(names[names.size() - 3], "Keypad Enter");
    std::set<std::string> unique(names.begin(), names.end());
    EXPECT_EQ(unique.size(), names.size());
}

TEST(KeyTable, ScancodesMapBothWays)
{
    EXPECT_EQ(fixed_key_for_scancode(SDL_SCANCODE_ESCAPE), k_key_esc);
    EXPECT_EQ(fixed_key_for_scancode(SDL_SCANCODE_0), 5);
    EXPECT_EQ(fixed_key_for_scancode(SDL_SCANCODE_1), 6);
    EXPECT_EQ(fixed_key_for_scancode(SDL_SCANCODE_X), find_fixed_key("X"));
    EXPECT_EQ(fixed_key_for_scancode(SDL_SCANCODE_RCTRL), find_fixed_key("Right Ctrl"));
    EXPECT_EQ(fixed_key_for_scancode(SDL_SCANCODE_KP_ENTER), find_fixed_key("Keypad Enter"));
    // Keys outside the table, and no key at all.
    EXPECT_EQ(fixed_key_for_scancode(SDL_SCANCODE_LALT), -1);
    EXPECT_EQ(fixed_key_for_scancode(SDL_SCANCODE_UNKNOWN), -1);
    EXPECT_EQ(scancode_for_fixed_key(k_key_close), 0);
    EXPECT_EQ(scancode_for_fixed_key(59), 0);
    EXPECT_EQ(scancode_for_fixed_key(-1), 0);
    EXPECT_EQ(scancode_for_fixed_key(10000), 0);
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
    EXPECT_EQ(find_fixed_key(" "), -1);
    EXPECT_EQ(find_fixed_key("_"), -1);
    EXPECT_EQ(find_fixed_key(""), -1);
    EXPECT_EQ(find_fixed_key("Left Alt"), -1);
    EXPECT_EQ(find_fixed_key("Right  Ctrl"), -1);
}

}  // namespace
}  // namespace zv::platform
