// The track list: terrain files, desc names, sort order.
#include "track/track_list.h"

#include "core/data_file.h"
#include "core/saf_writer.h"
#include "platform/log.h"
#include "support/data_folder_test.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <utility>

namespace {

using namespace zv;

using ListTest = test::DataFolderTest;

TEST(TrackFolder, OnlyTheFourTerrainEndingsMakeATrack)
{
    const std::pair<const char*, const char*> cases[] = {
        {"hills/terrain.hf", "hills"}, {"hills/terrain.hf.gz", "hills"}, {"hills/terrain.hf.scram", "hills"},
        {"hills/terrain.hf.gz.scram", "hills"}, {"pack/deep/terrain.hf", "pack/deep"}, {"terrain.hf", ""},
        {"/terrain.hf", ""}, {"hills/myterrain.hf", ""}, {"hills/terrain.hfx", ""},
        {"hills/terrain.hf.scram.gz", ""}, {"hills/terrain.png", ""}};
    for (const auto& [file, folder] : cases)
        EXPECT_EQ(track::track_folder_of(file), folder) << file;
}

TEST_F(ListTest, DescFirstLineRules)
{
    write("crlf/desc", "Muddy Hollow\r\nsecond line\n");
    write("lf/desc", "Sand Dunes\nmore");
    write("nul/desc", std::string_view("Night\0Ride\n", 11));
    write("eof/desc", "No Newline");
    write("empty/desc", "");
    write("blank/desc", "\nSecond Line Only\n");
    write("spaces/desc", "  Padded  \n");
    write("long/desc", std::string(2000, 'x'));

    const std::pair<const char*, std::string> names[] = {
        {"crlf", "Muddy Hollow"}, {"lf", "Sand Dunes"}, {"nul", "Night"},      {"eof", "No Newline"},
        {"missing", "missing"},   {"empty", "empty"},   {"blank", "blank"},    {"spaces", "  Padded  "},
        {"long", std::string(1023, 'x')}};
    for (const auto& [folder, name] : names)
        EXPECT_EQ(track::track_display_name(folder), name) << folder;
}

TEST_F(ListTest, SortsByDisplayNameIgnoringCaseAndFoldersFollow)
{
    write("b_track/terrain.hf", "x");
    write("b_track/desc", "Mud Run\n");
    write("a_track/terrain.hf.gz", "x");
    write("a_track/desc", "mud run\n");
    write("c_track/terrain.hf.scram", "x");
    write("c_track/desc", "alpine\n");
    write("d_track/terrain.hf.gz.scram", "x");
    write("d_track/desc", "Zebra Crossing\n");
    write("Echo/terrain.hf", "x");  // no desc: the folder is the name
    write("f_track/terrain.png", "x");
    write("f_track/desc", "Not A Track\n");

    track::TrackList tracks = track::build_track_list(core::working_set(), 1);
    EXPECT_EQ(tracks.names,
              (std::vector<std::string>{"alpine", "Echo", "Mud Run", "mud run", "Zebra Crossing"}));
    EXPECT_EQ(tracks.folders,
              (std::vector<std::string>{"c_track", "Echo", "b_track", "a_track", "d_track"}));
    EXPECT_EQ(track::find_track(tracks, "a_track"), 3);
    EXPECT_EQ(track::find_track(tracks, "A_TRACK"), -1);
    EXPECT_EQ(track::find_track(tracks, "f_track"), -1);

    std::string log = log_text();
    EXPECT_NE(log.find("c_track -> alpine\n"), std::string::npos);
    EXPECT_NE(log.find("a_track -> mud run\n"), std::string::npos);
    EXPECT_LT(log.find("b_track -> Mud Run"), log.find("a_track -> mud run"));
}

TEST_F(ListTest, EqualDisplayNamesKeepAFixedOrder)
{
    // Same display name, same case: the folder decides, whatever the input order.
    write("zz/terrain.hf", "x");
    write("zz/desc", "Twin\n");
    write("aa/terrain.hf", "x");
    write("aa/desc", "Twin\n");
    track::TrackList tracks = track::build_track_list(core::working_set(), 0);
    EXPECT_EQ(tracks.folders, (std::vector<std::string>{"aa", "zz"}));

    std::vector<std::string> reversed(core::working_set().rbegin(), core::working_set().rend());
    EXPECT_EQ(track::build_track_list(reversed, 0).folders, tracks.folders);
    EXPECT_EQ(log_text().find("->"), std::string::npos);  // nothing logged at level 0
}

TEST_F(ListTest, AFolderWithSeveralTerrainFormsIsOneTrack)
{
    write("dup/terrain.hf", "x");
    write("dup/terrain.hf.gz", "x");
    write("dup/terrain.hf.bak", "x");
    track::TrackList tracks = track::build_track_list(core::working_set(), 0);
    EXPECT_EQ(tracks.folders, (std::vector<std::string>{"dup"}));
}

TEST_F(ListTest, TracksInsideAnArchive)
{
    std::vector<core::SafMember> members = {
        {"packed/desc", {'P', 'a', 'c', 'k', 'e', 'd', '\n'}},
        {"packed/terrain.hf", {1, 2, 3}},
    };
    std::filesystem::create_directories(dir_.path() / "data");
    ASSERT_TRUE(core::write_saf(dir_ / "data/extra.saf", members));
    write("loose/terrain.hf", "x");
    track::TrackList tracks = track::build_track_list(core::working_set(), 0);
    EXPECT_EQ(tracks.folders, (std::vector<std::string>{"loose", "packed"}));
    EXPECT_EQ(tracks.names, (std::vector<std::string>{"loose", "Packed"}));
}

TEST_F(ListTest, NoTerrainFilesGiveAnEmptyList)
{
    write("readme.txt", "x");
    EXPECT_TRUE(track::build_track_list(core::working_set(), 0).empty());
}

}  // namespace
