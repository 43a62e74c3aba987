// The race's demo: recording the riders simulated here into a demo file as
// the race runs, playing a demo's riders back as history-driven riders
// (posed from the history every tick), rewinding and skipping a playback,
// and the time-trial ghost lap.
//
// The session loader opens and closes it; the race tick calls
// race_demo_pose at its start and race_demo_tick after the riders' steps.
#pragma once

#include <string>
#include <string_view>

#include "replay/demo_header.h"

namespace zv::race {

// ---- set-up by the session loader ----

// Closes what the last race left open: the recording is forced out, closed
// and kept under its chosen name, the playback (and any ghost) closed.
void close_race_demo();
// Opens a demo to play before the race loads; its header then gives the
// track, the race length, laps and start tick. False (nothing plays) when
// the file is missing or its header malformed.
bool open_race_playback(std::string_view file_name);
// The header of the demo being played, or nullptr.
const replay::DemoHeader* playback_header();
// Once the bikes of the race exist: the demo's riders come in as
// history-driven riders in the free slots (in list order), and the
// recording starts when asked for. In a time trial every attempt is
// recorded into the track's lastlap file whatever the setting.
void start_race_demo(bool record, int demo_backups);

// The bench's "--record FILE": records the race just loaded into that file
// (no backups). False when the file cannot be created.
bool record_race_to(std::string_view file_name);

bool demo_playing();
// The demo being played has run out: it gave no block for two seconds of
// race clock since its last one.
bool demo_exhausted();
bool demo_recording();
// The file being played ("" when none).
const std::string& playback_file();

// ---- per tick ----

// History-driven riders take the pose their history gives for the tick.
void race_demo_pose(int tick, bool spectating);
// After the riders' steps: the recorder writes its blocks (and ends with
// the race), playback reads ahead.
void race_demo_tick();
// A time-trial lap was timed for the slot: the ghost and the lap recordings
// change over.
void race_demo_lap_done(int slot);

// ---- the player's controls ----

// Rewinding and skipping are allowed while a demo plays whose riders are all
// history-driven and nothing records.
bool can_seek_race_demo();
// Rewinds (negative) or skips by the seconds; false when not allowed.
bool seek_race_demo(double seconds);
// The console's "namedemo": the message to show.
const char* name_race_demo(std::string_view argument);
// Messages from the race server go into the recording too.
void record_race_message(std::string_view text);

// ---- what the drawing needs ----

// A rider replayed from a demo raced against (or a time-trial ghost): drawn
// faded by its distance from the player.
bool is_ghost_rider(int slot);
// The replayed rider's own effect level, raised while its records show the
// effect bit or a crash (8 per second, capped at 1) and falling by 4 per
// second otherwise.
float posed_effect_level(int slot);

}  // namespace zv::race
