// Reading back the virtual screen in the game's screen tests: lit pixels of
// a rectangle, and a PNG of the whole window for a look afterwards.
#pragma once

#include <GL/gl.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/screenshot_png.h"

namespace zv::test {

// Pixels whose channel sum is above `threshold` inside a rectangle given
// with the origin at the top left of a window `window_height` tall (GL
// counts rows from the bottom).
inline int lit_pixels(int x, int y, int w, int h, int window_height, int threshold = 60)
{
    std::vector<std::uint8_t> px(static_cast<std::size_t>(w) * static_cast<std::size_t>(h) * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(x, window_height - y - h, w, h, GL_RGB, GL_UNSIGNED_BYTE, px.data());
    int n = 0;
    for (std::size_t i = 0; i < px.size(); i += 3)
        n += px[i] + px[i + 1] + px[i + 2] > threshold;
    return n;
}

// With ZV_RENDER_SHOTS naming a folder, writes the window there as `name`.
inline void save_shot(const char* name, int width, int height)
{
    const char* dir = std::getenv("ZV_RENDER_SHOTS");
    if (!dir)
        return;
    const std::size_t row = static_cast<std::size_t>(width) * 3;
    std::vector<std::uint8_t> px(row * static_cast<std::size_t>(height));
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, px.data());
    std::vector<std::uint8_t> rows;
    rows.reserve(px.size());
    for (int y = height - 1; y >= 0; --y)
        rows.insert(rows.end(), px.begin() + static_cast<std::ptrdiff_t>(y * row),
                    px.begin() + static_cast<std::ptrdiff_t>((y + 1) * row));
    std::vector<std::uint8_t> png = app::encode_png_rgb(width, height, rows);
    if (FILE* out = std::fopen((std::string(dir) + "/" + name).c_str(), "wb")) {
        std::fwrite(png.data(), 1, png.size(), out);
        std::fclose(out);
    }
}

}  // namespace zv::test
