#include "platform/window_mode.h"

#include "platform/log.h"
#include "platform/window_sdl.h"

namespace zv::platform {

bool set_window_mode(int width, int height, bool fullscreen)
{
    SDL_Window* w = sdl_window();
    if (!w)
        return false;
    if (!fullscreen) {
        if (SDL_SetWindowFullscreen(w, 0) != 0) {
            log_error(SDL_GetError());
            return false;
        }
        if (width > 0 && height > 0)
            SDL_SetWindowSize(w, width, height);
        return true;
    }
    if (width > 0 && height > 0) {
        SDL_DisplayMode want{0, width, height, 0, nullptr};
        SDL_DisplayMode got{};
        if (SDL_GetClosestDisplayMode(0, &want, &got))
            SDL_SetWindowDisplayMode(w, &got);
    }
    // Without a window manager nothing resizes the window for full screen;
    // sized and placed first, it covers the screen either way.
    if (!(SDL_GetWindowFlags(w) & (SDL_WINDOW_FULLSCREEN | SDL_WINDOW_FULLSCREEN_DESKTOP))) {
        int fw = 0, fh = 0;
        SDL_GetWindowSize(w, &fw, &fh);
        fullscreen_size(width, height, fw, fh);
        SDL_SetWindowPosition(w, 0, 0);
        SDL_SetWindowSize(w, fw, fh);
    }
    if (SDL_SetWindowFullscreen(w, width > 0 && height > 0 ? SDL_WINDOW_FULLSCREEN : SDL_WINDOW_FULLSCREEN_DESKTOP) != 0) {
        log_error(SDL_GetError());
        return false;
    }
    return true;
}

}  // namespace zv::platform
