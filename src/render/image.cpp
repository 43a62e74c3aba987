#include "render/image.h"

#include <algorithm>
#include <cstdlib>

namespace zv::render {

int mip_level_count(int width, int height)
{
    int n = 1;
    while (width > 1 || height > 1) {
        width = std::max(1, width / 2);
        height = std::max(1, height / 2);
        ++n;
    }
    return n;
}

LevelSize mip_level_size(int width, int height, int level)
{
    for (int i = 0; i < level; ++i) {
        width = std::max(1, width / 2);
        height = std::max(1, height / 2);
    }
    return {width, height};
}

std::size_t mip_level_offset(int width, int height, int channels, int level)
{
    std::size_t offset = 0;
    for (int i = 0; i < level; ++i) {
        offset += static_cast<std::size_t>(width) * static_cast<std::size_t>(height) *
                  static_cast<std::size_t>(channels);
        width = std::max(1, width / 2);
        height = std::max(1, height / 2);
    }
    return offset;
}

std::size_t mip_chain_bytes(int width, int height, int channels)
{
    return mip_level_offset(width, height, channels, mip_level_count(width, height));
}

std::vector<std::uint8_t> next_mip_level(std::span<const std::uint8_t> level, int width, int height,
                                         int channels, bool max_alpha)
{
    int nw = std::max(1, width / 2), nh = std::max(1, height / 2);
    std::vector<std::uint8_t> out(static_cast<std::size_t>(nw) * nh * channels);
    // Source offsets of the pixels that make one target pixel.
    int count = (width > 1 && height > 1) ? 4 : (width > 1 || height > 1) ? 2 : 1;
    int shift = count == 4 ? 2 : count == 2 ? 1 : 0;
    int opaque_sum = 255 * count;
    auto at = [&](int x, int y) {
        return level.data() + (static_cast<std::size_t>(y) * width + x) * channels;
    };
    for (int y = 0; y < nh; ++y) {
        for (int x = 0; x < nw; ++x) {
            const std::uint8_t* src[4];
            int sx = width > 1 ? 2 * x : x, sy = height > 1 ? 2 * y : y;
            src[0] = at(sx, sy);
            if (count == 4) {
                src[1] = at(sx + 1, sy);
                src[2] = at(sx, sy + 1);
                src[3] = at(sx + 1, sy + 1);
            } else if (count == 2) {
                src[1] = width > 1 ? at(sx + 1, sy) : at(sx, sy + 1);
            }
            std::uint8_t* dst = out.data() + (static_cast<std::size_t>(y) * nw + x) * channels;
            if (channels == 4) {
                int asum = 0, amax = 0;
                for (int k = 0; k < count; ++k) {
                    asum += src[k][3];
                    amax = std::max(amax, static_cast<int>(src[k][3]));
                }
                bool plain = asum == 0 || asum == opaque_sum;
                for (int c = 0; c < 3; ++c) {
                    int sum = 0;
                    if (plain) {
                        for (int k = 0; k < count; ++k)
                            sum += src[k][c];
                        dst[c] = static_cast<std::uint8_t>(sum >> shift);
                    } else {
                        for (int k = 0; k < count; ++k)
                            sum += src[k][c] * src[k][3];
                        dst[c] = static_cast<std::uint8_t>(sum / asum);
                    }
                }
                dst[3] = static_cast<std::uint8_t>(max_alpha ? amax : asum >> shift);
            } else {
                for (int c = 0; c < channels; ++c) {
                    int sum = 0;
                    for (int k = 0; k < count; ++k)
                        sum += src[k][c];
                    dst[c] = static_cast<std::uint8_t>(sum >> shift);
                }
            }
        }
    }
    return out;
}

void generate_mip_chain(Image& image, bool max_alpha)
{
    std::vector<std::uint8_t> chain;
    chain.reserve(mip_chain_bytes(image.width, image.height, image.channels));
    chain.assign(image.pixels.begin(), image.pixels.begin() + static_cast<long>(image.level0_bytes()));
    int w = image.width, h = image.height;
    std::size_t offset = 0;
    while (w > 1 || h > 1) {
        std::size_t bytes = static_cast<std::size_t>(w) * h * image.channels;
        std::vector<std::uint8_t> next = next_mip_level(
            std::span<const std::uint8_t>(chain.data() + offset, bytes), w, h, image.channels, max_alpha);
        offset += bytes;
        chain.insert(chain.end(), next.begin(), next.end());
        w = std::max(1, w / 2);
        h = std::max(1, h / 2);
    }
    image.pixels = std::move(chain);
}

std::optional<Image> extract_custom_mip_chain(const Image& picture)
{
    if (picture.width <= 0 || picture.height <= 0 || (2 * picture.height) % 3 != 0)
        return std::nullopt;
    int w0 = picture.width, h0 = 2 * picture.height / 3;
    int ch = picture.channels;
    Image out;
    out.width = w0;
    out.height = h0;
    out.channels = ch;
    out.pixels.resize(mip_chain_bytes(w0, h0, ch));
    int levels = mip_level_count(w0, h0);
    int column_x = 0, column_y = h0;  // where the next level goes
    std::size_t offset = 0;
    for (int level = 0; level < levels; ++level) {
        LevelSize s = mip_level_size(w0, h0, level);
        int x = 0, y = 0;
        if (level == 1) {
            x = 0;
            y = h0;
            column_x = s.width;  // level 2 starts right of level 1
            column_y = h0;
        } else if (level >= 2) {
            x = column_x;
            y = column_y;
            column_y += s.height;
        }
        if (x + s.width > picture.width || y + s.height > picture.height)
            return std::nullopt;
        for (int row = 0; row < s.height; ++row) {
            const std::uint8_t* src =
                picture.pixels.data() + (static_cast<std::size_t>(y + row) * picture.width + x) * ch;
            std::copy(src, src + static_cast<std::size_t>(s.width) * ch, out.pixels.data() + offset);
            offset += static_cast<std::size_t>(s.width) * ch;
        }
    }
    return out;
}

bool is_power_of_two(int n) { return n > 0 && (n & (n - 1)) == 0; }

int half_power_of_two(int n)
{
    int p = 1;
    while (p * 2 < n && p < (1 << 29))
        p *= 2;
    return p;
}

int round_down_power_of_two(int n)
{
    int p = 1;
    while (p * 2 <= n && p < (1 << 29))
        p *= 2;
    return p;
}

Image resample_nearest(const Image& image, int new_width, int new_height)
{
    Image out;
    out.width = new_width;
    out.height = new_height;
    out.channels = image.channels;
    out.pixels.resize(out.level0_bytes());
    std::size_t ch = static_cast<std::size_t>(image.channels);
    for (int y = 0; y < new_height; ++y) {
        int sy = static_cast<int>(static_cast<long long>(y) * image.height / new_height);
        for (int x = 0; x < new_width; ++x) {
            int sx = static_cast<int>(static_cast<long long>(x) * image.width / new_width);
            const std::uint8_t* src = image.pixels.data() + (static_cast<std::size_t>(sy) * image.width + sx) * ch;
            std::copy(src, src + ch, out.pixels.data() + (static_cast<std::size_t>(y) * new_width + x) * ch);
        }
    }
    return out;
}

std::span<const std::uint8_t> MipChain::level(int index_from_top) const
{
    std::size_t off = top + mip_level_offset(image.width, image.height, image.channels, index_from_top);
    LevelSize s = mip_level_size(image.width, image.height, index_from_top);
    return {image.pixels.data() + off, static_cast<std::size_t>(s.width) * s.height * image.channels};
}

bool drop_top_level(MipChain& chain)
{
    Image& im = chain.image;
    if (im.width <= 1 && im.height <= 1)
        return false;
    chain.top += im.level0_bytes();
    im.width = std::max(1, im.width / 2);
    im.height = std::max(1, im.height / 2);
    return true;
}

int apply_detail_skip(MipChain& chain, int skip)
{
    int dropped = 0;
    while (skip > 0 && chain.image.width > 128 && chain.image.height > 128) {
        drop_top_level(chain);
        --skip;
        ++dropped;
    }
    return dropped;
}

namespace {

// Source index and weight pairs for magnifying `next` samples to `size`.
struct Tap {
    int near, far;
};

Tap magnify_tap(int x, int size, int next_size)
{
    if (next_size == size)
        return {x, x};
    int near = x / 2;
    int far = (x & 1) ? near + 1 : near - 1;
    far = std::clamp(far, 0, next_size - 1);
    near = std::clamp(near, 0, next_size - 1);
    return {near, far};
}

}  // namespace

bool level_predicted_by_next(std::span<const std::uint8_t> level, int width, int height,
                             std::span<const std::uint8_t> next, int channels)
{
    int nw = std::max(1, width / 2), nh = std::max(1, height / 2);
    for (int y = 0; y < height; ++y) {
        Tap ty = magnify_tap(y, height, nh);
        for (int x = 0; x < width; ++x) {
            Tap tx = magnify_tap(x, width, nw);
            const std::uint8_t* real = level.data() + (static_cast<std::size_t>(y) * width + x) * channels;
            auto px = [&](int cx, int cy) {
                return next.data() + (static_cast<std::size_t>(cy) * nw + cx) * channels;
            };
            const std::uint8_t* a = px(tx.near, ty.near);
            const std::uint8_t* b = px(tx.far, ty.near);
            const std::uint8_t* c = px(tx.near, ty.far);
            const std::uint8_t* d = px(tx.far, ty.far);
            for (int k = 0; k < channels; ++k) {
                int predicted = (9 * a[k] + 3 * b[k] + 3 * c[k] + d[k] + 8) / 16;
                if (std::abs(predicted - real[k]) > 4)
                    return false;
            }
        }
    }
    return true;
}

int apply_smoothness_reduction(MipChain& chain)
{
    int dropped = 0;
    while (chain.image.width > 16 || chain.image.height > 16) {
        if (!level_predicted_by_next(chain.level(0), chain.image.width, chain.image.height, chain.level(1),
                                     chain.image.channels))
            break;
        drop_top_level(chain);
        ++dropped;
    }
    return dropped;
}

std::array<float, 4> border_colour(const Image& image)
{
    if (image.channels != 3 || image.width <= 0 || image.height <= 0)
        return {0, 0, 0, 0};
    std::array<int, 512> counts{};
    std::vector<int> order;  // bins in the order they were first seen
    auto add = [&](int x, int y) {
        const std::uint8_t* p = image.pixels.data() + (static_cast<std::size_t>(y) * image.width + x) * 3;
        int bin = (p[0] * 7 / 255) * 64 + (p[1] * 7 / 255) * 8 + (p[2] * 7 / 255);
        if (counts[static_cast<std::size_t>(bin)]++ == 0)
            order.push_back(bin);
    };
    for (int x = 0; x < image.width; ++x)
        add(x, 0);
    for (int x = 0; x < image.width; ++x)
        add(x, image.height - 1);
    for (int y = 0; y < image.height; ++y)
        add(0, y);
    for (int y = 0; y < image.height; ++y)
        add(image.width - 1, y);
    int best = order.front();
    for (int bin : order)
        if (counts[static_cast<std::size_t>(bin)] > counts[static_cast<std::size_t>(best)])
            best = bin;
    return {static_cast<float>(best / 64) / 7.0f, static_cast<float>((best / 8) % 8) / 7.0f,
            static_cast<float>(best % 8) / 7.0f, 0.0f};
}

std::vector<std::uint8_t> widen_to_rgba(std::span<const std::uint8_t> pixels, int channels)
{
    if (channels == 4)
        return {pixels.begin(), pixels.end()};
    std::size_t n = pixels.size() / static_cast<std::size_t>(channels);
    std::vector<std::uint8_t> out(n * 4);
    for (std::size_t i = 0; i < n; ++i) {
        const std::uint8_t* s = pixels.data() + i * channels;
        std::uint8_t* d = out.data() + i * 4;
        if (channels >= 3) {
            d[0] = s[0];
            d[1] = s[1];
            d[2] = s[2];
        } else {
            d[0] = d[1] = d[2] = s[0];
        }
        d[3] = channels == 2 ? s[1] : 255;
    }
    return out;
}

}  // namespace zv::render
