// Command-line parsing.
#include "app/command_line.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <string_view>

#include "app/graphics_values.h"
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
    Handler handle;
};

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
    {"--fugly", false, false, [](Context& c, const char*) { c.flags.flat_shading = true; return true; }},
    {"--nosound", false, false, [](Context& c, const char*) { c.values.no_sound = true; return true; }},
    {"--novertexarrays", false, false, [](Context& c, const char*) { c.flags.no_vertex_arrays = true; return true; }},
    {"--learn", false, false, [](Context& c, const char*) { c.flags.learning = true; return true; }},
    {"--nolearn", false, false, [](Context& c, const char*) { c.flags.learning = false; return true; }},
    {"--nommx", false, false,
     [](Context& c, const char*) {
         if (c.flags.mmx)
             platform::log_printf("Ignoring MMX\n");
         c.flags.mmx = false;
         return true;
     }},
    {"--debug", false, false, [](Context&, const char*) { core::set_debug_level(1); return true; }},
    {"--super-debug", false, false, [](Context&, const char*) { core::set_debug_level(2); return true; }},
    {"--practice", false, false, [](Context& c, const char*) { c.flags.practice = true; return true; }},
    {"--warp", false, false, [](Context& c, const char*) { c.values.warp = true; return true; }},
    {"--texture-detail", true, true,
     [](Context& c, const char* v) {
         int n = 0;
         if (!int_arg(v, n))
             return false;
         c.graphics.model_texture_bias = c.graphics.ground_texture_bias = std::clamp(n, 0, 4);
         return true;
     }},
    {"--ground-texture-detail", true, true,
     [](Context& c, const char* v) {
         int n = 0;
         if (!int_arg(v, n))
             return false;
         c.graphics.ground_texture_bias = std::clamp(n, 0, 4);
         return true;
     }},
    {"--roostfrequency", true, true,
     [](Context& c, const char* v) {
         int n = 0;
         if (!int_arg(v, n))
             return false;
         c.graphics.roost_frequency = std::clamp(n, 0, 1000);
         return true;
     }},
    {"--erode", true, true,
     [](Context& c, const char* v) {
         float f = 0;
         if (!float_arg(v, f))
             return false;
         c.flags.erosion = std::clamp(f, 0.0f, 100.0f);
         return true;
     }},
    {"--detail", true, true,
     [](Context& c, const char* v) { return float_arg(v, c.graphics.ground_detail_factor); }},
    {"--max-detail-distance", true, true,
     [](Context& c, const char* v) {
         float d = 0;
         if (!float_arg(v, d))
             return false;
         c.graphics.detail_distance = d;
         c.graphics.fade_distance = d + 5.0f;
         return true;
     }},
    {"--lod-scale", true, true,
     [](Context& c, const char* v) {
         float f = 0;
         if (!float_arg(v, f))
             return false;
         c.graphics.lod_scale = std::clamp(f, 0.000001f, 1000000.0f);
         return true;
     }},
    {"--lod-bias", true, true, [](Context& c, const char* v) { return float_arg(v, c.graphics.lod_bias); }},
    {"--lock-fps", true, true, [](Context& c, const char* v) { return float_arg(v, c.values.lock_fps); }},
    {"--benchmark", true, true,
     [](Context& c, const char* v) {
         float s = 0;
         if (!float_arg(v, s) || !(s > 0))
             return false;
         c.values.benchmark_seconds = s;
         return true;
     }},
    {"--fake-lag", true, true,
     [](Context& c, const char* v) {
         float ms = 0;
         if (!float_arg(v, ms))
             return false;
         c.flags.fake_lag = std::clamp(ms * 0.001f, 0.0f, 1.0f);
         return true;
     }},
    {"--fake-loss", true, true,
     [](Context& c, const char* v) {
         int n = 0;
         if (!int_arg(v, n))
             return false;
         c.flags.packet_loss_percent = std::clamp(n, 0, 100);
         return true;
     }},
    {"--record-audio", true, false,
     [](Context& c, const char* v) {
         if (v)
             c.values.audio_record_file = v;
         return true;
     }},
    {"--record-video", false, false, [](Context& c, const char*) { c.values.record_video = true; return true; }},
    {"--rotate-lineup", true, false,
     [](Context& c, const char* v) {
         int_arg(v, c.flags.lineup_rotation);
         return true;
     }},
    {"--editor", false, false, [](Context& c, const char*) { c.flags.editor = true; return true; }},
    {"--hidden-pause", false, false, [](Context& c, const char*) { c.values.hide_pause_text = true; return true; }},
    {"--hidden-hud", false, false, [](Context& c, const char*) { c.values.hide_hud = true; return true; }},
    {"--bikes", true, false,
     [](Context& c, const char*) {
         std::fputs("--bikes doesn't do anything anymore\n", c.err);
         return true;
     }},
    {"--width", true, false, [](Context& c, const char* v) { int_arg(v, c.settings.xres); return true; }},
    {"--height", true, false, [](Context& c, const char* v) { int_arg(v, c.settings.yres); return true; }},
    {"--depth", true, false,
     [](Context& c, const char* v) {
         if (v)
             c.values.color_depth = atoi_arg(v);
         return true;
     }},
    {"--zdepth", true, false,
     [](Context& c, const char* v) {
         if (v)
             c.values.zdepth = atoi_arg(v);
         return true;
     }},
    {"--draw-fps", true, false,
     [](Context& c, const char* v) {
         if (v)
             c.settings.draw_fps = atoi_arg(v);
         return true;
     }},
    {"--draw-time", true, false,
     [](Context& c, const char* v) {
         if (v)
             c.settings.draw_time = atoi_arg(v);
         return true;
     }},
    {"--draw-ping", true, false,
     [](Context& c, const char* v) {
         if (v)
             c.settings.draw_ping = atoi_arg(v);
         return true;
     }},
    {"--draw-speed", true, false,
     [](Context& c, const char* v) {
         if (v)
             c.settings.draw_speed = atoi_arg(v);
         return true;
     }},
    {"--draw-render-stats", true, false,
     [](Context& c, const char* v) {
         if (v)
             c.flags.render_stats_level = atoi_arg(v);
         return true;
     }},
    {"--accurate-skip", false, false, [](Context& c, const char*) { c.flags.accurate_skip = true; return true; }},
    {"--track", true, false,
     [](Context& c, const char* v) {
         if (v)
             c.values.track_override = v;
         return true;
     }},
    {"--connect", true, false, connect},
    {"--password", true, false,
     [](Context& c, const char* v) {
         if (v)
             c.values.password = v;
         return true;
     }},
    {"--chase-center", true, true,
     [](Context& c, const char* v) { return three_floats(v, c.values.chase_center); }},
    {"--open-home", false, false, [](Context& c, const char*) { c.values.open_home = true; return true; }},
    {"--glfinish", false, false, [](Context& c, const char*) { c.values.glfinish = true; return true; }},
    {"--print-orientation", false, false,
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

}  // namespace

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
