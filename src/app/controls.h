// The input bindings at run time: every binding record of the settings tied
// to its device control, the fixed keys the loop reacts to, and the nine
// control values a tick builds from them.
#pragma once

#include <array>
#include <cstdint>

#include "core/settings.h"
#include "sim/control.h"

namespace zv::app {

inline constexpr std::uint32_t k_no_code = 0xffffffffu;

// Control codes of the keys the loop and the menus use directly (k_no_code
// when the name means nothing on this machine).
struct FixedKeys {
    std::uint32_t up = k_no_code, down = k_no_code, left = k_no_code, right = k_no_code;
    std::uint32_t enter = k_no_code, keypad_enter = k_no_code, esc = k_no_code, pause = k_no_code;
    std::uint32_t cursor_left = k_no_code, cursor_right = k_no_code;
    std::uint32_t page_up = k_no_code, page_down = k_no_code, close = k_no_code, tab = k_no_code;
    std::uint32_t backspace = k_no_code, del = k_no_code, home = k_no_code, end = k_no_code;
    std::uint32_t space = k_no_code, insert = k_no_code;
    std::array<std::uint32_t, 10> digits{};
};

// Binds the mouse axes "cursor-x" and "cursor-y", every binding record of
// the settings and the fixed keys (needs the input devices open).
void bind_inputs();
// Every binding lets go of its device; the records stay for the file.
void release_inputs();
const FixedKeys& fixed_keys();
// The code a binding is tied to, or k_no_code.
std::uint32_t binding_code(const core::Binding& binding);
// Ties one binding to the control its names mean (after a change).
void bind(core::Binding& binding);

// ---- per tick ----
// A tick begins: releases held back from the previous tick take effect.
void begin_binding_tick();
// A key event: every key binding on code takes 1 while pressed and 0 once
// released. A release in the same tick as its press is held back to the next
// tick, so the press still counts for the tick that took it.
void apply_binding_event(std::uint32_t code, bool pressed);
// Axis bindings read their axes.
void read_axis_bindings();
// The nine control values: every control binding's value times its sign,
// added into its control.
sim::RiderInput control_values();
// Every binding back to 0 (the loading screen).
void reset_binding_values();

// An axis binding's value: clamp((raw / 32768 - low) / (high - low), 0, 1);
// 0 when low equals high.
float axis_binding_value(float raw, float low, float high);

// The mouse cursor position of the "cursor-x" and "cursor-y" bindings.
float cursor_x();
float cursor_y();

}  // namespace zv::app
