#include "platform/options.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/log.h"
#include "support/temp_dir.h"

namespace zv::platform {
namespace {

using test::ScopedEnv;
using test::TempDir;

class OptionsTest : public ::testing::Test {
protected:
    void SetUp() override { log_close(); }
    void TearDown() override
    {
        log_close();
        reload_options();
    }
    // Sets the option string and a fresh log; returns the log's text so far.
    void use(const char* options)
    {
        env_options.emplace("TORV_OPTIONS", std::string(options));
        reload_options();
    }
    std::string log_text()
    {
        log_close();
        return test::read_file(log_path).value_or("");
    }
    TempDir dir;
    std::string log_path = dir / "log.txt";
    ScopedEnv env_log{"TORV_LOGFILE", log_path};
    ScopedEnv no_flags{"TORV_LOGFILE_FLAGS", std::nullopt};
    std::optional<ScopedEnv> env_options;
};

TEST_F(OptionsTest, FullscreenYesThreadedMaybe)
{
    use("[fullscreen:yes][threaded:maybe]");
    EXPECT_EQ(option_flag("fullscreen", 0), 1);
    EXPECT_EQ(option_flag("threaded", 0), 0);
    std::string log = log_text();
    EXPECT_NE(log.find("] unrecognized setting for threaded\n"), std::string::npos) << log;
    EXPECT_EQ(log.find("unrecognized setting for fullscreen"), std::string::npos);
}

TEST_F(OptionsTest, FlagWordsAndMissingEntries)
{
    use("junk [a:on] [b:off][c:no] [d:yes]x [e:YES] [f:yes [g:] [fullscreenx:yes]");
    // Words are exact and must be closed by the bracket (e, f, g). Missing entries (also
    // a longer name, or no opening bracket) give the default silently.
    for (auto [name, fallback, value] : {std::tuple{"a", 0, 1}, {"b", 1, 0}, {"c", 1, 0}, {"d", 0, 1}, {"e", 7, 7},
                                         {"f", 7, 7}, {"g", 7, 7}, {"fullscreen", 5, 5}, {"unc", 3, 3}, {"zzz", -1, -1}})
        EXPECT_EQ(option_flag(name, fallback), value) << name;
    std::string log = log_text();
    for (const char* name : {"e", "f", "g"})
        EXPECT_NE(log.find(std::string("unrecognized setting for ") + name + "\n"), std::string::npos);
    EXPECT_EQ(log.find("unrecognized setting for fullscreen"), std::string::npos);
    EXPECT_EQ(log.find("unrecognized setting for zzz"), std::string::npos);
}

TEST_F(OptionsTest, IntegerValues)
{
    use("[sound-mixahead:4096][neg:-12][bad:x12][empty:][big:99999999999][small:-99999999999][trail:7ms]");
    for (auto [name, fallback, value] : {std::tuple{"sound-mixahead", 0, 4096}, {"neg", 0, -12}, {"bad", 5, 5},
                                         {"empty", 6, 6}, {"big", 0, 2147483647}, {"small", 0, -2147483647 - 1},
                                         {"trail", 0, 7}, {"missing", 9, 9}})
        EXPECT_EQ(option_int(name, fallback), value) << name;
    std::string log = log_text();
    EXPECT_NE(log.find("unrecognized setting for bad\n"), std::string::npos);
    EXPECT_NE(log.find("unrecognized setting for empty\n"), std::string::npos);
    EXPECT_EQ(log.find("unrecognized setting for missing"), std::string::npos);
}

TEST_F(OptionsTest, StringIsReadOnceUntilReloaded)
{
    use("[threaded:on]");
    EXPECT_EQ(option_flag("threaded", 0), 1);
    setenv("TORV_OPTIONS", "[threaded:off]", 1);
    EXPECT_EQ(option_flag("threaded", 0), 1);
    reload_options();
    EXPECT_EQ(option_flag("threaded", 1), 0);
    unsetenv("TORV_OPTIONS");
    reload_options();
    EXPECT_EQ(option_flag("threaded", 1), 1);
}

}  // namespace
}  // namespace zv::platform
