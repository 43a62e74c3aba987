// The generated font on a real (virtual) screen: text lands inside the
// quads its metrics give and nowhere far from them, in the current colour
// with soft edges blended over the background, characters outside the font
// look like '?', Latin-1 accents reach above the capitals, and the GL state
// is left as found. Needs a display (run under xvfb-run) and the generated
// game data in the build folder; skipped otherwise.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "render/font.h"
#include "render/gl.h"
#include "support/screen_window.h"

// The GL driver's exit leaks have no module left to name (see the world
// screen test).
extern "C" const char* __lsan_default_options() { return "detect_leaks=0"; }

namespace zv::render {
namespace {

constexpr int k_w = 480, k_h = 160;

struct Frame {
    std::vector<std::uint8_t> px;  // rows top down, RGB
    const std::uint8_t* at(int x, int y) const { return &px[(static_cast<std::size_t>(y) * k_w + x) * 3]; }
    bool lit(int x, int y, int above = 40) const
    {
        const std::uint8_t* p = at(x, y);
        return p[0] + p[1] + p[2] > above;
    }
};

Frame grab()
{
    const std::vector<std::uint8_t> up = test::read_rect(0, 0, k_w, k_h);
    Frame f;
    f.px.resize(up.size());
    for (int y = 0; y < k_h; ++y)
        std::copy_n(up.begin() + static_cast<std::ptrdiff_t>((k_h - 1 - y) * k_w * 3), k_w * 3,
                    f.px.begin() + static_cast<std::ptrdiff_t>(y * k_w * 3));
    return f;
}

struct Box {
    float x0 = 1e9f, y0 = 1e9f, x1 = -1e9f, y1 = -1e9f;
};

Box bounds(const std::vector<GlyphQuad>& quads)
{
    Box b;
    for (const GlyphQuad& q : quads) {
        b.x0 = std::min(b.x0, q.x0);
        b.y0 = std::min(b.y0, q.y0);
        b.x1 = std::max(b.x1, q.x1);
        b.y1 = std::max(b.y1, q.y1);
    }
    return b;
}

// The lit pixels' bounding rows and columns.
struct Ink {
    int count = 0, x0 = k_w, y0 = k_h, x1 = -1, y1 = -1;
};
Ink ink_of(const Frame& f, int above = 40)
{
    Ink ink;
    for (int y = 0; y < k_h; ++y)
        for (int x = 0; x < k_w; ++x)
            if (f.lit(x, y, above)) {
                ++ink.count;
                ink.x0 = std::min(ink.x0, x);
                ink.y0 = std::min(ink.y0, y);
                ink.x1 = std::max(ink.x1, x);
                ink.y1 = std::max(ink.y1, y);
            }
    return ink;
}

class FontScreen : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        if (!test::open_screen_window(k_w, k_h, "font-screen"))
            return;
        font_ = new Font();
        if (std::optional<Font> f = load_font("!@font.png", "@font.txt"))
            *font_ = std::move(*f);
    }
    static void TearDownTestSuite()
    {
        delete font_;
        font_ = nullptr;
        test::close_screen_window([] { release_textures(true); });
    }
    void SetUp() override
    {
        if (!font_)
            GTEST_SKIP() << "needs a display and the generated game data";
        ASSERT_TRUE(font_usable(*font_)) << "the generated font did not load";
        glViewport(0, 0, k_w, k_h);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glOrtho(0, k_w, k_h, 0, -1, 1);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glDisable(GL_DEPTH_TEST);
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT);
        glColor4f(1, 1, 1, 1);
    }
    static inline Font* font_ = nullptr;
};

