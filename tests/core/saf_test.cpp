// ".saf" archive directories: offsets, priorities, malformed directories and
// members that claim more bytes than the archive holds.
#include "data_file_fixture.h"

#include <algorithm>
#include <random>
#include <tuple>

namespace zv::test {
namespace {

using namespace zv::core;

using SafArchives = DataFolders;

std::vector<WorkingSetEntry> members_of(const std::string& archive_path)
{
    std::vector<WorkingSetEntry> out;
    for (const WorkingSetEntry& e : working_set_entries())
        if (e.path == archive_path && e.name.find(".saf") == std::string::npos)
            out.push_back(e);
    return out;
}

TEST_F(SafArchives, OffsetsFollowTheDirectory)
{
    // Directory: "3 a\n" (4) + "5 dir/b\n" (8) + "0 empty\n" (8) + "-\n" (2) = 22 bytes.
    write_file(data() + "pack.saf", saf({{"a", "AAA"}, {"dir/b", "BBBBB"}, {"empty", ""}}));
    auto m = members_of(data() + "pack.saf");
    ASSERT_EQ(m.size(), 3u);
    for (auto [k, name, offset, size] : {std::tuple{0u, "a", 22u, 3u}, {1u, "dir/b", 25u, 5u}, {2u, "empty", 30u, 0u}})
        EXPECT_EQ(std::tuple(m[k].name, m[k].offset, m[k].size), std::tuple(std::string(name), offset, size)) << k;
    EXPECT_EQ(read_name("@dir/b"), "BBBBB");
    EXPECT_EQ(read_name("@empty"), "");
    EXPECT_EQ(read_name("@a"), "AAA");
}

TEST_F(SafArchives, AnyOneSeparatorAndCollapsedSlashes)
{
    write_file(data() + "pack.saf", std::string("2\tx//y///z\n3 /lead\n-\n") + "xy" + "abc");
    auto m = members_of(data() + "pack.saf");
    ASSERT_EQ(m.size(), 2u);
    EXPECT_EQ(m[0].name, "/lead");
    EXPECT_EQ(m[1].name, "x/y/z");
    EXPECT_EQ(read_name("@x/y/z"), "xy");
    // The second separator character is part of the path.
    write_file(data() + "pack.saf", std::string("1  spaced\n-\nq"));
    reset_data_files();
    EXPECT_EQ(read_name("@ spaced"), "q");
}

TEST_F(SafArchives, MalformedDirectoriesAddNothing)
{
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"no end line", "1 a\n2 b\nxyy"},
        {"end line without line feed", "1 a\n-"},
        {"line without a number", "1 a\nb 2\n-\nxy"},
        {"minus sign", "-1 a\n-\n"},
        {"number only", "1\n-\nx"},
        {"no path", "1 \n-\nx"},
        {"carriage return end", "1 a\n-\r\nx"},
        {"overlong line", "1 " + std::string(1021, 'p') + "\n-\nx"},
        {"size overflow", "99999999999999999999999 a\n-\nx"},
        {"empty file", ""},
    };
    for (const auto& [what, bytes] : cases) {
        SCOPED_TRACE(what);
        write_file(data() + "bad.saf", bytes);
        reset_data_files();
        EXPECT_TRUE(members_of(data() + "bad.saf").empty());
        EXPECT_EQ(read_name("@a"), "<none>");
        // The archive itself is still a file of the working set.
        EXPECT_TRUE(std::count(working_set().begin(), working_set().end(), "bad.saf"));
    }
    // The longest line allowed: 1023 bytes with its line feed.
    std::string path(1020, 'p');
    write_file(data() + "bad.saf", "1 " + path + "\n-\nx");
    reset_data_files();
    auto m = members_of(data() + "bad.saf");
    ASSERT_EQ(m.size(), 1u);
    EXPECT_EQ(m[0].name, path);
    EXPECT_EQ(m[0].offset, 1025u);
}

