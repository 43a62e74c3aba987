#include "track/track_list.h"

#include "core/data_file.h"
#include "platform/log.h"

#include <algorithm>
#include <array>
#include <numeric>
#include <set>

namespace zv::track {

namespace {

constexpr std::array<std::string_view, 4> k_terrain_endings = {
    "/terrain.hf", "/terrain.hf.gz", "/terrain.hf.scram", "/terrain.hf.gz.scram"};

constexpr std::size_t k_max_display_name = 1023;

}  // namespace

std::string track_folder_of(std::string_view name)
{
    for (std::string_view end : k_terrain_endings) {
        if (name.size() > end.size() && name.ends_with(end))
            return std::string(name.substr(0, name.size() - end.size()));
    }
    return {};
}

std::string track_display_name(const std::string& folder)
{
    core::DataFilePtr f = core::open_data_file("@" + folder + "/desc", "rb");
    if (!f)
        return folder;
    std::string line;
    for (;;) {
        int c = core::read_char(*f);
        if (c < 0 || c == '\r' || c == '\n' || c == '\0' || line.size() >= k_max_display_name)
            break;
        line += static_cast<char>(c);
    }
    // A blank first line would leave an empty menu entry: show the folder.
    return line.empty() ? folder : line;
}

TrackList build_track_list(const std::vector<std::string>& names, int debug_level)
{
    // One folder may hold several forms of its terrain file; it is one track.
    auto less_name = [](const std::string& a, const std::string& b) {
        return core::compare_names(a, b) < 0;
    };
    std::set<std::string, decltype(less_name)> seen(less_name);
    std::vector<std::string> folders;
    for (const std::string& name : names) {
        std::string folder = track_folder_of(name);
        if (!folder.empty() && seen.insert(folder).second)
            folders.push_back(std::move(folder));
    }

    std::vector<std::string> display;
    display.reserve(folders.size());
    for (const std::string& folder : folders)
        display.push_back(track_display_name(folder));

    // Equal display names (ignoring case) fall back to the display name's
    // bytes and then the folder, so the order never depends on the input order.
    std::vector<std::size_t> order(folders.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        if (int c = core::compare_names(display[a], display[b]))
            return c < 0;
        if (display[a] != display[b])
            return display[a] < display[b];
        return folders[a] < folders[b];
    });

    TrackList list;
    list.folders.reserve(order.size());
    list.names.reserve(order.size());
    for (std::size_t i : order) {
        list.folders.push_back(std::move(folders[i]));
        list.names.push_back(std::move(display[i]));
    }
    if (debug_level >= 1) {
        for (std::size_t i = 0; i < list.size(); ++i)
            platform::log_printf("%s -> %s\n", list.folders[i].c_str(), list.names[i].c_str());
    }
    return list;
}

int find_track(const TrackList& tracks, std::string_view folder)
{
    for (std::size_t i = 0; i < tracks.size(); ++i)
        if (tracks.folders[i] == folder)
            return static_cast<int>(i);
    return -1;
}

}  // namespace zv::track
