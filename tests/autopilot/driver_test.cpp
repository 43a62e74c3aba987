// The driving controller on the flat field: it holds a straight line and a
// curve within a few feet and reaches the line's speed; finding the robot on
// its line; the centre line through a corner; the taught line file's text.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <memory>
#include <utility>
#include <vector>

#include "autopilot/centre_line.h"
#include "autopilot/driver.h"
#include "autopilot/line_file.h"
#include "autopilot/teacher.h"
#include "sim/bike.h"
#include "sim/maneuver.h"
#include "sim/world.h"

namespace zv::autopilot {
namespace {

struct Ride {
    float max_off = 0;      // ft from the line after the first second
    float final_speed = 0;
    int final_position = 0;
    int knockouts = 0;
    float final_x = 0;
    int top_gear = 0;       // the highest gear held
    int final_gear = 0;
    int shifts = 0;
    int closest_shifts = 1 << 30;  // fewest ticks between two gear changes
    int asked_past_box = 0;        // shift inputs past the top or below first gear
};

// One robot from the middle of the flat field's far edge, facing -z, along
// `line` for `seconds`.
Ride ride(const std::vector<LinePoint>& line, float seconds, bool arcade = true,
          const std::vector<LinePoint>& next = {}, int start_gear = 0)
{
    static const track::Terrain field = sim::make_flat_field();
    auto world = sim::create_world();
    world->terrain = &field;
    auto bike = sim::create_bike(*world, "450sxf(2017)", 1, "1");
    sim::place_bike(*bike, {line[0].x, 0.1f, line[0].z}, 0);
    sim::RiderSetup setup = sim::bench_setup();
    setup.arcade = arcade;
    robot_setup(setup);
    sim::set_setup(*bike, setup);
    bike->controls.gear = start_gear;
    sim::Bike* bikes[1] = {bike.get()};
    DriverState st;
    st.next = next;
    Ride r;
    r.top_gear = start_gear;
    int last_shift = 0;
    for (int t = 0; t < static_cast<int>(seconds * 128); ++t) {
        world->tick = t;
        sim::RiderInput in;
        drive_line(*bike, line, st, 1.0f, in);
        const int gear = bike->controls.gear;
        if ((in.shift > 0 && gear + 1 >= sim::gear_count(bike->info)) || (in.shift < 0 && gear == 0))
            ++r.asked_past_box;
        sim::apply_input(*bike, in);
        sim::run_tick(*world, bikes);
        if (t > 128)
            r.max_off = std::max(r.max_off, st.line_distance);
        if (bike->controls.gear != gear) {
            if (r.shifts++ > 0)
                r.closest_shifts = std::min(r.closest_shifts, t - last_shift);
            last_shift = t;
        }
        r.top_gear = std::max(r.top_gear, bike->controls.gear);
    }
    r.final_gear = bike->controls.gear;
    r.final_speed = sim::bike_speed(*bike);
    r.final_position = st.position;
    r.final_x = sim::body_position(bike->body(sim::k_frame)).x;
    r.knockouts = bike->knockout_count;
    return r;
}

std::vector<LinePoint> straight(float x, float z0, float length, float speed)
{
    std::vector<LinePoint> line;
    for (float s = 0; s <= length; s += 8)
        line.push_back({x, 2, z0 - s, speed, 1});
    return line;
}

TEST(Driver, HoldsAStraightLineAtItsSpeed)
{
    float mid = sim::make_flat_field().field_size / 2;
    Ride r = ride(straight(mid, 1800, 1500, 40), 15);
    EXPECT_LT(r.max_off, 3.0f);
    EXPECT_NEAR(r.final_speed, 40.0f, 4.0f);
    EXPECT_EQ(r.knockouts, 0);
}

// The robot shifts by the engine speed: up through the box as the line asks
// for more speed, never past the top or below first, back down as it slows,
// and never two shifts within 48 ticks.
TEST(Driver, ShiftsThroughTheGearbox)
{
    float mid = sim::make_flat_field().field_size / 2;
    auto fast_then_slow = [&](float fast, float slow) {
        std::vector<LinePoint> line = straight(mid, 1900, 900, fast);
        for (LinePoint p : straight(mid, 992, 900, slow))
            line.push_back(p);
        return line;
    };
    struct Case {
        std::vector<LinePoint> line;
        int start_gear, top, final;
    } cases[] = {
        {straight(mid, 1900, 1800, 60), 0, 0, 0},
        {straight(mid, 1900, 1800, 100), 0, 3, 3},
        {straight(mid, 1900, 1800, 160), 0, 4, 4},
        {fast_then_slow(130, 30), 0, 4, 0},
        // Put back on the track at rest in top gear: down one at a time.
        {straight(mid, 1900, 1800, 60), 4, 4, 0},
    };
    for (const Case& c : cases) {
        Ride r = ride(c.line, 15, true, {}, c.start_gear);
        EXPECT_EQ(r.top_gear, c.top) << c.line[0].speed;
        EXPECT_EQ(r.final_gear, c.final) << c.line[0].speed;
        EXPECT_GE(r.closest_shifts, 48) << c.line[0].speed;
        EXPECT_EQ(r.asked_past_box, 0) << c.line[0].speed;
    }
}

// A robot that asks to go and does not move is stuck after 256 ticks of
// it, counted from the end of the five seconds' grace after the start (so
// first at tick 640 + 256 + 1 past the start), and backs up.
TEST(Driver, StuckAfterTheStartGraceBacksUp)
{
    const float mid = sim::make_flat_field().field_size / 2;
    auto world = sim::create_world();
    world->start_tick = 100;
    auto bike = sim::create_bike(*world, "450sxf(2017)", 1, "1");
    sim::place_bike(*bike, {mid, 0.1f, 1800}, 0);
    // Never stepped: it stands where it is, wheels on the ground.
    bike->front_contact.depth = bike->rear_contact.depth = 0.05f;
    const std::vector<LinePoint> line = straight(mid, 1800, 400, 30);
    DriverState st;
    int backing = -1;
    for (int t = 0; t < 2000 && backing < 0; ++t) {
        world->tick = t;
        sim::RiderInput in;
        drive_line(*bike, line, st, 1.0f, in);
        if (st.back_up_ticks > 0)
            backing = t;
    }
    EXPECT_EQ(backing, 100 + 640 + 257);
    EXPECT_EQ(st.stuck_count, 1);
    // Backed up, it counts as running freely again only above 15 ft/s.
    st.back_up_ticks = 0;
    for (float speed : {15.0f, 15.5f}) {
        dBodySetLinearVel(bike->body(sim::k_frame), 0, 0, -speed);
        sim::RiderInput in;
        drive_line(*bike, line, st, 1.0f, in);
        EXPECT_EQ(st.stuck_count, speed > 15 ? 0 : 1) << speed;
    }
}

TEST(Driver, FollowsACurve)
{
    // 200 ft straight, then a quarter circle of 100 ft radius to the right
    // (toward +x), then straight on; 30 ft/s all along.
    float mid = sim::make_flat_field().field_size / 2;
    std::vector<LinePoint> line = straight(mid, 1800, 200, 30);
    const float cx = mid + 100, cz = 1600, radius = 100;
    for (int k = 1; k <= 40; ++k) {
        float a = 1.5707963f * static_cast<float>(k) / 40;
        line.push_back({cx - radius * std::cos(a), 2, cz - radius * std::sin(a), 30, 1});
    }
    for (float s = 8; s <= 600; s += 8)
        line.push_back({cx + s, 2, cz - radius, 30, 1});
    for (bool arcade : {true, false}) {
        Ride r = ride(line, 20, arcade);
        EXPECT_LT(r.max_off, 6.0f) << (arcade ? "arcade" : "roll servo");
        EXPECT_GT(r.final_position, 40 + 26) << (arcade ? "arcade" : "roll servo");  // past the curve
        EXPECT_EQ(r.knockouts, 0);
    }
}

// A quarter circle of `radius` turning from -z toward +x, starting at
// (x, z), a point every `step` feet, then `after` feet straight on.
std::vector<LinePoint> right_turn(float x, float z, float radius, float speed, float step, float after = 0)
{
    std::vector<LinePoint> line;
    const int n = static_cast<int>(1.5707963f * radius / step);
    for (int k = 0; k <= n; ++k) {
        float a = 1.5707963f * static_cast<float>(k) / static_cast<float>(n);
        line.push_back({x + radius - radius * std::cos(a), 2, z - radius * std::sin(a), speed, 1});
    }
    for (float s = 8; s <= after; s += 8)
        line.push_back({x + radius + s, 2, z - radius, speed, 1});
    return line;
}

// The speed a bike at rest at the start of a line means to reach: the
// line's own, never below a rolling pace, held down by the turns ahead and
// by those on the way on past the line's end.
TEST(Driver, TargetSpeedFloorTurnsAndTheWayOn)
{
    static const track::Terrain field = sim::make_flat_field();
    const float mid = field.field_size / 2;
    auto world = sim::create_world();
    world->terrain = &field;
    auto bike = sim::create_bike(*world, "450sxf(2017)", 1, "1");
    sim::place_bike(*bike, {mid, 0.1f, mid}, 0);
    const sim::Vec3 at = sim::body_position(bike->body(sim::k_frame));
    // sqrt(11 ft/s^2 x 20 ft) in the turn, a foot or less ahead: within the
    // braking allowance of a foot (sqrt(220 + 44)).
    const float in_turn = std::sqrt(220.0f);
    struct Case {
        const char* name;
        std::vector<LinePoint> line, next;
        float low, high;
    };
    // The bike halfway between a point at 30 ft/s and one at 40 ft/s: 35.
    std::vector<LinePoint> rising = straight(at.x, at.z + 12, 200, 0);
    for (std::size_t k = 0; k < rising.size(); ++k)
        rising[k].speed = 20 + 10 * static_cast<float>(k);
    const std::vector<Case> cases = {
        {"straight", straight(at.x, at.z, 200, 30), {}, 30, 30},
        {"between two points", rising, {}, 35, 35},
        {"crawling line", straight(at.x, at.z, 200, 2), {}, 10, 10},
        {"tight turn", right_turn(at.x, at.z, 20, 40, 0.5f), {}, in_turn, std::sqrt(220.0f + 44)},
        {"line ends short of a turn", straight(at.x, at.z, 8, 40), right_turn(at.x, at.z - 9, 20, 40, 0.5f), in_turn,
         std::sqrt(220.0f + 2 * 22 * 10)},
        {"way on far away", straight(at.x, at.z, 8, 40), right_turn(at.x + 60, at.z - 9, 20, 40, 0.5f), 40, 40},
    };
    for (const Case& c : cases) {
        DriverState st;
        st.next = c.next;
        sim::RiderInput in;
        drive_line(*bike, c.line, st, 1.0f, in);
        EXPECT_GE(st.target_speed, c.low - 1e-3f) << c.name;
        EXPECT_LE(st.target_speed, c.high + 1e-3f) << c.name;
    }
}

// A line that ends where a turn begins: the look-ahead follows the way on
// and the robot turns with it; without it the robot rides straight on.
TEST(Driver, SteersAlongTheWayOnPastItsLineEnd)
{
    const float mid = sim::make_flat_field().field_size / 2;
    std::vector<LinePoint> line = straight(mid, 1800, 150, 25);
    std::vector<LinePoint> next = right_turn(mid, 1800 - 152, 60, 25, 4, 400);
    Ride with = ride(line, 12, true, next);
    Ride without = ride(line, 12, true);
    EXPECT_GT(with.final_x, mid + 70);  // round the quarter circle and on
    EXPECT_LT(std::fabs(without.final_x - mid), 10);
    EXPECT_EQ(with.knockouts, 0);
}

TEST(Driver, EmptyLineHoldsTheBike)
{
    auto world = sim::create_world();
    auto bike = sim::create_bike(*world, "450sxf(2017)", 1, "1");
    DriverState st;
    sim::RiderInput in;
    in.throttle = 1;
    drive_line(*bike, {}, st, 1.0f, in);
    EXPECT_FLOAT_EQ(in.throttle, 0);
    EXPECT_FLOAT_EQ(in.front_brake, 1);
    EXPECT_FLOAT_EQ(in.rear_brake, 1);
}

// Headway: a bike that goes nowhere while its robot rides on (here the
// world is never stepped) is flagged 5 s after it last moved 16 ft, never
// in the start's first 5 s; moving on clears it, and so does having no line.
TEST(Driver, NoHeadwayFlaggedAfterFiveSecondsInOnePlace)
{
    static const track::Terrain field = sim::make_flat_field();
    auto world = sim::create_world();
    world->terrain = &field;
    world->start_tick = 0;
    auto bike = sim::create_bike(*world, "450sxf(2017)", 1, "1");
    const std::vector<LinePoint> line = straight(100, 100, 200, 30);
    sim::place_bike(*bike, {100, 0.1f, 100}, 0);
    DriverState st;
    sim::RiderInput in;
    auto drive_at = [&](int tick) {
        world->tick = tick;
        drive_line(*bike, line, st, 1.0f, in);
        return st.no_headway;
    };
    const int grace = 5 * 128, wait = 5 * 128;
    struct Case {
        int tick;
        bool flagged;
    };
    for (const Case& c : {Case{0, false}, Case{grace, false}, Case{grace + wait, false},
                          Case{grace + wait + 1, true}, Case{3 * grace, true}})
        EXPECT_EQ(drive_at(c.tick), c.flagged) << c.tick;
    // 10 ft on is not enough; 10 ft more (20 from where it stood) is.
    sim::place_bike(*bike, {100, 0.1f, 90}, 0);
    EXPECT_TRUE(drive_at(3 * grace + 1));
    sim::place_bike(*bike, {100, 0.1f, 80}, 0);
    EXPECT_FALSE(drive_at(3 * grace + 2));
    EXPECT_FALSE(drive_at(3 * grace + 2 + wait));
    EXPECT_TRUE(drive_at(3 * grace + 3 + wait));
    drive_line(*bike, {}, st, 1.0f, in);
    EXPECT_FALSE(st.no_headway);
}

TEST(Driver, ReversedSteeringIsUndone)
{
    static const track::Terrain field = sim::make_flat_field();
    auto world = sim::create_world();
    world->terrain = &field;
    auto bike = sim::create_bike(*world, "450sxf(2017)", 1, "1");
    sim::place_bike(*bike, {100, 0.1f, 100}, 0);
    sim::Bike* bikes[1] = {bike.get()};
    for (int t = 0; t < 64; ++t)
        sim::run_tick(*world, bikes);  // on its wheels
    // The bike faces -z; the line runs off to one side.
    std::vector<LinePoint> line = {{100, 2, 100, 30, 1}, {130, 2, 70, 30, 1}, {160, 2, 40, 30, 1}};
    sim::RiderInput plain, reversed;
    DriverState a, b;
    bike->reverse_steering = false;
    drive_line(*bike, line, a, 1.0f, plain);
    bike->reverse_steering = true;
    drive_line(*bike, line, b, 1.0f, reversed);
    EXPECT_NE(plain.steer, 0.0f);
    EXPECT_FLOAT_EQ(reversed.steer, -plain.steer);
}

TEST(Driver, LocatesTheRobotOnItsLine)
{
    std::vector<LinePoint> line = {{0, 0, 0}, {10, 0, 0}, {20, 0, 0}, {30, 0, 0}};
    float t = 0, d = 0;
    EXPECT_EQ(locate_on_line(line, 0, 12, 3, t, d), 1);
    EXPECT_NEAR(t, 0.2f, 1e-5f);
    EXPECT_NEAR(d, 3.0f, 1e-5f);
    // Before the start and past the end: the end segments, clamped.
    EXPECT_EQ(locate_on_line(line, 0, -5, 0, t, d), 0);
    EXPECT_NEAR(d, 5.0f, 1e-5f);
    EXPECT_EQ(locate_on_line(line, 1, 40, 0, t, d), 2);
    EXPECT_NEAR(t, 1.0f, 1e-5f);
    // Far from the window: the whole line is searched.
    std::vector<LinePoint> loop;
    for (int k = 0; k <= 100; ++k)
        loop.push_back({static_cast<float>(k) * 10, 0, 0});
    EXPECT_EQ(locate_on_line(loop, 0, 905, 1, t, d), 90);
    EXPECT_NEAR(d, 1.0f, 1e-5f);
    EXPECT_EQ(locate_on_line({}, 3, 1, 1, t, d), 0);
    std::vector<LinePoint> one = {{3, 0, 4}};
    EXPECT_EQ(locate_on_line(one, 0, 0, 0, t, d), 0);
    EXPECT_NEAR(d, 5.0f, 1e-5f);
}

TEST(Driver, ArcadeTurnScaleByTable)
{
    struct Row {
        float speed, scale;
    };
    // The table's points, halfway between two of them, and beyond its ends.
    const Row rows[] = {{0, 2.2f}, {10, 2.2f}, {12.5f, 2.1f}, {20, 1.5f}, {32.5f, 0.925f}, {60, 0.8f}, {200, 0.8f}};
    for (const Row& r : rows)
        EXPECT_NEAR(arcade_turn_scale(r.speed), r.scale, 1e-5f) << r.speed;
    EXPECT_FLOAT_EQ(arcade_turn_scale(std::nanf("")), 2.2f);
}

TEST(CentreLine, CornerBetweenGatesIsAnArc)
{
    // The start faces +x at (-50, 0); gate A at the origin along +x, gate B
    // at (100, 100) along +z: one corner of radius 100 about (0, 100).
    track::TrackTiming t;
    track::Checkpoint a, b;
    a.radius = b.radius = 20;
    a.dir_x = 1;
    b.x = 100;
    b.z = 100;
    b.dir_z = 1;
    t.checkpoints = {a, b};
    t.first_lap = {0, 1};
    t.normal_lap = {1};
    t.first_lap_autopilot = 2;
    t.normal_lap_autopilot = 1;
    track::Terrain field = sim::make_flat_field();
    CentreLinePace pace = centre_line_pace(1);
    std::vector<LinePoint> line = centre_line(t, field, -50, 0, -1.5707963f, 2, pace, 4);
    ASSERT_GT(line.size(), 40u);
    for (const LinePoint& q : line) {
        if (q.x <= 0)
            EXPECT_NEAR(q.z, 0, 1e-3f);
        else
            EXPECT_NEAR(std::hypot(q.x, q.z - 100), 100, 0.05f);
        EXPECT_LE(q.speed, pace.top_speed + 1e-3f);
        EXPECT_NEAR(q.y, 2, 1e-3f);
    }
    // In the corner the speed keeps within the pace's grip.
    const LinePoint& apex = line[line.size() * 3 / 4];
    EXPECT_LE(apex.speed, std::sqrt(pace.cornering * 100) * 1.05f);
    // A gate a thousandth of a foot past the start still makes a way of two
    // points; closer, the start alone.
    for (float gap : {1e-3f, 0.999e-3f}) {
        std::vector<LinePoint> tiny = centre_line(t, field, -gap, 0, -1.5707963f, 1, pace);
        EXPECT_EQ(tiny.size(), gap < 1e-3f ? 1u : 2u) << gap;
    }
    EXPECT_TRUE(centre_line(track::TrackTiming{}, field, 0, 0, 0, 2, pace).empty());
    EXPECT_TRUE(centre_line(t, field, -50, 0, -1.5707963f, 2, pace, 0).empty());
    EXPECT_TRUE(centre_line(t, field, -50, 0, -1.5707963f, 0, pace).empty());
}

// Braking into a corner and accelerating out of it over the true distance
// between points however unevenly they lie: v² changes by 2·a·d from one
// point to the next until the pace's top speed.
TEST(CentreLine, SpeedsBrakeAndAccelerateOverTheDistanceBetweenPoints)
{
    CentreLinePace pace = centre_line_pace(1);
    std::vector<LinePoint> line;
    float d = -100;  // in along the diagonal to (0, 0), then out along +x
    for (int k = 0; d < 0; ++k, d += k % 2 ? 3 : 7)
        line.push_back({d, 0, d, 0, 1});
    const std::size_t corner = line.size();
    d = 0;
    for (int k = 0; d < 400; ++k, d += k % 2 ? 3 : 7)
        line.push_back({d, 0, 0, 0, 1});
    set_line_speeds(line, pace);
    ASSERT_LT(line[corner].speed, pace.top_speed / 2);
    auto gap = [&](std::size_t i) { return std::hypot(line[i].x - line[i - 1].x, line[i].z - line[i - 1].z); };
    int braking = 0, accelerating = 0;
    for (std::size_t i = 1; i + 2 < corner; ++i) {
        const float v = std::min(pace.top_speed, std::sqrt(line[i + 1].speed * line[i + 1].speed + 2 * pace.braking * gap(i + 1)));
        EXPECT_NEAR(line[i].speed, v, 1e-3f) << i;
        braking += v < pace.top_speed;
    }
    for (std::size_t i = corner + 2; i < line.size(); ++i) {
        const float v = std::min(pace.top_speed, std::sqrt(line[i - 1].speed * line[i - 1].speed + 2 * pace.accelerating * gap(i)));
        EXPECT_NEAR(line[i].speed, v, 1e-3f) << i;
        accelerating += v < pace.top_speed;
    }
    EXPECT_GT(braking, 10);
    EXPECT_GT(accelerating, 10);
}

TEST(CentreLine, OffsetMovesAcrossTheWay)
{
    track::Terrain field = sim::make_flat_field();
    CentreLinePace pace = centre_line_pace(0.5f);
    for (size_t n : {2u, 3u}) {
        std::vector<LinePoint> line;
        for (size_t k = 0; k < n; ++k)
            line.push_back({100, 7, 100 - 10 * static_cast<float>(k), 0, 1});  // running toward -z
        offset_line(line, 3, field, pace);
        for (const LinePoint& q : line) {
            EXPECT_NEAR(std::fabs(q.x - 100), 3, 1e-4f);
            EXPECT_NEAR(q.x, line[0].x, 1e-4f);  // every point to the same side
            EXPECT_NEAR(q.y, 2, 1e-4f);          // back on the ground
            EXPECT_GT(q.speed, 0);
        }
    }
}

// The teacher's laps reach the file through the table's own offering: the
// file is what format_lines makes of the table, duplicates are refused and a
// full section keeps only what promises to be faster.
TEST(Teacher, LapsAreOfferedToTheTable)
{
    track::TrackTiming t;
    t.checkpoints = {{10, 0, 0, -50, 0, 0, -1}, {10, 0, 0, -100, 0, 0, -1}};
    t.first_lap = {0, 1};
    t.normal_lap = {1};
    t.first_lap_autopilot = 2;
    t.normal_lap_autopilot = 1;
    auto at = [](float x, float speed) { return std::vector<LinePoint>{{x, 0, 0, speed, 1}, {x, 0, -4, speed, 1}}; };
    std::vector<TaughtLine> lines = {
        {1, at(0, 30), 300, 700},
        {1, at(0, 30), 290, 690},   // the same way again: a duplicate
        {1, at(3, 30), 200, 500},
        {3, at(0, 30), 200, 500},   // no such section
        {-1, at(0, 30), 200, 500},
        {0, {}, 200, 500},          // nothing recorded
    };
    LineTable table;
    TaughtOffers offers = teach_table(t, lines, table);
    EXPECT_EQ(std::pair(offers.stored, offers.refused), std::pair(2, 4));
    ASSERT_EQ(table.section_count(), 3);
    EXPECT_EQ(table.first_lap, 2);
    const LineSlot& first = table.sections[1].slots[0];
    const LineSlot& second = table.sections[1].slots[1];
    EXPECT_EQ(std::pair(first.time2, second.time1), std::pair(700, 200));
    EXPECT_NE(first.id, second.id);
    EXPECT_FALSE(table.sections[1].slots[2].filled());
    EXPECT_FALSE(table.sections[0].slots[0].filled());
    EXPECT_EQ(format_lines(table),
              "ct03 3\n0\n2\n"
              "2 300 700 0 1000000 1000000 0 0 0\n[0.000000 0.000000 0.000000] 30.000000 1.000000\n"
              "[0.000000 0.000000 -4.000000] 30.000000 1.000000\n"
              "2 200 500 0 1000000 1000000 0 0 0\n[3.000000 0.000000 0.000000] 30.000000 1.000000\n"
              "[3.000000 0.000000 -4.000000] 30.000000 1.000000\n0\n");

    // A full section: the worst line's estimate is 5/4 of its time 2 of
    // 1044; a lap a tick slower than that is too slow, one as fast takes
    // its slot.
    std::vector<TaughtLine> many;
    for (int k = 0; k < k_slots_per_section; ++k)
        many.push_back({0, at(static_cast<float>(k), 20), 400, 1000 + k});
    many.push_back({0, at(100, 20), 300, 1045});
    many.push_back({0, at(101, 20), 300, 1044});
    offers = teach_table(t, many, table);
    EXPECT_EQ(offers.stored, k_slots_per_section + 1);
    EXPECT_EQ(offers.refused, 1);
    EXPECT_EQ(table.sections[0].slots[44].points[0].x, 101);
    // Teaching again starts from an empty table.
    EXPECT_FALSE(table.sections[1].slots[0].filled());
    // No timing: no sections, nothing kept.
    offers = teach_table(track::TrackTiming{}, lines, table);
    EXPECT_TRUE(table.empty());
    EXPECT_EQ(offers.stored, 0);
}

// The teacher rides a ring of eight gates on the flat field, 160 ft round;
// checkpoint 0 lies just past the starting gate and is left to the riders
// on the first lap (flagged), so the table has 8 + 8 sections.
TEST(Teacher, RidesTwoLapsAndCutsThemAtTheGates)
{
    static const track::Terrain field = sim::make_flat_field();
    const float cx = field.field_size / 2, cz = field.field_size / 2, radius = 160;
    const float pi = 3.14159265f;
    track::TrackTiming t;
    for (int i = 0; i < 8; ++i) {
        const float a = static_cast<float>(i) * pi / 4;
        t.checkpoints.push_back({25, cx + radius * std::cos(a), 0, cz + radius * std::sin(a), -std::sin(a), 0,
                                 std::cos(a)});
    }
    const float g = -0.2f;  // the gate, a little before checkpoint 0
    track::StartingGate gate;
    gate.x = cx + radius * std::cos(g);
    gate.z = cz + radius * std::sin(g);
    gate.heading = std::atan2(std::sin(g), -std::cos(g));
    t.gates = {gate};
    t.first_lap = {track::k_autopilot_skip_flag, 1, 2, 3, 4, 5, 6, 7, 0};
    t.normal_lap = {1, 2, 3, 4, 5, 6, 7, 0};
    t.first_lap_autopilot = t.normal_lap_autopilot = 8;

    TeachOptions o;
    o.runs = 2;
    TeachReport report;
    std::vector<TaughtLine> lines = teach_track(t, field, o, report);
    EXPECT_EQ(report.runs, 2);
    EXPECT_EQ(report.falls, 0);
    EXPECT_EQ(report.cancelled, 0);
    ASSERT_EQ(report.laps, 4);
    ASSERT_EQ(lines.size(), 32u);
    for (int run = 0; run < 2; ++run) {
        // The gate drops at tick 256; a section's points are the samples
        // every 32 ticks after the gate that began it up to the tick of the
        // gate that ends it (the first from the drop itself).
        int begin = 256;
        int lap_ticks[2] = {0, 0};
        for (int j = 0; j < 16; ++j) {
            const TaughtLine& l = lines[static_cast<std::size_t>(run * 16 + j)];
            const int end = begin + l.time1;
            EXPECT_EQ(l.section, j) << run;
            ASSERT_GT(l.time1, 0) << run << " " << j;
            if (j < 15) {
                EXPECT_EQ(l.time2, l.time1 + lines[static_cast<std::size_t>(run * 16 + j + 1)].time1) << j;
            }
            const int samples = end / 32 - begin / 32 + (j == 0 ? 1 : 0);
            EXPECT_EQ(static_cast<int>(l.points.size()), samples) << run << " " << j;
            for (const LinePoint& q : l.points)
                EXPECT_NEAR(std::hypot(q.x - cx, q.z - cz), radius, 12) << run << " " << j;
            lap_ticks[j / 8] += l.time1;
            begin = end;
        }
        EXPECT_EQ(report.lap_seconds[static_cast<std::size_t>(run * 2)], lap_ticks[0] / 128.0f);
        EXPECT_EQ(report.lap_seconds[static_cast<std::size_t>(run * 2 + 1)], lap_ticks[1] / 128.0f);
    }
    // Both runs' lines reach the table, two to a section.
    LineTable table;
    EXPECT_EQ(teach_table(t, lines, table).stored, 32);
    ASSERT_EQ(table.section_count(), 16);
    for (int k = 0; k < 16; ++k)
        EXPECT_TRUE(table.sections[static_cast<std::size_t>(k)].slots[1].filled()) << k;
}

}  // namespace
}  // namespace zv::autopilot
