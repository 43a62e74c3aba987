// The terrain's level-of-detail layout, free of GL: the field is cut into
// square chunks of 32 x 32 cells; each chunk is drawn with a vertex step of
// 1, 2, 4, ... 32 chosen from its distance, with skirts hiding the cracks
// between neighbours of different steps.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace zv::render {

constexpr int k_chunk_cells = 32;
constexpr int k_chunk_side = k_chunk_cells + 1;           // vertices per side
constexpr int k_chunk_grid_vertices = k_chunk_side * k_chunk_side;
constexpr int k_chunk_vertices = k_chunk_grid_vertices + 4 * k_chunk_side;  // + skirts
constexpr int k_lod_levels = 6;                           // steps 1 ... 32

// Chunks per side for a grid of W samples (W - 1 cells).
int chunks_per_side(int grid_side);
// Vertex step for a chunk seen from `distance` feet: the largest power of
// two (up to 32) with step * detail_distance <= distance, at least 1.
int lod_step(float distance, float detail_distance);
int lod_level(int step);  // log2
// Index of grid vertex (x, z) of a chunk (0 ... 32 each) and of the skirt
// vertex under edge vertex k (0 ... 32) of side s (0 z=0, 1 x=32, 2 z=32,
// 3 x=0).
inline int chunk_vertex(int x, int z) { return x + k_chunk_side * z; }
inline int skirt_vertex(int side, int k) { return k_chunk_grid_vertices + side * k_chunk_side + k; }
// Triangles of one lod cell (its corner at (x, z), edge `step`), with the
// terrain's checkerboard diagonals at step 1 (the cell's parity from the
// chunk origin `ox`, `oz` in samples).
void append_cell(std::vector<std::uint16_t>& out, int x, int z, int step, int ox, int oz);
// Skirt triangles along the four edges at a step.
void append_skirts(std::vector<std::uint16_t>& out, int step);
// The error table of a chunk from its vertex positions (x, y, z each, grid
// vertices first): for each step, the largest height difference between a
// sample and the surface drawn at that step (never less than the finer
// step's).
std::array<float, k_lod_levels> lod_errors(const std::vector<float>& positions);
// How much geometric detail the ground keeps. The detail factor f (0.125 /
// "Ground Geometric Detail") sets both rules: the vertex step may double
// every 0.125 / f feet (70 feet at the default 70), and a chunk's height
// error may cover 4 f radians of the view (0.007 at 70, about 2.5 pixels of
// a 720-pixel-high window).
inline constexpr float k_default_detail_factor = 0.125f / 70.0f;
inline constexpr float k_step_distance_per_inverse_factor = 0.125f;
inline constexpr float k_error_angle_per_factor = 4.0f;
struct TerrainDetail {
    float step_distance = k_step_distance_per_inverse_factor / k_default_detail_factor;  // feet
    float error_angle = k_error_angle_per_factor * k_default_detail_factor;   // per foot of distance
    float full_detail_distance = 0;    // nearer ground keeps full detail
    float fade_distance = 0;           // by here the full detail has faded out
};
// The detail for a geometric detail factor (0.125 / "Ground Geometric
// Detail", or "--detail"; larger is coarser) and the detail and fade-out
// distances of "--max-detail-distance" (0 and 0: none).
TerrainDetail terrain_detail_for(float detail_factor, float detail_distance = 0, float fade_distance = 0);
// The distance the rules below see for ground `distance` feet away: 0 within
// the full-detail distance, growing to the real distance at the fade-out
// distance.
float detail_rule_distance(float distance, const TerrainDetail& detail);
// The level (0 = step 1 ... 5 = step 32) of a chunk with the error table
// `error` seen from `distance`: the coarsest whose height error stays within
// the allowed angle, and never finer than the step distance asks for.
int chunk_level(const std::array<float, k_lod_levels>& error, float distance, const TerrainDetail& detail);
// Whether a chunk at `distance` lies beyond the reach of the tile textures
// (where the step distance asks for a step of 8).
bool chunk_beyond_tiles(float distance, const TerrainDetail& detail);
// The detail the terrain is drawn with (set at start-up from the graphics
// values).
void set_terrain_detail(const TerrainDetail& detail);
const TerrainDetail& terrain_detail();

// Triangle count of a whole chunk at a step (without skirts).
inline int chunk_triangles(int step) { return 2 * (k_chunk_cells / step) * (k_chunk_cells / step); }

}  // namespace zv::render
