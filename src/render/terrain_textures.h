// The ground's textures: the five terrain rendering methods and what the
// driver must offer for each, the ground tile textures' levels (the level
// bias and the mipmap switch of the graphics settings), the low-detail
// textures that hold tiles and shading over a part of the field, composed
// in memory, copied from the frame buffer or drawn into a frame buffer
// object, and the shading textures the shader methods blend per pixel.
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "render/gl_caps.h"
#include "render/image.h"
#include "render/textures.h"
#include "track/terrain.h"

namespace zv::render {

// The "Terrain Rendering Method" choices, in menu order.
enum class TerrainMethod : int {
    software = 0,
    hardware_copy = 1,
    hardware_direct = 2,
    shaders_copy = 3,
    shaders_direct = 4,
};
constexpr int k_terrain_method_count = 5;

// Whether a driver with these capabilities can draw the ground with a
// method (out-of-range choices: false).
bool terrain_method_supported(int choice, const GlCaps& caps);
// The same for the running driver, entry points included: the graphics
// menu's "Available" / "Not Available".
bool terrain_method_available(int choice);
// The terrain loader's texture method of a choice: 1 composed in memory,
// 2 copied from the frame buffer, 3 frame buffer objects.
int terrain_texture_method(int choice);
bool terrain_method_uses_shaders(int choice);

// ---- ground tile textures ----

// "Ground Texture Levels" (0 ... 10) as the levels skipped: the integer part
// of clamp(10 - levels, 0, 10).
int ground_texture_level_bias(double ground_texture_levels);
// "Ground Texture Resolution" choice index (0 ... 5) as an edge: 32 ... 1024.
int ground_texture_resolution(int choice);
// "--ground-texture-detail": replaces the level bias of the setting; a
// negative value goes back to the setting.
void set_ground_texture_level_bias(int bias);
// The level bias and mipmap switch in force.
struct GroundTextureSettings {
    int level_bias = 1;
    bool mipmaps = true;
};
GroundTextureSettings ground_texture_settings();

constexpr int k_min_ground_tile_edge = 4;  // the level bias stops at this size
// The levels of a ground tile texture of width x height (a full chain down
// to 1 x 1): `bias` top levels are skipped while the next level keeps both
// sides at k_min_ground_tile_edge or more; without mipmaps only that level
// remains (filtered linearly).
struct GroundTileLevels {
    int base_level = 0;   // first level drawn
    int max_level = 0;    // last level drawn
    int width = 0, height = 0;  // size of the base level
    bool mipmapped = true;
};
GroundTileLevels ground_tile_levels(int width, int height, int bias, bool mipmaps);

// Makes a repeating ground tile texture from RGBA level-0 pixels with the
// tile levels (the skipped levels are never uploaded); 0 on failure.
TextureId make_ground_tile_texture(const std::uint8_t* rgba, int width, int height, const GroundTextureSettings& s);
// Restricts an already loaded ground tile texture to the tile levels.
void apply_ground_tile_levels(TextureId id, const GroundTextureSettings& s);

// ---- low-detail textures ----

// Edge of the low-detail textures for the terrain's texture edge: the
// configured resolution as a power of two within 32 ... 1024.
int low_detail_edge(int texture_edge);

// What composing needs of one tile type: its picture as a mip chain (RGBA)
// or, without one, its mean colour.
struct TileSource {
    const std::uint8_t* chain = nullptr;  // RGBA levels, largest first
    int width = 0, height = 0;
    std::array<std::uint8_t, 3> mean{128, 128, 128};
};
constexpr float k_tile_texture_span = 16.0f;  // feet per repeat of a tile texture

// The light a ground sample gets from the shading and shadow files, at half
// intensity (drawing doubles it): shading * (255 - shadow * 5/8) / 255.
std::array<int, 3> sample_light(const track::Terrain& t, int i, int j);
// Tile index under grid sample (i, j), 0 without a tile map.
int tile_at_sample(const track::Terrain& t, int i, int j);

// A low-detail texture composed in memory: edge x edge RGB texels over the
// samples of `rect` (texel row 0 at rect.z0), each the tile picture at the
// level matching a texel's footprint times the sample's light.
Image compose_low_detail(const track::Terrain& t, const track::SampleRect& rect, int edge,
                         std::span<const TileSource> tiles);

constexpr int k_shading_edge = 512;  // samples per shading texture side
// The shading texture of a low-detail region for the shader methods: one
// RGB texel per sample from (rect.x0, rect.z0), the light at half
// intensity; texels past the field repeat its edge.
Image shading_texture(const track::Terrain& t, const track::SampleRect& rect);

// Draws the region's tiles and shading from above into the frame buffer (or
// the frame buffer object bound) at edge x edge, for the copy and direct
// methods. `tile_textures` holds a texture per tile type (0: mean colour).
void draw_region_from_above(const track::Terrain& t, const track::SampleRect& rect, int edge,
                            std::span<const TextureId> tile_textures, std::span<const TileSource> tiles);

// Makes one low-detail texture of edge x edge RGB texels with its mip chain
// by a loader texture method: 3 draws the region through a frame buffer
// object, 2 draws it into the back buffer (which must hold edge x edge
// pixels) and copies it out, 1 composes it in memory. 0 when the method
// cannot (no frame buffer object): the caller composes in memory then.
TextureId make_low_detail_texture(int method, const track::Terrain& t, const track::SampleRect& rect, int edge,
                                  std::span<const TextureId> tile_textures, std::span<const TileSource> tiles);

}  // namespace zv::render
