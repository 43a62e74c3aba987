// The track info file: folder, long name, lap-list lengths, starting gate
// count and track hash of the loaded track, written on request ("@" + folder
// + ".trackinfo") and never read back.
#pragma once

#include <string>

namespace zv::track {

// The six lines of the file for the loaded track; "" when none is loaded.
std::string format_track_info();

// Writes the file and shows "Track info saved to <folder>.trackinfo". Does
// nothing without a loaded track or when the file cannot be created.
bool save_track_info();

}  // namespace zv::track
