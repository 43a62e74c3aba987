// The predictive format, PPM/PGM, PNG for textures, ANIM1 and LINK readers on
// well-formed and damaged bytes.
#include <gtest/gtest.h>

#include <tuple>
#include <utility>

#include "render/image_formats.h"
#include "render_fixture.h"

namespace zv::render {
namespace {

std::vector<std::uint8_t> bytes(std::string_view s) { return {s.begin(), s.end()}; }

std::vector<std::uint8_t> cat(std::string_view head, std::vector<std::uint8_t> data)
{
    std::vector<std::uint8_t> out(head.begin(), head.end());
    out.insert(out.end(), data.begin(), data.end());
    return out;
}

TEST(Predictive, DecodesWithClampedPlanePredictionAndWrap)
{
    // Channel 0 is [10 30; 50 100]; channel 1 is [0 200; 200 250], whose last
    // prediction 200 + 200 - 0 clamps to 255 (difference 251 wraps to -5).
    // Channel 2 checks the modulo: [5 ...] from a first byte of 5.
    auto file = cat("J6\n# a comment\n2 2\n", {10, 0, 5, 20, 200, 0, 40, 200, 0, 30, 251, 0});
    ByteCursor c(file);
    ASSERT_EQ(c.token(), "J6");
    auto im = decode_predictive(c, 3);
    ASSERT_TRUE(im);
    EXPECT_EQ(std::tie(im->channels, im->pixels),
              std::tuple(3, std::vector<std::uint8_t>{10, 0, 5, 30, 200, 5, 50, 200, 5, 100, 250, 5}));
}

TEST(Predictive, ShortDataAndBadSizesFail)
{
    // One byte short, no width, and a size far beyond the data.
    for (const auto& file : {cat("J7 2 2\n", std::vector<std::uint8_t>(15)), bytes("J7 0 2\n"),
                             bytes("J7 100000 100000\nxxxx")}) {
        ByteCursor c(file);
        c.token();
        EXPECT_FALSE(decode_predictive(c, 4)) << std::string(file.begin(), file.begin() + 10);
    }
}

TEST(Pnm, BinaryAndAsciiWithScaling)
{
    std::string err;
    auto p6 = decode_pnm(cat("P6\n# made by hand\n2 1\n15\n", {15, 0, 7, 1, 2, 3}), err);
    ASSERT_TRUE(p6);
    EXPECT_EQ(std::tie(p6->channels, p6->pixels), std::tuple(3, std::vector<std::uint8_t>{255, 0, 119, 17, 34, 51}));

    auto p3 = decode_pnm(bytes("P3 1 1 255\n9 8 7\n"), err);
    ASSERT_TRUE(p3);
    EXPECT_EQ(p3->pixels, (std::vector<std::uint8_t>{9, 8, 7}));

    auto p5 = decode_pnm(cat("P5 2 1 255\n", {3, 250}), err);
    ASSERT_TRUE(p5);
    EXPECT_EQ(std::tie(p5->channels, p5->pixels), std::tuple(1, std::vector<std::uint8_t>{3, 250}));

    auto wide = decode_pnm(cat("P5 1 1 65535\n", {0xff, 0xff}), err);
    ASSERT_TRUE(wide);
    EXPECT_EQ(wide->pixels[0], 255);
}

TEST(Pnm, HeaderErrorsNameTheFormat)
{
    std::string err;
    EXPECT_FALSE(decode_pnm(bytes("P6\nwide tall\n"), err));
    EXPECT_EQ(err, "Can't get PPM dimensions");
    EXPECT_FALSE(decode_pnm(bytes("P6 2 2 none\n"), err));
    EXPECT_EQ(err, "Can't parse PPM header");
    EXPECT_FALSE(decode_pnm(bytes("P5 x"), err));
    EXPECT_EQ(err, "Can't get PGM dimensions");
    EXPECT_FALSE(decode_pnm(bytes("P2 1 1 0\n1"), err));
    EXPECT_EQ(err, "Can't parse PGM header");
    EXPECT_FALSE(decode_pnm(cat("P6 2 2 255\n", std::vector<std::uint8_t>(11)), err));
    EXPECT_EQ(err, "");
}

TEST(PngForTexture, GreyBecomesRgbAndGreyAlphaRgba)
{
    std::string info;
    auto grey = decode_png_for_texture(test::png_bytes(2, 1, PngFormat::grey, {7, 9}, {{"Comment", "[compress]"}}), &info);
    ASSERT_TRUE(grey);
    EXPECT_EQ(std::tie(grey->channels, grey->pixels), std::tuple(3, std::vector<std::uint8_t>{7, 7, 7, 9, 9, 9}));
    EXPECT_NE(info.find("[compress]"), std::string::npos);
    auto ga = decode_png_for_texture(test::png_bytes(1, 1, PngFormat::grey_alpha, {7, 9}), nullptr);
    ASSERT_TRUE(ga);
    EXPECT_EQ(ga->pixels, (std::vector<std::uint8_t>{7, 7, 7, 9}));
    auto g16 = decode_png_for_texture(test::png_bytes(1, 1, PngFormat::grey16, {0x34, 0x12}), nullptr);
    ASSERT_TRUE(g16);
    EXPECT_EQ(g16->pixels, (std::vector<std::uint8_t>{0x12, 0x12, 0x12}));
    EXPECT_FALSE(decode_png_for_texture(bytes("not a png"), nullptr));
}

std::string j7(int w, int h) { return "J7 " + std::to_string(w) + " " + std::to_string(h) + "\n" + std::string(static_cast<std::size_t>(w * h * 4), '\1'); }

std::optional<AnimSequence> anim(const std::string& body, std::string& err, PngLoader loader = nullptr)
{
    static std::vector<std::uint8_t> keep;
    keep = bytes(body);
    ByteCursor c(keep);
    EXPECT_EQ(c.token(), "ANIM1");
    if (!loader)
        loader = [](const std::string&) { return std::optional<Image>(); };
    return parse_anim1(c, loader, err);
}

TEST(Anim1, ReadsStepsAndFrames)
{
    std::string err;
    auto seq = anim("ANIM1 3 2 4 1\n0 1 0\n" + j7(2, 2) + j7(2, 2), err);
    ASSERT_TRUE(seq) << err;
    EXPECT_EQ(seq->steps, (std::vector<int>{0, 1, 0}));
    EXPECT_EQ(std::tuple(seq->frames.size(), seq->ticks_per_step, seq->loop), std::tuple(2u, 4, true));
}

TEST(Anim1, EveryFailureNamesItsCause)
{
    std::string err;
    EXPECT_FALSE(anim("ANIM1 2 2 4 1\n0 1\n" + j7(2, 2) + j7(1, 1), err));
    EXPECT_EQ(err, "Width/height mismatch reading .seq");

    PngLoader rgb = [](const std::string& name) {
        std::optional<Image> im;
        if (name == "@f.png") {
            im.emplace();
            im->width = im->height = 2;
            im->channels = 3;
            im->pixels.assign(12, 0);
        }
        return im;
    };
    EXPECT_FALSE(anim("ANIM1 2 2 4 1\n0 1\n" + j7(2, 2) + "PNG @f.png  \n", err, rgb));
    EXPECT_EQ(err, "Depth mismatch reading .seq");
    EXPECT_FALSE(anim("ANIM1 1 1 4 1\n0\nPNG @gone.png\n", err, rgb));
    EXPECT_EQ(err, "Can't read @gone.png");
    EXPECT_FALSE(anim("ANIM1 1 2 4 1\n0\n" + j7(2, 2) + "GIF x\n", err));
    EXPECT_EQ(err, "Error reading .seq frame 1");
    EXPECT_FALSE(anim("ANIM1 1 2 4 1\n0\n" + j7(2, 2), err));
    EXPECT_EQ(err, "EOF while reading .seq");
    EXPECT_FALSE(anim("ANIM1 3 1 4 1\n0 0", err));
    EXPECT_EQ(err, "EOF while reading .seq");
    EXPECT_FALSE(anim("ANIM1 0 1 4 1\n", err));
    EXPECT_EQ(err, "");
    EXPECT_FALSE(anim("ANIM1 1 1 4 1\n5\n" + j7(1, 1), err));  // step names no frame
}

TEST(Link, TrimsTheTargetName)
{
    auto b = bytes("LINK\n   @trees/oak.png \n\n");
    ByteCursor c(b);
    c.token();
    EXPECT_EQ(parse_link(c).value(), "@trees/oak.png");
    auto empty = bytes("LINK  \n ");
    ByteCursor e(empty);
    e.token();
    EXPECT_FALSE(parse_link(e));
}

TEST(RoundDown, FramesBecomePowersOfTwo)
{
    Image im;
    im.width = 5;
    im.height = 3;
    im.channels = 1;
    im.pixels = {0, 1, 2, 3, 4, 10, 11, 12, 13, 14, 20, 21, 22, 23, 24};
    Image r = round_down_to_power_of_two(im);
    EXPECT_EQ(std::pair(r.width, r.height), std::pair(4, 2));
    EXPECT_EQ(r.pixels, (std::vector<std::uint8_t>{0, 1, 2, 3, 10, 11, 12, 13}));
}

}  // namespace
}  // namespace zv::render
