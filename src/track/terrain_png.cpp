#include "track/terrain_png.h"

#include "core/data_file.h"
#include "core/debug_level.h"
#include "platform/log.h"

#include <png.h>

#include <algorithm>
#include <csetjmp>
#include <cstddef>

namespace zv::track {

namespace {

// Larger images are refused: the grid never exceeds 8193 samples per side.
constexpr png_uint_32 k_max_png_side = 16384;

void on_png_error(png_structp png, png_const_charp text)
{
    if (core::debug_level() > 0)
        platform::log_printf("PNG error: %s\n", text);
    png_longjmp(png, 1);
}

void on_png_warning(png_structp, png_const_charp) {}

void read_from_data_file(png_structp png, png_bytep out, png_size_t count)
{
    auto* file = static_cast<core::DataFile*>(png_get_io_ptr(png));
    if (core::read_bytes(*file, out, count) != count)
        png_error(png, "unexpected end of file");
}

void write_to_data_file(png_structp png, png_bytep data, png_size_t count)
{
    auto* file = static_cast<core::DataFile*>(png_get_io_ptr(png));
    if (core::write_bytes(*file, data, count) != count)
        png_error(png, "write failed");
}

void flush_data_file(png_structp png)
{
    auto* file = static_cast<core::DataFile*>(png_get_io_ptr(png));
    core::flush(*file);
}

// What the decoder fills; owned by the caller so that nothing with a
// destructor lives in the frame libpng may jump back into.
struct DecodeBuffers {
    std::vector<std::uint8_t> rows;     // kept rows, 16-bit big-endian grey
    std::vector<std::uint8_t> scratch;  // rows past the grid
    png_uint_32 width = 0;
    png_uint_32 height = 0;
    png_uint_32 kept = 0;
    std::size_t row_bytes = 0;
};

bool decode(png_structp png, png_infop info, png_uint_32 grid_side, DecodeBuffers* b)
{
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_set_user_limits(png, k_max_png_side, k_max_png_side);
    png_read_info(png, info);
    int colour = png_get_color_type(png, info);
    int depth = png_get_bit_depth(png, info);
    if (colour == PNG_COLOR_TYPE_PALETTE)
        png_set_palette_to_rgb(png);
    if (colour == PNG_COLOR_TYPE_GRAY && depth < 8)
        png_set_expand_gray_1_2_4_to_8(png);
    png_set_strip_alpha(png);
    if (colour & PNG_COLOR_MASK_COLOR || colour == PNG_COLOR_TYPE_PALETTE)
        png_set_rgb_to_gray_fixed(png, 1, -1, -1);
    if (depth < 16)
        png_set_expand_16(png);
    int passes = png_set_interlace_handling(png);
    png_read_update_info(png, info);
    if (png_get_channels(png, info) != 1 || png_get_bit_depth(png, info) != 16)
        return false;

    b->width = png_get_image_width(png, info);
    b->height = png_get_image_height(png, info);
    b->row_bytes = png_get_rowbytes(png, info);
    if (b->width == 0 || b->height == 0 || b->row_bytes < std::size_t(b->width) * 2)
        return false;
    b->kept = std::min(b->height, grid_side);
    b->rows.resize(b->row_bytes * b->kept);
    b->scratch.resize(b->row_bytes);
    for (int pass = 0; pass < passes; ++pass) {
        // Without interlacing the rows past the grid are never needed.
        png_uint_32 rows = passes == 1 ? b->kept : b->height;
        for (png_uint_32 y = 0; y < rows; ++y) {
            png_bytep row = y < b->kept ? &b->rows[b->row_bytes * y] : b->scratch.data();
            png_read_row(png, row, nullptr);
        }
    }
    return true;
}

bool encode(png_structp png, png_infop info, int width, int height, const std::uint16_t* samples,
            std::vector<std::uint8_t>* row)
{
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 16,
                 PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < height; ++y) {
        const std::uint16_t* src = samples + static_cast<std::size_t>(width) * y;
        for (int x = 0; x < width; ++x) {
            (*row)[2 * x] = static_cast<std::uint8_t>(src[x] >> 8);
            (*row)[2 * x + 1] = static_cast<std::uint8_t>(src[x] & 0xff);
        }
        png_write_row(png, row->data());
    }
    png_write_end(png, nullptr);
    return true;
}

}  // namespace

bool read_png_grey16(core::DataFile& file, int grid_side, std::vector<std::uint16_t>& samples)
{
    if (grid_side <= 0)
        return false;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, on_png_error, on_png_warning);
    if (!png)
        return false;
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        return false;
    }
    png_set_read_fn(png, &file, read_from_data_file);
    DecodeBuffers b;
    bool ok = decode(png, info, static_cast<png_uint_32>(grid_side), &b);
    png_destroy_read_struct(&png, &info, nullptr);
    if (!ok)
        return false;

    const std::size_t side = static_cast<std::size_t>(grid_side);
    samples.resize(side * side);
    for (std::size_t j = 0; j < side; ++j) {
        const std::uint8_t* row = &b.rows[b.row_bytes * std::min<std::size_t>(j, b.kept - 1)];
        std::uint16_t* out = &samples[side * j];
        for (std::size_t i = 0; i < side; ++i) {
            std::size_t x = std::min<std::size_t>(i, b.width - 1);
            out[i] = static_cast<std::uint16_t>((row[2 * x] << 8) | row[2 * x + 1]);
        }
    }
    return true;
}

bool write_png_grey16(core::DataFile& file, int width, int height, const std::uint16_t* samples)
{
    if (width <= 0 || height <= 0)
        return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, on_png_error, on_png_warning);
    if (!png)
        return false;
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        return false;
    }
    png_set_write_fn(png, &file, write_to_data_file, flush_data_file);
    std::vector<std::uint8_t> row(static_cast<std::size_t>(width) * 2);
    bool ok = encode(png, info, width, height, samples, &row);
    png_destroy_write_struct(&png, &info);
    return ok;
}

}  // namespace zv::track
