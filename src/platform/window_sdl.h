// The window layer's SDL handle for the OpenGL context. Not for the game.
#pragma once

#include <SDL.h>

namespace zv::platform {

SDL_Window* sdl_window();
// The size of full screen at width x height (the closest display mode), or
// at the desktop's mode when both are 0; w and h are kept when the system
// knows neither.
void fullscreen_size(int width, int height, int& w, int& h);

}  // namespace zv::platform
