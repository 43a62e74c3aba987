// The lighting of a track: sun, ambient light, sky pictures, fog, lens flares
// and the clipping planes. One set per track, read from the lighting file.
#pragma once

#include "track/resources.h"

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace zv::track {

using Vec3f = std::array<float, 3>;

constexpr int k_max_flare_elements = 8;
constexpr float k_min_near_plane = 1.0f / 1024.0f;
constexpr float k_max_near_plane = 0.875f;
constexpr float k_max_far_plane = 1048576.0f;

struct FlareElement {
    std::array<float, 2> params{};
    Vec3f color{};
    float size = 0;
    TextureId texture = 0;
    std::string texture_name;
};

enum class FlareKind { point, direction };

struct Flare {
    FlareKind kind = FlareKind::point;
    Vec3f position{};  // a world point, or a direction
    std::vector<FlareElement> elements;  // at most 8
};

enum SkySide { k_sky_north, k_sky_east, k_sky_south, k_sky_west, k_sky_up, k_sky_env, k_sky_count };

struct Lighting {
    Vec3f sun_vector{0.57735026f, 0.57735026f, 0.57735026f};  // unit length
    Vec3f sun_color{1, 1, 1};
    Vec3f ambient{0.5f, 0.5f, 0.5f};
    Vec3f global_ambient{0.2f, 0.2f, 0.2f};
    float near_plane = 0.25f;
    float far_plane = 5000.0f;
    bool dynamic_lighting = false;
    std::array<TextureId, k_sky_count> sky{};
    std::array<std::string, k_sky_count> sky_names;  // "" until loaded
    Vec3f fog_color{};
    float fog_density = 0;  // 0 = no fog
    std::vector<Flare> flares;
};

// The sky picture used for a side the file does not name.
extern const std::array<const char*, k_sky_count> k_default_sky;

// Resets to the defaults and reads the lighting file, if it opens; then
// limits the planes, normalises the sun vector and loads the default sky
// pictures not given. An unknown keyword shows
// "Error reading lighting: Unknown identifier '%.950s'" and ends the reading,
// keeping what the lines before it set.
void load_lighting(std::string_view path);
const Lighting& lighting();
void reset_lighting();

}  // namespace zv::track
