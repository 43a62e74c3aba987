// Shared by the demo tests: records that tell their rider and tick, a small
// race recorded through the real recorder, and a straight playback.
#pragma once

#include <string>
#include <vector>

#include "replay/demo_player.h"
#include "replay/demo_writer.h"
#include "replay/history.h"

namespace zv::test {

// A record whose bytes all depend on the rider and the tick.
inline replay::StateRecord demo_record(int rider, int tick)
{
    replay::StateRecord r;
    for (std::size_t i = 0; i < r.bytes.size(); ++i)
        r.bytes[i] = static_cast<std::uint8_t>(rider * 31 + tick * 7 + static_cast<int>(i) * 13);
    replay::put_u24(r, replay::k_at_frame_position, 1000u * static_cast<std::uint32_t>(rider) +
                                                        static_cast<std::uint32_t>(tick));
    r.bytes[replay::k_at_fork] |= replay::k_sample_flag;
    return r;
}

inline replay::DemoHeader demo_header(int riders, std::string track = "tracks/valley")
{
    replay::DemoHeader h;
    h.race_length_ticks = 0;
    h.laps = 3;
    h.start_tick = 1792;
    h.track = std::move(track);
    for (int i = 0; i < riders; ++i) {
        replay::DemoRider r;
        r.bike = "450sxf(2017)";
        r.rider_texture = "rider-" + std::to_string(i);
        r.head_texture = "head";
        r.number = std::to_string(10 + i);
        r.name = "Rider " + std::to_string(i);
        h.riders.push_back(r);
    }
    return h;
}

// The header text demo_header(riders) is written as.
inline std::string format_header_for(int riders) { return replay::format_demo_header(demo_header(riders)); }

struct RecordedMessage {
    int tick;
    std::string text;
};

// Records `riders` riders (slots 0 ...) sampled every 4 ticks from first_tick
// to last_tick through the recorder's tick, with the messages written on
// their ticks. The file ends with the recorder's forced last block.
inline bool record_race(replay::DemoRecorder& rec, const std::string& file, int riders, int first_tick,
                        int last_tick, const std::vector<RecordedMessage>& messages = {})
{
    replay::clear_history();
    std::vector<int> slots;
    for (int i = 0; i < riders; ++i)
        slots.push_back(i);
    if (!replay::begin_demo_recording_to(rec, file, demo_header(riders), slots))
        return false;
    std::vector<replay::StateRecord> records(static_cast<std::size_t>(riders));
    for (int tick = first_tick; tick <= last_tick; ++tick) {
        for (int i = 0; i < riders; ++i)
            records[static_cast<std::size_t>(i)] = demo_record(i, tick);
        if (!replay::record_demo_tick(rec, tick, records, false))
            return false;
        for (const RecordedMessage& m : messages)
            if (m.tick == tick && !replay::record_demo_message(rec, tick, m.text))
                return false;
    }
    return replay::end_demo_recording(rec, last_tick);
}

// The records a slot's history holds, oldest first, with their ticks.
inline std::vector<std::pair<int, replay::StateRecord>> history_of(int slot)
{
    std::vector<std::pair<int, replay::StateRecord>> out;
    const replay::SlotHistory* h = replay::slot_history(slot);
    for (int k = 1; k <= replay::k_history_length; ++k) {
        const replay::HistoryEntry& e = h->ring[static_cast<std::size_t>((h->head + k) % replay::k_history_length)];
        if (e.tick != replay::k_empty_tick)
            out.emplace_back(e.tick, e.record);
    }
    return out;
}

// Opens the file and plays it tick by tick until the clock reaches `until`.
inline int play_until(replay::DemoPlayer& p, const std::string& file, int until)
{
    replay::clear_history();
    if (!replay::open_demo_playback(p, file))
        return -1;
    int clock = 0;
    replay::play_demo_tick(p, clock);
    while (clock < until) {
        ++clock;
        replay::play_demo_tick(p, clock);
    }
    return clock;
}

}  // namespace zv::test
