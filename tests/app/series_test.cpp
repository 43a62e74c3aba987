// Points-series files: names, skill words, events, the standings file and
// the totals, and files that must be skipped.
#include "app/series.h"

#include "core/data_file.h"
#include "platform/log.h"
#include "support/data_folder_test.h"

#include <gtest/gtest.h>

#include <numeric>
#include <string>
#include <tuple>
#include <utility>

namespace {

using namespace zv;

// Points for places 1..40: 25, 22, 20, 18, 16, then 15 down to 1, then zeros.
std::string points_block()
{
    std::string s;
    const int top[] = {25, 22, 20, 18, 16};
    for (int p = 0; p < 40; ++p) {
        int v = p < 5 ? top[p] : (p < 20 ? 20 - p : 0);
        s += std::to_string(v) + (p % 10 == 9 ? "\n" : " ");
    }
    return s;
}

std::string extra_block(int base)
{
    std::string s;
    for (int p = 0; p < 40; ++p)
        s += std::to_string(base + p) + " ";
    return s + "\n";
}

std::string event_text(const std::string& name, const std::string& track)
{
    return name + "\n" + track + "\n3 7\n" + points_block() + extra_block(100);
}

class SeriesTest : public test::DataFolderTest {
protected:
    SeriesTest()
    {
        tracks_.folders = {"hills", "sand pit", "valley"};
        tracks_.names = {"Hills", "Sand Pit", "Valley"};
    }

