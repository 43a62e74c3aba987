#include "platform/names.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "platform/log.h"
#include "support/temp_dir.h"

namespace zv::platform {
namespace {

using test::ScopedEnv;
using test::TempDir;

TEST(NamesEqual, CaseBlanksAndUnderscores)
{
    for (auto [a, b] : {std::pair{"Left Ctrl", "left ctrl"}, {"Left_Ctrl", "LEFT CTRL"}, {"Left\tCtrl", "left_ctrl"},
                        {"Keypad\n+", "keypad +"}, {"Left\rCtrl", "left\vctrl"}, {"Left\fCtrl", "left ctrl"},
                        {"AZ", "az"}, {"", ""}, {"Joystick1.key[0]", "joystick1.KEY[0]"}})
        EXPECT_TRUE(names_equal(a, b)) << a;
    // A blank is one character: runs are not collapsed; '-' and '.' are ordinary
    // characters; only ASCII letters fold.
    for (auto [a, b] : {std::pair{"Left  Ctrl", "Left Ctrl"}, {"LeftCtrl", "Left Ctrl"}, {"mouse-x", "mouse x"},
                        {"Mouse.axis[0]", "Mouse axis[0]"}, {"Joystick1", "Joystick2"}, {"abc", "ab"},
                        {"\xc3\xa9", "\xc3\x89"}, {"@", "`"}, {"[", "{"}})
        EXPECT_FALSE(names_equal(a, b)) << a;
}

TEST(NamePool, EqualNamesShareOneCopy)
{
    std::string a = "Mouse Left";
    const char* first = pool_name(a);
    a[0] = 'X';
    EXPECT_STREQ(first, "Mouse Left");
    EXPECT_EQ(pool_name("Mouse Left"), first);
    EXPECT_NE(pool_name("mouse left"), first);
    EXPECT_STREQ(pool_name(""), "");
    // Many more names do not move the earlier ones.
    for (int i = 0; i < 2000; ++i)
        pool_name("name " + std::to_string(i));
    EXPECT_EQ(pool_name("Mouse Left"), first);
    EXPECT_EQ(pool_name(std::string_view("Mouse Left and more", 10)), first);
}

TEST(NamePool, SafeFromSeveralThreads)
{
    std::vector<const char*> seen[2];
    auto worker = [&](int id) {
        for (int i = 0; i < 500; ++i)
            seen[id].push_back(pool_name("shared " + std::to_string(i)));
    };
    std::thread a(worker, 0), b(worker, 1);
    a.join();
    b.join();
    EXPECT_EQ(seen[0], seen[1]);
}

class AliasTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        log_close();
        clear_aliases();
    }
    void TearDown() override
    {
        log_close();
        clear_aliases();
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
};

TEST_F(AliasTest, LookupGivesTheValueOrTheNameItself)
{
    EXPECT_TRUE(add_alias("mouse-x", "Mouse.axis[0]"));
    EXPECT_TRUE(add_alias("cursor-left", "Mouse Left"));
    EXPECT_STREQ(lookup_alias("mouse-x"), "Mouse.axis[0]");
    EXPECT_STREQ(lookup_alias("MOUSE-X"), "Mouse.axis[0]");
    EXPECT_STREQ(lookup_alias("Cursor-Left"), "Mouse Left");
    const char* plain = "Joystick1.key[3]";
    EXPECT_EQ(lookup_alias(plain), plain);
    // An alias is looked up once: its value is not looked up again.
    EXPECT_TRUE(add_alias("Mouse Left", "something else"));
    EXPECT_STREQ(lookup_alias("cursor-left"), "Mouse Left");
}

TEST_F(AliasTest, SecondAliasIsRefused)
{
    EXPECT_TRUE(add_alias("joystick-a-1", "Joystick1.key[0]"));
    EXPECT_FALSE(add_alias("joystick-a-1", "Joystick1.key[5]"));
    EXPECT_FALSE(add_alias("JOYSTICK-A-1", "Joystick2.key[0]"));
    EXPECT_STREQ(lookup_alias("joystick-a-1"), "Joystick1.key[0]");
    std::string log = log_text();
    EXPECT_NE(log.find("] Second alias for 'joystick-a-1' ('Joystick1.key[5]') ignored\n"), std::string::npos) << log;
    EXPECT_NE(log.find("] Second alias for 'JOYSTICK-A-1' ('Joystick2.key[0]') ignored\n"), std::string::npos);

    clear_aliases();
    EXPECT_TRUE(add_alias("joystick-a-1", "Joystick1.key[5]"));
    EXPECT_STREQ(lookup_alias("joystick-a-1"), "Joystick1.key[5]");
}

}  // namespace
}  // namespace zv::platform
