// The screen tests' window on the virtual display: opened once per suite,
// with the program's home in the generated game data for the tests that
// read it, and the pixels read back for checks and for a look afterwards.
#pragma once

#include <GL/gl.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "core/data_file.h"
#include "platform/gl_context.h"
#include "platform/window.h"
#include "render/png_io.h"
#include "support/temp_dir.h"

namespace zv::test {

// The generated game data: the build folder, or the one ZV_RENDER_DATA names.
inline std::string generated_data_folder()
{
    const char* other = std::getenv("ZV_RENDER_DATA");
    return other ? other : ZV_BUILD_DIR;
}

// Opens a w x h window with its GL context when there is a display. With a
// `name`, the test reads the generated data: it must hold `needs`, becomes
// the program's home, and the program's own files and log go to a private
// temporary folder named after the test.
inline bool open_screen_window(int w, int h, const char* name = nullptr, const char* needs = "zzzz.saf")
{
    if (!std::getenv("DISPLAY"))
        return false;
    if (name) {
        const std::string data = generated_data_folder();
        if (!std::filesystem::exists(data + "/" + needs))
            return false;
        const std::filesystem::path own = std::filesystem::temp_directory_path() / ("zv-" + std::string(name));
        setenv("ZV_HOME", data.c_str(), 1);
        setenv("XDG_DATA_HOME", own.c_str(), 1);
        setenv("TORV_LOGFILE", (own.string() + ".log").c_str(), 1);
        core::reset_data_files();
    }
    return platform::open_window("Zarvox", w, h, 24, 24, {}) && platform::create_gl_context();
}

// Closes the window when it opened; `release` first frees what the suite
// made in the GL context.
inline void close_screen_window(const std::function<void()>& release = {})
{
    if (!platform::window_open())
        return;
    if (release)
        release();
    platform::delete_gl_context();
    platform::close_window();
}

// RGB rows of a rectangle, bottom row first as GL counts them.
inline std::vector<std::uint8_t> read_rect(int x, int y, int w, int h)
{
    std::vector<std::uint8_t> px(static_cast<std::size_t>(w) * static_cast<std::size_t>(h) * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(x, y, w, h, GL_RGB, GL_UNSIGNED_BYTE, px.data());
    return px;
}

// Pixels whose channel sum is above `threshold` inside a rectangle given
// with the origin at the top left of a window `window_height` tall.
inline int lit_pixels(int x, int y, int w, int h, int window_height, int threshold = 60)
{
    const std::vector<std::uint8_t> px = read_rect(x, window_height - y - h, w, h);
    int n = 0;
    for (std::size_t i = 0; i < px.size(); i += 3)
        n += px[i] + px[i + 1] + px[i + 2] > threshold;
    return n;
}

// Colour statistics of a picture read back.
struct ColourStats {
    double sky_blue = 0;    // share of blue-dominant pixels
    double distinct = 0;    // distinct quantised colours
    double mean = 0;
    double near_white = 0;  // share of pixels brighter than 245 in every channel
};

inline ColourStats stats_of(const std::vector<std::uint8_t>& px)
{
    ColourStats s;
    std::vector<bool> seen(4096);
    std::size_t n = px.size() / 3, blue = 0, distinct = 0, white = 0;
    double sum = 0;
    for (std::size_t i = 0; i < n; ++i) {
        int r = px[3 * i], g = px[3 * i + 1], b = px[3 * i + 2];
        if (b > r + 10 && b >= g)
            ++blue;
        if (r > 245 && g > 245 && b > 245)
            ++white;
        int q = (r >> 4) * 256 + (g >> 4) * 16 + (b >> 4);
        if (!seen[static_cast<std::size_t>(q)]) {
            seen[static_cast<std::size_t>(q)] = true;
            ++distinct;
        }
        sum += r + g + b;
    }
    s.sky_blue = n ? static_cast<double>(blue) / n : 0;
    s.distinct = static_cast<double>(distinct);
    s.mean = n ? sum / (3.0 * n) : 0;
    s.near_white = n ? static_cast<double>(white) / n : 0;
    return s;
}

// With ZV_RENDER_SHOTS naming a folder, writes the w x h window there as
// `file`.
inline void save_shot(const std::string& file, int w, int h)
{
    const char* dir = std::getenv("ZV_RENDER_SHOTS");
    if (!dir)
        return;
    render::PngImage im;
    im.width = w;
    im.height = h;
    im.format = render::PngFormat::rgb;
    const std::vector<std::uint8_t> px = read_rect(0, 0, w, h);
    const auto row = static_cast<std::ptrdiff_t>(w) * 3;
    for (int y = h - 1; y >= 0; --y)
        im.pixels.insert(im.pixels.end(), px.begin() + y * row, px.begin() + (y + 1) * row);
    if (auto bytes = render::encode_png(im))
        write_file(std::string(dir) + "/" + file, *bytes);
}

}  // namespace zv::test
