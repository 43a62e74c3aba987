// The list pages: demo playback, the points series with their standings,
// and the multiplayer page.
#include <algorithm>
#include <cstdio>
#include <numeric>

#include "app/main_loop.h"
#include "app/menu_pages.h"
#include "app/multiplayer.h"
#include "platform/log.h"
#include "app/menu_series.h"
#include "app/startup.h"
#include "core/messages.h"
#include "replay/demo_writer.h"
#include "track/race_rules.h"
#include "track/track.h"

namespace zv::app {

namespace {

constexpr int k_playback_laps = 10;

std::string& demo_argument()
{
    static std::string arg;
    return arg;
}

// A list page's paging buttons: they turn `offset` over a list of `count`.
Widget prev_page_button(int index)
{
    return button("Prev Page", [index](Game& g) {
        MenuState& st = menu_state();
        if (st.list_offset <= 0)
            return;
        st.list_offset = std::max(0, st.list_offset - k_list_page_size);
        request_rebuild(g, index);
    });
}

Widget next_page_button(int count)
{
    return button("Next Page", [count](Game& g) {
        MenuState& st = menu_state();
        if (st.list_offset + k_list_page_size >= count)
            return;
        st.list_offset += k_list_page_size;
        request_rebuild(g, -1);
    });
}

// Adds the list rows [offset, offset + 20) and "Next Page" in its place.
void add_list(Page& p, int count, const std::function<Widget(int)>& row)
{
    MenuState& st = menu_state();
    st.list_offset = std::clamp(st.list_offset, 0, std::max(0, list_page_of(count - 1)));
    const int prev_row = static_cast<int>(p.items.size());
    p.items.push_back(prev_page_button(prev_row));
    for (int i = st.list_offset; i < std::min(count, st.list_offset + k_list_page_size); ++i)
        p.items.push_back(row(i));
    p.items.push_back(next_page_button(count));
    stack_rows(p);
    p.items.back().row = prev_row + 1 + k_list_page_size;
}

// The playback of demo `index` of the demo list.
void play_demo(Game& g, int index)
{
    const StartupLists& lists = startup_lists();
    if (index < 0 || index >= static_cast<int>(lists.demos.size()))
        return;
    core::Settings& s = core::settings();
    demo_argument() = "@" + lists.demos.paths[static_cast<std::size_t>(index)];
    race::GateKinds table{};
    bool record = false;
    if (s.playback_mode.index == 1) {  // "Race Against"
        int gate = 0;
        for (int i = 0; i < core::k_gate_count; ++i)
            if (s.slots[static_cast<std::size_t>(i)].index == core::gate_human) {
                gate = i;
                break;
            }
        table[static_cast<std::size_t>(gate)] = race::k_gate_human;
        record = s.record.index == 1;
        if (record) {
            if (const char* refusal = replay::recording_conflict(demo_argument())) {
                core::show_message("%s", refusal);
                record = false;
            }
        }
    }
    g.menu_page = k_menu_closed;
    close_connection(g);
    forget_series_event();
    race::SessionRequest req;
    req.gates = &table;
    req.demo_playing = true;
    req.demo_file = demo_argument();
    req.record_demo = record;
    req.time_limit_ticks = 0;
    req.laps = k_playback_laps;
    req.skill = s.skill.index;
    load_session(g, req);
}

}  // namespace

const std::string& menu_demo_argument() { return demo_argument(); }

std::optional<std::string>& menu_connect_target()
{
    static std::optional<std::string> target;
    return target;
}

Page playback_page()
{
    core::Settings& s = core::settings();
    Page p;
    p.number = k_menu_playback;
    p.title = "Playback Race";
    p.items.push_back(page_button("Back to Main Menu", k_menu_main));
    p.items.push_back(choice_item(s.playback_mode));
    const StartupLists& lists = startup_lists();
    add_list(p, static_cast<int>(lists.demos.size()), [&lists](int i) {
        return button(lists.demos.names[static_cast<std::size_t>(i)], [i](Game& g) { play_demo(g, i); });
    });
    return p;
}

Page series_list_page()
{
    Page p;
    p.number = k_menu_series;
    p.title = "Points Series";
    p.items.push_back(page_button("Back to Main Menu", k_menu_main));
    const StartupLists& lists = startup_lists();
    add_list(p, static_cast<int>(lists.series.size()), [&lists](int i) {
        return button(lists.series[static_cast<std::size_t>(i)].name, [i](Game& g) {
            menu_state().series = i;
            g.menu_page = k_menu_standings;
        });
    });
    return p;
}

Page standings_page()
{
    Page p;
    p.number = k_menu_standings;
    const Series* shown = menu_series(menu_state().series);
    p.title = shown ? shown->name : "Points Series";
    p.items = {
        page_button("Back to Points Series List", k_menu_series),
        button("Enter Next Event", [](Game& g) { start_series_event(g, menu_state().series, true); }),
        button("Practice Next Event", [](Game& g) { start_series_event(g, menu_state().series, false); }),
        button("Reset Points", [](Game&) {
            if (Series* s = menu_series(menu_state().series))
                reset_series_standings(*s);
        }),
    };
    stack_rows(p);
    p.notes = [](Game&) {
        std::vector<std::string> lines;
        if (const Series* s = menu_series(menu_state().series)) {
            lines = series_title_lines(*s);
        }
        return lines;
    };
    p.table = [](Game&) {
        const Series* s = menu_series(menu_state().series);
        return s ? standings_table(*s, core::settings().name.text, core::settings().number.text) : MenuTable{};
    };
    return p;
}

// ---- multiplayer ----

namespace {

void connect_or_disconnect(Game& g)
{
    core::Settings& s = core::settings();
    if (!g.connected) {
        core::push_server_history(s.server_name.text);
        if (!s.server_name.text.empty())
            menu_connect_target() = s.server_name.text;
        return;
    }
    // A connection still being set up is stopped by the client; one under
    // way leaves and the server's answer ends it.
    menu_connect_target().reset();
    multiplayer_disconnect(g, platform::platform_seconds());
}

// "page up" goes to older history entries, "page down" to newer ones; an
// entry 0 equal to the field is passed over.
bool server_history_key(Game&, const UiInput& in)
{
    if (in.key != UiKey::page_up && in.key != UiKey::page_down)
        return false;
    core::Settings& s = core::settings();
    const auto& h = s.server_history;
    int i = s.server_history_selected;
    const int step = in.key == UiKey::page_up ? 1 : -1;
    for (;;) {
        i += step;
        if (i < 0 || i >= core::k_server_history_size || h[static_cast<std::size_t>(i)].text.empty())
            return true;  // nothing further that way
        if (i == 0 && h[0].text == s.server_name.text)
            continue;
        break;
    }
    s.server_history_selected = i;
    s.server_name.set(h[static_cast<std::size_t>(i)].text);
    return true;
}

}  // namespace

Page multiplayer_page(Game& g)
{
    core::Settings& s = core::settings();
    Page p;
    p.number = k_menu_multiplayer;
    p.title = "Multiplayer";
    Widget connect = button("Connect", connect_or_disconnect);
    connect.label_fn = [&g] { return std::string(g.connected ? "Disconnect" : "Connect"); };
    p.items.push_back(page_button("Back to Main Menu", k_menu_main));
    p.items.push_back(std::move(connect));
    // The restart request is the race-server client's to send.
    p.items.push_back(button("Request Restart", [](Game&) { multiplayer_request_restart(); }));
    Widget server = text_item(s.server_name);
    server.key_hook = server_history_key;
    p.items.push_back(std::move(server));
    stack_rows(p);
    p.table = [](Game&) {
        MenuTable t;
        t.header = {"No.", "Slot", "Ping", "Bike", "Name"};
        t.rows = multiplayer_rider_rows();
        return t;
    };
    return p;
}

}  // namespace zv::app
