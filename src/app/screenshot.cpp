#include "app/screenshot.h"

#include <GL/gl.h>

#include <algorithm>
#include <climits>
#include <cstdio>

#include "app/screenshot_png.h"
#include "core/data_file.h"
#include "core/messages.h"
#include "platform/log.h"

namespace zv::app {

namespace {

int g_next_number = -1;  // -1: not looked up yet

}  // namespace

int next_screenshot_number(std::span<const std::string> names)
{
    constexpr std::string_view prefix = "screenshot";
    int highest = -1;
    for (const std::string& name : names) {
        if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0)
            continue;
        long long n = 0;
        std::size_t i = prefix.size();
        bool digits = false;
        while (i < name.size() && name[i] >= '0' && name[i] <= '9' && n < INT_MAX) {
            n = n * 10 + (name[i] - '0');
            digits = true;
            ++i;
        }
        if (digits && n < INT_MAX && n > highest)
            highest = static_cast<int>(n);
    }
    return highest + 1;
}

std::vector<std::uint8_t> read_frame_rgb(int width, int height)
{
    if (width <= 0 || height <= 0)
        return {};
    const std::size_t row = static_cast<std::size_t>(width) * 3;
    std::vector<std::uint8_t> bottom_up(row * static_cast<std::size_t>(height));
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, bottom_up.data());
    std::vector<std::uint8_t> top_down(bottom_up.size());
    for (int y = 0; y < height; ++y)
        std::copy_n(bottom_up.data() + row * static_cast<std::size_t>(height - 1 - y), row,
                    top_down.data() + row * static_cast<std::size_t>(y));
    return top_down;
}

bool save_screenshot(int width, int height)
{
    if (g_next_number < 0)
        g_next_number = next_screenshot_number(core::working_set());
    std::vector<std::uint8_t> png = encode_png_rgb(width, height, read_frame_rgb(width, height));
    if (png.empty()) {
        platform::log_printf("Can't make a screenshot of %dx%d\n", width, height);
        return false;
    }
    char name[64];
    std::snprintf(name, sizeof name, "screenshot%03d.png", g_next_number);
    core::DataFilePtr f = core::open_data_file(std::string("@") + name, "wb");
    if (!f || core::write_bytes(*f, png.data(), png.size()) != png.size() ||
        !core::commit_data_file(std::move(f))) {
        core::show_message("Can't write \"%s\"", name);
        return false;
    }
    ++g_next_number;
    core::show_message("Saved \"%s\"", name);
    return true;
}

std::string video_frame_header(int width, int height)
{
    char header[64];
    std::snprintf(header, sizeof header, "P6\n%d %d\n255\n", width, height);
    return header;
}

void write_video_frame(int width, int height)
{
    std::vector<std::uint8_t> rgb = read_frame_rgb(width, height);
    if (rgb.empty())
        return;
    std::string header = video_frame_header(width, height);
    std::fwrite(header.data(), 1, header.size(), stdout);
    std::fwrite(rgb.data(), 1, rgb.size(), stdout);
    std::fflush(stdout);
}

}  // namespace zv::app
