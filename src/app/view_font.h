// A small built-in bitmap font (5 x 7 pixels per character) for the loading
// screen and the plain overlays, drawn with the fixed-function pipeline in
// window pixel coordinates (origin top left).
#pragma once

#include <string_view>

namespace zv::app {

inline constexpr int k_glyph_width = 5;
inline constexpr int k_glyph_height = 7;
inline constexpr int k_glyph_advance = 6;  // one column of space

// Whether pixel (column, row) of a character's glyph is set. Characters
// outside the printable ASCII range draw as '?'.
bool glyph_pixel(char c, int column, int row);

// Width in pixels of text drawn at a scale.
int text_width(std::string_view text, int scale);

// Draws the text with its top-left corner at (x, y), each font pixel a
// scale x scale square, in the current colour. Needs a window-pixel
// projection (set_pixel_projection).
void draw_text(float x, float y, int scale, std::string_view text);

}  // namespace zv::app
