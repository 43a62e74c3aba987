// The ground of a track: a square grid of heights, two triangles per grid
// cell with checkerboard diagonals, a coarser map of surface tiles, shading,
// shadows and decals. One Terrain belongs to the loaded track; the queries
// below are on the simulation's hot path and never allocate.
#pragma once

#include "track/resources.h"
#include "track/terrain_hooks.h"
#include "track/tileinfo.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace zv::track {

constexpr int k_max_size_exponent = 12;  // 8193 samples per side
// Limits of the height field header: far beyond any track, near enough that
// height differences and normals stay finite.
constexpr float k_max_cell_size = 1.0e4f;
constexpr float k_max_height_magnitude = 1.0e7f;
constexpr int k_decal_buckets = 8;       // per side, over the whole field

struct TerrainVec3 {
    float x = 0, y = 0, z = 0;
};

struct Decal {
    TextureId texture = 0;          // texture methods 2 and 3
    TexturePixels pixels;           // texture method 1
    TextureId normal_map = 0;       // lit rendering only
    TextureId specular_map = 0;     // lit rendering only
    std::string texture_name;
    float x = 0, z = 0;             // centre
    float angle = 0;                // radians about the vertical axis
    float size = 0;                 // width; the length is size * aspect
    float aspect = 0;
    float sin_angle = 0, cos_angle = 1;
};

// Half-extents of a decal's bounding box along x and z.
struct DecalExtent {
    float half_x, half_z;
};
DecalExtent decal_extent(const Decal& decal);

struct Terrain {
    int size_exponent = 0;      // N
    int grid_side = 0;          // W = 2^(N+1) + 1 samples per side
    int tile_side = 0;          // S = 2^N tile cells per side
    float cell_size = 0;
    float field_size = 0;       // cell_size * 2^(N+1)
    float min_height = 0, max_height = 0;

    std::vector<float> heights;          // W*W, index i + W*j (i along x, j along z)
    std::vector<std::uint8_t> shading;   // W*W*3, colour at half intensity
    std::vector<std::uint8_t> shadows;   // W*W, 0 = fully lit
    std::vector<TileType> tiles;         // at most k_max_tiles
    std::vector<std::uint8_t> tile_map;  // S*S, index c + S*r; every entry < tiles.size()
    std::vector<Decal> decals;
    // Decal indices per bucket, bucket index bx + 8*bz.
    std::array<std::vector<int>, k_decal_buckets * k_decal_buckets> decal_buckets;
    std::vector<std::uint8_t> normal_shadow;  // W*W*3, lit rendering only

    int texture_method = 0;   // 1 composed in memory, 2 frame buffer copy, 3 frame buffer objects
    int texture_edge = 0;     // terrain texture edge
    bool lit = false;         // lit terrain rendering
    std::unique_ptr<TerrainRenderData> render_data;

    // Deformation state: the editor warns about unsaved changes when
    // `modified`; `change_count` grows by one per brush stroke; a race set up
    // from the race server's rider list locks the ground so every machine
    // keeps the same heights.
    bool modified = false;
    bool locked = false;
    std::uint32_t change_count = 0;
};

struct TerrainLoadOptions {
    int texture_method = 1;        // graphics setting: 1, 2 or 3
    int texture_size = 256;        // configured terrain texture edge
    bool dynamic_lighting = false; // the track's lighting asks for it
};

namespace detail {
inline Terrain g_loaded_terrain;
}

// The loaded track's terrain.
inline Terrain& loaded_terrain() { return detail::g_loaded_terrain; }

// Reads the terrain files of a track folder ("@" + folder name) into the
// loaded terrain. On failure the terrain is left empty.
bool load_terrain(std::string_view track_path, int texture_method);
bool load_terrain(std::string_view track_path, const TerrainLoadOptions& options);
void free_terrain();
// The same on any Terrain (tools and tests).
bool load_terrain(Terrain& terrain, std::string_view track_path, const TerrainLoadOptions& options);
void free_terrain(Terrain& terrain);

// Writes the canonical terrain files into the track folder: terrain.hf (the
// header only), terrain.png, shading.ppm, shadingx2.ppm, tilemap, decals.
// False when any of them could not be written (each is reported).
bool save_terrain(const Terrain& terrain, std::string_view track_path);

// ---- queries ----

// Height of sample (i, j), each index clamped to the grid.
inline float terrain_sample(const Terrain& t, int i, int j)
{
    int last = t.grid_side - 1;
    i = i < 0 ? 0 : (i > last ? last : i);
    j = j < 0 ? 0 : (j > last ? last : j);
    return t.heights[static_cast<std::size_t>(i) + static_cast<std::size_t>(t.grid_side) * j];
}

