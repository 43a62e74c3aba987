// PNG in memory: the screenshots written and the display pictures read.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace zv::app {

struct RgbaImage {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> pixels;  // rows top down, 4 bytes per pixel
};

// PNG bytes of an RGB image (rows top down, 3 bytes per pixel); empty on
// failure.
std::vector<std::uint8_t> encode_png_rgb(int width, int height, std::span<const std::uint8_t> rgb);
// Any PNG as RGBA; nullopt when the bytes are not a readable PNG or the
// image is larger than 16384 on a side.
std::optional<RgbaImage> decode_png_rgba(std::span<const std::uint8_t> bytes);

}  // namespace zv::app
