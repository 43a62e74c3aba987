// Engine sound tables: recorded engine cycles indexed by engine speed (rows)
// and load (columns). Tables and their sample files are loaded once per run
// and shared by every rider.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace zv::sound {

struct SoundCell {
    std::shared_ptr<const std::vector<float>> samples;  // -1 ... 1
    float cycles = 1;          // engine cycles in the samples, at least 1
    std::vector<int> remap;    // cycle numbers to play in turn (empty: in order)
    float speed = 0;           // the row's engine speed, rpm
    float load = 0;            // the column's load
    int sample_count() const { return samples ? static_cast<int>(samples->size()) : 0; }
};

struct SoundTable {
    std::string name;
    int rows = 0;
    int columns = 0;
    std::vector<float> speeds;  // per row, ascending
    std::vector<float> loads;   // per column, ascending
    std::vector<SoundCell> cells;  // row by row
    const SoundCell& cell(int row, int column) const
    {
        return cells[static_cast<std::size_t>(row * columns + column)];
    }
};

inline constexpr int k_builtin_cycle_samples = 1024;

// "default_four_stroke" and "default_two_stroke": one row, two columns (loads
// 0 and 1), a one-cycle waveform at a quarter and at full amplitude.
const SoundTable& four_stroke_table();
const SoundTable& two_stroke_table();

// One sample of the built-in four- and two-stroke cycles at k of 1024.
float four_stroke_wave(int k);
float two_stroke_wave(int k);

// A table file, cached by name (failures too, so each is reported once).
// Null when it cannot be used; the caller keeps its built-in table.
std::shared_ptr<const SoundTable> load_sound_table(std::string_view name);

// Forgets every cached table and sample file (tests).
void clear_sound_cache();

}  // namespace zv::sound
