// Pixel work for textures, free of any GL: mip chains (with the alpha
// rules), custom chains, power-of-two resampling, the detail skip, the
// smoothness reduction and the border colour. A mip chain is one buffer:
// level 0 (rows top to bottom), then level 1 directly after it, and so on
// down to 1 x 1, each level halving width and height with a minimum of 1.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace zv::render {

struct Image {
    int width = 0;
    int height = 0;
    int channels = 0;                 // 1, 3 or 4
    std::vector<std::uint8_t> pixels; // level 0 only, or a whole chain

    std::size_t level0_bytes() const
    {
        return static_cast<std::size_t>(width) * static_cast<std::size_t>(height) *
               static_cast<std::size_t>(channels);
    }
};

// Number of levels down to 1 x 1.
int mip_level_count(int width, int height);
// Size of one level and byte offset of a level within a chain.
struct LevelSize {
    int width, height;
};
LevelSize mip_level_size(int width, int height, int level);
std::size_t mip_level_offset(int width, int height, int channels, int level);
std::size_t mip_chain_bytes(int width, int height, int channels);

// The next level from one level: 2 x 2 box filter with truncation (pairs
// where a side is already 1); four-channel colour is alpha-weighted unless
// the alpha sum is 0 or every source is opaque; alpha is the mean or, with
// max_alpha, the maximum.
std::vector<std::uint8_t> next_mip_level(std::span<const std::uint8_t> level, int width, int height,
                                         int channels, bool max_alpha);
// The whole chain made from level 0 (image.pixels holds level 0 at least).
void generate_mip_chain(Image& image, bool max_alpha);

// A custom chain laid out in the picture: level 0 on top (two thirds of the
// height), level 1 below it at the left, level 2 right of level 1, each
// further level below the previous one in that column. Nullopt when the
// height is not 3/2 of a base height or the layout does not fit.
std::optional<Image> extract_custom_mip_chain(const Image& picture);

// The non-power-of-two rule of textures: the smallest power of two that is at
// least half of n, minimum 1 (300 -> 256, 600 -> 512, 512 -> 256).
int half_power_of_two(int n);
// The rule of animation frames and pixel images: n rounded down to a power
// of two (a power of two stays).
int round_down_power_of_two(int n);
bool is_power_of_two(int n);

// Nearest-neighbour resampling of level 0: column x takes source column
// x * width / new_width, rows likewise.
Image resample_nearest(const Image& image, int new_width, int new_height);

// A chain whose top levels can be dropped (textures in the making).
struct MipChain {
    Image image;       // image.pixels is a whole chain
    std::size_t top = 0; // byte offset of the current top level

    std::span<const std::uint8_t> level(int index_from_top) const;
};
// Drops the top level; false at 1 x 1.
bool drop_top_level(MipChain& chain);
// The detail skip: while skip > 0 and both sides exceed 128, drops the top.
// Returns the number of levels dropped.
int apply_detail_skip(MipChain& chain, int skip);
// True when the top level is predicted within 4 per channel by bilinear
// magnification (3/4, 1/4) of the next level.
bool level_predicted_by_next(std::span<const std::uint8_t> level, int width, int height,
                             std::span<const std::uint8_t> next, int channels);
// The smoothness reduction: while a side exceeds 16 and the top level adds
// nothing over the next, drops it. Returns the number of levels dropped.
int apply_smoothness_reduction(MipChain& chain);

// Border colour of a three-channel level 0: the fullest of 8 x 8 x 8 colour
// bins among the edge pixels (first bin found on a tie), as (r/7, g/7, b/7, 0).
// Four-channel images get transparent black.
std::array<float, 4> border_colour(const Image& image);

// Widens a chain or level from 3 to 4 channels with alpha 255 (1 channel:
// grey to grey with alpha 255 per colour).
std::vector<std::uint8_t> widen_to_rgba(std::span<const std::uint8_t> pixels, int channels);

}  // namespace zv::render
