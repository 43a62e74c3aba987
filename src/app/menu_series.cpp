#include "app/menu_series.h"

#include <algorithm>
#include <cstdio>
#include <numeric>
#include <optional>

#include "app/main_loop.h"
#include "app/menu_pages.h"
#include "app/startup.h"
#include "core/messages.h"
#include "platform/log.h"
#include "track/race_rules.h"

namespace zv::app {

namespace {

constexpr int k_max_motos = 3;

struct PendingEvent {
    int series = -1;
    std::vector<int> slots;  // rider k's slot
};

std::optional<PendingEvent>& pending()
{
    static std::optional<PendingEvent> p;
    return p;
}

std::string formatted(const char* f, const std::string& text)
{
    char buf[1024];
    std::snprintf(buf, sizeof buf, f, text.c_str());
    return buf;
}

int event_points(const SeriesEvent& e, int place)
{
    return place >= 0 && place < k_series_points_places ? e.points[static_cast<std::size_t>(place)] : 0;
}

std::string round_cell(const Series& s, const SeriesRound& round, std::size_t rider)
{
    const int done = std::min(round.count, static_cast<int>(s.standings.size()) - round.first);
    std::string places;
    int points = 0;
    for (int k = 0; k < done; ++k) {
        const std::size_t e = static_cast<std::size_t>(round.first + k);
        const int place = rider < s.standings[e].size() ? s.standings[e][rider] : 0;
        points += event_points(s.events[e], place);
        if (k > 0)
            places += '-';
        places += std::to_string(place + 1);
    }
    if (done < round.count)
        return "- (" + places + "-)";
    return std::to_string(points) + " (" + places + ")";
}

}  // namespace

Series* menu_series(int index)
{
    std::vector<Series>& all = startup_lists().series;
    if (index < 0 || index >= static_cast<int>(all.size()))
        return nullptr;
    return &all[static_cast<std::size_t>(index)];
}

std::vector<std::string> series_title_lines(const Series& s)
{
    const int next = next_series_event(s);
    if (next < static_cast<int>(s.events.size()))
        return {formatted("Next Event: %.900s", s.events[static_cast<std::size_t>(next)].name)};
    return {formatted("%.900s Final Standings", s.name)};
}

std::vector<SeriesRound> series_rounds(const Series& s)
{
    std::vector<SeriesRound> rounds;
    for (int e = 0; e < static_cast<int>(s.events.size()); ++e) {
        if (!rounds.empty()) {
            SeriesRound& last = rounds.back();
            if (last.count < k_max_motos &&
                s.events[static_cast<std::size_t>(last.first)].name == s.events[static_cast<std::size_t>(e)].name) {
                ++last.count;
                continue;
            }
        }
        rounds.push_back(SeriesRound{e, 1});
    }
    return rounds;
}

MenuTable standings_table(const Series& s, const std::string& player_name, const std::string& player_number)
{
    MenuTable t;
    const std::vector<SeriesRound> rounds = series_rounds(s);
    std::vector<SeriesRound> begun;
    for (const SeriesRound& r : rounds)
        if (r.first < static_cast<int>(s.standings.size()))
            begun.push_back(r);
    t.header = {"No.", "Rider"};
    for (std::size_t r = 0; r < begun.size(); ++r)
        t.header.push_back("Rd " + std::to_string(r + 1));
    t.header.push_back("Total");

    std::vector<int> order(static_cast<std::size_t>(s.field_size()));
    std::iota(order.begin(), order.end(), 0);
    auto total = [&s](int r) {
        return static_cast<std::size_t>(r) < s.totals.size() ? s.totals[static_cast<std::size_t>(r)] : 0;
    };
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return total(a) > total(b); });
    for (int r : order) {
        std::vector<std::string> row;
        if (r == 0) {
            row.push_back(player_number);
            row.push_back(player_name);
        } else {
            row.push_back(std::to_string(s.riders[static_cast<std::size_t>(r - 1)]));
            row.push_back("Robot " + std::to_string(r));
        }
        for (const SeriesRound& round : begun)
            row.push_back(round_cell(s, round, static_cast<std::size_t>(r)));
        row.push_back(std::to_string(total(r)));
        t.rows.push_back(std::move(row));
    }
    return t;
}

std::vector<int> series_grid(const Series& s)
{
    std::vector<int> grid(static_cast<std::size_t>(s.field_size()));
    std::iota(grid.begin(), grid.end(), 0);
    if (s.standings.empty())
        return grid;
    auto total = [&s](int r) {
        return static_cast<std::size_t>(r) < s.totals.size() ? s.totals[static_cast<std::size_t>(r)] : 0;
    };
    std::stable_sort(grid.begin(), grid.end(), [&](int a, int b) { return total(a) > total(b); });
    return grid;
}

std::vector<int> series_places(const std::vector<int>& slots, const std::vector<int>& final_order)
{
    std::vector<int> places(slots.size(), -1);
    int next = 0;
    for (int slot : final_order)
        for (std::size_t r = 0; r < slots.size(); ++r)
            if (slots[r] == slot && slot >= 0 && places[r] < 0) {
                places[r] = next++;
                break;
            }
    for (int& p : places)
        if (p < 0)
            p = next++;
    return places;
}

void forget_series_event() { pending().reset(); }

void start_series_event(Game& g, int index, bool counted)
{
    Series* s = menu_series(index);
    if (!s)
        return;
    const int next = next_series_event(*s);
    if (next >= static_cast<int>(s->events.size()))
        return;  // the series is over
    const SeriesEvent& event = s->events[static_cast<std::size_t>(next)];
    StartupLists& lists = startup_lists();
    const int track = track::find_track(lists.tracks, event.track);
    if (track < 0)
        return;

    // Computer riders of the series race as robots of the series' skill.
    race::GateKinds table{};
    PendingEvent p;
    p.series = index;
    p.slots.assign(static_cast<std::size_t>(s->field_size()), -1);
    const std::vector<int> grid = series_grid(*s);
    for (std::size_t k = 0; k < grid.size() && k < table.size(); ++k) {
        table[k] = grid[k] == 0 ? race::k_gate_human : race::k_gate_robot;
        p.slots[static_cast<std::size_t>(grid[k])] = static_cast<int>(k);
    }

    g.menu_page = k_menu_closed;
    close_connection(g);
    forget_series_event();
    const core::Settings& settings = core::settings();
    race::SessionRequest req;
    req.gates = &table;
    req.record_demo = settings.record.index == 1;
    req.time_limit_ticks = static_cast<int>(settings.minutes.value * 60 / k_tick);
    req.laps = static_cast<int>(settings.laps.value);
    req.skill = s->skill;
    // The event's track is loaded; the player's own track choice stays.
    const int chosen = lists.track_choice.index;
    lists.track_choice.index = track;
    const bool loaded = load_session(g, req);
    lists.track_choice.index = chosen;
    if (loaded && counted)
        pending() = std::move(p);
}

void finish_series_event(Game& g)
{
    (void)g;
    if (!pending() || !track::has_final_standings())
        return;
    PendingEvent p = std::move(*pending());
    pending().reset();
    Series* s = menu_series(p.series);
    if (!s)
        return;
    std::vector<int> order;
    for (const track::Standing& st : track::final_standings())
        order.push_back(st.slot);
    if (!record_series_result(*s, series_places(p.slots, order)))
        platform::log_printf("Can't write the standings of \"%s\"\n", s->file.c_str());
}

}  // namespace zv::app
