// The ground's texture choices without a screen: what each terrain method
// needs of the driver, the levels a ground tile keeps for the level bias
// and the mipmap switch, the low-detail edge for the configured
// resolution, and the pixels of a low-detail texture composed in memory
// and of a shading texture, against hand-computed values.
#include <gtest/gtest.h>

#include <array>
#include <tuple>
#include <vector>
#include <utility>

#include "render/terrain_textures.h"
#include "track/ground_fixture.h"
#include "track/terrain.h"

namespace zv::render {
namespace {

TEST(TerrainMethods, DriverNeedsOfEachMethod)
{
    GlCaps none = caps_from_strings("v", "r", "1.1", "");
    GlCaps fbo = caps_from_strings("v", "r", "2.1", "GL_EXT_framebuffer_object");
    GlCaps shaders =
        caps_from_strings("v", "r", "2.1", "GL_ARB_multitexture GL_ARB_vertex_shader GL_ARB_fragment_shader");
    GlCaps all = caps_from_strings(
        "v", "r", "2.1", "GL_ARB_multitexture GL_ARB_vertex_shader GL_ARB_fragment_shader GL_EXT_framebuffer_object");
    GlCaps no_multitexture =
        caps_from_strings("v", "r", "2.1", "GL_ARB_vertex_shader GL_ARB_fragment_shader GL_EXT_framebuffer_object");
    // Software, Hardware/Copy, Hardware/Direct, Shaders/Copy, Shaders/Direct.
    const bool expect[5][5] = {
        {true, true, false, false, false},  // none
        {true, true, true, false, false},   // frame buffer objects
        {true, true, false, true, false},   // shaders
        {true, true, true, true, true},     // everything
        {true, true, true, false, false},   // shaders without multitexture
    };
    const GlCaps* caps[5] = {&none, &fbo, &shaders, &all, &no_multitexture};
    for (int c = 0; c < 5; ++c)
        for (int m = 0; m < k_terrain_method_count; ++m)
            EXPECT_EQ(terrain_method_supported(m, *caps[c]), expect[c][m]) << "caps " << c << " method " << m;
    EXPECT_FALSE(terrain_method_supported(-1, all));
    EXPECT_FALSE(terrain_method_supported(5, all));

    for (auto [method, texture_method] : {std::pair{0, 1}, {1, 2}, {2, 3}, {3, 2}, {4, 3}, {9, 1}})
        EXPECT_EQ(terrain_texture_method(method), texture_method) << method;
    EXPECT_EQ(std::tuple(terrain_method_uses_shaders(2), terrain_method_uses_shaders(3), terrain_method_uses_shaders(4)),
              std::tuple(false, true, true));
}

TEST(GroundTextureSettings, LevelBiasAndResolutionFromTheSettings)
{
    for (auto [levels, bias] : {std::pair{9.0, 1}, {10.0, 0}, {0.0, 10}, {7.5, 2}, {-3.0, 10}, {12.0, 0}})
        EXPECT_EQ(ground_texture_level_bias(levels), bias) << levels;
    for (auto [setting, edge] : {std::pair{0, 32}, {1, 64}, {3, 256}, {5, 1024}, {9, 1024}, {-1, 32}})
        EXPECT_EQ(ground_texture_resolution(setting), edge) << setting;

    // "--ground-texture-detail" wins over the setting until it is cleared.
    int from_setting = ground_texture_settings().level_bias;
    set_ground_texture_level_bias(3);
    EXPECT_EQ(ground_texture_settings().level_bias, 3);
    set_ground_texture_level_bias(40);
    EXPECT_EQ(ground_texture_settings().level_bias, 10);
    set_ground_texture_level_bias(-1);
    EXPECT_EQ(ground_texture_settings().level_bias, from_setting);
}

TEST(GroundTextureSettings, TileLevelsForBiasAndMipmaps)
{
    // -1: not checked (a size that is no size has no meaningful rest).
    struct Case {
        int w, h, bias;
        bool mipmaps;
        int base, max, width, height, mipmapped;
    };
    const Case cases[] = {
        {256, 256, 1, true, 1, 8, 128, 128, 1},  // a 256 x 256 tile has 9 levels (256 ... 1)
        {256, 256, 10, true, 6, 8, 4, 4, 1},     // the bias stops where a side would drop below 4 texels
        {256, 256, 2, false, 2, 2, 64, 64, 0},   // without mipmaps one level remains
        {256, 256, 0, false, 0, 0, 256, 256, 0},
        {64, 16, 3, true, 2, 6, 16, 4, 1},       // the shorter side decides: 16 x 4 at most
        {2, 2, 5, true, 0, 1, 2, 2, 1},          // tiny and broken sizes stay at their only level
        {0, -4, 5, true, 0, -1, 1, -1, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.w << "x" << c.h << " bias " << c.bias << " mipmaps " << c.mipmaps);
        const GroundTileLevels l = ground_tile_levels(c.w, c.h, c.bias, c.mipmaps);
        EXPECT_EQ(l.base_level, c.base);
        EXPECT_EQ(l.width, c.width);
        if (c.max >= 0) {
            EXPECT_EQ(l.max_level, c.max);
        }
        if (c.height >= 0) {
            EXPECT_EQ(l.height, c.height);
        }
        if (c.mipmapped >= 0) {
            EXPECT_EQ(l.mipmapped, c.mipmapped == 1);
        }
    }
}

TEST(LowDetailTextures, EdgeFollowsTheResolution)
{
    for (auto [resolution, edge] :
         {std::pair{64, 64}, {256, 256}, {1024, 1024}, {2048, 1024}, {16, 32}, {100, 64}, {0, 32}})
        EXPECT_EQ(low_detail_edge(resolution), edge) << resolution;
}

// A 5 x 5 sample field, 4 feet a cell (16 feet across: one tile repeat),
// shading (100, 50, 200) at half intensity, sample (1, 1) fully shadowed,
// tile 0 on the two western sample columns and tile 1 east of them.
track::Terrain tiny_field()
{
    track::Terrain t = test::square_ground(1, 4);
    t.shading.resize(25 * 3);
    for (std::size_t k = 0; k < 25; ++k) {
        t.shading[3 * k] = 100;
        t.shading[3 * k + 1] = 50;
        t.shading[3 * k + 2] = 200;
    }
    t.shadows.assign(25, 0);
    t.shadows[1 + 5 * 1] = 255;
    t.tiles.resize(2);
    t.tile_map = {0, 1, 0, 1};
    return t;
}

// Tile 1's picture: a 2 x 2 chain of red, green / blue, white.
std::vector<std::uint8_t> tile_chain()
{
    return {255, 0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 255, 255, 255, 255, 255, 127, 127, 127, 255};
}

TEST(LowDetailTextures, SampleLightAndTiles)
{
    track::Terrain t = tiny_field();
    auto lit = sample_light(t, 2, 2);
    EXPECT_EQ(lit, (std::array<int, 3>{100, 50, 200}));
    // Full shadow leaves 255 - 255 * 5 / 8 = 96 of 255.
    auto dark = sample_light(t, 1, 1);
    EXPECT_EQ(dark, (std::array<int, 3>{37, 18, 75}));
    EXPECT_EQ(sample_light(t, -4, 99), sample_light(t, 0, 4)) << "indices clamp to the grid";
    for (auto [i, j, tile] : {std::array{0, 0, 0}, {2, 0, 1}, {4, 4, 1}, {-3, 0, 0}, {99, 99, 1}})
        EXPECT_EQ(tile_at_sample(t, i, j), tile) << i << ", " << j;
    track::Terrain bare;
    EXPECT_EQ(tile_at_sample(bare, 3, 3), 0);
    EXPECT_EQ(sample_light(bare, 0, 0), (std::array<int, 3>{128, 128, 128}));
}

TEST(LowDetailTextures, ComposedInMemory)
{
    track::Terrain t = tiny_field();
    std::vector<std::uint8_t> chain = tile_chain();
    TileSource tiles[2];
    tiles[0].mean = {200, 100, 50};  // no picture: its mean colour
    tiles[1].chain = chain.data();
    tiles[1].width = 2;
    tiles[1].height = 2;
    Image im = compose_low_detail(t, {0, 0, 4, 4}, 4, tiles);
    ASSERT_EQ(std::tuple(im.width, im.height, im.channels), std::tuple(4, 4, 3));
    auto px = [&](int x, int y) {
        std::size_t o = (static_cast<std::size_t>(y) * 4 + static_cast<std::size_t>(x)) * 3;
        return std::array<int, 3>{im.pixels[o], im.pixels[o + 1], im.pixels[o + 2]};
    };
    // Texel (x, y) is centred on sample coordinate (x + 1/2, y + 1/2) and
    // takes the light of sample (x + 1, y + 1): texel (0, 0) the shadowed one.
    EXPECT_EQ(px(0, 0), (std::array<int, 3>{58, 14, 29}));   // tile 0 in shadow
    EXPECT_EQ(px(1, 0), (std::array<int, 3>{156, 39, 78}));  // tile 0 lit
    // Tile 1 at x = 10 and 14 feet: the picture's second column; rows at 2
    // and 6 feet its first row, at 10 and 14 feet its second.
    EXPECT_EQ(px(2, 0), (std::array<int, 3>{0, 100, 0}));      // green
    EXPECT_EQ(px(3, 2), (std::array<int, 3>{200, 100, 255}));  // white, blue clipped
    EXPECT_EQ(px(2, 3), (std::array<int, 3>{200, 100, 255}));

    // Seen from four times as far per texel, the tile's 1 x 1 level is used.
    Image coarse = compose_low_detail(t, {0, 0, 4, 4}, 1, tiles);
    ASSERT_EQ(coarse.pixels.size(), 3u);
    // Texel centre at sample (2, 2), tile 1, its mean grey 127.
    EXPECT_EQ(coarse.pixels, (std::vector<std::uint8_t>{127 * 100 * 2 / 255, 127 * 50 * 2 / 255, 127 * 200 * 2 / 255}));

    // A picture without a width (or a height) is no picture: the mean colour.
    for (bool no_width : {true, false}) {
        TileSource odd[2] = {tiles[0], tiles[1]};
        odd[1].mean = {10, 20, 30};
        (no_width ? odd[1].width : odd[1].height) = 0;
        Image flat = compose_low_detail(t, {0, 0, 4, 4}, 4, odd);
        EXPECT_EQ(std::vector<std::uint8_t>(flat.pixels.begin() + 6, flat.pixels.begin() + 9),
                  (std::vector<std::uint8_t>{10 * 100 * 2 / 255, 20 * 50 * 2 / 255, 30 * 200 * 2 / 255}))
            << no_width;
    }

    // Tiles beyond the list get grey, an empty rectangle still gives pixels.
    Image none = compose_low_detail(t, {0, 0, 4, 4}, 2, {});
    EXPECT_EQ(none.pixels[0], 128 * 37 * 2 / 255);
    Image empty = compose_low_detail(t, {3, 3, 3, 3}, 2, tiles);
    EXPECT_EQ(empty.pixels.size(), 12u);
}

TEST(LowDetailTextures, ShadingTexelPerSample)
{
    track::Terrain t = tiny_field();
    Image im = shading_texture(t, {1, 0, 5, 4});
    ASSERT_EQ(im.width, k_shading_edge);
    ASSERT_EQ(im.height, k_shading_edge);
    auto px = [&](int x, int y) {
        std::size_t o = (static_cast<std::size_t>(y) * k_shading_edge + static_cast<std::size_t>(x)) * 3;
        return std::array<int, 3>{im.pixels[o], im.pixels[o + 1], im.pixels[o + 2]};
    };
    // The rectangle starts at sample column 1: texel (0, 1) is sample (1, 1).
    EXPECT_EQ(px(0, 1), (std::array<int, 3>{37, 18, 75}));
    EXPECT_EQ(px(1, 1), (std::array<int, 3>{100, 50, 200}));
    // Past the field the last sample repeats.
    EXPECT_EQ(px(511, 511), (std::array<int, 3>{100, 50, 200}));
}

}  // namespace
}  // namespace zv::render
