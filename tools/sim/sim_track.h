// Finding and loading a track for the headless modes.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace zv::sim_tool {

struct TrackListing {
    std::vector<std::string> folders;     // as in the game's track list
    std::vector<std::string> long_names;  // parallel to folders
};

// The track folder of a working-set name ending in "/terrain.hf" or one of
// its ".gz", ".scram" and ".gz.scram" variants; "" otherwise.
std::string terrain_folder(std::string_view name);

// Every track of the game data (working-set order), with the first line of
// each folder's "desc" as its long name (the folder name without one).
TrackListing list_tracks();

// Loads the named track headless. On failure writes the reason (the load's
// messages, or that no such track exists) to standard error and returns false.
bool load_named_track(std::string_view folder);

}  // namespace zv::sim_tool
