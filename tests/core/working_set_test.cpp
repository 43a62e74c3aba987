// The working set: listing, order, distinct names, skin variants, and the
// start-up check of the reference archive.
#include "data_file_fixture.h"

#include "core/digest.h"
#include "platform/log.h"

#include <algorithm>
#include <filesystem>
#include <tuple>

namespace zv::test {
namespace {

using namespace zv::core;
namespace fs = std::filesystem;

using WorkingSet = DataFolders;

TEST(CompareNames, IgnoresLetterCaseAndOrdersPrefixesFirst)
{
    EXPECT_EQ(compare_names("Track/Desc", "track/desc"), 0);
    EXPECT_LT(compare_names("abc", "ABD"), 0);
    EXPECT_GT(compare_names("b", "A"), 0);
    EXPECT_LT(compare_names("ab", "abc"), 0);
    EXPECT_GT(compare_names("abc", "AB"), 0);
    EXPECT_EQ(compare_names("", ""), 0);
    // Bytes above 127 compare unsigned: after every ASCII letter.
    EXPECT_GT(compare_names("\xe9t\xe9", "z"), 0);
    // "_" (95) lies between upper (65-90) and lower case (97-122): case is
    // folded to lower before comparing.
    EXPECT_LT(compare_names("A_", "aa"), 0);
    EXPECT_LT(compare_names("a_", "AB"), 0);
}

TEST_F(WorkingSet, ListsFoldersRecursivelyAndSortsDistinctNames)
{
    write_file(home() + "demos/mine.zvdemo", "h");
    write_file(data() + "demos/Mine.zvdemo", "d");
    write_file(data() + "tracks/b/terrain.hf", "t");
    write_file(data() + "Alpha", "a");
    write_file(data() + "zzzz.saf", saf({{"alpha", "member"}, {"tracks//c/terrain.hf.gz", gzip("x")}}));
    const auto& names = working_set();
    const std::vector<std::string> expected = {"Alpha", "demos/mine.zvdemo", "tracks/b/terrain.hf",
                                               "tracks/c/terrain.hf.gz", "zzzz.saf"};
    EXPECT_EQ(names, expected);

    const auto& entries = working_set_entries();
    ASSERT_EQ(entries.size(), 7u);
    EXPECT_EQ(entries[0].path, data() + "Alpha");
    EXPECT_EQ(entries[0].size, 1u);
    for (auto [k, name, priority] :
         {std::tuple{0u, "Alpha", 1}, {1u, "alpha", 2}, {2u, "demos/mine.zvdemo", 0}, {3u, "demos/Mine.zvdemo", 1}})
        EXPECT_EQ(std::pair(entries[k].name, entries[k].priority), std::pair(std::string(name), priority)) << k;
    EXPECT_TRUE(std::is_sorted(entries.begin(), entries.end(), [](const auto& a, const auto& b) {
        return compare_names(a.name, b.name) < 0;
    }));
}

TEST_F(WorkingSet, KeptUntilFreedAndSurvivesFolderLoops)
{
    write_file(data() + "one", "1");
    fs::create_directories(data() + "sub");
    fs::create_directory_symlink(data(), data() + "sub/loop");
    EXPECT_EQ(working_set(), std::vector<std::string>{"one"});
    write_file(data() + "two", "2");
    EXPECT_EQ(working_set().size(), 1u);  // files written later are not added
    free_working_set();
    EXPECT_EQ(working_set(), (std::vector<std::string>{"one", "two"}));
}

TEST_F(WorkingSet, EmptyWhenTheFoldersDoNotExist)
{
    EXPECT_TRUE(working_set().empty());
    EXPECT_TRUE(working_set_entries().empty());
    EXPECT_EQ(read_name("@anything"), "<none>");
}

TEST_F(WorkingSet, VariantsSkipCompanionMapsAndKeepOrder)
{
    write_file(data() + "wheels-red.png", "p");
    write_file(data() + "wheels-red_norm.png", "n");
    write_file(data() + "wheels-red_spec.png.scram", "s");
    write_file(data() + "bikes/wheels-Blue.png.scram", "b");
    write_file(data() + "wheels-green.jpg", "j");
    write_file(data() + "rims/other-wheels-x.png", "o");
    write_file(data() + "pack.saf", saf({{"wheels-red.png.scram", "again"}, {"wheels-zebra.png", "z"}}));

    Variants v = list_variants("wheels-");
    ASSERT_EQ(v.files.size(), v.names.size());
    ASSERT_EQ(v.files.size(), 4u);
    EXPECT_EQ(v.files[0], nullptr);
    EXPECT_EQ(std::vector<std::string>(v.files.begin() + 1, v.files.end()),
              (std::vector<std::string>{"@bikes/wheels-Blue.png", "@wheels-red.png", "@wheels-zebra.png"}));
    EXPECT_EQ(std::vector<std::string>(v.names.begin(), v.names.end()),
              (std::vector<std::string>{"default", "Blue", "red", "zebra"}));
    // Interned: the same text is the same pointer.
    EXPECT_EQ(list_variants("wheels-").names[2], v.names[2]);

    Variants none = list_variants("helmet-");
    ASSERT_EQ(none.files.size(), 1u);
    EXPECT_STREQ(none.names[0], "default");
}

TEST_F(WorkingSet, TheSpecifiedVariantPairGivesTheVariantOnce)
{
    write_file(data() + "wheels-gold.png", "p");
    write_file(data() + "wheels-gold_norm.png", "n");
    Variants v = list_variants("wheels-");
    ASSERT_EQ(v.names.size(), 2u);
    EXPECT_STREQ(v.names[1], "gold");
    EXPECT_STREQ(v.files[1], "@wheels-gold.png");
}

std::string hex_of(std::string_view bytes)
{
    Ripemd160 h;
    h.update(bytes);
    return digest_hex(h.finish());
}

TEST_F(WorkingSet, ReferenceArchiveDigestCoversTheFirstMebibyte)
{
    std::string small = saf({{"a", "reference"}});
    write_file(data() + "zzzz.saf", small);
    EXPECT_TRUE(reference_archive_matches(data() + "zzzz.saf", hex_of(small)));
    std::string upper = hex_of(small);
    std::transform(upper.begin(), upper.end(), upper.begin(), ::toupper);
    EXPECT_TRUE(reference_archive_matches(data() + "zzzz.saf", upper));
    EXPECT_FALSE(reference_archive_matches(data() + "zzzz.saf", hex_of(small + "x")));
    EXPECT_FALSE(reference_archive_matches(data() + "missing.saf", hex_of("")));

    // Only the first 1,048,576 bytes count.
    std::string big(1024 * 1024 + 300, 'b');
    big[1000] = 'c';
    write_file(data() + "zzzz.saf", big);
    std::string head = big.substr(0, 1024 * 1024);
    EXPECT_TRUE(reference_archive_matches(data() + "zzzz.saf", hex_of(head)));
    EXPECT_FALSE(reference_archive_matches(data() + "zzzz.saf", hex_of(big)));
}

TEST_F(WorkingSet, DataFolderCheckCreatesHomeAndFindsTheArchive)
{
    std::string good = saf({{"a", "release data"}});
    {
        // The check starts the log in the home folder.
        ScopedEnv log_file("TORV_LOGFILE", std::nullopt);
        platform::log_close();
        EXPECT_FALSE(data_folder_check_against(hex_of(good)));
        platform::log_printf("after the check\n");
        platform::log_close();
    }
    EXPECT_TRUE(fs::is_directory(home()));  // the home chain was created
    auto log = read_file(home() + "lastlog.txt");
    ASSERT_TRUE(log);
    EXPECT_NE(log->find("Logfile \"" + home() + "lastlog.txt\" opened"), std::string::npos) << *log;
    EXPECT_NE(log->find("after the check"), std::string::npos);

    write_file(data() + "zzzz.saf", "a different archive");
    EXPECT_FALSE(data_folder_check_against(hex_of(good)));
    write_file(home() + "zzzz.saf", good);  // the home folder is a search folder too
    EXPECT_TRUE(data_folder_check_against(hex_of(good)));
    fs::remove(home() + "zzzz.saf");
    write_file(data() + "zzzz.saf", good);
    EXPECT_TRUE(data_folder_check_against(hex_of(good)));

    // Only a loose "zzzz.saf" counts: not a gzip'd one, nor an archive member.
    fs::remove(data() + "zzzz.saf");
    write_file(data() + "zzzz.saf.gz", gzip(good));
    write_file(data() + "other.saf", saf({{"zzzz.saf", good}}));
    EXPECT_FALSE(data_folder_check_against(hex_of(good)));
}

}  // namespace
}  // namespace zv::test
