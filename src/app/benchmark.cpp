#include "app/benchmark.h"

#include <cstdio>

#include "app/world_view.h"
#include "core/settings.h"
#include "platform/window.h"
#include "render/flythrough.h"
#include "track/track.h"

namespace zv::app {

int run_benchmark(double seconds)
{
    if (track::current_track().empty())
        track::set_current_track(core::settings().track ? core::settings().track : "rabbithill");
    begin_track_view();
    bool loaded = track::load_track();
    end_track_view();
    if (!loaded) {
        std::fprintf(stderr, "No track to fly through\n");
        return 1;
    }
    int width = 0, height = 0;
    platform::window_size(width, height);
    render::FlyResult r = render::fly_through(seconds, width, height, [] {
        platform::end_frame();
        platform::pump_window_events();
        return !platform::window_close_requested();
    });
    std::printf("%d frames in %.2f seconds (%.1f fps)\n", r.frames, r.seconds,
                r.seconds > 0 ? r.frames / r.seconds : 0.0);
    std::fflush(stdout);
    track::free_track();
    return 0;
}

}  // namespace zv::app
