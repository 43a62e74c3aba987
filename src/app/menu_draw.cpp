// Drawing the open menu page: a dark veil over the scene, the title, the
// items with the highlighted one on a band, notes and tables below.
#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "app/chat_line.h"
#include "app/main_loop.h"
#include "app/menu.h"
#include "app/menu_capture.h"
#include "app/menu_model.h"
#include "app/view.h"
#include "app/view_font.h"

namespace zv::app {

namespace {

constexpr double k_disclaimer_seconds = 10.0;
constexpr const char* k_disclaimer[2] = {
    "Although this software depicts real objects and places, it is not",
    "endorsed by or affiliated with any of the subjects depicted.",
};

void fill(float x0, float y0, float x1, float y1)
{
    glBegin(GL_QUADS);
    glVertex2f(x0, y0);
    glVertex2f(x1, y0);
    glVertex2f(x1, y1);
    glVertex2f(x0, y1);
    glEnd();
}

std::string number_text(const core::NumberSetting& n)
{
    char buf[48];
    if (n.step == std::floor(n.step) && n.value == std::floor(n.value))
        std::snprintf(buf, sizeof buf, "%.0f", n.value);
    else
        std::snprintf(buf, sizeof buf, "%g", n.value);
    return buf;
}

std::string value_text(const Widget& w, bool current)
{
    switch (w.kind) {
    case WidgetKind::button: return {};
    case WidgetKind::choice: return w.choice ? w.choice->current() : "";
    case WidgetKind::number: return w.number ? number_text(*w.number) : "";
    case WidgetKind::text: {
        if (!w.text)
            return {};
        std::string t = w.text->text;
        const MenuState& st = menu_state();
        if (current) {
            // The cursor of the field being edited, else at the end.
            std::size_t at = st.edit_owner == w.text && st.edit.text == t ? std::min(st.edit.cursor, t.size()) : t.size();
            t.insert(at, 1, '_');
        }
        return t;
    }
    case WidgetKind::binding:
        if (w.binding && w.binding == captured_binding())
            return "Press a key or move an axis (Esc cancels)";
        return w.binding ? binding_text(*w.binding) : "";
    }
    return {};
}

void draw_slider(const Widget& w, const PageLayout& l)
{
    const core::NumberSetting& n = *w.number;
    const float mid = w.rect.top + l.line_height * 0.5f;
    glColor4f(0.55f, 0.55f, 0.6f, 1.0f);
    fill(static_cast<float>(w.bar_left), mid - 1.0f, static_cast<float>(w.bar_right), mid + 1.0f);
    const double span = n.maximum - n.minimum;
    const float f = span > 0 ? static_cast<float>((n.value - n.minimum) / span) : 0.0f;
    const float x = w.bar_left + std::clamp(f, 0.0f, 1.0f) * (w.bar_right - w.bar_left);
    const float half = std::max(2.0f, l.line_height * 0.2f);
    glColor4f(1.0f, 0.8f, 0.2f, 1.0f);
    fill(x - half * 0.5f, mid - half, x + half * 0.5f, mid + half);
}

void draw_item(const Widget& w, bool current, const PageLayout& l, bool centred)
{
    const int s = l.scale;
    const float ty = w.rect.top + (l.line_height - k_glyph_height * s) * 0.5f;
    if (current) {
        glColor4f(0.9f, 0.6f, 0.1f, 0.35f);
        fill(static_cast<float>(w.rect.left - 4), static_cast<float>(w.rect.top), static_cast<float>(w.rect.right),
             static_cast<float>(w.rect.bottom));
    }
    if (current)
        glColor4f(1.0f, 0.95f, 0.4f, 1.0f);
    else
        glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    const std::string label = w.shown_label();
    const float lx = centred ? (w.rect.left + w.rect.right - text_width(label, s)) * 0.5f : static_cast<float>(w.rect.left);
    draw_text(lx, ty, s, label);
    std::string value = value_text(w, current);
    float x = static_cast<float>(w.bar_left);
    if (w.kind == WidgetKind::number) {
        draw_slider(w, l);
        x = w.bar_right + 2.0f * k_glyph_advance * s;
    }
    if (current)
        glColor4f(1.0f, 0.95f, 0.4f, 1.0f);
    else
        glColor4f(0.75f, 0.85f, 1.0f, 1.0f);
    if (!value.empty()) {
        draw_text(x, ty, s, value);
        x += text_width(value, s) + 2.0f * k_glyph_advance * s;
    }
    if (w.detail) {
        glColor4f(0.7f, 0.9f, 0.7f, 1.0f);
        draw_text(x, ty, s, w.detail());
    }
}

void draw_table(const MenuTable& t, float x, float y, int line_height, int width, int height)
{
    if (t.header.empty())
        return;
    // The rows share what is left of the window; those that do not fit are
    // left out.
    const float room = height - y - 4.0f;
    line_height = std::min(line_height, std::max(9, static_cast<int>(room / static_cast<float>(t.rows.size() + 1))));
    const int scale = line_height >= 18 ? 2 : 1;
    const std::size_t fit = room > line_height ? static_cast<std::size_t>(room / line_height) - 1 : 0;
    // Column widths from the widest cell.
    std::vector<int> widths(t.header.size(), 0);
    auto widen = [&](const std::vector<std::string>& row) {
        for (std::size_t c = 0; c < row.size() && c < widths.size(); ++c)
            widths[c] = std::max(widths[c], text_width(row[c], scale));
    };
    widen(t.header);
    for (const auto& row : t.rows)
        widen(row);
    const int gap = 2 * k_glyph_advance * scale;
    auto draw_row = [&](const std::vector<std::string>& row, float ry) {
        float cx = x;
        for (std::size_t c = 0; c < row.size() && c < widths.size(); ++c) {
            if (cx < width)
                draw_text(cx, ry, scale, row[c]);
            cx += static_cast<float>(widths[c] + gap);
        }
    };
    glColor4f(1.0f, 0.85f, 0.3f, 1.0f);
    draw_row(t.header, y);
    for (std::size_t r = 0; r < t.rows.size() && r < fit; ++r) {
        float ry = y + static_cast<float>((r + 1) * line_height);
        if (r % 2 == 0) {
            glColor4f(0.0f, 0.0f, 0.0f, 0.3f);
            fill(x - 4, ry - 2, static_cast<float>(width - 8), ry + line_height - 2);
        }
        glColor4f(0.9f, 0.9f, 0.9f, 1.0f);
        draw_row(t.rows[r], ry);
    }
}

void draw_disclaimer(const Game& g, int width, int height, int scale)
{
    const double opacity = std::clamp(k_disclaimer_seconds - g.game_clock, 0.0, 1.0);
    if (opacity <= 0)
        return;
    // The longer line must fit the window.
    while (scale > 1 && text_width(k_disclaimer[0], scale) > width - 16)
        --scale;
    const int line = (k_glyph_height + 3) * scale;
    for (int i = 0; i < 2; ++i) {
        const float y = static_cast<float>(height - (3 - i) * line);
        glColor4f(1.0f, 1.0f, 1.0f, static_cast<float>(opacity));
        draw_text((width - text_width(k_disclaimer[i], scale)) * 0.5f, y, scale, k_disclaimer[i]);
    }
}

}  // namespace

void draw_menu(Game& g, int width, int height)
{
    if (g.menu_page == k_menu_closed)
        return;
    ensure_page(g);
    set_pixel_projection(width, height);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_LIGHTING);
    glDisable(GL_FOG);
    if (g.menu_page == k_menu_chat) {
        draw_chat_line(width, height);
        return;
    }
    MenuState& st = menu_state();
    st.width = width;
    st.height = height;
    Page& p = st.page;
    const std::vector<std::string> notes = p.notes ? p.notes(g) : std::vector<std::string>{};
    const MenuTable table = p.table ? p.table(g) : MenuTable{};
    // A long table gets its own smaller rows below the notes.
    const int table_lines = table.header.empty() ? 0 : 2 + std::min<int>(static_cast<int>(table.rows.size()), 4);
    const PageLayout l = layout_page(p, width, height, static_cast<int>(notes.size()) + table_lines);

    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glColor4f(0.02f, 0.04f, 0.08f, 0.72f);
    fill(0, 0, static_cast<float>(width), static_cast<float>(height));

