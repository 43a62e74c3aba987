// Mip chains, custom chains, power-of-two sizes, resampling, the detail skip,
// the smoothness reduction and border colours.
#include <gtest/gtest.h>

#include <tuple>
#include <utility>

#include "render/image.h"

namespace zv::render {
namespace {

Image make(int w, int h, int ch, std::vector<std::uint8_t> px)
{
    Image im;
    im.width = w;
    im.height = h;
    im.channels = ch;
    im.pixels = std::move(px);
    return im;
}

Image noise(int w, int h, int ch, unsigned seed = 1)
{
    Image im = make(w, h, ch, {});
    im.pixels.resize(im.level0_bytes());
    for (auto& p : im.pixels) {
        seed = seed * 1103515245u + 12345u;
        p = static_cast<std::uint8_t>(seed >> 16);
    }
    return im;
}

TEST(MipChain, SizesAndOffsetsFollowTheHalvingRule)
{
    EXPECT_EQ(mip_level_count(1, 1), 1);
    EXPECT_EQ(mip_level_count(8, 2), 4);  // 8x2, 4x1, 2x1, 1x1
    EXPECT_EQ(std::pair(mip_level_size(8, 2, 2).width, mip_level_size(8, 2, 2).height), std::pair(2, 1));
    EXPECT_EQ(mip_chain_bytes(8, 2, 3), (16 + 4 + 2 + 1) * 3u);
    EXPECT_EQ(mip_level_offset(4, 4, 4, 2), (16 + 4) * 4u);
}

TEST(MipChain, BoxFilterTruncatesAndPairsWhereOneSideIsOne)
{
    Image rgb = make(2, 2, 1, {10, 20, 30, 41});
    generate_mip_chain(rgb, false);
    ASSERT_EQ(rgb.pixels.size(), 5u);
    EXPECT_EQ(rgb.pixels[4], 25);  // 101 >> 2

    Image column = make(1, 2, 1, {7, 10});
    generate_mip_chain(column, false);
    ASSERT_EQ(column.pixels.size(), 3u);
    EXPECT_EQ(column.pixels[2], 8);  // 17 >> 1
}

TEST(MipChain, AlphaWeightsColourUnlessOpaqueOrInvisible)
{
    // Alpha-weighted: (200*255 + 100*255 + 50*51) / 561 = 140.
    std::vector<std::uint8_t> px = {200, 0, 0, 255, 0, 0, 0, 0, 100, 0, 0, 255, 50, 0, 0, 51};
    // Red and alpha of the one pixel of the next level.
    auto red_alpha = [](const std::vector<std::uint8_t>& level) { return std::pair(int{level[0]}, int{level[3]}); };
    EXPECT_EQ(red_alpha(next_mip_level(px, 2, 2, 4, false)), std::pair(140, 140));  // alpha 561 >> 2
    EXPECT_EQ(red_alpha(next_mip_level(px, 2, 2, 4, true)), std::pair(140, 255));

    std::vector<std::uint8_t> opaque = {200, 1, 2, 255, 0, 3, 4, 255, 100, 5, 6, 255, 51, 7, 8, 255};
    EXPECT_EQ(red_alpha(next_mip_level(opaque, 2, 2, 4, false)), std::pair(87, 255));  // red 351 >> 2

    std::vector<std::uint8_t> clear = {200, 0, 0, 0, 0, 0, 0, 0, 100, 0, 0, 0, 51, 0, 0, 0};
    EXPECT_EQ(red_alpha(next_mip_level(clear, 2, 2, 4, false)), std::pair(87, 0));

    // Two sources (a 2 x 1 level): opaque sum 510 takes the plain mean.
    std::vector<std::uint8_t> pair = {10, 0, 0, 255, 21, 0, 0, 255};
    EXPECT_EQ(next_mip_level(pair, 2, 1, 4, false)[0], 15);
}

TEST(CustomMipChain, LevelsAreCutFromTheirPlaces)
{
    Image pic = make(8, 12, 1, {});
    for (int y = 0; y < 12; ++y)
        for (int x = 0; x < 8; ++x)
            pic.pixels.push_back(static_cast<std::uint8_t>(y * 16 + x));
    auto chain = extract_custom_mip_chain(pic);
    ASSERT_TRUE(chain);
    EXPECT_EQ(std::pair(chain->width, chain->height), std::pair(8, 8));
    ASSERT_EQ(chain->pixels.size(), 64u + 16 + 4 + 1);
    // Level 1 at (0, 8), level 2 at (4, 8), level 3 below level 2.
    for (auto [at, value] : {std::pair{63, 7 * 16 + 7}, {64, 8 * 16 + 0}, {64 + 15, 11 * 16 + 3}, {80, 8 * 16 + 4},
                             {83, 9 * 16 + 5}, {84, 10 * 16 + 4}})
        EXPECT_EQ(chain->pixels[static_cast<std::size_t>(at)], value) << at;

    // No chain without a width, without a height, or with a height not 3/2 of the top level's.
    for (auto [w, h] : {std::pair{4, 5}, {0, 3}, {4, 0}, {-4, 3}})
        EXPECT_FALSE(extract_custom_mip_chain(make(w, h, 1, std::vector<std::uint8_t>(w > 0 ? 4u * h : 0u)))) << w << "x" << h;
}

TEST(PowerOfTwo, HalfRuleAndRoundDownRule)
{
    for (auto [side, half] : {std::pair{300, 256}, {600, 512}, {512, 256}, {1, 1}, {3, 2}})
        EXPECT_EQ(half_power_of_two(side), half) << side;
    for (auto [side, down] : {std::pair{300, 256}, {512, 512}, {1, 1}})
        EXPECT_EQ(round_down_power_of_two(side), down) << side;
    EXPECT_EQ(std::tuple(is_power_of_two(1), is_power_of_two(0), is_power_of_two(300)), std::tuple(true, false, false));
}

TEST(Resample, NearestNeighbourPicksFlooredColumns)
{
    Image im = make(3, 2, 1, {1, 2, 3, 4, 5, 6});
    Image r = resample_nearest(im, 2, 1);
    ASSERT_EQ(r.pixels.size(), 2u);
    EXPECT_EQ(r.pixels[0], 1);  // column 0 * 3 / 2 = 0
    EXPECT_EQ(r.pixels[1], 2);  // column 1 * 3 / 2 = 1
    Image up = resample_nearest(im, 6, 4);
    EXPECT_EQ(up.pixels[5], 3);
    EXPECT_EQ(up.pixels[6 * 3 + 0], 4);
}

TEST(Reduction, DetailSkipStopsAt128)
{
    MipChain chain;
    chain.image = noise(512, 256, 3);
    generate_mip_chain(chain.image, false);
    EXPECT_EQ(apply_detail_skip(chain, 5), 1);  // 512x256 -> 256x128, then 128 is not above 128
    EXPECT_EQ(std::pair(chain.image.width, chain.image.height), std::pair(256, 128));
    EXPECT_EQ(chain.level(0).size(), 256u * 128 * 3);
}

TEST(Reduction, FlatImageShrinksTo16AndNoiseStays)
{
    MipChain flat;
    flat.image = make(1024, 1024, 3, std::vector<std::uint8_t>(1024 * 1024 * 3, 90));
    generate_mip_chain(flat.image, false);
    EXPECT_EQ(apply_smoothness_reduction(flat), 6);
    EXPECT_EQ(std::pair(flat.image.width, flat.image.height), std::pair(16, 16));
    EXPECT_EQ(flat.level(0)[0], 90);

    MipChain busy;
    busy.image = noise(64, 64, 4);
    generate_mip_chain(busy.image, false);
    EXPECT_EQ(apply_smoothness_reduction(busy), 0);
    EXPECT_EQ(busy.image.width, 64);

    // A gentle ramp is predicted within 4 and goes too.
    MipChain ramp;
    ramp.image = make(64, 32, 1, {});
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 64; ++x)
            ramp.image.pixels.push_back(static_cast<std::uint8_t>(x * 2));
    generate_mip_chain(ramp.image, false);
    EXPECT_GT(apply_smoothness_reduction(ramp), 0);
}

TEST(Reduction, OnePixelOffStopsTheDrop)
{
    std::vector<std::uint8_t> level(32 * 32, 100), next(16 * 16, 100);
    EXPECT_TRUE(level_predicted_by_next(level, 32, 32, next, 1));
    level[5 * 32 + 7] = 104;
    EXPECT_TRUE(level_predicted_by_next(level, 32, 32, next, 1));
    level[5 * 32 + 7] = 105;
    EXPECT_FALSE(level_predicted_by_next(level, 32, 32, next, 1));
}

TEST(BorderColour, FullestEdgeBinWinsAndTiesKeepTheFirst)
{
    Image im = make(3, 3, 3, {});
    for (int i = 0; i < 9; ++i) {
        std::vector<std::uint8_t> c = i == 4 ? std::vector<std::uint8_t>{0, 0, 255} : std::vector<std::uint8_t>{255, 128, 0};
        if (i == 0)
            c = {0, 255, 0};
        im.pixels.insert(im.pixels.end(), c.begin(), c.end());
    }
    auto b = border_colour(im);
    const float want[4] = {1.0f, 3.0f / 7.0f, 0.0f, 0.0f};  // green: 128 * 7 / 255 = 3 sevenths
    for (std::size_t i = 0; i < 4; ++i)
        EXPECT_FLOAT_EQ(b[i], want[i]) << i;

    Image tie = make(2, 1, 3, {0, 255, 0, 0, 0, 255});
    auto t = border_colour(tie);
    EXPECT_FLOAT_EQ(t[1], 1.0f);
    EXPECT_FLOAT_EQ(t[2], 0.0f);

    auto rgba = border_colour(make(1, 1, 4, {9, 9, 9, 9}));
    EXPECT_EQ(rgba, (std::array<float, 4>{0, 0, 0, 0}));
}

TEST(Widen, ThreeChannelsGainOpaqueAlpha)
{
    std::vector<std::uint8_t> px = {1, 2, 3, 4, 5, 6};
    auto w = widen_to_rgba(px, 3);
    EXPECT_EQ(w, (std::vector<std::uint8_t>{1, 2, 3, 255, 4, 5, 6, 255}));
}

}  // namespace
}  // namespace zv::render
