// The pictures of the head-up display and the title screen. They go through
// the texture loader like every other image (".info" side files, mip chain,
// the cache and the texture memory count, J6/J7, PPM and LINK files), named
// with '!' so detail reduction spares them, and are loaded at start-up while
// the generation is still 0, which keeps them for the whole run.
#pragma once

#include <string_view>

#include "render/textures.h"

namespace zv::render {

enum class DisplayPicture { tach, shifter, pit_board, title };
inline constexpr int k_display_picture_count = 4;

// "!@tach.png", "!@shifter.png", "!@pitboard.png", "!@title.png".
std::string_view display_picture_name(DisplayPicture picture);

// Loads all four (start-up, before any track).
void load_display_pictures();
// The picture's texture, 0 when it cannot be loaded. The first request
// loads it; a picture that failed is not tried again, so a later request
// never makes a texture that the next track change would free.
TextureId display_picture(DisplayPicture picture);
// Forgets the textures (they are gone with every texture at shutdown).
void forget_display_pictures();

}  // namespace zv::render
