// The tile table readers (tileinfo and texturelist) and the curves the tyre
// model evaluates.
#include "track/tileinfo.h"

#include "core/data_file.h"
#include "track/terrain_fixture.h"
#include "support/expect_rows.h"

#include <gtest/gtest.h>

#include <cmath>
#include <utility>

namespace zv::track {
namespace {

using test::FakeTextures;

class TileInfo : public test::TerrainFolder {
protected:
    std::vector<TileType> read(std::string_view text, bool texturelist = false)
    {
        put("tiles", text);
        auto f = core::open_data_file(folder() + "tiles", "rb");
        EXPECT_TRUE(f);
        std::vector<TileType> tiles;
        if (!f)
            return tiles;
        if (texturelist)
            read_texturelist(*f, tiles);
        else
            read_tileinfo(*f, tiles);
        return tiles;
    }
    int count(std::string_view text) const
    {
        auto m = messages();
        return static_cast<int>(std::count(m.begin(), m.end(), std::string(text)));
    }
    FakeTextures textures_;
};

TEST(TileCurves, FrictionInterpolatesOnSquaredSpeeds)
{
    TileType tile;
    tile.friction[0] = {1.1f, 1.0f};
    tile.friction[1] = {0.9f, 3.0f};
    EXPECT_NEAR(friction_at_speed(tile, 2.0f * 2.0f), 1.025f, 1e-6f);
    // t = 0 at the first speed; past 9, point 2 has speed 0: the last scanned.
    test::expect_float_rows("friction", {{friction_at_speed(tile, 0.0f), 1.1f}, {friction_at_speed(tile, 0.99f), 1.1f},
                                         {friction_at_speed(tile, 1.0f), 1.1f}, {friction_at_speed(tile, 9.0f), 0.9f},
                                         {friction_at_speed(tile, 400.0f), 0.9f}});

    // All eight points used: past the last one gives its coefficient.
    for (int k = 0; k < k_curve_points; ++k)
        tile.friction[static_cast<std::size_t>(k)] = {1.0f + 0.1f * k, static_cast<float>(k + 1)};
    EXPECT_FLOAT_EQ(friction_at_speed(tile, 1000.0f), 1.7f);
    // Between points 3 (speed 4) and 4 (speed 5), at 4.5: t = (20.25-16)/9.
    EXPECT_NEAR(friction_at_speed(tile, 20.25f), 1.3f + (4.25f / 9.0f) * 0.1f, 1e-6f);
}

TEST(TileCurves, DefaultCurvesAreConstant)
{
    TileType tile;
    for (float v : {0.0f, 0.5f, 1.0f, 100.0f}) {
        EXPECT_FLOAT_EQ(friction_at_speed(tile, v * v), 1.0f);
        RollingResistance r = rolling_resistance_at_speed(tile, v);
        EXPECT_FLOAT_EQ(r.low, 5.0f);
        EXPECT_FLOAT_EQ(r.high, 15.0f);
    }
}

TEST(TileCurves, RollingResistanceInterpolatesLinearly)
{
    TileType tile;
    tile.roll_resist[0] = {2.0f, 10.0f, 1.0f};
    tile.roll_resist[1] = {4.0f, 20.0f, 3.0f};
    RollingResistance r = rolling_resistance_at_speed(tile, 2.0f);
    EXPECT_FLOAT_EQ(r.low, 3.0f);
    EXPECT_FLOAT_EQ(r.high, 15.0f);
    r = rolling_resistance_at_speed(tile, 0.5f);
    EXPECT_FLOAT_EQ(r.low, 2.0f);
    r = rolling_resistance_at_speed(tile, 10.0f);
    EXPECT_FLOAT_EQ(r.low, 4.0f);
    EXPECT_FLOAT_EQ(r.high, 20.0f);
}

TEST_F(TileInfo, DefaultsOfAnEmptyTile)
{
    auto tiles = read("addtile\n");
    ASSERT_EQ(tiles.size(), 1u);
    const TileType& t = tiles[0];
    EXPECT_EQ(t.texture, 0u);
    test::expect_float_rows("tile", {{t.friction[0].coefficient, 1.0f}, {t.friction[0].speed, 1.0f},
                                     {t.friction[1].speed, 0.0f}, {t.roll_resist[0].low, 5.0f},
                                     {t.roll_resist[0].high, 15.0f}, {t.roll_resist[0].speed, 1.0f},
                                     {t.erode_depth, 1.0f}, {t.erode_lower, 50.0f}, {t.erode_upper, 150.0f},
                                     {t.erode_displacement, 2.0f}, {t.erode_radius, 4.0f},
                                     {t.erode_max_slope, 0.25f}, {t.erode_off_speed, 10.0f},
                                     {t.erode_on_speed, 15.0f}});
    for (const RoostType& r : t.roost) {
        EXPECT_EQ(r.mode, 0);
        EXPECT_EQ(textures_.name_of(r.texture), "@roost.png");
        test::expect_float_rows("roost", {{r.count, 10.0f}, {r.slow_angle, 1.5707964f}, {r.fast_angle, 0.19634955f}});
        EXPECT_EQ((std::pair<int, int>(r.a, r.fade_a)), std::pair(255, -2));
    }
    EXPECT_TRUE(messages().empty());
}

TEST_F(TileInfo, FrictionPointsAreSortedOnCommit)
{
    auto tiles = read("friction 0.9 3\nfriction 1.1 1\naddtile\n");
    ASSERT_EQ(tiles.size(), 1u);
    const TileType& t = tiles[0];
    test::expect_float_rows("friction", {{t.friction[0].coefficient, 1.1f}, {t.friction[0].speed, 1.0f},
                                         {t.friction[1].coefficient, 0.9f}, {t.friction[1].speed, 3.0f},
                                         {t.friction[2].speed, 0.0f}});
    EXPECT_NEAR(friction_at_speed(t, 4.0f), 1.025f, 1e-6f);
    EXPECT_FLOAT_EQ(friction_at_speed(t, 0.25f), 1.1f);
    EXPECT_FLOAT_EQ(friction_at_speed(t, 16.0f), 0.9f);
}

TEST_F(TileInfo, FrictionLimitsAndWarnings)
{
    std::string text;
    for (int k = 1; k <= 9; ++k)
        text += "friction 1." + std::to_string(k) + " " + std::to_string(10 - k) + "\n";
    text += "friction\nfriction 0.5\naddtile\nfriction -2 0\naddtile\n";
    auto tiles = read(text);
    ASSERT_EQ(tiles.size(), 2u);
    EXPECT_EQ(count("tileinfo warning: too many friction points"), 3);  // the ninth and two bad lines
    EXPECT_EQ(count("tileinfo warning: bad friction parameters"), 0);
    // The eight earlier points stay, sorted: speeds 2..9.
    for (int k = 0; k < k_curve_points; ++k)
        EXPECT_FLOAT_EQ(tiles[0].friction[static_cast<std::size_t>(k)].speed, static_cast<float>(k + 2));
    EXPECT_FLOAT_EQ(tiles[0].friction[0].coefficient, 1.8f);
    // Coefficient -2 at speed 0 is stored as 0 at 2^-20.
    EXPECT_FLOAT_EQ(tiles[1].friction[0].coefficient, 0.0f);
    EXPECT_FLOAT_EQ(tiles[1].friction[0].speed, k_min_curve_speed);
    EXPECT_EQ(k_min_curve_speed, std::ldexp(1.0f, -20));
}

TEST_F(TileInfo, BadPointLinesKeepTheCurve)
{
    auto tiles = read("friction 0.5\nfriction nan 2\nroll_resist 1 2\nroll_resist -1 -2 0.5\n"
                      "roll_resist 1 2 x\naddtile\n");
    ASSERT_EQ(tiles.size(), 1u);
    EXPECT_EQ(count("tileinfo warning: bad friction parameters"), 2);
    EXPECT_EQ(count("tileinfo warning: bad roll_resist parameters"), 2);
    const TileType& t = tiles[0];
    test::expect_float_rows("tile", {{t.friction[0].coefficient, 1.0f}, {t.friction[0].speed, 1.0f},
                                     {t.roll_resist[0].low, 0.0f}, {t.roll_resist[0].high, 0.0f},
                                     {t.roll_resist[0].speed, 0.5f}});
}

TEST_F(TileInfo, RollResistPointsSortAndOverflow)
{
    std::string text;
    for (int k = 9; k >= 1; --k)
        text += "roll_resist " + std::to_string(k) + " " + std::to_string(10 * k) + " " + std::to_string(k) + "\n";
    auto tiles = read(text + "addtile\n");
    ASSERT_EQ(tiles.size(), 1u);
    EXPECT_EQ(count("tileinfo warning: too many roll_resist points"), 1);
    // Points 9..2 were kept (the ninth line, speed 1, was refused).
    EXPECT_FLOAT_EQ(tiles[0].roll_resist[0].speed, 2.0f);
    EXPECT_FLOAT_EQ(tiles[0].roll_resist[7].speed, 9.0f);
    RollingResistance r = rolling_resistance_at_speed(tiles[0], 2.5f);
    EXPECT_FLOAT_EQ(r.low, 2.5f);
    EXPECT_FLOAT_EQ(r.high, 25.0f);
}

TEST_F(TileInfo, RoostLineWithQuotedTexture)
{
    auto tiles = read("roost count=2.5 \"texture=@my roost.png\" fade_a=-256\naddtile\n");
    ASSERT_EQ(tiles.size(), 1u);
    const RoostType& r = tiles[0].roost[0];
    EXPECT_EQ(r.mode, 1);
    EXPECT_FLOAT_EQ(r.count, 2.5f);
    EXPECT_EQ(textures_.name_of(r.texture), "@my roost.png");
    EXPECT_EQ(r.fade_a, -2);
    EXPECT_EQ(tiles[0].roost[1].mode, 0);
    EXPECT_TRUE(messages().empty());

    // A quote may also open in the middle of a token.
    tiles = read("roost texture=\"@a b.png\"  splash=1\naddtile\n");
    ASSERT_EQ(tiles.size(), 1u);
    EXPECT_EQ(textures_.name_of(tiles[0].roost[0].texture), "@a b.png");
    EXPECT_EQ(tiles[0].roost[0].mode, 2);
}

TEST_F(TileInfo, RoostNumbersColoursAndWarnings)
{
    auto tiles = read("roost size=abc dig=3e+9x r=300 g=-1 b=12.9 a=x fade_r=128 fade_g=-129 bogus=1 "
                      "splash=0 slow_speed=-1.5e01 count= fast_speed=4e38 fade_b=-2e66\n"
                      "roost\nroost\nroost\nroost\naddtile\n");
    ASSERT_EQ(tiles.size(), 1u);
    const RoostType& r = tiles[0].roost[0];
    // r is 300 mod 256, g the low byte of -1; fade_r 128 per second is 1 per
    // tick, fade_g -1.0078 per tick truncated. Numbers no float holds (fast
    // speed, fade_b) are refused like words.
    test::expect_rows<int>("roost", {{r.mode, 1}, {r.r, 44}, {r.g, 255}, {r.b, 12}, {r.a, 0}, {r.fade_r, 1},
                                     {r.fade_g, -1}, {r.fade_b, 0}});
    test::expect_float_rows("roost", {{r.size, 0.0f}, {r.dig, 3e9f}, {r.slow_speed, -15.0f}, {r.count, 0.0f},
                                      {r.fast_speed, 0.0f}});
    for (const char* w : {"bad fast_speed", "bad fade_b", "bad size", "bad a", "bad count",
                          "unknown roost parameter 'bogus=1'", "too many roost types"})
        EXPECT_EQ(count(std::string("tileinfo warning: ") + w), 1) << w;
    for (const RoostType& rt : tiles[0].roost)
        EXPECT_EQ(rt.mode, 1);
}

TEST_F(TileInfo, UnknownRoostParameterIsCutAt40)
{
    read("roost " + std::string(60, 'q') + "\naddtile\n");
    EXPECT_EQ(count("tileinfo warning: unknown roost parameter '" + std::string(40, 'q') + "'"), 1);
}

TEST_F(TileInfo, ErodeValuesAndKeywordCase)
{
    auto tiles = read("  \t erode_depth 2.5\nerode_lower x\nErode_depth 7\nerode_on_speed 20\n"
                      "\n\r\nerode_max_slope 0.5   \naddtile\n");
    ASSERT_EQ(tiles.size(), 1u);
    test::expect_float_rows("erode", {{tiles[0].erode_depth, 2.5f}, {tiles[0].erode_lower, 50.0f},
                                      {tiles[0].erode_on_speed, 20.0f}, {tiles[0].erode_max_slope, 0.5f}});
    EXPECT_EQ(count("tileinfo warning: bad erode_lower"), 1);
    EXPECT_EQ(count("tileinfo warning: Unknown identifier 'Erode_depth'"), 1);
    EXPECT_EQ(messages().size(), 2u);
}

TEST_F(TileInfo, TexturesAndCommitRules)
{
    auto tiles = read("texture @first.png\ntexture @grass.png\naddtile\nfriction 0.5 2\naddtile\n"
                      "texture @after.png\nfriction 0.1 1\n");
    ASSERT_EQ(tiles.size(), 2u);
    EXPECT_EQ(tiles[0].texture_name, "@grass.png");
    EXPECT_EQ(textures_.name_of(tiles[0].texture), "@grass.png");
    // The second tile starts from the defaults again.
    EXPECT_EQ(tiles[1].texture, 0u);
    EXPECT_FLOAT_EQ(tiles[1].friction[0].coefficient, 0.5f);
    // Lines after the last addtile have no effect (the texture was loaded).
    EXPECT_NE(std::find(textures_.requested.begin(), textures_.requested.end(), "@after.png"),
              textures_.requested.end());

    tiles = read("texture @missing.png\naddtile\n");
    ASSERT_EQ(tiles.size(), 1u);
    EXPECT_EQ(tiles[0].texture, 0u);
}

TEST_F(TileInfo, AtMost256Tiles)
{
    std::string text;
    for (int k = 0; k < 300; ++k)
        text += "erode_depth " + std::to_string(k) + "\naddtile\n";
    auto tiles = read(text);
    ASSERT_EQ(tiles.size(), 256u);
    EXPECT_FLOAT_EQ(tiles[255].erode_depth, 255.0f);
}

TEST_F(TileInfo, NoAddtileGivesNoTiles)
{
    EXPECT_TRUE(read("friction 1 1\ntexture @grass.png\n").empty());
    EXPECT_TRUE(read("").empty());
}

TEST_F(TileInfo, TexturelistLines)
{
    auto tiles = read("0.8 4 12 grass.png\n\n   mud.png\n1 2 dirt.png\nnan 3 4 rock.png\nlast.png", true);
    ASSERT_EQ(tiles.size(), 5u);
    EXPECT_EQ(tiles[0].texture_name, "@grass.png");
    EXPECT_EQ(textures_.name_of(tiles[0].texture), "@grass.png");
    for (std::size_t k = 0; k < static_cast<std::size_t>(k_curve_points); ++k) {
        const auto& f = tiles[0].friction[k];
        const auto& r = tiles[0].roll_resist[k];
        test::expect_float_rows("curves", {{f.coefficient, 0.8f}, {f.speed, k == 0 ? 1.0f : 0.0f}, {r.low, 4.0f},
                                           {r.high, 12.0f}});
    }
    EXPECT_EQ(std::pair(tiles[0].roost[0].mode, tiles[0].roost[1].mode), std::pair(1, 0));
    EXPECT_EQ(textures_.name_of(tiles[0].roost[0].texture), "@roost.png");
    EXPECT_FLOAT_EQ(tiles[0].erode_radius, 4.0f);

    // Fewer than three numbers: plain surface, the whole line is the name.
    EXPECT_EQ(tiles[1].texture_name, "@mud.png");
    EXPECT_FLOAT_EQ(tiles[1].friction[3].coefficient, 1.0f);
    EXPECT_EQ(tiles[2].texture_name, "@1 2 dirt.png");
    // A number that is no number (tile 3) falls back to the plain value.
    test::expect_float_rows("plain", {{tiles[2].roll_resist[0].low, 5.0f}, {tiles[2].roll_resist[0].high, 15.0f},
                                      {tiles[3].friction[0].coefficient, 1.0f}, {tiles[3].roll_resist[0].low, 3.0f}});
    // The last line has no line break and keeps its last character.
    EXPECT_EQ(tiles[4].texture_name, "@last.png");
}

TEST_F(TileInfo, TexturelistMakesAtMost256Tiles)
{
    std::string text;
    for (int k = 0; k < 260; ++k)
        text += "1 5 15 t" + std::to_string(k) + ".png\r\n";
    auto tiles = read(text, true);
    ASSERT_EQ(tiles.size(), 256u);
    EXPECT_EQ(tiles[255].texture_name, "@t255.png");
}

}  // namespace
}  // namespace zv::track
