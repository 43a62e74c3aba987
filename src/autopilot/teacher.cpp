#include "autopilot/teacher.h"

#include <algorithm>
#include <cmath>
#include <memory>

#include "autopilot/driver.h"
#include "autopilot/offer.h"
#include "autopilot/start_procedure.h"
#include "sim/bike.h"
#include "sim/control.h"
#include "sim/maneuver.h"
#include "sim/world.h"

namespace zv::autopilot {
namespace {

constexpr int k_start_tick = 2 * 128;              // the gate drops two seconds in
constexpr int k_section_limit_ticks = 60 * 128;    // a section not done in a minute ends the run
constexpr float k_keep_off_line = 12;              // ft: a section ridden farther off is not kept
constexpr float k_reaction_low = 0.2f, k_reaction_high = 0.4f;

// The checkpoints that end the table's sections, first lap then normal lap.
std::vector<track::Checkpoint> section_gates(const track::TrackTiming& t, int& first, int& normal)
{
    std::vector<track::Checkpoint> gates;
    first = normal = 0;
    if (!t.has_timing())
        return gates;
    auto add = [&](const std::vector<int>& list, int& count) {
        for (int e : list)
            if (e < track::k_autopilot_skip_flag) {
                int c = std::min(e, static_cast<int>(t.checkpoints.size()) - 1);
                gates.push_back(t.checkpoints[static_cast<size_t>(c)]);
                ++count;
            }
    };
    add(t.first_lap, first);
    add(t.normal_lap, normal);
    return gates;
}

int table_section(int k, int first, int normal)
{
    return k < first ? k : first + (k - first) % normal;
}

struct SectionRecord {
    std::vector<LinePoint> points;
    bool cancelled = false;
};

// One run: the first lap and a normal lap from starting gate `gate` along
// the centre line moved `offset` feet across.
void ride_run(const track::TrackTiming& timing, const track::Terrain& terrain, const TeachOptions& o, int gate,
              float offset, std::uint32_t seed, std::vector<TaughtLine>& out, TeachReport& report)
{
    int first = 0, normal = 0;
    std::vector<track::Checkpoint> gates = section_gates(timing, first, normal);
    if (first < 1 || normal < 1)
        return;
    auto world = sim::create_world();
    world->terrain = &terrain;
    world->test_objects = true;
    world->start_tick = k_start_tick;
    auto bike = sim::create_bike(*world, o.model, 1, "1");
    track::StartPose start = track::start_position(timing, gate, terrain.field_size);
    sim::place_bike(*bike, {start.x, track::terrain_height(terrain, start.x, start.z) + 0.1f, start.z}, start.heading);
    sim::RiderSetup setup = sim::bench_setup();
    robot_setup(setup);
    sim::set_setup(*bike, setup);

    CentreLinePace pace = centre_line_pace(o.pace);
    // Two laps and a little more, so the last section's following one is timed.
    int positions = timing.first_count() + 2 * timing.normal_count();
    std::vector<LinePoint> line = centre_line(timing, terrain, start.x, start.z, start.heading, positions, pace);
    if (offset != 0)
        offset_line(line, offset, terrain, pace);

    StartPlan plan = plan_start(k_start_tick, ready_signal_tick(k_start_tick), k_reaction_low, k_reaction_high,
                                [&seed] { return start_random(seed); });
    DriverState driver;
    sim::Bike* bikes[1] = {bike.get()};

    const int wanted = first + normal;  // sections recorded: both laps
    std::vector<SectionRecord> sections(static_cast<size_t>(wanted + 1));
    std::vector<int> passed;              // tick each gate was passed
    int knockouts = bike->knockout_count;
    int section_start = k_start_tick;
    int lap_start = k_start_tick;
    for (int tick = 0;; ++tick) {
        world->tick = tick;
        sim::RiderInput in;
        drive_line(*bike, line, driver, 1.0f, in);
        start_procedure(plan, tick, *bike, in);
        sim::apply_input(*bike, in);
        sim::run_tick(*world, bikes);
        if (!sim::bike_is_finite(*bike))
            break;
        const int k = static_cast<int>(passed.size());
        SectionRecord& now = sections[static_cast<size_t>(std::min(k, wanted))];
        if (bike->knockout_count != knockouts) {
            knockouts = bike->knockout_count;
            ++report.falls;
            now.cancelled = true;
        }
        if (driver.line_distance > k_keep_off_line || driver.back_up_ticks > 0)
            now.cancelled = true;
        if (tick >= k_start_tick && tick % k_sample_ticks == 0) {
            sim::Vec3 p = sim::body_position(bike->body(sim::k_frame));
            now.points.push_back({p.x, p.y, p.z, sim::bike_speed(*bike), line_attitude(*bike)});
        }
        sim::Vec3 front = sim::body_position(bike->body(sim::k_front_wheel));
        const track::Checkpoint& g = gates[static_cast<size_t>(table_section(k, first, normal))];
        if (tick >= k_start_tick && track::in_checkpoint_zone(g, front.x, front.z)) {
            passed.push_back(tick);
            section_start = tick;
            if (k + 1 == first || k + 1 == first + normal) {
                report.lap_seconds.push_back(static_cast<float>(tick - lap_start) / 128.0f);
                lap_start = tick;
                ++report.laps;
            }
            // Passing the gate that ends section k offers section k - 1.
            if (k >= 1) {
                const int j = k - 1;
                SectionRecord& done = sections[static_cast<size_t>(j)];
                int begin = j == 0 ? k_start_tick : passed[static_cast<size_t>(j - 1)];
                if (done.cancelled || done.points.size() < 2)
                    ++report.cancelled;
                else
                    out.push_back({table_section(j, first, normal), std::move(done.points),
                                   passed[static_cast<size_t>(j)] - begin, tick - begin});
            }
            if (k + 1 > wanted)
                break;
        }
        if (tick - section_start > k_section_limit_ticks) {
            report.cancelled += wanted - k;
            break;
        }
        report.sim_seconds += sim::k_dt;
    }
}

}  // namespace

std::vector<TaughtLine> teach_track(const track::TrackTiming& timing, const track::Terrain& terrain,
                                    const TeachOptions& o, TeachReport& report)
{
    std::vector<TaughtLine> out;
    report = TeachReport{};
    const int gates = std::max(1, static_cast<int>(timing.gates.size()));
    // The runs' lines across the course: the middle, then either side at a
    // share of the narrowest gate's reach.
    float narrowest = 1e9f;
    for (const track::Checkpoint& c : timing.checkpoints)
        narrowest = std::min(narrowest, c.radius);
    const float step = timing.checkpoints.empty() ? 0 : o.offset_share * narrowest;
    for (int r = 0; r < o.runs; ++r) {
        static constexpr float k_offsets[] = {0, -1, 1, -0.5f, 0.5f, -0.75f, 0.75f, -0.25f, 0.25f};
        float offset = step * k_offsets[r % std::size(k_offsets)];
        int gate = (r * 7) % gates;
        ride_run(timing, terrain, o, gate, offset, 0x9e3779b9u * static_cast<std::uint32_t>(r + 1), out, report);
        ++report.runs;
    }
    return out;
}

TaughtOffers teach_table(const track::TrackTiming& timing, const std::vector<TaughtLine>& lines, LineTable& table)
{
    const bool timed = timing.has_timing();
    create_table(table, timed ? timing.first_lap_autopilot : 0, timed ? timing.normal_lap_autopilot : 0);
    empty_table(table);
    TaughtOffers offers;
    for (const TaughtLine& l : lines) {
        OfferResult r = offer_line(table, l.section, l.points, false, l.time1, l.time2);
        if (r == OfferResult::stored || r == OfferResult::evicted)
            ++offers.stored;
        else
            ++offers.refused;
    }
    return offers;
}

}  // namespace zv::autopilot
