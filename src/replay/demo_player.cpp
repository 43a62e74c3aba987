#include "replay/demo_player.h"

#include <algorithm>
#include <climits>

#include "core/messages.h"
#include "replay/demo_format.h"
#include "replay/demo_writer.h"
#include "replay/history.h"

namespace zv::replay {

namespace {

// A first state block stamped later than this (some 97 days of racing) or
// before 0 is damage: the race clock is not set to it.
constexpr int k_latest_origin_tick = INT_MAX / 2;

int record_size(int version)
{
    return version == 4 ? k_demo_v4_record_size : k_state_record_size;
}

bool at_offset(DemoPlayer& p, long offset)
{
    return core::position(*p.file) == offset || core::seek(*p.file, offset);
}

bool read_exact(DemoPlayer& p, std::uint8_t* out, std::size_t n)
{
    return core::read_bytes(*p.file, out, n) == n;
}

void show(DemoPlayer& p, const std::uint8_t* text, std::size_t n)
{
    // The text is not terminated in the file.
    char line[k_demo_message_chars + 1];
    std::copy_n(text, n, line);
    line[n] = '\0';
    if (p.on_message)
        p.on_message(std::string_view(line, n), p.message_user);
    else
        core::show_message("%s", line);
}

// A race tick that an int can hold, for a file tick plus the playback offset.
bool to_race_tick(long long t, int& out)
{
    if (t < INT_MIN || t > INT_MAX)
        return false;
    out = static_cast<int>(t);
    return true;
}

void store_entries(DemoPlayer& p, std::size_t length)
{
    const std::size_t riders = p.slots.size();
    for (std::size_t at = 0; at + k_demo_state_entry_size <= length; at += k_demo_state_entry_size) {
        const std::uint8_t* e = p.buffer.data() + at;
        const std::size_t rider = e[0];
        if (rider >= riders || p.slots[rider] >= k_history_slots)
            continue;
        int tick = 0;
        if (!to_race_tick(static_cast<long long>(static_cast<std::int32_t>(get_le32(e + 1))) + p.tick_offset, tick))
            continue;
        StateRecord r;
        std::copy_n(e + 5, k_state_record_size, r.bytes.begin());
        add_state_to_history(p.slots[rider], r, tick);
    }
}

int read_blocks(DemoPlayer& p, int& clock)
{
    int n = 0;
    while (n < k_demo_blocks_per_tick && p.next_block_tick <= static_cast<long long>(clock) + k_demo_read_ahead_ticks) {
        std::uint8_t head[k_demo_block_header_size];
        if (!at_offset(p, p.next_offset) || !read_exact(p, head, sizeof head))
            break;
        const DemoBlockHeader h = decode_block_header(head, p.last_length);
        if (h.type == k_demo_block_message) {
            const std::size_t shown = std::min<std::size_t>(h.length, k_demo_message_chars);
            if (!read_exact(p, p.buffer.data(), shown))
                break;
            show(p, p.buffer.data(), shown);
        } else if (h.type == k_demo_block_states) {
            // A whole number of entries that fits what the riders can have
            // written at once; anything else is damage and is stepped over.
            if (h.length % k_demo_state_entry_size != 0 || h.length > p.buffer.size() ||
                (!p.origin_set && (h.tick < 0 || h.tick > k_latest_origin_tick))) {
                ++p.blocks_skipped;
            } else {
                if (!read_exact(p, p.buffer.data(), h.length))
                    break;
                if (!p.origin_set) {
                    p.origin_set = true;
                    p.first_state_tick = h.tick;
                    if (p.time_trial)
                        p.tick_offset = static_cast<int>(std::clamp<long long>(
                            static_cast<long long>(clock) - h.tick, INT_MIN, INT_MAX));
                    else
                        clock = h.tick;
                }
                store_entries(p, h.length);
            }
        }
        p.last_length = h.length;
        p.next_offset += k_demo_block_header_size + static_cast<long>(h.length);
        p.next_block_tick = static_cast<long long>(h.tick) + p.tick_offset;
        ++p.blocks_read;
        ++n;
    }
    return n;
}

int read_frames(DemoPlayer& p, int clock)
{
    if (!p.frames_started) {
        p.frames_started = true;
        p.frame_origin = clock;
        p.next_frame_tick = clock;
    }
    const std::size_t riders = p.header.riders.size();
    const std::size_t size = static_cast<std::size_t>(record_size(p.header.version));
    if (riders == 0)
        return 0;
    int n = 0;
    while (n < k_demo_blocks_per_tick && p.next_frame_tick <= static_cast<long long>(clock) + k_demo_frame_read_ahead_ticks) {
        const long long frame = p.next_frame_tick - p.frame_origin;
        const long long offset = p.data_start + frame * static_cast<long long>(riders * size);
        int tick = 0;
        if (frame < 0 || offset > LONG_MAX || !to_race_tick(p.next_frame_tick, tick))
            break;
        if (!at_offset(p, static_cast<long>(offset)) || !read_exact(p, p.buffer.data(), riders * size))
            break;
        for (std::size_t i = 0; i < riders; ++i) {
            if (p.slots[i] >= k_history_slots)
                continue;
            const std::uint8_t* at = p.buffer.data() + i * size;
            StateRecord r;
            if (size == k_demo_v4_record_size)
                r = decode_v4_record(std::span<const std::uint8_t, k_demo_v4_record_size>(at, k_demo_v4_record_size));
            else
                std::copy_n(at, k_state_record_size, r.bytes.begin());
            add_state_to_history(p.slots[i], r, tick);
        }
        ++p.next_frame_tick;
        ++n;
    }
    return n;
}

}  // namespace

std::string playback_file_name(std::string_view chosen, bool time_trial, std::string_view track_folder)
{
    if (!chosen.empty())
        return std::string(chosen);
    if (time_trial)
        return fastlap_demo_name(track_folder);
    return k_default_demo;
}

bool open_demo_playback(DemoPlayer& p, std::string_view name, bool time_trial)
{
    close_demo_playback(p);
    core::DataFilePtr file = core::open_data_file(name, "rb");
    if (!file)
        return false;
    std::optional<DemoHeader> header = read_demo_header(*file);
    const long start = header ? core::position(*file) : -1;
    if (start < 0)
        return false;
    p.file = std::move(file);
    p.file_name = std::string(name);
    p.header = std::move(*header);
    p.time_trial = time_trial;
    p.data_start = start;
    p.next_offset = start;
    p.next_block_tick = LLONG_MIN;  // the first block is read at once
    const std::size_t riders = p.header.riders.size();
    p.slots.resize(riders);
    for (std::size_t i = 0; i < riders; ++i)
        p.slots[i] = static_cast<int>(i);
    // Room for the largest block a recorder writes for this many riders, or
    // for one frame of the old formats.
    if (p.header.version == k_demo_version)
        p.buffer.resize(std::max<std::size_t>(std::max<std::size_t>(riders, 1) * k_history_length *
                                                  k_demo_state_entry_size,
                                              k_demo_message_chars));
    else
        p.buffer.resize(riders * static_cast<std::size_t>(record_size(p.header.version)));
    set_hold_older_records(p.header.version == 4);
    return true;
}

bool is_playing(const DemoPlayer& p) { return p.file != nullptr; }

void set_demo_slots(DemoPlayer& p, std::span<const int> slots)
{
    for (std::size_t i = 0; i < p.slots.size(); ++i) {
        int s = i < slots.size() ? slots[i] : k_no_history_slot;
        p.slots[i] = s >= 0 && s < k_history_slots ? s : k_no_history_slot;
    }
}

void close_demo_playback(DemoPlayer& p)
{
    if (p.file)
        set_hold_older_records(false);
    DemoMessageHandler handler = p.on_message;
    void* user = p.message_user;
    p = DemoPlayer{};
    p.on_message = handler;
    p.message_user = user;
}

int play_demo_tick(DemoPlayer& p, int& clock)
{
    if (!p.file)
        return 0;
    return p.header.version == k_demo_version ? read_blocks(p, clock) : read_frames(p, clock);
}

}  // namespace zv::replay
