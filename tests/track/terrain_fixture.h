// Tiny terrain folders for the terrain and tile tests: a private data folder
// and home folder, file builders for heights, shading, shadows and PNG
// heights, a fake texture loader and the shown messages.
#pragma once

#include "core/data_file.h"
#include "core/messages.h"
#include "platform/log.h"
#include "support/data_folder_test.h"
#include "track/fake_textures.h"
#include "track/resources.h"
#include "track/terrain.h"

#include <gtest/gtest.h>
#include <png.h>

#include <algorithm>
#include <csetjmp>
#include <cstdint>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace zv::test {

// terrain.hf with the samples stored after ':' (little-endian 16-bit).
inline std::string hf_with_samples(int n, float cell, float lo, float hi, const std::vector<std::uint16_t>& samples)
{
    char header[128];
    std::snprintf(header, sizeof header, "%d %g %g %g\n:", n, cell, lo, hi);
    std::string s = header;
    for (std::uint16_t v : samples) {
        s.push_back(static_cast<char>(v & 0xff));
        s.push_back(static_cast<char>(v >> 8));
    }
    return s;
}

inline std::string netpbm(const char* magic, int w, int h, const std::vector<std::uint8_t>& pixels)
{
    std::string s = std::string(magic) + "\n" + std::to_string(w) + " " + std::to_string(h) + "\n255\n";
    s.append(pixels.begin(), pixels.end());
    return s;
}

inline std::string ppm(int w, int h, std::uint8_t fill)
{
    return netpbm("P6", w, h, std::vector<std::uint8_t>(static_cast<std::size_t>(w) * h * 3, fill));
}

// PNG bytes of an image in any libpng layout (rows of `row_bytes` bytes).
struct PngSpec {
    int width = 0, height = 0;
    int bit_depth = 8;
    int colour_type = PNG_COLOR_TYPE_GRAY;
    std::vector<std::uint8_t> pixels;   // packed rows, 16-bit samples big-endian
    std::vector<png_color> palette;     // palette images
    bool interlaced = false;
};

inline void png_append(png_structp png, png_bytep data, png_size_t n)
{
    auto* out = static_cast<std::string*>(png_get_io_ptr(png));
    out->append(reinterpret_cast<const char*>(data), n);
}
inline void png_no_flush(png_structp) {}

inline bool png_encode(const PngSpec& spec, png_structp png, png_infop info, std::string* out)
{
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_set_write_fn(png, out, png_append, png_no_flush);
    png_set_IHDR(png, info, static_cast<png_uint_32>(spec.width), static_cast<png_uint_32>(spec.height),
                 spec.bit_depth, spec.colour_type,
                 spec.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    if (!spec.palette.empty())
        png_set_PLTE(png, info, spec.palette.data(), static_cast<int>(spec.palette.size()));
    png_write_info(png, info);
    int passes = png_set_interlace_handling(png);
    std::size_t row = spec.pixels.size() / static_cast<std::size_t>(spec.height);
    for (int p = 0; p < passes; ++p)
        for (int y = 0; y < spec.height; ++y)
            png_write_row(png, spec.pixels.data() + row * static_cast<std::size_t>(y));
    png_write_end(png, nullptr);
    return true;
}

inline std::string png_bytes(const PngSpec& spec)
{
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    std::string out;
    bool ok = png_encode(spec, png, info, &out);
    png_destroy_write_struct(&png, &info);
    EXPECT_TRUE(ok);
    return out;
}

inline PngSpec grey16(int w, int h, const std::vector<std::uint16_t>& values)
{
    PngSpec s{w, h, 16, PNG_COLOR_TYPE_GRAY, {}, {}, false};
    for (std::uint16_t v : values) {
        s.pixels.push_back(static_cast<std::uint8_t>(v >> 8));
        s.pixels.push_back(static_cast<std::uint8_t>(v & 0xff));
    }
    return s;
}

class TerrainFolder : public DataFolderTest {
protected:
    static constexpr const char* k_track = "@tracks/t";

    TerrainFolder() { core::clear_messages(); }
    ~TerrainFolder() override { track::free_terrain(); }

    std::string folder() const { return tmp_.str() + "data/tracks/t/"; }
    void put(std::string_view name, std::string_view bytes) { write_file(folder() + std::string(name), bytes); }
    void remove(std::string_view name) { std::filesystem::remove(folder() + std::string(name)); }

    // A flat 5 x 5 field (N = 1, cell 2, heights 0 to 10), shading, one tile,
    // a 2 x 2 tile map.
    void write_basic(std::uint16_t sample = 0)
    {
        put("terrain.hf", hf_with_samples(1, 2.0f, 0.0f, 10.0f, std::vector<std::uint16_t>(25, sample)));
        put("shading.ppm", ppm(5, 5, 200));
        put("tileinfo", "friction 1.0 1.0\naddtile\n");
        put("tilemap", std::string(4, '\0'));
    }

    // The messages shown since the fixture started, oldest first.
    static std::vector<std::string> messages()
    {
        std::vector<std::string> out;
        for (int back = 0;; ++back) {
            std::string line = core::message_line(back);
            if (line.empty())
                break;
            out.insert(out.begin(), line);
        }
        return out;
    }
    static bool shown(std::string_view text)
    {
        auto m = messages();
        return std::find(m.begin(), m.end(), std::string(text)) != m.end();
    }

    const TempDir& tmp_ = dir_;
};

}  // namespace zv::test
