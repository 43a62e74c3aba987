#include "app/controls.h"

#include <algorithm>
#include <vector>

#include "platform/input.h"
#include "platform/key_names.h"

namespace zv::app {

namespace {

struct HeldState {
    core::Binding* binding = nullptr;
    bool pressed_this_tick = false;
    bool release_pending = false;
};

struct ControlsState {
    FixedKeys keys;
    core::Binding cursor_x{"cursor-x", nullptr, nullptr, "cursor-x"};
    core::Binding cursor_y{"cursor-y", nullptr, nullptr, "cursor-y"};
    std::vector<HeldState> held;  // every binding record of the settings
};

ControlsState& state()
{
    static ControlsState s;
    return s;
}

std::uint32_t code_of(const char* name, bool want_axis)
{
    if (!name || !*name)
        return k_no_code;
    std::optional<platform::ControlCode> c = platform::find_control(name);
    if (!c || platform::is_axis(*c) != want_axis)
        return k_no_code;
    return *c;
}

std::uint32_t key_named(const char* name) { return code_of(name, false); }

void collect_bindings(ControlsState& s)
{
    s.held.clear();
    for (const core::SettingEntry& e : core::setting_table())
        if (auto* b = std::get_if<core::Binding*>(&e.ref))
            s.held.push_back({*b, false, false});
}

}  // namespace

std::uint32_t binding_code(const core::Binding& binding)
{
    return binding.handle < 0 ? k_no_code : static_cast<std::uint32_t>(binding.handle);
}

void bind(core::Binding& binding)
{
    std::uint32_t code = binding.axis_name ? code_of(binding.axis_name, true) : code_of(binding.key_name, false);
    binding.handle = code == k_no_code ? -1 : static_cast<std::intptr_t>(code);
    binding.value = 0.0f;
}

void bind_inputs()
{
    ControlsState& s = state();
    bind(s.cursor_x);
    bind(s.cursor_y);
    collect_bindings(s);
    for (HeldState& h : s.held)
        bind(*h.binding);
    FixedKeys& k = s.keys;
    k.up = key_named("up");
    k.down = key_named("down");
    k.left = key_named("left");
    k.right = key_named("right");
    k.enter = key_named("enter");
    k.keypad_enter = key_named("keypad enter");
    k.esc = key_named("esc");
    k.pause = key_named("pause");
    k.cursor_left = key_named("cursor-left");
    k.cursor_right = key_named("cursor-right");
    k.page_up = key_named("page up");
    k.page_down = key_named("page down");
    k.close = key_named("close");
    k.tab = key_named("tab");
    k.backspace = key_named("backspace");
    k.del = key_named("delete");
    k.home = key_named("home");
    k.end = key_named("end");
    k.space = key_named("space");
    k.insert = key_named("insert");
    for (int d = 0; d < 10; ++d) {
        const char name[2] = {static_cast<char>('0' + d), 0};
        k.digits[static_cast<std::size_t>(d)] = key_named(name);
    }
}

void release_inputs()
{
    ControlsState& s = state();
    for (core::Binding* b : {&s.cursor_x, &s.cursor_y}) {
        b->handle = -1;
        b->value = 0;
    }
    for (const core::SettingEntry& e : core::setting_table())
        if (auto* b = std::get_if<core::Binding*>(&e.ref)) {
            (*b)->handle = -1;
            (*b)->value = 0.0f;
        }
    s.held.clear();
    s.keys = FixedKeys{};
}

const FixedKeys& fixed_keys() { return state().keys; }

void begin_binding_tick()
{
    for (HeldState& h : state().held) {
        if (h.release_pending)
            h.binding->value = 0.0f;
        h.release_pending = false;
        h.pressed_this_tick = false;
    }
}

void apply_binding_event(std::uint32_t code, bool pressed)
{
    if (code == k_no_code)
        return;
    for (HeldState& h : state().held) {
        core::Binding& b = *h.binding;
        if (b.axis_name || binding_code(b) != code)
            continue;
        if (pressed) {
            b.value = 1.0f;
            h.pressed_this_tick = true;
            h.release_pending = false;
        } else if (h.pressed_this_tick) {
            h.release_pending = true;
        } else {
            b.value = 0.0f;
        }
    }
}

float axis_binding_value(float raw, float low, float high)
{
    if (!(high != low))
        return 0.0f;
    float v = (raw / 32768.0f - low) / (high - low);
    if (!(v > 0.0f))
        return 0.0f;
    return std::min(v, 1.0f);
}

void read_axis_bindings()
{
    for (HeldState& h : state().held) {
        core::Binding& b = *h.binding;
        if (!b.axis_name)
            continue;
        std::uint32_t code = binding_code(b);
        b.value = code == k_no_code ? 0.0f : axis_binding_value(platform::axis_value(code), b.low, b.high);
    }
}

sim::RiderInput control_values()
{
    std::array<float, core::k_control_count> v{};
    core::Settings& s = core::settings();
    for (const core::ControlBinding& cb : core::k_control_bindings)
        v[static_cast<std::size_t>(cb.control)] += (s.*cb.binding).value * cb.sign;
    sim::RiderInput in;
    in.steer = v[0];
    in.throttle = v[1];
    in.front_brake = v[2];
    in.rear_brake = v[3];
    in.shift = v[4];
    in.clutch = v[5];
    in.sit_dab = v[6];
    in.back_up = v[7];
    in.lean = v[8];
    return in;
}

void reset_binding_values()
{
    ControlsState& s = state();
    for (HeldState& h : s.held) {
        h.binding->value = 0.0f;
        h.pressed_this_tick = false;
        h.release_pending = false;
    }
    s.cursor_x.value = s.cursor_y.value = 0.0f;
}

float cursor_x()
{
    std::uint32_t c = binding_code(state().cursor_x);
    return c == k_no_code ? 0.0f : platform::axis_value(c);
}

float cursor_y()
{
    std::uint32_t c = binding_code(state().cursor_y);
    return c == k_no_code ? 0.0f : platform::axis_value(c);
}

}  // namespace zv::app
