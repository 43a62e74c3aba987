#include "track/terrain_images.h"

#include "core/data_file.h"

#include <cstddef>
#include <vector>

namespace zv::track {

namespace {

constexpr int k_max_dimension = 1 << 20;

bool is_space(int c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v'; }

// Skips white space and "#" comments (to the end of their line).
int skip_space(core::DataFile& file)
{
    int c = core::read_char(file);
    for (;;) {
        if (c == '#') {
            while (c != -1 && c != '\n' && c != '\r')
                c = core::read_char(file);
        } else if (is_space(c)) {
            c = core::read_char(file);
        } else {
            return c;
        }
    }
}

// A decimal number of at most k_max_dimension; -1 when there is none or it is
// too large. The byte after it is consumed and returned in `next`.
int read_number(core::DataFile& file, int& next)
{
    int c = skip_space(file);
    if (c < '0' || c > '9')
        return -1;
    long v = 0;
    while (c >= '0' && c <= '9') {
        v = v * 10 + (c - '0');
        if (v > k_max_dimension)
            return -1;
        c = core::read_char(file);
    }
    next = c;
    return static_cast<int>(v);
}

}  // namespace

bool read_pnm_header(core::DataFile& file, int channels, PnmHeader& out)
{
    if (channels != 1 && channels != 3)
        return false;
    if (core::read_char(file) != 'P' || core::read_char(file) != (channels == 3 ? '6' : '5'))
        return false;
    int next = 0;
    int w = read_number(file, next);
    if (w < 0 || (!is_space(next) && next != '#'))
        return false;
    if (next == '#')
        core::unread_char(file, next);
    int h = read_number(file, next);
    if (h < 0 || (!is_space(next) && next != '#'))
        return false;
    if (next == '#')
        core::unread_char(file, next);
    int maxval = read_number(file, next);
    // Exactly one white-space byte separates the header from the samples.
    if (maxval < 1 || maxval > 65535 || !is_space(next))
        return false;
    out = {w, h, maxval, channels};
    return true;
}

bool read_pnm_pixels(core::DataFile& file, const PnmHeader& header, std::uint8_t* out)
{
    std::size_t count = static_cast<std::size_t>(header.width) * static_cast<std::size_t>(header.height) *
                        static_cast<std::size_t>(header.channels);
    if (header.maxval == 255)
        return core::read_bytes(file, out, count) == count;

    const std::size_t bytes_per_sample = header.maxval > 255 ? 2 : 1;
    const unsigned maxval = static_cast<unsigned>(header.maxval);
    constexpr std::size_t k_chunk = 1 << 16;
    std::vector<std::uint8_t> buf;
    std::size_t done = 0;
    while (done < count) {
        std::size_t n = count - done < k_chunk ? count - done : k_chunk;
        buf.resize(n * bytes_per_sample);
        if (core::read_bytes(file, buf.data(), buf.size()) != buf.size())
            return false;
        for (std::size_t k = 0; k < n; ++k) {
            unsigned v = bytes_per_sample == 2 ? (unsigned(buf[2 * k]) << 8) | buf[2 * k + 1] : buf[k];
            if (v > maxval)
                v = maxval;
            out[done + k] = static_cast<std::uint8_t>((v * 255u + maxval / 2) / maxval);
        }
        done += n;
    }
    return true;
}

bool write_pnm(core::DataFile& file, int channels, int width, int height, const std::uint8_t* pixels)
{
    if (core::print(file, "P%c\n%d %d\n255\n", channels == 3 ? '6' : '5', width, height) < 0)
        return false;
    std::size_t count = static_cast<std::size_t>(width) * static_cast<std::size_t>(height) *
                        static_cast<std::size_t>(channels);
    return core::write_bytes(file, pixels, count) == count;
}

}  // namespace zv::track
