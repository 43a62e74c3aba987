// Command-line parsing.
#include "app/command_line.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <string_view>

#include "app/graphics_values.h"
#include "app/startup.h"
#include "core/data_file.h"
#include "core/debug_level.h"
#include "core/settings.h"
#include "platform/log.h"

namespace zv::app {

namespace {

struct Context {
    StartupValues& values;
    StartupFlags& flags;
    GraphicsValues& graphics;
    core::Settings& settings;
    std::FILE* err;
};

// A handler gets the option's value (nullptr when none was given) and
// returns false when the value is bad.
using Handler = bool (*)(Context&, const char* value);

struct Option {
    const char* name;
    bool takes_value;
    bool reports_bad_value;  // "Bad arg for <name>" when the handler fails
    Group group;             // where "--help" lists it
    const char* value_name;  // "" for an option without a value
    const char* help;
    Handler handle;
};

// "--help" and "--version" are answered before start-up reads anything (see
// information_request); by the time the parser meets them there is nothing
// left to do.
bool answered_before(Context&, const char*)
{
    return true;
}

// "%d": an int, or false.
bool int_arg(const char* v, int& out)
{
    return v && core::scan_int(v, out);
}

// "%f": a float, or false.
bool float_arg(const char* v, float& out)
{
    double d = 0;
    if (!v || !core::scan_number(v, d))
        return false;
    out = static_cast<float>(std::clamp<double>(d, -3.4e38, 3.4e38));
    return true;
}

// atoi: the leading integer, 0 when there is none.
int atoi_arg(const char* v)
{
    int n = 0;
    if (v)
        core::scan_int(v, n);
    return n;
}

// "%f,%f,%f": three numbers, each comma right after the number before it.
bool three_floats(const char* v, std::array<float, 3>& out)
{
    if (!v)
        return false;
    std::array<float, 3> r{};
    const char* p = v;
    const char* end = v + std::strlen(v);
    for (int i = 0; i < 3; ++i) {
        while (p < end && (*p == ' ' || (*p >= '\t' && *p <= '\r')))
            ++p;
        if (p < end && *p == '+' && p + 1 < end && p[1] != '-')
            ++p;
        double d = 0;
        auto [next, ec] = std::from_chars(p, end, d, std::chars_format::general);
        if (ec != std::errc() || d != d)
            return false;
        r[static_cast<std::size_t>(i)] = static_cast<float>(d);
        p = next;
        if (i < 2) {
            if (p >= end || *p != ',')
                return false;
            ++p;
        }
    }
    out = r;
    return true;
}

constexpr std::string_view k_link_scheme = "zarvox:";

bool connect(Context& c, const char* v)
{
    if (!v)
        return true;
    std::string_view address = v;
    if (address.starts_with(k_link_scheme))
        address.remove_prefix(k_link_scheme.size());
    core::push_server_history(address);
    // An empty address gives nothing to connect to.
    if (!c.settings.server_name.text.empty())
        c.values.connect_target = c.settings.server_name.text;
    return true;
}

const Option k_options[] = {
    {"--help", false, false, Group::general, "", "print this help and end", answered_before},
    {"-h", false, false, Group::general, "", "the same as --help", answered_before},
    {"--version", false, false, Group::general, "", "print the version and end", answered_before},
    {"--fugly", false, false, Group::display, "", "flat shading", [](Context& c, const char*) { c.flags.flat_shading = true; return true; }},
    {"--nosound", false, false, Group::sound, "", "open no sound output", [](Context& c, const char*) { c.values.no_sound = true; return true; }},
    {"--novertexarrays", false, false, Group::display, "", "draw without vertex arrays", [](Context& c, const char*) { c.flags.no_vertex_arrays = true; return true; }},
    {"--learn", false, false, Group::race, "", "computer riders write their learnt lines back", [](Context& c, const char*) { c.flags.learning = true; return true; }},
    {"--nolearn", false, false, Group::race, "", "computer riders keep their learnt lines to themselves", [](Context& c, const char*) { c.flags.learning = false; return true; }},
    {"--nommx", false, false, Group::debugging, "", "do not use MMX",
     [](Context& c, const char*) {
         if (c.flags.mmx)
             platform::log_printf("Ignoring MMX\n");
         c.flags.mmx = false;
         return true;
     }},
    {"--debug", false, false, Group::debugging, "", "more log lines", [](Context&, const char*) { core::set_debug_level(1); return true; }},
    {"--super-debug", false, false, Group::debugging, "", "even more log lines (keys, ticks)", [](Context&, const char*) { core::set_debug_level(2); return true; }},
    {"--practice", false, false, Group::race, "", "computer riders use the \"tester\" personality", [](Context& c, const char*) { c.flags.practice = true; return true; }},
    {"--warp", false, false, Group::race, "", "single-player time runs 100 ticks per frame", [](Context& c, const char*) { c.values.warp = true; return true; }},
    {"--texture-detail", true, true, Group::display, "N", "skip the top N texture levels of models and ground, 0..4",
     [](Context& c, const char* v) {
         int n = 0;
         if (!int_arg(v, n))
             return false;
         c.graphics.model_texture_bias = c.graphics.ground_texture_bias = std::clamp(n, 0, 4);
         return true;
     }},
    {"--ground-texture-detail", true, true, Group::display, "N", "skip the top N ground texture levels, 0..4",
     [](Context& c, const char* v) {
         int n = 0;
         if (!int_arg(v, n))
             return false;
         c.graphics.ground_texture_bias = std::clamp(n, 0, 4);
         return true;
     }},
    {"--roostfrequency", true, true, Group::race, "N", "roost frequency, 0..1000",
     [](Context& c, const char* v) {
         int n = 0;
         if (!int_arg(v, n))
             return false;
         c.graphics.roost_frequency = std::clamp(n, 0, 1000);
         return true;
     }},
    {"--erode", true, true, Group::race, "F", "terrain erosion, 0..100 (0: none)",
     [](Context& c, const char* v) {
         float f = 0;
         if (!float_arg(v, f))
             return false;
         c.flags.erosion = std::clamp(f, 0.0f, 100.0f);
         return true;
     }},
    {"--detail", true, true, Group::display, "F", "ground geometric detail factor (larger is coarser)",
     [](Context& c, const char* v) { return float_arg(v, c.graphics.ground_detail_factor); }},
    {"--max-detail-distance", true, true, Group::display, "F", "ground nearer than F feet keeps full detail",
     [](Context& c, const char* v) {
         float d = 0;
         if (!float_arg(v, d))
             return false;
         c.graphics.detail_distance = d;
         c.graphics.fade_distance = d + 5.0f;
         return true;
     }},
    {"--lod-scale", true, true, Group::display, "F", "model level of detail: distance scale",
     [](Context& c, const char* v) {
         float f = 0;
         if (!float_arg(v, f))
             return false;
         c.graphics.lod_scale = std::clamp(f, 0.000001f, 1000000.0f);
         return true;
     }},
    {"--lod-bias", true, true, Group::display, "F", "model level of detail: distance bias in feet", [](Context& c, const char* v) { return float_arg(v, c.graphics.lod_bias); }},
    {"--lock-fps", true, true, Group::display, "F", "lock the frame rate at F frames per second", [](Context& c, const char* v) { return float_arg(v, c.values.lock_fps); }},
    {"--benchmark", true, true, Group::display, "SECONDS", "fly the chase camera round the track, print the frame rate, end",
     [](Context& c, const char* v) {
         float s = 0;
         if (!float_arg(v, s) || !(s > 0))
             return false;
         c.values.benchmark_seconds = s;
         return true;
     }},
    {"--fake-lag", true, true, Group::network, "MS", "simulate network lag, 0..1000 ms",
     [](Context& c, const char* v) {
         float ms = 0;
         if (!float_arg(v, ms))
             return false;
         c.flags.fake_lag = std::clamp(ms * 0.001f, 0.0f, 1.0f);
         return true;
     }},
    {"--fake-loss", true, true, Group::network, "PERCENT", "simulate datagram loss, 0..100",
     [](Context& c, const char* v) {
         int n = 0;
         if (!int_arg(v, n))
             return false;
         c.flags.packet_loss_percent = std::clamp(n, 0, 100);
         return true;
     }},
    {"--record-audio", true, false, Group::sound, "FILE", "write the mixed sound to FILE instead of playing it",
     [](Context& c, const char* v) {
         if (v)
             c.values.audio_record_file = v;
         return true;
     }},
    {"--record-video", false, false, Group::display, "", "write every rendered frame to standard output", [](Context& c, const char*) { c.values.record_video = true; return true; }},
    {"--rotate-lineup", true, false, Group::network, "N", "line-up rotation for race-server starts",
     [](Context& c, const char* v) {
         int_arg(v, c.flags.lineup_rotation);
         return true;
     }},
    {"--editor", false, false, Group::race, "", "make the track editor view reachable", [](Context& c, const char*) { c.flags.editor = true; return true; }},
    {"--hidden-pause", false, false, Group::display, "", "do not draw the \"Paused\" text", [](Context& c, const char*) { c.values.hide_pause_text = true; return true; }},
    {"--hidden-hud", false, false, Group::display, "", "do not draw the head-up display", [](Context& c, const char*) { c.values.hide_hud = true; return true; }},
    {"--bikes", true, false, Group::race, "X", "ignored (kept for old scripts)",
     [](Context& c, const char*) {
         std::fputs("--bikes doesn't do anything anymore\n", c.err);
         return true;
     }},
    {"--width", true, false, Group::display, "N", "window width in pixels", [](Context& c, const char* v) { int_arg(v, c.settings.xres); return true; }},
    {"--height", true, false, Group::display, "N", "window height in pixels", [](Context& c, const char* v) { int_arg(v, c.settings.yres); return true; }},
    {"--depth", true, false, Group::display, "N", "colour depth in bits",
     [](Context& c, const char* v) {
         if (v)
             c.values.color_depth = atoi_arg(v);
         return true;
     }},
    {"--zdepth", true, false, Group::display, "N", "depth-buffer depth in bits",
     [](Context& c, const char* v) {
         if (v)
             c.values.zdepth = atoi_arg(v);
         return true;
     }},
    {"--draw-fps", true, false, Group::display, "N", "frame-rate line on the head-up display (0: off)",
     [](Context& c, const char* v) {
         if (v)
             c.settings.draw_fps = atoi_arg(v);
         return true;
     }},
    {"--draw-time", true, false, Group::display, "N", "clock line on the head-up display",
     [](Context& c, const char* v) {
         if (v)
             c.settings.draw_time = atoi_arg(v);
         return true;
     }},
    {"--draw-ping", true, false, Group::display, "N", "ping line on the head-up display",
     [](Context& c, const char* v) {
         if (v)
             c.settings.draw_ping = atoi_arg(v);
         return true;
     }},
    {"--draw-speed", true, false, Group::display, "N", "speed line on the head-up display",
     [](Context& c, const char* v) {
         if (v)
             c.settings.draw_speed = atoi_arg(v);
         return true;
     }},
    {"--draw-render-stats", true, false, Group::display, "N", "render statistics on the head-up display",
     [](Context& c, const char* v) {
         if (v)
             c.flags.render_stats_level = atoi_arg(v);
         return true;
     }},
    {"--accurate-skip", false, false, Group::race, "", "skipping through the race history replays every tick", [](Context& c, const char*) { c.flags.accurate_skip = true; return true; }},
    {"--track", true, false, Group::race, "FOLDER", "load this track at start (e.g. rabbithill, arena)",
     [](Context& c, const char* v) {
         if (v)
             c.values.track_override = v;
         return true;
     }},
    {"--connect", true, false, Group::network, "SERVER", "connect to a race server at start (a leading \"zarvox:\" is removed)", connect},
    {"--password", true, false, Group::network, "TEXT", "password for the race server",
     [](Context& c, const char* v) {
         if (v)
             c.values.password = v;
         return true;
     }},
    {"--chase-center", true, true, Group::display, "X,Y,Z", "chase-camera centre (default 0,2.52,0.52)",
     [](Context& c, const char* v) { return three_floats(v, c.values.chase_center); }},
    {"--open-home", false, false, Group::general, "", "open the home folder in the file manager and end", [](Context& c, const char*) { c.values.open_home = true; return true; }},
    {"--glfinish", false, false, Group::display, "", "call glFinish before every buffer swap", [](Context& c, const char*) { c.values.glfinish = true; return true; }},
    {"--print-orientation", false, false, Group::debugging, "", "log the rider camera's orientation",
     [](Context& c, const char*) { c.flags.print_orientation = true; return true; }},
};

// The option an argument names, with its joined "=value" if any.
const Option* find_option(std::string_view arg, const char*& joined)
{
    joined = nullptr;
    for (const Option& o : k_options) {
        std::string_view name = o.name;
        if (arg == name)
            return &o;
        if (o.takes_value && arg.size() > name.size() && arg.starts_with(name) && arg[name.size()] == '=') {
            joined = arg.data() + name.size() + 1;
            return &o;
        }
    }
    return nullptr;
}

const char* group_title(Group g)
{
    switch (g) {
    case Group::general: return "general";
    case Group::race: return "race";
    case Group::display: return "display";
    case Group::sound: return "sound";
    case Group::network: return "network";
    case Group::debugging: return "debugging";
    }
    return "";
}

constexpr Group k_groups[] = {Group::general, Group::race,    Group::display,
                              Group::sound,   Group::network, Group::debugging};

// The variables the program reads, with what they do.
constexpr const char* k_environment[][2] = {
    {"ZV_HOME", "the game data folder (instead of the one found from the program's place)"},
    {"XDG_DATA_HOME", "holds the home folder \"Zarvox/\" (default ~/.local/share)"},
    {"TORV_LOGFILE", "the log file instead of the home folder's lastlog.txt; a leading \">>\" appends"},
    {"TORV_LOGFILE_FLAGS", "the mode the log file is opened with"},
    {"TORV_OPTIONS", "platform options, e.g. [fullscreen:yes][threaded:off][sound-rate:44100]"},
    {"ZV_CHECK_ALLOC", "a number above 0 reports allocations left unreleased at exit"},
};

constexpr int k_help_column = 28;

}  // namespace

std::vector<OptionHelp> command_line_options()
{
    std::vector<OptionHelp> list;
    for (const Option& o : k_options)
        list.push_back({o.name, o.takes_value, o.group, o.value_name, o.help});
    return list;
}

void print_version(std::FILE* out)
{
    std::fprintf(out, "Zarvox version %s\n", k_version);
}

void print_help(std::FILE* out)
{
    std::fputs("usage: zarvox [options] [demo-file]\n"
               "A motocross racing simulator. With a demo file, plays that demo.\n"
               "An option's value follows it or is joined with \"=\" (--width 1280, --width=1280);\n"
               "\"--\" ends the options.\n",
               out);
    for (Group g : k_groups) {
        std::fprintf(out, "\n%s:\n", group_title(g));
        for (const Option& o : k_options) {
            if (o.group != g)
                continue;
            std::string left = o.name;
            if (o.takes_value)
                left.append(" ").append(o.value_name);
            std::fprintf(out, "  %-*s %s\n", k_help_column - 3, left.c_str(), o.help);
        }
    }
    std::fputs("\nenvironment:\n", out);
    for (const auto& [name, meaning] : k_environment)
        std::fprintf(out, "  %-*s %s\n", k_help_column - 3, name, meaning);
    const std::string home = core::home_folder();
    const std::string data = core::data_folder();
    std::fprintf(out,
                 "\nfolders:\n"
                 "  home folder: %s\n"
                 "    configuration, log (lastlog.txt), demos, screenshots, results, learnt lines\n"
                 "  data folder: %s\n"
                 "    $ZV_HOME, else beside the program, else <prefix>/share/zarvox/ for <prefix>/bin/zarvox\n",
                 home.empty() ? "(none: set HOME or XDG_DATA_HOME)" : home.c_str(),
                 data.empty() ? "(none)" : data.c_str());
}

std::optional<int> answer_information_request(int argc, const char* const* argv, std::FILE* out)
{
    bool have_file = false;
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (!arg)
            continue;
        if (std::strcmp(arg, "--") == 0)
            return std::nullopt;
        if (arg[0] != '-') {
            if (have_file)
                return std::nullopt;  // "Too many files!"
            have_file = true;
            continue;
        }
        const char* joined = nullptr;
        const Option* option = find_option(arg, joined);
        if (!option)
            return std::nullopt;  // the parser's "bad option"
        if (option->handle == answered_before) {
            if (std::strcmp(option->name, "--version") == 0)
                print_version(out);
            else
                print_help(out);
            return 0;
        }
        if (option->takes_value && !joined)
            ++i;
    }
    return std::nullopt;
}

std::optional<int> parse_command_line(int argc, const char* const* argv, StartupValues& values,
                                      std::FILE* err)
{
    Context c{values, startup_flags(), graphics_values(), core::settings(), err};
    bool options_ended = false;
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (!arg)
            continue;
        if (!options_ended && std::strcmp(arg, "--") == 0) {
            options_ended = true;
            continue;
        }
        if (options_ended || arg[0] != '-') {
            if (values.file_argument) {
                std::fputs("Too many files!\n", err);
                return 1;
            }
            values.file_argument = arg;
            continue;
        }
        const char* value = nullptr;
        const Option* option = find_option(arg, value);
        if (!option) {
            std::fprintf(err, "bad option '%s'\n", arg);
            return 1;
        }
        if (option->takes_value && !value && i + 1 < argc)
            value = argv[++i];
        if (!option->handle(c, value)) {
            if (option->reports_bad_value) {
                std::fprintf(err, "Bad arg for %s\n", option->name);
                return 1;
            }
        }
        if (values.open_home)
            return 0;
    }
    // Connecting chooses the track the server races on.
    if (values.connect_target)
        values.track_override.reset();
    return std::nullopt;
}

}  // namespace zv::app
