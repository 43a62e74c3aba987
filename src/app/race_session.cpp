#include "app/race_session.h"

#include <algorithm>
#include <vector>

#include "app/engine_sounds.h"
#include "app/graphics_values.h"
#include "app/hud.h"
#include "app/loading_screen.h"
#include "app/main_loop.h"
#include "app/startup.h"
#include "app/startup_flags.h"
#include "app/world_view.h"
#include "core/debug_level.h"
#include "core/messages.h"
#include "core/settings.h"
#include "platform/log.h"
#include "race/ground_effects.h"
#include "race/hooks.h"
#include "race/race_tick.h"
#include "race/riders.h"
#include "race/robots.h"
#include "sound/engine_sound.h"
#include "track/race_rules.h"

namespace zv::app {

namespace {

BikeMadeHook g_bike_made;

void bike_created(int slot)
{
    load_rider_engine_sound(slot);
    if (const sim::Bike* bike = race::rider_slot(slot).bike.get(); bike && g_bike_made)
        g_bike_made(*bike);
}

// The selected track's folder ("" when the list is empty).
std::string selected_track_folder()
{
    const StartupLists& lists = startup_lists();
    int index = lists.track_choice.index;
    if (index < 0 || index >= static_cast<int>(lists.tracks.folders.size()))
        return {};
    return lists.tracks.folders[static_cast<std::size_t>(index)];
}

void bikes_loaded()
{
    core::show_message("%d MB texture memory used\n", static_cast<int>(texture_memory_used() >> 20));
    // What neither the track nor the bikes asked for again goes now.
    end_track_view();
    platform::log_printf("Max loading delay was %f (%s)\n", max_loading_delay(), max_loading_delay_text().c_str());
}

}  // namespace

void install_race_hooks()
{
    race::RaceHooks h;
    h.show_loading = [](std::string_view text) { show_loading(text); };
    h.loading_started = reset_loading_delay;
    h.track_changing = begin_track_view;
    h.track_failed = end_track_view;
    h.bike_created = bike_created;
    h.slot_emptied = sound::free_engine_sound;
    h.bikes_loaded = bikes_loaded;
    race::set_race_hooks(h);
    race::set_line_learning(startup_flags().learning);
    race::set_practice(startup_flags().practice);
    race::set_ground_effects(graphics_values().roost_frequency, startup_flags().erosion);
}

void set_bike_made_hook(BikeMadeHook hook) { g_bike_made = std::move(hook); }

bool load_session(Game& g, race::SessionRequest req)
{
    install_race_hooks();
    if (req.track_folder.empty())
        req.track_folder = selected_track_folder();
    req.connected = g.connected;
    const bool loaded = race::load_session(req);
    g.time_trial = race::session().time_trial;
    g.viewed = race::session().first_viewed;
    return loaded;
}

void end_session()
{
    install_race_hooks();
    race::end_session();
}

void race_tick(Game& g)
{
    const sim::SimWorld* world = race::physics_world();
    if (!world)
        return;
    const int tick = world->tick;
    race::race_tick();
    const sim::Bike* viewed = race::rider_slot(g.viewed).bike.get();
    if (viewed)
        record_suspension_sample(*viewed);
    // Once a simulated second, where the viewed rider is.
    if (core::debug_level() >= 2 && tick % race::k_ticks_per_second == 0 && viewed)
        platform::log_printf("Tick %d: rider %d is %.2f ft from its start\n", tick, g.viewed,
                             static_cast<double>(race::distance_from_start(g.viewed)));
}

void restart_time_trial_attempt(Game& g) { race::restart_time_trial_attempt(g.viewed); }

void warp_restart_if_finished(Game& g)
{
    const track::RaceState& race = track::race_state();
    if (race.race_laps <= 0 || race.race_laps >= track::k_laps_unknown)
        return;
    const std::vector<track::Standing>& standings = track::running_standings();
    if (standings.empty() || track::laps_completed(standings.front().slot) < race.race_laps)
        return;
    std::array<int, race::k_rider_slot_count>& grid = race::starting_grid();
    std::rotate(grid.begin(), grid.begin() + 1, grid.end());
    const core::Settings& s = core::settings();
    race::GateKinds kinds = race::gate_kinds_from_settings();
    race::SessionRequest req;
    req.gates = &kinds;
    req.record_demo = s.record.index == 1;
    req.time_limit_ticks = static_cast<int>(s.minutes.value * 60 / k_tick);
    req.laps = static_cast<int>(s.laps.value);
    req.skill = s.skill.index;
    load_session(g, req);
}

}  // namespace zv::app
