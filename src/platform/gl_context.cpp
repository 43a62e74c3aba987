#include "platform/gl_context.h"

#include <SDL.h>

#include "platform/log.h"
#include "platform/window_sdl.h"

namespace zv::platform {

namespace {

SDL_GLContext g_context = nullptr;

}  // namespace

bool create_gl_context()
{
    if (g_context)
        return true;
    SDL_Window* window = sdl_window();
    if (!window) {
        log_printf("Can't create DC\n");
        return false;
    }
    log_printf("Choosing pixel format\n");
    Uint32 format = SDL_GetWindowPixelFormat(window);
    if (format == SDL_PIXELFORMAT_UNKNOWN) {
        log_printf("No suitable pixel formats found\n");
        return false;
    }
    log_printf("Setting pixel format %d\n", static_cast<int>(format));
    log_printf("Creating OpenGL context\n");
    g_context = SDL_GL_CreateContext(window);
    if (!g_context) {
        log_printf("Couldn't create OpenGL context\n");
        log_error(SDL_GetError());
        return false;
    }
    if (SDL_GL_MakeCurrent(window, g_context) != 0) {
        log_printf("Can't set pixel format\n");
        log_error(SDL_GetError());
        SDL_GL_DeleteContext(g_context);
        g_context = nullptr;
        return false;
    }
    // The main loop paces itself; wait for the display where it can.
    SDL_GL_SetSwapInterval(1);
    return true;
}

void delete_gl_context()
{
    if (!g_context)
        return;
    log_printf("Deleting OpenGL context\n");
    SDL_GL_MakeCurrent(sdl_window(), nullptr);
    SDL_GL_DeleteContext(g_context);
    g_context = nullptr;
}

bool gl_context_ready() { return g_context != nullptr; }

void* gl_proc_address(const char* name) { return g_context ? SDL_GL_GetProcAddress(name) : nullptr; }

}  // namespace zv::platform
