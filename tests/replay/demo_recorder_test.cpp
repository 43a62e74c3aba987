// Recording demos: what is written comes back exactly, the default file's
// numbered backups, "namedemo", recording over the file being played, and
// the text header with its older versions and missing numbers.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <tuple>
#include <vector>

#include "replay/demo_scan.h"
#include "support/data_folder_test.h"
#include "replay/demo_support.h"

namespace zv::replay {
namespace {

namespace fs = std::filesystem;
using test::demo_record;

class DemoRecorderTest : public test::DataFolderTest {
protected:
    DemoRecorderTest() { clear_history(); }
    ~DemoRecorderTest() override { clear_history(); }
    fs::path demos() const { return dir_.path() / "xdg/Zarvox/demos"; }
    std::string track_in(const fs::path& p)
    {
        std::optional<DemoScan> s = scan_demo(p.string());
        return s ? s->header.track : "";
    }
    void record_named(int backups, const std::string& track)
    {
        RecordingSetup setup;
        setup.header = test::demo_header(1, track);
        setup.slots = {0};
        setup.demo_backups = backups;
        DemoRecorder rec;
        ASSERT_TRUE(begin_demo_recording(rec, setup));
        ASSERT_TRUE(end_demo_recording(rec, 0));
    }
};

TEST_F(DemoRecorderTest, EveryRecordAndMessageComesBackExactly)
{
    const std::string file = dir_ / "race.zvdemo";
    const std::vector<test::RecordedMessage> messages = {
        {3, "Rider 1 joined"}, {64, std::string("with\0nul", 8)}, {64, "two on one tick"}, {301, ""}};
    DemoRecorder rec;
    ASSERT_TRUE(test::record_race(rec, file, 3, 0, 301, messages));
    EXPECT_FALSE(is_recording(rec));

    // Blocks every 16 ticks (0 ... 288) and a forced last one at 301.
    std::optional<DemoScan> scan = scan_demo(file);
    ASSERT_TRUE(scan);
    EXPECT_EQ(std::tuple(scan->state_blocks, scan->message_blocks, scan->first_tick, scan->last_tick, scan->truncated),
              std::tuple(301LL / 16 + 2, 4LL, 0, 300, false));
    EXPECT_EQ(scan->states, (std::vector<long long>{76, 76, 76}));  // ticks 0, 4 ... 300

    struct Seen {
        std::vector<std::string> texts;
    } seen;
    DemoPlayer p;
    p.on_message = [](std::string_view text, void* user) {
        static_cast<Seen*>(user)->texts.emplace_back(text);
    };
    p.message_user = &seen;
    ASSERT_EQ(test::play_until(p, file, 400), 400);
    const DemoHeader& h = p.header;
    EXPECT_EQ(std::tuple(h.version, h.laps, h.start_tick, h.track), std::tuple(6, 3, 1792, "tracks/valley"));
    ASSERT_EQ(h.riders.size(), 3u);
    const DemoRider& r = h.riders[2];
    EXPECT_EQ(std::tuple(r.description, r.rider_texture, r.head_texture, r.number, r.name),
              std::tuple("450sxf(2017)|rider-2|||head", "rider-2", "head", "12", "Rider 2"));
    for (int rider = 0; rider < 3; ++rider) {
        auto got = test::history_of(rider);
        ASSERT_EQ(got.size(), 76u) << rider;
        for (std::size_t k = 0; k < got.size(); ++k) {
            EXPECT_EQ(got[k].first, static_cast<int>(4 * k));
            EXPECT_EQ(got[k].second, demo_record(rider, static_cast<int>(4 * k))) << rider << " " << k;
        }
    }
    std::vector<std::string> texts;
    for (const auto& m : messages)
        texts.push_back(m.text);
    EXPECT_EQ(seen.texts, texts);
}

TEST_F(DemoRecorderTest, BackupsRotateByTheSetting)
{
    // None kept: the default file is overwritten.
    record_named(0, "race1");
    record_named(0, "race2");
    EXPECT_EQ(track_in(demos() / "default.zvdemo"), "race2");
    EXPECT_FALSE(fs::exists(demos() / "default00.zvdemo"));

    // Three kept: after four more races, 00 is the previous race.
    for (const char* t : {"a", "b", "c", "d"})
        record_named(3, t);
    for (auto [name, track] : {std::pair{"default", "d"}, {"default00", "c"}, {"default01", "b"}, {"default02", "a"}})
        EXPECT_EQ(track_in(demos() / (std::string(name) + ".zvdemo")), track) << name;
    EXPECT_FALSE(fs::exists(demos() / "default03.zvdemo"));

    // A gap in the numbers moves nothing into it; the oldest kept is still
    // the one to go. The setting is held to 100.
    fs::remove(demos() / "default00.zvdemo");
    record_named(3, "e");
    EXPECT_EQ(track_in(demos() / "default00.zvdemo"), "d");
    EXPECT_FALSE(fs::exists(demos() / "default01.zvdemo"));
    EXPECT_EQ(track_in(demos() / "default02.zvdemo"), "b");
    EXPECT_EQ(demo_backup_name(99), "@demos/default99.zvdemo");
    record_named(100000, "f");
    EXPECT_EQ(track_in(demos() / "default00.zvdemo"), "e");
    EXPECT_EQ(track_in(demos() / "default01.zvdemo"), "d");
    EXPECT_EQ(track_in(demos() / "default03.zvdemo"), "b");
}

TEST_F(DemoRecorderTest, NameDemo)
{
    DemoRecorder idle;
    EXPECT_STREQ(name_demo(idle, "race1"), "Not currently recording a demo");

    RecordingSetup trial;
    trial.header = test::demo_header(1, "tracks/valley");
    trial.slots = {0};
    trial.time_trial = true;
    DemoRecorder lap;
    ASSERT_TRUE(begin_demo_recording(lap, trial));
    EXPECT_STREQ(name_demo(lap, "race1"), "Not currently recording a demo");
    EXPECT_TRUE(end_demo_recording(lap, 0));
    EXPECT_TRUE(fs::exists(dir_.path() / "xdg/Zarvox/tracks/valley/lastlap.zvdemo"));
    // The lap becomes the ghost, byte for byte (a lap bigger than one copy piece).
    EXPECT_FALSE(demo_file_exists(fastlap_demo_name("tracks/valley")));
    std::string lap_bytes(200000, '\0');
    for (std::size_t i = 0; i < lap_bytes.size(); ++i)
        lap_bytes[i] = static_cast<char>(i * 7 + i / 251);
    test::write_file(dir_.path() / "xdg/Zarvox/tracks/valley/lastlap.zvdemo", lap_bytes);
    EXPECT_TRUE(keep_lap_as_ghost("tracks/valley"));
    EXPECT_TRUE(demo_file_exists(fastlap_demo_name("tracks/valley")));
    EXPECT_EQ(test::read_file(dir_.path() / "xdg/Zarvox/tracks/valley/fastlap.zvdemo"), lap_bytes);
    EXPECT_FALSE(keep_lap_as_ghost("tracks/none"));

    RecordingSetup race = trial;
    race.time_trial = false;
    struct Case {
        std::string argument;
        const char* message;
        std::string kept;   // the name it would be kept under
    };
    const std::vector<Case> cases = {
        {"  race1 and more", "Demo name updated", "@demos/race1.zvdemo"},
        {"race2.zvdemo", "Demo name updated", "@demos/race2.zvdemo"},
        {std::string(1016, 'n'), "Demo name updated", "@demos/" + std::string(1016, 'n') + ".zvdemo"},
        {std::string(1017, 'n'), "Name too long", ""},
        {"   ", "Usage: namedemo <name>", ""},
    };
    for (const Case& c : cases) {
        DemoRecorder rec;
        ASSERT_TRUE(begin_demo_recording(rec, race));
        EXPECT_STREQ(name_demo(rec, c.argument), c.message) << c.argument.substr(0, 20);
        EXPECT_EQ(rec.new_name, c.kept);
        rec.new_name.clear();
        end_demo_recording(rec, 0);
    }

    // An argument ends where its view does: no terminator is read (the
    // exact-size buffer lets the address sanitizer see a read past it).
    DemoRecorder rec;
    ASSERT_TRUE(begin_demo_recording(rec, race));
    EXPECT_STREQ(name_demo(rec, std::string_view("    ", 3)), "Usage: namedemo <name>");
    const std::vector<char> race1{'r', 'a', 'c', 'e', '1'};
    EXPECT_STREQ(name_demo(rec, std::string_view(race1.data(), race1.size())), "Demo name updated");
    EXPECT_TRUE(end_demo_recording(rec, 0));
    EXPECT_TRUE(fs::exists(demos() / "race1.zvdemo"));
    EXPECT_FALSE(fs::exists(demos() / "default.zvdemo"));
    EXPECT_TRUE(rec.new_name.empty());
}

TEST_F(DemoRecorderTest, InconsistentSetUpsRecordNothing)
{
    const std::vector<int> two = {0, 1};
    const std::vector<int> bad_slot = {0, 160};
    DemoRecorder rec;
    EXPECT_FALSE(begin_demo_recording_to(rec, dir_ / "a.zvdemo", test::demo_header(1), two));
    EXPECT_FALSE(begin_demo_recording_to(rec, dir_ / "a.zvdemo", test::demo_header(2), bad_slot));
    EXPECT_FALSE(begin_demo_recording_to(rec, dir_ / "a.zvdemo", test::demo_header(161), std::vector<int>(161, 0)));
    EXPECT_FALSE(begin_demo_recording_to(rec, dir_ / "no/such/../../..", test::demo_header(2), two));
    EXPECT_FALSE(begin_demo_recording_to(rec, "/dev/full", test::demo_header(2), two));  // no room for the header
    EXPECT_FALSE(is_recording(rec));
    EXPECT_FALSE(record_demo_tick(rec, 16, true));
    EXPECT_FALSE(record_demo_message(rec, 16, "x"));
    EXPECT_FALSE(end_demo_recording(rec, 16));
    EXPECT_FALSE(fs::exists(dir_.path() / "a.zvdemo"));
    EXPECT_TRUE(begin_demo_recording_to(rec, dir_ / "a.zvdemo", test::demo_header(2), two));
    EXPECT_TRUE(end_demo_recording(rec, 16));
}

TEST_F(DemoRecorderTest, PlayingTheDefaultFileDisablesRecording)
{
    const char* refused = "Can't record and play from same file - recording disabled";
    EXPECT_STREQ(recording_conflict("@demos/default.zvdemo"), refused);
    EXPECT_STREQ(recording_conflict("@demos/DEFAULT.zvdemo"), refused);
    EXPECT_EQ(recording_conflict("@demos/race1.zvdemo"), nullptr);
    EXPECT_EQ(recording_conflict("@demos/default00.zvdemo"), nullptr);
    // The same file named by its path.
    record_named(0, "x");
    EXPECT_STREQ(recording_conflict((demos() / "default.zvdemo").string()), refused);
    EXPECT_STREQ(recording_conflict((demos() / "../demos/default.zvdemo").string()), refused);
}

TEST_F(DemoRecorderTest, HeaderVersionsAndMissingNumbers)
{
    struct Case {
        std::string text;
        bool ok;
        int version = 0, riders = 0, length = 0, laps = 0, start = 0;
    };
    const std::string v5_rider = "crf250|r|b|w|h\n1234\n";
    const std::vector<Case> cases = {
        {"ZV06 0 7680 2 3000\nt\n", true, 6, 0, 7680, 2, 3000},
        {"ZV06 0 -1\nt\n", true, 6, 0, -1, 0, 1792},            // only three numbers
        {"ZV05 1 0 4\nt\n" + v5_rider, true, 5, 1, 0, 4, 1792},
        {"ZV04 1 0 4 5\nt\n" + v5_rider, true, 4, 1, 0, 4, 5},
        {"ZV06 1 0\nt\n" + v5_rider + "Name\n\n", true, 6, 1, 0, 0, 1792},
        {"ZV06 1\nt\n", false},                                 // two numbers
        {"ZV03 0 0\nt\n", false},
        {"ZV07 0 0\nt\n", false},
        {"ZV06 0 0\nt", false},                                 // no line feed
        {"ZV06 1 0\nt\n" + v5_rider, false},                    // no name line
        {"ZV06 1 0\nt\n" + v5_rider + "Name\n", false},         // no empty line
        {"ZV06 161 0\nt\n", false},
        {"ZV05 160 0\nt\n" + [&] {
             std::string all;
             for (int i = 0; i < 160; ++i)
                 all += v5_rider;
             return all;
         }(), true, 5, 160, 0, 0, 1792},
        {"ZV06 -1 0\nt\n", false},
        {"ZV06 0 0\n" + std::string(1022, 't') + "\n", true, 6, 0, 0, 0, 1792},
        {"ZV06 0 0\n" + std::string(1023, 't') + "\n", false},  // 1024 with its line feed
        {"", false},
    };
    for (const Case& c : cases) {
        test::write_file(dir_.path() / "h.zvdemo", c.text);
        DemoPlayer p;
        bool opened = open_demo_playback(p, dir_ / "h.zvdemo");
        ASSERT_EQ(opened, c.ok) << c.text.substr(0, 40);
        if (!opened) {
            EXPECT_FALSE(is_playing(p));
            continue;
        }
        const DemoHeader& h = p.header;
        EXPECT_EQ(std::tuple(h.version, static_cast<int>(h.riders.size()), h.race_length_ticks, h.laps, h.start_tick),
                  std::tuple(c.version, c.riders, c.length, c.laps, c.start));
        if (c.riders >= 1) {
            // Old model names gain their year; the number keeps 3 characters.
            EXPECT_EQ(p.header.riders[0].bike, "crf250(2008)");
            EXPECT_EQ(p.header.riders[0].number, "123");
            EXPECT_EQ(p.header.riders[0].name, c.version == 6 ? "Name" : "");
        }
        close_demo_playback(p);
    }
    // A description with fewer fields leaves the others empty.
    test::write_file(dir_.path() / "h.zvdemo", "ZV05 2 0\nt\nkx250f\n1\na|b\n2\n");
    DemoPlayer p;
    ASSERT_TRUE(open_demo_playback(p, dir_ / "h.zvdemo"));
    const auto& r = p.header.riders;
    EXPECT_EQ(std::tuple(r[0].bike, r[0].rider_texture, r[1].rider_texture, r[1].head_texture),
              std::tuple("kx250f(2008)", "", "b", ""));
    close_demo_playback(p);
    EXPECT_EQ(translate_bike_name("yz250f"), "yz250f(2008)");
    EXPECT_EQ(translate_bike_name("yz250f(2008)"), "yz250f(2008)");

    // What cannot be written on one line is not.
    DemoHeader h = test::demo_header(1, "a\nb");
    h.riders[0].bike = "x|y";
    h.riders[0].name = "two\nlines";
    EXPECT_EQ(format_demo_header(h), "ZV06 1 0 3 1792\na b\nx y|rider-0|||head\n10\ntwo lines\n\n");
    h.riders[0].bike.clear();
    EXPECT_EQ(rider_description(h.riders[0]), "|rider-0|||head");
}

}  // namespace
}  // namespace zv::replay
