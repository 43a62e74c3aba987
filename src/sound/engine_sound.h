// Every rider's engine sound: a looping stream per rider slot whose samples
// are synthesised each frame from the engine's speed and load, with pitch
// (Doppler), volume (distance) and pan (direction) from the camera.
#pragma once

#include <string_view>

#include "platform/audio.h"
#include "sim/vec.h"
#include "sound/engine_params.h"
#include "sound/engine_synth.h"

namespace zv::sound {

inline constexpr int k_engine_slots = 160;

// What one frame of engine sound needs from its rider. Locally simulated
// riders take it from the bike; riders driven by recorded states take it
// from their record.
struct EngineInput {
    float rpm = 0;
    float torque = 0;        // engine torque, mapped to load by the description
    sim::Vec3 position;      // the bike frame's, world
    sim::Vec3 velocity;
};

struct Listener {
    sim::Vec3 position;
    sim::Vec3 velocity;      // the followed bike's
    sim::Vec3 side{1, 0, 0}; // the camera's sideways axis
};

struct EngineSound {
    platform::SoundPtr stream;  // null when no sound output is open
    EngineParams params;
    EngineSynth synth;
};

// Creates the slot's record and stream for a bike texture and engine class
// (an empty class: no bike), choosing the description file.
void load_engine_sound(int slot, std::string_view texture_name, std::string_view engine_class);
void free_engine_sound(int slot);
void free_all_engine_sounds();
EngineSound* engine_sound(int slot);  // null when the slot has none

// Once per frame per slot with a record: new samples, pitch, volume, pan.
void update_engine_sound(int slot, float volume, const EngineInput& input, const Listener& listener);

// The pipe of the "pipe" console command.
void set_engine_pipe(int slot, const Pipe& pipe);

// Stream controls for a source and listener.
struct StreamControls {
    int rate;     // Hz
    int volume;   // 0 ... 32767
    int pan;      // -32767 ... 32767
};
StreamControls stream_controls(float volume, const EngineInput& input, const Listener& listener);

// Fills params for a texture and class: the built-in set, then the first
// description that opens (or the class default).
EngineParams engine_params_for(std::string_view texture_name, std::string_view engine_class);

}  // namespace zv::sound
