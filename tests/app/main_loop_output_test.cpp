// What the loop writes and draws without a window: screenshot numbering,
// PNG round trips, the video frame header, the loading-delay record and the
// built-in font.
#include "app/loading_screen.h"
#include "app/screenshot.h"
#include "app/screenshot_png.h"
#include "app/view_font.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace zv::app {
namespace {

TEST(ScreenshotNumber, OneAboveTheHighestNumberedName)
{
    const struct {
        std::vector<std::string> names;
        int next;
    } cases[] = {
        {{}, 0},
        {{"config", "lastlog.txt"}, 0},
        {{"screenshot000.png"}, 1},
        {{"screenshot007.png", "screenshot012.png", "screenshot3.png"}, 13},
        // Four digits and more count too; names without a number or without
        // the whole word first do not.
        {{"screenshot1234.png", "screenshotx.png", "screenshot", "old/screenshot999.png", "screensh0t9999.png"}, 1235},
        // A number too long for an int is ignored rather than wrapped.
        {{"screenshot99999999999999999999.png", "screenshot5.png"}, 6},
    };
    for (const auto& c : cases)
        EXPECT_EQ(next_screenshot_number(c.names), c.next) << c.next;
}

TEST(Png, RgbRoundTripKeepsEveryPixel)
{
    const int w = 5, h = 3;
    std::vector<std::uint8_t> rgb(static_cast<std::size_t>(w * h * 3));
    for (std::size_t i = 0; i < rgb.size(); ++i)
        rgb[i] = static_cast<std::uint8_t>(i * 17 + 3);
    std::vector<std::uint8_t> png = encode_png_rgb(w, h, rgb);
    ASSERT_GT(png.size(), 8u);
    EXPECT_EQ(png[0], 0x89);
    EXPECT_EQ(png[1], 'P');
    std::optional<RgbaImage> back = decode_png_rgba(png);
    ASSERT_TRUE(back);
    ASSERT_EQ(back->width, w);
    ASSERT_EQ(back->height, h);
    for (int p = 0; p < w * h; ++p) {
        for (int c = 0; c < 3; ++c)
            EXPECT_EQ(back->pixels[static_cast<std::size_t>(p * 4 + c)], rgb[static_cast<std::size_t>(p * 3 + c)]);
        EXPECT_EQ(back->pixels[static_cast<std::size_t>(p * 4 + 3)], 255);
    }
}

TEST(Png, BadInputGivesNothing)
{
    std::vector<std::uint8_t> rgb(12, 0);
    EXPECT_TRUE(encode_png_rgb(0, 2, rgb).empty());
    EXPECT_TRUE(encode_png_rgb(2, 2, std::vector<std::uint8_t>(11, 0)).empty());  // short pixels
    EXPECT_FALSE(decode_png_rgba({}));
    const std::string junk = "\x89PNG\r\n\x1a\nnot really";
    EXPECT_FALSE(decode_png_rgba(std::vector<std::uint8_t>(junk.begin(), junk.end())));
    // A truncated picture fails cleanly.
    std::vector<std::uint8_t> png = encode_png_rgb(2, 2, rgb);
    png.resize(png.size() / 2);
    EXPECT_FALSE(decode_png_rgba(png));
}

TEST(VideoFrame, HeaderNamesTheSize)
{
    EXPECT_EQ(video_frame_header(640, 480), "P6\n640 480\n255\n");
    EXPECT_EQ(video_frame_header(1, 1), "P6\n1 1\n255\n");
}

TEST(LoadingDelay, TheLongestGapKeepsTheTextShownDuringIt)
{
    reset_loading_delay();
    note_loading_text("Resetting...", 100.0);
    note_loading_text("Loading terrain", 100.5);
    note_loading_text("Loading bikes", 102.5);
    note_loading_text("Loading bikes.", 102.6);
    EXPECT_DOUBLE_EQ(max_loading_delay(), 2.0);
    EXPECT_EQ(max_loading_delay_text(), "Loading terrain");
    // Texts are kept to 79 characters.
    note_loading_text(std::string(200, 'a'), 110.0);
    note_loading_text("next", 120.0);
    EXPECT_EQ(max_loading_delay_text(), std::string(79, 'a'));
    reset_loading_delay();
    EXPECT_DOUBLE_EQ(max_loading_delay(), 0.0);
    EXPECT_EQ(max_loading_delay_text(), "");
}

TEST(Font, GlyphsAndWidths)
{
    // 'I': a bar down the middle column, serifs top and bottom.
    for (int row = 0; row < k_glyph_height; ++row)
        EXPECT_TRUE(glyph_pixel('I', 2, row)) << row;
    // '-' spans every column of row 3, '#' every row of column 1; a space is
    // empty; outside the glyph nothing is set.
    const struct {
        char c;
        int column, row;
        bool set;
    } pixels[] = {{'I', 1, 0, true}, {'I', 0, 3, false}, {'-', 0, 3, true}, {'-', 4, 3, true},
                  {'#', 1, 0, true}, {'#', 1, 6, true},  {'-', 0, 2, false}, {'A', 5, 0, false},
                  {'A', -1, 0, false}, {'A', 0, 7, false}, {'#', 1, -1, false}};
    for (const auto& p : pixels)
        EXPECT_EQ(glyph_pixel(p.c, p.column, p.row), p.set) << p.c << ' ' << p.column << ' ' << p.row;
    for (int col = 0; col < k_glyph_width; ++col)
        for (int row = 0; row < k_glyph_height; ++row)
            EXPECT_FALSE(glyph_pixel(' ', col, row));
    // Characters without a glyph draw as '?'.
    for (int col = 0; col < k_glyph_width; ++col)
        for (int row = 0; row < k_glyph_height; ++row)
            EXPECT_EQ(glyph_pixel('\x01', col, row), glyph_pixel('?', col, row));
    EXPECT_EQ(text_width("Paused", 4), 6 * 6 * 4);
    EXPECT_EQ(text_width("", 3), 0);
}

}  // namespace
}  // namespace zv::app
