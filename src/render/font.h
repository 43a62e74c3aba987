// The game's font: a picture of 16 x 16 character cells ("font.png", white
// glyphs with alpha, Latin-1 code c in cell (c mod 16, c / 16)) and its
// metrics ("font.txt"), drawn as textured quads with proportional spacing in
// the current colour.
//
// font.txt is text, one entry a line, "#" starting a comment line:
//   cell <pixels>         side of a cell (required, first of all)
//   size <pixels>         the em size the glyphs were drawn at (required)
//   baseline <pixels>     baseline below a cell's top (required)
//   left <pixels>         pen position right of a cell's left edge (required)
//   capheight <pixels>    height of a capital above the baseline (optional)
//   char <code> <advance> [<x0> <y0> <x1> <y1>]
//                         a character the picture has: how far it moves the
//                         pen and the ink within its cell (columns x0..x1-1,
//                         rows y0..y1-1); without the box the whole cell is
//                         drawn.
// Reading stops at the first line that does not fit (and keeps what came
// before); the metrics are usable when the four required values were read,
// in range, before any character, and at least one character was.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "render/textures.h"

namespace zv::render {

inline constexpr int k_font_grid = 16;          // cells per row and column
inline constexpr int k_font_max_cell = 256;     // largest cell side read
inline constexpr std::size_t k_font_max_text = 256 * 1024;  // font.txt bytes read

struct FontGlyph {
    bool present = false;
    float advance = 0;            // cell pixels
    int x0 = 0, y0 = 0, x1 = 0, y1 = 0;  // ink box within the cell; empty when x1 <= x0 or y1 <= y0
};

struct FontMetrics {
    int cell = 0;
    float size = 0;
    int baseline = 0;
    int left = 0;
    float cap_height = 0;         // from "capheight", else measured from 'H', else 0.73 em
    std::array<FontGlyph, 256> glyphs{};
};

struct FontParse {
    std::optional<FontMetrics> metrics;  // none when unusable
    int stopped_at_line = 0;             // 1-based line that did not fit; 0 when all was read
    std::string problem;                 // what was wrong (for the log), "" when nothing
};

// Reads font.txt text. Never fails loudly: the result says what was kept.
FontParse parse_font_metrics(std::string_view text);

// The code drawn for a byte: itself when the font has it, else '?', else -1
// (nothing drawn, no advance).
int font_glyph_for(const FontMetrics& m, unsigned char c);

// Width in pixels of text at an em size of `pixel_height` pixels (the sum of
// the advances, scaled).
float font_text_width(const FontMetrics& m, std::string_view text, float pixel_height);

// The em size at which capitals are `cap` pixels high.
float font_size_for_cap_height(const FontMetrics& m, float cap);

// One glyph on screen: window pixels and texture coordinates (0..1 over the
// whole picture).
struct GlyphQuad {
    float x0, y0, x1, y1;
    float s0, t0, s1, t1;
};
// The quads of text with its pen starting at x on the baseline y. Glyphs
// without ink (spaces) give no quad. Each ink box is widened by one texel
// within its cell so that filtering keeps the glyph's soft edge.
std::vector<GlyphQuad> layout_font_text(const FontMetrics& m, float x, float baseline, float pixel_height,
                                        std::string_view text);

struct Font {
    FontMetrics metrics;
    TextureId texture = 0;
    std::string texture_name;  // as registered in the texture cache
};

// Loads a font from a picture and a metrics file (data-file names; the
// picture through the texture loader, e.g. "!@font.png", "@font.txt").
// Logs what went wrong and returns none when either is missing or unusable.
std::optional<Font> load_font(std::string_view picture, std::string_view metrics_file);

// True while the font's texture is still in the texture cache (the cache's
// full release at shutdown takes it away).
bool font_usable(const Font& font);

// Draws text with its pen starting at x on the baseline y (window pixels,
// y down) in the current colour, blended by the glyphs' alpha. GL state is
// left as it was found.
void draw_font_text(const Font& font, float x, float baseline, float pixel_height, std::string_view text);

}  // namespace zv::render
