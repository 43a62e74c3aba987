// The window layer's SDL handle for the OpenGL context. Not for the game.
#pragma once

#include <SDL.h>

namespace zv::platform {

SDL_Window* sdl_window();

}  // namespace zv::platform
