// What a desktop needs to list the game: the ".desktop" entry and the icon
// in the sizes the icon theme keeps.
#pragma once

#include "core/saf_writer.h"

#include <vector>

namespace zv::datagen {

// The icon sizes written, in pixels (square).
inline constexpr int k_icon_sizes[] = {48, 256};

// "desktop/zarvox.desktop" and "desktop/zarvox-<size>.png" for each size.
std::vector<core::SafMember> desktop_files();

}  // namespace zv::datagen
