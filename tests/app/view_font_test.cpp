// Text measuring with and without the game's font: the built-in bitmap font
// until a font is loaded, the loaded one's proportional widths at capitals
// 7 x scale high, and back to the bitmap font when the font is released or
// its texture goes (a recording texture backend stands in for GL).
#include <gtest/gtest.h>

#include <cmath>
#include <tuple>
#include <utility>

#include "app/view_font.h"
#include "render/render_fixture.h"

namespace zv::app {
namespace {

// Em 20 with capitals 14 high: at scale 2 the em is 20 pixels and the cell
// pixels map one to one.
const char* const k_metrics = "cell 32\nsize 20\nbaseline 24\nleft 4\ncapheight 14\n"
                              "char 32 5 0 0 0 0\nchar 63 8 5 8 16 24\n"
                              "char 65 10 4 10 14 24\nchar 66 12.5 0 0 32 32\n";

class ViewFont : public test::RenderFolders {
protected:
    ~ViewFont() override { release_font(); }
    void put_font()
    {
        put("font.txt", k_metrics);
        put("font.png", test::png_bytes(64, 64, render::PngFormat::rgba,
                                        test::flat_pixels(64, 64, {255, 255, 255, 0})));
    }
};

TEST_F(ViewFont, BitmapFontUntilAFontIsLoaded)
{
    EXPECT_FALSE(font_loaded());
    EXPECT_EQ(font_pixel_height(2), 0);
    EXPECT_EQ(text_width("Paused", 4), 6 * 6 * 4);
    EXPECT_EQ(text_width("AB", 2), 24);
    // Missing files: the bitmap font stays, and the log says so.
    EXPECT_FALSE(load_font());
    EXPECT_FALSE(font_loaded());
    EXPECT_EQ(text_width("AB", 2), 24);
    EXPECT_NE(log().find("Using the built-in font"), std::string::npos);
}

TEST_F(ViewFont, LoadedFontMeasuresItsAdvancesAtTheScalesCapHeight)
{
    put_font();
    ASSERT_TRUE(load_font());
    EXPECT_TRUE(font_loaded());
    // Capitals 7 x scale high: em = 7 x scale x 20 / 14.
    for (auto [scale, em] : {std::pair{1, 10.0f}, {2, 20.0f}, {3, 30.0f}})
        EXPECT_FLOAT_EQ(font_pixel_height(scale), em) << scale;
    EXPECT_EQ(font_pixel_height(0), 0);
    // 22.5 and 11.25 are rounded up; characters the font lacks measure as '?'.
    for (auto [text, scale, width] : {std::tuple{"AB", 2, 23}, {"AB", 1, 12}, {"AB", 4, 45}, {"A A", 2, 25},
                                      {"A\x01", 2, 18}, {"", 3, 0}})
        EXPECT_EQ(text_width(text, scale), width) << text << " at " << scale;
    // Released: the bitmap font again.
    release_font();
    EXPECT_FALSE(font_loaded());
    EXPECT_EQ(text_width("AB", 2), 24);
}

TEST_F(ViewFont, TheBitmapFontReturnsWhenTheTexturesGo)
{
    put_font();
    ASSERT_TRUE(load_font());
    EXPECT_EQ(text_width("AB", 2), 23);
    render::release_textures(true);
    EXPECT_FALSE(font_loaded());
    EXPECT_EQ(text_width("AB", 2), 24);
}

TEST_F(ViewFont, BrokenMetricsKeepTheBitmapFont)
{
    put_font();
    put("font.txt", "cell 32\nsize 20\nbaseline 99\nleft 4\nchar 65 10\n");
    EXPECT_FALSE(load_font());
    EXPECT_FALSE(font_loaded());
    EXPECT_EQ(text_width("AB", 2), 24);
    // A good font replaced by a broken one: the old one is dropped too.
    put_font();
    ASSERT_TRUE(load_font());
    put("font.txt", "");
    EXPECT_FALSE(load_font());
    EXPECT_FALSE(font_loaded());
}

}  // namespace
}  // namespace zv::app
