// The per-slot history: storing (appends, duplicates, older records, the
// ring wrapping), bracketing a display tick, choosing and blending the pose,
// and the network bookkeeping beside it.
#include <gtest/gtest.h>

#include <tuple>
#include <utility>
#include <vector>

#include "core/messages.h"
#include "replay/history.h"

namespace zv::replay {
namespace {

constexpr std::uint32_t k_x0 = 100000;

// A record that tells its tick: x position 100000 + 1000 tick, steering byte
// tick mod 256, the sample flag set, identity rotations.
StateRecord rec(int tick)
{
    StateValues v;
    v.sampled = true;
    RecordScale s;
    StateRecord r = encode_state(v, s);
    put_u24(r, k_at_frame_position, k_x0 + 1000u * static_cast<std::uint32_t>(tick));
    r.bytes[k_at_steering] = static_cast<std::uint8_t>(tick & 0xFF);
    return r;
}

std::uint32_t x_of(const StateRecord& r) { return get_u24(r, k_at_frame_position); }

class History : public ::testing::Test {
protected:
    void SetUp() override
    {
        clear_history();
        clear_network_bookkeeping();
        set_pose_handler(nullptr, nullptr);
        set_hold_older_records(false);
    }
    void TearDown() override { SetUp(); }

    static void add(int slot, std::initializer_list<int> ticks)
    {
        for (int t : ticks)
            ASSERT_TRUE(add_state_to_history(slot, rec(t), t)) << t;
    }
    static const SlotHistory& h(int slot) { return *slot_history(slot); }
    static int head_tick(int slot) { return h(slot).ring[static_cast<std::size_t>(h(slot).head)].tick; }
    static std::vector<int> ticks_newest_first(int slot)
    {
        std::vector<int> out;
        int i = h(slot).head;
        for (int k = 0; k < k_history_length; ++k) {
            int t = h(slot).ring[static_cast<std::size_t>(i)].tick;
            if (t == k_empty_tick)
                break;
            out.push_back(t);
            i = i == 0 ? k_history_length - 1 : i - 1;
        }
        return out;
    }
    static int valid_count(int slot)
    {
        int n = 0;
        for (const HistoryEntry& e : h(slot).ring)
            n += e.tick != k_empty_tick;
        return n;
    }
    static Pose pose(int slot, int tick)
    {
        std::optional<Pose> p = pose_for_tick(slot, tick);
        EXPECT_TRUE(p.has_value());
        return p.value_or(Pose{});
    }
};

TEST_F(History, AppendsInTickOrderOnceATick)
{
    add(5, {0, 4, 8});
    StateRecord other = rec(99);
    EXPECT_FALSE(add_state_to_history(5, other, 4));     // an older duplicate
    EXPECT_FALSE(add_state_to_history(5, other, 8));     // the newest
    EXPECT_FALSE(add_state_to_history(5, rec(-4), -4));  // a negative tick is no tick
    EXPECT_EQ(h(5).head, 3);  // the first record goes after the cleared head
    EXPECT_EQ(h(5).unwritten, 3);
    EXPECT_EQ(ticks_newest_first(5), (std::vector<int>{8, 4, 0}));
    EXPECT_EQ(h(5).ring[2].record, rec(4));
    EXPECT_EQ(h(5).ring[3].record, rec(8));
    EXPECT_EQ(valid_count(4), 0);  // other slots untouched
    mark_history_written(5);
    EXPECT_EQ(h(5).unwritten, 0);
}

TEST_F(History, OlderRecordDiscardsNewerAndPosesFromIt)
{
    add(2, {0, 4, 8, 12});
    ASSERT_TRUE(add_state_to_history(2, rec(6), 6));
    EXPECT_EQ(head_tick(2), 6);
    EXPECT_EQ(ticks_newest_first(2), (std::vector<int>{6, 4, 0}));
    EXPECT_EQ(valid_count(2), 3);       // 8 and 12 are gone
    EXPECT_EQ(h(2).unwritten, 5);
    // Tick 12 now lies past the newest record: 4 and 6 extrapolate by 4.
    Pose p = pose(2, 12);
    EXPECT_EQ(std::tuple(p.older_tick, p.newer_tick, p.distance), std::tuple(4, 6, 2));
    EXPECT_EQ(x_of(p.record), k_x0 + 12000);
    EXPECT_EQ(p.record.bytes[k_at_steering], 6);  // the rest holds at the newer record
    // Older than everything: the whole ring gives way to it.
    ASSERT_TRUE(add_state_to_history(2, rec(1), 1));
    ASSERT_TRUE(add_state_to_history(2, rec(0), 0) == false);  // 0 is still there
    EXPECT_EQ(ticks_newest_first(2), (std::vector<int>{1, 0}));
}

TEST_F(History, RingWrapsAfter128Entries)
{
    for (int k = 0; k < 200; ++k)
        ASSERT_TRUE(add_state_to_history(9, rec(4 * k), 4 * k));
    EXPECT_EQ(h(9).head, 200 % k_history_length);
    EXPECT_EQ(h(9).unwritten, k_history_length);
    EXPECT_EQ(valid_count(9), k_history_length);
    std::vector<int> t = ticks_newest_first(9);
    ASSERT_EQ(t.size(), 128u);
    EXPECT_EQ(t.front(), 796);
    EXPECT_EQ(t.back(), 4 * (200 - 128));
    // An older record in a full ring: everything from the one before it on
    // stays, the rest is dropped.
    ASSERT_TRUE(add_state_to_history(9, rec(401), 401));
    t = ticks_newest_first(9);
    EXPECT_EQ(t.front(), 401);
    EXPECT_EQ(t[1], 400);
    EXPECT_EQ(t.back(), 288);
    EXPECT_EQ(valid_count(9), static_cast<int>(t.size()));
    // Older than the whole ring: only the new record is left.
    ASSERT_TRUE(add_state_to_history(9, rec(10), 10));
    EXPECT_EQ(ticks_newest_first(9), (std::vector<int>{10}));
    EXPECT_EQ(valid_count(9), 1);
}

TEST_F(History, BracketingPastTheNewest)
{
    EXPECT_FALSE(bracket_tick(3, 10).has_value());  // empty
    EXPECT_FALSE(pose_for_tick(3, 10).has_value());
    add(3, {8});
    // One record: it is both ends, drawn unchanged.
    Pose p = pose(3, 10);
    EXPECT_EQ(std::pair(p.older_tick, p.newer_tick), std::pair(8, 8));
    EXPECT_EQ(p.record, rec(8));
    EXPECT_EQ(pose(3, 1000).record, rec(8));
    add(3, {12});
    p = pose(3, 14);
    EXPECT_EQ(std::pair(p.older_tick, p.newer_tick), std::pair(8, 12));
    EXPECT_EQ(x_of(p.record), k_x0 + 14000);   // fraction 1.5
    EXPECT_FALSE(record_is_sampled(p.record));
}

TEST_F(History, BracketingBetweenRecords)
{
    add(4, {0, 4, 8});
    // On a record's own tick that record is drawn as it is.
    const struct {
        int tick, older, newer;
        bool own;
    } cases[] = {{5, 4, 8, false}, {6, 4, 8, false}, {8, 4, 8, true}, {4, 0, 4, true}};
    for (const auto& c : cases) {
        Pose p = pose(4, c.tick);
        EXPECT_EQ(std::vector<int>({p.older_tick, p.newer_tick, p.record.bytes[k_at_steering]}),
                  std::vector<int>({c.older, c.newer, c.tick}));
        EXPECT_EQ(x_of(p.record), k_x0 + 1000u * static_cast<std::uint32_t>(c.tick));
        EXPECT_EQ(p.record == rec(c.tick), c.own) << c.tick;
    }
}

TEST_F(History, BracketingBeforeTheOldest)
{
    add(6, {4});
    // One step back reached the empty entry: the record is both ends.
    std::optional<Bracket> b = bracket_tick(6, 2);
    ASSERT_TRUE(b.has_value());
    EXPECT_EQ(b->older, b->newer);
    EXPECT_EQ(pose(6, 2).record, rec(4));
    add(6, {8});
    b = bracket_tick(6, 2);
    ASSERT_TRUE(b.has_value());
    EXPECT_EQ(h(6).ring[static_cast<std::size_t>(b->older)].tick, 4);
    EXPECT_EQ(h(6).ring[static_cast<std::size_t>(b->newer)].tick, 8);
    EXPECT_EQ(pose(6, 2).record, rec(4));      // the oldest, unchanged
    // Negative display ticks count as 0.
    add(1, {0, 4});
    EXPECT_EQ(pose(1, -50).record, rec(0));
    // A full ring newer than the tick: the oldest entry and the one after it.
    for (int k = 0; k < 130; ++k)
        ASSERT_TRUE(add_state_to_history(8, rec(100 + k), 100 + k));
    b = bracket_tick(8, 50);
    ASSERT_TRUE(b.has_value());
    EXPECT_EQ(h(8).ring[static_cast<std::size_t>(b->older)].tick, 102);
    EXPECT_EQ(h(8).ring[static_cast<std::size_t>(b->newer)].tick, 103);
    EXPECT_EQ(pose(8, 50).record, rec(102));
}

TEST_F(History, ExtrapolationStopsAfter64Ticks)
{
    StateRecord a = rec(0), b = rec(4);
    // The newer record is turned 90 degrees about y.
    put_u16(b, k_at_frame_quaternion, encode_fraction(0.70710678, -1, 1, k_max16));
    put_u16(b, k_at_frame_quaternion + 4, encode_fraction(0.70710678, -1, 1, k_max16));
    ASSERT_TRUE(add_state_to_history(11, a, 0));
    ASSERT_TRUE(add_state_to_history(11, b, 4));
    // 100 ticks past the newest: positions go 64 ticks on (fraction 68 / 4).
    Pose p = pose(11, 104);
    EXPECT_EQ(x_of(p.record), k_x0 + 17 * 4000);
    EXPECT_EQ(pose(11, 68).record, p.record);
    EXPECT_EQ(x_of(pose(11, 36).record), k_x0 + 36000);
    // The orientation stays the newest record's.
    for (int i = 0; i < 4; ++i)
        EXPECT_NEAR(double(get_u16(p.record, k_at_frame_quaternion + 2 * i)),
                    double(get_u16(b, k_at_frame_quaternion + 2 * i)), 1.0)
            << i;
    // Playing an old demo: the older record as it stands.
    set_hold_older_records(true);
    EXPECT_EQ(pose(11, 104).record, a);
}

struct Seen {
    int calls = 0;
    Pose last;
};

TEST_F(History, SpectatorsLookBack127Ticks)
{
    EXPECT_EQ(display_tick(1000, false), 1000);
    EXPECT_EQ(display_tick(1000, true), 873);
    add(14, {868, 872, 876});
    EXPECT_EQ(x_of(pose(14, display_tick(1000, true)).record), k_x0 + 873000);
}

TEST_F(History, PoseAtTickHandsThePoseOn)
{
    Seen seen;
    add(12, {0, 8});
    EXPECT_FALSE(pose_at_tick(12, 4));  // nobody to take it yet
    set_pose_handler([](const Pose& p, void* user) {
        auto* s = static_cast<Seen*>(user);
        ++s->calls;
        s->last = p;
    }, &seen);
    EXPECT_TRUE(pose_at_tick(12, 2));
    EXPECT_EQ(seen.calls, 1);
    EXPECT_EQ(std::tuple(seen.last.slot, seen.last.tick, seen.last.distance), std::tuple(12, 2, 8));
    EXPECT_EQ(std::pair(seen.last.older, seen.last.newer), std::pair(rec(0), rec(8)));
    EXPECT_EQ(x_of(seen.last.record), k_x0 + 2000);
    EXPECT_FALSE(pose_at_tick(13, 2));   // empty history: no-op
    EXPECT_FALSE(pose_at_tick(160, 2));
    EXPECT_EQ(seen.calls, 1);
}

TEST_F(History, SlotOutOfRangeIsRefusedWithAMessage)
{
    for (int slot : {160, -1}) {
        core::clear_messages();
        EXPECT_FALSE(add_state_to_history(slot, rec(4), 4));
        EXPECT_STREQ(core::message_line(0), "add_state_to_history: slot out of range");
        EXPECT_EQ(slot_history(slot), nullptr);
    }
    EXPECT_TRUE(add_state_to_history(159, rec(4), 4));
    EXPECT_FALSE(bracket_tick(-3, 4).has_value());
}

TEST_F(History, ClearEmptiesEverySlot)
{
    add(0, {0, 4});
    add(159, {8});
    clear_history();
    for (int slot : {0, 159}) {
        EXPECT_EQ(h(slot).head, 0);
        EXPECT_EQ(h(slot).unwritten, 0);
        for (const HistoryEntry& e : h(slot).ring) {
            EXPECT_EQ(e.tick, k_empty_tick);
            EXPECT_EQ(e.record, StateRecord{});
        }
    }
}

TEST_F(History, NetworkBookkeeping)
{
    EXPECT_FALSE(slot_network(20)->received);
    EXPECT_TRUE(note_received_state(20, 500));
    EXPECT_FALSE(note_received_state(20, 400));   // older
    EXPECT_FALSE(note_received_state(20, 500));   // the same
    EXPECT_TRUE(note_received_state(20, 0xFFFFFFF0u));
    EXPECT_FALSE(note_received_state(20, 5));     // compared unsigned
    EXPECT_EQ(slot_network(20)->newest_tick, 0xFFFFFFF0u);
    set_ping(20, 17);
    set_ping(21, -5);
    EXPECT_EQ(slot_network(20)->ping_ticks, 17);
    EXPECT_EQ(slot_network(21)->ping_ticks, 0);
    EXPECT_FALSE(note_received_state(160, 1));
    EXPECT_EQ(slot_network(160), nullptr);
    clear_network_bookkeeping();
    EXPECT_FALSE(slot_network(20)->received);
    EXPECT_EQ(slot_network(20)->ping_ticks, 0);
}

}  // namespace
}  // namespace zv::replay
