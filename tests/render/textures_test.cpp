// The texture cache: power-of-two and reduction on load, detail skip and
// '!', case mismatches, generations and memory, aliases, animations, info
// tags and side files, wrap flags, companion names and pixel images.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <utility>

#include "render/textures.h"
#include "render_fixture.h"

namespace zv::render {
namespace {

using test::flat_png;
using test::png_bytes;

std::vector<std::uint8_t> noise_pixels(int w, int h, int ch, unsigned seed = 7)
{
    std::vector<std::uint8_t> px(static_cast<std::size_t>(w) * h * ch);
    for (auto& p : px) {
        seed = seed * 1103515245u + 12345u;
        p = static_cast<std::uint8_t>(seed >> 16);
    }
    return px;
}

std::vector<std::uint8_t> noise_png(int w, int h) { return png_bytes(w, h, PngFormat::rgb, noise_pixels(w, h, 3)); }

class Textures : public test::RenderFolders {};

TEST_F(Textures, NonPowerOfTwoSizesBecome256)
{
    put("wide.png", noise_png(512, 300));
    put("square.png", noise_png(300, 300));
    ASSERT_NE(load_texture("@wide.png"), 0u);
    ASSERT_NE(load_texture("@square.png"), 0u);
    ASSERT_EQ(backend_.created.size(), 2u);
    for (const auto& c : backend_.created)
        EXPECT_EQ(std::pair(c.width, c.height), std::pair(256, 256));
    EXPECT_EQ(backend_.created[0].levels, 9);
    std::string text = log();
    for (const char* name : {"@wide.png", "@square.png"})
        EXPECT_NE(text.find(std::string("Warning: Non power of 2 texture '") + name + "'"), std::string::npos) << name;
}

TEST_F(Textures, FlatImageIsReducedEvenWithBangButSkipSparesBang)
{
    put("flat.png", flat_png(1024, 1024, 40, 90, 200));
    put("busy.png", noise_png(512, 512));
    set_texture_detail_skip(2);
    ASSERT_NE(load_texture("!@flat.png"), 0u);
    ASSERT_NE(load_texture("!@busy.png"), 0u);
    ASSERT_NE(load_texture("@busy.png"), 0u);  // same name without '!': a cache hit
    ASSERT_EQ(backend_.created.size(), 2u);
    EXPECT_EQ(std::pair(backend_.created[0].width, backend_.created[0].height), std::pair(16, 16));
    EXPECT_EQ(backend_.created[1].width, 512);
    EXPECT_NE(log().find("@flat.png reduced to 16x16 (originally 1024x1024)"), std::string::npos);
}

TEST_F(Textures, DetailSkipDropsLevelsAbove128)
{
    put("busy.png", noise_png(512, 512));
    set_texture_detail_skip(3);
    ASSERT_NE(load_texture("@busy.png"), 0u);
    ASSERT_EQ(backend_.created.size(), 1u);
    EXPECT_EQ(backend_.created[0].width, 128);  // 512 -> 256 -> 128, then no more
}

TEST_F(Textures, CaseMismatchHitsTheCacheWithAWarning)
{
    put("Pic.png", flat_png(4, 4, 1, 2, 3));
    TextureId a = load_texture("@Pic.png");
    TextureId b = load_texture("@pic.png");
    EXPECT_NE(a, 0u);
    EXPECT_EQ(a, b);
    EXPECT_EQ(backend_.created.size(), 1u);
    EXPECT_NE(log().find("Warning: case mismatch on '@pic.png'"), std::string::npos);
    EXPECT_EQ(texture_name(a), "@Pic.png");
}

TEST_F(Textures, MissingFileGivesZeroAndLogsOnlyWithDebug)
{
    EXPECT_EQ(load_texture("@nothing.png"), 0u);
    EXPECT_EQ(log().find("Can't open texture"), std::string::npos);
    put("junk.png", "this is no image");
    EXPECT_EQ(load_texture("@junk.png"), 0u);
}

TEST_F(Textures, GenerationsKeepPermanentAndRequestedTextures)
{
    put("font.png", flat_png(4, 4, 1, 1, 1));
    put("a.png", flat_png(8, 8, 2, 2, 2));
    put("b.png", flat_png(2, 2, 3, 3, 3));
    TextureId font = load_texture("@font.png");  // generation 0: permanent
    std::size_t font_bytes = texture_memory();
    EXPECT_EQ(font_bytes, (16u + 4 + 1) * 3);

    advance_texture_generation();
    set_texture_memory(0);
    TextureId a = load_texture("@a.png");
    TextureId b = load_texture("@b.png");
    release_textures(false);
    EXPECT_TRUE(backend_.destroyed.empty());
    EXPECT_EQ(texture_memory(), (64u + 16 + 4 + 1) * 3 + (4u + 1) * 3);

    // The next track asks for a again but not b.
    advance_texture_generation();
    set_texture_memory(0);
    EXPECT_EQ(load_texture("@a.png"), a);
    EXPECT_EQ(texture_memory(), (64u + 16 + 4 + 1) * 3);  // refreshed by the hit
    EXPECT_EQ(load_texture("@font.png"), font);
    EXPECT_EQ(texture_memory(), (64u + 16 + 4 + 1) * 3);  // permanent: not counted again
    release_textures(false);
    EXPECT_EQ(std::pair(backend_.destroyed, texture_count()), std::pair(std::vector<TextureId>{b}, 2));
    release_textures(true);
    EXPECT_EQ(std::pair(backend_.destroyed.size(), texture_count()), std::pair(std::size_t{3}, 0));
}

TEST_F(Textures, LinkResolvesToItsTargetOrStaysWhite)
{
    put("colors/white.png", flat_png(1, 1, 255, 255, 255));
    put("real.png", flat_png(2, 2, 9, 9, 9));
    put("good.png", "LINK @real.png\n");
    put("bad.png", "LINK\n  @missing.png  \n");
    TextureId real = load_texture("@good.png");
    ASSERT_NE(real, 0u);
    EXPECT_EQ(texture_name(real), "@real.png");
    EXPECT_EQ((std::pair{load_texture("@good.png"), load_texture("@real.png")}), std::pair(real, real));
    EXPECT_EQ(backend_.created.size(), 1u);

    EXPECT_EQ(load_texture("@bad.png"), 0u);
    TextureId white = load_texture("@bad.png");  // the alias now names white
    ASSERT_NE(white, 0u);
    EXPECT_EQ(texture_name(white), "@colors/white.png");
}

TEST_F(Textures, LinkLoopEnds)
{
    put("x.png", "LINK @y.png");
    put("y.png", "LINK @x.png");
    EXPECT_EQ(load_texture("@x.png"), 0u);
}

std::string j7_frame(int w, int h, char fill) { return "J7 " + std::to_string(w) + " " + std::to_string(h) + "\n" + std::string(static_cast<std::size_t>(w * h * 4), fill); }

TEST_F(Textures, AnimationsStepLoopAndPause)
{
    put("flag.seq", "ANIM1 2 2 4 1\n0 1\n" + j7_frame(2, 2, '\1') + j7_frame(2, 2, '\2'));
    advance_texture_generation();
    TextureId id = load_texture("@flag.seq");
    ASSERT_NE(id, 0u);
    // Asked for again by the next track, the animation stays with its texture.
    advance_texture_generation();
    EXPECT_EQ(load_texture("@flag.seq"), id);
    release_textures(false);
    start_animation(id, 100);
    update_animations(103);
    EXPECT_TRUE(backend_.replaced.empty());
    update_animations(104);
    EXPECT_EQ(backend_.replaced.size(), 1u);
    update_animations(105);
    EXPECT_EQ(backend_.replaced.size(), 1u);
    update_animations(108);  // wraps to frame 0
    EXPECT_EQ(backend_.replaced.size(), 2u);
    pause_animation(id);
    update_animations(112);
    EXPECT_EQ(backend_.replaced.size(), 2u);
    start_animation(id, 112);
    update_animations(116);
    EXPECT_EQ(backend_.replaced.size(), 3u);
}

TEST(AnimationStep, StopsAtTheLastStepWithoutLoop)
{
    // {now, looping, step}: 50 is before the start.
    for (auto [now, loop, step] : {std::tuple{50, false, 0}, {108, false, 2}, {500, false, 2}, {112, true, 0}})
        EXPECT_EQ(animation_step(now, 100, 4, 3, loop), step) << now << " " << loop;
}

TEST_F(Textures, BadSequenceFallsBackToPngAndLogs)
{
    put("bad.seq", "ANIM1 2 2 4 1\n0 1\n" + j7_frame(2, 2, '\1') + j7_frame(4, 4, '\2'));
    EXPECT_EQ(load_texture("@bad.seq"), 0u);
    EXPECT_NE(log().find("Width/height mismatch reading .seq"), std::string::npos);
}

TEST_F(Textures, InfoTagsSideFilesAndCompression)
{
    put("c.png", png_bytes(4, 4, PngFormat::rgb, noise_pixels(4, 4, 3), {{"Comment", "[compress]"}}));
    put("d.png", noise_png(4, 4));
    put("d.png.info", "[compress] and more");
    put("e.png", noise_png(4, 4));
    set_texture_compression(1);
    TextureId c = load_texture("@c.png");
    TextureId d = load_texture("@d.png");
    load_texture("@e.png");
    ASSERT_EQ(backend_.created.size(), 3u);
    EXPECT_EQ(std::tuple(backend_.created[0].compress, backend_.created[1].compress, backend_.created[2].compress),
              std::tuple(true, true, false));
    EXPECT_EQ(texture_info(c), "[compress]");
    EXPECT_EQ(texture_info(d), "[compress] and more");

    release_textures(true);
    set_gl_major_version(1);
    set_texture_compression(2);
    load_texture("@e.png");
    EXPECT_FALSE(backend_.created.back().compress);
}

TEST_F(Textures, CustomMipChainFromTheInfo)
{
    put("m.png", png_bytes(8, 12, PngFormat::rgb, noise_pixels(8, 12, 3), {{"Comment", "[mip_custom]"}}));
    put("n.png", png_bytes(8, 10, PngFormat::rgb, noise_pixels(8, 10, 3), {{"Comment", "[mip_custom]"}}));
    ASSERT_NE(load_texture("@m.png"), 0u);
    EXPECT_EQ(std::pair(backend_.created.back().width, backend_.created.back().height), std::pair(8, 8));
    ASSERT_NE(load_texture("@n.png"), 0u);
    EXPECT_NE(log().find("Warning: Invalid height for custom MIP map in '@n.png'"), std::string::npos);
}

TEST_F(Textures, WrapFlagsComeFromTheName)
{
    // {name, repeats across, repeats down}
    for (auto [name, s, t] : {std::tuple{"@g-repeat.png", true, true}, {"@h-hrepeat.png", true, false},
                              {"@v-vrepeat.png", false, true}, {"@plain.png", false, false}}) {
        put(name + 1, noise_png(4, 4));
        ASSERT_NE(load_texture(name), 0u);
        EXPECT_EQ(std::pair(backend_.created.back().repeat_s, backend_.created.back().repeat_t), std::pair(s, t)) << name;
    }
}

TEST_F(Textures, PpmAndPredictiveFilesLoad)
{
    put("p.ppm", std::string("P6 2 2 255\n") + std::string(12, '\x40'));
    put("q.j7", j7_frame(2, 2, '\0'));
    ASSERT_NE(load_texture("@p.ppm"), 0u);
    EXPECT_EQ(backend_.created.back().channels, 3);
    ASSERT_NE(load_texture("@q.j7"), 0u);
    EXPECT_EQ(backend_.created.back().channels, 4);
    // The same files read as plain pixels.
    const std::uint8_t* px = nullptr;
    int w = 0, h = 0;
    ASSERT_TRUE(load_image_rgba("@p.ppm", px, w, h));
    EXPECT_EQ(px[0] + px[3] * 256, 0x40 + 255 * 256);
    EXPECT_TRUE(load_image_rgba("@q.j7", px, w, h));
}

TEST_F(Textures, MakeTextureCountsMemory)
{
    std::vector<std::uint8_t> chain((16 + 4 + 1) * 4, 1);
    EXPECT_NE(make_texture(chain.data(), 4, 4, 4), 0u);
    EXPECT_EQ(texture_memory(), chain.size());
    EXPECT_NE(make_texture_nomip(chain.data(), 4, 4, 4), 0u);
    EXPECT_EQ(texture_memory(), chain.size() + 64);
    EXPECT_FALSE(backend_.created.back().mipmap);
    EXPECT_EQ(make_texture(nullptr, 4, 4, 4), 0u);
}

TEST_F(Textures, PixelImagesAreRgbaPowersOfTwoAndCached)
{
    put("pic.png", png_bytes(3, 5, PngFormat::rgb, test::flat_pixels(3, 5, {10, 20, 30})));
    put("big.png", noise_png(256, 256));
    const std::uint8_t* px = nullptr;
    int w = 0, h = 0;
    ASSERT_TRUE(load_image_rgba("@pic.png", px, w, h));
    EXPECT_EQ(std::tuple(w, h, int{px[0]}, int{px[3]}), std::tuple(2, 4, 10, 255));
    const std::uint8_t* again = nullptr;
    ASSERT_TRUE(load_image_rgba("@PIC.png", again, w, h));
    EXPECT_EQ(again, px);
    EXPECT_NE(log().find("Warning: case mismatch on '@PIC.png'"), std::string::npos);

    set_texture_detail_skip(2);
    ASSERT_TRUE(load_image_rgba("@big.png", px, w, h));
    EXPECT_EQ(w, 128);  // 65536 texels drop once, 16384 no more
    ASSERT_TRUE(load_image_rgba("!@big.png", px, w, h));
    EXPECT_EQ(w, 128);  // a cache hit under the plain name
    EXPECT_FALSE(load_image_rgba("@none.png", px, w, h));
}

TEST_F(Textures, CompanionsOnlyWithShaders)
{
    auto names = companion_names("@bikes/frame.png", "_norm");
    EXPECT_EQ(names[0], "@bikes/frame_norm.seq");
    EXPECT_EQ(names[2], "@bikes/frame_norm.ppm");
    EXPECT_TRUE(companion_names("@dir.v2/noext", "_spec")[0].empty());
    put("frame.png", noise_png(4, 4));
    put("frame_norm.png", noise_png(4, 4));
    put("frame_spec.ppm", std::string("P6 1 1 255\n") + "abc");
    CompanionMaps off = load_companion_maps("@frame.png");
    EXPECT_EQ(off.normal, 0u);
    set_texture_companions(true);
    CompanionMaps on = load_companion_maps("@frame.png");
    EXPECT_NE(on.normal, 0u);
    EXPECT_NE(on.specular, 0u);
    EXPECT_EQ(texture_name(on.specular), "@frame_spec.ppm");
}

// Every prefix of well-formed files, and bytes flipped through them, load or
// fail without reading past the data.
TEST_F(Textures, DamagedFilesNeverCrash)
{
    std::vector<std::string> files = {
        std::string("P6 4 4 255\n") + std::string(48, '\x30'),
        std::string("P3 2 1 15\n1 2 3 4 5 6\n"),
        "J7 2 2\n" + std::string(16, '\x05'),
        "ANIM1 2 2 4 1\n0 1\nJ7 2 2\n" + std::string(16, '\1') + "J7 2 2\n" + std::string(16, '\2'),
        "LINK @target.png\n",
    };
    auto png = test::flat_png(8, 8, 1, 2, 3);
    files.emplace_back(png.begin(), png.end());
    int n = 0;
    for (const std::string& f : files) {
        std::vector<std::size_t> cuts;
        for (std::size_t cut = 0; cut < f.size(); cut += std::max<std::size_t>(1, f.size() / 40))
            cuts.push_back(cut);
        cuts.push_back(f.size());
        for (std::size_t cut : cuts) {
            std::string name = "cut" + std::to_string(n++) + ".png";
            put(name, f.substr(0, cut));
            TextureId id = load_texture("@" + name);
            if (cut == 0) {
                EXPECT_EQ(id, 0u) << f.substr(0, 8);
            }
            if (cut == f.size() && f.rfind("LINK", 0) != 0) {
                EXPECT_NE(id, 0u) << f.substr(0, 8);
            }
            const std::uint8_t* px = nullptr;
            int w = 0, h = 0;
            load_image_rgba("@" + name, px, w, h);
        }
        std::string flipped = f;
        for (std::size_t i = 0; i < flipped.size(); i += 3) {
            flipped[i] = static_cast<char>(flipped[i] ^ 0x5a);
            std::string name = "flip" + std::to_string(n++) + ".png";
            put(name, flipped);
            load_texture("@" + name);
        }
    }
}

}  // namespace
}  // namespace zv::render
