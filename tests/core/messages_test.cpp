#include "core/messages.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "platform/log.h"
#include "support/temp_dir.h"

namespace zv::core {
namespace {

using test::ScopedEnv;
using test::TempDir;

class MessagesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        platform::log_close();
        clear_messages();
        set_message_line_limit(5);
        set_message_clock(0.0);
    }
    void TearDown() override
    {
        platform::log_close();
        clear_messages();
        set_message_line_limit(5);
    }
    std::string log_text()
    {
        platform::log_close();
        return test::read_file(log_path).value_or("");
    }
    TempDir dir;
    std::string log_path = dir / "log.txt";
    ScopedEnv env_log{"TORV_LOGFILE", log_path};
    ScopedEnv no_flags{"TORV_LOGFILE_FLAGS", std::nullopt};
};

TEST_F(MessagesTest, EveryMessageIsLoggedAsOneLine)
{
    show_message("Track info saved to %s.trackinfo", "rabbithill");
    show_message("tileinfo warning: bad %s\n", "friction");
    show_message("\033[31mred\033[32mgreen");
    show_message("\033[1mbold\n");
    std::string log = log_text();
    EXPECT_NE(log.find("] Track info saved to rabbithill.trackinfo\n"), std::string::npos) << log;
    EXPECT_NE(log.find("] tileinfo warning: bad friction\n["), std::string::npos);
    EXPECT_EQ(log.find("friction\n\n"), std::string::npos);
    EXPECT_NE(log.find("] \033[31mred\033[32mgreen\033[0m\n"), std::string::npos);
    EXPECT_NE(log.find("] \033[1mbold\033[0m\n"), std::string::npos);
    // The ring keeps the text without the line feed or the added reset.
    EXPECT_STREQ(message_line(0), "\033[1mbold");
    EXPECT_STREQ(message_line(1), "\033[31mred\033[32mgreen");
    EXPECT_STREQ(message_line(2), "tileinfo warning: bad friction");
    EXPECT_STREQ(message_line(3), "Track info saved to rabbithill.trackinfo");
    EXPECT_STREQ(message_line(4), "");
}

TEST_F(MessagesTest, RingWrapsAfterAThousandLines)
{
    for (int i = 0; i < k_message_ring_lines + 5; ++i)
        show_message("msg %d", i);
    EXPECT_STREQ(message_line(0), "msg 1004");
    EXPECT_STREQ(message_line(1), "msg 1003");
    EXPECT_STREQ(message_line(k_message_ring_lines - 1), "msg 5");
    EXPECT_STREQ(message_line(k_message_ring_lines), "");
    EXPECT_STREQ(message_line(-1), "");
    clear_messages();
    EXPECT_STREQ(message_line(0), "");
    EXPECT_EQ(messages_on_screen(), 0);
    show_message("after");
    EXPECT_STREQ(message_line(0), "after");
    EXPECT_STREQ(message_line(1), "");
}

TEST_F(MessagesTest, LongLinesAreCutAt127Characters)
{
    std::string exact(k_message_line_chars, 'e');
    std::string longer(200, 'x');
    show_message("%s", exact.c_str());
    EXPECT_EQ(message_line(0), exact);
    show_message("%s", longer.c_str());
    EXPECT_EQ(std::strlen(message_line(0)), 127u);
    EXPECT_EQ(std::string(message_line(0)), longer.substr(0, 127));
    // A two-byte character across the limit is dropped whole.
    std::string accented = std::string(126, 'a') + "\xc3\xa9" + "zz";
    show_message("%s", accented.c_str());
    EXPECT_EQ(std::string(message_line(0)), std::string(126, 'a'));
    // Nothing but continuation bytes past the limit: nothing is left to show.
    show_message("%s", std::string(200, '\x80').c_str());
    EXPECT_STREQ(message_line(0), "");
    // The log keeps the whole text.
    EXPECT_NE(log_text().find(longer + "\n"), std::string::npos);
}

TEST_F(MessagesTest, OnScreenCountStopsAtTheLineLimit)
{
    for (int i = 0; i < 7; ++i)
        show_message("line %d", i);
    EXPECT_EQ(messages_on_screen(), 5);
    set_message_line_limit(3);
    EXPECT_EQ(messages_on_screen(), 3);
    show_message("one more");
    EXPECT_EQ(messages_on_screen(), 3);
    set_message_line_limit(10);
    EXPECT_EQ(messages_on_screen(), 3);
    show_message("and another");
    EXPECT_EQ(messages_on_screen(), 4);
    set_message_line_limit(0);
    show_message("hidden");
    EXPECT_EQ(messages_on_screen(), 0);
    EXPECT_STREQ(message_line(0), "hidden");
    set_message_line_limit(-4);
    EXPECT_EQ(messages_on_screen(), 0);
}

TEST_F(MessagesTest, LinesLeaveTwoSecondsAfterTheNewestThenEveryFive)
{
    set_message_clock(10.0);
    show_message("a");
    show_message("b");
    show_message("c");
    ASSERT_EQ(messages_on_screen(), 3);
    expire_messages(11.9);
    EXPECT_EQ(messages_on_screen(), 3);
    expire_messages(12.0);  // reaching the time is not passing it
    EXPECT_EQ(messages_on_screen(), 3);
    expire_messages(12.01);
    EXPECT_EQ(messages_on_screen(), 2);
    // One line per pass, however late the clock.
    expire_messages(17.0);
    EXPECT_EQ(messages_on_screen(), 2);
    expire_messages(17.02);
    EXPECT_EQ(messages_on_screen(), 1);
    // A new message waits 2 s from the current clock again.
    expire_messages(18.0);
    show_message("d");
    EXPECT_EQ(messages_on_screen(), 2);
    expire_messages(19.99);
    EXPECT_EQ(messages_on_screen(), 2);
    expire_messages(20.5);
    EXPECT_EQ(messages_on_screen(), 1);
    expire_messages(25.6);
    EXPECT_EQ(messages_on_screen(), 0);
    expire_messages(99.0);
    EXPECT_EQ(messages_on_screen(), 0);
    // The ring itself keeps the lines.
    EXPECT_STREQ(message_line(0), "d");
}

TEST(Intern, EqualTextsShareOnePointer)
{
    std::string text = "rabbithill";
    const char* a = intern(text);
    text[0] = 'R';
    EXPECT_STREQ(a, "rabbithill");
    EXPECT_EQ(intern("rabbithill"), a);
    EXPECT_NE(intern("Rabbithill"), a);
    EXPECT_EQ(intern(std::string_view("rabbithill-2", 10)), a);
    const char* empty = intern("");
    EXPECT_STREQ(empty, "");
    EXPECT_EQ(intern(std::string()), empty);
    for (int i = 0; i < 5000; ++i)
        intern("filler " + std::to_string(i));
    EXPECT_EQ(intern("rabbithill"), a);
    EXPECT_STREQ(a, "rabbithill");
}

TEST(Intern, SafeFromSeveralThreads)
{
    std::vector<const char*> seen[2];
    auto worker = [&](int id) {
        for (int i = 0; i < 1000; ++i)
            seen[id].push_back(intern("both " + std::to_string(i)));
    };
    std::thread a(worker, 0), b(worker, 1);
    a.join();
    b.join();
    EXPECT_EQ(seen[0], seen[1]);
}

}  // namespace
}  // namespace zv::core
