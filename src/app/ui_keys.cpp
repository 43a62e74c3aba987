#include "app/ui_keys.h"

#include "app/controls.h"
#include "platform/input.h"

namespace zv::app {

UiInput ui_input(std::uint32_t code)
{
    if (platform::is_text(code))
        return UiInput{UiKey::character, platform::text_character(code), code};
    const FixedKeys& k = fixed_keys();
    UiKey key = UiKey::other;
    if (code == k_no_code)
        key = UiKey::other;
    else if (code == k.up)
        key = UiKey::up;
    else if (code == k.down)
        key = UiKey::down;
    else if (code == k.left)
        key = UiKey::left;
    else if (code == k.right)
        key = UiKey::right;
    else if (code == k.enter || code == k.keypad_enter)
        key = UiKey::enter;
    else if (code == k.page_up)
        key = UiKey::page_up;
    else if (code == k.page_down)
        key = UiKey::page_down;
    else if (code == k.home)
        key = UiKey::home;
    else if (code == k.end)
        key = UiKey::end;
    else if (code == k.insert)
        key = UiKey::insert;
    else if (code == k.backspace)
        key = UiKey::backspace;
    else if (code == k.del)
        key = UiKey::del;
    else if (code == k.tab)
        key = UiKey::tab;
    else if (code == k.space)
        key = UiKey::space;
    else if (code == k.esc)
        key = UiKey::esc;
    else if (code == k.cursor_left)
        key = UiKey::click;
    return UiInput{key, -1, code};
}

}  // namespace zv::app
