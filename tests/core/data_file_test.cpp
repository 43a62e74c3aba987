// Opening data files by name: search folders, "@" lookups and shadowing,
// write modes, numbered backups, variants, handle reads and writes.
#include "data_file_fixture.h"

#include "platform/log.h"

#include <filesystem>
#include <utility>
#include <sys/stat.h>
#include <unistd.h>

namespace zv::test {
namespace {

using namespace zv::core;
namespace fs = std::filesystem;

TEST(SearchFolders, XdgHomeThenZvHomeWithSlashesCleaned)
{
    TempDir tmp;
    ScopedEnv xdg("XDG_DATA_HOME", tmp.str() + "x//y");
    ScopedEnv zv("ZV_HOME", "C:\\games\\\\zv");
    reset_data_files();
    ASSERT_EQ(search_folders().size(), 2u);
    EXPECT_EQ(search_folders()[0], tmp.str() + "x/y/Zarvox/");
    EXPECT_EQ(search_folders()[1], "C:/games/zv/");
    EXPECT_EQ(home_folder(), search_folders()[0]);
    EXPECT_TRUE(create_home_folder());
    EXPECT_TRUE(create_home_folder());  // already there
    // A home folder below a plain file cannot be made.
    write_file(tmp.str() + "file", "");
    ScopedEnv under_file("XDG_DATA_HOME", tmp.str() + "file/x");
    reset_data_files();
    EXPECT_FALSE(create_home_folder());
    reset_data_files();
}

TEST(SearchFolders, HomeDefaultsToLocalShareAndDataToTheExecutable)
{
    ScopedEnv xdg("XDG_DATA_HOME", std::nullopt);
    ScopedEnv home("HOME", "/home/rider/");
    ScopedEnv zv("ZV_HOME", std::nullopt);
    reset_data_files();
    ASSERT_EQ(search_folders().size(), 2u);
    EXPECT_EQ(search_folders()[0], "/home/rider/.local/share/Zarvox/");
    std::string exe = fs::read_symlink("/proc/self/exe").parent_path().string() + "/";
    EXPECT_EQ(search_folders()[1], exe);
    reset_data_files();
}

TEST(SearchFolders, NoHomeWhenNothingTellsIt)
{
    ScopedEnv xdg("XDG_DATA_HOME", "relative/ignored");
    ScopedEnv home("HOME", std::nullopt);
    ScopedEnv zv("ZV_HOME", "/opt/zv");
    reset_data_files();
    ASSERT_EQ(search_folders().size(), 1u);
    EXPECT_EQ(search_folders()[0], "/opt/zv/");
    EXPECT_EQ(home_folder(), "");
    EXPECT_FALSE(create_home_folder());
    reset_data_files();
}

using OpenDataFile = DataFolders;

TEST_F(OpenDataFile, WritingConfigCreatesTheMissingHomeFolders)
{
    ASSERT_FALSE(fs::exists(tmp_.str() + "xdg"));
    {
        DataFilePtr f = open_data_file("@config", "w");
        ASSERT_TRUE(f);
        EXPECT_TRUE(write_text(*f, "volume 7\n"));
        EXPECT_TRUE(write_text(*f, ""));  // nothing to write succeeds on a file open for writing
        EXPECT_EQ(print(*f, "%s=%d\n", "x", 42), 5);
        EXPECT_EQ(write_char(*f, 'z'), 'z');
    }
    EXPECT_EQ(read_file(home() + "config"), "volume 7\nx=42\nz");
    EXPECT_EQ(read_name("@config"), "volume 7\nx=42\nz");

    // Deeper names get their folders too; reads never create anything.
    EXPECT_FALSE(open_data_file("@setups/450/novice", "r"));
    EXPECT_FALSE(fs::exists(home() + "setups"));
    EXPECT_TRUE(open_data_file("@setups/450/novice", "a+"));
    EXPECT_TRUE(fs::is_regular_file(home() + "setups/450/novice"));
}

TEST_F(OpenDataFile, HomeHidesDataFolderHidesArchive)
{
    write_file(data() + "base.saf", saf({{"track/desc", "from archive"}}));
    EXPECT_EQ(read_name("@track/desc"), "from archive");
    EXPECT_EQ(read_name("@TRACK/Desc"), "from archive");  // letter case is ignored in archives

    write_file(data() + "track/desc", "from data folder");
    reset_data_files();
    EXPECT_EQ(read_name("@track/desc"), "from data folder");

    write_file(home() + "track/desc", "from home");
    reset_data_files();
    EXPECT_EQ(read_name("@track/desc"), "from home");

    // Plain paths never reach the archives or the folders.
    EXPECT_EQ(read_name("track/desc"), "<none>");
    EXPECT_EQ(read_name(data() + "track/desc"), "from data folder");
}

TEST_F(OpenDataFile, LooseFileFoundWhenOnlyLetterCaseDiffers)
{
    write_file(data() + "Tracks/Hill/Desc", "hill");
    EXPECT_EQ(read_name("@tracks/hill/desc"), "hill");
    EXPECT_EQ(read_name("@tracks/hill/nothing"), "<none>");
}

TEST_F(OpenDataFile, NextEntryStandsInWhenTheFirstCannotBeOpened)
{
    write_file(data() + "Road/Desc", "loose");
    write_file(data() + "pack.saf", saf({{"road/desc", "member"}}));
    EXPECT_EQ(read_name("@ROAD/DESC"), "loose");
    fs::remove(data() + "Road/Desc");  // gone since the list was made
    EXPECT_EQ(read_name("@ROAD/DESC"), "member");
}

TEST_F(OpenDataFile, GzipVariantIsInflatedForEveryKindOfName)
{
    write_file(data() + "a.txt.gz", gzip("loose gzip"));
    write_file(data() + "pack.saf", saf({{"b.txt.gz", gzip("member gzip")}}));
    for (auto [name, text] : {std::pair{"@a.txt", "loose gzip"}, {"@b.txt", "member gzip"}, {"@B.TXT", "member gzip"}})
        EXPECT_EQ(read_name(name), text) << name;
    EXPECT_EQ(read_name(data() + "a.txt"), "loose gzip");
    // Asked for by its own name, a ".gz" file is delivered as stored.
    EXPECT_EQ(read_name("@a.txt.gz"), gzip("loose gzip"));
    // The uncompressed file wins over its ".gz" form.
    write_file(data() + "a.txt", "plain");
    EXPECT_EQ(read_name("@a.txt"), "plain");
}

TEST_F(OpenDataFile, ScrambledFilesAreTreatedAsAbsent)
{
    write_file(data() + "secret.png.scram", "enciphered");
    write_file(data() + "pack.saf", saf({{"other.scram", "x"}}));
    EXPECT_EQ(read_name("@secret.png"), "<none>");
    EXPECT_EQ(read_name("@other"), "<none>");
    // The search goes on past a scrambled file to the next folder.
    write_file(home() + "skin.png.scram", "enciphered");
    write_file(home() + "skin.png.gz.scram", "enciphered");
    write_file(data() + "skin.png", "plain picture");
    EXPECT_EQ(read_name("@skin.png"), "plain picture");
}

TEST_F(OpenDataFile, WritesNeverGoToArchivesAndReadHandlesRefuseWrites)
{
    write_file(data() + "pack.saf", saf({{"only_in_archive", "abc"}}));
    DataFilePtr r = open_data_file("@only_in_archive", "rb");
    ASSERT_TRUE(r);
    EXPECT_EQ(write_char(*r, 'x'), -1);
    EXPECT_FALSE(write_text(*r, "x"));
    EXPECT_FALSE(write_text(*r, ""));
    EXPECT_EQ(write_bytes(*r, "x", 1), 0u);
    EXPECT_EQ(print(*r, "x"), -1);
    EXPECT_FALSE(flush(*r));

    // "r+" is a write mode: no archive lookup, and a missing file fails.
    EXPECT_FALSE(open_data_file("@only_in_archive", "r+"));
    EXPECT_FALSE(open_data_file("@x", "q"));
}

TEST_F(OpenDataFile, NumberedBackupTakesTheFirstFreeNumber)
{
    write_file(home() + "results.txt", "old results");
    write_file(home() + "results.txt.~1~", "one");
    write_file(home() + "results.txt.~2~", "two");
    {
        DataFilePtr f = open_data_file("@results.txt", "~w");
        ASSERT_TRUE(f);
        write_text(*f, "new results");
    }
    for (auto [suffix, text] :
         {std::pair{"", "new results"}, {".~3~", "old results"}, {".~1~", "one"}, {".~2~", "two"}})
        EXPECT_EQ(read_file(home() + "results.txt" + suffix), text) << suffix;

    // A file that does not exist yet needs no backup.
    EXPECT_TRUE(open_data_file("@fresh", "~wb"));
    EXPECT_FALSE(fs::exists(home() + "fresh.~1~"));

    // Backups larger than one copy piece arrive whole.
    std::string big(200000, 'q');
    big[123456] = 'Z';
    write_file(home() + "big", big);
    EXPECT_TRUE(open_data_file("@big", "~a"));
    EXPECT_EQ(read_file(home() + "big.~1~"), big);
}

TEST_F(OpenDataFile, BackupFailsWhenEveryNumberIsTaken)
{
    std::string dir = tmp_.str() + "many/";
    fs::create_directories(dir);
    write_file(dir + "f", "keep me");
    for (int n = 1; n <= 9999; ++n) {
        std::FILE* fp = std::fopen((dir + "f.~" + std::to_string(n) + "~").c_str(), "w");
        ASSERT_TRUE(fp);
        std::fclose(fp);
    }
    EXPECT_FALSE(open_data_file(dir + "f", "~w"));
    EXPECT_EQ(read_file(dir + "f"), "keep me");
}

TEST_F(OpenDataFile, OverlongSearchPathsAndFoldersAreNotFiles)
{
    std::string long_name(600, 'n');
    EXPECT_FALSE(open_data_file("@" + long_name, "w"));
    write_file(data() + "folder/inside", "x");
    EXPECT_FALSE(open_data_file("@folder", "rb"));
    EXPECT_FALSE(open_data_file("@", "rb"));
    // No mode, or one that neither reads, writes nor appends, opens nothing
    // and makes no folders.
    for (const char* mode : {"", "~", "x", "~x"}) {
        EXPECT_FALSE(open_data_file(tmp_.str() + "made/f", mode)) << mode;
        EXPECT_FALSE(fs::exists(tmp_.str() + "made")) << mode;
    }
}

TEST_F(OpenDataFile, ReplaceDataFileSwapsInTheHomeFolder)
{
    write_file(home() + "config.tmp", "new");
    write_file(home() + "config", "old");
    EXPECT_TRUE(replace_data_file("@config.tmp", "@config"));
    EXPECT_EQ(read_file(home() + "config"), "new");
    EXPECT_FALSE(fs::exists(home() + "config.tmp"));
    EXPECT_FALSE(replace_data_file("@missing", "@config"));
    EXPECT_EQ(read_file(home() + "config"), "new");
}

using HandleReads = DataFolders;

TEST_F(HandleReads, LinesCharsAndPushBack)
{
    write_file(data() + "t", "ab\nlong line here\n\nlast");
    DataFilePtr f = open_data_file("@t", "r");
    ASSERT_TRUE(f);
    EXPECT_EQ(read_char(*f), 'a');
    unread_char(*f, 'a');
    EXPECT_EQ(position(*f), 0);
    char buf[8];
    ASSERT_TRUE(read_line(*f, buf, sizeof buf));
    EXPECT_STREQ(buf, "ab\n");
    ASSERT_TRUE(read_line(*f, buf, sizeof buf));  // cut at size - 1 bytes
    EXPECT_STREQ(buf, "long li");
    std::string line;
    for (const char* want : {"ne here\n", "\n", "last"}) {
        ASSERT_TRUE(read_line(*f, line)) << want;
        EXPECT_EQ(line, want);
    }
    EXPECT_FALSE(read_line(*f, line));
    EXPECT_FALSE(read_line(*f, buf, sizeof buf));
    EXPECT_EQ(read_char(*f), -1);
    EXPECT_FALSE(read_line(*f, buf, 1));
    EXPECT_EQ(buf[0], '\0');
    // A NUL byte pushes back like any other; the end of the file pushes back nothing.
    write_file(data() + "z", std::string("\0b", 2));
    f = open_data_file("@z", "rb");
    ASSERT_TRUE(f);
    EXPECT_EQ(read_char(*f), 0);
    unread_char(*f, 0);
    EXPECT_EQ(read_char(*f), 0);
    unread_char(*f, -1);
    EXPECT_EQ(read_char(*f), 'b');
}

TEST_F(HandleReads, SeekAndPositionWithinAMember)
{
    write_file(data() + "pack.saf", saf({{"first", "0123456789"}, {"second", "abcdef"}}));
    DataFilePtr f = open_data_file("@second", "rb");
    ASSERT_TRUE(f);
    char buf[16] = {};
    EXPECT_EQ(read_bytes(*f, buf, sizeof buf), 6u);  // never into the next member or past the end
    EXPECT_EQ(std::string(buf, 6), "abcdef");
    EXPECT_EQ(position(*f), 6);
    EXPECT_EQ(read_char(*f), -1);
    ASSERT_TRUE(seek(*f, 2));
    EXPECT_EQ(position(*f), 2);
    EXPECT_EQ(read_char(*f), 'c');
    EXPECT_TRUE(seek(*f, 6));
    EXPECT_FALSE(seek(*f, 7));
    EXPECT_FALSE(seek(*f, -1));
    ASSERT_TRUE(seek(*f, 0));
    auto all = read_all(*f);
    EXPECT_EQ(std::string(all.begin(), all.end()), "abcdef");

    DataFilePtr first = open_data_file("@first", "rb");
    ASSERT_TRUE(first);
    ASSERT_TRUE(seek(*first, 8));
    all = read_all(*first);
    EXPECT_EQ(std::string(all.begin(), all.end()), "89");

    std::vector<std::uint8_t> whole;
    EXPECT_TRUE(read_data_file("@first", whole));
    EXPECT_EQ(whole.size(), 10u);
    EXPECT_FALSE(read_data_file("@third", whole));
}

TEST_F(HandleReads, UpdateModeSwitchesBetweenReadingAndWriting)
{
    write_file(data() + "u", "abcdef");
    {
        DataFilePtr f = open_data_file("@u", "r+");
        ASSERT_TRUE(f);
        EXPECT_EQ(read_char(*f), 'a');
        EXPECT_EQ(read_char(*f), 'b');
        unread_char(*f, 'b');
        EXPECT_EQ(position(*f), 1);
        EXPECT_EQ(write_char(*f, 'X'), 'X');  // lands where the pushed-back byte was
        EXPECT_EQ(read_char(*f), 'c');
        EXPECT_TRUE(flush(*f));
    }
    EXPECT_EQ(read_file(data() + "u"), "aXcdef");
    // An updating writer that gives up reports it, even though its file closes.
    DataFilePtr g = open_data_file("@u", "r+");
    ASSERT_TRUE(g);
    EXPECT_FALSE(commit_data_file(std::move(g), false));
    g = open_data_file("@u", "r+");
    ASSERT_TRUE(g);
    EXPECT_TRUE(commit_data_file(std::move(g)));
}

TEST(WorkingSetRange, FollowsPhysicalMemory)
{
    constexpr std::uint64_t mib = 1024 * 1024;
    EXPECT_FALSE(working_set_range(63 * mib));
    auto small = working_set_range(64 * mib);
    ASSERT_TRUE(small);
    EXPECT_EQ(small->first, 32 * mib);
    EXPECT_EQ(small->second, 32 * mib);
    auto mid = working_set_range(1536 * mib);
    ASSERT_TRUE(mid);
    EXPECT_EQ(mid->first, 1024 * mib);
    EXPECT_EQ(mid->second, 1504 * mib);
    auto big = working_set_range(64 * 1024 * mib);
    ASSERT_TRUE(big);
    EXPECT_EQ(big->first, 1024 * mib);
    EXPECT_EQ(big->second, 2016 * mib);
}

TEST(WorkingSetRange, SettingItLogsTheRangeAndTheFailure)
{
    TempDir tmp;
    ScopedEnv log_file("TORV_LOGFILE", tmp / "log.txt");
    platform::log_close();
    set_working_set_size();
    platform::log_close();
    auto log = read_file(tmp / "log.txt");
    ASSERT_TRUE(log);
    auto range = working_set_range(static_cast<std::uint64_t>(sysconf(_SC_PHYS_PAGES)) *
                                   static_cast<std::uint64_t>(sysconf(_SC_PAGE_SIZE)));
    ASSERT_TRUE(range);  // every machine that runs this has 64 MiB
    std::string expected = "Setting working set range to " + std::to_string(range->first) + " - " +
                           std::to_string(range->second) + "\n";
    EXPECT_NE(log->find(expected), std::string::npos) << *log;
    EXPECT_NE(log->find("] Working set update failed\n"), std::string::npos) << *log;
}

}  // namespace
}  // namespace zv::test
