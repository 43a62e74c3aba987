#include "app/startup.h"

#include "app/benchmark.h"
#include "app/command_line.h"
#include "app/graphics_values.h"
#include "app/main_loop_setup.h"
#include "app/shape_check.h"
#include "app/shutdown.h"
#include "app/startup_flags.h"
#include "core/config.h"
#include "core/data_file.h"
#include "core/debug_level.h"
#include "core/memory.h"
#include "core/messages.h"
#include "core/settings.h"
#include "platform/display_modes.h"
#include "platform/log.h"
#include "platform/message_box.h"

#include <cstdio>
#include <cstring>

namespace zv::app {

namespace {

void clear_race_server_tables()
{
    race_server_tables() = RaceServerTables{};
}

void build_video_modes()
{
    std::vector<core::VideoMode> modes;
    for (const platform::DisplayMode& m : platform::display_modes())
        modes.push_back({m.width, m.height, m.depth});
    core::set_video_modes(modes);
}

void check_mmx()
{
    startup_flags().mmx = cpu_has_mmx();
    if (!startup_flags().mmx)
        platform::log_printf("This CPU does not have MMX!\n");
}

// The "Track" choice: the display names, with the selection on the track of
// the command line or of the configuration. No match keeps the selection.
void select_track(StartupLists& lists, const StartupValues& values)
{
    lists.track_choice.choices.clear();
    for (const std::string& name : lists.tracks.names)
        lists.track_choice.choices.push_back(core::intern(name));

    const char* wanted = k_default_track;
    if (values.track_override)
        wanted = values.track_override->c_str();
    else if (core::settings().track)
        wanted = core::settings().track;
    int index = track::find_track(lists.tracks, wanted);
    if (index >= 0)
        lists.track_choice.index = index;
}

// Leaves after start-up stopped early: nothing but the log needs closing.
int leave(int status)
{
    platform::log_close();
    return status;
}

}  // namespace

StartupLists& startup_lists()
{
    static StartupLists lists;
    return lists;
}

RaceServerTables& race_server_tables()
{
    static RaceServerTables tables;
    return tables;
}

std::optional<int> start_up(int argc, char** argv, StartupValues& values)
{
    core::install_out_of_memory_handler();

    // The floating-point unit already runs at its default precision here and
    // standard input is binary: nothing to switch on this platform.
    core::clear_messages();

    if (argc == 2 && std::strcmp(argv[1], "--open-home") == 0) {
        core::open_home_in_shell();
        return 0;
    }

    if (!core::data_folder_check()) {
        platform::message_box("Problem starting Zarvox", "Can't find game data\n");
        return leave(0);
    }
    platform::log_printf("Zarvox version %s\n", k_version);

    check_generic_shapes();
    clear_race_server_tables();
    build_video_modes();
    check_mmx();

    core::apply_stability(k_default_stability);
    core::apply_graphics_preset(core::compatibility_preset());
    core::build_gear_lists();
    core::read_config();

    // Options replace some derived graphics values, so derive them first.
    graphics_values() = derive_graphics_values();
    if (std::optional<int> status = parse_command_line(argc, argv, values)) {
        if (values.open_home)
            core::open_home_in_shell();
        return leave(*status);
    }

    StartupLists& lists = startup_lists();
    const int debug = core::debug_level();
    lists.tracks = track::build_track_list(core::working_set(), debug);
    if (lists.tracks.empty()) {
        std::fputs("No tracks found\n", stderr);
        return leave(1);
    }
    lists.demos = build_demo_list(core::working_set(), debug);
    lists.series = read_all_series(core::working_set(), lists.tracks, debug);
    select_track(lists, values);
    return std::nullopt;
}

int run(int argc, char** argv)
{
    StartupValues values;
    if (std::optional<int> status = start_up(argc, argv, values))
        return *status;
    if (std::optional<int> status = open_game(values, startup_lists()))
        return leave(*status);
    if (values.benchmark_seconds > 0) {
        int status = run_benchmark(values.benchmark_seconds);
        int end = shut_down(values, startup_lists());
        return status != 0 ? status : end;
    }
    run_main_loop(values);
    return shut_down(values, startup_lists());
}

}  // namespace zv::app
