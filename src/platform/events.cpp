#include "platform/events.h"

#include <cmath>
#include <mutex>

#include "platform/clock.h"

namespace zv::platform {

namespace {

// Top bit of an entry's word: set means released.
constexpr std::uint32_t k_released_bit = 0x80000000u;

struct Entry {
    std::uint32_t word = 0;
    EventTime time;
};

struct Queue {
    std::mutex mutex;
    Entry ring[k_event_queue_size];
    int read = 0;
    int count = 0;
};

Queue& queue()
{
    static Queue q;
    return q;
}

int slot(int read, int i)
{
    return (read + i) % k_event_queue_size;
}

Event unpack(const Entry& e)
{
    return Event{e.word & k_event_code_mask, (e.word & k_released_bit) == 0, e.time};
}

Event take_oldest_locked(Queue& q)
{
    Event e = unpack(q.ring[q.read]);
    q.read = slot(q.read, 1);
    --q.count;
    return e;
}

}  // namespace

bool time_before(const EventTime& a, const EventTime& b)
{
    if (a.seconds != b.seconds)
        return a.seconds < b.seconds;
    return a.microseconds < b.microseconds;
}

EventTime event_time_now()
{
    std::int64_t us = platform_microseconds();
    return EventTime{us / 1000000, static_cast<std::int32_t>(us % 1000000)};
}

EventTime event_time_from_seconds(double seconds)
{
    double whole = std::floor(seconds);
    auto us = static_cast<std::int32_t>(std::lround((seconds - whole) * 1e6));
    auto s = static_cast<std::int64_t>(whole);
    if (us >= 1000000) {
        us -= 1000000;
        ++s;
    }
    return EventTime{s, us};
}

bool push_event(std::uint32_t code, bool pressed)
{
    return push_event_at(code, pressed, event_time_now());
}

bool push_event_at(std::uint32_t code, bool pressed, EventTime time)
{
    Queue& q = queue();
    std::lock_guard lock(q.mutex);
    if (q.count >= k_event_queue_size)
        return false;
    Entry entry{(code & k_event_code_mask) | (pressed ? 0u : k_released_bit), time};
    // Walk back past every waiting entry that is later than the new one.
    int i = q.count;
    while (i > 0 && time_before(time, q.ring[slot(q.read, i - 1)].time)) {
        q.ring[slot(q.read, i)] = q.ring[slot(q.read, i - 1)];
        --i;
    }
    q.ring[slot(q.read, i)] = entry;
    ++q.count;
    return true;
}

std::optional<Event> pop_event()
{
    Queue& q = queue();
    std::lock_guard lock(q.mutex);
    if (q.count == 0)
        return std::nullopt;
    return take_oldest_locked(q);
}

std::optional<Event> pop_event_before(EventTime limit)
{
    Queue& q = queue();
    std::lock_guard lock(q.mutex);
    if (q.count == 0 || time_before(limit, q.ring[q.read].time))
        return std::nullopt;
    return take_oldest_locked(q);
}

int events_waiting()
{
    Queue& q = queue();
    std::lock_guard lock(q.mutex);
    return q.count;
}

void clear_events()
{
    Queue& q = queue();
    std::lock_guard lock(q.mutex);
    q.read = 0;
    q.count = 0;
}

}  // namespace zv::platform
