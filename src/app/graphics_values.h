// The working graphics values derived from the graphics settings at start-up.
// Some command-line options replace them, so they are derived before the
// options are parsed.
#pragma once

#include <optional>

#include "core/settings.h"

namespace zv::app {

struct GraphicsValues {
    float ground_detail_factor = 0.0f;    // 0.125 / ground_detail
    int ground_texture_bias = 0;          // ground texture levels skipped, 0..10
    int ground_texture_resolution = 64;   // 32 .. 1024
    float lod_scale = 1.0f;               // model level-of-detail scale
    float lod_bias = 0.0f;                // model level-of-detail bias
    int model_texture_bias = 0;           // model texture levels skipped, 0..10
    int texture_compression = 0;          // "Compress Textures" index
    int roost_frequency = 1000;
    int reflections = 1;                  // "Enable Reflections" index
    // Terrain detail distances from "--max-detail-distance" (unset: the
    // terrain renderer's own).
    std::optional<float> detail_distance;
    std::optional<float> fade_distance;
};

// The process-wide values.
GraphicsValues& graphics_values();

// Computes the values from the graphics settings.
GraphicsValues derive_graphics_values(const core::Settings& s = core::settings());

}  // namespace zv::app
