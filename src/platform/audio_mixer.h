// The mixer's own state, shared by the sound operations and the two outputs.
// Internal to the platform layer.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/audio.h"

namespace zv::platform {

inline constexpr int k_level_count = 32;
inline constexpr int k_max_volume = 32767;
inline constexpr int k_fraction_bits = 31;
inline constexpr std::uint32_t k_fraction_mask = (1u << k_fraction_bits) - 1;

// One channel's entry of a playing sound.
struct Voice {
    Sound* sound = nullptr;
    int channel = 0;            // 0 left (or mono), 1 right
    int level = 0;              // 0 ... 31
    std::uint32_t position = 0; // bytes from the start of the data
    std::uint32_t fraction = 0; // 31-bit fraction of a byte
    bool restart = false;
    bool finished = false;
    bool listed = false;
};

struct Sound {
    std::shared_ptr<std::vector<std::uint8_t>> data;  // shared by copies
    int rate = 0;               // of the data as it should play
    int output_rate = 0;
    int volume = k_max_volume;
    int pan = 0;
    bool looping = false;
    bool stereo = false;
    std::array<Voice, 2> voices;
};

enum class Output { none, device, readback };

struct Mixer {
    std::mutex mutex;
    Output output = Output::none;
    int rate = 0;
    int channels = 1;
    int budget = 16;
    int fragment_length = 0;
    std::array<std::array<std::vector<Voice*>, k_level_count>, 2> lists;
    std::array<std::vector<std::int32_t>, 2> sums;
    std::vector<std::int16_t> readback;
    std::array<std::array<std::int8_t, 256>, k_level_count> tables{};
    bool tables_built = false;
};

Mixer& mixer();

// Both with the mutex held. Mixes `count` samples per channel into the sums.
void mix_sums(Mixer& m, int count);
// Clears every list, leaving the sounds stopped (on close).
void unlist_all(Mixer& m);

// The 8-bit and 16-bit output rules for one sum.
std::uint8_t output_u8(std::int32_t sum);
std::int16_t output_s16(std::int32_t sum);

// Levels of a volume and pan: (left, right), each 0 ... 31.
int left_level(int volume, int pan);
int right_level(int volume, int pan);
// Table entry of level for sample u.
std::int8_t volume_table_value(int level, int u);

// The SDL device output (audio_device.cpp).
bool open_device(Mixer& m);
void close_device();

}  // namespace zv::platform
