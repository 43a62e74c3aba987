#include "app/main_loop_setup.h"
#include "app/multiplayer.h"

#include <chrono>
#include <cstdio>
#include <thread>

#include "app/controls.h"
#include "app/demo_playback.h"
#include "app/engine_sounds.h"
#include "app/loading_screen.h"
#include "app/main_loop.h"
#include "race/riders.h"
#include "app/race_session.h"
#include "app/view.h"
#include "app/world_view.h"
#include "core/memory.h"
#include "core/settings.h"
#include "platform/audio.h"
#include "platform/gl_context.h"
#include "platform/log.h"
#include "platform/window.h"
#include "render/bike_art.h"
#include "render/display_pictures.h"
#include "track/track.h"

namespace zv::app {

namespace {

constexpr const char* k_window_title = "Zarvox";
constexpr int k_start_laps = 1000;

// The renderer was started and must be shut down before the context goes.
bool g_world_view_up = false;

bool open_window_for_settings(const StartupValues& values)
{
    const core::Settings& s = core::settings();
    const int mode = s.video_mode.index;
    platform::WindowFlags flags;
    int width = s.xres, height = s.yres;
    // A window can be resized; its size is kept as xres and yres.
    flags.resizable = mode == 1;
    if (mode != 1) {
        flags.fullscreen = true;
        const std::vector<core::VideoMode>& sizes = core::video_mode_sizes();
        if (mode > 1 && mode < static_cast<int>(sizes.size())) {
            width = sizes[static_cast<std::size_t>(mode)].width;
            height = sizes[static_cast<std::size_t>(mode)].height;
        } else {
            width = height = 0;  // the desktop's own mode
        }
    }
    if (!platform::open_window(k_window_title, width, height, values.color_depth, values.zdepth, flags))
        return false;
    if (!platform::create_gl_context()) {
        platform::close_window();
        return false;
    }
    return true;
}

bool wait_until_drawable()
{
    for (int i = 0; i < k_drawable_tries; ++i) {
        if (platform::begin_frame())
            return true;
        std::this_thread::sleep_for(std::chrono::microseconds(1000000 / 16));
    }
    return false;
}

}  // namespace

std::optional<int> open_game(StartupValues& values, StartupLists& lists)
{
    track::set_track_list(lists.tracks.folders, lists.tracks.names);

    // 20. The window with its context.
    if (!open_window_for_settings(values)) {
        std::fprintf(stderr, "Can't open the window: %s\n", platform::last_error().c_str());
        return 1;
    }
    // 21. Sound: the recording output or the device.
    open_sound_output(values);
    // Running out of memory from here on closes sound and window first.
    core::set_out_of_memory_hooks(platform::close_audio, platform::close_window);
    // 22. Wait until the window can be drawn.
    if (!wait_until_drawable()) {
        std::fputs("The window never became drawable\n", stderr);
        platform::close_window();
        return 1;
    }
    // 23, 24. Initial GL state; the renderer records (and logs) what the
    // driver is.
    init_gl_state(startup_flags().flat_shading);
    init_world_view();
    g_world_view_up = true;
    // Every bike the session loader makes gets its art while the track's
    // resources load.
    set_bike_made_hook([](const sim::Bike& bike) { render::load_bike_art(bike); });
    // 25. The font and the head-up display pictures, through the texture
    // loader while its generation is still 0 (kept for the whole run).
    render::load_display_pictures();
    load_display_pictures();
    platform::end_frame();
    attach_loading_screen();
    install_race_hooks();
    // 26. Inputs.
    bind_inputs();
    // 27. The physics world.
    race::create_physics_world();
    install_demo_console_hooks();
    // 29. Every slot empty; the race for "--track".
    race::free_all_bikes();
    Game& g = game();
    g.values = &values;
    // 28. A demo argument names the track and plays; the benchmark loads
    // its own track.
    if (values.file_argument && !(values.benchmark_seconds > 0)) {
        play_demo_file(g, *values.file_argument);
    } else if (values.track_override && !(values.benchmark_seconds > 0)) {
        race::GateKinds kinds = race::gate_kinds_from_settings();
        race::SessionRequest req;
        req.gates = &kinds;
        req.laps = k_start_laps;
        req.skill = core::settings().skill.index;
        load_session(g, req);
    }
    install_multiplayer(g);
    // 30. The main page opens unless the game goes straight to a race server.
    g.menu_page = values.connect_target ? k_menu_closed : k_menu_main;
    return std::nullopt;
}

void run_main_loop(StartupValues& values)
{
    Game& g = game();
    g.values = &values;
    // 31. The frame clock starts now.
    start_frame_clock(g, platform::platform_seconds());
    main_loop(g);
}

void end_game_session()
{
    end_session();
    race::destroy_physics_world();
}

void close_game_window()
{
    detach_loading_screen();
    set_bike_made_hook(nullptr);
    if (platform::gl_context_ready()) {
        if (g_world_view_up)
            shutdown_world_view();
        release_display_pictures();
    }
    g_world_view_up = false;
    core::set_out_of_memory_hooks(nullptr, nullptr);
    platform::close_window();
}

}  // namespace zv::app
