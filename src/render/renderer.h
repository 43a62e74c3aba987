// The renderer's life: start-up after the GL context exists (capabilities,
// shader programs, texture settings, the track's resource loader and terrain
// hooks), the generations around each track load, and shutdown.
#pragma once

namespace zv::render {

struct RendererOptions {
    bool use_shaders = true;    // the "Use Shader Programs" setting
    bool vertex_arrays = true;  // false with "--novertexarrays"
    bool print_orientation = false;
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
