// The full-screen display modes of the first display, read before any window
// is open.
#pragma once

#include <vector>

namespace zv::platform {

struct DisplayMode {
    int width = 0;
    int height = 0;
    int depth = 0;  // colour bits per pixel
};

// True when DISPLAY or WAYLAND_DISPLAY names a display to talk to.
bool display_available();

// The modes in the order the system lists them (largest first); empty when
// there is no display to ask.
std::vector<DisplayMode> display_modes();

}  // namespace zv::platform
