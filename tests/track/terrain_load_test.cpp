// load_terrain, free_terrain and save_terrain on tiny track folders.
#include "track/terrain.h"

#include "core/atomic_file.h"
#include "core/debug_level.h"
#include "core/digest.h"
#include "core/loading_status.h"
#include "track/terrain_fixture.h"
#include "support/expect_rows.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <cmath>
#include <span>
#include <tuple>

namespace zv::track {
namespace {

using test::hf_with_samples;
using test::netpbm;
using test::ppm;

class TerrainLoad : public test::TerrainFolder {
protected:
    Terrain& t = loaded_terrain();

    bool load(int method = 1) { return load_terrain(k_track, method); }
    // Height of sample (i, j).
    float h(int i, int j) const { return t.heights[static_cast<std::size_t>(i + t.grid_side * j)]; }
    // Loads expecting failure, and checks the terrain was released.
    void expect_failure()
    {
        EXPECT_FALSE(load());
        EXPECT_TRUE(t.heights.empty());
        EXPECT_TRUE(t.tiles.empty());
        EXPECT_EQ(t.grid_side, 0);
    }
};

TEST_F(TerrainLoad, InlineSamplesOnTheSmallestField)
{
    // N = 0: 3 x 3 samples, 1 x 1 tile map, field of two cells.
    put("terrain.hf", hf_with_samples(0, 4.0f, -10.0f, 30.0f, {0, 65535, 32768, 1, 2, 3, 4, 5, 6}));
    put("shading.ppm", ppm(3, 3, 100));
    put("tileinfo", "addtile\n");
    put("tilemap", std::string(1, '\0'));
    ASSERT_TRUE(load());
    EXPECT_EQ(std::tuple(t.size_exponent, t.grid_side, t.tile_side), std::tuple(0, 3, 1));
    // Sample 0 is the minimum exactly, 65535 the maximum exactly; i varies fastest.
    EXPECT_EQ(std::pair(h(0, 0), h(1, 0)), std::pair(-10.0f, 30.0f));
    test::expect_float_rows("field", {{t.cell_size, 4.0f}, {t.field_size, 8.0f}, {t.min_height, -10.0f},
                                      {t.max_height, 30.0f}, {h(2, 0), -10.0f + 32768.0f * 40.0f / 65535.0f},
                                      {h(0, 1), -10.0f + 1.0f * 40.0f / 65535.0f},
                                      {h(2, 2), -10.0f + 6.0f * 40.0f / 65535.0f}});
    ASSERT_EQ(t.tile_map.size(), 1u);
    EXPECT_EQ(t.texture_method, 1);
    EXPECT_FALSE(t.lit);
    EXPECT_TRUE(shown("Terrain texture rendering with TexSubImage"));
    EXPECT_EQ(terrain_height(-1.0f, -1.0f), -10.0f);  // the loaded terrain's own query
}

TEST_F(TerrainLoad, SixteenBitPngHeightsRepeatTheLastColumnAndRow)
{
    write_basic();
    put("terrain.hf", "1 2 100 200\n");
    // A 3 x 2 picture for a 5 x 5 grid.
    put("terrain.png", test::png_bytes(test::grey16(3, 2, {0, 1000, 65535, 50, 60, 70})));
    ASSERT_TRUE(load());
    auto height = [](unsigned s) { return static_cast<float>(100.0 + s * 100.0 / 65535.0); };
    test::expect_float_rows("heights", {{h(0, 0), 100.0f}, {h(1, 0), height(1000)}, {h(2, 0), 200.0f},
                                        {h(4, 0), 200.0f}, {h(0, 1), height(50)}, {h(4, 1), height(70)},
                                        {h(1, 4), height(60)}, {h(4, 4), height(70)}});
}

TEST_F(TerrainLoad, EightBitGreyPngIsScaledBy257)
{
    write_basic();
    put("terrain.hf", "1 2 0 65535\n");
    test::PngSpec s{5, 5, 8, PNG_COLOR_TYPE_GRAY, {}, {}, false};
    for (int k = 0; k < 25; ++k)
        s.pixels.push_back(static_cast<std::uint8_t>(k * 10));
    put("terrain.png", test::png_bytes(s));
    ASSERT_TRUE(load());
    for (int k = 0; k < 25; ++k)
        EXPECT_EQ(t.heights[static_cast<std::size_t>(k)], static_cast<float>(k * 10 * 257)) << k;
}

TEST_F(TerrainLoad, ColourPalettedAlphaAndInterlacedPngs)
{
    write_basic();
    put("terrain.hf", "1 2 0 65535\n");
    // Grey-valued RGB converts to the same grey whatever the weights.
    test::PngSpec rgb{1, 1, 8, PNG_COLOR_TYPE_RGB, {100, 100, 100}, {}, false};
    put("terrain.png", test::png_bytes(rgb));
    ASSERT_TRUE(load());
    EXPECT_EQ(h(3, 3), 25700.0f);

    // Pure green weighs more than pure blue.
    test::PngSpec colours{2, 1, 8, PNG_COLOR_TYPE_RGB, {0, 255, 0, 0, 0, 255}, {}, false};
    put("terrain.png", test::png_bytes(colours));
    ASSERT_TRUE(load());
    EXPECT_GT(h(0, 0), h(1, 0));
    EXPECT_GT(h(0, 0), 0.5f * 65535.0f);
    EXPECT_LT(h(1, 0), 0.2f * 65535.0f);

    test::PngSpec pal{2, 1, 8, PNG_COLOR_TYPE_PALETTE, {1, 0}, {{0, 0, 0}, {200, 200, 200}}, false};
    put("terrain.png", test::png_bytes(pal));
    ASSERT_TRUE(load());
    EXPECT_EQ(h(0, 0), 200.0f * 257.0f);
    EXPECT_EQ(h(1, 0), 0.0f);

    test::PngSpec alpha{1, 1, 8, PNG_COLOR_TYPE_GRAY_ALPHA, {77, 3}, {}, false};
    put("terrain.png", test::png_bytes(alpha));
    ASSERT_TRUE(load());
    EXPECT_EQ(h(4, 4), 77.0f * 257.0f);

    std::vector<std::uint16_t> values(25);
    for (int k = 0; k < 25; ++k)
        values[static_cast<std::size_t>(k)] = static_cast<std::uint16_t>(k * 2000 + 7);
    test::PngSpec inter = test::grey16(5, 5, values);
    inter.interlaced = true;
    put("terrain.png", test::png_bytes(inter));
    ASSERT_TRUE(load());
    for (int k = 0; k < 25; ++k)
        EXPECT_EQ(t.heights[static_cast<std::size_t>(k)], static_cast<float>(k * 2000 + 7)) << k;
}

TEST_F(TerrainLoad, MissingOrBrokenPngIsAFlatFieldWithoutMessage)
{
    write_basic();
    put("terrain.hf", "1 2 5 9\n");
    ASSERT_TRUE(load());
    for (float v : t.heights)
        EXPECT_EQ(v, 5.0f);
    put("terrain.png", "\x89PNG\r\n\x1a\n garbage");
    ASSERT_TRUE(load());
    EXPECT_EQ(h(2, 2), 5.0f);
    for (const std::string& m : messages())
        EXPECT_EQ(m.find("Error"), std::string::npos) << m;
}

TEST_F(TerrainLoad, HeaderProblems)
{
    write_basic();
    put("terrain.hf", "1 2 3\n");
    expect_failure();
    EXPECT_TRUE(shown("Bad height field parameters"));
    EXPECT_TRUE(shown("Error reading heights"));

    // Sizes and cells no field can have are refused the same way.
    for (const char* header : {"-1 2 0 1\n:", "13 2 0 1\n:", "1 0 0 1\n:", "1 -2 0 1\n:", "1 nan 0 1\n:",
                               "1 2 inf 1\n:", "1 1e38 0 1\n:", "1 2 -3e38 3e38\n:", "x\n"}) {
        core::clear_messages();
        put("terrain.hf", header);
        expect_failure();
        EXPECT_TRUE(shown("Bad height field parameters")) << header;
    }
}

TEST_F(TerrainLoad, ShortSamplesFail)
{
    write_basic();
    put("terrain.hf", hf_with_samples(1, 2, 0, 1, std::vector<std::uint16_t>(24, 0)));
    expect_failure();
    EXPECT_TRUE(shown("Error reading heights"));
}

TEST_F(TerrainLoad, RequiredFilesNameTheirPath)
{
    const std::pair<const char*, const char*> cases[] = {
        {"terrain.hf", "terrain.hf"}, {"tilemap", "tilemap"}, {"shading.ppm", "shading.ppm"},
        {"tileinfo", "texturelist"}};
    for (const auto& [missing, named] : cases) {
        write_basic();
        remove(missing);
        expect_failure();
        EXPECT_TRUE(shown("Can't open '@tracks/t/" + std::string(named) + "'")) << missing;
    }
}

TEST_F(TerrainLoad, ShadingFiles)
{
    write_basic();
    std::vector<std::uint8_t> px(75);
    for (std::size_t k = 0; k < px.size(); ++k)
        px[k] = static_cast<std::uint8_t>(k * 3 + 1);
    put("shading.ppm", netpbm("P6", 5, 5, px));
    ASSERT_TRUE(load());
    ASSERT_EQ(t.shading.size(), 75u);
    for (std::size_t k = 0; k < px.size(); ++k)
        EXPECT_EQ(t.shading[k], px[k] >> 1);

    // shadingx2.ppm wins and is kept as read; comments in the header are fine.
    put("shadingx2.ppm", "P6\n# made by hand\n5 5 # size\n255\n" + std::string(75, '\xfe'));
    ASSERT_TRUE(load());
    EXPECT_EQ(t.shading[0], 0xfe);
    EXPECT_EQ(t.shading[74], 0xfe);

    // A maximum other than 255 is rescaled.
    put("shadingx2.ppm", "P6 5 5 15\n" + std::string(75, '\x0f'));
    ASSERT_TRUE(load());
    EXPECT_EQ(t.shading[10], 255);
}

TEST_F(TerrainLoad, ShadingProblemsFail)
{
    write_basic();
    put("shading.ppm", ppm(4, 5, 1));
    expect_failure();
    EXPECT_TRUE(shown("Bad shading dimensions (4x5)"));

    put("shading.ppm", "P6\n5 5\n255\n" + std::string(74, 'x'));
    expect_failure();
    EXPECT_TRUE(shown("Error reading shading"));

    core::clear_messages();
    put("shading.ppm", "P3\n5 5\n255\n");
    expect_failure();
    EXPECT_TRUE(shown("Error reading shading"));

    core::clear_messages();
    put("shading.ppm", "P6\n99999999999 5\n255\n");
    expect_failure();
    EXPECT_TRUE(shown("Error reading shading"));
}

TEST_F(TerrainLoad, Shadows)
{
    write_basic();
    ASSERT_TRUE(load());
    ASSERT_EQ(t.shadows.size(), 25u);
    for (std::uint8_t v : t.shadows)
        EXPECT_EQ(v, 0);

    std::vector<std::uint8_t> px(25, 255);
    px[0] = 0;
    px[7] = 100;
    put("shadows.pgm", netpbm("P5", 5, 5, px));
    ASSERT_TRUE(load());
    EXPECT_EQ((std::vector<int>{t.shadows[0], t.shadows[7], t.shadows[8]}), (std::vector<int>{255, 155, 0}));

    // The wrong size fails the whole load; only the log says why.
    core::clear_messages();
    put("shadows.pgm", netpbm("P5", 5, 4, std::vector<std::uint8_t>(20, 1)));
    expect_failure();
    for (const std::string& m : messages())
        EXPECT_EQ(m.find("shadow"), std::string::npos) << m;
    auto log = test::read_file(tmp_.str() + "log.txt");
    ASSERT_TRUE(log);
    EXPECT_NE(log->find("Bad shadow dimensions (5x4)"), std::string::npos);

    put("shadows.pgm", "P5\n5 5\n255\n" + std::string(10, 'x'));
    expect_failure();
    EXPECT_TRUE(shown("Error reading shadows"));
}

TEST_F(TerrainLoad, TileMapEntries)
{
    write_basic();
    std::string tileinfo;
    for (int k = 0; k < 12; ++k)
        tileinfo += "erode_depth " + std::to_string(k) + "\naddtile\n";
    put("tileinfo", tileinfo);
    put("tilemap", std::string("\xc8\x03", 2));  // 200 and 3; the rest is missing
    ASSERT_TRUE(load());
    ASSERT_EQ(t.tiles.size(), 12u);
    EXPECT_EQ(t.tile_map, (std::vector<std::uint8_t>{11, 3, 0, 0}));
    test::expect_float_rows("erode depth", {{terrain_tile(1.0f, 1.0f)->erode_depth, 11.0f},
                                            {terrain_tile(5.0f, 1.0f)->erode_depth, 3.0f},
                                            {terrain_tile(5.0f, 5.0f)->erode_depth, 0.0f}});

    // A longer file is read only as far as the map goes.
    put("tilemap", std::string("\x01\x02\x03\x04\x05\x06", 6));
    ASSERT_TRUE(load());
    EXPECT_EQ(t.tile_map, (std::vector<std::uint8_t>{1, 2, 3, 4}));
}

TEST_F(TerrainLoad, TileTableSources)
{
    test::FakeTextures textures;
    write_basic();
    remove("tileinfo");
    put("texturelist", "0.7 1 2 grass.png\nmud.png\n");
    ASSERT_TRUE(load());
    ASSERT_EQ(t.tiles.size(), 2u);
    EXPECT_FLOAT_EQ(t.tiles[0].friction[0].coefficient, 0.7f);
    // Headless with the in-memory method: tile pictures are not loaded.
    EXPECT_EQ(t.tiles[0].texture, 0u);
    ASSERT_TRUE(load(2));
    EXPECT_EQ(textures.name_of(t.tiles[1].texture), "@mud.png");

    // tileinfo is preferred; one without tiles gives the default surface.
    put("tileinfo", "friction 3 3\n");
    ASSERT_TRUE(load());
    ASSERT_EQ(t.tiles.size(), 1u);
    EXPECT_FLOAT_EQ(t.tiles[0].friction[0].coefficient, 1.0f);
    ASSERT_NE(terrain_tile(0.0f, 0.0f), nullptr);
}

TEST_F(TerrainLoad, DecalsNeedTheirTextures)
{
    test::FakeTextures textures;
    write_basic();
    put("decals",
        "[ 1 2 ] 0 4 2 @tracks/t/a.png\n"
        "[3.5 7.5] 1.5707964 2 1 @missing.png\n"
        "[ 7 7 ] 0 2 1 @tracks/t/b.png\n"
        "[ nan 1 ] 0 2 1 @tracks/t/c.png\n"
        "[ 1 1 ] 0 oops @tracks/t/d.png\n"
        "[ 1 1 ] 0 1 1 @tracks/t/e.png\n");
    ASSERT_TRUE(load(2));
    ASSERT_EQ(t.decals.size(), 2u);
    const Decal& a = t.decals[0];
    test::expect_float_rows("decal", {{a.x, 1.0f}, {a.z, 2.0f}, {a.size, 4.0f}, {a.aspect, 2.0f}, {a.cos_angle, 1.0f}});
    EXPECT_EQ(a.texture_name, "@tracks/t/a.png");
    EXPECT_EQ(textures.name_of(a.texture), "@tracks/t/a.png");
    EXPECT_EQ(a.normal_map, 0u);  // no lit rendering headless
    EXPECT_EQ(t.decals[1].texture_name, "@tracks/t/b.png");

    // Field 8, buckets of 1: decal a spans x -3..5, z 0..4; b spans 6..8.
    auto bucket = [&](int bx, int bz) { return t.decal_buckets[static_cast<std::size_t>(bx + 8 * bz)]; };
    EXPECT_EQ(bucket(0, 0), std::vector<int>{0});
    EXPECT_EQ(bucket(5, 4), std::vector<int>{0});
    EXPECT_TRUE(bucket(6, 4).empty());
    EXPECT_TRUE(bucket(0, 5).empty());
    EXPECT_EQ(bucket(7, 7), std::vector<int>{1});
    EXPECT_EQ(bucket(6, 6), std::vector<int>{1});
    EXPECT_TRUE(bucket(5, 6).empty());

    // Headless with the in-memory method there are no decal pixels.
    ASSERT_TRUE(load(1));
    EXPECT_TRUE(t.decals.empty());
}

// Render hooks that record what the loader asked for.
class RecordingHooks : public TerrainRenderHooks {
public:
    RecordingHooks() { set_terrain_render_hooks(this); }
    ~RecordingHooks() override { set_terrain_render_hooks(nullptr); }
    bool shaders_active() override { return shaders; }
    bool create_framebuffer_object(int edge) override
    {
        fbo_edge = edge;
        return fbo;
    }
    void build_lod_tables(Terrain& t) override { lod_tables_side = t.grid_side; }
    void create_low_detail_textures(Terrain&, int per_side) override { low_detail = per_side; }
    void create_lod_textures(Terrain&) override { ++lod_textures; }
    bool load_pixels(std::string_view name, TexturePixels& out) override
    {
        pixels.emplace_back(name);
        out.width = out.height = 1;
        out.channels = 3;
        out.data.assign(3, 9);
        return true;
    }
    std::size_t texture_memory_used() override { return 1234; }
    void heights_changed(Terrain&, int i0, int j0, int i1, int j1) override { changed = {i0, j0, i1, j1}; }

