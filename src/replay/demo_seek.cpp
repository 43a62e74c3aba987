// Seeking in a demo: forwards by running the race, backwards by walking the
// block chain (or, in the old frame-per-tick files, straight to the frame).
#include <algorithm>
#include <climits>
#include <cmath>

#include "replay/demo_format.h"
#include "replay/demo_player.h"
#include "replay/history.h"
#include "track/race_rules.h"

namespace zv::replay {

namespace {

constexpr int k_ticks_per_second = 128;

void default_tick(DemoPlayer& p, int& clock)
{
    play_demo_tick(p, clock);
    if (clock < INT_MAX)
        ++clock;
}

void run_tick(DemoPlayer& p, int& clock, const SeekHooks& hooks)
{
    if (hooks.run_tick)
        hooks.run_tick(hooks.user);
    else
        default_tick(p, clock);
}

bool header_at(DemoPlayer& p, long offset, std::uint8_t (&head)[k_demo_block_header_size])
{
    return core::seek(*p.file, offset) && core::read_bytes(*p.file, head, sizeof head) == sizeof head;
}

void back_to_first_block(DemoPlayer& p)
{
    p.next_offset = p.data_start;
    p.last_length = 0;
}

// Steps back along the chain until the next block to read is one whose tick
// is no later than `limit`, or the first block. A chain that points before
// the data part, or at what cannot be read, starts again from the first.
void walk_back(DemoPlayer& p, long long limit)
{
    std::uint8_t head[k_demo_block_header_size];
    if (p.next_offset > p.data_start && header_at(p, p.next_offset, head) &&
        static_cast<std::int32_t>(get_le32(head + 4)) + static_cast<long long>(p.tick_offset) <= limit)
        return;
    while (p.next_offset > p.data_start) {
        const long long before = static_cast<long long>(p.next_offset) - k_demo_block_header_size - p.last_length;
        if (before < p.data_start || !header_at(p, static_cast<long>(before), head)) {
            back_to_first_block(p);
            return;
        }
        // That block's stored word is its length (known: the one just
        // stepped over) XOR the length of the block before it.
        p.last_length = get_le32(head) ^ p.last_length;
        p.next_offset = static_cast<long>(before);
        if (static_cast<std::int32_t>(get_le32(head + 4)) + static_cast<long long>(p.tick_offset) <= limit)
            return;
    }
    back_to_first_block(p);
}

void rewind_race(int target)
{
    track::drop_passages_after(target);
    track::update_standings(target);
}

}  // namespace

bool seek_demo(DemoPlayer& p, int& clock, double seconds, const SeekHooks& hooks)
{
    if (!p.file || !std::isfinite(seconds))
        return false;
    const long long step = std::llround(seconds * k_ticks_per_second);
    const bool blocks = p.header.version == k_demo_version;
    if (step > 0 && blocks) {
        const long long target = std::min<long long>(static_cast<long long>(clock) + step, INT_MAX);
        // Bounded even if a tick runner forgot to advance the clock.
        for (long long guard = step; clock < target && guard > 0; --guard)
            run_tick(p, clock, hooks);
        return true;
    }
    int target = static_cast<int>(std::clamp<long long>(static_cast<long long>(clock) + step - 1, 0, INT_MAX));
    // The old formats hold nothing from before playback began.
    if (!blocks && p.frames_started)
        target = std::max(target, p.frame_origin);
    if (blocks) {
        walk_back(p, std::max(static_cast<long long>(target) - k_demo_read_ahead_ticks, 0LL));
        p.next_block_tick = target;
    } else {
        if (!p.frames_started) {
            p.frames_started = true;
            p.frame_origin = target;
        }
        p.next_frame_tick = target;
    }
    if (target < clock) {
        if (hooks.rewound)
            hooks.rewound(target, hooks.user);
        else
            rewind_race(target);
    }
    clock = target;
    clear_history();
    play_demo_tick(p, clock);
    run_tick(p, clock, hooks);
    return true;
}

}  // namespace zv::replay
