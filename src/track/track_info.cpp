#include "track/track_info.h"

#include "core/data_file.h"
#include "core/digest.h"
#include "core/messages.h"
#include "track/timing.h"
#include "track/track.h"

namespace zv::track {

std::string format_track_info()
{
    if (!track_loaded())
        return {};
    const TrackTiming& t = track_timing();
    bool timed = t.has_timing();
    std::string out;
    out += "dir=" + current_track() + "\n";
    out += "longname=" + current_track_long_name() + "\n";
    out += "firstlap=" + std::to_string(timed ? t.first_count() : 0) + "\n";
    out += "normallap=" + std::to_string(timed ? t.normal_count() : 0) + "\n";
    out += "gatecount=" + std::to_string(t.gates.size()) + "\n";
    out += "hash=" + core::digest_hex(track_hash()) + "\n";
    return out;
}

bool save_track_info()
{
    if (!track_loaded())
        return false;
    std::string name = "@" + current_track() + ".trackinfo";
    core::DataFilePtr f = core::open_data_file(name, "wb");
    if (!f)
        return false;
    const bool written = core::write_text(*f, format_track_info());
    if (!core::commit_data_file(std::move(f), written)) {
        core::show_message("Can't write '%s.trackinfo'", current_track().c_str());
        return false;
    }
    core::show_message("Track info saved to %s.trackinfo", current_track().c_str());
    return true;
}

}  // namespace zv::track