TEST_F(SafArchives, MembersReachingPastTheEndAreLeftOut)
{
    // "3 a\n5 b\n9 c\n-\n" is 14 bytes; then 3 + 5 bytes, but c claims 9 more.
    write_file(data() + "pack.saf", std::string("3 a\n5 b\n9 c\n-\n") + "AAA" + "BBBBB" + "CC");
    auto m = members_of(data() + "pack.saf");
    ASSERT_EQ(m.size(), 2u);
    EXPECT_EQ(m[0].name, "a");
    EXPECT_EQ(m[1].name, "b");
    EXPECT_EQ(read_name("@c"), "<none>");
    EXPECT_EQ(read_name("@b"), "BBBBB");

    // A huge size must not wrap the offsets of later members around.
    write_file(data() + "pack.saf",
               std::string("18446744073709551615 big\n1 after\n-\n") + "z");
    reset_data_files();
    EXPECT_TRUE(members_of(data() + "pack.saf").empty());
    EXPECT_EQ(read_name("@after"), "<none>");
}

TEST_F(SafArchives, PrioritiesOrderArchivesAfterLooseFiles)
{
    write_file(data() + "b.saf", saf({{"shared", "from b"}, {"only_b", "b"}}));
    write_file(data() + "A.saf", saf({{"SHARED", "from A"}}));
    write_file(home() + "a.saf", saf({{"shared", "from home archive"}}));
    // Archives are read in name order: home's "a.saf", data's "A.saf" (same
    // name, higher folder), then "b.saf".
    const auto& entries = working_set_entries();
    std::vector<std::pair<int, std::string>> shared;
    for (const auto& e : entries)
        if (compare_names(e.name, "shared") == 0)
            shared.emplace_back(e.priority, e.path);
    ASSERT_EQ(shared.size(), 3u);
    EXPECT_EQ(shared[0], std::make_pair(2, home() + "a.saf"));
    EXPECT_EQ(shared[1], std::make_pair(3, data() + "A.saf"));
    EXPECT_EQ(shared[2], std::make_pair(4, data() + "b.saf"));
    EXPECT_EQ(read_name("@shared"), "from home archive");
    EXPECT_EQ(read_name("@only_b"), "b");
}

TEST_F(SafArchives, ArchivesInsideArchivesAreNotOpened)
{
    std::string inner = saf({{"deep", "deep data"}});
    write_file(data() + "outer.saf", saf({{"inner.saf", inner}}));
    EXPECT_EQ(read_name("@inner.saf"), inner);
    EXPECT_EQ(read_name("@deep"), "<none>");
}

TEST_F(SafArchives, DamagedArchivesNeverReachPastTheFile)
{
    const std::string good = saf({{"a.txt", "alpha"},
                                  {"dir/b.gz", gzip("bravo bravo bravo")},
                                  {"c", std::string(300, 'c')}});
    std::mt19937 rng(12345);
    for (int round = 0; round < 200; ++round) {
        std::string bytes = good;
        for (int k = 0; k < 1 + round % 4; ++k) {
            std::size_t at = rng() % bytes.size();
            switch (rng() % 3) {
            case 0: bytes[at] = static_cast<char>(rng()); break;
            case 1: bytes.erase(at, 1 + rng() % 8); break;
            default: bytes.insert(at, 1, "0123456789 -\n/"[rng() % 15]); break;
            }
            if (bytes.empty())
                bytes = "x";
        }
        write_file(data() + "pack.saf", bytes);
        reset_data_files();
        std::string previous;
        for (const WorkingSetEntry& e : members_of(data() + "pack.saf")) {
            SCOPED_TRACE(round);
            ASSERT_LE(e.offset + e.size, bytes.size());
            bool first_of_name = compare_names(e.name, previous) != 0;
            previous = e.name;
            if (!first_of_name)
                continue;  // a name given twice reads the first
            DataFilePtr f = open_data_file("@" + e.name, "rb");
            ASSERT_TRUE(f);
            auto got = read_all(*f);
            EXPECT_EQ(std::string(got.begin(), got.end()), bytes.substr(e.offset, e.size));
            // Damaged gzip members inflate what they can, or fail to open.
            // (Deflate expands at most 1032 to 1.)
            if (e.name.size() > 3 && e.name.substr(e.name.size() - 3) == ".gz") {
                if (DataFilePtr z = open_data_file("@" + e.name.substr(0, e.name.size() - 3), "rb")) {
                    EXPECT_LE(read_all(*z).size(), 1032 * e.size);
                }
            }
        }
    }
}

}  // namespace
}  // namespace zv::test
