// Formatted reads through a data-file handle: every conversion the text
// formats use, checked by hand and against the C library's stream scanning.
#include "data_file_fixture.h"

#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <tuple>

namespace zv::test {
namespace {

using namespace zv::core;

class Scan : public ::testing::Test {
protected:
    DataFile& open(std::string_view text)
    {
        write_file(tmp_ / "input", text);
        file_ = open_data_file(tmp_ / "input", "rb");
        EXPECT_TRUE(file_);
        return *file_;
    }
    std::string rest()
    {
        auto bytes = read_all(*file_);
        return std::string(bytes.begin(), bytes.end());
    }

    TempDir tmp_;
    DataFilePtr file_;
};

TEST_F(Scan, IntegersOfEveryBaseAndSize)
{
    DataFile& f = open("  42 -17 0x1F 017 +9 ff 777 4294967295 -1 12 5");
    int d = 0, i1 = 0, i2 = 0, i3 = 0, i4 = 0;
    unsigned x = 0, u = 0, u2 = 0;
    unsigned o = 0;
    EXPECT_EQ(scan(f, "%d %d %i %i %i %x %o %u %u", &d, &i1, &i2, &i3, &i4, &x, &o, &u, &u2), 9);
    // A leading 0 is octal for %i; "-1" as unsigned reads as strtoul reads it.
    EXPECT_EQ(std::tuple(d, i1, i2, i3, i4), std::tuple(42, -17, 31, 15, 9));
    EXPECT_EQ(std::tuple(x, o, u, u2), std::tuple(255u, 511u, 4294967295u, 4294967295u));
    short h = 0;
    signed char hh = 0;
    long l = 0;
    EXPECT_EQ(scan(f, "%hd%hhd", &h, &hh), 2);
    EXPECT_EQ(h, 12);
    EXPECT_EQ(hh, 5);
    EXPECT_EQ(scan(f, "%ld", &l), -1);
}

TEST_F(Scan, OutOfRangeIntegersAreClamped)
{
    DataFile& f = open("99999999999 -99999999999 70000 300 99999999999999999999999");
    int big = 0, small = 0;
    short h = 0;
    signed char c = 0;
    long long ll = 0;
    EXPECT_EQ(scan(f, "%d %d %hd %hhd %lld", &big, &small, &h, &c, &ll), 5);
    EXPECT_EQ(big, INT_MAX);
    EXPECT_EQ(small, INT_MIN);
    EXPECT_EQ(h, SHRT_MAX);
    EXPECT_EQ(c, SCHAR_MAX);
    EXPECT_EQ(ll, LLONG_MAX);

    unsigned u = 0, neg = 0;
    unsigned short uh = 0;
    DataFile& g = open("5000000000 -2 70000");
    EXPECT_EQ(scan(g, "%u %u %hu", &u, &neg, &uh), 3);
    EXPECT_EQ(u, UINT_MAX);
    EXPECT_EQ(neg, UINT_MAX - 1);  // a negated unsigned wraps, as strtoul's does
    EXPECT_EQ(uh, USHRT_MAX);
}

TEST_F(Scan, FloatsIntoFloatAndDouble)
{
    DataFile& f = open("1.5 -2.25e2 .5 3. 1e-3 0x1p3 inf -Infinity nan 7");
    float a = 0, c = 0;
    double b = 0, d = 0, e = 0, hx = 0, inf = 0, ninf = 0, nan = 0;
    long double ld = 0;
    EXPECT_EQ(scan(f, "%f %lg %e %lf %le %la %lf %lf %lf %Lf", &a, &b, &c, &d, &e, &hx, &inf, &ninf,
                   &nan, &ld),
              10);
    EXPECT_EQ(std::tuple(a, b, c, d, e, hx), std::tuple(1.5f, -225.0, 0.5f, 3.0, 0.001, 8.0));
    EXPECT_TRUE(std::isinf(inf) && inf > 0);
    EXPECT_TRUE(std::isinf(ninf) && ninf < 0);
    EXPECT_TRUE(std::isnan(nan));
    EXPECT_EQ(ld, 7.0L);
}

TEST_F(Scan, NumbersCutShortKeepTheirValidPrefix)
{
    // The run of characters that could begin a number is consumed; the value
    // is its longest valid prefix, as the C library's stream scanning does.
    double v = 0;
    DataFile& f1 = open("1e+x");
    EXPECT_EQ(scan(f1, "%lf", &v), 1);
    EXPECT_EQ(v, 1.0);
    EXPECT_EQ(rest(), "x");
    int n = 0;
    DataFile& f2 = open("0xg");
    EXPECT_EQ(scan(f2, "%x", &n), 1);
    EXPECT_EQ(n, 0);
    EXPECT_EQ(rest(), "g");
    DataFile& f3 = open("-x");
    EXPECT_EQ(scan(f3, "%d", &n), 0);
    EXPECT_EQ(rest(), "x");
    DataFile& f4 = open(".e5");
    EXPECT_EQ(scan(f4, "%lf", &v), 0);
    DataFile& f5 = open("09");
    EXPECT_EQ(scan(f5, "%i", &n), 1);
    EXPECT_EQ(n, 0);
    EXPECT_EQ(rest(), "9");
}

TEST_F(Scan, WidthsLimitEveryConversion)
{
    DataFile& f = open("12345 abcdefgh 3.14159 xyz0x1f");
    int a = 0, b = 0;
    char s[8] = {}, s2[8] = {};
    double d = 0;
    char c3[3] = {};
    int hx = 0;
    EXPECT_EQ(scan(f, "%3d%d %5s%s %4lf%*d %3c%3x", &a, &b, s, s2, &d, c3, &hx), 7);
    EXPECT_EQ(std::tuple(a, b, std::string(s), std::string(s2)), std::tuple(123, 45, "abcde", "fgh"));
    EXPECT_DOUBLE_EQ(d, 3.14);
    EXPECT_EQ(std::string(c3, 3), "xyz");
    EXPECT_EQ(hx, 1);  // "0x1f" cut to "0x1" by the width
    EXPECT_EQ(rest(), "f");
}

TEST_F(Scan, ScanSetsAndCharacters)
{
    DataFile& f = open("\"My Track]\"  a-b-z9] tail\nnext");
    char name[32] = {}, set[32] = {}, line[32] = {};
    char q = 0, c = 0;
    EXPECT_EQ(scan(f, "%c%[^\"]\"", &q, name), 2);
    EXPECT_EQ(q, '"');
    EXPECT_STREQ(name, "My Track]");
    EXPECT_EQ(scan(f, "%c", &c), 1);  // %c does not skip white space
    EXPECT_EQ(c, ' ');
    EXPECT_EQ(scan(f, " %[-a-z]", set), 1);  // "-" first is a member
    EXPECT_STREQ(set, "a-b-z");
    EXPECT_EQ(scan(f, "%[]0-9]", set), 1);  // "]" first is a member
    EXPECT_STREQ(set, "9]");
    EXPECT_EQ(scan(f, "%[^\n]%*c", line), 1);
    EXPECT_STREQ(line, " tail");
    EXPECT_EQ(scan(f, "%[0-9]", set), 0);  // nothing matched: a matching failure
    EXPECT_EQ(rest(), "next");
}

TEST_F(Scan, LiteralsPercentAndCounts)
{
    DataFile& f = open("pos = ( 1 , 2 ) 50% done");
    int x = 0, y = 0, before = -1, after = -1, pct = 0;
    EXPECT_EQ(scan(f, "pos = (%n%d ,%d )%n", &before, &x, &y, &after), 2);  // %n is not counted
    EXPECT_EQ(std::tuple(x, y, before, after), std::tuple(1, 2, 7, 15));
    EXPECT_EQ(scan(f, "%d%% don", &pct), 1);
    EXPECT_EQ(pct, 50);
    EXPECT_EQ(rest(), "e");

    DataFile& g = open("key: value");
    char word[16] = {};
    EXPECT_EQ(scan(g, "kex: %s", word), 0);  // the mismatching byte stays unread
    EXPECT_EQ(rest(), "y: value");

    DataFile& h = open(std::string("\0\0ab", 4));  // NUL bytes count like any other
    char c1 = 1, c2 = 1;
    int n = -1;
    EXPECT_EQ(scan(h, "%c%c%n", &c1, &c2, &n), 2);
    EXPECT_EQ(std::tuple(c1, c2, n), std::tuple(0, 0, 2));
    EXPECT_EQ(rest(), "ab");
}

TEST_F(Scan, EndOfInputBeforeTheFirstAssignmentIsMinusOne)
{
    int a = 0, b = 0;
    char s[8];
    // Suppressed conversions do not count.
    for (auto [input, format] : {std::pair{"", "%d"}, {"   \n\t", "%d"}, {"ab", "abc%d"}, {"5", "%*d %d"}})
        EXPECT_EQ(scan(open(input), format, &a, &b), -1) << format;
    EXPECT_EQ(scan(open("5"), "%d %d", &a, &b), 1);
    EXPECT_EQ(scan(open(""), "%c", s), -1);
    EXPECT_EQ(scan(open(""), "%[a-z]", s), -1);
    EXPECT_EQ(scan(open("x"), "%d", &a), 0);
    EXPECT_EQ(scan(open("a"), "%2c", s), 1);  // a field cut short by the end still counts
}

// The handle's scanning agrees with fscanf on a stream for ordinary input.
TEST_F(Scan, AgreesWithTheCLibrary)
{
    struct Case {
        const char* input;
        const char* format;
    };
    const Case int_cases[] = {
        {"42", "%d"},    {"  -7x", "%d"},  {"+", "%d"},     {"0x", "%x"},    {"0X1G", "%i"},
        {"0777 ", "%i"}, {"-0x10", "%i"},  {"12abc", "%2d"}, {"z", "%d"},    {"\n\n 8", " %d"},
        {"1,2", "%d,"},  {"--5", "%d"},    {"0x", "%i"},    {"x5", "x%d"},   {"ffz", "%x"},
    };
    // Scans one input both ways: the return value, the value read and what
    // is left unread must agree.
    auto compare = [&]<class T>(const Case& c, T) {
        SCOPED_TRACE(std::string(c.input) + " / " + c.format);
        T mine = -99, theirs = -99;
        DataFile& f = open(c.input);
        int r1 = scan(f, c.format, &mine);
        std::string rest1 = rest();
        std::FILE* fp = fmemopen(const_cast<char*>(c.input), std::strlen(c.input), "r");
        int r2 = std::fscanf(fp, c.format, &theirs);
        std::string rest2;
        for (int ch; (ch = std::fgetc(fp)) != EOF;)
            rest2 += static_cast<char>(ch);
        std::fclose(fp);
        EXPECT_EQ(r1, r2);
        if (std::isnan(static_cast<double>(theirs)))
            EXPECT_TRUE(std::isnan(static_cast<double>(mine)));
        else
            EXPECT_EQ(mine, theirs);
        EXPECT_EQ(rest1, rest2);
    };
    for (const Case& c : int_cases)
        compare(c, 0);
    const Case float_cases[] = {
        {"3.25", "%lf"}, {"-1e5", "%lf"}, {"1e", "%lf"},   {"1ex", "%lf"},  {"100ergs", "%lf"},
        {".", "%lf"},    {"-.", "%lf"},   {"+.5", "%lf"},  {"1.5e3.2", "%lf"}, {"0x1.8p1", "%lf"},
        {"infx", "%lf"}, {"NaN", "%lf"},  {"1.2345", "%4lf"}, {"5e-1q", "%lf"}, {"e5", "%lf"},
    };
    for (const Case& c : float_cases)
        compare(c, 0.0);
}

TEST_F(Scan, ReadIntAndComments)
{
    DataFile& f = open("# header line\n  # another\n\n 12 # trailing\n#x\n-3 word");
    skip_comments(f);
    EXPECT_EQ(read_int(f), 12);
    skip_comments(f);
    EXPECT_EQ(read_int(f), -3);
    skip_comments(f);
    EXPECT_EQ(read_int(f), INT_MIN);  // "word" is no integer
    EXPECT_EQ(rest(), "word");

    DataFile& g = open("# only a comment");
    skip_comments(g);
    EXPECT_EQ(read_char(g), -1);
    EXPECT_EQ(read_int(g), INT_MIN);
}

TEST_F(Scan, ScansInsideArchiveMembersStopAtTheMemberEnd)
{
    write_file(tmp_ / "data/pack.saf", saf({{"nums", "10 20 3"}, {"next", "4 5"}}));
    ScopedEnv home("XDG_DATA_HOME", std::nullopt);
    ScopedEnv user("HOME", std::nullopt);
    ScopedEnv zv("ZV_HOME", tmp_ / "data");
    reset_data_files();
    DataFilePtr f = open_data_file("@nums", "r");
    ASSERT_TRUE(f);
    int a = 0, b = 0, c = 0, d = 0;
    EXPECT_EQ(scan(*f, "%d %d %d %d", &a, &b, &c, &d), 3);
    EXPECT_EQ(c, 3);  // not "34" from the next member
    EXPECT_EQ(d, 0);
    reset_data_files();
}

}  // namespace
}  // namespace zv::test
