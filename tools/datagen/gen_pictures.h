// Pictures of the head-up display and the title screen, the sky, roost and
// flagger pictures, the trackside objects (starting gate, statues) with their
// textures and shapes, billboard pictures and the engine sound defaults.
#pragma once

#include "core/saf_writer.h"

#include <vector>

namespace zv::datagen {

bool display_picture_members(std::vector<core::SafMember>& out);  // false without the font
void sky_members(std::vector<core::SafMember>& out);
void effect_members(std::vector<core::SafMember>& out);           // roost, colours, flaggers
void trackside_members(std::vector<core::SafMember>& out);        // gate, statues, billboards
void engine_sound_members(std::vector<core::SafMember>& out);

// The statue kinds a track can place: model, texture and shape names.
struct StatueKind {
    const char* model;
    const char* texture;
    const char* shape;
};
extern const StatueKind k_hay_bale, k_tuff_block, k_banner, k_tent;

}  // namespace zv::datagen
