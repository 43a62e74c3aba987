// PNG files in memory: encoding images (8-bit RGBA, RGB, grey, grey with
// alpha, 16-bit grey) with text chunks, and decoding them back. Encoding is
// deterministic: no time chunk, fixed compression settings.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace zv::render {

enum class PngFormat { grey, grey_alpha, rgb, rgba, grey16 };

int png_channels(PngFormat format);

struct PngImage {
    int width = 0;
    int height = 0;
    PngFormat format = PngFormat::rgba;
    // Rows top to bottom, pixels left to right; grey16 samples are host-order
    // 16-bit values stored as two bytes each (low byte first).
    std::vector<std::uint8_t> pixels;
    // tEXt chunks, keyword and text, in file order.
    std::vector<std::pair<std::string, std::string>> text;

    std::size_t row_bytes() const;
};

// The PNG bytes, or nullopt when the image is inconsistent (sizes, pixel
// count, a keyword that PNG does not allow).
std::optional<std::vector<std::uint8_t>> encode_png(const PngImage& image);

// Decodes a PNG without any transformation beyond expanding palettes and
// low-bit grey to 8 bits; 16-bit colour is reduced to 8 bits. Nullopt when
// the bytes are not a readable PNG. Images larger than 16384 on a side are
// refused.
std::optional<PngImage> decode_png(std::span<const std::uint8_t> bytes);

// The concatenated text of every text chunk (the texture loader's info text).
std::string png_info_text(const PngImage& image);

}  // namespace zv::render
