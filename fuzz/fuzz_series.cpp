// Points series: a ".series" file and its "_standings" file, read as the
// game reads them at start-up; a result recorded afterwards must read back.
#include "harness.h"

#include <cstdlib>
#include <numeric>

#include "app/series.h"

namespace zv::fuzz {

namespace {

const track::TrackList& fuzz_tracks()
{
    static const track::TrackList tracks{{"arena", "rabbithill"}, {"Arena", "Rabbit Hill"}};
    return tracks;
}

}  // namespace

// The series file up to the first NUL byte, its standings file after it (no
// standings file without a NUL).
int fuzz_series(const std::uint8_t* data, std::size_t size)
{
    use_scratch_data_folders();
    const std::string_view all(reinterpret_cast<const char*>(data), size);
    const std::size_t cut = all.find('\0');
    remove_scratch("home/fuzz.series_standings");
    remove_scratch("data/fuzz.series_standings");
    if (!write_scratch("data/fuzz.series", all.substr(0, cut)))
        return 0;
    if (cut != std::string_view::npos && !write_scratch("data/fuzz.series_standings", all.substr(cut + 1)))
        return 0;
    std::optional<app::Series> s = app::read_series("fuzz.series", fuzz_tracks());
    if (!s)
        return 0;
    const std::size_t field = static_cast<std::size_t>(s->field_size());
    if (s->standings.size() > s->events.size() || s->totals.size() != field)
        std::abort();
    for (const std::vector<int>& row : s->standings)
        if (row.size() != field)
            std::abort();
    // The next event's result, every rider in the order of the field.
    if (app::next_series_event(*s) < static_cast<int>(s->events.size())) {
        std::vector<int> places(field);
        std::iota(places.begin(), places.end(), 0);
        if (app::record_series_result(*s, places)) {
            std::optional<app::Series> again = app::read_series("fuzz.series", fuzz_tracks());
            if (!again || again->standings != s->standings || again->totals != s->totals)
                std::abort();
        }
    }
    return 0;
}

Seeds series_seeds()
{
    const std::string points = "25 22 20 18 16 15 14 13 12 11 10 9 8 7 6 5 4 3 2 1 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0\n";
    std::string zeros;
    for (int k = 0; k < 40; ++k)
        zeros += "0 ";
    const std::string series = "\"Fuzz Cup\"\n3 Amateur\n21 41 61\n2\n\"Round 1\" rabbithill\n0 5\n" + points +
                               zeros + "\n\"Final\" arena\n1 2\n" + points + zeros + "\n";
    return {series, series + std::string(1, '\0') + "0 1 2 3\n", "Short 0 Novice 1 Moto arena 0 0\n"};
}

}  // namespace zv::fuzz
