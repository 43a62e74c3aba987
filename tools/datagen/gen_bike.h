// The bike and rider art: models, collision shapes and textures for every
// name the built-in bike rows use, the seven generic physics shapes, paints
// for every paint prefix and the riding-gear variants.
#pragma once

#include "core/saf_writer.h"

#include <vector>

namespace zv::datagen {

// The seven generic shapes, in the order of the start-up check.
void generic_shape_members(std::vector<core::SafMember>& out);
// Models and shapes named by the bike rows.
void bike_model_members(std::vector<core::SafMember>& out);
// Bike, wheel and riding-gear textures.
void bike_texture_members(std::vector<core::SafMember>& out);

}  // namespace zv::datagen