    track::TrackList tracks_;
};

TEST_F(SeriesTest, ReadsAGoodFileWithQuotedNamesAndStandings)
{
    write("series/cup.series",
          "\"Winter Cup 2017\"\n"
          "3 Amateur\n"
          "5 9 12\n"
          "2\n" +
              event_text("\"Round One\"", "hills") + event_text("Finale", "\"sand pit\""));
    // Event 1: player 2nd, riders 1st, 3rd and 4th. The row of event 2 is short.
    write("series/cup.series_standings", "1 0 2 3\n0 1\n");

    std::optional<app::Series> s = app::read_series("series/cup.series", tracks_);
    ASSERT_TRUE(s);
    EXPECT_EQ(s->file, "series/cup.series");
    EXPECT_EQ(s->name, "Winter Cup 2017");
    EXPECT_EQ(s->skill, 1);
    EXPECT_EQ(s->riders, (std::vector<int>{5, 9, 12}));
    EXPECT_EQ(s->field_size(), 4);
    ASSERT_EQ(s->events.size(), 2u);
    const app::SeriesEvent &first = s->events[0], &last = s->events[1];
    EXPECT_EQ(std::tuple(first.name, first.track, last.name, last.track),
              std::tuple("Round One", "hills", "Finale", "sand pit"));
    EXPECT_EQ(last.values, (std::array<int, 2>{3, 7}));
    EXPECT_EQ(std::tuple(first.points[0], first.points[5], first.points[39]), std::tuple(25, 15, 0));
    EXPECT_EQ(std::tuple(first.extra[0], first.extra[39]), std::tuple(100, 139));

    // Only the first row is complete.
    ASSERT_EQ(s->standings.size(), 1u);
    EXPECT_EQ(s->standings[0], (std::vector<int>{1, 0, 2, 3}));
    EXPECT_EQ(s->totals, (std::vector<std::int64_t>{22, 25, 20, 18}));
}

TEST_F(SeriesTest, PlacesBeyondFortyScoreNothing)
{
    // 44 computer riders; every one of the 40 scoring places pays 40 - place + 1.
    std::string text = "Big 44 Expert";
    for (int k = 0; k < 44; ++k)
        text += " " + std::to_string(k);
    text += "\n1\nOnly hills 0 0\n";
    for (int p = 0; p < 40; ++p)
        text += std::to_string(40 - p) + " ";
    text += extra_block(0);
    write("big.series", text);
    std::string row;
    for (int r = 0; r < 45; ++r)
        row += std::to_string(44 - r) + " ";  // the player last, the robots in reverse
    write("big.series_standings", row);

    std::optional<app::Series> s = app::read_series("big.series", tracks_);
    ASSERT_TRUE(s);
    ASSERT_EQ(s->totals.size(), 45u);
    EXPECT_EQ(s->totals[0], 0);    // 45th
    EXPECT_EQ(s->totals[4], 0);    // 41st
    EXPECT_EQ(s->totals[5], 1);    // 40th
    EXPECT_EQ(s->totals[44], 40);  // 1st
    EXPECT_EQ(std::accumulate(s->totals.begin(), s->totals.end(), std::int64_t{0}), 40 * 41 / 2);
}

TEST_F(SeriesTest, TotalsAddUpOverCompletedEvents)
{
    write("six.series", "Six 6 Novice 4 5 6 7 8 9 3\n" + event_text("A", "hills") +
                            event_text("B", "valley") + event_text("C", "hills"));
    // Places minus one. A: in gate order. B: the player 6th (15 points), the
    // robots move up one, the last robot stays 7th (14 points). C: not run yet.
    write("six.series_standings", "0 1 2 3 4 5 6\n5 0 1 2 3 4 6\n");
    std::optional<app::Series> s = app::read_series("six.series", tracks_);
    ASSERT_TRUE(s);
    EXPECT_EQ(s->skill, 0);
    EXPECT_EQ(s->standings.size(), 2u);
    EXPECT_EQ(s->totals, (std::vector<std::int64_t>{25 + 15, 22 + 25, 20 + 22, 18 + 20, 16 + 18,
                                                     15 + 16, 14 + 14}));
}

TEST_F(SeriesTest, StandingsStopAtAnImpossiblePlace)
{
    write("p.series", "P 1 Expert 4 2\n" + event_text("A", "hills") + event_text("B", "hills"));
    // Second row: a place below 1 and a place beyond the field of two.
    write("p.series_standings", "1 0\n-1 0\n");
    std::optional<app::Series> s = app::read_series("p.series", tracks_);
    ASSERT_TRUE(s);
    EXPECT_EQ(s->standings.size(), 1u);
    EXPECT_EQ(s->totals, (std::vector<std::int64_t>{22, 25}));

    write("p.series_standings", "1 2\n");
    s = app::read_series("p.series", tracks_);
    ASSERT_TRUE(s);
    EXPECT_TRUE(s->standings.empty());
    EXPECT_EQ(s->totals, (std::vector<std::int64_t>{0, 0}));
}

TEST_F(SeriesTest, NoStandingsFileMeansNoEventsRun)
{
    write("n.series", "N 0 Expert 1 " + event_text("Solo", "valley"));
    std::optional<app::Series> s = app::read_series("n.series", tracks_);
    ASSERT_TRUE(s);
    EXPECT_EQ(std::tuple(s->riders.empty(), s->standings.empty()), std::tuple(true, true));
    EXPECT_EQ(s->totals, (std::vector<std::int64_t>{0}));
}

TEST_F(SeriesTest, SkillWordsAreCaseSensitiveAndUnknownMeansExpert)
{
    for (auto [word, skill] : {std::pair{"Novice", 0}, {"Amateur", 1}, {"Expert", 2}, {"novice", 2}, {"Godlike", 2}})
        EXPECT_EQ(app::series_skill_index(word), skill) << word;

    // The longest word the reader takes, unknown as well.
    write("s.series", "S 1 " + std::string(1023, 'R') + " 4 1\n" + event_text("A", "hills"));
    std::optional<app::Series> s = app::read_series("s.series", tracks_);
    ASSERT_TRUE(s);
    EXPECT_EQ(s->skill, 2);
}

TEST_F(SeriesTest, MalformedFilesAreDropped)
{
    const std::string good_event = event_text("A", "hills");
    std::string many_ones;
    for (int i = 0; i < 160; ++i)
        many_ones += "1 ";
    struct Case {
        const char* what;
        std::string text;
    } cases[] = {
        {"unknown track", "X 1 Expert 4 1\n" + event_text("A", "nowhere")},
        {"track differing in case", "X 1 Expert 4 1\n" + event_text("A", "Hills")},
        {"short points block",
         "X 1 Expert 4 1\nA hills 3 7\n" + std::string("1 2 3 4 5 6 7 8 9 10\n") + extra_block(0)},
        {"short extra block", "X 1 Expert 4 1\nA hills 3 7\n" + points_block() + "1 2 3\n"},
        {"non-number in a block", "X 1 Expert 4 1\nA hills 3 7\n" + points_block() + "1 two 3\n"},
        {"fewer events than counted", "X 1 Expert 4 2\n" + good_event},
        {"negative rider count", "X -1 Expert 1\n" + good_event},
        {"160 riders", "X 160 Expert " + many_ones + "1\n" + good_event},
        {"missing rider integers", "X 3 Expert 4 5\n"},
        {"negative event count", "X 1 Expert 4 -3\n" + good_event},
        {"no events", "X 1 Expert 4 0\n"},
        {"huge event count", "X 1 Expert 4 2000000000\n" + good_event},
        {"missing skill", "X 1\n"},
        {"unterminated quote", "\"Never ends 1 Expert 4 1\n" + good_event},
        {"empty file", ""},
        {"name too long", std::string(1024, 'n') + " 1 Expert 4 1\n" + good_event},
        {"quoted name too long", "\"" + std::string(1024, 'q') + "\" 1 Expert 4 1\n" + good_event},
    };
    for (const Case& c : cases) {
        write("bad.series", c.text);
        EXPECT_FALSE(app::read_series("bad.series", tracks_)) << c.what;
    }
    EXPECT_FALSE(app::read_series("missing.series", tracks_));

    // The longest names allowed still read.
    write("ok.series", std::string(1023, 'n') + " 1 Expert 4 1\n\"" + std::string(1023, 'q') +
                           "\" hills 3 7\n" + points_block() + extra_block(0));
    std::optional<app::Series> s = app::read_series("ok.series", tracks_);
    ASSERT_TRUE(s);
    EXPECT_EQ(std::pair(s->name.size(), s->events[0].name.size()), std::pair(std::size_t{1023}, std::size_t{1023}));
}

TEST_F(SeriesTest, ReadAllSkipsBadFilesAndLogsAtDebugLevel)
{
    write("series/a.series", "\"Alpha Cup\" 0 Novice 1\n\"Opening\" hills 0 0\n" + points_block() + extra_block(0));
    write("series/b.series", "Broken 0 Novice 1\nOpening nowhere 0 0\n" + points_block() + extra_block(0));
    write("series/a.series_standings", "0\n");
    write("series/notes.txt", "not a series\n");

    const std::vector<std::string>& names = core::working_set();
    std::vector<app::Series> all = app::read_all_series(names, tracks_, 1);
    ASSERT_EQ(all.size(), 1u);
    EXPECT_EQ(std::tuple(all[0].name, all[0].totals), std::tuple("Alpha Cup", std::vector<std::int64_t>{25}));

    platform::log_close();
    std::optional<std::string> log = test::read_file(dir_ / "log.txt");
    ASSERT_TRUE(log);
    EXPECT_NE(log->find("series series/a.series (Alpha Cup)\n"), std::string::npos);
    EXPECT_NE(log->find("  event hills (Opening)\n"), std::string::npos);
    EXPECT_EQ(log->find("Broken"), std::string::npos);
}

}  // namespace

