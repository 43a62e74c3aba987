#include "render/display_pictures.h"

#include <array>

namespace zv::render {

namespace {

constexpr std::array<std::string_view, k_display_picture_count> k_names = {
    "!@tach.png", "!@shifter.png", "!@pitboard.png", "!@title.png"};

struct Loaded {
    bool tried = false;
    TextureId id = 0;
};
std::array<Loaded, k_display_picture_count> g_loaded;

std::size_t index_of(DisplayPicture picture) { return static_cast<std::size_t>(picture); }

}  // namespace

std::string_view display_picture_name(DisplayPicture picture) { return k_names[index_of(picture)]; }

void load_display_pictures()
{
    for (int i = 0; i < k_display_picture_count; ++i)
        display_picture(static_cast<DisplayPicture>(i));
}

TextureId display_picture(DisplayPicture picture)
{
    Loaded& l = g_loaded[index_of(picture)];
    if (!l.tried) {
        l.tried = true;
        l.id = load_texture(k_names[index_of(picture)]);
    }
    return l.id;
}

void forget_display_pictures() { g_loaded.fill({}); }

}  // namespace zv::render
