// A key press as the menus and the chat line see it: one of the keys that
// move and edit, or a typed character.
#pragma once

#include <cstdint>

namespace zv::app {

enum class UiKey {
    other,       // any other control (a binding capture still sees its code)
    character,   // a typed character (see UiInput::character)
    up, down, left, right,
    enter,       // "enter" or "keypad enter"
    page_up, page_down, home, end, insert,
    backspace, del, tab, space, esc,
    click,       // the "cursor-left" button pressed
    drag,        // the pointer moved with the button held
};

struct UiInput {
    UiKey key = UiKey::other;
    int character = -1;        // 32 ... 255 for UiKey::character
    std::uint32_t code = 0;    // the control code it came from
};

// What a pressed control means to a page (needs bind_inputs for the key
// codes; typed characters need nothing).
UiInput ui_input(std::uint32_t code);

inline UiInput typed(int character) { return UiInput{UiKey::character, character, 0}; }
inline UiInput pressed(UiKey key) { return UiInput{key, -1, 0}; }

}  // namespace zv::app
