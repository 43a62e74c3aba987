#include "app/main_loop.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <thread>
#include <vector>

#include "app/controls.h"
#include "app/demo_playback.h"
#include "app/editor.h"
#include "app/engine_sounds.h"
#include "app/menu.h"
#include "app/multiplayer.h"
#include "app/race_session.h"
#include "race/race_tick.h"
#include "race/riders.h"
#include "app/screenshot.h"
#include "app/ui_keys.h"
#include "app/view.h"
#include "app/world_view.h"
#include "core/debug_level.h"
#include "net/clock_rate.h"
#include "core/messages.h"
#include "core/settings.h"
#include "platform/input.h"
#include "platform/log.h"
#include "platform/window.h"
#include "track/race_rules.h"
#include "track/scenery_cameras.h"
#include "track/track.h"

namespace zv::app {

using race::rider_slot;
using race::k_rider_local;
using race::k_rider_slot_count;

namespace {

// The riders in standings order (slot order for riders not yet standing).
std::vector<int> riders_in_order()
{
    std::vector<int> order;
    for (const track::Standing& s : track::running_standings())
        if (s.slot >= 0 && s.slot < k_rider_slot_count && rider_slot(s.slot).bike)
            order.push_back(s.slot);
    for (int slot = 0; slot < k_rider_slot_count; ++slot)
        if (rider_slot(slot).bike && std::find(order.begin(), order.end(), slot) == order.end())
            order.push_back(slot);
    return order;
}

void select_neighbour(Game& g, int step)
{
    bool allowed = !viewed_is_local(g) || core::settings().spy != 0 || (g.connected && !multiplayer_has_place());
    if (!allowed)
        return;
    std::vector<int> order = riders_in_order();
    if (order.empty())
        return;
    auto it = std::find(order.begin(), order.end(), g.viewed);
    int at = it == order.end() ? 0 : static_cast<int>(it - order.begin()) + step;
    g.viewed = order[static_cast<std::size_t>(std::clamp(at, 0, static_cast<int>(order.size()) - 1))];
}

void cycle_view(Game& g)
{
    const StartupFlags& flags = startup_flags();
    switch (g.view) {
    case ViewMode::rider:
        g.view = flags.editor ? ViewMode::editor : ViewMode::chase;
        if (g.view == ViewMode::editor)
            enter_editor(g);
        break;
    case ViewMode::chase:
        g.view = ViewMode::track_camera;
        break;
    case ViewMode::track_camera:
        g.view = ViewMode::rider;
        break;
    case ViewMode::editor:
        leave_editor(g);
        g.view = ViewMode::chase;
        break;
    case ViewMode::title:
        break;
    }
}

void select_camera(Game& g, int digit)
{
    int cameras = static_cast<int>(track::cameras().size());
    g.track_camera = digit == 0 ? -1 : std::min(digit, cameras) - 1;
}

bool is(std::uint32_t code, const core::Binding& b) { return code != k_no_code && code == binding_code(b); }

void handle_event(Game& g, const platform::Event& e)
{
    const FixedKeys& k = fixed_keys();
    core::Settings& s = core::settings();
    const std::uint32_t code = e.code;
    if (core::debug_level() >= 2)
        platform::log_printf("%s %s\n", platform::control_name(code).c_str(), e.pressed ? "pressed" : "released");
    if (code == k.close && e.pressed)
        g.quit = true;
    apply_binding_event(code, e.pressed);
    if (code == k.cursor_left)
        g.mouse_button = e.pressed;
    // In the editor its own keys (held ones too) go to it first.
    if (g.view == ViewMode::editor && g.menu_page == k_menu_closed && !capturing_binding() &&
        editor_key(g, code, e.pressed))
        return;
    if (!e.pressed)
        return;

    // A binding being captured takes every key ("esc" cancels it).
    if (capturing_binding()) {
        capture_key(code, g.game_clock);
        return;
    }
    if (code == k.esc) {
        g.menu_page = g.menu_page == k_menu_closed ? k_menu_main : k_menu_closed;
        return;
    }
    if (g.menu_page != k_menu_closed) {
        menu_key(g, ui_input(code));
        // A menu action that leaves no track loaded shows the title screen.
        if (!track::track_loaded())
            g.view = ViewMode::title;
        return;
    }
    if (g.view != ViewMode::editor) {
        if (is(code, s.console_key)) {
            g.menu_page = k_menu_chat;
            return;
        }
        if (g.view == ViewMode::title)
            return;
    }

    if (is(code, s.pause_key) && !g.connected)
        g.paused = !g.paused;
    else if (is(code, s.step_key) && g.paused && g.view != ViewMode::title)
        g.on_race_tick ? g.on_race_tick(g) : race_tick(g);
    if (code == k.tab)
        cycle_view(g);
    if (is(code, s.rewind_key))
        seek_demo_playback(-1.0);
    if (is(code, s.skip_key))
        seek_demo_playback(+1.0);
    if (is(code, s.prev_key))
        select_neighbour(g, -1);
    if (is(code, s.next_key))
        select_neighbour(g, +1);
    if (is(code, s.screenshot_key) && g.view != ViewMode::editor)
        g.screenshot_requested = true;
    for (int d = 0; d < 10; ++d)
        if (code == k.digits[static_cast<std::size_t>(d)])
            select_camera(g, d);
}

}  // namespace

Game& game()
{
    static Game g;
    return g;
}

void sleep_until_deadline(double deadline)
{
    using namespace std::chrono;
    for (;;) {
        double left = deadline - platform::platform_seconds();
        if (left <= 0)
            return;
        if (left > 0.001)
            std::this_thread::sleep_for(duration<double>(left - 0.001));
        else
            std::this_thread::yield();
    }
}

LoopClock system_clock() { return LoopClock{platform::platform_seconds, sleep_until_deadline}; }

void add_to_histogram(FrameStats& stats, double frame_seconds)
{
    int k = 0;
    while (k < k_frame_histogram_size - 1 && !(frame_seconds < k_tick * std::ldexp(1.0, k)))
        ++k;
    ++stats.histogram[static_cast<std::size_t>(k)];
}

void reset_frame_extremes(FrameStats& stats)
{
    stats.shortest = stats.longest = 0;
    stats.frames = 0;
}

double connected_rate(double d, bool before_start) { return net::clock_rate(d, before_start); }

double frame_advance(FrameClock& clock, FrameStats& stats, const TimingOptions& o, const LoopClock& lc)
{
    double now = lc.now();
    double elapsed = now - clock.last_frame;
    add_to_histogram(stats, elapsed);
    double advance = 0;
    if (!o.connected && o.lock_fps > 0) {
        double period = 1.0 / o.lock_fps;
        if (elapsed < period) {
            lc.sleep_until(clock.last_frame + period);
            now = std::max(lc.now(), clock.last_frame + period);
        }
        advance = period;
    } else if (!o.connected && o.warp) {
        advance = k_warp_ticks * k_tick;
    } else {
        while (elapsed < k_tick) {
            lc.sleep_until(clock.last_frame + k_tick);
            double later = lc.now();
            // A clock that stands still must not hold the loop here.
            now = later > now ? later : clock.last_frame + k_tick;
            elapsed = now - clock.last_frame;
        }
        advance = std::min(elapsed, k_max_frame_advance);
        if (o.connected)
            advance *= connected_rate((o.server_ticks_ahead - 1) * k_tick, o.before_start);
    }
    if (stats.frames == 0 || advance < stats.shortest)
        stats.shortest = advance;
    stats.longest = std::max(stats.longest, advance);
    ++stats.frames;
    clock.last_frame = now;
    return advance;
}

bool viewed_is_local(const Game& g)
{
    return g.viewed >= 0 && g.viewed < k_rider_slot_count && rider_slot(g.viewed).kind == k_rider_local;
}

void choose_view_mode(Game& g)
{
    if (!track::track_loaded()) {
        g.view = ViewMode::title;
        return;
    }
    if (g.view == ViewMode::title)
        g.view = ViewMode::rider;
    if (!rider_slot(g.viewed).bike) {
        g.view = ViewMode::track_camera;
        return;
    }
    if (viewed_is_local(g) && g.view != ViewMode::rider && g.view != ViewMode::chase &&
        g.view != ViewMode::editor)
        g.view = ViewMode::rider;
}

void run_tick(Game& g, platform::EventTime stamp)
{
    begin_binding_tick();
    menu_begin_tick(g);
    g.controls = sim::RiderInput{};
    while (std::optional<platform::Event> e = platform::pop_event_before(stamp))
        handle_event(g, *e);
    finish_capture_tick(g);
    read_axis_bindings();
    g.controls = control_values();

    // A connection asked for from a menu starts even while the menu stands
    // the single-player race still.
    const bool was_connected = g.connected;
    if (!was_connected)
        multiplayer_tick(g, platform::platform_seconds());
    // Single-player racing stands still under a menu.
    if (g.menu_page != k_menu_closed && viewed_is_local(g) && !g.connected)
        return;
    if (g.view == ViewMode::editor) {
        editor_tick(g);
    } else if (g.menu_page == k_menu_closed && g.view != ViewMode::title) {
        if (g.time_trial && g.controls.back_up > 0.5f && core::settings().time_trial_abort.index == 1)
            restart_time_trial_attempt(g);
        if (viewed_is_local(g))
            if (sim::Bike* bike = rider_slot(g.viewed).bike.get())
                sim::apply_input(*bike, g.controls);
    }
    if (g.connected)
        g.paused = false;
    if (was_connected)
        multiplayer_tick(g, platform::platform_seconds());
    // The race stands still while the ground is edited.
    if (!g.paused && g.view != ViewMode::title && g.view != ViewMode::editor && race_tick_allowed(g)) {
        g.on_race_tick ? g.on_race_tick(g) : race_tick(g);
        record_audio_block();
    }
}

void run_ticks(Game& g, double now)
{
    while (g.clock.simulated < g.clock.target) {
        g.clock.simulated += k_tick;
        double stamp = now - (g.clock.target - g.clock.simulated);
        run_tick(g, platform::event_time_from_seconds(stamp));
    }
}

void start_frame_clock(Game& g, double now)
{
    g.clock = FrameClock{now, 0, 0};
    g.stats = FrameStats{};
}

void main_loop(Game& g)
{
    const LoopClock clock = system_clock();
    static const StartupValues k_defaults;
    const StartupValues& values = g.values ? *g.values : k_defaults;
    for (;;) {
        if (g.quit || platform::window_close_requested())
            break;
        choose_view_mode(g);

        if (platform::begin_frame()) {
            int w = 0, h = 0;
            platform::window_size(w, h);
            if (!platform::window_fullscreen() && w > 0 && h > 0) {
                core::settings().xres = w;
                core::settings().yres = h;
            }
            draw_view(g, w, h, g.stats.longest, values.hide_hud);
            if (!values.hide_hud)
                reset_frame_extremes(g.stats);
            if (values.record_video && !g.paused && g.view != ViewMode::title)
                write_video_frame(w, h);
            draw_overlays(g, w, h, values.hide_pause_text);
            if (g.screenshot_requested) {
                g.screenshot_requested = false;
                save_screenshot(w, h);
            }
            finish_frame(values.glfinish);
            platform::end_frame();
        }
        update_engine_sounds(g);

        TimingOptions o;
        o.lock_fps = values.lock_fps;
        o.warp = values.warp;
        o.connected = g.connected;
        o.server_ticks_ahead = server_ticks_ahead();
        o.before_start = before_race_start();
        double advance = frame_advance(g.clock, g.stats, o, clock);
        g.clock.target += advance;
        g.game_clock += advance;
        core::set_message_clock(g.game_clock);
        if (g.menu_page != k_menu_closed)
            menu_pointer(g, cursor_x(), cursor_y(), g.mouse_button);

        run_ticks(g, g.clock.last_frame);
        finish_series_event(g);

        if (values.warp && g.view != ViewMode::title)
            warp_restart_if_finished(g);
        // Height changes reach the drawn terrain a budget at a time.
        if (track::track_loaded() && g.view != ViewMode::title)
            refresh_world_view();
        core::expire_messages(g.game_clock);
    }
}

}  // namespace zv::app
