#include "app/series.h"

#include "core/data_file.h"
#include "platform/log.h"


namespace zv::app {

namespace {

constexpr std::array<std::string_view, 3> k_skill_names = {"Novice", "Amateur", "Expert"};

bool is_space(int c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

bool read_one_int(core::DataFile& f, int& out)
{
    return core::scan(f, "%d", &out) == 1;
}

template <std::size_t n>
bool read_ints(core::DataFile& f, std::array<int, n>& out)
{
    for (int& v : out)
        if (!read_one_int(f, v))
            return false;
    return true;
}

std::optional<SeriesEvent> read_event(core::DataFile& f, const track::TrackList& tracks)
{
    SeriesEvent e;
    std::optional<std::string> name = read_series_name(f);
    std::optional<std::string> track = name ? read_series_name(f) : std::nullopt;
    if (!track || track::find_track(tracks, *track) < 0)
        return std::nullopt;
    e.name = std::move(*name);
    e.track = std::move(*track);
    if (!read_ints(f, e.values) || !read_ints(f, e.points) || !read_ints(f, e.extra))
        return std::nullopt;
    return e;
}

// Rows of the standings file: each completed event holds one place per
// rider. Reading stops at the first row that is short or holds a place no
// rider of this field can have.
void read_standings(Series& s)
{
    s.totals.assign(static_cast<std::size_t>(s.field_size()), 0);
    core::DataFilePtr f = core::open_data_file("@" + s.file + "_standings", "rb");
    if (!f)
        return;
    for (const SeriesEvent& event : s.events) {
        std::vector<int> row(static_cast<std::size_t>(s.field_size()));
        for (int& place : row)
            if (!read_one_int(*f, place) || place < 0 || place >= s.field_size())
                return;
        for (std::size_t r = 0; r < row.size(); ++r) {
            // Places beyond the 40 scoring ones earn nothing.
            if (row[r] < k_series_points_places)
                s.totals[r] += event.points[static_cast<std::size_t>(row[r])];
        }
        s.standings.push_back(std::move(row));
    }
}

bool write_standings(const Series& s)
{
    core::DataFilePtr f = core::open_data_file("@" + s.file + "_standings", "wb");
    if (!f)
        return false;
    for (const std::vector<int>& row : s.standings) {
        for (std::size_t r = 0; r < row.size(); ++r)
            core::print(*f, r + 1 < row.size() ? "%d " : "%d\n", row[r]);
    }
    return core::commit_data_file(std::move(f));
}

}  // namespace

int next_series_event(const Series& s) { return static_cast<int>(s.standings.size()); }

bool record_series_result(Series& s, const std::vector<int>& places)
{
    if (s.standings.size() >= s.events.size() || places.size() != static_cast<std::size_t>(s.field_size()))
        return false;
    for (int p : places)
        if (p < 0 || p >= s.field_size())
            return false;
    const SeriesEvent& event = s.events[s.standings.size()];
    s.totals.resize(static_cast<std::size_t>(s.field_size()), 0);
    for (std::size_t r = 0; r < places.size(); ++r)
        if (places[r] < k_series_points_places)
            s.totals[r] += event.points[static_cast<std::size_t>(places[r])];
    s.standings.push_back(places);
    return write_standings(s);
}

bool reset_series_standings(Series& s)
{
    s.standings.clear();
    s.totals.assign(static_cast<std::size_t>(s.field_size()), 0);
    return write_standings(s);
}

int series_skill_index(std::string_view word)
{
    for (std::size_t i = 0; i < k_skill_names.size(); ++i)
        if (word == k_skill_names[i])
            return static_cast<int>(i);
    return 2;
}

std::optional<std::string> read_series_name(core::DataFile& f)
{
    int c = core::read_char(f);
    while (is_space(c))
        c = core::read_char(f);
    if (c < 0)
        return std::nullopt;

    std::string out;
    if (c == '"') {
        for (;;) {
            c = core::read_char(f);
            if (c < 0)
                return std::nullopt;
            if (c == '"')
                return out;
            if (out.size() >= k_series_max_name)
                return std::nullopt;
            out += static_cast<char>(c);
        }
    }
    while (c >= 0 && !is_space(c)) {
        if (out.size() >= k_series_max_name)
            return std::nullopt;
        out += static_cast<char>(c);
        c = core::read_char(f);
    }
    if (c >= 0)
        core::unread_char(f, c);
    return out;
}

std::optional<Series> read_series(const std::string& file, const track::TrackList& tracks)
{
    core::DataFilePtr f = core::open_data_file("@" + file, "rb");
    if (!f)
        return std::nullopt;

    Series s;
    s.file = file;
    std::optional<std::string> name = read_series_name(*f);
    if (!name)
        return std::nullopt;
    s.name = std::move(*name);

    int count = 0;
    char skill[k_series_max_name + 1] = {};
    if (core::scan(*f, "%d %1023s", &count, skill) != 2)
        return std::nullopt;
    if (count < 0 || count >= k_series_max_riders)
        return std::nullopt;
    s.skill = series_skill_index(skill);

    s.riders.resize(static_cast<std::size_t>(count));
    for (int& r : s.riders)
        if (!read_one_int(*f, r))
            return std::nullopt;

    // The event count is not trusted for allocation: events are added as
    // they are read, so a huge count just runs into the end of the file.
    int event_count = 0;
    if (!read_one_int(*f, event_count) || event_count < 1)
        return std::nullopt;
    for (int i = 0; i < event_count; ++i) {
        std::optional<SeriesEvent> e = read_event(*f, tracks);
        if (!e)
            return std::nullopt;
        s.events.push_back(std::move(*e));
    }

    read_standings(s);
    return s;
}

std::vector<Series> read_all_series(const std::vector<std::string>& names,
                                    const track::TrackList& tracks, int debug_level)
{
    std::vector<Series> all;
    for (const std::string& name : names) {
        if (!name.ends_with(".series"))
            continue;
        std::optional<Series> s = read_series(name, tracks);
        if (!s)
            continue;
        if (debug_level >= 1) {
            platform::log_printf("series %s (%s)\n", s->file.c_str(), s->name.c_str());
            for (const SeriesEvent& e : s->events)
                platform::log_printf("  event %s (%s)\n", e.track.c_str(), e.name.c_str());
        }
        all.push_back(std::move(*s));
    }
    return all;
}

}  // namespace zv::app