    bool shaders = false, fbo = false;
    int fbo_edge = 0, lod_tables_side = 0, low_detail = -1, lod_textures = 0;
    std::vector<std::string> pixels;
    std::vector<int> changed;
};

TEST_F(TerrainLoad, TextureMethodsAndLitRendering)
{
    RecordingHooks hooks;
    test::FakeTextures textures;
    write_basic();
    put("tileinfo", "texture @tracks/t/grass.png\naddtile\n");
    put("decals", "[ 1 1 ] 0 1 1 @tracks/t/mark.png\n");
    TerrainLoadOptions o;
    o.texture_method = 3;
    o.texture_size = 1024;
    o.dynamic_lighting = true;

    // Method 3 without a frame buffer object falls back to method 1.
    ASSERT_TRUE(load_terrain(k_track, o));
    EXPECT_EQ(std::tuple(hooks.fbo_edge, t.texture_method, t.texture_edge), std::tuple(1024, 1, 256));
    EXPECT_TRUE(shown("Terrain texture rendering with TexSubImage"));
    EXPECT_EQ(std::tuple(hooks.lod_tables_side, hooks.lod_textures, hooks.low_detail), std::tuple(5, 1, -1));
    // The composed texture takes tile and decal pictures as pixels.
    EXPECT_EQ(hooks.pixels, (std::vector<std::string>{"@tracks/t/grass.png", "@tracks/t/mark.png"}));
    EXPECT_EQ(t.tiles[0].pixels.width, 1);
    ASSERT_EQ(t.decals.size(), 1u);
    EXPECT_FALSE(t.decals[0].pixels.empty());
    EXPECT_FALSE(t.lit);

    hooks.fbo = true;
    ASSERT_TRUE(load_terrain(k_track, o));
    EXPECT_EQ(std::pair(t.texture_method, t.texture_edge), std::pair(3, 1024));
    EXPECT_TRUE(shown("Terrain texture rendering with framebuffer objects"));
    EXPECT_EQ(hooks.low_detail, 0);
    EXPECT_FALSE(t.lit);  // no shaders
    EXPECT_TRUE(t.normal_shadow.empty());

    hooks.shaders = true;
    put("decals", "[ 1 1 ] 0 1 1 @tracks/t/mark.png\n");
    put("shadows.pgm", netpbm("P5", 5, 5, std::vector<std::uint8_t>(25, 55)));
    o.texture_method = 2;
    ASSERT_TRUE(load_terrain(k_track, o));
    EXPECT_EQ(t.texture_method, 2);
    EXPECT_EQ(t.texture_edge, 256);
    EXPECT_TRUE(shown("Terrain texture rendering with CopyTexSubImage"));
    EXPECT_TRUE(t.lit);
    // Flat ground: normal bytes (128, -, 128), then 255 - shadow amount.
    ASSERT_EQ(t.normal_shadow.size(), 75u);
    EXPECT_EQ(t.normal_shadow[0], 128);
    EXPECT_EQ(t.normal_shadow[1], 55);
    EXPECT_EQ(t.normal_shadow[2], 128);
    // Without a shadow amount for every sample the normals are left alone.
    t.shadows.pop_back();
    t.normal_shadow.assign(75, 0);
    update_terrain_normals(t, 0, 0, 4, 4);
    EXPECT_EQ(std::count(t.normal_shadow.begin(), t.normal_shadow.end(), 0), 75);
    ASSERT_EQ(t.decals.size(), 1u);
    EXPECT_EQ(textures.name_of(t.decals[0].normal_map), "@tracks/t/mark_tnorm.png");
    EXPECT_EQ(textures.name_of(t.decals[0].specular_map), "@tracks/t/mark_tspec.png");

    o.dynamic_lighting = false;
    ASSERT_TRUE(load_terrain(k_track, o));
    EXPECT_FALSE(t.lit);

    notify_terrain_heights_changed(t, 1, 2, 3, 4);
    EXPECT_EQ(hooks.changed, (std::vector<int>{1, 2, 3, 4}));
}

TEST_F(TerrainLoad, LitNormalBytesOnASlope)
{
    RecordingHooks hooks;
    hooks.shaders = true;
    write_basic();
    // Heights rise along x by one cell per cell: 45 degrees.
    std::vector<std::uint16_t> samples(25);
    for (int j = 0; j < 5; ++j)
        for (int i = 0; i < 5; ++i)
            samples[static_cast<std::size_t>(i + 5 * j)] = static_cast<std::uint16_t>(i * 2);
    put("terrain.hf", hf_with_samples(1, 2, 0, 65535, samples));
    TerrainLoadOptions o;
    o.texture_method = 2;
    o.dynamic_lighting = true;
    ASSERT_TRUE(load_terrain(k_track, o));
    ASSERT_TRUE(t.lit);
    // Interior sample: n = (-1, 1, 0)/sqrt 2, so x byte 128 - trunc(89.8) = 39.
    std::size_t k = 2 + 5 * 2;
    EXPECT_EQ(t.normal_shadow[3 * k], 128 - 89);
    EXPECT_EQ(t.normal_shadow[3 * k + 2], 128);
}

TEST_F(TerrainLoad, LoadingStagesInOrder)
{
    std::vector<std::string> shown_stages;
    core::set_loading_status_sink([&](std::string_view s) {
        if (s.find('.') == std::string_view::npos || s.ends_with("...done"))
            shown_stages.emplace_back(s);
    });
    write_basic();
    put("decals", "");
    ASSERT_TRUE(load(2));
    core::set_loading_status_sink(nullptr);
    std::vector<std::string> want = {"Loading terrain",        "Loading heights",
                                     "Loading heights...done", "Loading shading",
                                     "Loading shading...done", "Loading shadows",
                                     "Loading shadows...done", "Loading tileinfo",
                                     "Loading tileinfo...done", "Loading tilemap",
                                     "Loading tilemap...done", "Creating low detail textures",
                                     "Creating low detail textures...done", "Creating LOD textures",
                                     "Creating LOD textures...done", "Loading decals",
                                     "Loading decals...done"};
    EXPECT_EQ(shown_stages, want);
}

TEST_F(TerrainLoad, HeightDigestIsLoggedAtTheHighestDebugLevel)
{
    write_basic(7);
    core::set_debug_level(2);
    ASSERT_TRUE(load());
    core::set_debug_level(0);
    // 25 samples of 7, each as the bytes 07 00.
    std::string bytes;
    for (int k = 0; k < 25; ++k)
        bytes += std::string("\x07\x00", 2);
    std::string hex = core::digest_hex(core::ripemd160(
        std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size())));
    auto log = test::read_file(tmp_.str() + "log.txt");
    ASSERT_TRUE(log);
    EXPECT_NE(log->find(hex), std::string::npos);
}

TEST_F(TerrainLoad, SaveThenLoadRoundTrip)
{
    test::FakeTextures textures;
    write_basic();
    std::vector<std::uint16_t> samples(25);
    for (int k = 0; k < 25; ++k)
        samples[static_cast<std::size_t>(k)] = static_cast<std::uint16_t>((k * 7919) % 65536);
    put("terrain.hf", hf_with_samples(1, 2.5f, -3.25f, 12.5f, samples));
    std::vector<std::uint8_t> shade(75);
    for (std::size_t k = 0; k < shade.size(); ++k)
        shade[k] = static_cast<std::uint8_t>(k * 3);
    put("shadingx2.ppm", netpbm("P6", 5, 5, shade));
    put("tileinfo", "addtile\naddtile\naddtile\n");
    put("tilemap", std::string("\x02\x01\x00\x02", 4));
    put("decals", "[ 1.5 2.25 ] 0.5 3 1.5 @tracks/t/a.png\n");
    ASSERT_TRUE(load(2));
    Terrain before;
    before.heights = t.heights;
    before.shading = t.shading;
    before.tile_map = t.tile_map;
    ASSERT_EQ(t.decals.size(), 1u);

    ASSERT_TRUE(save_terrain(t, k_track));
    // The files went to the home folder, which is searched first.
    std::string saved = tmp_.str() + "xdg/Zarvox/tracks/t/";
    auto hf = test::read_file(saved + "terrain.hf");
    ASSERT_TRUE(hf);
    float lo = *std::min_element(before.heights.begin(), before.heights.end());
    float hi = *std::max_element(before.heights.begin(), before.heights.end());
    char want[128];
    std::snprintf(want, sizeof want, "1 2.500000 %f %f\n", lo, hi);
    EXPECT_EQ(*hf, want);
    auto shading = test::read_file(saved + "shading.ppm");
    ASSERT_TRUE(shading);
    EXPECT_EQ(shading->substr(0, 11), "P6\n5 5\n255\n");
    EXPECT_EQ(static_cast<std::uint8_t>((*shading)[11 + 74]), 255);  // 222 doubled, limited
    EXPECT_EQ(static_cast<std::uint8_t>((*shading)[11 + 5]), 30);
    EXPECT_EQ(test::read_file(saved + "tilemap"), std::string("\x02\x01\x00\x02", 4));
    EXPECT_EQ(test::read_file(saved + "decals"), "[1.500000 2.250000] 0.500000 3.000000 1.500000 @tracks/t/a.png\n");

    ASSERT_TRUE(load(2));
    for (std::size_t k = 0; k < 25; ++k)
        EXPECT_NEAR(t.heights[k], before.heights[k], (hi - lo) / 65535.0f + 1e-5f) << k;
    EXPECT_EQ(t.shading, before.shading);  // shadingx2.ppm is read back as written
    EXPECT_EQ(t.tile_map, before.tile_map);
    ASSERT_EQ(t.decals.size(), 1u);
    EXPECT_FLOAT_EQ(t.decals[0].angle, 0.5f);

    // Without shadingx2.ppm the doubled shading.ppm halves back, except
    // where doubling was limited.
    std::filesystem::remove(saved + "shadingx2.ppm");
    remove("shadingx2.ppm");
    ASSERT_TRUE(load(2));
    EXPECT_EQ(t.shading[5], before.shading[5]);
    EXPECT_EQ(t.shading[74], 127);
}

TEST_F(TerrainLoad, SaveOfAFlatFieldWritesZeroSamples)
{
    write_basic();
    put("terrain.hf", "1 2 4 4\n");
    ASSERT_TRUE(load());
    ASSERT_TRUE(save_terrain(t, k_track));
    ASSERT_TRUE(load());
    for (float v : t.heights)
        EXPECT_FLOAT_EQ(v, 4.0f);
}

TEST_F(TerrainLoad, ASaveThatFailsHalfwayKeepsEveryOldFile)
{
    write_basic();
    put("terrain.hf", "1 2 4 4\n");
    ASSERT_TRUE(load());
    ASSERT_TRUE(save_terrain(t, k_track));
    const std::string saved = tmp_.str() + "xdg/Zarvox/tracks/t/";
    const char* files[] = {"terrain.hf", "terrain.png", "shading.ppm", "shadingx2.ppm", "tilemap", "decals"};
    std::vector<std::optional<std::string>> before;
    for (const char* f : files)
        before.push_back(test::read_file(saved + f));

    // The PNG's writes fail past its first bytes, as on a full disk: the new
    // header (another height range) must not go out without its samples.
    t.heights[3] = 9.0f;
    core::set_write_probe([](std::size_t written) { return written < 20; });
    EXPECT_FALSE(save_terrain(t, k_track));
    core::set_write_probe(nullptr);
    EXPECT_TRUE(shown("Can't write 'terrain.png'"));
    for (std::size_t i = 0; i < std::size(files); ++i)
        EXPECT_EQ(test::read_file(saved + files[i]), before[i]) << files[i];
    std::size_t entries = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(saved))
        ++entries;
    EXPECT_EQ(entries, std::size(files));  // no temporary file stays behind

