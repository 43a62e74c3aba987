// The robots' start with a fixed random sequence: blips and pauses before
// the ready signal, the hold and the rev after it, the launch at the
// reaction time and the clutch let out over a quarter second.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "autopilot/start_procedure.h"
#include "sim/bike.h"
#include "sim/world.h"
#include "support/expect_rows.h"

namespace zv::autopilot {
namespace {

constexpr int k_ready = 640;   // 5 s
constexpr int k_start = 1024;  // 8 s

// first pause 0.5 s, blip 0.5 s, pause 2 s, blip 0.25 s, pause 2.4 s (ends
// past the ready signal), hold 0.125 s, reaction 0.3 s.
const std::vector<float> k_draws = {0.25f, 0.5f, 0.0f, 0.0f, 0.8f, 0.0f, 0.5f};

StartPlan fixed_plan(float low = 0.2f, float high = 0.4f, std::vector<float> draws = k_draws)
{
    size_t next = 0;
    return plan_start(k_start, k_ready, low, high, [&] { return next < draws.size() ? draws[next++] : 0.0f; });
}

struct Fixture {
    std::unique_ptr<sim::SimWorld> world = sim::create_world();
    std::unique_ptr<sim::Bike> bike = sim::create_bike(*world, "450sxf(2017)", 1, "1");
};

TEST(StartProcedure, PlanFromFixedDraws)
{
    StartPlan p = fixed_plan();
    ASSERT_EQ(p.blip_count, 2);
    EXPECT_EQ((std::vector<int>{p.blip_on[0], p.blip_off[0], p.blip_on[1], p.blip_off[1]}),
              (std::vector<int>{64, 128, 384, 416}));
    EXPECT_EQ(p.rev_tick, k_ready + 16);
    EXPECT_EQ(p.launch_tick, k_start + 38);  // 0.3 s, truncated to ticks
}

TEST(StartProcedure, BlipAcrossTheReadySignalIsCut)
{
    // Every draw 0.9: first pause 1.8 s, blips of 0.7 s, pauses of 2.45 s.
    // The second blip starts at 4.95 s, before a ready signal at 660 ticks
    // (5.16 s), and is cut there.
    StartPlan p = plan_start(k_start, 660, 0.2f, 0.4f, [] { return 0.9f; });
    ASSERT_EQ(p.blip_count, 2);
    EXPECT_EQ(p.blip_on[1], static_cast<int>((1.8f + 0.7f + 2.45f) * 128));
    EXPECT_EQ(p.blip_off[1], 660);
}

TEST(StartProcedure, ControlsThroughTheStart)
{
    Fixture f;
    StartPlan plan = fixed_plan();
    struct Row {
        int tick;
        bool governs;
        float throttle, brake, clutch;
    };
    const int L = plan.launch_tick;
    const Row rows[] = {
        {0, true, 0, 1, 1},       {63, true, 0, 1, 1},      {64, true, 1, 1, 1},      {127, true, 1, 1, 1},
        {128, true, 0, 1, 1},     {400, true, 1, 1, 1},     {416, true, 0, 1, 1},     {639, true, 0, 1, 1},
        {655, true, 0, 1, 1},     {656, true, 1, 1, 1},     {L - 1, true, 1, 1, 1},   {L, true, 1, 0, 1},
        {L + 16, true, 1, 0, 0.5f}, {L + 32, true, 1, 0, 0}, {L + 255, true, 1, 0, 0}, {L + 256, false, 0, 0, 0},
    };
    for (const Row& r : rows) {
        sim::RiderInput in;
        in.steer = 0.25f;
        bool governs = start_procedure(plan, r.tick, *f.bike, in);
        EXPECT_EQ(governs, r.governs) << "tick " << r.tick;
        if (!governs)
            continue;
        // Held bikes stand straight; the launch keeps the controller's steer.
        SCOPED_TRACE(r.tick);
        test::expect_float_rows("input", {{in.throttle, r.throttle}, {in.front_brake, r.brake},
                                          {in.rear_brake, r.brake}, {in.clutch, r.clutch},
                                          {in.steer, r.tick < L ? 0.0f : 0.25f}});
    }
}

TEST(StartProcedure, EndsFiveSecondsAfterTheDropAndForAFallenRider)
{
    Fixture f;
    // A reaction of 4 s would launch at 12 s; the procedure still ends at 13 s.
    StartPlan late = fixed_plan(4, 4);
    sim::RiderInput in;
    EXPECT_TRUE(start_procedure(late, k_start + 639, *f.bike, in));
    EXPECT_FALSE(start_procedure(late, k_start + 640, *f.bike, in));
    f.bike->crash_timer = 100;
    EXPECT_FALSE(start_procedure(fixed_plan(), k_start + 100, *f.bike, in));
}

TEST(StartProcedure, HeldBikeShiftsDownToFirst)
{
    Fixture f;
    StartPlan plan = fixed_plan();
    f.bike->controls.gear = 2;
    sim::RiderInput in;
    start_procedure(plan, 11, *f.bike, in);
    EXPECT_FLOAT_EQ(in.shift, -1);
    start_procedure(plan, 12, *f.bike, in);
    EXPECT_FLOAT_EQ(in.shift, 0);
    f.bike->controls.gear = 0;
    start_procedure(plan, 11, *f.bike, in);
    EXPECT_FLOAT_EQ(in.shift, 0);
}

TEST(StartProcedure, RobotsOwnSequenceDrawsOncePerRace)
{
    std::uint32_t a = 7, b = 7;
    // 7 * 1664525 + 1013904223, top 24 bits.
    EXPECT_FLOAT_EQ(start_random(a), 0.23878079652786255f);
    EXPECT_EQ(a, 1025555898u);
    start_random(b);
    for (int i = 0; i < 100; ++i) {
        float x = start_random(a);
        EXPECT_EQ(x, start_random(b));
        EXPECT_GE(x, 0.0f);
        EXPECT_LT(x, 1.0f);
    }
    Fixture f;
    StartProcedureState state;
    state.random = 0;  // never stays 0
    sim::RiderInput in;
    EXPECT_TRUE(start_procedure(*f.bike, 0.2f, 0.4f, 0, k_start, k_ready, state, in));
    ASSERT_TRUE(state.planned);
    StartPlan first = state.plan;
    EXPECT_GE(first.launch_tick, k_start + 25);
    EXPECT_LE(first.launch_tick, k_start + 51);
    start_procedure(*f.bike, 0.2f, 0.4f, 1, k_start, k_ready, state, in);
    EXPECT_EQ(state.plan.launch_tick, first.launch_tick);
    // Past the launch phase it leaves the bike to the line controller with
    // the throttle still open.
    in = {};
    EXPECT_FALSE(start_procedure(*f.bike, 0.2f, 0.4f, first.launch_tick + 300, k_start, k_ready, state, in));
    EXPECT_FLOAT_EQ(in.throttle, 1);
    EXPECT_FLOAT_EQ(in.clutch, 0);
}

}  // namespace
}  // namespace zv::autopilot
