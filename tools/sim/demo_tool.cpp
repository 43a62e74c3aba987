// --demo FILE: looks into a demo file. With --info it prints the header and
// what the data part holds; with --at TICK it plays the file through the
// player and the state history up to that tick and prints where each rider's
// bike frame is drawn then.
#include "race_mode.h"
#include "sim_cli.h"
#include "sim_track.h"

#include "replay/demo_player.h"
#include "replay/demo_scan.h"
#include "replay/history.h"
#include "replay/state_record.h"
#include "track/terrain.h"
#include "track/track.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace zv::sim_tool {

namespace {

std::string json_string(std::string_view s)
{
    std::string out = "\"";
    for (char c : s) {
        auto u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (u < 0x20 || u == 0x7F) {
            char esc[8];
            std::snprintf(esc, sizeof esc, "\\u%04x", u);
            out += esc;
        } else {
            out += c;
        }
    }
    out += '"';
    return out;
}

void print_info_text(const replay::DemoScan& s)
{
    const replay::DemoHeader& h = s.header;
    std::printf("version=%d\nriders=%d\nrace_length=%d\nlaps=%d\nstart_tick=%d\ntrack=%s\n", h.version,
                static_cast<int>(h.riders.size()), h.race_length_ticks, h.laps, h.start_tick, h.track.c_str());
    for (std::size_t i = 0; i < h.riders.size(); ++i) {
        const replay::DemoRider& r = h.riders[i];
        std::printf("rider%zu=%s\nrider%zu_number=%s\nrider%zu_name=%s\nrider%zu_states=%lld\n", i,
                    r.description.c_str(), i, r.number.c_str(), i, r.name.c_str(), i, s.states[i]);
    }
    if (h.version == replay::k_demo_version)
        std::printf("blocks=%lld\nstate_blocks=%lld\nmessage_blocks=%lld\nbad_blocks=%lld\n", s.blocks,
                    s.state_blocks, s.message_blocks, s.bad_blocks);
    else
        std::printf("frames=%lld\n", s.frames);
    std::printf("stray_states=%lld\ntruncated=%s\n", s.stray_states, s.truncated ? "yes" : "no");
    if (s.has_ticks)
        std::printf("first_tick=%d\nlast_tick=%d\n", s.first_tick, s.last_tick);
}

void print_info_json(const replay::DemoScan& s)
{
    const replay::DemoHeader& h = s.header;
    std::printf("{\"version\": %d, \"race_length\": %d, \"laps\": %d, \"start_tick\": %d, \"track\": %s, \"riders\": [",
                h.version, h.race_length_ticks, h.laps, h.start_tick, json_string(h.track).c_str());
    for (std::size_t i = 0; i < h.riders.size(); ++i) {
        const replay::DemoRider& r = h.riders[i];
        std::printf("%s{\"description\": %s, \"bike\": %s, \"rider_texture\": %s, \"bike_texture\": %s, "
                    "\"wheel_texture\": %s, \"head_texture\": %s, \"number\": %s, \"name\": %s, \"states\": %lld}",
                    i ? ", " : "", json_string(r.description).c_str(), json_string(r.bike).c_str(),
                    json_string(r.rider_texture).c_str(), json_string(r.bike_texture).c_str(),
                    json_string(r.wheel_texture).c_str(), json_string(r.head_texture).c_str(),
                    json_string(r.number).c_str(), json_string(r.name).c_str(), s.states[i]);
    }
    std::printf("], \"blocks\": %lld, \"state_blocks\": %lld, \"message_blocks\": %lld, \"bad_blocks\": %lld, "
                "\"frames\": %lld, \"stray_states\": %lld, \"truncated\": %s, ",
                s.blocks, s.state_blocks, s.message_blocks, s.bad_blocks, s.frames, s.stray_states,
                s.truncated ? "true" : "false");
    if (s.has_ticks)
        std::printf("\"first_tick\": %d, \"last_tick\": %d}\n", s.first_tick, s.last_tick);
    else
        std::printf("\"first_tick\": null, \"last_tick\": null}\n");
}

int run_info(const std::string& file, bool json)
{
    std::optional<replay::DemoScan> s = replay::scan_demo(file);
    if (!s) {
        std::fprintf(stderr, "zarvox-sim: '%s' is missing or not a demo\n", file.c_str());
        return k_exit_failure;
    }
    if (json)
        print_info_json(*s);
    else
        print_info_text(*s);
    return 0;
}

// Recorded messages are not part of what --at reports.
void quiet(std::string_view, void*) {}

int run_at(const std::string& file, const std::string& at_text, bool json)
{
    char* end = nullptr;
    errno = 0;
    long at = std::strtol(at_text.c_str(), &end, 10);
    if (at_text.empty() || *end != '\0' || errno != 0 || at < 0 || at > INT_MAX - 1) {
        std::fprintf(stderr, "zarvox-sim: --at needs a tick from 0 up\n");
        return k_exit_failure;
    }
    replay::DemoPlayer player;
    player.on_message = quiet;
    if (!replay::open_demo_playback(player, file)) {
        std::fprintf(stderr, "zarvox-sim: '%s' is missing or not a demo\n", file.c_str());
        return k_exit_failure;
    }
    // Positions are fractions of the terrain the demo was recorded on.
    if (!load_named_track(player.header.track))
        return k_exit_failure;
    replay::RecordScale scale;
    scale.side = track::loaded_terrain().field_size > 0 ? track::loaded_terrain().field_size : 1.0f;
    scale.min_height = track::loaded_terrain().min_height;

    replay::clear_history();
    int clock = 0;
    replay::play_demo_tick(player, clock);  // a first state block sets the clock
    while (clock < at) {
        ++clock;
        replay::play_demo_tick(player, clock);
    }
    const int display = static_cast<int>(at);
    if (json)
        std::printf("{\"tick\": %d, \"clock\": %d, \"riders\": [", display, clock);
    for (std::size_t i = 0; i < player.slots.size(); ++i) {
        std::optional<replay::Pose> p = replay::pose_for_tick(player.slots[i], display);
        if (json) {
            std::printf("%s", i ? ", " : "");
            if (!p) {
                std::printf("{\"rider\": %zu, \"pose\": null}", i);
                continue;
            }
            sim::Vec3 v = replay::record_frame_position(p->record, scale);
            std::printf("{\"rider\": %zu, \"x\": %.4f, \"y\": %.4f, \"z\": %.4f, \"older_tick\": %d, "
                        "\"newer_tick\": %d}",
                        i, static_cast<double>(v.x), static_cast<double>(v.y), static_cast<double>(v.z),
                        p->older_tick, p->newer_tick);
        } else if (!p) {
            std::printf("rider%zu none\n", i);
        } else {
            sim::Vec3 v = replay::record_frame_position(p->record, scale);
            std::printf("rider%zu x=%.4f y=%.4f z=%.4f\n", i, static_cast<double>(v.x),
                        static_cast<double>(v.y), static_cast<double>(v.z));
        }
    }
    if (json)
        std::printf("]}\n");
    replay::close_demo_playback(player);
    track::free_track();
    return 0;
}

int run_demo(const Options& options)
{
    const std::string file = options.value("--demo");
    const bool json = options.has("--json");
    if (options.has("--info"))
        return run_info(file, json);
    if (options.has("--at"))
        return run_at(file, options.value("--at"), json);
    if (options.has("--race"))
        return run_race_mode(options);
    std::fprintf(stderr, "zarvox-sim: --demo needs --info, --at TICK or --race\n");
    return k_exit_failure;
}

const bool registered_options = register_options({
    {"--at", true, "TICK", "with --demo: play up to the tick and print each rider's frame position"},
    {"--json", false, {}, "print one JSON object"},
});
const bool registered = registered_options &&
                        register_subject_mode({"--demo", "look into a demo file (with --info or --at), or play its race (with --race)", run_demo}, "FILE");

}  // namespace

}  // namespace zv::sim_tool