TEST_F(FontScreen, TextInksItsQuadsAndNothingElse)
{
    const char* text = "Zarvox 128 Hj";
    const float px = 33, x = 20, baseline = 80;
    draw_font_text(*font_, x, baseline, px, text);
    Frame f = grab();
    Box box = bounds(layout_font_text(font_->metrics, x, baseline, px, text));
    Ink ink = ink_of(f);
    ASSERT_GT(ink.count, 300);
    // Every lit pixel lies within the quads' bounds (a pixel of slack for
    // rasterisation).
    EXPECT_GE(ink.x0, static_cast<int>(box.x0) - 1);
    EXPECT_LE(ink.x1, static_cast<int>(box.x1) + 1);
    EXPECT_GE(ink.y0, static_cast<int>(box.y0) - 1);
    EXPECT_LE(ink.y1, static_cast<int>(box.y1) + 1);
    // The ink starts at the pen, ends within the measured width, and the
    // capitals reach the cap height above the baseline; 'j' goes below it.
    float cap = font_->metrics.cap_height * px / font_->metrics.size;
    EXPECT_NEAR(ink.x0, x, 3);
    EXPECT_LE(ink.x1, x + font_text_width(font_->metrics, text, px) + 1);
    EXPECT_GE(ink.x1, x + font_text_width(font_->metrics, text, px) - 12);
    EXPECT_NEAR(ink.y0, baseline - cap, 2.5);
    EXPECT_GT(ink.y1, baseline + 3);
    // Between the words, a gap of unlit columns (the spaces).
    int empty_columns = 0;
    for (int cx = ink.x0; cx <= ink.x1; ++cx) {
        bool any = false;
        for (int cy = 0; cy < k_h && !any; ++cy)
            any = f.lit(cx, cy);
        empty_columns += !any;
    }
    EXPECT_GE(empty_columns, 4);
}

TEST_F(FontScreen, CurrentColourBlendedByCoverage)
{
    glClearColor(0.5f, 0.5f, 0.5f, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glColor4f(1, 0, 0, 1);
    draw_font_text(*font_, 10, 100, 60, "MOW");
    Frame f = grab();
    int solid = 0, partial = 0, wrong = 0;
    for (int y = 0; y < k_h; ++y)
        for (int x = 0; x < k_w; ++x) {
            const std::uint8_t* p = f.at(x, y);
            if (p[1] != p[2] || p[0] < p[1] || p[1] > 129)
                ++wrong;
            if (p[0] > 250 && p[1] < 6)
                ++solid;
            else if (p[1] > 20 && p[1] < 108)
                ++partial;
        }
    EXPECT_EQ(wrong, 0) << "only red, blended over the grey";
    EXPECT_GT(solid, 500);
    EXPECT_GT(partial, 50) << "soft edges";
}

TEST_F(FontScreen, OutsideTheFontLooksLikeQuestionMarksAndAccentsRise)
{
    draw_font_text(*font_, 30, 90, 40, "\x01\x7f\x9f");
    Frame odd = grab();
    glClear(GL_COLOR_BUFFER_BIT);
    draw_font_text(*font_, 30, 90, 40, "???");
    Frame question = grab();
    EXPECT_GT(ink_of(question).count, 100);
    EXPECT_EQ(odd.px, question.px);
    // The generated font has Latin-1: an accented capital is taller.
    glClear(GL_COLOR_BUFFER_BIT);
    draw_font_text(*font_, 30, 90, 40, "E");
    Ink plain = ink_of(grab());
    glClear(GL_COLOR_BUFFER_BIT);
    draw_font_text(*font_, 30, 90, 40, "\xc9");  // E acute
    Ink acute = ink_of(grab());
    EXPECT_EQ(plain.y1, acute.y1);
    EXPECT_LT(acute.y0, plain.y0 - 4);
    EXPECT_TRUE(font_->metrics.glyphs[0xe9].present);
    EXPECT_FALSE(font_->metrics.glyphs[0x80].present);
}

TEST_F(FontScreen, LeavesTheGlStateAsFound)
{
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_BLEND);
    glBindTexture(GL_TEXTURE_2D, 0);
    draw_font_text(*font_, 10, 50, 20, "State");
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    GLint bound = -1;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(bound, 0);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    // Drawing nothing, or at no size, draws nothing.
    glClear(GL_COLOR_BUFFER_BIT);
    draw_font_text(*font_, 10, 50, 20, "");
    draw_font_text(*font_, 10, 50, 20, "   ");
    draw_font_text(*font_, 10, 50, 0, "Text");
    EXPECT_EQ(ink_of(grab()).count, 0);
}

}  // namespace
}  // namespace zv::render
