// Reads back the screenshots the game writes (8-bit RGB or RGBA PNG, not
// interlaced) into RGB pixels, and sums up colours over a rectangle, so
// the tests can tell a picture of the world from a cleared screen.
#pragma once

#include <zlib.h>

#include <cstdint>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

namespace zv::test {

struct RgbPicture {
    int width = 0, height = 0;
    std::vector<std::uint8_t> rgb;  // rows top down
};

inline std::uint32_t png_be32(const std::string& s, std::size_t at)
{
    const auto* p = reinterpret_cast<const unsigned char*>(s.data() + at);
    return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) | p[3];
}

inline int png_paeth(int a, int b, int c)
{
    int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
    return pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
}

inline std::optional<RgbPicture> read_png_rgb(const std::string& png)
{
    if (png.size() < 33 || png.compare(0, 8, std::string("\x89PNG\r\n\x1a\n", 8)) != 0)
        return std::nullopt;
    RgbPicture pic;
    int channels = 0;
    std::string idat;
    for (std::size_t at = 8; at + 12 <= png.size();) {
        std::uint32_t len = png_be32(png, at);
        if (len > png.size() - at - 12)
            return std::nullopt;
        std::string type = png.substr(at + 4, 4);
        if (type == "IHDR" && len >= 13) {
            pic.width = static_cast<int>(png_be32(png, at + 8));
            pic.height = static_cast<int>(png_be32(png, at + 12));
            int depth = png[at + 16], colour = png[at + 17], interlace = png[at + 20];
            if (depth != 8 || interlace != 0 || (colour != 2 && colour != 6))
                return std::nullopt;
            channels = colour == 2 ? 3 : 4;
        } else if (type == "IDAT") {
            idat.append(png, at + 8, len);
        } else if (type == "IEND") {
            break;
        }
        at += 12 + len;
    }
    if (channels == 0 || pic.width <= 0 || pic.height <= 0 || pic.width > 16384 || pic.height > 16384)
        return std::nullopt;
    const std::size_t stride = static_cast<std::size_t>(pic.width) * static_cast<std::size_t>(channels);
    std::vector<std::uint8_t> raw((stride + 1) * static_cast<std::size_t>(pic.height));
    uLongf raw_size = static_cast<uLongf>(raw.size());
    if (uncompress(raw.data(), &raw_size, reinterpret_cast<const Bytef*>(idat.data()),
                   static_cast<uLong>(idat.size())) != Z_OK ||
        raw_size != raw.size())
        return std::nullopt;
    std::vector<std::uint8_t> prev(stride, 0), cur(stride);
    pic.rgb.reserve(static_cast<std::size_t>(pic.width) * static_cast<std::size_t>(pic.height) * 3);
    for (int y = 0; y < pic.height; ++y) {
        const std::uint8_t* line = raw.data() + static_cast<std::size_t>(y) * (stride + 1);
        const int filter = line[0];
        for (std::size_t i = 0; i < stride; ++i) {
            int a = i >= static_cast<std::size_t>(channels) ? cur[i - static_cast<std::size_t>(channels)] : 0;
            int b = prev[i];
            int c = i >= static_cast<std::size_t>(channels) ? prev[i - static_cast<std::size_t>(channels)] : 0;
            int x = line[1 + i];
            switch (filter) {
            case 0: break;
            case 1: x += a; break;
            case 2: x += b; break;
            case 3: x += (a + b) / 2; break;
            case 4: x += png_paeth(a, b, c); break;
            default: return std::nullopt;
            }
            cur[i] = static_cast<std::uint8_t>(x);
        }
        for (int px = 0; px < pic.width; ++px)
            for (int k = 0; k < 3; ++k)
                pic.rgb.push_back(cur[static_cast<std::size_t>(px * channels + k)]);
        prev.swap(cur);
    }
    return pic;
}

// Colour statistics of a rectangle given as fractions of the picture.
struct ColourStats {
    double sky_blue = 0;   // share of blue-dominant pixels
    int distinct = 0;      // distinct colours, quantised to 4 bits a channel
    double mean = 0;       // mean brightness, 0..255
    double spread = 0;     // standard deviation of the brightness
    // Bike colours: the black of tyres, seat and rider kit, and the
    // saturated red and orange of the plastics; neither the brown dirt nor
    // the grass nor the sky has them.
    int bike_pixels = 0;
    double bike_share = 0;
};

inline ColourStats colour_stats(const RgbPicture& pic, double x0, double y0, double x1, double y1)
{
    ColourStats s;
    const int xa = static_cast<int>(x0 * pic.width), xb = static_cast<int>(x1 * pic.width);
    const int ya = static_cast<int>(y0 * pic.height), yb = static_cast<int>(y1 * pic.height);
    std::vector<bool> seen(4096);
    std::size_t n = 0, blue = 0;
    double sum = 0, sum_sq = 0;
    for (int y = ya; y < yb; ++y)
        for (int x = xa; x < xb; ++x) {
            const std::uint8_t* p = &pic.rgb[(static_cast<std::size_t>(y) * pic.width + x) * 3];
            int r = p[0], g = p[1], b = p[2];
            if (b > r + 10 && b >= g)
                ++blue;
            std::size_t q = static_cast<std::size_t>((r >> 4) * 256 + (g >> 4) * 16 + (b >> 4));
            if (!seen[q]) {
                seen[q] = true;
                ++s.distinct;
            }
            if (std::max({r, g, b}) < 64 || (r >= 120 && g * 10 < r * 6 && b * 10 < r * 4))
                ++s.bike_pixels;
            double v = (r + g + b) / 3.0;
            sum += v;
            sum_sq += v * v;
            ++n;
        }
    if (n) {
        s.sky_blue = static_cast<double>(blue) / static_cast<double>(n);
        s.mean = sum / static_cast<double>(n);
        s.bike_share = s.bike_pixels / static_cast<double>(n);
        double var = sum_sq / static_cast<double>(n) - s.mean * s.mean;
        s.spread = var > 0 ? std::sqrt(var) : 0;
    }
    return s;
}

// White writing (every channel above `above`) in a rectangle of a picture,
// in pixels: the head-up display's lines and the menus' titles.
inline int white_pixels(const RgbPicture& pic, int x0, int y0, int x1, int y1, int above = 235)
{
    int n = 0;
    for (int y = std::max(0, y0); y < std::min(y1, pic.height); ++y)
        for (int x = std::max(0, x0); x < std::min(x1, pic.width); ++x) {
            const std::uint8_t* p = &pic.rgb[(static_cast<std::size_t>(y) * pic.width + x) * 3];
            n += p[0] > above && p[1] > above && p[2] > above;
        }
    return n;
}

}  // namespace zv::test
