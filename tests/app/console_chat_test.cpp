// The chat line: submitting, the spam interval, the history, the message
// scroll, and the line's sideways scrolling.
#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "app/console_fixture.h"

namespace zv::app {
namespace {

class ChatLine : public ConsoleTest {
protected:
    void type(const std::string& text)
    {
        for (char c : text)
            chat_key(g, typed(static_cast<unsigned char>(c)));
    }
    void key(UiKey k) { chat_key(g, pressed(k)); }
    void send(const std::string& text)
    {
        type(text);
        key(UiKey::enter);
    }
    const std::string& line() { return chat_state().line.text; }
    const std::vector<std::string>& history() { return chat_state().history; }
};

TEST_F(ChatLine, ChatWithinTwoSecondsIsRefusedAndStaysInTheLine)
{
    g.game_clock = 10;
    send("hello");
    EXPECT_EQ(messages(), Lines{"Not connected to server"});
    EXPECT_EQ(line(), "");
    EXPECT_EQ(history(), std::vector<std::string>{"hello"});

    g.game_clock = 11.5;  // 1.5 s later
    send("again");
    EXPECT_EQ(messages(), Lines{"No one likes a spammer"});
    EXPECT_EQ(line(), "again");
    EXPECT_EQ(history().size(), 1u);

    // Exactly 2 s after the accepted line is still too soon; the refused
    // line did not restart the interval.
    g.game_clock = 12.0;
    key(UiKey::enter);
    EXPECT_EQ(messages(), Lines{"No one likes a spammer"});
    g.game_clock = 12.01;
    key(UiKey::enter);
    EXPECT_EQ(messages(), Lines{"Not connected to server"});
    EXPECT_EQ(line(), "");
    EXPECT_EQ(history(), (std::vector<std::string>{"again", "hello"}));
}

TEST_F(ChatLine, TheFirstChatIsNeverTooSoon)
{
    g.game_clock = 0;
    EXPECT_EQ(run("hi"), 1);
    EXPECT_EQ(messages(), Lines{"Not connected to server"});
}

TEST_F(ChatLine, ConnectedChatGoesToTheClientCutTo466Bytes)
{
    std::vector<std::string> sent;
    console_hooks().queue_chat = [&](std::string_view t) { sent.emplace_back(t); };
    g.connected = true;
    EXPECT_EQ(run("good race"), 1);
    EXPECT_TRUE(messages().empty());
    g.game_clock = 5;
    EXPECT_EQ(run(std::string(600, 'x')), 1);
    EXPECT_EQ(sent, (std::vector<std::string>{"good race", std::string(466, 'x')}));
    // Commands never go to the server.
    g.game_clock = 10;
    EXPECT_EQ(run("/togglefps"), 1);
    EXPECT_EQ(sent.size(), 2u);
    // A connection without a client hooked in sends nothing and says nothing.
    console_hooks().queue_chat = nullptr;
    g.game_clock = 20;
    EXPECT_EQ(run("lost"), 1);
}

TEST_F(ChatLine, CommandsAreClearedAndKeptInTheHistoryUnknownOnesStay)
{
    send("/togglespy");
    EXPECT_EQ(line(), "");
    EXPECT_EQ(history(), std::vector<std::string>{"/togglespy"});
    send("\\nosuchthing");
    EXPECT_EQ(line(), "\\nosuchthing");
    EXPECT_EQ(history().size(), 1u);
    EXPECT_EQ(messages(), Lines{"Spy mode ON"});
}

TEST_F(ChatLine, AnEmptyLineDoesNothing)
{
    key(UiKey::enter);
    EXPECT_TRUE(history().empty());
    EXPECT_TRUE(messages().empty());
    EXPECT_EQ(run_console_line(g, ""), 0);
}

TEST_F(ChatLine, HistoryBrowsingKeepsEditsAndTheNewLine)
{
    send("/togglefps");
    send("/toggletime");
    send("/togglespeed");  // history: speed, time, fps
    type("draft");
    key(UiKey::up);
    EXPECT_EQ(line(), "/togglespeed");
    EXPECT_EQ(chat_state().line.cursor, line().size());
    key(UiKey::up);
    EXPECT_EQ(line(), "/toggletime");
    type("X");  // edited while browsing: stored back into its slot
    // The oldest is the limit; past the newest the line being written comes
    // back, and nothing is newer than it.
    int step = 0;
    for (auto [k, want] : {std::pair{UiKey::up, "/togglefps"}, {UiKey::up, "/togglefps"}, {UiKey::down, "/toggletimeX"},
                           {UiKey::down, "/togglespeed"}, {UiKey::down, "draft"}, {UiKey::down, "draft"}}) {
        key(k);
        EXPECT_EQ(line(), want) << "step " << step++;
    }
    EXPECT_EQ(history()[1], "/toggletimeX");

    // Submitting a browsed line puts it in front and starts a new line.
    key(UiKey::up);
    key(UiKey::up);
    key(UiKey::backspace);
    messages();
    key(UiKey::enter);
    EXPECT_EQ(messages(), Lines{"Time display OFF"});  // it was turned on above
    EXPECT_EQ(line(), "");
    EXPECT_EQ(history()[0], "/toggletime");
    EXPECT_EQ(chat_state().browsed, -1);
    key(UiKey::down);
    EXPECT_EQ(line(), "");
}

TEST_F(ChatLine, BrowsingAnEmptyHistoryKeepsTheLine)
{
    type("abc");
    key(UiKey::up);
    EXPECT_EQ(line(), "abc");
    key(UiKey::down);
    EXPECT_EQ(line(), "abc");
}

TEST_F(ChatLine, HistoryHoldsTheNewestHundred)
{
    for (int i = 0; i < 130; ++i)
        push_chat_history("/line" + std::to_string(i));
    ASSERT_EQ(history().size(), 100u);
    EXPECT_EQ(std::pair(history().front(), history().back()), std::pair(std::string("/line129"), std::string("/line30")));
    for (int i = 0; i < 150; ++i)
        key(UiKey::up);
    EXPECT_EQ(line(), "/line30");
    // Submitting pushes a new front line and drops the oldest.
    key(UiKey::home);
    type("/togglefps");
    for (int i = 0; i < 7; ++i)
        key(UiKey::del);  // "/togglefps/line30" -> "/togglefps"
    EXPECT_EQ(line(), "/togglefps");
    key(UiKey::enter);
    ASSERT_EQ(history().size(), 100u);
    EXPECT_EQ(std::pair(history().front(), history().back()), std::pair(std::string("/togglefps"), std::string("/line31")));
}

TEST_F(ChatLine, LineEditingAndItsLength)
{
    type(std::string(150, 'a'));
    EXPECT_EQ(line().size(), 119u);
    key(UiKey::home);
    key(UiKey::del);
    key(UiKey::right);
    key(UiKey::backspace);
    EXPECT_EQ(line().size(), 117u);
    type("bc");
    EXPECT_EQ(line().substr(0, 3), "bca");
    type("d");  // full again
    EXPECT_EQ(line().size(), 119u);
    key(UiKey::left);
    key(UiKey::insert);
    EXPECT_TRUE(chat_state().line.overwrite);
}

TEST_F(ChatLine, PageKeysScrollTheMessageList)
{
    EXPECT_EQ(message_scroll(), 0);
    key(UiKey::page_down);
    EXPECT_EQ(message_scroll(), 0);
    key(UiKey::page_up);
    key(UiKey::page_up);
    EXPECT_EQ(message_scroll(), 2);
    key(UiKey::page_down);
    EXPECT_EQ(message_scroll(), 1);
    for (int i = 0; i < 1000; ++i)
        key(UiKey::page_up);
    EXPECT_EQ(message_scroll(), 950);
    EXPECT_EQ(line(), "");
}

void expect_span(ChatSpan got, std::size_t first, std::size_t count)
{
    EXPECT_EQ(got.first, first);
    EXPECT_EQ(got.count, count);
}

TEST(ChatLineView, TheLineScrollsSidewaysToKeepTheCursorShown)
{
    auto fixed = [](std::string_view t) { return static_cast<int>(t.size()) * 6; };
    const std::string s119(119, 'a');
    expect_span(chat_line_shown("", 0, 60, 6, fixed), 0, 0);
    expect_span(chat_line_shown(std::string(9, 'a'), 9, 60, 6, fixed), 0, 9);
    expect_span(chat_line_shown(std::string(10, 'a'), 10, 60, 6, fixed), 1, 9);  // room for the cursor
    expect_span(chat_line_shown(s119, 119, 60, 6, fixed), 110, 9);
    expect_span(chat_line_shown(s119, 5, 60, 6, fixed), 0, 10);  // as much as fits after it
    expect_span(chat_line_shown(s119, 60, 60, 6, fixed), 51, 10);
    expect_span(chat_line_shown(std::string(20, 'a'), 500, 60, 6, fixed), 11, 9);  // cursor past the end
    expect_span(chat_line_shown(std::string(20, 'a'), 7, 0, 6, fixed), 7, 0);    // no room at all

    // Proportional text: narrow letters let more of the line show.
    auto narrow_i = [](std::string_view t) {
        int w = 0;
        for (char c : t)
            w += c == 'i' ? 2 : 6;
        return w;
    };
    expect_span(chat_line_shown("WWWWWiiiii", 10, 30, 6, narrow_i), 3, 7);
    expect_span(chat_line_shown("iiiiiiiiiiiiiiiW", 0, 30, 6, narrow_i), 0, 15);
}

}  // namespace
}  // namespace zv::app
