// Offering recordings to a section: cancelled and duplicate recordings,
// free slots, and which filled slot a faster recording replaces.
#include "autopilot/offer.h"

#include "core/debug_level.h"
#include "support/data_folder_test.h"

#include <gtest/gtest.h>

#include <tuple>
#include <vector>

namespace zv::autopilot {
namespace {

// A line from (x0, 0, 0) running along x, with a bend of `bend` ft at its
// third point so lines from one start stay distinct.
std::vector<LinePoint> line(float x0, float bend = 0, float speed = 30)
{
    return {{x0, 0, 0, speed, 0}, {x0 + 5, 0, 0, speed, 0}, {x0 + 10, 0, bend, speed, 0}};
}

class Offer : public test::DataFolderTest {
protected:
    Offer()
    {
        create_table(table, 1, 1);
        core::set_debug_level(1);
    }
    ~Offer() override { core::set_debug_level(0); }
    LineSection& section() { return table.sections[0]; }
    // Fills all 45 slots with untested lines from one start, time 2 = 1000.
    void fill()
    {
        for (int i = 0; i < k_slots_per_section; ++i) {
            LineSlot& s = section().slots[static_cast<std::size_t>(i)];
            empty_slot(s);
            s.points = line(0, static_cast<float>(i + 1));
            s.time1 = 500;
            s.time2 = 1000;
            s.id = next_line_id();
        }
    }
    LineTable table;
};

TEST_F(Offer, CancelledAndDuplicateRecordingsAreRefused)
{
    EXPECT_EQ(offer_line(table, 0, {}, false, 100, 200), OfferResult::canceled);
    EXPECT_EQ(offer_line(table, table.section_count(), line(0), false, 100, 200), OfferResult::canceled);
    EXPECT_EQ(offer_line(table, 0, line(0), true, 100, 200), OfferResult::canceled);
    EXPECT_EQ(offer_line(table, 0, line(0), false, 100, 200), OfferResult::stored);
    // The same lap again, and one within 1/16 ft and 1/16 ft/s of it.
    EXPECT_EQ(offer_line(table, 0, line(0), false, 90, 180), OfferResult::duplicate);
    EXPECT_EQ(offer_line(table, 0, line(0.0625f, 0, 30.0625f), false, 90, 180), OfferResult::duplicate);
    // Further off in place or speed, or of another length: a new line.
    EXPECT_EQ(offer_line(table, 0, line(0.07f), false, 90, 180), OfferResult::stored);
    EXPECT_EQ(offer_line(table, 0, line(0, 0, 30.07f), false, 90, 180), OfferResult::stored);
    std::vector<LinePoint> longer = line(0);
    longer.push_back({15, 0, 0, 30, 0});
    EXPECT_EQ(offer_line(table, 0, longer, false, 90, 180), OfferResult::stored);
    // A recording of more than 512 points is too long to keep.
    std::vector<LinePoint> many(k_max_line_points, LinePoint{1, 2, 3, 4, 5});
    many.back().x = 9;
    EXPECT_EQ(offer_line(table, 1, many, false, 90, 180), OfferResult::stored);
    many.push_back({});
    EXPECT_EQ(offer_line(table, 1, many, false, 90, 180), OfferResult::canceled);
    const std::string log = log_text();
    EXPECT_NE(log.find("auto pilot: 0 canceled\n"), std::string::npos);
    EXPECT_NE(log.find("auto pilot: 0 rejected (duplicate)\n"), std::string::npos);
}

TEST_F(Offer, AFreeSlotIsAlwaysTaken)
{
    LineSlot empty;
    EXPECT_EQ(expected_time(empty), 1250000);
    fill();
    empty_slot(section().slots[30]);
    // Slower than every line in the section, yet the free slot takes it.
    EXPECT_EQ(choose_victim(section()), 30);
    EXPECT_EQ(offer_line(table, 0, line(50), false, 500000, 1000000), OfferResult::stored);
    EXPECT_EQ(section().slots[30].time2, 1000000);
}

TEST_F(Offer, AFullSectionReplacesItsWorstLineOnlyForAClearlyFasterOne)
{
    fill();
    LineSlot& worst = section().slots[7];
    worst.time2 = 2000;  // estimate 2500
    const int old_id = worst.id;
    // 90 % of the estimate: rejected; 80 %: replaces it.
    EXPECT_EQ(offer_line(table, 0, line(0, 100), false, 1100, 2250), OfferResult::too_slow);
    EXPECT_EQ(worst.id, old_id);
    EXPECT_EQ(offer_line(table, 0, line(0, 100), false, 1000, 2000), OfferResult::evicted);
    EXPECT_NE(worst.id, old_id);
    EXPECT_EQ(std::tuple(worst.time1, worst.tests, worst.best1), std::tuple(1000, 0, k_no_time));
    EXPECT_FLOAT_EQ(worst.points[2].z, 100);
    const std::string log = log_text();
    EXPECT_NE(log.find("auto pilot: 0 rejected (too slow)\n"), std::string::npos);
    EXPECT_NE(log.find("auto pilot: evicting 7 (times: 3.91 15.62 tested (0 0): 0.00 0.00 repl: 15.625000 7.812500)"),
              std::string::npos);
}

TEST_F(Offer, VictimRules)
{
    struct Case {
        const char* name;
        float slot3_start;  // x of slot 3's first point (the others start at 0)
        int proven_count;   // slots 0.. proven (one test, no failure)
        int victim;
        int slot0_time2 = 1000;
    };
    // Untested slot 7 at time 2 2000 (estimate 2500), slot 3 at 2600 (3250).
    const Case cases[] = {
        {"greatest estimate", 0, 0, 3},
        {"a start 2 ft from every other counts three quarters", 2, 0, 7},
        {"1.9 ft is not alone", 1.9f, 0, 3},
        {"proven lines spared while 22 are proven: the earliest of the rest", 0, 22, 22},
        {"with 23 proven the proven may go too", 0, 23, 3},
        {"the first slot", 0, 0, 0, 4000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fill();
        section().slots[7].time2 = 2000;
        section().slots[3].time2 = 2600;
        section().slots[0].time2 = c.slot0_time2;
        section().slots[3].points = line(c.slot3_start, 50);
        for (int i = 0; i < c.proven_count; ++i) {
            LineSlot& s = section().slots[static_cast<std::size_t>(i)];
            s.tests = 1;
            s.sum2 = i == 3 ? 3000 : 900;
        }
        EXPECT_EQ(choose_victim(section()), c.victim);
    }
    // Untested with failures: 5/4 time 2 + 5 s; tested: average + 5 s share.
    LineSlot s;
    s.time2 = 1000;
    s.failures = 1;
    EXPECT_EQ(expected_time(s), 1250 + 640);
    s.tests = 3;
    s.sum2 = 3000;
    EXPECT_EQ(expected_time(s), 1000 + 160);
}

}  // namespace
}  // namespace zv::autopilot
