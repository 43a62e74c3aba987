// PNG encoding and decoding: every pixel format round trips with its text
// chunks, 16-bit samples keep their byte order, and bad input is refused.
#include "render/png_io.h"

#include <gtest/gtest.h>

#include <cstring>
#include <tuple>

namespace {

using namespace zv::render;

PngImage pattern(PngFormat format, int w, int h)
{
    PngImage img;
    img.width = w;
    img.height = h;
    img.format = format;
    img.pixels.resize(img.row_bytes() * static_cast<std::size_t>(h));
    for (std::size_t i = 0; i < img.pixels.size(); ++i)
        img.pixels[i] = static_cast<std::uint8_t>((i * 37 + i / 7) & 0xff);
    return img;
}

TEST(PngIo, EveryFormatRoundTripsWithItsText)
{
    for (PngFormat f : {PngFormat::grey, PngFormat::grey_alpha, PngFormat::rgb, PngFormat::rgba, PngFormat::grey16}) {
        PngImage img = pattern(f, 13, 5);  // odd sizes: no row padding assumed
        img.text = {{"Comment", "[mip_max_alpha]"}, {"Description", "[numberbackground:1,0,0]"}};
        auto bytes = encode_png(img);
        ASSERT_TRUE(bytes) << static_cast<int>(f);
        auto back = decode_png(*bytes);
        ASSERT_TRUE(back) << static_cast<int>(f);
        EXPECT_EQ(std::tuple(back->format, back->width, back->height), std::tuple(f, 13, 5));
        EXPECT_EQ(std::tie(back->pixels, back->text), std::tie(img.pixels, img.text));
        EXPECT_EQ(png_info_text(*back), "[mip_max_alpha][numberbackground:1,0,0]");
    }
    // A palette picture (2 x 1, indices 1 and 0) comes back as its colours.
    const std::string hex = "89504e470d0a1a0a0000000d4948445200000002000000010803000000c3fc8fb800000006504c5445"
                            "0a141ec8643277a0b39c0000000b4944415478da63606400000005000242c2449f0000000049454e44ae426082";
    std::vector<std::uint8_t> palette;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
        palette.push_back(static_cast<std::uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    auto colours = decode_png(palette);
    ASSERT_TRUE(colours);
    EXPECT_EQ(colours->format, PngFormat::rgb);
    EXPECT_EQ(colours->pixels, (std::vector<std::uint8_t>{200, 100, 50, 10, 20, 30}));
}

TEST(PngIo, SixteenBitSamplesAreStoredBigEndianAndReadBackInHostOrder)
{
    PngImage img;
    img.width = 2;
    img.height = 1;
    img.format = PngFormat::grey16;
    // 0x1234 and 0xfffe, low byte first in memory.
    img.pixels = {0x34, 0x12, 0xfe, 0xff};
    auto bytes = encode_png(img);
    ASSERT_TRUE(bytes);
    // IHDR says 16 bits per sample, grey.
    ASSERT_GT(bytes->size(), 26u);
    EXPECT_EQ((*bytes)[24], 16);
    EXPECT_EQ((*bytes)[25], 0);
    auto back = decode_png(*bytes);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->pixels, img.pixels);
}

TEST(PngIo, EncodingIsDeterministic)
{
    PngImage img = pattern(PngFormat::rgba, 64, 64);
    img.text = {{"Comment", "x"}};
    EXPECT_EQ(encode_png(img), encode_png(img));
}

TEST(PngIo, RefusesInconsistentImages)
{
    PngImage img = pattern(PngFormat::rgb, 4, 4);
    img.pixels.pop_back();
    EXPECT_FALSE(encode_png(img));
    img = pattern(PngFormat::rgb, 0, 4);
    EXPECT_FALSE(encode_png(img));
    img = pattern(PngFormat::rgb, 4, 4);
    img.text = {{"Comment", std::string("nul\0inside", 10)}};
    EXPECT_FALSE(encode_png(img));
    // Keywords: 1 to 79 printable Latin-1 characters, no space at either end.
    for (auto [key, ok] : {std::pair<std::string, bool>{"", false}, {std::string(79, 'k'), true},
                           {std::string(80, 'k'), false}, {"a~", true}, {"a\x7f", false}, {"a\xa0", false},
                           {"a\xa1", true}, {"a\x1f", false}, {"a b", true}, {" a", false}, {"a ", false}}) {
        img.text = {{key, "x"}};
        EXPECT_EQ(encode_png(img).has_value(), ok) << key;
    }
}

TEST(PngIo, RefusesDamagedFiles)
{
    PngImage img = pattern(PngFormat::rgba, 16, 16);
    auto bytes = encode_png(img);
    ASSERT_TRUE(bytes);
    EXPECT_FALSE(decode_png({}));
    EXPECT_FALSE(decode_png(std::span<const std::uint8_t>(bytes->data(), 7)));
    std::vector<std::uint8_t> not_png(bytes->size(), 'x');
    EXPECT_FALSE(decode_png(not_png));
    // Cut at every length: never a crash, never a success.
    for (std::size_t n = 8; n + 12 < bytes->size(); n += 3)
        EXPECT_FALSE(decode_png(std::span<const std::uint8_t>(bytes->data(), n))) << n;
    // A flipped byte in the image data breaks its checksum.
    std::vector<std::uint8_t> broken = *bytes;
    broken[broken.size() / 2] ^= 0x5a;
    EXPECT_FALSE(decode_png(broken));
}

TEST(PngIo, RefusesHugeDimensionsBeforeAllocating)
{
    PngImage img = pattern(PngFormat::grey, 1, 1);
    auto bytes = encode_png(img);
    ASSERT_TRUE(bytes);
    // Claim 100000 x 100000 in IHDR (width at 16, height at 20) and fix its CRC.
    std::vector<std::uint8_t> big = *bytes;
    for (int at : {16, 20}) {
        big[at] = 0x00, big[at + 1] = 0x01, big[at + 2] = 0x86, big[at + 3] = 0xa0;
    }
    EXPECT_FALSE(decode_png(big));
}

}  // namespace
