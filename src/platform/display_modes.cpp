#include "platform/display_modes.h"

#include <SDL.h>

#include <cstdlib>
#include <initializer_list>


namespace zv::platform {

bool display_available()
{
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"}) {
        const char* value = std::getenv(name);
        if (value && *value)
            return true;
    }
    return false;
}

std::vector<DisplayMode> display_modes()
{
    std::vector<DisplayMode> modes;
    if (!display_available())
        return modes;
    // Start the video subsystem only for the question when nobody else has.
    bool started_here = SDL_WasInit(SDL_INIT_VIDEO) == 0;
    if (started_here && SDL_InitSubSystem(SDL_INIT_VIDEO) != 0)
        return modes;
    int count = SDL_GetNumDisplayModes(0);
    for (int i = 0; i < count; ++i) {
        SDL_DisplayMode m{};
        if (SDL_GetDisplayMode(0, i, &m) == 0)
            modes.push_back({m.w, m.h, static_cast<int>(SDL_BITSPERPIXEL(m.format))});
    }
    if (started_here)
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
    return modes;
}

}  // namespace zv::platform
