// Editing one line of text: cursor keys, insert/overwrite, deletion, limits.
#include <gtest/gtest.h>

#include "app/line_edit.h"

#include <string>
#include <utility>

namespace zv::app {
namespace {

void type(LineEdit& line, const std::string& text, std::size_t max = 119)
{
    for (char c : text)
        edit_line(line, typed(static_cast<unsigned char>(c)), max);
}

// The text and the cursor together.
using State = std::pair<std::string, std::size_t>;
State state(const LineEdit& line) { return {line.text, line.cursor}; }

TEST(LineEdit, TypingInsertsAtTheCursor)
{
    LineEdit line;
    type(line, "hello");
    EXPECT_EQ(state(line), State("hello", 5));
    EXPECT_TRUE(edit_line(line, pressed(UiKey::home), 119));
    EXPECT_EQ(line.cursor, 0u);
    type(line, ">");
    EXPECT_EQ(state(line), State(">hello", 1));
    EXPECT_TRUE(edit_line(line, pressed(UiKey::end), 119));
    EXPECT_EQ(line.cursor, 6u);
    EXPECT_TRUE(edit_line(line, pressed(UiKey::left), 119));
    EXPECT_TRUE(edit_line(line, pressed(UiKey::left), 119));
    type(line, "_");
    EXPECT_EQ(state(line), State(">hel_lo", 5));
}

TEST(LineEdit, CursorStopsAtBothEnds)
{
    LineEdit line;
    type(line, "ab");
    EXPECT_TRUE(edit_line(line, pressed(UiKey::right), 119));
    EXPECT_EQ(line.cursor, 2u);
    for (int i = 0; i < 4; ++i)
        EXPECT_TRUE(edit_line(line, pressed(UiKey::left), 119));
    EXPECT_EQ(line.cursor, 0u);
    EXPECT_TRUE(edit_line(line, pressed(UiKey::backspace), 119));  // nothing before
    EXPECT_EQ(line.text, "ab");
    EXPECT_TRUE(edit_line(line, pressed(UiKey::end), 119));
    EXPECT_TRUE(edit_line(line, pressed(UiKey::del), 119));  // nothing at the end
    EXPECT_EQ(line.text, "ab");
}

TEST(LineEdit, BackspaceDeletesBeforeAndDeleteAtTheCursor)
{
    LineEdit line;
    type(line, "abcd");
    edit_line(line, pressed(UiKey::left), 119);
    edit_line(line, pressed(UiKey::left), 119);  // a b | c d
    EXPECT_TRUE(edit_line(line, pressed(UiKey::backspace), 119));
    EXPECT_EQ(state(line), State("acd", 1));
    EXPECT_TRUE(edit_line(line, pressed(UiKey::del), 119));
    EXPECT_EQ(state(line), State("ad", 1));
}

TEST(LineEdit, InsertTogglesOverwrite)
{
    LineEdit line;
    type(line, "abc");
    edit_line(line, pressed(UiKey::home), 119);
    EXPECT_TRUE(edit_line(line, pressed(UiKey::insert), 119));
    EXPECT_TRUE(line.overwrite);
    type(line, "XY");
    EXPECT_EQ(state(line), State("XYc", 2));
    type(line, "Z0");  // overwrites the last one, then appends at the end
    EXPECT_EQ(line.text, "XYZ0");
    EXPECT_TRUE(edit_line(line, pressed(UiKey::insert), 119));
    EXPECT_FALSE(line.overwrite);
    edit_line(line, pressed(UiKey::home), 119);
    type(line, "-");
    EXPECT_EQ(line.text, "-XYZ0");
}

TEST(LineEdit, FullLineTakesNoMoreCharacters)
{
    LineEdit line;
    type(line, "abcdef", 4);
    EXPECT_EQ(state(line), State("abcd", 4));
    // Even overwriting waits until the line is shorter than the maximum.
    edit_line(line, pressed(UiKey::home), 4);
    edit_line(line, pressed(UiKey::insert), 4);
    type(line, "Z", 4);
    EXPECT_EQ(line.text, "abcd");
    edit_line(line, pressed(UiKey::del), 4);
    type(line, "Z", 4);
    EXPECT_EQ(state(line), State("Zcd", 1));
    // The chat line's own length.
    LineEdit chat;
    type(chat, std::string(200, 'x'));
    EXPECT_EQ(chat.text.size(), 119u);
}

TEST(LineEdit, Latin1CharactersAndControlCodes)
{
    LineEdit line;
    EXPECT_TRUE(edit_line(line, typed(0xe9), 119));  // é
    EXPECT_TRUE(edit_line(line, typed(' '), 119));
    EXPECT_EQ(line.text, "\xe9 ");
    for (int code : {8, 127, 0x85, 300})
        EXPECT_FALSE(edit_line(line, typed(code), 119)) << code;
    EXPECT_EQ(line.text, "\xe9 ");
}

TEST(LineEdit, OtherKeysAreLeftToTheCaller)
{
    LineEdit line;
    type(line, "ab");
    for (UiKey k : {UiKey::enter, UiKey::up, UiKey::down, UiKey::page_up, UiKey::page_down,
                    UiKey::tab, UiKey::esc, UiKey::space, UiKey::other, UiKey::click})
        EXPECT_FALSE(edit_line(line, pressed(k), 119));
    EXPECT_EQ(state(line), State("ab", 2));
}

TEST(LineEdit, CursorPastTheTextIsPulledBack)
{
    LineEdit line;
    line.text = "abc";
    line.cursor = 40;
    EXPECT_TRUE(edit_line(line, pressed(UiKey::backspace), 119));
    EXPECT_EQ(state(line), State("ab", 2));
    line.cursor = 99;
    type(line, "c");
    EXPECT_EQ(line.text, "abc");
}

}  // namespace
}  // namespace zv::app
