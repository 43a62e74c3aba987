// Changing the open window's mode while the game runs: a window of a given
// size, or full screen at a display mode or at the desktop's own.
#pragma once

namespace zv::platform {

// Width and height 0 with fullscreen mean the desktop's mode. False (with
// the reason in the log) when the system refused the change.
bool set_window_mode(int width, int height, bool fullscreen);

}  // namespace zv::platform