    // The title, one size up.
    const int title_scale = l.scale + 1;
    glColor4f(1.0f, 0.85f, 0.2f, 1.0f);
    draw_text((width - text_width(p.title, title_scale)) * 0.5f, static_cast<float>(l.top - 2 * l.line_height + 4),
              title_scale, p.title);

    // A page of buttons alone (the main page) stands in the middle.
    bool centred = p.columns == 1 && !p.items.empty();
    for (const Widget& w : p.items)
        centred = centred && w.kind == WidgetKind::button && !w.detail;
    for (std::size_t i = 0; i < p.items.size(); ++i)
        draw_item(p.items[i], static_cast<int>(i) == st.current, l, centred);

    float y = static_cast<float>(l.notes_top);
    glColor4f(0.9f, 0.9f, 0.9f, 1.0f);
    for (const std::string& line : notes) {
        draw_text(static_cast<float>(l.left), y, l.scale, line);
        y += static_cast<float>(l.line_height);
    }
    if (!table.header.empty()) {
        y += static_cast<float>(l.line_height) * 0.5f;
        draw_table(table, static_cast<float>(l.left), y, l.line_height, width, height);
    }
    if (g.menu_page == k_menu_main)
        draw_disclaimer(g, width, height, l.scale);
    glDisable(GL_BLEND);
    glColor4f(1, 1, 1, 1);
}

}  // namespace zv::app
