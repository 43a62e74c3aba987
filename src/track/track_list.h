// The track list: every folder of the working set that holds a terrain file,
// with the display name from the folder's "desc" file.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace zv::track {

// Two parallel arrays sorted together by display name (case-insensitively).
struct TrackList {
    std::vector<std::string> folders;  // without the trailing "/"
    std::vector<std::string> names;    // display names
    std::size_t size() const { return folders.size(); }
    bool empty() const { return folders.empty(); }
};

// The track folder of a working-set name ending in "/terrain.hf", ".gz",
// ".scram" or ".gz.scram"; empty when the name is not a terrain file.
std::string track_folder_of(std::string_view name);

// First line of "@<folder>/desc" (up to CR, LF, NUL or the end, at most 1023
// characters); the folder name when the file is missing or the line empty.
std::string track_display_name(const std::string& folder);

// Builds the list from the working-set names. At debug level 1 or more logs
// "<folder> -> <display name>" per track, in list order.
TrackList build_track_list(const std::vector<std::string>& names, int debug_level);

// Index of the first track whose folder equals `folder`, or -1.
int find_track(const TrackList& tracks, std::string_view folder);

}  // namespace zv::track
