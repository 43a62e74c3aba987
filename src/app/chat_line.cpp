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

ChatSpan chat_line_shown(const std::string& text, std::size_t cursor, int room, int cursor_room,
                         const std::function<int(std::string_view)>& width)
{
    const std::string_view t = text;
    cursor = std::min(cursor, t.size());
    // Drop characters from the front until the text up to the cursor, and
    // the cursor itself, fit.
    std::size_t first = 0;
    while (first < cursor && width(t.substr(first, cursor - first)) + cursor_room > room)
        ++first;
    std::size_t count = cursor - first;
    while (first + count < t.size() && width(t.substr(first, count + 1)) <= room)
        ++count;
    return {first, count};
}

void draw_chat_line(int width, int height)
{
    const ChatState& c = g_chat;
    const int scale = std::max(1, height / 360);
    const int row = (k_glyph_height + 4) * scale;
    const float top = static_cast<float>(height - row - 4 * scale);
    const float x0 = 8.0f * static_cast<float>(scale);
    const float bottom = top + static_cast<float>((k_glyph_height + 1) * scale);

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

    auto measure = [scale](std::string_view t) { return text_width(t, scale); };
    const std::size_t cursor = std::min(c.line.cursor, c.line.text.size());
    // The block of the overwrite cursor covers the character under it.
    const char under = cursor < c.line.text.size() ? c.line.text[cursor] : ' ';
    const int block = std::max(measure(std::string_view(&under, 1)), measure("n"));
    const float text_x = x0 + static_cast<float>(measure(k_prompt));
    const int room = width - static_cast<int>(text_x) - 4 * scale;
    const ChatSpan span = chat_line_shown(c.line.text, cursor, room, block, measure);
    const std::string_view line = c.line.text;

    glColor4f(1, 1, 1, 1);
    draw_text(x0, top, scale, k_prompt);
    draw_text(text_x, top, scale, line.substr(span.first, span.count));

    // The cursor: a bar before the character when inserting, a block over
    // it when overwriting.
    const float cx = text_x + static_cast<float>(measure(line.substr(span.first, cursor - span.first)));
    const float s = static_cast<float>(scale);
    glDisable(GL_TEXTURE_2D);
    glColor4f(1, 1, 1, c.line.overwrite ? 0.5f : 1.0f);
    glBegin(GL_QUADS);
    if (c.line.overwrite) {
        glVertex2f(cx, top - s);
        glVertex2f(cx + static_cast<float>(block), top - s);
        glVertex2f(cx + static_cast<float>(block), bottom);
        glVertex2f(cx, bottom);
    } else {
        glVertex2f(cx - s, top - s);
        glVertex2f(cx, top - s);
        glVertex2f(cx, bottom);
        glVertex2f(cx - s, bottom);
    }
    glEnd();
    glColor4f(1, 1, 1, 1);
    glDisable(GL_BLEND);
}

}  // namespace zv::app
