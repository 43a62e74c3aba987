#include "app/screenshot_png.h"

#include <png.h>

namespace zv::app {

namespace {

constexpr int k_max_side = 16384;

}  // namespace

std::vector<std::uint8_t> encode_png_rgb(int width, int height, std::span<const std::uint8_t> rgb)
{
    if (width <= 0 || height <= 0 || width > k_max_side || height > k_max_side ||
        rgb.size() < static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3)
        return {};
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(width);
    image.height = static_cast<png_uint_32>(height);
    image.format = PNG_FORMAT_RGB;
    png_alloc_size_t size = 0;
    if (!png_image_write_to_memory(&image, nullptr, &size, 0, rgb.data(), 0, nullptr) || size == 0)
        return {};
    std::vector<std::uint8_t> out(size);
    if (!png_image_write_to_memory(&image, out.data(), &size, 0, rgb.data(), 0, nullptr)) {
        png_image_free(&image);
        return {};
    }
    out.resize(size);
    return out;
}

std::optional<RgbaImage> decode_png_rgba(std::span<const std::uint8_t> bytes)
{
    if (bytes.empty())
        return std::nullopt;
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, bytes.data(), bytes.size()))
        return std::nullopt;
    if (image.width == 0 || image.height == 0 || image.width > k_max_side || image.height > k_max_side) {
        png_image_free(&image);
        return std::nullopt;
    }
    image.format = PNG_FORMAT_RGBA;
    RgbaImage out;
    out.width = static_cast<int>(image.width);
    out.height = static_cast<int>(image.height);
    out.pixels.resize(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, out.pixels.data(), 0, nullptr)) {
        png_image_free(&image);
        return std::nullopt;
    }
    return out;
}

}  // namespace zv::app
