// Text for the loading screen, the head-up display and the overlays, drawn
// with the fixed-function pipeline in window pixel coordinates (origin top
// left). Once the game's font is loaded (load_font) text is drawn with it,
// proportionally spaced, capitals 7 x scale pixels high; until then, or when
// it cannot be loaded, with a small built-in bitmap font of 5 x 7 pixels per
// character, each pixel a scale x scale square.
#pragma once

#include <string_view>

namespace zv::app {

inline constexpr int k_glyph_width = 5;
inline constexpr int k_glyph_height = 7;
inline constexpr int k_glyph_advance = 6;  // one column of space

// Whether pixel (column, row) of a character's glyph is set. Characters
// outside the printable ASCII range draw as '?'.
bool glyph_pixel(char c, int column, int row);

// Width in pixels of text drawn at a scale (rounded up).
int text_width(std::string_view text, int scale);

// Draws the text with its top-left corner at (x, y) in the current colour:
// the tops of the capitals at y and the baseline at y + 7 x scale (the loaded
// font's descenders reach about 2 x scale below it). Needs a window-pixel
// projection (set_pixel_projection).
void draw_text(float x, float y, int scale, std::string_view text);

// The game's font: "!@font.png" with the metrics "@font.txt", loaded through
// the texture cache (a GL context must be current; at start-up, generation
// 0, so the texture is permanent). False, with the reason in the log, when
// it cannot be used; text then keeps the bitmap font.
bool load_font();
// Goes back to the bitmap font. The texture itself belongs to the texture
// cache and goes with its full release at shutdown.
void release_font();
// True while text is drawn with the loaded font.
bool font_loaded();

// Em size in pixels of the loaded font at a scale (0 when none is loaded).
float font_pixel_height(int scale);

}  // namespace zv::app
