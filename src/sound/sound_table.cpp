#include "sound/sound_table.h"

#include <climits>
#include <cmath>
#include <map>
#include <numbers>

#include "core/data_file.h"
#include "core/messages.h"

namespace zv::sound {

namespace {

constexpr int k_max_rows = 256;
constexpr int k_max_cells = 4096;
constexpr int k_max_remap = 65536;
// Cycles are counted in whole numbers; above this a float cannot tell one
// from the next, and remapped cycle numbers would not fit an int.
constexpr float k_max_cycles = 16777216.0f;

std::map<std::string, std::shared_ptr<const SoundTable>, std::less<>>& table_cache()
{
    static std::map<std::string, std::shared_ptr<const SoundTable>, std::less<>> cache;
    return cache;
}

std::map<std::string, std::shared_ptr<const std::vector<float>>, std::less<>>& sample_cache()
{
    static std::map<std::string, std::shared_ptr<const std::vector<float>>, std::less<>> cache;
    return cache;
}

SoundTable builtin_table(const char* name, float (*wave)(int))
{
    auto full = std::make_shared<std::vector<float>>(k_builtin_cycle_samples);
    auto quarter = std::make_shared<std::vector<float>>(k_builtin_cycle_samples);
    for (int k = 0; k < k_builtin_cycle_samples; ++k) {
        (*full)[static_cast<std::size_t>(k)] = wave(k);
        (*quarter)[static_cast<std::size_t>(k)] = wave(k) * 0.25f;
    }
    SoundTable t;
    t.name = name;
    t.rows = 1;
    t.columns = 2;
    t.speeds = {0};
    t.loads = {0, 1};
    t.cells.resize(2);
    t.cells[0].samples = std::move(quarter);
    t.cells[0].load = 0;
    t.cells[1].samples = std::move(full);
    t.cells[1].load = 1;
    return t;
}

// Raw signed 16-bit little-endian mono samples; null when unreadable or empty.
std::shared_ptr<const std::vector<float>> load_samples(const std::string& name)
{
    auto& cache = sample_cache();
    if (auto it = cache.find(name); it != cache.end())
        return it->second;
    std::shared_ptr<const std::vector<float>> result;
    std::vector<std::uint8_t> bytes;
    if (core::read_data_file(name, bytes) && bytes.size() >= 2) {
        auto samples = std::make_shared<std::vector<float>>(bytes.size() / 2);
        for (std::size_t i = 0; i < samples->size(); ++i) {
            const auto v = static_cast<std::int16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
            (*samples)[i] = static_cast<float>(v) / 32768.0f;
        }
        result = std::move(samples);
    }
    cache.emplace(name, result);
    return result;
}

int reduce(long long cycle, float cycles)
{
    const double r = std::fmod(static_cast<double>(cycle), static_cast<double>(cycles));
    return static_cast<int>(r < 0 ? r + cycles : r);
}

std::shared_ptr<const SoundTable> read_table(const std::string& name)
{
    core::DataFilePtr f = core::open_data_file(name, "r");
    int rows = 0, columns = 0;
    auto header_error = [&] {
        core::show_message("Error reading '%.512s'", name.c_str());
        return nullptr;
    };
    if (!f || core::scan(*f, " SOUNDTABLE %d %d", &rows, &columns) != 2 || rows < 1 || columns < 1 ||
        rows > k_max_rows || columns > k_max_rows || rows * columns > k_max_cells)
        return header_error();
    auto t = std::make_shared<SoundTable>();
    t->name = name;
    t->rows = rows;
    t->columns = columns;
    t->speeds.resize(static_cast<std::size_t>(rows));
    t->loads.resize(static_cast<std::size_t>(columns));
    for (float& v : t->speeds)
        if (core::scan(*f, " %f", &v) != 1 || !std::isfinite(v))
            return header_error();
    for (float& v : t->loads)
        if (core::scan(*f, " %f", &v) != 1 || !std::isfinite(v))
            return header_error();
    t->cells.resize(static_cast<std::size_t>(rows * columns));
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < columns; ++c) {
            SoundCell& cell = t->cells[static_cast<std::size_t>(r * columns + c)];
            cell.speed = t->speeds[static_cast<std::size_t>(r)];
            cell.load = t->loads[static_cast<std::size_t>(c)];
            std::vector<long long> remap;
            for (;;) {
                const int v = core::read_int(*f);
                if (v == -1)
                    break;
                if (v == INT_MIN || static_cast<int>(remap.size()) >= k_max_remap) {
                    core::show_message("(%d, %d) Bad remap entry", r, c);
                    return nullptr;
                }
                remap.push_back(v);
            }
            char file[1024] = {};
            float cycles = 0;
            if (core::scan(*f, "%f %1023s", &cycles, file) != 2 || !std::isfinite(cycles) ||
                cycles > k_max_cycles) {
                core::show_message("(%d, %d) Bad remap entry", r, c);
                return nullptr;
            }
            cell.cycles = std::max(1.0f, cycles);
            for (long long v : remap)
                cell.remap.push_back(reduce(v, cell.cycles));
            cell.samples = load_samples(file);
            if (!cell.samples) {
                core::show_message("(%d, %d) Error reading '%.512s'", r, c, file);
                return nullptr;
            }
        }
    }
    return t;
}

}  // namespace

float four_stroke_wave(int k)
{
    const double x = k / 1023.0;
    double w = (std::fabs(std::sin(3 * std::numbers::pi * x + 0.5246)) - 0.5) * 0.5;
    if (x < 0.25)
        w += std::sin(16 * std::numbers::pi * x) * (1 - 4 * x);
    return static_cast<float>(w);
}

float two_stroke_wave(int k)
{
    const double x = k / 1023.0;
    return x < 0.25 ? static_cast<float>(std::sin(8 * std::numbers::pi * x) * (1 - 4 * x)) : 0.0f;
}

const SoundTable& four_stroke_table()
{
    static const SoundTable t = builtin_table("default_four_stroke", four_stroke_wave);
    return t;
}

const SoundTable& two_stroke_table()
{
    static const SoundTable t = builtin_table("default_two_stroke", two_stroke_wave);
    return t;
}

std::shared_ptr<const SoundTable> load_sound_table(std::string_view name)
{
    auto& cache = table_cache();
    if (auto it = cache.find(name); it != cache.end())
        return it->second;
    std::string key(name);
    auto t = read_table(key);
    cache.emplace(std::move(key), t);
    return t;
}

void clear_sound_cache()
{
    table_cache().clear();
    sample_cache().clear();
}

}  // namespace zv::sound
