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
    constexpr int cell = 32, size = 22, baseline = 24;
    Canvas atlas(cell * 16, cell * 16, {1, 1, 1, 0});
    std::string metrics =
        "# Zarvox font: font.png holds 16 x 16 cells of 32 x 32 pixels; character\n"
        "# code c is drawn in cell (c mod 16, c / 16), its baseline 24 pixels below\n"
        "# the cell's top and its pen position at the cell's left edge + 4.\n"
        "cell 32\nsize 22\nbaseline 24\nleft 4\n"
        "# char <code> <advance in pixels>\n";
    for (int c = 32; c < 127; ++c) {
        char s[2] = {static_cast<char>(c), 0};
        float x = static_cast<float>((c % 16) * cell + 4);
        float y = static_cast<float>((c / 16) * cell + baseline);
        float adv = font->draw(atlas, s, x, y, size, {1, 1, 1, 1});
        metrics += "char " + std::to_string(c) + " " + num(adv) + "\n";
    }
    out.push_back({"font.png", png_of(atlas, true, {{"Comment", "[mip_max_alpha]"}})});
    out.push_back({"font.txt", to_bytes(metrics)});
    return true;
}

}  // namespace zv::datagen
