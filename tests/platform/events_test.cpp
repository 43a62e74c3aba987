#include "platform/events.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <thread>
#include <vector>

namespace zv::platform {
namespace {

EventTime at(std::int64_t s, std::int32_t us)
{
    return EventTime{s, us};
}

class EventsTest : public ::testing::Test {
protected:
    void SetUp() override { clear_events(); }
    void TearDown() override { clear_events(); }
};

TEST_F(EventsTest, OutOfOrderEventsPopInTimeOrder)
{
    ASSERT_TRUE(push_event_at(10, true, at(5, 0)));
    ASSERT_TRUE(push_event_at(11, false, at(4, 999999)));
    ASSERT_TRUE(push_event_at(12, true, at(4, 999999)));  // equal time: after 11
    ASSERT_TRUE(push_event_at(13, true, at(3, 500000)));
    ASSERT_TRUE(push_event_at(14, false, at(6, 0)));
    std::vector<std::uint32_t> order;
    while (auto e = pop_event())
        order.push_back(e->code);
    EXPECT_EQ(order, (std::vector<std::uint32_t>{13, 11, 12, 10, 14}));
    EXPECT_EQ(events_waiting(), 0);
    EXPECT_FALSE(pop_event());
}

TEST_F(EventsTest, EntryKeepsCodePressedFlagAndTime)
{
    ASSERT_TRUE(push_event_at(0x7fffffffu, true, at(1, 2)));
    ASSERT_TRUE(push_event_at(0x80000005u, false, at(1, 3)));  // only the low 31 bits are a code
    auto a = pop_event();
    ASSERT_TRUE(a);
    EXPECT_EQ(a->code, 0x7fffffffu);
    EXPECT_TRUE(a->pressed);
    EXPECT_EQ(a->time.seconds, 1);
    EXPECT_EQ(a->time.microseconds, 2);
    auto b = pop_event();
    ASSERT_TRUE(b);
    EXPECT_EQ(b->code, 5u);
    EXPECT_FALSE(b->pressed);
}

TEST_F(EventsTest, The257thUnreadEventIsDropped)
{
    for (int i = 0; i < k_event_queue_size; ++i)
        ASSERT_TRUE(push_event_at(static_cast<std::uint32_t>(i), true, at(100 + i, 0)));
    // Dropped even though it is the earliest of all.
    EXPECT_FALSE(push_event_at(999, true, at(1, 0)));
    EXPECT_EQ(events_waiting(), k_event_queue_size);
    auto first = pop_event();
    ASSERT_TRUE(first);
    EXPECT_EQ(first->code, 0u);
    // One read makes room for one more.
    EXPECT_TRUE(push_event_at(1000, true, at(1000, 0)));
    EXPECT_FALSE(push_event_at(1001, true, at(1001, 0)));
    std::vector<std::uint32_t> rest;
    while (auto e = pop_event())
        rest.push_back(e->code);
    ASSERT_EQ(rest.size(), 256u);
    EXPECT_EQ(rest.front(), 1u);
    EXPECT_EQ(rest[254], 255u);
    EXPECT_EQ(rest.back(), 1000u);
}

TEST_F(EventsTest, OrderHoldsAcrossTheRingWrap)
{
    // Move the read position near the end of the ring first.
    for (int i = 0; i < 250; ++i)
        push_event_at(0, true, at(0, i));
    for (int i = 0; i < 250; ++i)
        pop_event();
    for (int i = 0; i < 20; ++i)
        ASSERT_TRUE(push_event_at(static_cast<std::uint32_t>(i), true, at(50 - i, 0)));
    int last = -1;
    int count = 0;
    while (auto e = pop_event()) {
        EXPECT_GT(static_cast<int>(e->time.seconds), last);
        last = static_cast<int>(e->time.seconds);
        ++count;
    }
    EXPECT_EQ(count, 20);
}

TEST_F(EventsTest, PopBeforeTakesEqualButNotLaterTimes)
{
    push_event_at(1, true, at(2, 500));
    push_event_at(2, true, at(3, 0));
    EXPECT_FALSE(pop_event_before(at(2, 499)));
    EXPECT_FALSE(pop_event_before(at(1, 999999)));
    EXPECT_EQ(events_waiting(), 2);
    auto e = pop_event_before(at(2, 500));
    ASSERT_TRUE(e);
    EXPECT_EQ(e->code, 1u);
    EXPECT_FALSE(pop_event_before(at(2, 999999)));
    e = pop_event_before(at(4, 0));
    ASSERT_TRUE(e);
    EXPECT_EQ(e->code, 2u);
    EXPECT_FALSE(pop_event_before(at(9, 0)));
}

TEST_F(EventsTest, PushStampsWithTheClock)
{
    EventTime before = event_time_now();
    ASSERT_TRUE(push_event(7, true));
    EventTime after = event_time_now();
    auto e = pop_event();
    ASSERT_TRUE(e);
    EXPECT_FALSE(time_before(e->time, before));
    EXPECT_FALSE(time_before(after, e->time));
    EXPECT_GE(e->time.microseconds, 0);
    EXPECT_LT(e->time.microseconds, 1000000);
}

TEST_F(EventsTest, TimesCompareSecondsFirst)
{
    EXPECT_TRUE(time_before(at(1, 999999), at(2, 0)));
    EXPECT_FALSE(time_before(at(2, 0), at(1, 999999)));
    EXPECT_TRUE(time_before(at(2, 1), at(2, 2)));
    EXPECT_FALSE(time_before(at(2, 2), at(2, 2)));
    EventTime t = event_time_from_seconds(1.9999999);
    EXPECT_EQ(t.seconds, 2);
    EXPECT_EQ(t.microseconds, 0);
    t = event_time_from_seconds(3.25);
    EXPECT_EQ(t.seconds, 3);
    EXPECT_EQ(t.microseconds, 250000);
}

TEST_F(EventsTest, TwoThreadsPushingLoseNothing)
{
    constexpr int k_each = 120;
    auto producer = [](std::uint32_t base) {
        for (int i = 0; i < k_each; ++i)
            EXPECT_TRUE(push_event(base + static_cast<std::uint32_t>(i), (i & 1) != 0));
    };
    std::thread a(producer, 1000u), b(producer, 2000u);
    a.join();
    b.join();
    ASSERT_EQ(events_waiting(), 2 * k_each);
    std::set<std::uint32_t> codes;
    EventTime last{};
    std::uint32_t next_from[2] = {1000, 2000};
    while (auto e = pop_event()) {
        EXPECT_FALSE(time_before(e->time, last));
        last = e->time;
        codes.insert(e->code);
        int from = e->code >= 2000 ? 1 : 0;
        // Each producer's own events keep their order.
        EXPECT_EQ(e->code, next_from[from]++);
        EXPECT_EQ(e->pressed, (e->code & 1) != 0);
    }
    EXPECT_EQ(codes.size(), static_cast<size_t>(2 * k_each));
}

}  // namespace
}  // namespace zv::platform
