// Sampling and storing 40 riders every fourth tick allocates nothing.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <memory>
#include <vector>

#include "replay/history.h"
#include "replay/visibility.h"
#include "sim/bike.h"
#include "sim/maneuver.h"
#include "sim/world.h"

#include "support/allocation_counter.h"

namespace zv::replay {
namespace {

TEST(HistoryAllocation, SamplingFortyRidersAllocatesNothing)
{
    track::Terrain field = sim::make_flat_field();
    auto world = sim::create_world();
    world->terrain = &field;
    std::vector<std::unique_ptr<sim::Bike>> bikes;
    for (int i = 0; i < 40; ++i) {
        bikes.push_back(sim::create_bike(*world, "yz250f(2017)", i, "1"));
        sim::place_bike(*bikes.back(), {100.0f + 8.0f * static_cast<float>(i), 0.1f, 1000}, 0);
    }
    clear_history();
    std::array<SlotDriver, k_history_slots> drivers{};
    drivers.fill(SlotDriver::replayed);
    VisibilityContext c;
    c.drivers = drivers.data();
#if ZV_COUNT_ALLOCATIONS
    g_counting = true;  // the counter sees an allocation...
    auto probe = std::make_unique<int>(1);
    g_counting = false;
    ASSERT_GE(g_allocations.load(), 1);
    g_allocations = 0;
    g_counting = true;  // ...and none in the sampling
    int stored = 0;
    for (int tick = 0; tick < 1024; tick += k_sample_interval) {
        for (int slot = 0; slot < 40; ++slot) {
            stored += add_state_to_history(slot, sample_state(*bikes[static_cast<std::size_t>(slot)], field), tick);
            c.tick = tick;
            stored += pose_for_tick(slot, tick - 2).has_value() && !is_rider_hidden(slot, c);
        }
    }
    g_counting = false;
    EXPECT_EQ(g_allocations.load(), 0);
    EXPECT_EQ(stored, 2 * 40 * 256);
#else
    GTEST_SKIP() << "allocation counting needs the plain malloc";
#endif
}

}  // namespace
}  // namespace zv::replay
