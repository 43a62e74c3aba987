// Playing a demo file back: the header, then the recorded records fed into
// the state history a little ahead of the race clock, the recorded messages
// shown again, and seeking backwards and forwards.
//
// One DemoPlayer belongs to the race session. Its calls, in order:
//   open_demo_playback before the session loads (the header names the track,
//     the race length, laps and start tick, and the riders to create);
//   set_demo_slots once the riders have slots (list position -> slot);
//   play_demo_tick once per tick, after the recorder's tick;
//   seek_demo for the rewind and skip keys (only while every rider is
//     history-driven and nothing is being recorded);
//   close_demo_playback when the session ends or a time-trial lap completes.
//
// A damaged file never stops the race: a short read ends the reading for
// the tick (the file stays open and is tried again next tick), a block that
// cannot be a state block is skipped by its length, entries for riders or
// ticks that do not exist are left out.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/data_file.h"
#include "replay/demo_header.h"

namespace zv::replay {

// Shows a recorded message; the default (nullptr) is core::show_message.
using DemoMessageHandler = void (*)(std::string_view text, void* user);

struct DemoPlayer {
    core::DataFilePtr file;
    std::string file_name;
    DemoHeader header;
    bool time_trial = false;       // a ghost lap: its first block maps to the current tick
    long data_start = 0;           // where the blocks (or frames) begin
    std::vector<int> slots;        // the slot of each listed rider (160: not played)
    DemoMessageHandler on_message = nullptr;
    void* message_user = nullptr;

    // Version 6.
    long next_offset = 0;          // the next unread block
    std::uint32_t last_length = 0; // payload length of the block before it
    bool origin_set = false;       // a state block was read
    int first_state_tick = -1;     // its tick in the file
    int tick_offset = 0;           // added to file ticks
    long long next_block_tick = 0; // race tick of the next block to read
    // Versions 4 and 5.
    bool frames_started = false;
    int frame_origin = 0;          // the race tick of the first frame
    long long next_frame_tick = 0;

    std::vector<std::uint8_t> buffer;
    long long blocks_read = 0;
    // State blocks skipped as damaged: no whole number of entries, more
    // than the riders can have written at once, or a first block whose tick
    // cannot start a race clock.
    long long blocks_skipped = 0;
};

// "the demo chosen in the menus", else the track's fastlap file in a time
// trial, else "@demos/default.zvdemo".
std::string playback_file_name(std::string_view chosen, bool time_trial, std::string_view track_folder);

// Opens the file ("rb") and reads its header; riders i play into slot i
// until set_demo_slots says otherwise. A version-4 file makes the history
// hold records instead of blending them. False, with the player closed, when
// the file is missing or its header malformed.
bool open_demo_playback(DemoPlayer& player, std::string_view name, bool time_trial = false);
bool is_playing(const DemoPlayer& player);
// The slot of each listed rider, in list order; missing entries and
// entries outside 0 ... 159 are not played.
void set_demo_slots(DemoPlayer& player, std::span<const int> slots);
void close_demo_playback(DemoPlayer& player);

// Reads ahead: version 6 reads blocks while the last one read is no more
// than 64 ticks ahead of the clock, at most 128 a tick; the first state
// block sets the clock to its tick (or, for a ghost lap, maps itself onto
// the clock). Versions 4 and 5 read a frame per tick from the tick playback
// began, up to 8 ticks ahead. Returns the number of blocks or frames read.
int play_demo_tick(DemoPlayer& player, int& clock);

// What a seek needs from the race around it.
struct SeekHooks {
    // Runs one whole race tick, which plays the demo and advances the clock.
    // nullptr: play_demo_tick and one tick more on the clock.
    void (*run_tick)(void* user) = nullptr;
    // The clock went back to `target`: gate passages after it are dropped
    // and the standings recomputed. nullptr: the race rules do that here.
    void (*rewound)(int target, void* user) = nullptr;
    void* user = nullptr;
};

// Rewinds (negative seconds) or skips. Skipping forwards in a version-6 file
// runs race ticks until the clock has moved on by that much. Otherwise the
// target is clock + seconds * 128 - 1 (not below 0): the reader steps back
// along the block chain to a block no later than 64 ticks before it (or the
// first block), or straight to the target's frame (the old formats count
// frames from the tick playback began, and go back no further); the race
// forgets what
// happened after the target, the clock is set to it, the history is
// cleared and refilled, and one race tick runs. False when nothing plays.
bool seek_demo(DemoPlayer& player, int& clock, double seconds, const SeekHooks& hooks = {});

}  // namespace zv::replay