TEST_F(SeriesTest, RecordedResultsGoToTheStandingsFileAndReadBack)
{
    write("r.series", "R 2 Expert 4 8 2\n" + event_text("A", "hills") + event_text("B", "valley"));
    std::optional<app::Series> s = app::read_series("r.series", tracks_);
    ASSERT_TRUE(s);
    EXPECT_EQ(app::next_series_event(*s), 0);

    // Rows that are not one place per rider inside the field change nothing.
    for (const std::vector<int>& places : {std::vector<int>{0, 1}, {0, 1, 3}, {0, -1, 2}})
        EXPECT_FALSE(app::record_series_result(*s, places)) << places.size() << " places, the last " << places.back();
    EXPECT_TRUE(s->standings.empty());

    // Player 2nd, robots 1st and 3rd; then the player wins.
    EXPECT_TRUE(app::record_series_result(*s, {1, 0, 2}));
    EXPECT_TRUE(app::record_series_result(*s, {0, 2, 1}));
    EXPECT_EQ(s->totals, (std::vector<std::int64_t>{22 + 25, 25 + 20, 20 + 22}));
    EXPECT_EQ(app::next_series_event(*s), 2);
    // The series is over: nothing more is taken.
    EXPECT_FALSE(app::record_series_result(*s, {2, 1, 0}));

    // The file in the home folder holds both rows, and reading gives the same.
    std::optional<std::string> file = test::read_file(dir_ / "xdg/Zarvox/r.series_standings");
    ASSERT_TRUE(file);
    EXPECT_EQ(*file, "1 0 2\n0 2 1\n");
    core::reset_data_files();
    std::optional<app::Series> again = app::read_series("r.series", tracks_);
    ASSERT_TRUE(again);
    EXPECT_EQ(std::tie(again->standings, again->totals), std::tie(s->standings, s->totals));

    EXPECT_TRUE(app::reset_series_standings(*s));
    EXPECT_TRUE(s->standings.empty());
    EXPECT_EQ(s->totals, (std::vector<std::int64_t>{0, 0, 0}));
    EXPECT_EQ(test::read_file(dir_ / "xdg/Zarvox/r.series_standings"), std::optional<std::string>(""));
}
