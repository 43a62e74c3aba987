// The renderer's life: start-up after the GL context exists (capabilities,
// shader programs, texture settings, the track's resource loader and terrain
// hooks), the generations around each track load, and shutdown.
#pragma once

#include "render/terrain_lod.h"

namespace zv::render {

struct RendererOptions {
    bool use_shaders = true;    // the "Use Shader Programs" setting
    bool vertex_arrays = true;  // false with "--novertexarrays"
    bool print_orientation = false;
    // The detail values of start-up ("Model Texture Detail", "Model
    // Geometric Detail" and "Ground Geometric Detail", or the options that
    // replace them). The defaults are those of the default settings.
    int model_texture_bias = 1;     // top texture levels skipped ("--texture-detail")
    float lod_scale = 1.0f;         // "--lod-scale"
    float lod_bias = 0.0f;          // "--lod-bias"
    float ground_detail_factor = k_default_detail_factor;  // "--detail"
    float detail_distance = 0;      // "--max-detail-distance" (0: none)
    float fade_distance = 0;        // and its fade-out distance
};

// Call once the GL context is current.
void init_renderer(const RendererOptions& options);
// Releases every texture, model and shader program (before the context goes).
void shutdown_renderer();

// Around a track load: advances the texture and model generations and
// zeroes the texture memory counter; afterwards releases what the new track
// did not ask for again.
void begin_track_load();
void end_track_load();

}  // namespace zv::render
