// What shapes one engine's sound: the sound table, the speed and load
// mapping, the firing rhythm (bias and scale lists) and the exhaust pipe.
// Built-in sets per engine class, ".braap" description files on top.
#pragma once

#include <array>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "sound/sound_table.h"

namespace zv::sound {

inline constexpr int k_pipe_taps = 16;
inline constexpr int k_max_list = 100;       // bias and scale numbers
inline constexpr double k_speed_of_sound = 1140.63;  // ft/s
inline constexpr int k_synth_rate = 44100;

struct PipeTap {
    int delay = 0;     // samples
    float gain = 0;
};

struct Pipe {
    float length = 5.0f;     // feet
    float spread = 0.918207f;
    float gain = -0.85f;
    int first_tap = 0;
    int last_tap = 15;
};

inline constexpr Pipe k_four_stroke_pipe{5.0f, 0.918207f, -0.85f, 0, 15};
inline constexpr Pipe k_two_stroke_pipe{1.75f, 0.3f, -0.75f, 0, 15};
inline constexpr Pipe k_silent_pipe{1.0f, 1.0f, 0.0f, 0, 15};

struct EngineParams {
    const SoundTable* table = nullptr;
    std::shared_ptr<const SoundTable> loaded_table;  // keeps a file's table alive
    float cycles_per_revolution = 1;
    float low_torque = -3.5f;
    float high_torque = 3.5f;
    float min_rpm = 1000;
    std::vector<float> bias{0.0f};
    std::vector<float> scale{1.0f};
    std::array<PipeTap, k_pipe_taps> taps{};
};

enum class EngineSet { four_stroke, two_stroke, small };

// "50" is small, a class ending in "f" (or none) four-stroke, others two-stroke.
EngineSet engine_set_for_class(std::string_view engine_class);
EngineParams builtin_params(EngineSet set);

// Recomputes taps first ... last (clamped to 0 ... 15, last raised to first);
// the other taps keep their values.
void apply_pipe(std::array<PipeTap, k_pipe_taps>& taps, const Pipe& pipe);

// Reads a description over params (which hold the built-in set); the pipe
// starts silent. False when the file cannot be opened (params untouched).
bool load_description(std::string_view name, EngineParams& params);

// The description names tried for a bike texture, in order.
std::vector<std::string> description_candidates(std::string_view texture_name);
// "@default50.braap" ... for the known classes, "" for others.
std::string class_description(std::string_view engine_class);

}  // namespace zv::sound
