// Terrain heights as 16-bit grey PNG images.
#pragma once

#include <cstdint>
#include <vector>

namespace zv::core {
struct DataFile;
}

namespace zv::track {

// Reads a PNG as 16-bit grey samples for a grid of side `grid_side`: 16-bit
// grey as is, 8-bit grey b as b * 257, palettes expanded, colour converted to
// grey with libpng's default weights, alpha dropped. Grid sample (i, j) takes
// pixel (min(i, width - 1), min(j, height - 1)). `samples` gets side * side
// entries, index i + side * j. False when the image cannot be read.
bool read_png_grey16(core::DataFile& file, int grid_side, std::vector<std::uint16_t>& samples);

// Writes width x height 16-bit grey samples (index x + width * y) as a PNG.
bool write_png_grey16(core::DataFile& file, int width, int height, const std::uint16_t* samples);

}  // namespace zv::track
