#include "app/menu_pages.h"
#include "app/multiplayer.h"

#include <algorithm>

#include "app/editor.h"
#include "app/main_loop.h"
#include "app/menu_series.h"
#include "race/riders.h"
#include "app/startup.h"
#include "app/startup_flags.h"
#include "core/messages.h"
#include "replay/history.h"
#include "replay/visibility.h"
#include "sim/bike.h"
#include "sim/setup.h"

namespace zv::app {

// ---- item makers ----

Widget button(std::string label, std::function<void(Game&)> action)
{
    Widget w;
    w.kind = WidgetKind::button;
    w.label = std::move(label);
    w.action = std::move(action);
    return w;
}

Widget choice_item(core::ChoiceSetting& c, std::function<void(Game&)> changed)
{
    Widget w;
    w.kind = WidgetKind::choice;
    w.choice = &c;
    w.changed = std::move(changed);
    return w;
}

Widget number_item(core::NumberSetting& n, std::function<void(Game&)> changed)
{
    Widget w;
    w.kind = WidgetKind::number;
    w.number = &n;
    w.changed = std::move(changed);
    return w;
}

Widget text_item(core::TextSetting& t)
{
    Widget w;
    w.kind = WidgetKind::text;
    w.text = &t;
    return w;
}

Widget binding_item(core::Binding& b)
{
    Widget w;
    w.kind = WidgetKind::binding;
    w.binding = &b;
    return w;
}

Widget page_button(std::string label, int page)
{
    return button(std::move(label), [page](Game& g) { g.menu_page = page; });
}

void stack_rows(Page& p, int first)
{
    for (std::size_t i = 0; i < p.items.size(); ++i)
        p.items[i].row = first + static_cast<int>(i);
}

int list_page_of(int index) { return index < 0 ? 0 : index / k_list_page_size * k_list_page_size; }

// ---- actions ----

void close_connection(Game& g)
{
    // One disconnect datagram and the connection ends at once; what the
    // server set for the visibility test goes back to its defaults.
    multiplayer_leave(g);
    replay::reset_off_course_parameters();
    replay::clear_network_bookkeeping();
}

race::GateKinds gate_table_from_choices()
{
    race::GateKinds table{};
    const core::Settings& s = core::settings();
    for (int i = 0; i < core::k_gate_count; ++i)
        table[static_cast<std::size_t>(i)] = s.slots[static_cast<std::size_t>(i)].index;
    return table;
}

void rotate_lineup(int rotation)
{
    constexpr int n = core::k_gate_count;
    const int r = ((rotation % n) + n) % n;
    if (r == 0)
        return;
    std::array<core::ChoiceSetting, n>& slots = core::settings().slots;
    std::array<int, n> before{};
    for (int i = 0; i < n; ++i)
        before[static_cast<std::size_t>(i)] = slots[static_cast<std::size_t>(i)].index;
    for (int i = 0; i < n; ++i)
        slots[static_cast<std::size_t>((i + r) % n)].index = before[static_cast<std::size_t>(i)];
}

void start_race(Game& g)
{
    const core::Settings& s = core::settings();
    g.menu_page = k_menu_closed;
    race::GateKinds table = gate_table_from_choices();
    close_connection(g);
    forget_series_event();
    race::SessionRequest req;
    req.gates = &table;
    req.record_demo = s.record.index == 1;
    req.time_limit_ticks = static_cast<int>(s.minutes.value * 60 / k_tick);
    req.laps = static_cast<int>(s.laps.value);
    req.skill = s.skill.index;
    load_session(g, req);
    rotate_lineup(startup_flags().lineup_rotation);
}

void start_time_trial(Game& g)
{
    g.menu_page = k_menu_closed;
    close_connection(g);
    forget_series_event();
    race::SessionRequest req;
    req.gates = nullptr;
    req.laps = 1000;
    req.skill = core::settings().skill.index;
    load_session(g, req);
}

void choose_track(Game& g, int return_page)
{
    StartupLists& lists = startup_lists();
    open_chooser(g, "Choose Track", lists.track_choice,
                 [](Game&, int index) {
                     StartupLists& l = startup_lists();
                     if (index < 0 || index >= static_cast<int>(l.tracks.folders.size()))
                         return;
                     l.track_choice.index = index;
                     core::settings().track = core::intern(l.tracks.folders[static_cast<std::size_t>(index)]);
                 },
                 return_page);
}

namespace {

sim::Bike* local_bike(Game& g)
{
    if (!viewed_is_local(g))
        return nullptr;
    return race::rider_slot(g.viewed).bike.get();
}

// The "Track" item: the chooser opens on activation; "left" and "right"
// change it in place and keep the configuration's track in step.
Widget track_item(int page)
{
    Widget w = choice_item(startup_lists().track_choice, [](Game&) {
        StartupLists& l = startup_lists();
        int i = l.track_choice.index;
        if (i >= 0 && i < static_cast<int>(l.tracks.folders.size()))
            core::settings().track = core::intern(l.tracks.folders[static_cast<std::size_t>(i)]);
    });
    w.action = [page](Game& g) { choose_track(g, page); };
    return w;
}

}  // namespace

void apply_setup_to_local_bike(Game& g)
{
    if (sim::Bike* bike = local_bike(g))
        sim::apply_setup(*bike, race::rider_setup_from_settings(), g.game_clock);
}

void apply_aids_to_local_bike(Game& g)
{
    sim::Bike* bike = local_bike(g);
    if (!bike)
        return;
    const core::Settings& s = core::settings();
    std::uint8_t f = bike->flags & sim::k_flag_sticky_dab;  // changes only with a new setup
    const int code = sim::k_stop_wheelies_codes[std::clamp(s.stop_wheelies.index, 0, 2)];
    if (s.front_brake.index == 1) f |= sim::k_flag_front_antilock;
    if (s.rear_brake.index == 1) f |= sim::k_flag_rear_antilock;
    if (code & 1) f |= sim::k_flag_wheelie_cut;
    if (code & 2) f |= sim::k_flag_wheelie_front;
    if (s.auto_shift.index == 1) f |= sim::k_flag_auto_shift;
    if (s.auto_dab.index == 1) f |= sim::k_flag_auto_dab;
    if (s.auto_align.index == 1) f |= sim::k_flag_auto_align;
    bike->flags = f;
    // A race server may forbid arcade physics for the whole connection.
    bike->arcade = s.arcade.index == 1 && !multiplayer().client.arcade_disabled ? 1 : 0;
}

// ---- pages ----

Page main_page()
{
    Page p;
    p.number = k_menu_main;
    p.title = "Zarvox";
    p.items = {
        page_button("New Race", k_menu_new_race),
        page_button("Playback Race", k_menu_playback),
        page_button("Points Series", k_menu_series),
        page_button("Time Trial", k_menu_time_trial),
        page_button("Multiplayer", k_menu_multiplayer),
        page_button("Bike Setup", k_menu_bike_setup),
        page_button("Graphics/Sound Setup", k_menu_graphics),
        page_button("Customize Controls", k_menu_controls),
        page_button("Quit", k_menu_quit),
    };
    stack_rows(p);
    return p;
}

Page new_race_page()
{
    core::Settings& s = core::settings();
    Page p;
    p.number = k_menu_new_race;
    p.title = "New Race";
    p.columns = 2;
    p.items = {
        page_button("Back to Main Menu", k_menu_main),
        button("Start", start_race),
        track_item(k_menu_new_race),
        choice_item(s.record),
        choice_item(s.skill),
        number_item(s.minutes),
        number_item(s.laps),
    };
    stack_rows(p);
    // The gates: two columns of 20 below the race settings.
    const int first_gate_row = static_cast<int>(p.items.size()) + 1;
    for (int i = 0; i < core::k_gate_count; ++i) {
        Widget w = choice_item(s.slots[static_cast<std::size_t>(i)]);
        w.column = i / 20;
        w.row = first_gate_row + i % 20;
        p.items.push_back(std::move(w));
    }
    return p;
}

Page chooser_page(Game& g)
{
    MenuState& st = menu_state();
    Page p;
    p.number = k_menu_chooser;
    p.title = st.chooser_title;
    p.items.push_back(button("Cancel", [](Game& game) { game.menu_page = menu_state().chooser_return; }));
    p.items.push_back(button("Prev Page", [](Game& game) {
        MenuState& s = menu_state();
        if (s.chooser_offset <= 0)
            return;
        s.chooser_offset = std::max(0, s.chooser_offset - k_list_page_size);
        request_rebuild(game, 1);
    }));
    const int count = st.chooser_setting ? st.chooser_setting->count() : 0;
    const int first = std::clamp(st.chooser_offset, 0, std::max(0, count));
    const int last = std::min(count, first + k_list_page_size);
    for (int i = first; i < last; ++i) {
        Widget w = button(st.chooser_setting->choices[static_cast<std::size_t>(i)], [i](Game& game) {
            MenuState& s = menu_state();
            game.menu_page = s.chooser_return;
            ChooserCallback cb = s.chooser_callback;  // the callback may open another chooser
            if (cb)
                cb(game, i);
        });
        p.items.push_back(std::move(w));
    }
    p.items.push_back(button("Next Page", [](Game& game) {
        MenuState& s = menu_state();
        const int n = s.chooser_setting ? s.chooser_setting->count() : 0;
        if (s.chooser_offset + k_list_page_size >= n)
            return;
        s.chooser_offset += k_list_page_size;
        request_rebuild(game, -1);
    }));
    stack_rows(p);
    // "Next Page" keeps its place below a short list.
    p.items.back().row = 2 + k_list_page_size;
    (void)g;
    return p;
}

Page time_trial_page()
{
    core::Settings& s = core::settings();
    Page p;
    p.number = k_menu_time_trial;
    p.title = "Time Trial";
    p.items = {
        page_button("Back to Main Menu", k_menu_main),
        button("Start", start_time_trial),
        track_item(k_menu_time_trial),
        number_item(s.ghost_fade_distance),
        choice_item(s.time_trial_abort),
    };
    stack_rows(p);
    return p;
}

Page quit_page()
{
    Page p;
    p.number = k_menu_quit;
    p.title = "Zarvox";
    p.notes = [](Game&) {
        std::vector<std::string> lines{"Press any key to exit or ESC to keep playing"};
        if (editor_has_unsaved_changes())
            lines.emplace_back("Track has been modified since last save!  Think about it!!!");
        return lines;
    };
    return p;
}

Page build_page(Game& g, int number)
{
    switch (number) {
    case k_menu_main: return main_page();
    case k_menu_new_race: return new_race_page();
    case k_menu_chooser: return chooser_page(g);
    case k_menu_playback: return playback_page();
    case k_menu_series: return series_list_page();
    case k_menu_standings: return standings_page();
    case k_menu_time_trial: return time_trial_page();
    case k_menu_bike_setup: return bike_setup_page();
    case k_menu_suspension: return suspension_page();
    case k_menu_stability: return stability_page();
    case k_menu_controls: return controls_page();
    case k_menu_graphics: return graphics_page();
    case k_menu_advanced_graphics: return advanced_graphics_page();
    case k_menu_multiplayer: return multiplayer_page(g);
    case k_menu_quit: return quit_page();
    default: break;
    }
    Page p;
    p.number = number;
    return p;
}

void open_chooser(Game& g, const char* title, core::ChoiceSetting& setting, ChooserCallback callback,
                  int return_page)
{
    MenuState& st = menu_state();
    st.chooser_title = title ? title : "";
    st.chooser_setting = &setting;
    st.chooser_callback = std::move(callback);
    st.chooser_return = return_page;
    st.chooser_offset = list_page_of(setting.index);
    g.menu_page = k_menu_chooser;
    // A chooser opened from a chooser gets its new list.
    if (st.built_page == k_menu_chooser)
        st.built_page = k_menu_closed - 1;
}

}  // namespace zv::app