    ASSERT_TRUE(save_terrain(t, k_track));
    EXPECT_EQ(test::read_file(saved + "terrain.hf"), "1 2.000000 4.000000 9.000000\n");
}

TEST_F(TerrainLoad, SaveFailureIsReported)
{
    write_basic();
    ASSERT_TRUE(load());
    // Move the data folder to one where "tracks" is a file, and put a file in
    // the way in the home folder too: no track file can be opened.
    test::write_file(tmp_.str() + "xdg/Zarvox/tracks", "in the way");
    test::write_file(tmp_.str() + "other/tracks", "in the way");
    test::ScopedEnv data("ZV_HOME", tmp_.str() + "other");
    core::reset_data_files();
    EXPECT_FALSE(save_terrain(t, k_track));
    for (const char* f : {"terrain.hf", "shading.ppm", "shadingx2.ppm", "tilemap", "decals"})
        EXPECT_TRUE(shown(std::string("Can't open '") + f + "'")) << f;
}

// Random damage to every terrain file: the load either fails or leaves a
// terrain every query can use.
TEST_F(TerrainLoad, DamagedFilesNeverBreakTheLoader)
{
    test::FakeTextures textures;
    std::uint32_t seed = 12345;
    auto next = [&](std::uint32_t range) {
        seed = seed * 1664525u + 1013904223u;
        return (seed >> 8) % range;
    };
    auto junk = [&](std::size_t max) {
        std::string s(next(static_cast<std::uint32_t>(max) + 1), '\0');
        for (char& c : s)
            c = static_cast<char>(next(256));
        return s;
    };
    // Flips a few bytes of a good file and maybe cuts it short.
    auto damage = [&](std::string s) {
        for (std::uint32_t k = next(4); k > 0 && !s.empty(); --k)
            s[next(static_cast<std::uint32_t>(s.size()))] = static_cast<char>(next(256));
        if (next(3) == 0 && !s.empty())
            s.resize(next(static_cast<std::uint32_t>(s.size())));
        return s;
    };
    const char* words[] = {"addtile", "texture", "friction", "roll_resist", "roost", "erode_depth",
                           "count=", "\"", "texture=", "fade_a=", "r=", " ", "\t", "\n", "1.5", "-7",
                           "nan", "1e30", "@x.png"};
    std::vector<std::uint16_t> samples(25, 1000);
    const std::string good_png = test::png_bytes(test::grey16(5, 5, samples));
    int loaded = 0;
    int tried[6] = {}, ok[6] = {};
    for (int round = 0; round < 300; ++round) {
        core::clear_messages();
        std::filesystem::remove_all(folder());
        write_basic();
        std::uint32_t kind = next(6);
        ++tried[kind];
        switch (kind) {
        case 0: put("terrain.hf", damage(hf_with_samples(1, 2, 0, 10, samples))); break;
        case 1:
            put("terrain.hf", "1 2 0 10\n");
            put("terrain.png", damage(good_png));
            break;
        case 2: put(next(2) ? "shading.ppm" : "shadows.pgm", damage(netpbm(next(2) ? "P6" : "P5", 5, 5,
                                                                         std::vector<std::uint8_t>(75, 9))));
            break;
        case 3: {
            std::string text;
            for (std::uint32_t k = next(40); k > 0; --k)
                text += words[next(sizeof words / sizeof *words)];
            put(next(2) ? "tileinfo" : "texturelist", text + junk(8));
            if (next(2))
                remove("tileinfo");
            break;
        }
        case 4: put("tilemap", junk(8)); break;
        default: put("decals", damage("[ 1 2 ] 0.5 4 2 @a.png\n[3 3] 0 1 1 @b.png\n") + junk(16)); break;
        }
        if (!load(static_cast<int>(next(3)) + 1))
            continue;
        ++loaded;
        ++ok[kind];
        ASSERT_EQ(t.heights.size(), 25u);
        ASSERT_EQ(t.shading.size(), 75u);
        ASSERT_FALSE(t.tiles.empty());
        ASSERT_LE(t.tiles.size(), 256u);
        for (std::uint8_t e : t.tile_map)
            ASSERT_LT(e, t.tiles.size());
        for (float v : t.heights)
            ASSERT_TRUE(std::isfinite(v));
        ASSERT_NE(terrain_tile(3.0f, 3.0f), nullptr);
        ASSERT_TRUE(std::isfinite(terrain_height(3.0f, 3.0f)));
    }
    // Damage only to the optional files never fails the load.
    EXPECT_EQ(ok[4], tried[4]);
    EXPECT_EQ(ok[5], tried[5]);
    EXPECT_EQ(ok[1], tried[1]);
    EXPECT_GT(loaded, 150);
}

TEST_F(TerrainLoad, RepeatedLoadAndFree)
{
    test::FakeTextures textures;
    write_basic();
    put("decals", "[ 1 1 ] 0 1 1 @tracks/t/a.png\n");
    put("shadows.pgm", netpbm("P5", 5, 5, std::vector<std::uint8_t>(25, 1)));
    for (int k = 0; k < 20; ++k) {
        ASSERT_TRUE(load(k % 3 + 1));
        if (k % 2)
            free_terrain();
    }
    free_terrain();
    EXPECT_TRUE(t.heights.empty());
    EXPECT_TRUE(t.decals.empty());
    for (const auto& b : t.decal_buckets)
        EXPECT_TRUE(b.empty());
}

}  // namespace
}  // namespace zv::track
