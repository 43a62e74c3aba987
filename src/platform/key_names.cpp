#include "platform/key_names.h"

#include <SDL.h>

#include <array>

#include "platform/names.h"

namespace zv::platform {

namespace {

struct FixedKey {
    const char* name;
    SDL_Scancode scancode;
};

constexpr SDL_Scancode k_none = SDL_SCANCODE_UNKNOWN;

// The order is part of the configuration's meaning: "Keyboard.key[n]" names
// entry n.
constexpr std::array k_keys = std::to_array<FixedKey>({
    {"Close", k_none},
    {"Mouse Left", k_none},
    {"Mouse Middle", k_none},
    {"Mouse Right", k_none},
    {"Esc", SDL_SCANCODE_ESCAPE},
    {"0", SDL_SCANCODE_0},
    {"1", SDL_SCANCODE_1},
    {"2", SDL_SCANCODE_2},
    {"3", SDL_SCANCODE_3},
    {"4", SDL_SCANCODE_4},
    {"5", SDL_SCANCODE_5},
    {"6", SDL_SCANCODE_6},
    {"7", SDL_SCANCODE_7},
    {"8", SDL_SCANCODE_8},
    {"9", SDL_SCANCODE_9},
    {"A", SDL_SCANCODE_A},
    {"B", SDL_SCANCODE_B},
    {"C", SDL_SCANCODE_C},
    {"D", SDL_SCANCODE_D},
    {"E", SDL_SCANCODE_E},
    {"F", SDL_SCANCODE_F},
    {"G", SDL_SCANCODE_G},
    {"H", SDL_SCANCODE_H},
    {"I", SDL_SCANCODE_I},
    {"J", SDL_SCANCODE_J},
    {"K", SDL_SCANCODE_K},
    {"L", SDL_SCANCODE_L},
    {"M", SDL_SCANCODE_M},
    {"N", SDL_SCANCODE_N},
    {"O", SDL_SCANCODE_O},
    {"P", SDL_SCANCODE_P},
    {"Q", SDL_SCANCODE_Q},
    {"R", SDL_SCANCODE_R},
    {"S", SDL_SCANCODE_S},
    {"T", SDL_SCANCODE_T},
    {"U", SDL_SCANCODE_U},
    {"V", SDL_SCANCODE_V},
    {"W", SDL_SCANCODE_W},
    {"X", SDL_SCANCODE_X},
    {"Y", SDL_SCANCODE_Y},
    {"Z", SDL_SCANCODE_Z},
    {"-", SDL_SCANCODE_MINUS},
    {"=", SDL_SCANCODE_EQUALS},
    {"[", SDL_SCANCODE_LEFTBRACKET},
    {"]", SDL_SCANCODE_RIGHTBRACKET},
    {";", SDL_SCANCODE_SEMICOLON},
    {"'", SDL_SCANCODE_APOSTROPHE},
    {"`", SDL_SCANCODE_GRAVE},
    {"\\", SDL_SCANCODE_BACKSLASH},
    {",", SDL_SCANCODE_COMMA},
    {".", SDL_SCANCODE_PERIOD},
    {"/", SDL_SCANCODE_SLASH},
    {"Backspace", SDL_SCANCODE_BACKSPACE},
    {"Tab", SDL_SCANCODE_TAB},
    {"Enter", SDL_SCANCODE_RETURN},
    {"Left Ctrl", SDL_SCANCODE_LCTRL},
    {"Left Shift", SDL_SCANCODE_LSHIFT},
    {"Right Shift", SDL_SCANCODE_RSHIFT},
    {"Space", SDL_SCANCODE_SPACE},
    {" ", k_none},  // a position without a key
    {"Caps Lock", SDL_SCANCODE_CAPSLOCK},
    {"Right Ctrl", SDL_SCANCODE_RCTRL},
    {"Insert", SDL_SCANCODE_INSERT},
    {"Delete", SDL_SCANCODE_DELETE},
    {"Home", SDL_SCANCODE_HOME},
    {"End", SDL_SCANCODE_END},
    {"Page Up", SDL_SCANCODE_PAGEUP},
    {"Page Down", SDL_SCANCODE_PAGEDOWN},
    {"Up", SDL_SCANCODE_UP},
    {"Down", SDL_SCANCODE_DOWN},
    {"Left", SDL_SCANCODE_LEFT},
    {"Right", SDL_SCANCODE_RIGHT},
    {"F1", SDL_SCANCODE_F1},
    {"F2", SDL_SCANCODE_F2},
    {"F3", SDL_SCANCODE_F3},
    {"F4", SDL_SCANCODE_F4},
    {"F5", SDL_SCANCODE_F5},
    {"F6", SDL_SCANCODE_F6},
    {"F7", SDL_SCANCODE_F7},
    {"F8", SDL_SCANCODE_F8},
    {"F9", SDL_SCANCODE_F9},
    {"F10", SDL_SCANCODE_F10},
    {"F11", SDL_SCANCODE_F11},
    {"F12", SDL_SCANCODE_F12},
    {"Pause", SDL_SCANCODE_PAUSE},
    {"Num Lock", SDL_SCANCODE_NUMLOCKCLEAR},
    {"Keypad /", SDL_SCANCODE_KP_DIVIDE},
    {"Keypad *", SDL_SCANCODE_KP_MULTIPLY},
    {"Keypad -", SDL_SCANCODE_KP_MINUS},
    {"Keypad 7", SDL_SCANCODE_KP_7},
    {"Keypad 8", SDL_SCANCODE_KP_8},
    {"Keypad 9", SDL_SCANCODE_KP_9},
    {"Keypad +", SDL_SCANCODE_KP_PLUS},
    {"Keypad 4", SDL_SCANCODE_KP_4},
    {"Keypad 5", SDL_SCANCODE_KP_5},
    {"Keypad 6", SDL_SCANCODE_KP_6},
    {"Keypad 1", SDL_SCANCODE_KP_1},
    {"Keypad 2", SDL_SCANCODE_KP_2},
    {"Keypad 3", SDL_SCANCODE_KP_3},
    {"Keypad Enter", SDL_SCANCODE_KP_ENTER},
    {"Keypad 0", SDL_SCANCODE_KP_0},
    {"Keypad .", SDL_SCANCODE_KP_PERIOD},
});

constexpr std::array<const char*, k_keys.size()> k_names = [] {
    std::array<const char*, k_keys.size()> n{};
    for (std::size_t i = 0; i < k_keys.size(); ++i)
        n[i] = k_keys[i].name;
    return n;
}();

}  // namespace

std::span<const char* const> fixed_key_names() { return k_names; }

int fixed_key_for_scancode(int scancode)
{
    if (scancode == k_none)
        return -1;
    for (std::size_t i = 0; i < k_keys.size(); ++i)
        if (k_keys[i].scancode == scancode)
            return static_cast<int>(i);
    return -1;
}

int scancode_for_fixed_key(int n)
{
    if (n < 0 || n >= static_cast<int>(k_keys.size()))
        return 0;
    return k_keys[static_cast<std::size_t>(n)].scancode;
}

int find_fixed_key(std::string_view name)
{
    // The blank position has no key a name could mean.
    if (name.empty() || names_equal(name, " "))
        return -1;
    for (std::size_t i = 0; i < k_keys.size(); ++i)
        if (names_equal(name, k_keys[i].name))
            return static_cast<int>(i);
    return -1;
}

}  // namespace zv::platform
