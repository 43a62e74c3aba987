// The per-slot state history: for each of the 160 rider slots a ring of the
// newest 128 state records, each stamped with its tick. The local sampler,
// the network receiver and demo playback add to it; the demo recorder, the
// renderer and the sound read it. All storage is fixed at start-up; nothing
// here allocates, and every search is bounded by the ring's length.
#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "replay/state_record.h"

namespace zv::replay {

constexpr int k_history_slots = 160;
constexpr int k_no_history_slot = 160;
constexpr int k_history_length = 128;
constexpr int k_empty_tick = -1;
// A pose extrapolates at most this far past the newest record (half a second).
constexpr int k_extrapolation_ticks = 64;
// Local riders are sampled on ticks that are multiples of this.
constexpr int k_sample_interval = 4;

struct HistoryEntry {
    std::int32_t tick = k_empty_tick;
    StateRecord record;
};

struct SlotHistory {
    std::array<HistoryEntry, k_history_length> ring;
    int head = 0;           // the newest entry
    int unwritten = 0;      // added since the demo recorder last wrote the slot, 0..128
};

// Read access for the demo recorder and tests; nullptr outside 0 ... 159.
const SlotHistory* slot_history(int slot);

// Stores a record (see the rules in the .cpp). Returns whether it was stored:
// a slot out of range shows "add_state_to_history: slot out of range"; a
// tick already in the ring, or a negative tick, is ignored.
bool add_state_to_history(int slot, const StateRecord& record, int tick);
// Every slot: all ticks empty, records zero, head 0, unwritten 0.
void clear_history();
// The demo recorder wrote the slot.
void mark_history_written(int slot);
// A recording that starts now takes the newest entry too, though the one
// before it already wrote it (a time-trial lap begins where the last ended).
void mark_newest_unwritten(int slot);

// The two entries around a display tick (ring indices).
struct Bracket {
    int older = 0;
    int newer = 0;
};
// nullopt when the slot is out of range or its history is empty.
std::optional<Bracket> bracket_tick(int slot, int tick);

// What to draw for a display tick, with the records around it.
struct Pose {
    int slot = 0;
    int tick = 0;           // the display tick asked for
    StateRecord record;     // the record to draw
    StateRecord older;      // the bracketing records
    StateRecord newer;
    int older_tick = 0;
    int newer_tick = 0;
    int distance = 0;       // newer_tick - older_tick
};
// The pose for a display tick (negative ticks count as 0); nullopt for an
// empty history.
std::optional<Pose> pose_for_tick(int slot, int tick);

// History-driven riders are drawn at the current tick, except that a client
// watching a server race without a place in it draws them this far back.
constexpr int k_spectator_delay_ticks = 127;
constexpr int display_tick(int tick, bool spectating)
{
    return spectating ? tick - k_spectator_delay_ticks : tick;
}

// The renderer installs how a rider is put into a pose; pose_at_tick hands
// every pose to it. `user` is passed through.
using PoseHandler = void (*)(const Pose& pose, void* user);
void set_pose_handler(PoseHandler handler, void* user);
// Builds the pose for a history-driven rider and hands it on. Returns whether
// the rider was posed (false for an empty history or a missing handler).
bool pose_at_tick(int slot, int tick);

// Demo playback of the old record layout: poses take the older record as it
// stands instead of blending.
void set_hold_older_records(bool on);

// ---- network bookkeeping beside the history (the race-server client keeps it) ----
struct SlotNetwork {
    std::uint32_t newest_tick = 0;   // the newest state received (compared unsigned)
    bool received = false;           // whether any state came at all
    int ping_ticks = 0;
};
const SlotNetwork* slot_network(int slot);
// Records a received state's tick; returns whether it is newer than every
// earlier one (unsigned comparison).
bool note_received_state(int slot, std::uint32_t tick);
void set_ping(int slot, int ping_ticks);
void clear_network_bookkeeping();

}  // namespace zv::replay
