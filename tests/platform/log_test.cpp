#include "platform/log.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <iterator>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "support/temp_dir.h"

namespace zv::platform {
namespace {

using test::ScopedEnv;
using test::TempDir;

std::vector<std::string> lines_of(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

const std::regex k_stamp(R"(^\[(\d+):(\d\d):(\d\d)\.(\d\d)\] (.*)$)");

// The text after the stamp; fails the test when the stamp is missing.
std::string unstamped(const std::string& line)
{
    std::smatch m;
    EXPECT_TRUE(std::regex_match(line, m, k_stamp)) << "unstamped line: " << line;
    return m.size() > 5 ? m[5].str() : line;
}

class LogTest : public ::testing::Test {
protected:
    void SetUp() override { log_close(); }
    void TearDown() override { log_close(); }
    TempDir dir;
    ScopedEnv no_flags{"TORV_LOGFILE_FLAGS", std::nullopt};
};

TEST_F(LogTest, EnvironmentNamesTheFileAndTheNamingMessageIsNotWritten)
{
    std::string path = dir / "env.txt";
    std::string other = dir / "other.txt";
    ScopedEnv env("TORV_LOGFILE", path);
    log_printf("TORV_LOGFILE=%s", other.c_str());
    log_printf("hello %d\n", 42);
    log_close();

    auto text = test::read_file(path);
    ASSERT_TRUE(text);
    auto lines = lines_of(*text);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(unstamped(lines[0]), "Logfile \"" + path + "\" opened");
    EXPECT_EQ(unstamped(lines[1]), "TORV 0.31");
    EXPECT_EQ(unstamped(lines[2]), "hello 42");
    EXPECT_FALSE(std::filesystem::exists(other));
}

TEST_F(LogTest, FirstMessageNamesTheFileWithoutTheEnvironment)
{
    ScopedEnv env("TORV_LOGFILE", std::nullopt);
    std::string path = dir / "lastlog.txt";
    log_printf("TORV_LOGFILE=%s", path.c_str());
    log_printf("TORV_LOGFILE=not a name any more\n");
    log_close();

    auto lines = lines_of(test::read_file(path).value_or(""));
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(unstamped(lines[0]), "Logfile \"" + path + "\" opened");
    EXPECT_EQ(unstamped(lines[1]), "TORV 0.31");
    // Only the first message names the file; later ones are ordinary text.
    EXPECT_EQ(unstamped(lines[2]), "TORV_LOGFILE=not a name any more");
}

TEST_F(LogTest, EmptyEnvironmentCountsAsUnset)
{
    ScopedEnv env("TORV_LOGFILE", "");
    std::string path = dir / "named.txt";
    log_printf("TORV_LOGFILE=%s\n", path.c_str());
    log_printf("text\n");
    log_close();
    auto lines = lines_of(test::read_file(path).value_or(""));
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(unstamped(lines[0]), "Logfile \"" + path + "\" opened");
    EXPECT_EQ(unstamped(lines[2]), "text");
}

TEST_F(LogTest, UnopenableFileLeavesTheLogOff)
{
    std::string path = dir / "no/such/folder/log.txt";
    ScopedEnv env("TORV_LOGFILE", path);
    log_printf("lost\n");
    log_error("also lost");
    EXPECT_EQ(last_error(), "also lost");
    log_close();
    EXPECT_FALSE(std::filesystem::exists(path));
}

TEST_F(LogTest, NoNameMeansNoLogFile)
{
    ScopedEnv env("TORV_LOGFILE", std::nullopt);
    log_printf("nobody reads this\n");
    log_error("nor this");
    EXPECT_EQ(last_error(), "nor this");
    log_close();
    // After closing, the next message sets the log up afresh.
    std::string path = dir / "later.txt";
    log_printf("TORV_LOGFILE=%s", path.c_str());
    log_close();
    EXPECT_EQ(lines_of(test::read_file(path).value_or("")).size(), 2u);
}

TEST_F(LogTest, DoubleGreaterThanAppendsSingleTruncates)
{
    std::string path = dir / "append.txt";
    test::write_file(path, "earlier run\n");
    {
        ScopedEnv env("TORV_LOGFILE", ">>" + path);
        log_printf("appended\n");
        log_close();
    }
    auto lines = lines_of(test::read_file(path).value_or(""));
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0], "earlier run");
    EXPECT_EQ(unstamped(lines[1]), "Logfile \"" + path + "\" opened");
    EXPECT_EQ(unstamped(lines[3]), "appended");

