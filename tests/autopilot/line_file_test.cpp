// Line files: the reading rules (white space, spaced brackets, dropped
// slots, mismatched files, statistics scaled down), the written format and
// a round trip, and where learnt files are written and found.
#include "autopilot/line_file.h"

#include "core/debug_level.h"
#include "support/data_folder_test.h"
#include "support/expect_rows.h"

#include <gtest/gtest.h>

#include <tuple>

namespace zv::autopilot {
namespace {

using test::DataFolderTest;

// A track with F first-lap and N normal-lap gates (one checkpoint each).
track::TrackTiming timing(int first, int normal)
{
    track::TrackTiming t;
    for (int i = 0; i < first + normal; ++i) {
        t.checkpoints.push_back({10, static_cast<float>(i * 100), 0, 0, 1, 0, 0});
        (i < first ? t.first_lap : t.normal_lap).push_back(i);
    }
    t.first_lap_autopilot = first;
    t.normal_lap_autopilot = normal;
    return t;
}

class LineFile : public DataFolderTest {
protected:
    ~LineFile() override
    {
        set_learning(false);
        forget_lines();
        core::set_debug_level(0);
    }
    // Reads text as the amateur file of track "t" into a table of F + N sections.
    int read(std::string_view text, int first = 1, int normal = 1)
    {
        write("t/lines_amateur", text);
        return load_lines("t", k_skill_amateur, timing(first, normal));
    }
    const LineSlot& slot(int section, int index)
    {
        return line_table().sections[static_cast<std::size_t>(section)].slots[static_cast<std::size_t>(index)];
    }
};

TEST_F(LineFile, ReadingRules)
{
    struct Case {
        const char* name;
        const char* text;
        int first, normal;
        int slots_read;
        int section1_points;  // points of section 1's first slot (-1: not looked at)
    };
    const Case cases[] = {
        {"spaced brackets and free white space",
         "ct03   2\n1\n2 10 20 0 1000000 1000000 0 0 0\n[ 1 2 3 ] 4 5\n[1 2 3]4 5\n1 2 10 20 0 1 1 0 0 0\n[1 2 3] 4 5\n[ 1  2 3] 4 5\n", 1,
         1, 2, 2},
        {"section count of another track", "ct03 3\n1\n1 10 20 0 1 1 0 0 0\n[1 2 3] 4 5\n0\n0\n", 1, 1, 0, -1},
        {"unreadable point drops its slot and ends the file",
         "ct03 2\n2\n1 10 20 0 1 1 0 0 0\n[1 2 3] 4 5\n2 10 20 0 1 1 0 0 0\n[1 2 3] 4 5\n[1 x 3] 4 5\n1\n1 10 20 0 1 1 0 0 0\n[1 2 3] 4 5\n", 1,
         1, 1, 0},
        {"missing points at the end", "ct03 2\n0\n1\n3 10 20 0 1 1 0 0 0\n[1 2 3] 4 5\n", 1, 1, 0, 0},
        {"not a line file", "lines\n", 1, 1, 0, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(read(c.text, c.first, c.normal), c.slots_read);
        if (c.section1_points >= 0) {
            EXPECT_EQ(slot(1, 0).points.size(), static_cast<std::size_t>(c.section1_points));
        }
    }
    // The spaced point reads whole.
    read(cases[0].text);
    const LinePoint& p = slot(0, 0).points[0];
    test::expect_float_rows("point", {{p.x, 1}, {p.z, 3}, {p.speed, 4}, {p.attitude, 5}});
}

TEST_F(LineFile, LargeStatisticsAreScaledDownOnReading)
{
    struct Case {
        const char* stats;  // tests best1 best2 sum1 sum2 failures
        int tests;
        long long sum1, sum2;
        int failures;
    };
    const Case cases[] = {
        // Halved twice: the second sum lands on 100000000.
        {"200000 1 1 300000000 400000000 70000", 50000, 75000000, 100000000, 17500},
        // Only the counts are too large: one halving.
        {"70000 1 1 7000000 14000000 3", 35000, 3500000, 7000000, 1},
        // Sixteen halvings at most, then the clamps.
        {"1000000000 1 1 0 1000000000000000 0", 15258, 0, 100000000, 0},
        // No tests to average over: the sums go.
        {"0 1 1 500000000 500000000 5", 0, 0, 0, 2},
        // Negative counts from a damaged file count as none.
        {"-5 1 1 -10 -10 -3", 0, 0, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stats);
        std::string text = std::string("ct03 2\n1\n1 10 20 ") + c.stats + "\n[1 2 3] 4 5\n0\n";
        ASSERT_EQ(read(text), 1);
        const LineSlot& s = slot(0, 0);
        EXPECT_EQ(std::tuple(s.tests, s.sum1, s.sum2, s.failures), std::tuple(c.tests, c.sum1, c.sum2, c.failures));
    }
}

TEST_F(LineFile, WrittenFormatReadsBackTheSame)
{
    LineTable table;
    create_table(table, 2, 1);
    LineSlot& a = table.sections[0].slots[0];
    a.points = {{1.5f, 2, -3.25f, 40, 0.125f}, {2, 2, -4, 41, -0.5f}};
    a.time1 = 300;
    a.time2 = 700;
    a.tests = 3;
    a.best1 = 290;
    a.best2 = 680;
    a.sum1 = 900;
    a.sum2 = 2100;
    a.failures = 1;
    table.sections[2].slots[7].points = {{9, 8, 7, 6, 5}};
    const std::string text = format_lines(table);
    EXPECT_EQ(text.substr(0, text.find("[2.0")),
              "ct03 3\n1\n2 300 700 3 290 680 900 2100 1\n[1.500000 2.000000 -3.250000] 40.000000 0.125000\n");
    EXPECT_NE(text.find("\n0\n1\n1 1000000 1000000 0 1000000 1000000 0 0 0\n[9.000000"), std::string::npos);

    write("t/lines_expert", text);
    ASSERT_EQ(load_lines("t", k_skill_expert, timing(2, 1)), 2);
    EXPECT_EQ(format_lines(line_table()), text);
    const LineSlot& back = slot(0, 0);
    EXPECT_EQ(back.points.size(), 2u);
    EXPECT_EQ(back.best2, 680);
    EXPECT_FLOAT_EQ(back.points[1].attitude, -0.5f);
    // Slots are packed on reading: section 2's line comes first.
    EXPECT_TRUE(slot(2, 0).filled());
}

TEST_F(LineFile, LearntLinesGoHomeAndWinOverTheShippedFile)
{
    const std::string shipped = "ct03 2\n1\n1 10 20 0 1 1 0 0 0\n[1 2 3] 4 5\n0\n";
    write("t/lines_novice", shipped);
    ASSERT_EQ(load_lines("t", k_skill_novice, timing(1, 1)), 1);
    line_table().sections[1].slots[0].points = {{7, 7, 7, 7, 7}};

    // Not learning: nothing is written.
    EXPECT_TRUE(save_lines());
    const std::string home = dir_ / "xdg/Zarvox/t/lines_novice";
    EXPECT_FALSE(test::read_file(home));

    set_learning(true);
    ASSERT_TRUE(save_lines());
    EXPECT_EQ(test::read_file(home).value_or(""), format_lines(line_table()));
    EXPECT_EQ(test::read_file(dir_ / "data/t/lines_novice").value_or(""), shipped);

    // The next race reads the learnt file.
    ASSERT_EQ(load_lines("t", k_skill_novice, timing(1, 1)), 2);
    EXPECT_TRUE(slot(1, 0).filled());
}

TEST_F(LineFile, SkillsAndTracksWithoutTiming)
{
    EXPECT_EQ(line_file_path("mx1", k_skill_novice), "@mx1/lines_novice");
    EXPECT_EQ(line_file_path("mx1", k_skill_amateur), "@mx1/lines_amateur");
    EXPECT_EQ(line_file_path("mx1", k_skill_expert), "@mx1/lines_expert");
    EXPECT_EQ(load_lines("t", k_skill_novice, track::TrackTiming{}), 0);
    EXPECT_TRUE(line_table().empty());
}

}  // namespace
}  // namespace zv::autopilot
