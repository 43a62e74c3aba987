// Surface tiles: what a tile looks like, how it grips, how it drags a rolling
// wheel, what a spinning wheel throws up and how wheels wear it down. The
// tile table comes from a track's "tileinfo" file, or from the older
// "texturelist" when there is no tileinfo.
#pragma once

#include "track/resources.h"
#include "track/terrain_hooks.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace zv::core {
struct DataFile;
}

namespace zv::track {

constexpr int k_max_tiles = 256;
constexpr int k_curve_points = 8;
constexpr int k_roost_types = 4;
// Given curve speeds never go below this, so a speed of 0 can end a curve.
constexpr float k_min_curve_speed = 9.5367431640625e-7f;  // 2^-20

// One kind of particle a tile throws up (64 bytes, fields in this order).
struct RoostType {
    std::int32_t mode = 0;          // 0 disabled, 1 roost from wheel spin, 2 splash
    TextureId texture = 0;          // particle texture ("@roost.png" by default)
    float count = 10.0f;            // particles per wheel per tick; the fraction is a chance of one more
    float dig = 1.0f;
    float slip_threshold = 4.0f;    // least slip speed that throws roost
    float slow_angle = 1.5707964f;  // spread at slow wheel spin, radians
    float fast_angle = 0.19634955f; // spread at fast wheel spin, radians
    float slow_speed = 0.0f;        // wheel spin rate of the slow end
    float fast_speed = 64.0f;       // wheel spin rate of the fast end
    float size = 0.25f;             // particle size at birth
    float grow = 4.0f;              // size growth per second
    float drag = 0.5f;              // velocity damping per second
    float vscale = 1.0f;
    float randomize = 15.0f;        // width of the random velocity added per axis
    std::uint8_t r = 255, g = 255, b = 255, a = 255;          // colour at birth
    std::int8_t fade_r = 0, fade_g = 0, fade_b = 0, fade_a = -2;  // colour step per tick
};
static_assert(sizeof(RoostType) == 64);

struct FrictionPoint {
    float coefficient = 1.0f;
    float speed = 0.0f;  // 0 ends the curve
};

struct RollResistPoint {
    float low = 5.0f;
    float high = 15.0f;
    float speed = 0.0f;  // 0 ends the curve
};

struct TileType {
    TextureId texture = 0;
    std::string texture_name;
    TexturePixels pixels;  // only with the in-memory terrain texture method
    // Used points first, ascending speed; the first point of speed 0 ends a
    // curve. Point 0 defaults to speed 1, so an unset curve is one point.
    std::array<FrictionPoint, k_curve_points> friction;
    std::array<RollResistPoint, k_curve_points> roll_resist;
    std::array<RoostType, k_roost_types> roost;
    float erode_depth = 1.0f;
    float erode_lower = 50.0f;
    float erode_upper = 150.0f;
    float erode_displacement = 2.0f;
    float erode_radius = 4.0f;
    float erode_max_slope = 0.25f;
    float erode_off_speed = 10.0f;
    float erode_on_speed = 15.0f;

    TileType()
    {
        friction[0].speed = 1.0f;
        roll_resist[0].speed = 1.0f;
    }
};

// Friction coefficient at a slip speed, given as its square: the curve is
// interpolated on squared speeds.
inline float friction_at_speed(const TileType& tile, float slip_speed_squared)
{
    const auto& p = tile.friction;
    int k = 0;
    while (k < k_curve_points && p[k].speed != 0.0f &&
           !(slip_speed_squared < p[k].speed * p[k].speed))
        ++k;
    if (k == 0)
        return p[0].coefficient;
    if (k == k_curve_points || p[k].speed == 0.0f)
        return p[k - 1].coefficient;
    float s0 = p[k - 1].speed * p[k - 1].speed;
    float s1 = p[k].speed * p[k].speed;
    float t = (slip_speed_squared - s0) / (s1 - s0);
    t = t < 0.0f ? 0.0f : (t > 1.0f ? 1.0f : t);
    return p[k - 1].coefficient + t * (p[k].coefficient - p[k - 1].coefficient);
}

struct RollingResistance {
    float low;
    float high;
};

// Rolling resistance at a speed: the same scan, interpolated linearly in speed.
inline RollingResistance rolling_resistance_at_speed(const TileType& tile, float speed)
{
    const auto& p = tile.roll_resist;
    int k = 0;
    while (k < k_curve_points && p[k].speed != 0.0f && !(speed < p[k].speed))
        ++k;
    if (k == 0)
        return {p[0].low, p[0].high};
    if (k == k_curve_points || p[k].speed == 0.0f)
        return {p[k - 1].low, p[k - 1].high};
    float t = (speed - p[k - 1].speed) / (p[k].speed - p[k - 1].speed);
    t = t < 0.0f ? 0.0f : (t > 1.0f ? 1.0f : t);
    return {p[k - 1].low + t * (p[k].low - p[k - 1].low),
            p[k - 1].high + t * (p[k].high - p[k - 1].high)};
}

// How tile textures are loaded: as textures through the resource loader, or
// as pixels (the in-memory terrain texture method) through the render hooks.
enum class TileTextures { texture, pixels };

// Reads the tileinfo syntax into `tiles` (replacing what was there). Never
// fails: problems are warnings on the message lines.
void read_tileinfo(core::DataFile& file, std::vector<TileType>& tiles,
                   TileTextures textures = TileTextures::texture);
// Reads the older texturelist syntax into `tiles` (replacing what was there).
void read_texturelist(core::DataFile& file, std::vector<TileType>& tiles,
                      TileTextures textures = TileTextures::texture);

}  // namespace zv::track
