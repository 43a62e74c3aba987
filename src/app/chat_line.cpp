#include "app/chat_line.h"

#include <GL/gl.h>

#include <algorithm>

#include "app/console.h"
#include "app/view_font.h"

namespace zv::app {

namespace {

ChatState g_chat;

constexpr const char* k_prompt = "> ";

// Moves to an older (+1) or newer (-1) history line, keeping what was typed
// in the line being left.
void browse(int step)
{
    ChatState& c = g_chat;
    if (c.browsed < 0)
        c.draft = c.line.text;
    else if (c.browsed < static_cast<int>(c.history.size()))
        c.history[static_cast<std::size_t>(c.browsed)] = c.line.text;
    const int newest_kept = static_cast<int>(c.history.size()) - 1;
    c.browsed = std::clamp(c.browsed + step, -1, newest_kept);
    c.line.text = c.browsed < 0 ? c.draft : c.history[static_cast<std::size_t>(c.browsed)];
    c.line.cursor = c.line.text.size();
}

void submit(Game& g)
{
    ChatState& c = g_chat;
    if (c.line.text.empty())
        return;
    // The command may reset the chat state (it never does today), so the
    // line is copied first.
    const std::string line = c.line.text;
    if (run_console_line(g, line) != 1)
        return;
    push_chat_history(line);
    c.line.text.clear();
    c.line.cursor = 0;
    c.draft.clear();
    c.browsed = -1;
}

}  // namespace

ChatState& chat_state() { return g_chat; }

void reset_chat() { g_chat = ChatState{}; }

void push_chat_history(const std::string& line)
{
    std::vector<std::string>& h = g_chat.history;
    h.insert(h.begin(), line.substr(0, k_chat_line_length));
    if (h.size() > static_cast<std::size_t>(k_chat_history_size))
        h.resize(static_cast<std::size_t>(k_chat_history_size));
}

void chat_key(Game& g, const UiInput& in)
{
    ChatState& c = g_chat;
    switch (in.key) {
    case UiKey::enter:
        submit(g);
        return;
    case UiKey::up:
        browse(+1);
        return;
    case UiKey::down:
        browse(-1);
        return;
    case UiKey::page_up:
        c.scroll = std::min(c.scroll + 1, k_max_message_scroll);
        return;
    case UiKey::page_down:
        c.scroll = std::max(c.scroll - 1, 0);
        return;
    default:
        edit_line(c.line, in, k_chat_line_length);
        return;
    }
}

int message_scroll() { return g_chat.scroll; }

std::size_t chat_line_first_shown(std::size_t cursor, std::size_t length, std::size_t visible)
{
    cursor = std::min(cursor, length);
    if (visible == 0)
        return cursor;
    // The cursor needs a cell of its own at the end of the line.
    if (cursor < visible)
        return 0;
    return cursor - visible + 1;
}

void draw_chat_line(int width, int height)
{
    const ChatState& c = g_chat;
    const int scale = std::max(1, height / 360);
    const int row = (k_glyph_height + 4) * scale;
    const float top = static_cast<float>(height - row - 4 * scale);
    const float x0 = 8.0f * static_cast<float>(scale);

    // A dark band keeps the line readable over any scene.
    glDisable(GL_TEXTURE_2D);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glColor4f(0, 0, 0, 0.6f);
    glBegin(GL_QUADS);
    glVertex2f(0, top - 2.0f * scale);
    glVertex2f(static_cast<float>(width), top - 2.0f * scale);
    glVertex2f(static_cast<float>(width), top + static_cast<float>(row));
    glVertex2f(0, top + static_cast<float>(row));
    glEnd();

    const int advance = k_glyph_advance * scale;
    const float text_x = x0 + static_cast<float>(text_width(k_prompt, scale));
    const int room = std::max(1, (width - static_cast<int>(text_x) - advance) / std::max(1, advance));
    const std::size_t first = chat_line_first_shown(c.line.cursor, c.line.text.size(),
                                                    static_cast<std::size_t>(room));
    const std::string shown = c.line.text.substr(std::min(first, c.line.text.size()),
                                                  static_cast<std::size_t>(room));

    glColor4f(1, 1, 1, 1);
    draw_text(x0, top, scale, k_prompt);
    draw_text(text_x, top, scale, shown);

    // The cursor: a bar before the character when inserting, a block under
    // it when overwriting.
    const std::size_t at = std::min(c.line.cursor, c.line.text.size()) - first;
    const float cx = text_x + static_cast<float>(at * static_cast<std::size_t>(advance));
    const float bottom = top + static_cast<float>(k_glyph_height * scale);
    glColor4f(1, 1, 1, c.line.overwrite ? 0.5f : 1.0f);
    glBegin(GL_QUADS);
    if (c.line.overwrite) {
        glVertex2f(cx, top);
        glVertex2f(cx + static_cast<float>(k_glyph_width * scale), top);
        glVertex2f(cx + static_cast<float>(k_glyph_width * scale), bottom + scale);
        glVertex2f(cx, bottom + scale);
    } else {
        glVertex2f(cx - static_cast<float>(scale), top - scale);
        glVertex2f(cx, top - scale);
        glVertex2f(cx, bottom + scale);
        glVertex2f(cx - static_cast<float>(scale), bottom + scale);
    }
    glEnd();
    glColor4f(1, 1, 1, 1);
    glDisable(GL_BLEND);
}

}  // namespace zv::app
