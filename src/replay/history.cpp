#include "replay/history.h"

#include <algorithm>
#include <memory>

#include "core/messages.h"

namespace zv::replay {

namespace {

struct Store {
    std::array<SlotHistory, k_history_slots> slots;
    std::array<SlotNetwork, k_history_slots> network;
    PoseHandler handler = nullptr;
    void* handler_user = nullptr;
    bool hold_older = false;
};

// Made once, on first use, and kept for the whole program.
Store& store()
{
    static const std::unique_ptr<Store> s = std::make_unique<Store>();
    return *s;
}

bool valid_slot(int slot) { return slot >= 0 && slot < k_history_slots; }

int prev_index(int i) { return i == 0 ? k_history_length - 1 : i - 1; }
int next_index(int i) { return i == k_history_length - 1 ? 0 : i + 1; }

}  // namespace

const SlotHistory* slot_history(int slot)
{
    return valid_slot(slot) ? &store().slots[static_cast<std::size_t>(slot)] : nullptr;
}

bool add_state_to_history(int slot, const StateRecord& record, int tick)
{
    if (!valid_slot(slot)) {
        core::show_message("add_state_to_history: slot out of range");
        return false;
    }
    // A negative tick would pass for an empty entry.
    if (tick < 0)
        return false;
    SlotHistory& h = store().slots[static_cast<std::size_t>(slot)];
    // Back from the newest past every entry newer than the record.
    int i = h.head, steps = 0;
    while (steps < k_history_length && h.ring[static_cast<std::size_t>(i)].tick > tick) {
        i = prev_index(i);
        ++steps;
    }
    if (h.ring[static_cast<std::size_t>(i)].tick == tick)
        return false;  // already there
    // The record goes right after the newest older entry; the newer entries
    // it passed are dropped, so the ring stays in tick order.
    const int at = next_index(i);
    HistoryEntry& e = h.ring[static_cast<std::size_t>(at)];
    e.tick = tick;
    e.record = record;
    for (int k = 1, j = next_index(at); k < steps; ++k, j = next_index(j)) {
        h.ring[static_cast<std::size_t>(j)].tick = k_empty_tick;
        h.ring[static_cast<std::size_t>(j)].record = StateRecord{};
    }
    h.head = at;
    h.unwritten = std::min(h.unwritten + 1, k_history_length);
    return true;
}

void clear_history()
{
    for (SlotHistory& h : store().slots) {
        for (HistoryEntry& e : h.ring) {
            e.tick = k_empty_tick;
            e.record.bytes.fill(0);
        }
        h.head = 0;
        h.unwritten = 0;
    }
}

void mark_history_written(int slot)
{
    if (valid_slot(slot))
        store().slots[static_cast<std::size_t>(slot)].unwritten = 0;
}

void mark_newest_unwritten(int slot)
{
    if (!valid_slot(slot))
        return;
    SlotHistory& h = store().slots[static_cast<std::size_t>(slot)];
    if (h.ring[static_cast<std::size_t>(h.head)].tick != k_empty_tick)
        h.unwritten = std::max(h.unwritten, 1);
}

std::optional<Bracket> bracket_tick(int slot, int tick)
{
    if (!valid_slot(slot))
        return std::nullopt;
    const SlotHistory& h = store().slots[static_cast<std::size_t>(slot)];
    const int t = std::max(tick, 0);
    auto tick_at = [&h](int i) { return h.ring[static_cast<std::size_t>(i)].tick; };
    int i = h.head, steps = 0;
    while (steps < k_history_length && tick_at(i) >= t) {
        i = prev_index(i);
        ++steps;
    }
    if (steps == 0) {
        // Even the newest entry is older than the tick.
        if (tick_at(h.head) == k_empty_tick)
            return std::nullopt;
        int before = prev_index(h.head);
        return Bracket{tick_at(before) == k_empty_tick ? h.head : before, h.head};
    }
    if (steps < k_history_length && tick_at(i) != k_empty_tick)
        return Bracket{i, next_index(i)};
    // Everything left is at or after the tick: the oldest valid entry.
    int older = next_index(i);
    return Bracket{older, steps == 1 ? older : next_index(older)};
}

std::optional<Pose> pose_for_tick(int slot, int tick)
{
    std::optional<Bracket> b = bracket_tick(slot, tick);
    if (!b)
        return std::nullopt;
    const Store& s = store();
    const SlotHistory& h = s.slots[static_cast<std::size_t>(slot)];
    const HistoryEntry& a = h.ring[static_cast<std::size_t>(b->older)];
    const HistoryEntry& n = h.ring[static_cast<std::size_t>(b->newer)];
    const long long t = std::max(tick, 0);
    Pose p;
    p.slot = slot;
    p.tick = tick;
    p.older = a.record;
    p.newer = n.record;
    p.older_tick = a.tick;
    p.newer_tick = n.tick;
    p.distance = n.tick - a.tick;
    if (a.tick >= t || a.tick == n.tick) {
        p.record = a.record;
    } else if (n.tick == t) {
        p.record = n.record;
    } else {
        long long capped = std::min<long long>(t, static_cast<long long>(n.tick) + k_extrapolation_ticks);
        double fraction = static_cast<double>(capped - a.tick) / static_cast<double>(n.tick - a.tick);
        p.record = interpolate_states(a.record, n.record, fraction, s.hold_older);
    }
    return p;
}

void set_pose_handler(PoseHandler handler, void* user)
{
    store().handler = handler;
    store().handler_user = user;
}

bool pose_at_tick(int slot, int tick)
{
    const Store& s = store();
    if (!s.handler)
        return false;
    std::optional<Pose> p = pose_for_tick(slot, tick);
    if (!p)
        return false;
    s.handler(*p, s.handler_user);
    return true;
}

void set_hold_older_records(bool on) { store().hold_older = on; }

const SlotNetwork* slot_network(int slot)
{
    return valid_slot(slot) ? &store().network[static_cast<std::size_t>(slot)] : nullptr;
}

bool note_received_state(int slot, std::uint32_t tick)
{
    if (!valid_slot(slot))
        return false;
    SlotNetwork& n = store().network[static_cast<std::size_t>(slot)];
    if (n.received && tick <= n.newest_tick)
        return false;
    n.newest_tick = tick;
    n.received = true;
    return true;
}

void set_ping(int slot, int ping_ticks)
{
    if (valid_slot(slot))
        store().network[static_cast<std::size_t>(slot)].ping_ticks = std::max(ping_ticks, 0);
}

void clear_network_bookkeeping()
{
    for (SlotNetwork& n : store().network)
        n = SlotNetwork{};
}

}  // namespace zv::replay
