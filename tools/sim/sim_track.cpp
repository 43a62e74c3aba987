#include "sim_track.h"

#include "core/data_file.h"
#include "core/messages.h"
#include "track/track.h"
#include "track/track_list.h"

#include <cstdio>

namespace zv::sim_tool {

bool load_named_track(std::string_view folder)
{
    track::TrackList tracks = track::build_track_list(core::working_set(), 0);
    if (track::find_track(tracks, folder) < 0) {
        std::fprintf(stderr, "zarvox-sim: no track '%.*s'\n", static_cast<int>(folder.size()),
                     folder.data());
        return false;
    }
    track::set_track_list(std::move(tracks.folders), std::move(tracks.names));
    track::set_current_track(folder);
    core::clear_messages();
    if (track::load_track())
        return true;
    // The load's own messages, oldest first.
    int lines = 0;
    while (lines < core::k_message_ring_lines && *core::message_line(lines))
        ++lines;
    for (int back = lines - 1; back >= 0; --back)
        std::fprintf(stderr, "%s\n", core::message_line(back));
    if (lines == 0)
        std::fprintf(stderr, "zarvox-sim: track '%.*s' failed to load\n",
                     static_cast<int>(folder.size()), folder.data());
    return false;
}

}  // namespace zv::sim_tool
