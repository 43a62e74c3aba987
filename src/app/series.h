// Points series: a field of computer riders and the player racing a list of
// events, with the standings of the events already run.
#pragma once

#include "track/track_list.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zv::core {
struct DataFile;
}

namespace zv::app {

constexpr int k_series_max_riders = 160;       // computer riders of a series: fewer
constexpr int k_series_points_places = 40;     // places that score points
constexpr std::size_t k_series_max_name = 1023;

struct SeriesEvent {
    std::string name;
    std::string track;                    // a folder of the track list
    std::array<int, 2> values{};          // kept with the event
    std::array<int, k_series_points_places> points{};  // for places 1..40
    std::array<int, k_series_points_places> extra{};   // kept with the event
};

struct Series {
    std::string file;                     // working-set name of the .series file
    std::string name;
    int skill = 2;                        // robot skill index (Novice 0, Amateur 1, Expert 2)
    std::vector<int> riders;              // one integer per computer rider
    std::vector<SeriesEvent> events;
    // One row per completed event, in event order: place - 1 for rider 0
    // (the player) and computer riders 1..N.
    std::vector<std::vector<int>> standings;
    std::vector<std::int64_t> totals;     // points per rider over the completed events
    int field_size() const { return static_cast<int>(riders.size()) + 1; }
};

// The robot skill index of a skill word; anything unknown is Expert.
int series_skill_index(std::string_view word);

// Reads a quoted name ("..." up to 1023 characters) or one bare word of up to
// 1023 characters after skipping whitespace. Nullopt at the end of the data,
// for an unterminated quote or for a longer name.
std::optional<std::string> read_series_name(core::DataFile& f);

// Reads one series file and its "_standings" file. Nullopt when anything is
// malformed or an event's track is not in `tracks`.
std::optional<Series> read_series(const std::string& file, const track::TrackList& tracks);

// Reads every working-set name ending in ".series"; bad files are skipped.
// At debug level 1 or more logs each series and its events.
std::vector<Series> read_all_series(const std::vector<std::string>& names,
                                    const track::TrackList& tracks, int debug_level);

// The next event to run: the number of completed events (events.size() when
// the series is over).
int next_series_event(const Series& s);

// Records one completed event: `places` holds place - 1 for riders 0 ... N.
// The row joins the series' standings and totals and the standings file is
// written again ("@" + file + "_standings"). False (nothing changed) when
// the series is over, the row is not one place per rider or a place is
// outside the field; false too when the file cannot be written (the row is
// kept in memory then).
bool record_series_result(Series& s, const std::vector<int>& places);

// Forgets every completed event and writes the empty standings file.
bool reset_series_standings(Series& s);

}  // namespace zv::app
