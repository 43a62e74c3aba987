// The input event queue: time-ordered, filled by the window layer (possibly
// from its own thread) and drained by the main loop's race ticks.
#pragma once

#include <cstdint>
#include <optional>

namespace zv::platform {

constexpr int k_event_queue_size = 256;
// Control codes use the low 31 bits of a queue entry.
constexpr std::uint32_t k_event_code_mask = 0x7fffffffu;

struct EventTime {
    std::int64_t seconds = 0;
    std::int32_t microseconds = 0;  // 0 ... 999999
};

struct Event {
    std::uint32_t code = 0;
    bool pressed = false;
    EventTime time;
};

// Seconds first, then microseconds.
bool time_before(const EventTime& a, const EventTime& b);

// The platform clock now, as an event time.
EventTime event_time_now();
EventTime event_time_from_seconds(double seconds);

// Queues an event stamped now (push_event) or at the given time
// (push_event_at), keeping the queue in time order. Returns false, dropping
// the event, when 256 events are already waiting.
bool push_event(std::uint32_t code, bool pressed);
bool push_event_at(std::uint32_t code, bool pressed, EventTime time);

// The oldest event, removed; nullopt when the queue is empty.
std::optional<Event> pop_event();
// The oldest event, removed, when it is not later than limit.
std::optional<Event> pop_event_before(EventTime limit);

int events_waiting();
void clear_events();

}  // namespace zv::platform
