#include "app/menu_capture.h"

#include <cmath>

#include "app/controls.h"
#include "app/main_loop.h"
#include "app/menu.h"
#include "core/debug_level.h"
#include "core/messages.h"
#include "platform/input.h"
#include "platform/log.h"

namespace zv::app {

void begin_capture(BindingCapture& c, core::Binding& binding, std::vector<AxisWatch> axes,
                   const AxisReader& read, double clock)
{
    c = BindingCapture{};
    c.binding = &binding;
    c.axes = std::move(axes);
    for (AxisWatch& a : c.axes) {
        a.start = read(a.code) / 32768.0f;
        a.farthest = a.start;
        a.farthest_time = clock;
    }
}

CaptureOutcome check_capture(BindingCapture& c, const AxisReader& read, double clock)
{
    if (!c.binding)
        return CaptureOutcome::waiting;
    for (AxisWatch& a : c.axes) {
        float v = read(a.code) / 32768.0f;
        if (std::fabs(v - a.start) > std::fabs(a.farthest - a.start)) {
            a.farthest = v;
            a.farthest_time = clock;  // a new extreme restarts the wait
        }
    }
    for (const AxisWatch& a : c.axes) {
        const float travel = a.farthest - a.start;
        if (std::fabs(travel) > k_capture_travel && clock - a.farthest_time > k_capture_wait) {
            core::Binding& b = *c.binding;
            b.key_name = nullptr;
            b.axis_name = core::intern(a.name);
            b.low = a.start + travel * k_capture_low_fraction;
            b.high = a.start + travel * k_capture_high_fraction;
            c.axes.clear();
            if (core::debug_level() >= 1)
                platform::log_printf("Done watching pots\n");
            return CaptureOutcome::axis;
        }
    }
    if (c.key_recorded && clock - c.key_time > k_capture_wait) {
        core::Binding& b = *c.binding;
        b.key_name = core::intern(c.key_name);
        b.axis_name = nullptr;
        b.low = 0.0f;
        b.high = 1.0f;
        c.axes.clear();
        return CaptureOutcome::key;
    }
    return CaptureOutcome::waiting;
}

// ---- the game's capture ----

namespace {

BindingCapture& capture()
{
    static BindingCapture c;
    return c;
}

float read_platform_axis(std::uint32_t code) { return platform::axis_value(code); }

// Every axis of every joystick, each logged at debug level.
std::vector<AxisWatch> watch_all_axes()
{
    std::vector<AxisWatch> axes;
    const bool verbose = core::debug_level() >= 1;
    if (verbose)
        platform::log_printf("Watching pots\n");
    for (int dev = platform::k_first_joystick_device; dev < platform::device_count(); ++dev) {
        for (int a = 0; a < platform::k_max_device_axes; ++a) {
            const std::uint32_t code = platform::axis_code(dev, a);
            const std::string name = platform::control_name(code);
            std::optional<platform::ControlCode> found = name.empty() ? std::nullopt : platform::find_control(name);
            if (!found || *found != code)
                continue;  // the device has no such axis
            const bool ok = platform::device_attached(dev);
            if (verbose)
                platform::log_printf("\t%s %s\n", name.c_str(), ok ? "Ok" : "Failed");
            if (ok)
                axes.push_back(AxisWatch{code, name});
        }
    }
    return axes;
}

}  // namespace

void start_capture(Game& g, core::Binding& b)
{
    begin_capture(capture(), b, watch_all_axes(), read_platform_axis, g.game_clock);
}

bool capturing_binding() { return capture().binding != nullptr; }

const core::Binding* captured_binding() { return capture().binding; }

void cancel_capture() { capture() = BindingCapture{}; }

void capture_key(std::uint32_t code, double game_clock)
{
    BindingCapture& c = capture();
    if (!c.binding || platform::is_text(code))
        return;
    if (code == fixed_keys().esc) {
        cancel_capture();
        return;
    }
    if (c.key_recorded)
        return;  // one key per capture
    std::string name = platform::control_name(code);
    if (name.empty())
        return;  // a control without a name cannot be written to the configuration
    c.key_recorded = true;
    c.key_name = std::move(name);
    c.key_time = game_clock;
}

void finish_capture_tick(Game& g)
{
    BindingCapture& c = capture();
    if (!c.binding)
        return;
    if (check_capture(c, read_platform_axis, g.game_clock) != CaptureOutcome::waiting) {
        bind(*c.binding);
        cancel_capture();
    }
}

}  // namespace zv::app