    {
        ScopedEnv env("TORV_LOGFILE", std::nullopt);
        log_printf("TORV_LOGFILE=>%s", path.c_str());
        log_close();
    }
    lines = lines_of(test::read_file(path).value_or(""));
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(unstamped(lines[0]), "Logfile \"" + path + "\" opened");
    // The ">" is no part of the name: no other file appeared.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

TEST_F(LogTest, FlagsGiveTheWholeMode)
{
    std::string path = dir / "flags.txt";
    test::write_file(path, "kept\n");
    ScopedEnv env("TORV_LOGFILE", path);
    ScopedEnv flags("TORV_LOGFILE_FLAGS", "a");
    log_printf("more\n");
    log_close();
    auto lines = lines_of(test::read_file(path).value_or(""));
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0], "kept");
}

// What reaches the file after its two header lines, every line stamped.
TEST_F(LogTest, MessagesAfterTheHeader)
{
    struct Case {
        void (*write)();
        std::vector<std::string> lines;
    } cases[] = {
        {[] { log_printf("first\n"); }, {"first"}},
        // Partial lines join.
        {[] {
             log_printf("one\ntwo\n");
             log_printf("par");
             log_printf("tial\n");
             log_printf("\n");
             log_printf("three\nfour");
             log_printf("\n");
         },
         {"one", "two", "partial", "", "three", "four"}},
        // Messages starting with control-S are for the screen only.
        {[] {
             log_printf("%cscreen only\n", 19);
             log_printf("\x13" "also hidden\n");
             log_printf("shown \x13 inside\n");
         },
         {"shown \x13 inside"}},
        {[] {
             log_error("first problem");
             log_error("second problem");
             EXPECT_EQ(last_error(), "second problem");
         },
         {"Error: first problem", "Error: second problem"}},
    };
    std::string path = dir / "log.txt";
    ScopedEnv env("TORV_LOGFILE", path);
    for (const Case& c : cases) {
        c.write();
        log_close();
        auto lines = lines_of(test::read_file(path).value_or(""));
        ASSERT_EQ(lines.size(), 2 + c.lines.size()) << c.lines.front();
        for (std::size_t i = 0; i < c.lines.size(); ++i)
            EXPECT_EQ(unstamped(lines[2 + i]), c.lines[i]);
    }
}

TEST_F(LogTest, StampMatchesThePlatformClock)
{
    std::string path = dir / "clock.txt";
    ScopedEnv env("TORV_LOGFILE", path);
    log_printf("start\n");
    double before = platform_seconds();
    log_printf("now\n");
    double after = platform_seconds();
    log_close();

    auto lines = lines_of(test::read_file(path).value_or(""));
    ASSERT_EQ(lines.size(), 4u);
    std::smatch m;
    ASSERT_TRUE(std::regex_match(lines[3], m, k_stamp));
    int h = std::stoi(m[1]), min = std::stoi(m[2]), s = std::stoi(m[3]), c = std::stoi(m[4]);
    EXPECT_LT(min, 60);
    EXPECT_LT(s, 60);
    double stamped = h * 3600.0 + min * 60.0 + s + c / 100.0;
    EXPECT_GE(stamped, std::floor(before * 100.0) / 100.0 - 1e-9);
    EXPECT_LE(stamped, after + 1e-9);
}

TEST_F(LogTest, ConcurrentWritersKeepLinesWhole)
{
    std::string path = dir / "threads.txt";
    ScopedEnv env("TORV_LOGFILE", path);
    log_printf("go\n");
    constexpr int k_lines = 400;
    auto writer = [](int id) {
        for (int i = 0; i < k_lines; ++i)
            log_printf("thread %d line %d\n", id, i);
    };
    std::thread a(writer, 0), b(writer, 1);
    a.join();
    b.join();
    log_close();

    auto lines = lines_of(test::read_file(path).value_or(""));
    ASSERT_EQ(lines.size(), 3u + 2 * k_lines);
    int next[2] = {0, 0};
    const std::regex body(R"(thread ([01]) line (\d+))");
    for (size_t i = 3; i < lines.size(); ++i) {
        std::string text = unstamped(lines[i]);
        std::smatch m;
        ASSERT_TRUE(std::regex_match(text, m, body)) << text;
        int id = std::stoi(m[1]);
        EXPECT_EQ(std::stoi(m[2]), next[id]++);
    }
}

}  // namespace
}  // namespace zv::platform
