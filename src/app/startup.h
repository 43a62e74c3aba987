// The program's entry point: start-up, then shutdown in the reverse order.
#pragma once

#include "app/demo_list.h"
#include "app/series.h"
#include "app/startup_flags.h"
#include "track/track_list.h"
#include "core/settings.h"

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace zv::app {

inline constexpr const char* k_version = "2017-01-03-1329 snapshot";
inline constexpr const char* k_default_track = "rabbithill";
inline constexpr double k_default_stability = 100;

// Audio recording block: one race tick of sound at the recording rate.
inline constexpr int k_audio_record_rate = 88320;
inline constexpr int k_audio_record_block = k_audio_record_rate / 128;
static_assert(k_audio_record_block == 690);

// The lists the menus offer, built at start-up from the data files.
struct StartupLists {
    track::TrackList tracks;
    DemoList demos;
    std::vector<Series> series;
    // The "Track" setting: the track list's display names; its index is the
    // selected track.
    core::ChoiceSetting track_choice{"Track", {}, 0};
};
StartupLists& startup_lists();

// The race-server client's tables that start-up clears: the last 16 history
// entries the server sent (128 bytes each) and its knock-out table.
inline constexpr int k_server_history_entries = 16;
inline constexpr int k_server_history_entry_size = 128;
struct RaceServerTables {
    std::array<std::array<std::uint8_t, k_server_history_entry_size>, k_server_history_entries> history{};
    std::array<int, k_server_history_entries> knockouts{};
};
RaceServerTables& race_server_tables();

// Start-up up to the lists and the track selection: the home folder and log,
// the data check, configuration, command line, tracks, demos and series.
// Returns nullopt when the program goes on, else the exit status to end with.
std::optional<int> start_up(int argc, char** argv, StartupValues& values);

// Runs the program; returns the process exit status.
int run(int argc, char** argv);

}  // namespace zv::app
