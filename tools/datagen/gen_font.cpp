#include "gen_font.h"

#include "gen_util.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <filesystem>

namespace zv::datagen {

namespace {

constexpr const char* k_font_folders[] = {
    "/usr/share/fonts/truetype/dejavu/",
    "/usr/share/fonts/dejavu/",
    "/usr/local/share/fonts/",
};

}  // namespace

struct Font::Impl {
    FT_Library library = nullptr;
    FT_Face face = nullptr;
    ~Impl()
    {
        if (face)
            FT_Done_Face(face);
        if (library)
            FT_Done_FreeType(library);
    }
};

Font::~Font() = default;

std::unique_ptr<Font> Font::open(bool bold)
{
    const char* file = bold ? "DejaVuSans-Bold.ttf" : "DejaVuSans.ttf";
    std::string path;
    for (const char* folder : k_font_folders) {
        std::error_code ec;
        if (std::filesystem::exists(std::string(folder) + file, ec)) {
            path = std::string(folder) + file;
            break;
        }
    }
    if (path.empty())
        return nullptr;
    std::unique_ptr<Font> font(new Font());
    font->impl_ = std::make_unique<Impl>();
    if (FT_Init_FreeType(&font->impl_->library) != 0)
        return nullptr;
    if (FT_New_Face(font->impl_->library, path.c_str(), 0, &font->impl_->face) != 0)
        return nullptr;
    return font;
}

Font::GlyphBox Font::draw_code(Canvas& canvas, unsigned code, int x, int y, int pixel_size, Rgba colour)
{
    GlyphBox box;
    FT_Face face = impl_->face;
    FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(pixel_size));
    // Codes the face does not cover map to glyph 0, the empty box.
    if (FT_Get_Char_Index(face, code) == 0 || FT_Load_Char(face, code, FT_LOAD_RENDER) != 0)
        return box;
    FT_GlyphSlot g = face->glyph;
    box.ok = true;
    box.left = g->bitmap_left;
    box.top = g->bitmap_top;
    box.width = static_cast<int>(g->bitmap.width);
    box.rows = static_cast<int>(g->bitmap.rows);
    box.advance = static_cast<float>(g->advance.x) / 64.0f;
    for (unsigned r = 0; r < g->bitmap.rows; ++r)
        for (unsigned c = 0; c < g->bitmap.width; ++c) {
            unsigned char v = g->bitmap.buffer[r * static_cast<unsigned>(g->bitmap.pitch) + c];
            if (v)
                canvas.blend(x + box.left + static_cast<int>(c), y - box.top + static_cast<int>(r), colour,
                             v / 255.0f);
        }
    return box;
}

float Font::draw(Canvas& canvas, std::string_view text, float x, float y, int pixel_size, Rgba colour)
{
    FT_Face face = impl_->face;
    FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(pixel_size));
    float pen = x;
    for (unsigned char ch : text) {
        if (FT_Load_Char(face, ch, FT_LOAD_RENDER) != 0)
            continue;
        FT_GlyphSlot g = face->glyph;
        int left = static_cast<int>(std::lround(pen)) + g->bitmap_left;
        int top = static_cast<int>(std::lround(y)) - g->bitmap_top;
        for (unsigned r = 0; r < g->bitmap.rows; ++r)
            for (unsigned c = 0; c < g->bitmap.width; ++c) {
                unsigned char v = g->bitmap.buffer[r * static_cast<unsigned>(g->bitmap.pitch) + c];
                if (v)
                    canvas.blend(left + static_cast<int>(c), top + static_cast<int>(r), colour, v / 255.0f);
            }
        pen += static_cast<float>(g->advance.x) / 64.0f;
    }
    return pen - x;
}

float Font::width(std::string_view text, int pixel_size)
{
    FT_Face face = impl_->face;
    FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(pixel_size));
    float w = 0;
    for (unsigned char ch : text)
        if (FT_Load_Char(face, ch, FT_LOAD_DEFAULT) == 0)
            w += static_cast<float>(face->glyph->advance.x) / 64.0f;
    return w;
}

void Font::draw_centred(Canvas& canvas, std::string_view text, float cx, float y, int pixel_size, Rgba colour)
{
    draw(canvas, text, cx - width(text, pixel_size) / 2, y, pixel_size, colour);
}

bool font_members(std::vector<core::SafMember>& out)
{
    auto font = Font::open(true);
    if (!font)
        return false;
    constexpr int cell = 32, size = 22, baseline = 24, left = 4;
    Canvas atlas(cell * 16, cell * 16, {1, 1, 1, 0});
    // Glyphs are drawn into a scratch cell first so that one reaching past
    // its cell is clipped to it instead of spilling into a neighbour.
    auto put_glyph = [&](unsigned code, Font::GlyphBox& box) {
        Canvas one(cell, cell, {1, 1, 1, 0});
        box = font->draw_code(one, code, left, baseline, size, {1, 1, 1, 1});
        int cx = static_cast<int>(code % 16) * cell, cy = static_cast<int>(code / 16) * cell;
        for (int y = 0; y < cell; ++y)
            for (int x = 0; x < cell; ++x)
                atlas.at(cx + x, cy + y) = one.at(x, y);
    };
    Font::GlyphBox cap;
    {
        Canvas scratch(cell, cell);
        cap = font->draw_code(scratch, 'H', left, baseline, size, {1, 1, 1, 1});
    }
    std::string metrics =
        "# Zarvox font: font.png holds 16 x 16 cells of 32 x 32 pixels; character\n"
        "# code c (Latin-1) is drawn in cell (c mod 16, c / 16), its baseline 24\n"
        "# pixels below the cell's top and its pen position at the cell's left\n"
        "# edge + 4. The glyphs are DejaVu Sans Bold at 22 pixels to the em;\n"
        "# capheight is the height of a capital letter above the baseline.\n"
        "cell 32\nsize 22\nbaseline 24\nleft 4\ncapheight " + std::to_string(cap.top) + "\n"
        "# char <code> <advance> <x0> <y0> <x1> <y1>: the advance in pixels and\n"
        "# the glyph's ink within its cell, columns x0..x1-1 and rows y0..y1-1\n"
        "# (all 0 when it has none).\n";
    auto add = [&](unsigned code) {
        Font::GlyphBox box;
        put_glyph(code, box);
        if (!box.ok)
            return;
        int x0 = std::clamp(left + box.left, 0, cell), x1 = std::clamp(left + box.left + box.width, 0, cell);
        int y0 = std::clamp(baseline - box.top, 0, cell), y1 = std::clamp(baseline - box.top + box.rows, 0, cell);
        if (x1 <= x0 || y1 <= y0)
            x0 = y0 = x1 = y1 = 0;
        metrics += "char " + std::to_string(code) + " " + num(box.advance) + " " + std::to_string(x0) + " " +
                   std::to_string(y0) + " " + std::to_string(x1) + " " + std::to_string(y1) + "\n";
    };
    for (unsigned c = 32; c < 127; ++c)
        add(c);
    for (unsigned c = 160; c < 256; ++c)
        add(c);
    out.push_back({"font.png", png_of(atlas, true, {{"Comment", "[mip_max_alpha]"}})});
    out.push_back({"font.txt", to_bytes(metrics)});
    return true;
}

}  // namespace zv::datagen
