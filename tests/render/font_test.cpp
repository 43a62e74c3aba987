// The font's metrics file, widths and glyph quads by hand-computed numbers,
// the '?' stand-in, and loading from a data folder (with a recording texture
// backend instead of GL).
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <tuple>
#include <utility>

#include "render/font.h"
#include "render/render_fixture.h"

namespace zv::render {
namespace {

using test::RenderFolders;

// The generator's layout with three characters.
const std::string k_header = "# a comment\n"
                             "cell 32\n"
                             "size 22\n"
                             "baseline 24\n"
                             "left 4\n";
const std::string k_chars = "char 32 8 0 0 0 0\n"
                            "char 63 13 5 8 16 24\n"
                            "char 65 17 4 8 21 24\n";

FontMetrics parsed_ok(const std::string& text)
{
    FontParse p = parse_font_metrics(text);
    EXPECT_TRUE(p.metrics) << p.problem;
    return p.metrics.value_or(FontMetrics{});
}

TEST(FontMetricsFile, ReadsTheLayoutAndEveryCharacter)
{
    FontParse p = parse_font_metrics(k_header + "capheight 16\n" + k_chars);
    ASSERT_TRUE(p.metrics);
    EXPECT_EQ(p.stopped_at_line, 0);
    EXPECT_EQ(p.problem, "");
    const FontMetrics& m = *p.metrics;
    EXPECT_EQ(std::tuple(m.cell, m.baseline, m.left), std::tuple(32, 24, 4));
    EXPECT_FLOAT_EQ(m.size, 22);
    EXPECT_FLOAT_EQ(m.cap_height, 16);
    const FontGlyph& a = m.glyphs['A'];
    EXPECT_FLOAT_EQ(a.advance, 17);
    EXPECT_EQ(std::tuple(a.present, a.x0, a.y0, a.x1, a.y1), std::tuple(true, 4, 8, 21, 24));
    EXPECT_TRUE(m.glyphs[' '].present);
    EXPECT_FLOAT_EQ(m.glyphs[' '].advance, 8);
    EXPECT_FALSE(m.glyphs['B'].present);
    EXPECT_FALSE(m.glyphs[200].present);
}

TEST(FontMetricsFile, CommentsBlankLinesLineEndsAndNewerEntries)
{
    std::string text = "\r\n# cell 8\n  \ncell 16\r\nsize 12.5\nbaseline 12\nleft 2\n"
                       "kerning 65 86 -1\n"   // an entry this program does not know
                       "\tchar  66   9.25\t1 2 10 12 \r\n"
                       "char 233 9 1 0 9 12";  // no final line feed
    FontMetrics m = parsed_ok(text);
    EXPECT_EQ(std::tuple(m.cell, m.glyphs['B'].y1, m.glyphs[233].present), std::tuple(16, 12, true));
    EXPECT_FLOAT_EQ(m.size, 12.5f);
    EXPECT_FLOAT_EQ(m.glyphs['B'].advance, 9.25f);
    // A character without an ink box is drawn as its whole cell.
    m = parsed_ok(k_header + "char 88 20\n");
    const FontGlyph& x = m.glyphs['X'];
    EXPECT_EQ(std::tuple(x.x0, x.y0, x.x1, x.y1), std::tuple(0, 0, 32, 32));
    // A later line for the same code replaces the earlier one.
    m = parsed_ok(k_header + "char 65 10\nchar 65 11 1 1 2 2\n");
    EXPECT_FLOAT_EQ(m.glyphs['A'].advance, 11);
}

TEST(FontMetricsFile, CapHeightFromTheFileFromHOrFromTheEm)
{
    EXPECT_FLOAT_EQ(parsed_ok(k_header + "capheight 15.5\n" + k_chars).cap_height, 15.5f);
    // 'H' inked from row 8 down to the baseline at 24: 16 pixels.
    EXPECT_FLOAT_EQ(parsed_ok(k_header + "char 72 18 6 8 21 24\n").cap_height, 16);
    // Without either, a typical share of the em.
    EXPECT_NEAR(parsed_ok(k_header + k_chars).cap_height, 0.73f * 22, 1e-4);
    // An 'H' without ink below its top tells nothing.
    EXPECT_NEAR(parsed_ok(k_header + "char 72 18 0 0 0 0\n").cap_height, 0.73f * 22, 1e-4);
}

TEST(FontMetricsFile, TruncatedFilesKeepWhatCameBefore)
{
    std::string whole = k_header + k_chars + "char 66 17 6 8 20 24\n";
    // Cut inside the last character's ink box: that line does not fit.
    FontParse p = parse_font_metrics(whole.substr(0, whole.size() - 6));
    ASSERT_TRUE(p.metrics);
    EXPECT_EQ(p.stopped_at_line, 9);
    EXPECT_NE(p.problem, "");
    EXPECT_EQ(std::pair(p.metrics->glyphs['A'].present, p.metrics->glyphs['B'].present), std::pair(true, false));
    // Cut in the header: no usable font.
    for (std::size_t cut : {std::size_t{0}, std::size_t{20}, k_header.size() - 3, k_header.size()}) {
        p = parse_font_metrics(whole.substr(0, cut));
        EXPECT_FALSE(p.metrics) << cut;
        EXPECT_NE(p.problem, "") << cut;
    }
}

TEST(FontMetricsFile, MissingLinesMakeTheFontUnusable)
{
    for (const char* required : {"cell 32\n", "size 22\n", "baseline 24\n", "left 4\n"}) {
        std::string header = k_header;
        header.erase(header.find(required), std::string(required).size());
        EXPECT_FALSE(parse_font_metrics(header + k_chars).metrics) << required;
    }
    FontParse none = parse_font_metrics(k_header);
    EXPECT_FALSE(none.metrics);
    EXPECT_EQ(none.problem, "no characters");
    // The cell size comes first; characters come after the layout.
    FontParse late = parse_font_metrics("size 22\ncell 32\nbaseline 24\nleft 4\n" + k_chars);
    EXPECT_FALSE(late.metrics);
    EXPECT_EQ(late.stopped_at_line, 1);
    FontParse early = parse_font_metrics("cell 32\nsize 22\nchar 65 17\nbaseline 24\nleft 4\n");
    EXPECT_FALSE(early.metrics);
    EXPECT_EQ(early.stopped_at_line, 3);
}

TEST(FontMetricsFile, OutOfRangeLayoutValues)
{
    // Each replaces one line of the layout; none leaves a usable font.
    const std::pair<const char*, const char*> cases[] = {
        {"cell 32\n", "cell 0\n"},          {"cell 32\n", "cell -32\n"},
        {"cell 32\n", "cell 257\n"},        {"cell 32\n", "cell 32.5\n"},
        {"cell 32\n", "cell 32 32\n"},      {"cell 32\n", "cell\n"},
        {"size 22\n", "size 0\n"},          {"size 22\n", "size -3\n"},
        {"size 22\n", "size nan\n"},        {"size 22\n", "size inf\n"},
        {"size 22\n", "size 129\n"},        {"size 22\n", "size 22px\n"},
        {"size 22\n", "size 0.5\n"},        {"size 22\n", "size 1e-40\n"},
        {"baseline 24\n", "baseline 33\n"}, {"baseline 24\n", "baseline -1\n"},
        {"left 4\n", "left 99999999999\n"}, {"left 4\n", "left four\n"},
    };
    for (const auto& [good, bad] : cases) {
        std::string header = k_header;
        header.replace(header.find(good), std::string(good).size(), bad);
        FontParse p = parse_font_metrics(header + k_chars);
        EXPECT_FALSE(p.metrics) << bad;
        EXPECT_GT(p.stopped_at_line, 0) << bad;
    }
    // A second cell size would leave the ink boxes read so far meaningless.
    FontParse twice = parse_font_metrics(k_header + k_chars + "cell 64\nchar 66 17\n");
    ASSERT_TRUE(twice.metrics);
    EXPECT_EQ(std::pair(twice.stopped_at_line, twice.metrics->glyphs['B'].present), std::pair(9, false));
    // A cap height beyond the cell or below a pixel is refused, the rest kept.
    for (const char* bad : {"capheight 40\n", "capheight 0.01\n", "capheight -16\n"}) {
        FontParse cap = parse_font_metrics(k_header + "char 72 18 6 8 21 24\n" + bad);
        ASSERT_TRUE(cap.metrics) << bad;
        EXPECT_EQ(cap.stopped_at_line, 7) << bad;
        EXPECT_FLOAT_EQ(cap.metrics->cap_height, 16) << bad;
    }
}

TEST(FontMetricsFile, OutOfRangeCharactersStopTheReading)
{
    for (const char* bad : {"char 256 10", "char -1 10", "char 66 -1", "char 66 129", "char 66 nan",
                            "char 66 inf", "char 66", "char 66 10 1 2 3", "char 66 10 1 2 3 4 5",
                            "char 66 10 0 0 33 10", "char 66 10 -1 0 10 10", "char 66 10 10 0 5 10",
                            "char 66 10 0 10 10 5", "char x 10", "char 66 10 0 0 1e1 10"}) {
        FontParse p = parse_font_metrics(k_header + k_chars + bad + "\nchar 67 12\n");
        ASSERT_TRUE(p.metrics) << bad;
        const auto& glyphs = p.metrics->glyphs;
        EXPECT_EQ(std::tuple(p.stopped_at_line, glyphs['A'].present, glyphs['B'].present, glyphs['C'].present),
                  std::tuple(9, true, false, false))
            << bad;
    }
    // Limits themselves are fine: a box filling the cell, an advance of four cells.
    FontMetrics m = parsed_ok(k_header + "char 66 128 0 0 32 32\nchar 0 0\nchar 255 1\n");
    EXPECT_TRUE(m.glyphs[0].present);
    EXPECT_TRUE(m.glyphs[255].present);
    // Lines past 1023 characters are not read.
    FontParse longer = parse_font_metrics(k_header + k_chars + "#" + std::string(1100, 'x') + "\nchar 66 1\n");
    EXPECT_EQ(longer.stopped_at_line, 9);
    EXPECT_FALSE(longer.metrics->glyphs['B'].present);
    // Binary junk after the layout.
    std::string junk = k_header + k_chars + std::string("char 66 \0\xff 1", 12) + "\n";
    EXPECT_EQ(parse_font_metrics(junk).stopped_at_line, 9);
}

TEST(FontMetricsFile, DamagedCopiesNeverYieldValuesOutOfRange)
{
    // Seeded byte damage to a good file: whatever is kept stays in range,
    // so the drawing never reads outside a cell.
    const std::string good = k_header + "capheight 16\n" + k_chars + "char 72 18 6 8 21 24\nchar 233 15 4 6 18 24\n";
    const char noise[] = "0123456789 -.e\n#x";
    std::uint32_t seed = 12345;
    auto next = [&seed] { return seed = seed * 1664525u + 1013904223u; };
    int usable = 0;
    for (int round = 0; round < 3000; ++round) {
        std::string text = good;
        for (int hits = 1 + static_cast<int>(next() % 4); hits > 0; --hits) {
            std::size_t at = next() % text.size();
            switch (next() % 3) {
            case 0: text[at] = noise[next() % (sizeof noise - 1)]; break;
            case 1: text.insert(at, 1, noise[next() % (sizeof noise - 1)]); break;
            default: text.resize(std::max<std::size_t>(1, at)); break;
            }
        }
        FontParse p = parse_font_metrics(text);
        if (!p.metrics)
            continue;
        ++usable;
        const FontMetrics& m = *p.metrics;
        ASSERT_GE(m.cell, 1) << text;
        ASSERT_LE(m.cell, k_font_max_cell) << text;
        ASSERT_GE(m.size, 1) << text;
        ASSERT_LE(m.size, 4.0f * m.cell) << text;
        ASSERT_GT(m.cap_height, 0) << text;
        ASSERT_TRUE(m.baseline >= 0 && m.baseline <= m.cell && m.left >= 0 && m.left <= m.cell) << text;
        for (const FontGlyph& g : m.glyphs) {
            if (!g.present)
                continue;
            ASSERT_TRUE(std::isfinite(g.advance) && g.advance >= 0 && g.advance <= 4.0f * m.cell) << text;
            ASSERT_TRUE(g.x0 >= 0 && g.x0 <= g.x1 && g.x1 <= m.cell) << text;
            ASSERT_TRUE(g.y0 >= 0 && g.y0 <= g.y1 && g.y1 <= m.cell) << text;
        }
        for (const GlyphQuad& q : layout_font_text(m, 0, 0, 20, "AH?\xe9 x"))
            ASSERT_TRUE(q.s0 >= 0 && q.s1 <= 1 && q.t0 >= 0 && q.t1 <= 1 && q.s0 <= q.s1 && q.t0 <= q.t1) << text;
    }
    EXPECT_GT(usable, 300);  // the damage left enough usable files to mean something
}

// Size 20, cap height 14: advances 'A' 10, 'B' 12.5, '?' 8, space 5.
FontMetrics hand_metrics(bool with_question_mark = true)
{
    std::string text = "cell 32\nsize 20\nbaseline 24\nleft 4\ncapheight 14\n"
                       "char 32 5 0 0 0 0\nchar 65 10 4 10 14 24\nchar 66 12.5 0 0 32 32\n";
    if (with_question_mark)
        text += "char 63 8 5 8 16 24\n";
    return parsed_ok(text);
}

TEST(FontText, WidthIsTheSumOfScaledAdvances)
{
    FontMetrics m = hand_metrics();
    // Characters outside the font measure as '?'; sizes that are no sizes
    // measure nothing.
    for (auto [text, size, width] :
         {std::tuple{"AB", 20.0f, 22.5f}, {"AB", 40.0f, 45.0f}, {"A B A", 10.0f, (10 + 5 + 12.5f + 5 + 10) / 2},
          {"", 20.0f, 0.0f}, {"A\x01" "B", 20.0f, 30.5f}, {"\xe9\x7f", 20.0f, 16.0f}, {"AB", 0.0f, 0.0f},
          {"AB", -5.0f, 0.0f}, {"AB", std::numeric_limits<float>::quiet_NaN(), 0.0f},
          {"AB", std::numeric_limits<float>::infinity(), 0.0f}})
        EXPECT_FLOAT_EQ(font_text_width(m, text, size), width) << text << " at " << size;
    // Without a '?' they take no room.
    EXPECT_FLOAT_EQ(font_text_width(hand_metrics(false), "A\x01" "B", 20), 22.5f);
    EXPECT_FLOAT_EQ(font_text_width(FontMetrics{}, "AB", 20), 0);
    // Capitals 7 high at an em of 10 (cap height 14 of 20).
    EXPECT_FLOAT_EQ(font_size_for_cap_height(m, 7), 10);
    EXPECT_FLOAT_EQ(font_size_for_cap_height(FontMetrics{}, 7), 0);
}

TEST(FontText, GlyphQuadsSitOnThePenAndTheBaseline)
{
    FontMetrics m = hand_metrics();
    EXPECT_EQ(std::tuple(font_glyph_for(m, 'A'), font_glyph_for(m, 0x01), font_glyph_for(m, 0xe9)),
              std::tuple('A', '?', '?'));
    EXPECT_EQ(font_glyph_for(hand_metrics(false), 0x01), -1);
    // Em 10: half the cell pixels. 'A' (cell column 1, row 4) inked in
    // columns 4..13 and rows 10..23, widened by a texel: 3..15 and 9..25.
    std::vector<GlyphQuad> q = layout_font_text(m, 100, 50, 10, "A BA");
    ASSERT_EQ(q.size(), 3u);  // the space has no ink
    // 'B' fills its cell (column 2, row 4); widening stays inside it. The
    // pen has moved by 'A' and the space: (10 + 5) / 2.
    const float want[2][8] = {
        {100 + (3 - 4) * 0.5f, 100 + (15 - 4) * 0.5f, 50 + (9 - 24) * 0.5f, 50 + (25 - 24) * 0.5f,
         (32 + 3) / 512.0f, (32 + 15) / 512.0f, (128 + 9) / 512.0f, (128 + 25) / 512.0f},
        {107.5f + (0 - 4) * 0.5f, 107.5f + (32 - 4) * 0.5f, 50 - 12, 50 + 4, 64 / 512.0f, 96 / 512.0f,
         128 / 512.0f, 160 / 512.0f}};
    for (std::size_t i = 0; i < 2; ++i) {
        const float got[8] = {q[i].x0, q[i].x1, q[i].y0, q[i].y1, q[i].s0, q[i].s1, q[i].t0, q[i].t1};
        for (std::size_t k = 0; k < 8; ++k)
            EXPECT_FLOAT_EQ(got[k], want[i][k]) << "quad " << i << " value " << k;
    }
    EXPECT_FLOAT_EQ(q[2].x0, 107.5f + 6.25f - 0.5f);
    // A character outside the font draws the '?' cell (column 15, row 3).
    std::vector<GlyphQuad> odd = layout_font_text(m, 0, 0, 20, "\x01\xff");
    std::vector<GlyphQuad> question = layout_font_text(m, 0, 0, 20, "??");
    ASSERT_EQ(odd.size(), 2u);
    ASSERT_EQ(question.size(), 2u);
    for (std::size_t i = 0; i < 2; ++i) {
        EXPECT_FLOAT_EQ(odd[i].x0, question[i].x0);
        EXPECT_FLOAT_EQ(odd[i].s0, question[i].s0);
        EXPECT_FLOAT_EQ(odd[i].t1, question[i].t1);
    }
    EXPECT_FLOAT_EQ(odd[0].s0, (15 * 32 + 4) / 512.0f);
    EXPECT_FLOAT_EQ(odd[0].t0, (3 * 32 + 7) / 512.0f);
    // Nothing for what cannot be drawn.
    EXPECT_TRUE(layout_font_text(hand_metrics(false), 0, 0, 20, "\x01").empty());
    EXPECT_TRUE(layout_font_text(m, 0, 0, 0, "AB").empty());
    EXPECT_TRUE(layout_font_text(FontMetrics{}, 0, 0, 20, "AB").empty());
    m.cell = 0;
    EXPECT_TRUE(layout_font_text(m, 0, 0, 20, "AB").empty());
}

class FontLoading : public RenderFolders {
protected:
    void put_font(const std::string& metrics)
    {
        put("font.txt", metrics);
        put("font.png", test::png_bytes(64, 64, PngFormat::rgba, test::flat_pixels(64, 64, {255, 255, 255, 0}),
                                        {{"Comment", "[mip_max_alpha]"}}));
    }
};

TEST_F(FontLoading, LoadsPictureAndMetricsFromTheDataFolder)
{
    put_font(k_header + k_chars);
    std::optional<Font> font = load_font("!@font.png", "@font.txt");
    ASSERT_TRUE(font);
    EXPECT_NE(font->texture, 0u);
    EXPECT_EQ(font->texture_name, "@font.png");
    EXPECT_FLOAT_EQ(font->metrics.glyphs['A'].advance, 17);
    ASSERT_EQ(backend_.created.size(), 1u);
    EXPECT_EQ(backend_.created[0].channels, 4);
    EXPECT_TRUE(font_usable(*font));
    // The font's texture goes with the cache's full release.
    release_textures(true);
    EXPECT_FALSE(font_usable(*font));
    EXPECT_FALSE(font_usable(Font{}));
}

TEST_F(FontLoading, MissingOrBrokenFilesFailWithTheirReason)
{
    EXPECT_FALSE(load_font("!@font.png", "@font.txt"));
    EXPECT_NE(log().find("Can't open font metrics \"@font.txt\""), std::string::npos);

    put_font("cell 32\nsize 22\n");
    EXPECT_FALSE(load_font("!@font.png", "@font.txt"));
    EXPECT_NE(log().find("Can't use font metrics \"@font.txt\": cell layout incomplete"), std::string::npos);

    // Usable metrics but a damaged line: a warning, and the font still loads.
    put_font(k_header + k_chars + "char 66 1 2\n");
    EXPECT_TRUE(load_font("!@font.png", "@font.txt"));
    EXPECT_NE(log().find("Warning: @font.txt line 9: "), std::string::npos);

    // No picture, or one that is no image.
    put("font.txt", k_header + k_chars);
    put("font.png", std::string("\x89PNG\r\n\x1a\n garbage", 17));
    release_textures(true);
    EXPECT_FALSE(load_font("!@font.png", "@font.txt"));
    EXPECT_NE(log().find("Can't load font picture \"!@font.png\""), std::string::npos);
    std::filesystem::remove(data() + "font.png");
    EXPECT_FALSE(load_font("!@font.png", "@font.txt"));
}

TEST_F(FontLoading, OversizedMetricsAreReadOnlyToTheirLimit)
{
    // The layout and 'A', then comments past the limit, then 'B'.
    std::string text = k_header + k_chars;
    while (text.size() < k_font_max_text + 10)
        text += "# " + std::string(70, '-') + "\n";
    text += "char 66 17\n";
    put_font(text);
    std::optional<Font> font = load_font("!@font.png", "@font.txt");
    ASSERT_TRUE(font);
    EXPECT_TRUE(font->metrics.glyphs['A'].present);
    EXPECT_FALSE(font->metrics.glyphs['B'].present);
}

}  // namespace
}  // namespace zv::render
