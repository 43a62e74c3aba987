// Playing demos back: the old frame-per-tick files, seeking (back past the
// first block, and back and forth against a straight read), and damaged
// files that must neither crash the player nor feed it anything false.
#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "core/messages.h"
#include "replay/demo_format.h"
#include "replay/demo_scan.h"
#include "support/data_folder_test.h"
#include "replay/demo_support.h"
#include "track/race_rules.h"

namespace zv::replay {
namespace {

using test::demo_record;

class DemoPlayerTest : public test::DataFolderTest {
protected:
    DemoPlayerTest() { clear_history(); }
    ~DemoPlayerTest() override
    {
        clear_history();
        set_hold_older_records(false);
    }
    std::string file(const char* name) { return dir_ / name; }
    static std::string bytes(const std::uint8_t* p, std::size_t n)
    {
        return std::string(reinterpret_cast<const char*>(p), n);
    }
    // Every record the history holds is the one recorded for its rider
    // and tick, and only the first `riders` slots hold any.
    static void expect_only_recorded(int riders, const std::string& what)
    {
        for (int slot = 0; slot < k_history_slots; ++slot)
            for (const auto& [tick, record] : test::history_of(slot)) {
                ASSERT_LT(slot, riders) << what;
                ASSERT_EQ(record, demo_record(slot, tick)) << what << " slot " << slot << " tick " << tick;
            }
    }
};

TEST_F(DemoPlayerTest, OldFramePerTickFiles)
{
    for (int version : {5, 4}) {
        SCOPED_TRACE(version);
        const std::size_t size = version == 4 ? k_demo_v4_record_size : k_state_record_size;
        std::string text = "ZV0" + std::to_string(version) + " 2 0 3\nvalley\nkx250f|a|b|c|d\n7\nyz250f||||\n12\n";
        std::vector<StateRecord> expected[2];
        for (int frame = 0; frame < 20; ++frame)
            for (int rider = 0; rider < 2; ++rider) {
                StateRecord r = demo_record(rider, frame);
                std::uint8_t v4[k_demo_v4_record_size];
                if (version == 4) {
                    encode_v4_record(r, v4);
                    r = decode_v4_record(v4);
                }
                expected[rider].push_back(r);
                text += version == 4 ? bytes(v4, size) : bytes(r.bytes.data(), size);
            }
        text += "partial frame";
        test::write_file(file("old.zvdemo"), text);
        clear_history();

        std::optional<DemoScan> scan = scan_demo(file("old.zvdemo"));
        ASSERT_TRUE(scan);
        EXPECT_EQ(std::tuple(scan->frames, scan->truncated, scan->last_tick), std::tuple(20LL, true, 19));
        EXPECT_EQ(scan->states, (std::vector<long long>{20, 20}));

        DemoPlayer p;
        ASSERT_TRUE(open_demo_playback(p, file("old.zvdemo")));
        EXPECT_EQ(p.header.riders[0].bike, "kx250f(2008)");
        EXPECT_EQ(p.header.riders[1].number, "12");
        const int slots[] = {0, 7};
        set_demo_slots(p, std::span<const int>(slots, 1));  // the second rider has no slot: not played
        // Frames run from the tick playback starts, 8 ticks ahead.
        int clock = 1000;
        EXPECT_EQ(play_demo_tick(p, clock), 9);
        EXPECT_EQ(play_demo_tick(p, clock), 0);
        for (clock = 1001; clock < 1030; ++clock)
            play_demo_tick(p, clock);
        auto got = test::history_of(0);
        ASSERT_EQ(got.size(), 20u);
        for (int k = 0; k < 20; ++k) {
            EXPECT_EQ(got[static_cast<std::size_t>(k)].first, 1000 + k);
            EXPECT_EQ(got[static_cast<std::size_t>(k)].second, expected[0][static_cast<std::size_t>(k)]) << k;
        }
        for (int s = 0; s < k_history_slots; ++s)
            if (s != 0) {
                EXPECT_TRUE(test::history_of(s).empty()) << s;
            }
        // Old records are drawn as they stand: beyond the newest the pose
        // holds the one before it instead of running ahead.
        std::optional<Pose> pose = pose_for_tick(0, 1025);
        ASSERT_TRUE(pose);
        if (version == 4)
            EXPECT_EQ(pose->record, expected[0][18]);
        else
            EXPECT_NE(get_u24(pose->record, k_at_frame_position), get_u24(expected[0][18], k_at_frame_position));

        // Back to a frame: straight to it, never before the first.
        ASSERT_TRUE(seek_demo(p, clock, -0.0625));  // 8 ticks: target 1021
        EXPECT_EQ(clock, 1022);
        EXPECT_EQ(test::history_of(0).size(), 0u);  // past the last frame
        ASSERT_TRUE(seek_demo(p, clock, -0.125));   // target 1005
        got = test::history_of(0);
        ASSERT_EQ(got.size(), 9u);                   // 1005 ... 1013
        EXPECT_EQ(got[0].first, 1005);
        EXPECT_EQ(got[0].second, expected[0][5]);
        int rewound_to = -1;
        const SeekHooks hooks{nullptr, [](int target, void* user) { *static_cast<int*>(user) = target; }, &rewound_to};
        ASSERT_TRUE(seek_demo(p, clock, -100, hooks));
        EXPECT_EQ(rewound_to, 1000);
        EXPECT_EQ(clock, 1001);
        ASSERT_FALSE(test::history_of(0).empty());
        EXPECT_EQ(test::history_of(0).front().first, 1000);
        // One tick on goes to the next frame and rewinds nothing.
        rewound_to = -1;
        ASSERT_TRUE(seek_demo(p, clock, 1.0 / 128, hooks));
        EXPECT_EQ(rewound_to, -1);
        EXPECT_EQ(clock, 1002);
        // Frames past the largest race tick are not read.
        ASSERT_TRUE(open_demo_playback(p, file("old.zvdemo")));
        clock = INT_MAX - 2;
        EXPECT_EQ(play_demo_tick(p, clock), 3);
        EXPECT_EQ(test::history_of(0).back().first, INT_MAX);
        close_demo_playback(p);
    }
    // The v4 layout keeps position, rotation, drive and engine exactly.
    StateRecord r = demo_record(1, 3);
    std::uint8_t v4[k_demo_v4_record_size];
    encode_v4_record(r, v4);
    StateRecord back = decode_v4_record(v4);
    for (int i : {0, 5, 8, 9, 16, 17, 19, 36, 37, 38})
        EXPECT_EQ(back.bytes[static_cast<std::size_t>(i)], r.bytes[static_cast<std::size_t>(i)]) << i;
    EXPECT_TRUE(record_is_sampled(back));
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(back.bytes[static_cast<std::size_t>(k_at_rider_quaternion + i)],
                  r.bytes[static_cast<std::size_t>(k_at_frame_quaternion + i)]);
}

TEST_F(DemoPlayerTest, RewindDropsLaterPassagesAndLandsAtTheFirstBlock)
{
    DemoRecorder rec;
    ASSERT_TRUE(test::record_race(rec, file("r.zvdemo"), 2, 500, 3000));
    struct Case {
        double seconds;
        int clock_after;
        int first_history_tick;
        int positions[2];
    };
    // Passages: rider 0 at 600, 900, 1900; rider 1 at 700.
    const Case cases[] = {
        {-5, 2000 - 640, 1268, {2, 1}},  // target 1359: the block of 1280 (1268 ... 1280) is read first
        {-30, 1, 500, {0, 0}},                     // before the first block
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.seconds);
        track::RaceSetup setup;
        track::begin_race(setup);
        track::set_rider(0, {});
        track::set_rider(1, {});
        for (auto [slot, gate, tick] : {std::tuple{0, 0, 600}, {0, 1, 900}, {0, 2, 1900}, {1, 0, 700}})
            track::set_gate_time(slot, gate, tick);
        DemoPlayer p;
        int clock = test::play_until(p, file("r.zvdemo"), 2000);
        ASSERT_EQ(clock, 2000);
        ASSERT_TRUE(seek_demo(p, clock, c.seconds));
        EXPECT_EQ(clock, c.clock_after);
        ASSERT_FALSE(test::history_of(0).empty());
        EXPECT_EQ(test::history_of(0).front().first, c.first_history_tick);
        EXPECT_EQ(track::rider_position(0), c.positions[0]);
        EXPECT_EQ(track::rider_position(1), c.positions[1]);
        expect_only_recorded(2, "after the rewind");
        // And it plays on from there.
        for (int t = 0; t < 3000; ++t, ++clock)
            play_demo_tick(p, clock);
        ASSERT_FALSE(test::history_of(1).empty());
        EXPECT_EQ(test::history_of(1).back().first, 3000);
    }
}

TEST_F(DemoPlayerTest, AGhostLapStartsNow)
{
    DemoRecorder rec;
    ASSERT_TRUE(test::record_race(rec, file("lap.zvdemo"), 2, 500, 700));
    clear_history();
    DemoPlayer p;
    ASSERT_TRUE(open_demo_playback(p, file("lap.zvdemo"), true));
    for (int out : {-1, 160}) {  // the second rider stays out
        const int slots[] = {3, out};
        set_demo_slots(p, slots);
        EXPECT_EQ(p.slots, (std::vector<int>{3, k_no_history_slot})) << out;
    }
    core::clear_messages();
    // The first block (tick 512, entries from 500) maps onto the clock.
    int clock = 40000;
    play_demo_tick(p, clock);
    EXPECT_EQ(clock, 40000);
    EXPECT_EQ(p.tick_offset, 40000 - 512);
    for (; clock < 40300; ++clock)
        play_demo_tick(p, clock);
    auto got = test::history_of(3);
    ASSERT_EQ(got.size(), 51u);  // 500, 504 ... 700
    EXPECT_EQ(got.front().first, 500 + 40000 - 512);
    EXPECT_EQ(got.front().second, demo_record(0, 500));
    EXPECT_EQ(got.back().second, demo_record(0, 700));
    EXPECT_TRUE(test::history_of(1).empty());
    EXPECT_STREQ(core::message_line(0), "");
}

TEST_F(DemoPlayerTest, SeekingLandsWhereAStraightReadDoes)
{
    DemoRecorder rec;
    ASSERT_TRUE(test::record_race(rec, file("s.zvdemo"), 2, 0, 8000));
    struct Seen {
        int clock;
        std::vector<std::optional<Pose>> poses;
    };
    auto poses_now = [](int clock) {
        std::vector<std::optional<Pose>> out;
        for (int slot = 0; slot < 2; ++slot)
            out.push_back(pose_for_tick(slot, clock));
        return out;
    };
    // Playback reads on until it holds a block more than 64 ticks ahead.
    for (auto [until, newest] : {std::pair{4991, 5056}, {4992, 5072}}) {
        DemoPlayer ahead;
        ASSERT_EQ(test::play_until(ahead, file("s.zvdemo"), until), until);
        EXPECT_EQ(test::history_of(0).back().first, newest) << until;
    }
    std::vector<Seen> seen;
    DemoPlayer p;
    int clock = test::play_until(p, file("s.zvdemo"), 5000);
    for (double s : {-10.0, 3.0, -1.0, -0.5, 1.0, -60.0, 20.0, -1.0 / 128}) {
        ASSERT_TRUE(seek_demo(p, clock, s));
        seen.push_back({clock, poses_now(clock)});
    }
    ASSERT_EQ(seen[0].clock, 5000 - 1280);
    ASSERT_EQ(seen[1].clock, 5000 - 1280 + 384);
    for (const Seen& s : seen) {
        SCOPED_TRACE(s.clock);
        DemoPlayer straight;
        ASSERT_EQ(test::play_until(straight, file("s.zvdemo"), s.clock), s.clock);
        std::vector<std::optional<Pose>> want = poses_now(s.clock);
        for (std::size_t slot = 0; slot < 2; ++slot) {
            ASSERT_TRUE(want[slot] && s.poses[slot]);
            EXPECT_EQ(std::tuple(s.poses[slot]->record, s.poses[slot]->older_tick, s.poses[slot]->newer_tick),
                      std::tuple(want[slot]->record, want[slot]->older_tick, want[slot]->newer_tick));
        }
    }
}

// A state block of tick t holding one entry per rider for tick t.
std::string state_block(int riders, int tick, std::uint32_t previous, std::uint32_t* length)
{
    std::string payload;
    for (int i = 0; i < riders; ++i) {
        std::uint8_t e[k_demo_state_entry_size];
        e[0] = static_cast<std::uint8_t>(i);
        put_le32(e + 1, static_cast<std::uint32_t>(tick));
        StateRecord r = demo_record(i, tick);
        std::copy(r.bytes.begin(), r.bytes.end(), e + 5);
        payload.append(reinterpret_cast<const char*>(e), sizeof e);
    }
    std::uint8_t h[k_demo_block_header_size];
    *length = static_cast<std::uint32_t>(payload.size());
    encode_block_header(h, {*length, tick, k_demo_block_states}, previous);
    return std::string(reinterpret_cast<const char*>(h), sizeof h) + payload;
}

std::string raw_block(std::uint8_t type, int tick, const std::string& payload, std::uint32_t previous)
{
    std::uint8_t h[k_demo_block_header_size];
    encode_block_header(h, {static_cast<std::uint32_t>(payload.size()), tick, type}, previous);
    return std::string(reinterpret_cast<const char*>(h), sizeof h) + payload;
}

TEST_F(DemoPlayerTest, BadBlocksAreSkippedAndShortReadsWait)
{
    std::vector<std::string> messages;
    auto collect = [](std::string_view text, void* user) {
        static_cast<std::vector<std::string>*>(user)->emplace_back(text);
    };
    std::uint32_t len = 0;
    std::string data = test::format_header_for(2);
    data += state_block(2, -16, 0, &len);                                   // cannot start a clock
    data += state_block(2, 0, len, &len);
    data += raw_block(k_demo_block_states, 4, std::string(10, 'x'), len);   // no whole entry
    data += raw_block(7, 8, "other", 10);
    data += raw_block(k_demo_block_message, 8, std::string(1100, 'm'), 5);  // shown cut to 1023
    std::string second = state_block(2, 16, 1100, &len);
    test::write_file(file("b.zvdemo"), data + second.substr(0, 20));

    DemoPlayer p;
    p.on_message = collect;
    p.message_user = &messages;
    ASSERT_TRUE(open_demo_playback(p, file("b.zvdemo")));
    int clock = 0;
    for (; clock < 100; ++clock)
        play_demo_tick(p, clock);
    EXPECT_EQ(p.blocks_skipped, 2);
    ASSERT_EQ(messages, std::vector<std::string>{std::string(1023, 'm')});
    EXPECT_EQ(test::history_of(1).size(), 1u);
    // The rest arrives: the next tick reads on from the same block.
    test::write_file(file("b.zvdemo"), data + second);
    play_demo_tick(p, clock);
    EXPECT_EQ(test::history_of(1).size(), 2u);
    expect_only_recorded(2, "skipped blocks");
    close_demo_playback(p);

    // The largest block two riders can write (their whole rings), then 200
    // empty messages on one tick: at most 128 blocks are read a tick.
    clear_history();
    std::string full;
    for (int rider = 0; rider < 2; ++rider)
        for (int tick = 100; tick < 100 + k_history_length; ++tick) {
            std::uint32_t one = 0;
            full += state_block(1, tick, 0, &one).substr(k_demo_block_header_size);
            full[full.size() - k_demo_state_entry_size] = static_cast<char>(rider);
            StateRecord r = demo_record(rider, tick);
            full.replace(full.size() - k_state_record_size, k_state_record_size,
                         reinterpret_cast<const char*>(r.bytes.data()), k_state_record_size);
        }
    data = test::format_header_for(2) + raw_block(k_demo_block_states, 227, full, 0);
    for (int i = 0; i < 200; ++i)
        data += raw_block(k_demo_block_message, 227, "", i == 0 ? static_cast<std::uint32_t>(full.size()) : 0);
    test::write_file(file("b.zvdemo"), data);
    messages.clear();
    ASSERT_TRUE(open_demo_playback(p, file("b.zvdemo")));
    clock = 0;
    EXPECT_EQ(play_demo_tick(p, clock), 128);
    EXPECT_EQ(clock, 227);
    EXPECT_EQ(test::history_of(0).size(), 128u);
    EXPECT_EQ(test::history_of(1).size(), 128u);
    expect_only_recorded(2, "a full block");
    EXPECT_EQ(play_demo_tick(p, clock), 73);
    EXPECT_EQ(messages.size(), 200u);
    close_demo_playback(p);

    // A scan counts the empty block at the very end, and an old file without
    // riders has no frames.
    std::optional<DemoScan> scan = scan_demo(file("b.zvdemo"));
    ASSERT_TRUE(scan);
    EXPECT_EQ(scan->blocks, 201);
    EXPECT_EQ(scan->message_blocks, 200);
    EXPECT_FALSE(scan->truncated);
    test::write_file(file("b.zvdemo"), "ZV05 0 0\nt\nstray bytes");
    scan = scan_demo(file("b.zvdemo"));
    ASSERT_TRUE(scan);
    EXPECT_EQ(scan->frames, 0);
    EXPECT_FALSE(scan->has_ticks);
}

TEST_F(DemoPlayerTest, DamagedFilesNeverCrashOrFeedFalseRecords)
{
    DemoRecorder rec;
    ASSERT_TRUE(test::record_race(rec, file("d.zvdemo"), 2, 0, 60, {{50, "hello"}}));
    const std::string whole = *test::read_file(file("d.zvdemo"));
    const std::size_t data_start = test::format_header_for(2).size();
    ASSERT_EQ(whole.substr(0, data_start), test::format_header_for(2));

    auto play_through = [&](const std::string& bytes, const std::string& what, bool records_intact) {
        test::write_file(file("x.zvdemo"), bytes);
        DemoPlayer p;
        p.on_message = [](std::string_view, void*) {};
        if (!open_demo_playback(p, file("x.zvdemo")))
            return;
        int clock = 0;
        for (int t = 0; t < 100; ++t, ++clock)
            play_demo_tick(p, clock);
        seek_demo(p, clock, -0.25);
        seek_demo(p, clock, 0.5);
        seek_demo(p, clock, -100);
        EXPECT_TRUE(is_playing(p)) << what;
        if (records_intact)
            expect_only_recorded(2, what);
        else
            for (int slot = 2; slot < k_history_slots; ++slot)
                ASSERT_TRUE(test::history_of(slot).empty()) << what;
        close_demo_playback(p);
    };
    for (std::size_t n = 0; n <= whole.size(); ++n)
        play_through(whole.substr(0, n), "cut at " + std::to_string(n), true);
    for (std::size_t at = data_start; at < whole.size(); at += 2) {
        std::string flipped = whole;
        flipped[at] = static_cast<char>(flipped[at] ^ 0x5A);
        play_through(flipped, "flipped at " + std::to_string(at), false);
    }
    for (std::uint32_t lie : {0xFFFFFFFFu, 0x7FFFFFFFu, 44u * 100000u, 45u, 0u}) {
        std::string lying = whole;
        std::uint8_t word[4];
        put_le32(word, lie);
        lying.replace(data_start, 4, reinterpret_cast<const char*>(word), 4);
        play_through(lying, "length " + std::to_string(lie), false);
    }
}

}  // namespace
}  // namespace zv::replay
