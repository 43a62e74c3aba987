#include "sim_track.h"

#include "core/data_file.h"
#include "core/messages.h"
#include "track/track.h"

#include <algorithm>
#include <cstdio>

namespace zv::sim_tool {

namespace {

constexpr std::string_view k_terrain_names[] = {"/terrain.hf", "/terrain.hf.gz",
                                                "/terrain.hf.scram", "/terrain.hf.gz.scram"};

std::string first_line_of_desc(const std::string& folder)
{
    core::DataFilePtr f = core::open_data_file("@" + folder + "/desc", "rb");
    if (!f)
        return folder;
    std::string line;
    for (;;) {
        int c = core::read_char(*f);
        if (c < 0 || c == '\r' || c == '\n' || c == '\0' || line.size() >= 1023)
            break;
        line.push_back(static_cast<char>(c));
    }
    return line.empty() ? folder : line;
}

}  // namespace

std::string terrain_folder(std::string_view name)
{
    for (std::string_view tail : k_terrain_names)
        if (name.size() > tail.size() && name.substr(name.size() - tail.size()) == tail)
            return std::string(name.substr(0, name.size() - tail.size()));
    return {};
}

TrackListing list_tracks()
{
    TrackListing out;
    for (const std::string& name : core::working_set()) {
        std::string folder = terrain_folder(name);
        if (folder.empty() ||
            std::find(out.folders.begin(), out.folders.end(), folder) != out.folders.end())
            continue;
        out.long_names.push_back(first_line_of_desc(folder));
        out.folders.push_back(std::move(folder));
    }
    return out;
}

bool load_named_track(std::string_view folder)
{
    TrackListing tracks = list_tracks();
    if (std::find(tracks.folders.begin(), tracks.folders.end(), folder) == tracks.folders.end()) {
        std::fprintf(stderr, "zarvox-sim: no track '%.*s'\n", static_cast<int>(folder.size()),
                     folder.data());
        return false;
    }
    track::set_track_list(std::move(tracks.folders), std::move(tracks.long_names));
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
