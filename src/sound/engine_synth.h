// The engine noise generator: one table cycle replayed per firing at the
// current engine speed, blended over the four nearest table cells and fed
// through the pipe's feedback delay line.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "sound/engine_params.h"

namespace zv::sound {

inline constexpr int k_ring_samples = 32768;
inline constexpr int k_ring_mask = k_ring_samples - 1;
inline constexpr int k_start_write_position = 11025;
inline constexpr int k_lead_samples = 4410;     // kept ahead of playback: 0.1 s
inline constexpr int k_max_frame_samples = 8820;
inline constexpr int k_position_bits = 10;     // voice positions are fixed point
inline constexpr std::uint32_t k_phase_one = 1u << 24;

struct SynthVoice {
    const SoundCell* cell = nullptr;
    float weight = 0;
    std::int64_t position = 0;  // samples << 10
    std::int64_t step = 0;
};

struct EngineSynth {
    std::vector<float> ring = std::vector<float>(k_ring_samples, 0.0f);  // output and pipe delay line
    int write_position = k_start_write_position;
    std::array<SynthVoice, 4> voices{};
    std::uint32_t phase = 0;        // 24-bit fraction of a firing cycle
    std::int64_t firings = 0;
    float last_speed = 1000;        // rpm at the end of the previous frame
    float frequency = 10;           // firings per second
};

// Samples to make this frame for a stream playing at play_position: up to
// 0.1 s ahead of it, at most 0.2 s; none while the generator is still ahead
// by its starting lead.
int samples_wanted(int play_position, int write_position);

// Engine load 0 ... 1 from the engine torque.
float engine_load(const EngineParams& p, float torque);

// Makes count samples (engine speed moving linearly from the last frame's to
// speed) into the ring at the write position, and as unsigned 8-bit samples
// into out (count of them). Advances the write position.
void synthesize(EngineSynth& s, const EngineParams& p, float speed, float load, std::span<std::uint8_t> out);

// One firing at sample index of count (exposed for tests).
void fire(EngineSynth& s, const EngineParams& p, float speed, float load, int index, int count);

std::uint8_t to_u8(float sample);

}  // namespace zv::sound
