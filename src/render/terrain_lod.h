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
// Triangle count of a whole chunk at a step (without skirts).
inline int chunk_triangles(int step) { return 2 * (k_chunk_cells / step) * (k_chunk_cells / step); }

}  // namespace zv::render
