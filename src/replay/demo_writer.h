// Recording a race into a demo file: the numbered backups of the default
// file, the header, the state blocks written from the history every 16
// ticks, message blocks, and keeping the file under the name the player
// chose with the console's "namedemo".
//
// One DemoRecorder belongs to the race session. Its calls, in order:
//   begin_demo_recording at the race start (or each time-trial lap start);
//   record_demo_tick once per tick, after the simulation step and after the
//     riders simulated here were sampled into the history;
//   record_demo_message for every message the race server sends;
//   end_demo_recording when the race ends, the session resets or a
//     time-trial lap completes (sample the riders first: the end writes out
//     whatever the history holds that is not in the file yet).
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/data_file.h"
#include "replay/demo_header.h"
#include "replay/state_record.h"

namespace zv::replay {

inline constexpr const char* k_default_demo = "@demos/default.zvdemo";
inline constexpr int k_max_demo_backups = 100;
inline constexpr const char* k_demo_extension = ".zvdemo";

// "@demos/default%02d.zvdemo"; 00 is the newest.
std::string demo_backup_name(int n);
// "@" + track folder + "/lastlap.zvdemo" (the lap being ridden) and
// ".../fastlap.zvdemo" (the best lap, replayed as the ghost).
std::string lastlap_demo_name(std::string_view track_folder);
std::string fastlap_demo_name(std::string_view track_folder);

// A completed time-trial lap that beat the ghost (or the first one on the
// track) becomes the new ghost: the lastlap file is copied byte for byte
// over the fastlap file. False when the lap file cannot be read or the copy
// not written whole.
bool keep_lap_as_ghost(std::string_view track_folder);
bool demo_file_exists(std::string_view name);

// Moves the default demo into the numbered backups, keeping `backups` of them
// (held within 0 ... 100): default(B-2) becomes default(B-1) and so on down
// to default00, and the default file becomes default00. With 0 nothing moves
// and the next recording overwrites the default file.
void rotate_demo_backups(int backups);

struct DemoRecorder {
    core::DataFilePtr file;
    std::string file_name;         // what was opened ("@demos/default.zvdemo", a lastlap file)
    bool time_trial = false;
    std::uint32_t last_length = 0; // payload length of the last block written
    std::string new_name;          // "@demos/<name>.zvdemo" from namedemo, or empty
    std::vector<int> slots;        // the slot of each listed rider, in list order
    std::vector<std::uint8_t> block;  // room for the largest block, made at the start
    long long bytes_written = 0;
};

struct RecordingSetup {
    DemoHeader header;             // the recorded riders' descriptions, in slot order
    std::vector<int> slots;        // the slot of each of header.riders
    bool time_trial = false;       // record into the track's lastlap file
    int demo_backups = 0;          // the demo_backups setting
};

// Rotates the backups (not in a time trial), creates the file and writes the
// header. False, with nothing recorded and no message, when the file cannot
// be created or the set-up is inconsistent (slots and riders differ in
// number, a slot outside 0 ... 159, more than 160 riders).
bool begin_demo_recording(DemoRecorder& recorder, const RecordingSetup& setup);
// The same into a file of the caller's choosing (the bench's "--record
// FILE"): no backups, no time-trial naming.
bool begin_demo_recording_to(DemoRecorder& recorder, std::string_view file_name, const DemoHeader& header,
                             std::span<const int> slots);
bool is_recording(const DemoRecorder& recorder);

// On ticks that are multiples of 16, or when forced, writes every listed
// rider's history entries added since the last write as one block stamped
// with the tick, marks them written and flushes the file. Writes nothing
// when nothing is new. Allocates nothing. A failed write closes the
// recording (a torn block would break the chain) and returns false.
bool record_demo_tick(DemoRecorder& recorder, int tick, bool force);

// The same for a caller that holds the riders' records itself: on ticks that
// are multiples of 4, or when forced, records[i] is stored into the history
// of slots[i] first.
bool record_demo_tick(DemoRecorder& recorder, int tick, std::span<const StateRecord> records, bool force);

// A message block, written and flushed at once.
bool record_demo_message(DemoRecorder& recorder, int tick, std::string_view text);

// Forces out the last entries, closes the file and, when namedemo gave a
// name, moves the file to it. Returns whether everything was written and moved.
bool end_demo_recording(DemoRecorder& recorder, int tick);

// The console's "namedemo": returns the message to show, one of
// "Not currently recording a demo", "Name too long", "Demo name updated"
// (and "Usage: namedemo <name>" when no name follows).
const char* name_demo(DemoRecorder& recorder, std::string_view argument);

// Recording into the file being played would destroy it: for the playback
// file name the player chose, returns the message
// "Can't record and play from same file - recording disabled" when it is the
// default recording file, or nullptr when recording may go ahead.
const char* recording_conflict(std::string_view playback_name);

}  // namespace zv::replay
