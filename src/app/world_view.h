// The bridge from the main loop to the renderer: start-up and shutdown of
// the renderer, the generations around a track load, and one frame of the
// world in the current view mode with the head-up display over it.
//
// The main loop calls, in order: init_world_view once the GL context exists
// (after init_gl_state); begin_track_view / end_track_view around
// track::load_track in the session loader; draw_world_view in place of the
// ground view for the rider, chase and track-camera modes, then
// draw_info_layer_for in every view; and shutdown_world_view before the
// context goes.
#pragma once

#include <cstddef>

#include "app/main_loop.h"
#include "render/camera.h"

namespace zv::app {

void init_world_view();
void shutdown_world_view();
void begin_track_view();
void end_track_view();
// Bytes of texture memory the loaded textures take.
std::size_t texture_memory_used();

// Draws the world from the view mode's camera, the rider overlay in the
// rider view (unless the head-up display is hidden) and, over the track
// cameras, the broadcast ticker and the local rider's pending text.
void draw_world_view(Game& g, int width, int height);
// The head-up display's information layer over any view, message lines
// included; `longest_frame` feeds the frame-rate line.
void draw_info_layer_for(const Game& g, int width, int height, double longest_frame);

// Moves the flaggers and picks their pictures for the tick counter.
void update_flaggers_at(int tick);

// The camera the last drawn frame used (the listener of the engine sounds).
const render::Camera& view_camera();

// The budgeted refresh of the terrain after height changes (8000 a frame).
void refresh_world_view();

}  // namespace zv::app
