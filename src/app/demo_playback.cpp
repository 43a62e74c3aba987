#include "app/demo_playback.h"

#include "app/console.h"
#include "app/main_loop.h"
#include "app/race_session.h"
#include "core/data_file.h"
#include "core/settings.h"
#include "platform/log.h"
#include "race/race_demo.h"
#include "race/riders.h"
#include "race/session.h"
#include "track/track.h"

namespace zv::app {

namespace {

// Start-up runs no race when the demo gives none: a thousand laps, no limit,
// as for "--track" (the file's own race length and laps replace them).
constexpr int k_playback_laps = 1000;

std::string playable_name(const std::string& file)
{
    if (core::open_data_file(file, "rb") || file.find('/') != std::string::npos || file.empty() || file[0] == '@')
        return file;
    return "@demos/" + file;
}

}  // namespace

bool play_demo_file(Game& g, const std::string& file)
{
    race::GateKinds none{};
    race::SessionRequest req;
    req.gates = &none;
    req.demo_playing = true;
    req.demo_file = playable_name(file);
    req.laps = k_playback_laps;
    req.skill = core::settings().skill.index;
    if (!load_session(g, req) || !race::demo_playing()) {
        platform::log_printf("Can't play demo \"%s\"\n", file.c_str());
        return false;
    }
    return true;
}

void seek_demo_playback(double seconds)
{
    const sim::SimWorld* world = race::physics_world();
    if (!world)
        return;
    const int from = world->tick;
    if (race::seek_race_demo(seconds))
        platform::log_printf("%s to tick %d from %d\n", seconds < 0 ? "Rewound" : "Skipped", world->tick, from);
}

void install_demo_console_hooks()
{
    ConsoleHooks& h = console_hooks();
    h.demo_recording = [] { return race::demo_recording(); };
    h.set_demo_name = [](const std::string& file_name) { race::name_race_demo(file_name); };
}

}  // namespace zv::app
