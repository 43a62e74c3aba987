// Small binary PPM ("P6") and PGM ("P5") readers and writers for the
// terrain's shading and shadow images.
#pragma once

#include <cstdint>

namespace zv::core {
struct DataFile;
}

namespace zv::track {

struct PnmHeader {
    int width = 0;
    int height = 0;
    int maxval = 0;
    int channels = 0;  // 3 for P6, 1 for P5
};

// Reads the header of a binary PPM (channels 3) or PGM (channels 1): magic,
// width, height and maximum value with "#" comments between them, and the one
// white-space byte before the samples. False when it does not match.
bool read_pnm_header(core::DataFile& file, int channels, PnmHeader& out);

// Reads width * height * channels samples as bytes (scaled to 0..255 when the
// maximum value is not 255). False when the file ends early.
bool read_pnm_pixels(core::DataFile& file, const PnmHeader& header, std::uint8_t* out);

// Writes a binary PPM (channels 3) or PGM (channels 1) with maximum 255.
bool write_pnm(core::DataFile& file, int channels, int width, int height, const std::uint8_t* pixels);

}  // namespace zv::track
