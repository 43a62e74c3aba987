// Showing a folder to the user in the desktop's file manager.
#pragma once

namespace zv::platform {

// Starts "xdg-open path" in the background (found through PATH; the path is
// passed as one argument, never through a shell). Returns false when
// xdg-open could not be started.
bool open_in_file_manager(const char* path);

}  // namespace zv::platform
