// Text drawn with FreeType from the DejaVu fonts, for the game's font
// picture and for the lettering of the generated pictures.
#pragma once

#include "core/saf_writer.h"
#include "gen_image.h"

#include <memory>
#include <string_view>
#include <vector>

namespace zv::datagen {

class Font {
public:
    // Opens DejaVu Sans (bold when asked) from the usual font folders; null
    // when FreeType or the font file is missing.
    static std::unique_ptr<Font> open(bool bold);
    ~Font();
    Font(const Font&) = delete;
    Font& operator=(const Font&) = delete;

    // Where one character's rendered bitmap lies relative to the pen
    // position on the baseline (left bearing, rows above the baseline, size)
    // and how far it moves the pen.
    struct GlyphBox {
        bool ok = false;  // false when the face has no outline for the code
        int left = 0, top = 0, width = 0, rows = 0;
        float advance = 0;
    };
    // Draws the character with Unicode code `code` (Latin-1 codes are the
    // same) with its pen position at (x, y) on the baseline.
    GlyphBox draw_code(Canvas& canvas, unsigned code, int x, int y, int pixel_size, Rgba colour);

    // Draws text with its baseline at y, starting at x. Returns the advance.
    float draw(Canvas& canvas, std::string_view text, float x, float y, int pixel_size, Rgba colour);
    float width(std::string_view text, int pixel_size);
    // Centred on cx.
    void draw_centred(Canvas& canvas, std::string_view text, float cx, float y, int pixel_size, Rgba colour);

private:
    Font() = default;
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// "font.png" (16 x 16 cells of 32 x 32, character code c in cell
// (c mod 16, c / 16), white with alpha; printable ASCII and Latin-1 160-255)
// and "font.txt" (the metrics: cell layout, cap height, and per character
// the advance and the ink box within its cell).
bool font_members(std::vector<core::SafMember>& out);

}  // namespace zv::datagen
