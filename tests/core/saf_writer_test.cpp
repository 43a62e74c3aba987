// Writing SAF archives: the exact layout, the paths that cannot be stored,
// and a round trip through the data-file reader.
#include "core/saf_writer.h"

#include "core/data_file.h"
#include "platform/log.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

using namespace zv;
using test::ScopedEnv;
using test::TempDir;

std::vector<std::uint8_t> bytes(std::string_view s)
{
    return {s.begin(), s.end()};
}

std::string text(const std::vector<std::uint8_t>& b)
{
    return {b.begin(), b.end()};
}

TEST(SafWriter, DirectoryThenMembersInOrder)
{
    std::vector<core::SafMember> members = {
        {"readme.txt", bytes("hello\n")},
        {"tracks/hills/desc", bytes("Hills")},
        {"empty.bin", {}},
    };
    std::optional<std::vector<std::uint8_t>> out = core::build_saf(members);
    ASSERT_TRUE(out);
    EXPECT_EQ(text(*out),
              "6 readme.txt\n"
              "5 tracks/hills/desc\n"
              "0 empty.bin\n"
              "-\n"
              "hello\nHills");
}

TEST(SafWriter, EmptyArchiveIsJustTheEndLine)
{
    std::optional<std::vector<std::uint8_t>> out = core::build_saf({});
    ASSERT_TRUE(out);
    EXPECT_EQ(text(*out), "-\n");
}

TEST(SafWriter, RefusesPathsTheReaderWouldMisread)
{
    const char* bad[] = {"", "a\nb", "a\rb", "/abs", "dir/", "a//b", "-", "back\\slash"};
    for (const char* p : bad) {
        std::vector<core::SafMember> m = {{p, bytes("x")}};
        EXPECT_FALSE(core::build_saf(m)) << p;
    }
    std::vector<core::SafMember> nul = {{std::string("a\0b", 3), bytes("x")}};
    EXPECT_FALSE(core::build_saf(nul));

    // The longest line is 1023 characters with its line feed: "1 " + path + "\n".
    std::vector<core::SafMember> longest = {{std::string(1020, 'p'), bytes("x")}};
    EXPECT_TRUE(core::build_saf(longest));
    std::vector<core::SafMember> too_long = {{std::string(1021, 'p'), bytes("x")}};
    EXPECT_FALSE(core::build_saf(too_long));

    std::vector<core::SafMember> twice = {{"Readme.txt", bytes("a")}, {"readme.TXT", bytes("b")}};
    EXPECT_FALSE(core::build_saf(twice));
}

TEST(SafWriter, WritesAtomicallyAndFailsCleanly)
{
    TempDir dir;
    std::vector<core::SafMember> members = {{"a.txt", bytes("abc")}};
    ASSERT_TRUE(core::write_saf(dir / "out.saf", members));
    EXPECT_EQ(test::read_file(dir / "out.saf"), std::optional<std::string>("3 a.txt\n-\nabc"));
    // Nothing else is left in the folder.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);

    EXPECT_FALSE(core::write_saf(dir / "no/such/folder/out.saf", members));
    std::vector<core::SafMember> bad = {{"", bytes("x")}};
    EXPECT_FALSE(core::write_saf(dir / "bad.saf", bad));
    EXPECT_FALSE(std::filesystem::exists(dir / "bad.saf"));
}

TEST(SafWriter, ArchiveReadsBackThroughTheWorkingSet)
{
    TempDir dir;
    ScopedEnv home("XDG_DATA_HOME", dir / "xdg");
    ScopedEnv data("ZV_HOME", dir / "data");
    ScopedEnv log("TORV_LOGFILE", dir / "log.txt");
    core::reset_data_files();

    std::vector<std::uint8_t> binary(70000);
    for (std::size_t i = 0; i < binary.size(); ++i)
        binary[i] = static_cast<std::uint8_t>(i * 7 + 3);
    std::vector<core::SafMember> members = {
        {"first.txt", bytes("one\ntwo\n")},
        {"sub/dir/blob.bin", binary},
        {"last.txt", bytes("end")},
    };
    std::filesystem::create_directories(dir.path() / "data");
    ASSERT_TRUE(core::write_saf(dir / "data/pack.saf", members));

    for (const core::SafMember& m : members) {
        std::vector<std::uint8_t> got;
        ASSERT_TRUE(core::read_data_file("@" + m.path, got)) << m.path;
        EXPECT_EQ(got, m.bytes) << m.path;
    }
    // Member names are found whatever their letter case.
    std::vector<std::uint8_t> got;
    ASSERT_TRUE(core::read_data_file("@SUB/Dir/BLOB.bin", got));
    EXPECT_EQ(got.size(), binary.size());

    platform::log_close();
    core::reset_data_files();
}

}  // namespace
