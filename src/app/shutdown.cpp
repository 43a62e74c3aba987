#include "app/shutdown.h"
#include "app/main_loop.h"
#include "app/multiplayer.h"

#include "app/controls.h"
#include "app/engine_sounds.h"
#include "app/main_loop_setup.h"
#include "core/config.h"
#include "core/data_file.h"
#include "core/loading_status.h"
#include "core/memory.h"
#include "core/settings.h"
#include "platform/log.h"

#include <functional>

namespace zv::app {

namespace {

void close_audio(StartupValues& values)
{
    close_sound_output();
    values.audio_record_file.reset();
}

// Swapping with an empty container gives the memory back (clear() keeps it),
// so the allocation report shows only what is really still held.
template <class T>
void release(T& container)
{
    T().swap(container);
}

void free_lists(StartupLists& lists)
{
    release(lists.series);
    release(lists.tracks.folders);
    release(lists.tracks.names);
    release(lists.track_choice.choices);
    lists.track_choice.index = 0;
}

// The configuration is written by now, so the video mode choice can go back
// to its two fixed entries.
void free_startup_lists(StartupLists& lists)
{
    release(lists.demos.paths);
    release(lists.demos.names);
    core::set_video_modes({});
}

}  // namespace

int shut_down(StartupValues& values, StartupLists& lists)
{
    // The race server hears that this client leaves; the race and the
    // physics world go.
    multiplayer_leave(game());
    end_game_session();
    const std::array<std::function<void()>, k_shutdown_stages.size()> steps = {
        [] {},  // the race session's lists
        [] { release_inputs(); },
        [&] { close_audio(values); },
        [] { core::write_config(); },
        [&] { free_lists(lists); },
        [&] { free_startup_lists(lists); },
        [] { core::free_working_set(); },
        [] {},  // bike and rider graphics
        [] {},  // textures
        [] {},  // models
    };
    for (std::size_t i = 0; i < steps.size(); ++i) {
        core::begin_loading_stage(k_shutdown_stages[i]);
        steps[i]();
    }

    close_game_window();
    platform::log_close();
    core::report_allocations();
    return 0;
}

}  // namespace zv::app
