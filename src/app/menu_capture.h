// Capturing a control binding: every joystick axis is watched while the
// player presses a key or moves an axis; the axis that travelled far enough
// and then rested, or else the key pressed, becomes the binding.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/settings.h"

namespace zv::app {

inline constexpr double k_capture_wait = 0.25;        // seconds of game clock
inline constexpr float k_capture_travel = 0.5f;       // |c - b| needed
inline constexpr float k_capture_low_fraction = 0.0625f;
inline constexpr float k_capture_high_fraction = 0.9375f;

struct AxisWatch {
    std::uint32_t code = 0;
    std::string name;
    float start = 0;           // b: value when the capture began (raw / 32768)
    float farthest = 0;        // c: the value farthest from b so far
    double farthest_time = 0;  // game clock when c was reached
};

struct BindingCapture {
    core::Binding* binding = nullptr;
    std::vector<AxisWatch> axes;
    bool key_recorded = false;
    std::string key_name;
    double key_time = 0;
};

enum class CaptureOutcome { waiting, axis, key };

// Reads an axis (raw value, -32768 ... 32767).
using AxisReader = std::function<float(std::uint32_t code)>;

// Begins watching: each axis' start value is read now.
void begin_capture(BindingCapture& c, core::Binding& binding, std::vector<AxisWatch> axes,
                   const AxisReader& read, double clock);
// One check after a tick's events. On an axis or key result the binding
// record is set (names interned, the other name cleared) and the watch list
// emptied; `binding` stays set so the caller can re-bind it, then clears it.
CaptureOutcome check_capture(BindingCapture& c, const AxisReader& read, double clock);

}  // namespace zv::app
