// Small tools every generator uses: a seeded random generator, smooth value
// noise, gzip packing and archive members. Everything here is deterministic.
#pragma once

#include "core/saf_writer.h"

#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zv::datagen {

constexpr double k_pi = 3.14159265358979323846;

// SplitMix64: tiny, fast and the same on every platform.
class Rng {
public:
    explicit Rng(std::uint64_t seed) : state_(seed) {}
    std::uint64_t next()
    {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // Uniform in [0, 1).
    double uniform() { return static_cast<double>(next() >> 11) * (1.0 / 9007199254740992.0); }
    double range(double lo, double hi) { return lo + (hi - lo) * uniform(); }
    int below(int n) { return n <= 0 ? 0 : static_cast<int>(next() % static_cast<std::uint64_t>(n)); }

private:
    std::uint64_t state_;
};

// Smooth 2D value noise in [-1, 1] with the given feature size; several
// octaves summed with halving amplitude (fractal noise).
double value_noise(std::uint64_t seed, double x, double y);
double fractal_noise(std::uint64_t seed, double x, double y, double feature, int octaves);

inline double clamp01(double v) { return v < 0 ? 0 : (v > 1 ? 1 : v); }
inline double smoothstep(double e0, double e1, double x)
{
    double t = clamp01((x - e0) / (e1 - e0));
    return t * t * (3 - 2 * t);
}
inline double lerp(double a, double b, double t) { return a + (b - a) * t; }

// gzip member with a zero time stamp (deterministic).
std::vector<std::uint8_t> gzip_bytes(const std::vector<std::uint8_t>& data);

std::vector<std::uint8_t> to_bytes(std::string_view text);

// "%g"-like formatting with six significant digits and no "-0".
std::string num(double v);

// A data folder being written: loose files under a root folder.
bool write_file_bytes(const std::string& path, const std::vector<std::uint8_t>& bytes);

}  // namespace zv::datagen
