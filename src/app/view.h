// What a frame shows: the title picture (or a plain title screen), the world
// through the renderer, the track editor's view (editor.h), and plain
// overlays (the view's name, "Paused",
// the open menu page).
#pragma once

#include <string_view>

namespace zv::app {

struct Game;

// The initial GL state of start-up: clear colour, culling, row alignment,
// flat shading with "--fugly".
void init_gl_state(bool flat_shading);
// Loads the head-up display pictures and the title picture ("!@title.png").
void load_display_pictures();
// Releases the pictures' textures (before the context goes).
void release_display_pictures();

// Window-pixel projection, origin top left.
void set_pixel_projection(int width, int height);

// The frame by view mode: the title screen; the world with the rider
// overlay in the rider, chase and track-camera views; the track editor's
// view in the editor; then, unless hidden, the head-up display's
// information layer with the message lines (`longest_frame` feeds the
// frame-rate line).
void draw_view(Game& g, int width, int height, double longest_frame, bool hide_hud);
// The view's name, "Paused" (unless hidden), the open menu page.
void draw_overlays(Game& g, int width, int height, bool hide_pause_text);
// glFinish when asked for.
void finish_frame(bool glfinish);

// The loading screen's picture: the title with the text over it.
void draw_loading_screen(std::string_view text, int width, int height);

}  // namespace zv::app
