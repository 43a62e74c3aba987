// The timing_gates reader and writer: sections, limits, normalisation of the
// lap lists, malformed input, the canonical form and the round trip.
#include "track/timing_file.h"

#include "core/atomic_file.h"
#include "core/messages.h"
#include "support/expect_rows.h"
#include "track_fixture.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <filesystem>
#include <string>
#include <tuple>

namespace zv::track {
namespace {

std::string checkpoint_lines(int count)
{
    std::string s;
    for (int i = 0; i < count; ++i)
        s += "10 [" + std::to_string(i * 20) + " 0 5] [1 0 0]\n";
    return s;
}

TEST(TimingParse, ReadsEverySectionAndNormalisesTheLists)
{
    const std::string text =
        "startinggate:\n"
        "[100 2.5 200] 0.5\n"
        "  [ 110 2.5 200 ] 4.0 @gate2.jm\n"
        "[120 2.5 200] -4.0 @m.jm @t.ppm null\n"
        "checkpoints:\n" +
        checkpoint_lines(12) +
        "firstlap: 0 1 2 -5 999 100003\n"
        "normallap: 100999 4 5 3\n";
    TrackTiming t = parse_timing_gates(text);

    ASSERT_EQ(t.gates.size(), 3u);
    const auto& g = t.gates;
    EXPECT_EQ(std::tuple(g[0].model, g[0].texture, g[0].shape),
              std::tuple("@startgate.jm", "@startgate.ppm", "@startgate.shp"));
    EXPECT_EQ(std::tuple(g[1].model, g[1].texture), std::tuple("@gate2.jm", "@startgate.ppm"));
    EXPECT_EQ(std::tuple(g[2].model, g[2].texture, g[2].shape), std::tuple("@m.jm", "@t.ppm", "null"));
    // Headings outside [-pi, pi] are brought into it.
    EXPECT_NEAR(g[1].heading, 4.0 - 2 * M_PI, 1e-5);
    EXPECT_NEAR(g[2].heading, -4.0 + 2 * M_PI, 1e-5);
    ASSERT_EQ(t.checkpoints.size(), 12u);
    const auto& c = t.checkpoints[3];
    test::expect_float_rows("timing", {{g[0].x, 100}, {g[0].y, 2.5f}, {g[0].z, 200}, {g[0].heading, 0.5f},
                                       {c.radius, 10}, {c.x, 60}, {c.z, 5}, {c.dir_x, 1}});

    // -5 -> 0; 999 -> the last checkpoint (11); 100003 keeps its mark.
    EXPECT_EQ(t.first_lap, (std::vector<int>{0, 1, 2, 0, 11, 100003}));
    EXPECT_EQ(t.normal_lap, (std::vector<int>{100011, 4, 5, 3}));
    EXPECT_EQ(std::pair(t.first_lap_autopilot, t.normal_lap_autopilot), std::pair(5, 3));
    EXPECT_TRUE(t.has_timing());
}

TEST(TimingParse, CheckpointsWithoutStartingGates)
{
    TrackTiming t = parse_timing_gates("checkpoints: 5 [1 2 3] [0 0 1] 6 [4 5 6] [1 0 0]\n"
                                       "firstlap:\n0 1\nnormallap:\n1 0\n");
    EXPECT_TRUE(t.gates.empty());
    ASSERT_EQ(t.checkpoints.size(), 2u);
    EXPECT_FLOAT_EQ(t.checkpoints[1].radius, 6);
    EXPECT_FLOAT_EQ(t.checkpoints[1].y, 5);
    EXPECT_EQ(t.normal_lap, (std::vector<int>{1, 0}));
    EXPECT_TRUE(t.has_timing());
}

TEST(TimingParse, GateSectionThatEndsBadlyKeepsGatesButNoTiming)
{
    const std::string tail = "checkpoints:\n" + checkpoint_lines(2) + "firstlap: 0\nnormallap: 1\n";
    // A line with only three numbers.
    TrackTiming t = parse_timing_gates("startinggate:\n[1 2 3] 0\n[4 5 6]\n" + tail);
    EXPECT_EQ(t.gates.size(), 1u);
    EXPECT_FALSE(t.has_timing());
    EXPECT_TRUE(t.checkpoints.empty());
    // The end of the file inside the gate section.
    t = parse_timing_gates("startinggate:\n[1 2 3] 0\n[4 5 6] 1");
    EXPECT_EQ(t.gates.size(), 2u);
    EXPECT_FALSE(t.has_timing());
    // "checkpoints:" must stand alone as a word.
    t = parse_timing_gates("startinggate:\n[1 2 3] 0\ncheckpoints:x\n" + checkpoint_lines(1));
    EXPECT_EQ(t.gates.size(), 1u);
    EXPECT_FALSE(t.has_timing());
    // Blank lines between gates are skipped; an indented keyword counts.
    t = parse_timing_gates("startinggate:\n\n[1 2 3] 0\n   \n[4 5 6] 1\n \tcheckpoints:\n" +
                           checkpoint_lines(2) + "firstlap: 0\nnormallap: 1\n");
    EXPECT_EQ(t.gates.size(), 2u);
    EXPECT_TRUE(t.has_timing());
    // Anything else as the first word: nothing at all.
    t = parse_timing_gates("gates:\n[1 2 3] 0\n");
    EXPECT_TRUE(t.gates.empty());
    EXPECT_FALSE(t.has_timing());
    EXPECT_TRUE(parse_timing_gates("").gates.empty());
}

TEST(TimingParse, GateLimit)
{
    std::string gates;
    for (int i = 0; i < 160; ++i)
        gates += "[" + std::to_string(i) + " 0 0] 0\n";
    const std::string tail = "checkpoints:\n" + checkpoint_lines(1) + "firstlap: 0\nnormallap: 0\n";
    // The largest table keeps its timing.
    TrackTiming t = parse_timing_gates("startinggate:\n" + gates + tail);
    EXPECT_EQ(t.gates.size(), 160u);
    EXPECT_TRUE(t.has_timing());
    // One gate more ends the section: the first 160 stay, no timing.
    t = parse_timing_gates("startinggate:\n" + gates + "[999 0 0] 0\n" + tail);
    EXPECT_EQ(t.gates.size(), 160u);
    EXPECT_FLOAT_EQ(t.gates.back().x, 159);
    EXPECT_FALSE(t.has_timing());
}

TEST(TimingParse, CheckpointEntryThatBreaksOffKeepsTheEarlierOnes)
{
    // The second entry stops at "firstlap:", which is then read as the next word.
    TrackTiming t = parse_timing_gates("checkpoints:\n10 [0 0 0] [1 0 0]\n10 [5 5 5] [1 0\n"
                                       "firstlap: 0\nnormallap: 0\n");
    ASSERT_EQ(t.checkpoints.size(), 1u);
    EXPECT_TRUE(t.has_timing());
    // A list entry that is not a number ends the list; normallap must follow.
    t = parse_timing_gates("checkpoints:\n" + checkpoint_lines(3) + "firstlap: 0 1 x 2\nnormallap: 2\n");
    EXPECT_EQ(t.first_lap, std::vector<int>{});
    EXPECT_FALSE(t.has_timing());
    t = parse_timing_gates("checkpoints:\n" + checkpoint_lines(3) + "firstlap: 0 1\nnormallap: 2 2.5 1\n");
    EXPECT_EQ(t.first_lap, (std::vector<int>{0, 1}));
    // "2.5": the 2 is read, ".5" is no integer.
    EXPECT_EQ(t.normal_lap, (std::vector<int>{2, 2}));
    EXPECT_TRUE(t.has_timing());
}

TEST(TimingParse, TimingNeedsCheckpointsAndPlainEntriesInBothLists)
{
    const std::string gates = "startinggate:\n[1 2 3] 0\ncheckpoints:\n";
    // The normal lap holds only entries the auto pilot leaves out.
    TrackTiming t = parse_timing_gates(gates + checkpoint_lines(3) +
                                       "firstlap: 0 1 2\nnormallap: 100000 100001\n");
    EXPECT_FALSE(t.has_timing());
    EXPECT_TRUE(t.checkpoints.empty());
    EXPECT_TRUE(t.first_lap.empty());
    EXPECT_TRUE(t.normal_lap.empty());
    EXPECT_EQ(t.gates.size(), 1u);  // the gates stay
    // No normal lap list at all.
    EXPECT_FALSE(parse_timing_gates(gates + checkpoint_lines(3) + "firstlap: 0 1 2\n").has_timing());
    // No checkpoints.
    EXPECT_FALSE(parse_timing_gates(gates + "firstlap: 0\nnormallap: 0\n").has_timing());
    // Lists given in the wrong order.
    EXPECT_FALSE(
        parse_timing_gates(gates + checkpoint_lines(3) + "normallap: 0\nfirstlap: 0\n").has_timing());
}

TEST(TimingParse, MalformedNumbersAndOversizedInputStayInBounds)
{
    // Infinite or unreadable numbers break the entry off; the reading goes on
    // from there and does not find the lists.
    EXPECT_TRUE(parse_timing_gates("checkpoints:\n10 [0 0 0] [1 0 0]\nfirstlap: 0\nnormallap: 0\n")
                    .has_timing());
    TrackTiming t = parse_timing_gates("checkpoints:\n10 [0 0 0] [1 inf 0]\n"
                                       "firstlap: 0\nnormallap: 0\n");
    EXPECT_TRUE(t.checkpoints.empty());
    EXPECT_FALSE(t.has_timing());
    EXPECT_FALSE(parse_timing_gates("checkpoints:\n1e999 [0 0 0] [1 0 0]\nfirstlap: 0\nnormallap: 0\n")
                     .has_timing());
    EXPECT_FALSE(parse_timing_gates("checkpoints:\nnan [0 0 0] [1 0 0]\nfirstlap: 0\nnormallap: 0\n")
                     .has_timing());
    // Huge integers saturate before they are normalised.
    t = parse_timing_gates("checkpoints:\n" + checkpoint_lines(4) +
                           "firstlap: 99999999999999999999 -99999999999999999999 2\nnormallap: 1\n");
    EXPECT_EQ(t.first_lap, (std::vector<int>{100003, 0, 2}));

    // More than 256 checkpoints: 256 are read and the 257th radius is taken
    // for the next word, so the lists are never found.
    t = parse_timing_gates("checkpoints:\n" + checkpoint_lines(256) + "firstlap: 0\nnormallap: 0\n");
    EXPECT_EQ(t.checkpoints.size(), 256u);
    t = parse_timing_gates("checkpoints:\n" + checkpoint_lines(257) + "firstlap: 0\nnormallap: 0\n");
    EXPECT_FALSE(t.has_timing());
    // More than 256 list entries: the list stops at 256 and the 257th entry
    // stands where "normallap:" should.
    std::string many;
    for (int i = 0; i < 300; ++i)
        many += "1 ";
    t = parse_timing_gates("checkpoints:\n" + checkpoint_lines(2) + "firstlap: " + many +
                           "normallap: 0\n");
    EXPECT_FALSE(t.has_timing());
    t = parse_timing_gates("checkpoints:\n" + checkpoint_lines(2) + "firstlap: 0\nnormallap: " +
                           many);
    EXPECT_EQ(t.normal_lap.size(), 256u);

    // Binary rubbish, a very long word and a very long gate line.
    std::string junk;
    for (int i = 0; i < 4096; ++i)
        junk.push_back(static_cast<char>((i * 131) & 0xff));
    for (const std::string& text : {junk, "startinggate:\n" + junk, "checkpoints:\n" + junk, std::string(5000, 'c')})
        EXPECT_FALSE(parse_timing_gates(text).has_timing()) << text.substr(0, 20);
    t = parse_timing_gates("startinggate:\n[1 2 3] 0 " + std::string(3000, 'm') + "\n");
    ASSERT_EQ(t.gates.size(), 1u);  // the rest of the line is no gate
    EXPECT_EQ(t.gates[0].model.size(), 1013u);  // what fits in the line's 1023 bytes
    constexpr char nul[] = "checkpoints:\n10 [0 0 0] [1 0 0]\nfirstlap: 0\0\nnormallap: 0\n";
    EXPECT_FALSE(parse_timing_gates(std::string_view(nul, sizeof nul - 1)).has_timing());
}

TrackTiming sample_timing()
{
    TrackTiming t;
    StartingGate a;
    a.x = 10.5f;
    a.y = 1.25f;
    a.z = -3;
    a.heading = 1.5f;
    StartingGate b = a;
    b.x = 20;
    b.heading = -0.25f;
    b.model = "@bar.jm";
    b.texture = "";
    t.gates = {a, b};
    Checkpoint c;
    c.radius = 12;
    c.x = 1;
    c.y = 2;
    c.z = 3;
    c.dir_x = 0.5f;
    c.dir_y = 0;
    c.dir_z = -0.75f;
    t.checkpoints = {c, c};
    t.checkpoints[1].x = 40;
    t.first_lap = {0, 100001};
    t.normal_lap = {1, 0};
    t.first_lap_autopilot = 1;
    t.normal_lap_autopilot = 2;
    return t;
}

TEST(TimingWrite, CanonicalForm)
{
    EXPECT_EQ(format_timing_gates(sample_timing()),
              "startinggate:\n"
              "[10.500000 1.250000 -3.000000] 1.500000\n"
              "[20.000000 1.250000 -3.000000] -0.250000 @bar.jm null @startgate.shp\n"
              "checkpoints:\n"
              "12.000000 [1.000000 2.000000 3.000000] [0.500000 0.000000 -0.750000]\n"
              "12.000000 [40.000000 2.000000 3.000000] [0.500000 0.000000 -0.750000]\n"
              "firstlap:\n0 100001 \n"
              "normallap:\n1 0 \n");
    // Empty sections are left out.
    TrackTiming gates_only;
    gates_only.gates = sample_timing().gates;
    EXPECT_EQ(format_timing_gates(gates_only).find("checkpoints:"), std::string::npos);
    TrackTiming none;
    EXPECT_EQ(format_timing_gates(none), "");
}

TEST(TimingWrite, RoundTrip)
{
    const TrackTiming t = sample_timing();
    const std::string text = format_timing_gates(t);
    TrackTiming back = parse_timing_gates(text);
    ASSERT_TRUE(back.has_timing());
    ASSERT_EQ(back.gates.size(), 2u);
    EXPECT_EQ(std::tuple(back.gates[1].model, back.gates[1].texture), std::tuple("@bar.jm", "null"));
    ASSERT_EQ(back.checkpoints.size(), 2u);
    test::expect_float_rows("read back", {{back.gates[0].x, 10.5f}, {back.gates[0].heading, 1.5f},
                                          {back.checkpoints[1].dir_z, -0.75f}});
    EXPECT_EQ(back.first_lap, t.first_lap);
    EXPECT_EQ(back.normal_lap, t.normal_lap);
    EXPECT_EQ(back.first_lap_autopilot, 1);
    // Writing what was read gives the same text, except the missing texture
    // now reads "null" both ways.
    EXPECT_EQ(format_timing_gates(back), text);
}

class TimingFiles : public test::TrackFolders {
protected:
    void SetUp() override { core::clear_messages(); }
    void TearDown() override { free_timing(); }
};

TEST_F(TimingFiles, ReadCreatesGateObjectsInFrontOfTheGates)
{
    put("timing_gates", "startinggate:\n[100 4 50] 1.0 @g.jm\n[0 0 0] -3.0\ncheckpoints:\n" +
                            checkpoint_lines(2) + "firstlap: 0 1\nnormallap: 1 0\n");
    std::vector<GateObjectRequest> made;
    std::vector<std::string> models;
    auto create = [&](const GateObjectRequest& r) {
        made.push_back(r);
        models.emplace_back(r.model);
        return static_cast<int>(made.size()) + 6;
    };
    EXPECT_TRUE(read_timing_gates("@tracks/mini", create));
    const TrackTiming& t = track_timing();
    ASSERT_EQ(made.size(), 2u);
    EXPECT_NEAR(made[0].x, 100 - 3 * std::sin(1.0), 1e-4);
    EXPECT_FLOAT_EQ(made[0].y, 4);
    EXPECT_NEAR(made[0].z, 50 - 3 * std::cos(1.0), 1e-4);
    EXPECT_FLOAT_EQ(made[0].heading, 1.0f);
    EXPECT_EQ(models, (std::vector<std::string>{"@g.jm", "@startgate.jm"}));
    EXPECT_EQ(std::pair(t.gates[0].object, t.gates[1].object), std::pair(7, 8));
    EXPECT_EQ(t.checkpoints.size(), 2u);

    // A track without the file has no timing and no gates.
    remove("timing_gates");
    EXPECT_FALSE(read_timing_gates("@tracks/mini", create));
    EXPECT_TRUE(track_timing().gates.empty());
    EXPECT_FALSE(track_timing().has_timing());
}

TEST_F(TimingFiles, WriteGoesToTheHomeFolderAndReadsBack)
{
    const TrackTiming t = sample_timing();
    ASSERT_TRUE(write_timing_gates("@tracks/mini", t));
    auto text = test::read_file(home() + "tracks/mini/timing_gates");
    ASSERT_TRUE(text);
    EXPECT_EQ(*text, format_timing_gates(t));
    EXPECT_TRUE(read_timing_gates("@tracks/mini", nullptr));
    EXPECT_EQ(track_timing().gates.size(), 2u);
    EXPECT_EQ(track_timing().gates[0].object, -1);

    // A folder in the file's place, in every location, cannot be written.
    std::filesystem::create_directories(home() + "tracks/other/timing_gates");
    std::filesystem::create_directories(data() + "tracks/other/timing_gates");
    EXPECT_FALSE(write_timing_gates("@tracks/other", t));
    EXPECT_STREQ(core::message_line(0), "Can't open 'timing_gates'");

    // A write that fails keeps the file there was.
    TrackTiming changed = t;
    changed.gates.pop_back();
    core::set_write_probe([](std::size_t) { return false; });
    EXPECT_FALSE(write_timing_gates("@tracks/mini", changed));
    core::set_write_probe(nullptr);
    EXPECT_STREQ(core::message_line(0), "Can't write 'timing_gates'");
    EXPECT_EQ(test::read_file(home() + "tracks/mini/timing_gates"), format_timing_gates(t));
}

}  // namespace
}  // namespace zv::track
