// The chat line on a real (virtual) screen: the prompt, the typed text and
// the cursor where the line says it is. Needs a display (run under
// xvfb-run); skipped otherwise. Drawn with the built-in bitmap font.
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <cstdlib>
#include <vector>

#include "app/chat_line.h"
#include "app/console.h"
#include "app/main_loop.h"
#include "app/view.h"
#include "app/view_font.h"
#include "support/screen_window.h"

// The GL driver's exit leaks have no module left to name.
extern "C" const char* __lsan_default_options() { return "detect_leaks=0"; }

namespace zv::app {
namespace {

constexpr int k_w = 640, k_h = 360;
// Where the line sits at this size (scale 1): the text's top row and the
// left edge of the text after the prompt.
constexpr int k_top = k_h - (k_glyph_height + 4) - 4;

int lit_pixels(int x, int y, int w, int h) { return test::lit_pixels(x, y, w, h, k_h); }

class ChatScreen : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        ready_ = test::open_screen_window(k_w, k_h);
    }
    static void TearDownTestSuite()
    {
        test::close_screen_window();
    }
    void SetUp() override
    {
        if (!ready_)
            GTEST_SKIP() << "needs a display";
        reset_chat();
    }
    void TearDown() override { reset_chat(); }

    void draw()
    {
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        set_pixel_projection(k_w, k_h);
        draw_chat_line(k_w, k_h);
        glFinish();
    }
    void type(const std::string& text)
    {
        for (char c : text)
            chat_key(g_, typed(static_cast<unsigned char>(c)));
    }
    // The lit pixels of one column over the text's rows.
    int column(int x) { return lit_pixels(x, k_top, 1, k_glyph_height); }

    static inline bool ready_ = false;
    Game g_;
};

TEST_F(ChatScreen, PromptTextAndCursor)
{
    const int text_x = 8 + text_width("> ", 1);
    draw();
    EXPECT_GT(lit_pixels(8, k_top, text_width(">", 1), k_glyph_height), 0);  // the prompt
    EXPECT_EQ(column(text_x - 1), k_glyph_height);                            // the bar at the start
    EXPECT_EQ(lit_pixels(text_x, k_top, 200, k_glyph_height), 0);

    type("HELLO");
    draw();
    const int end_x = text_x + text_width("HELLO", 1);
    EXPECT_GT(lit_pixels(text_x, k_top, end_x - text_x, k_glyph_height), 20);
    EXPECT_EQ(column(end_x - 1), k_glyph_height);  // the bar after the last letter
    EXPECT_EQ(column(text_x - 1), 0);

    chat_key(g_, pressed(UiKey::home));
    draw();
    EXPECT_EQ(column(text_x - 1), k_glyph_height);
    EXPECT_EQ(column(end_x - 1), 0);

    // Overwriting shows a block over the character under the cursor, dimmer
    // than the text but lit.
    chat_key(g_, pressed(UiKey::insert));
    draw();
    EXPECT_EQ(column(text_x - 1), 0);
    EXPECT_EQ(lit_pixels(text_x, k_top, k_glyph_width, k_glyph_height), k_glyph_width * k_glyph_height);
}

TEST_F(ChatScreen, ALongLineScrollsToKeepTheCursorOnScreen)
{
    type(std::string(119, 'W'));
    draw();
    // The line is wider than the window: its end, with the cursor, is in view.
    const int text_x = 8 + text_width("> ", 1);
    EXPECT_EQ(lit_pixels(k_w - 4, k_top, 4, k_glyph_height), 0);  // the right margin stays clear
    // 616 pixels of room hold 101 letters of 6 and the cursor's cell.
    const int bar = text_x + 101 * 6 - 1;
    EXPECT_EQ(column(bar), k_glyph_height);
    EXPECT_EQ(column(bar + 1), 0);
    EXPECT_GT(lit_pixels(text_x, k_top, 6, k_glyph_height), 0);  // a letter at the start
    chat_key(g_, pressed(UiKey::home));
    draw();
    EXPECT_EQ(column(text_x - 1), k_glyph_height);
}

}  // namespace
}  // namespace zv::app