namespace detail {

// Grid coordinate of a world coordinate, limited to [-1, W] (the surface is
// flat beyond the edges, so nothing changes further out; NaN goes to -1).
inline float grid_coordinate(const Terrain& t, float world)
{
    float u = world / t.cell_size;
    float hi = static_cast<float>(t.grid_side);
    return u > -1.0f ? (u < hi ? u : hi) : -1.0f;
}

struct CellPoint {
    int i, j;
    float fu, fv;
};

inline CellPoint cell_point(const Terrain& t, float x, float z)
{
    float u = grid_coordinate(t, x), v = grid_coordinate(t, z);
    int i = static_cast<int>(u), j = static_cast<int>(v);
    if (static_cast<float>(i) > u)
        --i;
    if (static_cast<float>(j) > v)
        --j;
    return {i, j, u - static_cast<float>(i), v - static_cast<float>(j)};
}

}  // namespace detail

// Height of the ground surface at (x, z); outside the field the surface
// continues from the edge samples.
inline float terrain_height(const Terrain& t, float x, float z)
{
    if (t.heights.empty())
        return 0.0f;
    auto [i, j, fu, fv] = detail::cell_point(t, x, z);
    float h00 = terrain_sample(t, i, j);
    float h10 = terrain_sample(t, i + 1, j);
    float h01 = terrain_sample(t, i, j + 1);
    float h11 = terrain_sample(t, i + 1, j + 1);
    if ((i + j) & 1) {  // diagonal (i+1, j) - (i, j+1)
        if (fu + fv <= 1.0f)
            return h00 + fu * (h10 - h00) + fv * (h01 - h00);
        return h11 + (1.0f - fu) * (h01 - h11) + (1.0f - fv) * (h10 - h11);
    }
    // diagonal (i, j) - (i+1, j+1)
    if (fv <= fu)
        return h10 + (1.0f - fu) * (h00 - h10) + fv * (h11 - h10);
    return h01 + fu * (h11 - h01) + (1.0f - fv) * (h00 - h01);
}

// Upward normal of the ground triangle under (x, z), not normalised: with the
// triangle's plane y = a*x + b*z + d it is cell_size^2 * (-a, 1, -b).
inline TerrainVec3 terrain_normal(const Terrain& t, float x, float z)
{
    float c = t.cell_size;
    if (t.heights.empty())
        return {0.0f, c * c, 0.0f};
    auto [i, j, fu, fv] = detail::cell_point(t, x, z);
    float h00 = terrain_sample(t, i, j);
    float h10 = terrain_sample(t, i + 1, j);
    float h01 = terrain_sample(t, i, j + 1);
    float h11 = terrain_sample(t, i + 1, j + 1);
    float dx, dz;  // height change over one cell along x and along z
    if ((i + j) & 1) {
        if (fu + fv <= 1.0f) {
            dx = h10 - h00;
            dz = h01 - h00;
        } else {
            dx = h11 - h01;
            dz = h11 - h10;
        }
    } else if (fv <= fu) {
        dx = h10 - h00;
        dz = h11 - h10;
    } else {
        dx = h11 - h01;
        dz = h01 - h00;
    }
    return {-c * dx, c * c, -c * dz};
}

// Tile cell under (x, z), each index truncated and clamped to [0, S-1].
inline int terrain_tile_index(const Terrain& t, float x, float z)
{
    float span = 2.0f * t.cell_size;
    float last = static_cast<float>(t.tile_side - 1);
    float c = x / span, r = z / span;
    c = c > 0.0f ? (c < last ? c : last) : 0.0f;
    r = r > 0.0f ? (r < last ? r : last) : 0.0f;
    return static_cast<int>(c) + t.tile_side * static_cast<int>(r);
}

// The tile type under (x, z); nullptr only when no terrain is loaded.
inline const TileType* terrain_tile(const Terrain& t, float x, float z)
{
    if (t.tile_map.empty() || t.tiles.empty())
        return nullptr;
    return &t.tiles[t.tile_map[static_cast<std::size_t>(terrain_tile_index(t, x, z))]];
}

// The same queries on the loaded terrain.
inline float terrain_height(float x, float z) { return terrain_height(loaded_terrain(), x, z); }
inline TerrainVec3 terrain_normal(float x, float z) { return terrain_normal(loaded_terrain(), x, z); }
inline const TileType* terrain_tile(float x, float z) { return terrain_tile(loaded_terrain(), x, z); }

// Unit vertex normal at sample (i, j) for the renderer: the normalised sum of
// the eight unit normals of the fan around the sample.
TerrainVec3 terrain_vertex_normal(const Terrain& terrain, int i, int j);

// Low-detail textures (texture methods 2 and 3): L x L of them, texture
// (a, b) covering samples [x0, x1) x [z0, z1).
int low_detail_texture_count(const Terrain& terrain);
struct SampleRect {
    int x0, z0, x1, z1;
};
SampleRect low_detail_texture_rect(const Terrain& terrain, int a, int b);

// Recomputes the normal and shadow bytes of samples [i0, i1] x [j0, j1]
// (clipped to the grid) after their heights changed; nothing without lit
// rendering.
void update_terrain_normals(Terrain& terrain, int i0, int j0, int i1, int j1);

// Forwards a changed rectangle of samples to the renderer (deformation).
void notify_terrain_heights_changed(Terrain& terrain, int i0, int j0, int i1, int j1);

}  // namespace zv::track
