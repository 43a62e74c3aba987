// The gzip reader: header variants, broken headers, long and damaged data,
// seeking inside inflated data.
#include "data_file_fixture.h"

#include <random>

namespace zv::test {
namespace {

using namespace zv::core;

using GzipFiles = DataFolders;

TEST_F(GzipFiles, EveryHeaderFlagCombinationIsSkipped)
{
    for (int flags : {0, 2, 4, 8, 16, 2 | 4 | 8 | 16, 4 | 16, 1}) {
        SCOPED_TRACE(flags);
        write_file(data() + "f.gz", gzip("inflated text\n", flags));
        EXPECT_EQ(read_name("@f"), "inflated text\n");
    }
}

TEST_F(GzipFiles, BadHeadersFailToOpen)
{
    std::string good = gzip("x");
    auto variant = [&](std::size_t at, char value) {
        std::string g = good;
        g[at] = value;
        return g;
    };
    for (const std::string& bad : {variant(0, '\x1e'), variant(1, '\x8c'), variant(2, '\x07'),
                                   variant(3, '\x20'), variant(3, '\x80'), std::string("\x1f\x8b"),
                                   std::string("\x1f\x8b\x08\x00\x00\x00\x00", 7), std::string()}) {
        write_file(data() + "bad.gz", bad);
        EXPECT_FALSE(open_data_file("@bad", "rb"));
        EXPECT_FALSE(open_data_file(data() + "bad", "rb"));
    }
    // Fields announced by the flags but cut short are bad headers too.
    std::string cut_name = std::string("\x1f\x8b\x08\x08", 4) + std::string(6, '\0') + "unterminated";
    write_file(data() + "bad.gz", cut_name);
    EXPECT_FALSE(open_data_file("@bad", "rb"));
    std::string cut_extra = std::string("\x1f\x8b\x08\x04", 4) + std::string(6, '\0') + "\xff\x00" + "short";
    write_file(data() + "bad.gz", cut_extra);
    EXPECT_FALSE(open_data_file("@bad", "rb"));
}

TEST_F(GzipFiles, LongDataCrossesEveryBufferBoundary)
{
    std::mt19937 rng(7);
    std::string plain;
    for (int i = 0; i < 100000; ++i)
        plain += static_cast<char>('a' + rng() % 7);  // compresses, but not to nothing
    write_file(data() + "big.gz", gzip(plain, 8));
    ASSERT_GT(gzip(plain).size(), 16u * 1024);
    EXPECT_EQ(read_name("@big"), plain);

    DataFilePtr f = open_data_file("@big", "rb");
    ASSERT_TRUE(f);
    std::string lines;
    char buf[333];
    std::size_t n;
    while ((n = read_bytes(*f, buf, sizeof buf)) > 0)
        lines.append(buf, n);
    EXPECT_EQ(lines, plain);
    EXPECT_EQ(position(*f), static_cast<long>(plain.size()));

    // Backwards seeks inflate again from the start, forward ones skip.
    ASSERT_TRUE(seek(*f, 50000));
    EXPECT_EQ(read_char(*f), plain[50000]);
    ASSERT_TRUE(seek(*f, 17));
    EXPECT_EQ(position(*f), 17);
    EXPECT_EQ(read_char(*f), plain[17]);
    ASSERT_TRUE(seek(*f, 99999));
    EXPECT_EQ(read_char(*f), plain[99999]);
    EXPECT_EQ(read_char(*f), -1);
    EXPECT_FALSE(seek(*f, 100001));
}

TEST_F(GzipFiles, ReadingStopsAtTheEndOfTheDeflateData)
{
    // Bytes after the member (a second member, junk) are not delivered.
    write_file(data() + "two.gz", gzip("first") + gzip("second") + "junk");
    EXPECT_EQ(read_name("@two"), "first");

    // Truncated or damaged data delivers what inflated cleanly and then ends.
    std::string plain(5000, 'k');
    for (std::size_t i = 0; i < plain.size(); i += 7)
        plain[i] = static_cast<char>('0' + i % 10);
    std::string whole = gzip(plain);
    write_file(data() + "cut.gz", whole.substr(0, whole.size() / 2));
    std::string got = read_name("@cut");
    EXPECT_LT(got.size(), plain.size());
    EXPECT_EQ(got, plain.substr(0, got.size()));

    std::string damaged = whole;
    damaged[10] = '\xff';  // the first deflate byte: an invalid block type
    write_file(data() + "damaged.gz", damaged);
    EXPECT_EQ(read_name("@damaged"), "");
}

TEST_F(GzipFiles, GzipMemberInsideAnArchiveStaysWithinItsMember)
{
    std::string compressed = gzip("member text");
    // Without its trailer the member still inflates whole.
    std::string plain;
    for (int i = 0; i < 3000; ++i)
        plain += std::to_string(i * 7919 % 1000) + ",";
    std::string cut = gzip(plain);
    cut.resize(cut.size() / 2);
    write_file(data() + "pack.saf", saf({{"a.gz", compressed.substr(0, compressed.size() - 8)},
                                         {"cut.gz", cut},
                                         {"b.gz", gzip("next")}}));
    EXPECT_EQ(read_name("@a"), "member text");
    EXPECT_EQ(read_name("@b"), "next");
    // A member cut inside its deflate data ends there: nothing of the next
    // member is taken for the rest of it.
    std::string got = read_name("@cut");
    EXPECT_GT(got.size(), 0u);
    EXPECT_LT(got.size(), plain.size());
    EXPECT_EQ(got, plain.substr(0, got.size()));
}

}  // namespace
}  // namespace zv::test
