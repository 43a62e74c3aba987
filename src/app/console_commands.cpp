// run_console_line: chat for the race server, or a console command when the
// line begins with "/" or "\".
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include "app/camera_keys.h"
#include "app/chat_line.h"
#include "app/console.h"
#include "app/console_internal.h"
#include "app/console_pipe.h"
#include "app/hud.h"
#include "app/main_loop.h"
#include "race/riders.h"
#include "app/race_session.h"
#include "app/startup_flags.h"
#include "core/messages.h"
#include "core/settings.h"
#include "render/render_stats.h"
#include "sim/bike.h"
#include "sim/world.h"
#include "track/track_info.h"

namespace zv::app {

namespace {

constexpr double k_chat_interval = 2.0;  // seconds of game clock between chat lines

// How a keyword is found at the start of the command text.
enum class Match {
    exact,   // the whole command, nothing after it
    prefix,  // the arguments start right after the keyword
    word,    // leading blanks allowed, then a blank or the end after it
};

using Handler = void (*)(Game& g, const char* args);

struct Command {
    const char* keyword;
    Match match;
    Handler run;
};

void show_switch(const char* feature, bool on)
{
    if (on)
        core::show_message("%.60s ON", feature);
    else
        core::show_message("%.60s OFF", feature);
}

void toggle_int(int& value, const char* feature)
{
    value = value ? 0 : 1;
    show_switch(feature, value != 0);
}

sim::Bike* viewed_bike(Game& g)
{
    if (g.viewed < 0 || g.viewed >= race::k_rider_slot_count)
        return nullptr;
    return race::rider_slot(g.viewed).bike.get();
}

std::int32_t current_tick()
{
    const sim::SimWorld* world = race::physics_world();
    return world ? world->tick : 0;
}

// ---- the commands ----

void cmd_savetrackinfo(Game&, const char*) { track::save_track_info(); }

void cmd_renderstats(Game&, const char*)
{
    startup_flags().render_stats_level = 1;
    render::reset_max_stats();
}

void cmd_togglespy(Game&, const char*) { toggle_int(core::settings().spy, "Spy mode"); }

void cmd_togglegraph(Game&, const char*)
{
    toggle_suspension_graph();
    show_switch("Suspension graph", suspension_graph_shown());
}

void cmd_bbopt(Game&, const char* args)
{
    int w = 0;
    if (!core::scan_int(args, w))
        return;
    core::settings().billboard_optimize_lookahead = w;
    core::show_message("Billboard optimization window is now %d", w);
}

void cmd_pipe(Game& g, const char* args)
{
    sim::Bike* bike = viewed_bike(g);
    if (!bike)
        return;
    const char* engine_class = bike->info.bike_class ? bike->info.bike_class : "";
    set_pipe_from_text(pipe_parameters()[static_cast<std::size_t>(g.viewed)], engine_class, args);
    core::show_message("Pipe updated");
}

void cmd_camangle(Game& g, const char* args)
{
    if (!viewed_bike(g))
        return;
    double yaw = 0, pitch = 0;
    int n = std::sscanf(args, "%lf %lf", &yaw, &pitch);
    if (n != 2 || !std::isfinite(yaw) || !std::isfinite(pitch)) {
        core::show_message("Usage: camangle <yaw> <pitch>");
        return;
    }
    aim_free_camera(yaw, pitch);
    core::show_message("Camera aimed");
}

void cmd_fov(Game&, const char* args)
{
    double fov = 0;
    if (!core::scan_number(args, fov)) {
        core::show_message("Usage: fov <degrees>");
        return;
    }
    core::settings().fov.set(fov);
    core::show_message("fov set");
}

void cmd_fpshist(Game& g, const char*)
{
    std::string text;
    auto& counters = g.stats.histogram;
    for (int k = 0; k < k_frame_histogram_size; ++k) {
        char pair[32];
        std::snprintf(pair, sizeof pair, "%d=%d ", 128 >> k, counters[static_cast<std::size_t>(k)]);
        text += pair;
    }
    core::show_message("%s", text.c_str());
    counters.fill(0);
}

void cmd_forcereload(Game&, const char*)
{
    race::force_track_reload();
    core::show_message("Track will be reloaded on next restart");
}

void cmd_addkey(Game&, const char*)
{
    add_keyframe_from_free_camera(static_cast<float>(core::settings().fov.value), current_tick());
    core::show_message("Keyframe added");
}

void cmd_deletekey(Game&, const char*)
{
    delete_keyframe(current_tick());
    core::show_message("Keyframe deleted");
}

void cmd_clearkeys(Game&, const char*)
{
    clear_keyframes();
    core::show_message("Keyframes cleared");
}

void cmd_listkeys(Game&, const char*)
{
    for (const std::string& line : keyframe_lines())
        core::show_message("%s", line.c_str());
}

void cmd_togglekeycam(Game&, const char*)
{
    set_keyframe_camera(!keyframe_camera_on());
    show_switch("Keycam mode", keyframe_camera_on());
}

void cmd_togglefps(Game&, const char*) { toggle_int(core::settings().draw_fps, "FPS display"); }
void cmd_toggletime(Game&, const char*) { toggle_int(core::settings().draw_time, "Time display"); }
void cmd_toggleping(Game&, const char*) { toggle_int(core::settings().draw_ping, "Ping display"); }
void cmd_togglespeed(Game&, const char*) { toggle_int(core::settings().draw_speed, "Speed display"); }

void cmd_messagelines(Game&, const char* args)
{
    int n = 0;
    if (!core::scan_int(args, n))
        return;
    // The message list cannot show fewer than none or more than its ring.
    n = std::clamp(n, 0, core::k_message_ring_lines);
    core::settings().message_lines = n;
    core::set_message_line_limit(n);
    core::show_message("Maximum showing messages is now %d", n);
}

void cmd_demobackups(Game&, const char* args)
{
    int n = 0;
    if (!core::scan_int(args, n))
        return;
    n = std::clamp(n, 0, k_max_demo_backups);
    core::settings().demo_backups = n;
    core::show_message("Now keeping %d demo backups", n);
}

void cmd_mapscale(Game&, const char* args)
{
    double scale = 0;
    if (!core::scan_number(args, scale))
        return;
    core::set_map_scale(scale);
    core::show_message("Map scale set to %f", static_cast<double>(core::settings().map_scale));
}

// In matching order; the last five take blanks before them.
const Command k_commands[] = {
    {"savetrackinfo", Match::exact, cmd_savetrackinfo},
    {"renderstats", Match::exact, cmd_renderstats},
    {"togglespy", Match::exact, cmd_togglespy},
    {"togglegraph", Match::exact, cmd_togglegraph},
    {"bbopt", Match::prefix, cmd_bbopt},
    {"pipe", Match::prefix, cmd_pipe},
    {"namedemo", Match::prefix, console_namedemo},
    {"camangle", Match::prefix, cmd_camangle},
    {"fov", Match::prefix, cmd_fov},
    {"fpshist", Match::prefix, cmd_fpshist},
    {"forcereload", Match::exact, cmd_forcereload},
    {"readsetup", Match::prefix, console_readsetup},
    {"writesetup", Match::prefix, console_writesetup},
    {"addkey", Match::exact, cmd_addkey},
    {"deletekey", Match::exact, cmd_deletekey},
    {"rmkey", Match::exact, cmd_deletekey},
    {"clearkeys", Match::exact, cmd_clearkeys},
    {"listkeys", Match::exact, cmd_listkeys},
    {"togglekeycam", Match::exact, cmd_togglekeycam},
    {"togglefps", Match::exact, cmd_togglefps},
    {"toggletime", Match::exact, cmd_toggletime},
    {"toggleping", Match::exact, cmd_toggleping},
    {"togglespeed", Match::exact, cmd_togglespeed},
    {"sendfile", Match::word, console_sendfile},
    {"listfiles", Match::word, console_listfiles},
    {"messagelines", Match::word, cmd_messagelines},
    {"demobackups", Match::word, cmd_demobackups},
    {"mapscale", Match::word, cmd_mapscale},
};

// The arguments when the command text calls this command, else nullptr.
const char* match_command(const Command& c, const char* text)
{
    const std::size_t n = std::strlen(c.keyword);
    switch (c.match) {
    case Match::exact:
        return std::strcmp(text, c.keyword) == 0 ? text + n : nullptr;
    case Match::prefix:
        return std::strncmp(text, c.keyword, n) == 0 ? text + n : nullptr;
    case Match::word:
        while (*text == ' ')
            ++text;
        if (std::strncmp(text, c.keyword, n) != 0)
            return nullptr;
        return text[n] == ' ' || text[n] == '\0' ? text + n : nullptr;
    }
    return nullptr;
}

int run_chat(Game& g, const std::string& line)
{
    ChatState& c = chat_state();
    // A refused line does not restart the interval.
    if (c.chatted && g.game_clock - c.last_chat <= k_chat_interval) {
        core::show_message("No one likes a spammer");
        return 0;
    }
    c.last_chat = g.game_clock;
    c.chatted = true;
    if (!g.connected) {
        core::show_message("Not connected to server");
        return 1;
    }
    if (console_hooks().queue_chat)
        console_hooks().queue_chat(std::string_view(line).substr(0, k_chat_payload_limit));
    return 1;
}

}  // namespace

int run_console_line(Game& g, const std::string& line)
{
    if (line.empty())
        return 0;
    if (line[0] != '/' && line[0] != '\\')
        return run_chat(g, line);
    // The command text stops at the first NUL, as typed text never holds one.
    const char* text = line.c_str() + 1;
    for (const Command& c : k_commands)
        if (const char* args = match_command(c, text)) {
            c.run(g, args);
            return 1;
        }
    return 0;
}

}  // namespace zv::app
