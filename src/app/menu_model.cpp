#include "app/menu_model.h"

#include <algorithm>
#include <cctype>
#include <cmath>

#include "app/chat_line.h"
#include "app/main_loop.h"
#include "app/view_font.h"

namespace zv::app {

namespace {

int lower(int c)
{
    c &= 0xff;
    // ASCII letters and the Latin-1 capitals (but not the multiplication sign).
    if (c >= 'A' && c <= 'Z')
        return c + 32;
    if (c >= 0xc0 && c <= 0xde && c != 0xd7)
        return c + 32;
    return c;
}

bool contains_folded(std::string_view text, std::string_view part)
{
    if (part.empty())
        return true;
    if (part.size() > text.size())
        return false;
    for (std::size_t i = 0; i + part.size() <= text.size(); ++i) {
        std::size_t k = 0;
        while (k < part.size() && lower(static_cast<unsigned char>(text[i + k])) ==
                                      lower(static_cast<unsigned char>(part[k])))
            ++k;
        if (k == part.size())
            return true;
    }
    return false;
}

// The first choice from `from` on (wrapping) whose text holds the type-ahead.
int find_match(const core::ChoiceSetting& c, std::string_view text, int from)
{
    const int n = c.count();
    for (int k = 0; k < n; ++k) {
        int i = ((from + k) % n + n) % n;
        if (contains_folded(c.choices[static_cast<std::size_t>(i)], text))
            return i;
    }
    return -1;
}

void edit_text_field(MenuState& st, Game& g, Widget& w, const UiInput& in)
{
    core::TextSetting& t = *w.text;
    if (st.edit_owner != &t || st.edit.text != t.text) {
        st.edit = LineEdit{t.text, t.text.size(), false};
        st.edit_owner = &t;
    }
    st.edit.cursor = std::min(st.edit.cursor, st.edit.text.size());
    if (edit_line(st.edit, in, t.max_length)) {
        if (st.edit.text != t.text) {
            t.set(st.edit.text);
            if (w.changed)
                w.changed(g);
        }
    }
}

void choice_key(MenuState& st, Game& g, Widget& w, const UiInput& in)
{
    core::ChoiceSetting& c = *w.choice;
    const int before = c.index;
    if (st.type_ahead_owner != &c) {
        st.type_ahead.clear();
        st.type_ahead_owner = &c;
    }
    switch (in.key) {
    case UiKey::enter:
        if (w.action) {
            w.action(g);
            return;
        }
        next_choice(c);
        break;
    case UiKey::space:
    case UiKey::right:
        next_choice(c);
        break;
    case UiKey::left:
        previous_choice(c);
        break;
    case UiKey::click:
        if (w.action) {
            w.action(g);
            return;
        }
        next_choice(c);
        break;
    default:
        choice_type_ahead(st, c, in);
        break;
    }
    if (c.index != before && w.changed)
        w.changed(g);
}

void number_key(Game& g, Widget& w, const UiInput& in)
{
    core::NumberSetting& n = *w.number;
    const double before = n.value;
    if (in.key == UiKey::left)
        step_number(n, -1);
    else if (in.key == UiKey::right)
        step_number(n, +1);
    if (n.value != before && w.changed)
        w.changed(g);
}

void widget_key(MenuState& st, Game& g, Widget& w, const UiInput& in)
{
    // Using another setting starts the type-ahead afresh.
    if (st.type_ahead_owner != w.choice) {
        st.type_ahead.clear();
        st.type_ahead_owner = w.choice;
    }
    if (w.key_hook && w.key_hook(g, in))
        return;
    switch (w.kind) {
    case WidgetKind::button:
        if ((in.key == UiKey::enter || in.key == UiKey::click) && w.action)
            w.action(g);
        break;
    case WidgetKind::choice:
        if (w.choice)
            choice_key(st, g, w, in);
        break;
    case WidgetKind::number:
        if (w.number)
            number_key(g, w, in);
        break;
    case WidgetKind::text:
        if (w.text)
            edit_text_field(st, g, w, in);
        break;
    case WidgetKind::binding:
        if ((in.key == UiKey::enter || in.key == UiKey::click) && w.binding)
            start_capture(g, *w.binding);
        break;
    }
}

// A click: the item under the pointer becomes current and takes it.
void click(MenuState& st, Game& g, const UiInput& in)
{
    if (!st.pointer_known)
        return;
    int i = item_at(st.page, st.pointer_x, st.pointer_y);
    if (i < 0)
        return;
    st.current = i;
    Widget& w = st.page.items[static_cast<std::size_t>(i)];
    if (w.kind == WidgetKind::number) {
        if (w.key_hook && w.key_hook(g, in))
            return;
        const double before = w.number->value;
        slider_click(*w.number, w, st.pointer_x, st.pointer_y);
        if (w.number->value != before && w.changed)
            w.changed(g);
        return;
    }
    widget_key(st, g, w, in);
}

void drag(MenuState& st, Game& g)
{
    if (!st.pointer_known)
        return;
    int i = item_at(st.page, st.pointer_x, st.pointer_y);
    if (i < 0)
        return;
    Widget& w = st.page.items[static_cast<std::size_t>(i)];
    if (w.kind != WidgetKind::number || !w.number)
        return;
    st.current = i;
    const double before = w.number->value;
    slider_click(*w.number, w, st.pointer_x, st.pointer_y);
    if (w.number->value != before && w.changed)
        w.changed(g);
}

void page_key(MenuState& st, Game& g, const UiInput& in)
{
    Page& p = st.page;
    const int n = static_cast<int>(p.items.size());
    if (n == 0)
        return;
    st.current = std::clamp(st.current, 0, n - 1);
    switch (in.key) {
    case UiKey::up:
        st.current = std::max(0, st.current - 1);
        return;
    case UiKey::down:
        st.current = std::min(n - 1, st.current + 1);
        return;
    case UiKey::click:
        click(st, g, in);
        return;
    case UiKey::drag:
        drag(st, g);
        return;
    default:
        widget_key(st, g, p.items[static_cast<std::size_t>(st.current)], in);
        return;
    }
}

}  // namespace

std::string Widget::shown_label() const
{
    if (label_fn)
        return label_fn();
    if (choice)
        return choice->label;
    if (number)
        return number->label;
    if (text)
        return text->label;
    if (binding)
        return binding->label;
    return label;
}

MenuState& menu_state()
{
    static MenuState st;
    return st;
}

void reset_menu_state()
{
    cancel_capture();
    menu_state() = MenuState{};
}

void ensure_page(Game& g)
{
    MenuState& st = menu_state();
    if (st.built_page == g.menu_page)
        return;
    st.built_page = g.menu_page;
    st.current = 0;
    st.list_offset = 0;  // the demo and series lists open on their first page
    st.page = g.menu_page == k_menu_closed ? Page{} : build_page(g, g.menu_page);
}

void rebuild_page(Game& g)
{
    MenuState& st = menu_state();
    st.built_page = g.menu_page;
    st.page = build_page(g, g.menu_page);
    st.current = std::clamp(st.current, 0, std::max(0, static_cast<int>(st.page.items.size()) - 1));
}

void request_rebuild(Game&, int current)
{
    MenuState& st = menu_state();
    st.rebuild_pending = true;
    st.rebuild_current = current;
}

void menu_begin_tick(const Game& g) { menu_state().tick_start_page = g.menu_page; }

void menu_key(Game& g, const UiInput& in)
{
    MenuState& st = menu_state();
    if (g.menu_page == k_menu_closed)
        return;
    // Once a key changed the page, the rest of the tick's keys are dropped.
    if (g.menu_page != st.tick_start_page)
        return;
    ensure_page(g);
    const int before = g.menu_page;
    if (g.menu_page == k_menu_chat) {
        chat_key(g, in);
    } else if (g.menu_page == k_menu_quit) {
        // Any key but "esc" (which the loop takes) ends the game; pointer
        // movement is no key.
        if (in.key != UiKey::drag && in.key != UiKey::esc)
            g.quit = true;
    } else {
        page_key(st, g, in);
        if (st.rebuild_pending && g.menu_page == before) {
            rebuild_page(g);
            const int last = static_cast<int>(st.page.items.size()) - 1;
            st.current = std::clamp(st.rebuild_current < 0 ? last : st.rebuild_current, 0, std::max(0, last));
        }
        st.rebuild_pending = false;
    }
    if (g.menu_page != before)
        st.tick_start_page = k_menu_closed - 1;  // no page equals this: the tick is over for keys
}

void menu_pointer(Game& g, float x, float y, bool button_held)
{
    MenuState& st = menu_state();
    // The first reading only tells where the pointer rests: a pointer that
    // happens to sit over a page does not take the highlight from the keys.
    const bool moved = st.pointer_known && (x != st.pointer_x || y != st.pointer_y);
    st.pointer_x = x;
    st.pointer_y = y;
    st.pointer_known = true;
    if (g.menu_page == k_menu_closed || g.menu_page == k_menu_chat || g.menu_page == k_menu_quit ||
        capturing_binding())
        return;
    ensure_page(g);
    if (!moved)
        return;
    if (button_held) {
        drag(st, g);
        return;
    }
    int i = item_at(st.page, x, y);
    if (i >= 0)
        st.current = i;
}

// ---- common behaviour ----

void next_choice(core::ChoiceSetting& c)
{
    const int n = c.count();
    if (n > 0)
        c.index = (c.index + 1 >= n || c.index < 0) ? 0 : c.index + 1;
}

void previous_choice(core::ChoiceSetting& c)
{
    const int n = c.count();
    if (n > 0)
        c.index = (c.index <= 0 || c.index >= n) ? n - 1 : c.index - 1;
}

bool choice_type_ahead(MenuState& st, core::ChoiceSetting& c, const UiInput& in)
{
    if (st.type_ahead_owner != &c) {
        st.type_ahead.clear();
        st.type_ahead_owner = &c;
    }
    const int before = c.index;
    if (in.key == UiKey::backspace) {
        st.type_ahead.clear();
        return false;
    }
    if (in.key == UiKey::tab) {
        if (!st.type_ahead.empty()) {
            int i = find_match(c, st.type_ahead, c.index + 1);
            if (i >= 0)
                c.index = i;
        }
        return c.index != before;
    }
    // The space key already selects the next choice; its typed character
    // would only search for a blank.
    if (in.key != UiKey::character || in.character <= 32 || in.character == 127 || in.character > 255)
        return false;
    if (st.type_ahead.size() < k_type_ahead_length)
        st.type_ahead += static_cast<char>(in.character);
    int i = find_match(c, st.type_ahead, c.index);
    if (i >= 0)
        c.index = i;
    return c.index != before;
}

double slider_value(const core::NumberSetting& n, int bar_left, int bar_right, float x)
{
    if (bar_right <= bar_left || !(n.step > 0))
        return n.minimum;
    double f = (x - bar_left) / static_cast<double>(bar_right - bar_left);
    double v = n.minimum + std::round(f * (n.maximum - n.minimum) / n.step) * n.step;
    return std::clamp(v, n.minimum, n.maximum);
}

bool slider_click(core::NumberSetting& n, const Widget& w, float x, float y)
{
    if (!w.rect.contains(x, y))
        return false;
    if (x < w.bar_left - k_slider_reach || x > w.bar_right + k_slider_reach)
        return false;
    n.value = slider_value(n, w.bar_left, w.bar_right, x);
    return true;
}

void step_number(core::NumberSetting& n, int direction)
{
    n.value = std::clamp(n.value + direction * n.step, n.minimum, n.maximum);
}

int item_at(const Page& p, float x, float y)
{
    for (std::size_t i = 0; i < p.items.size(); ++i)
        if (p.items[i].rect.contains(x, y))
            return static_cast<int>(i);
    return -1;
}

std::string binding_text(const core::Binding& b)
{
    if (b.key_name)
        return b.key_name;
    if (b.axis_name)
        return b.axis_name;
    return "-";
}

// ---- layout ----

namespace {

constexpr int k_margin = 16;
constexpr int k_bar_chars = 16;     // slider bar length in characters
constexpr int k_value_chars = 22;   // room kept for the value text

int rows_of(const Page& p)
{
    int rows = 0;
    for (const Widget& w : p.items)
        rows = std::max(rows, w.row + 1);
    return rows + p.first_row;
}

int label_chars(const Page& p, int column)
{
    int n = 0;
    for (const Widget& w : p.items)
        if (w.column == column && w.kind != WidgetKind::button)
            n = std::max(n, static_cast<int>(w.shown_label().size()));
    return n;
}

}  // namespace

PageLayout layout_page(Page& p, int width, int height, int note_lines)
{
    PageLayout l;
    const int columns = std::max(1, p.columns);
    // Title, a gap, the rows and the note lines share the height.
    const int rows = rows_of(p) + 3 + std::max(0, note_lines);
    l.line_height = std::clamp((height - 2 * k_margin) / std::max(1, rows), 9, 24);
    l.scale = l.line_height >= 18 ? 2 : 1;
    l.column_width = (width - 2 * k_margin) / columns;
    // Fall back to the small font when a column cannot hold its longest row.
    int widest = 0;
    for (int c = 0; c < columns; ++c)
        widest = std::max(widest, label_chars(p, c) + 2 + k_bar_chars + k_value_chars);
    if (l.scale == 2 && widest * k_glyph_advance * 2 > l.column_width)
        l.scale = 1;
    l.left = k_margin;
    l.top = k_margin + 2 * l.line_height;
    const int glyph = k_glyph_advance * l.scale;
    for (Widget& w : p.items) {
        const int x0 = l.left + w.column * l.column_width;
        const int y0 = l.top + (w.row + p.first_row) * l.line_height;
        w.rect = Rect{x0, y0, x0 + l.column_width - glyph, y0 + l.line_height};
        // Values (and sliders) line up after the column's longest label.
        if (w.kind != WidgetKind::button) {
            w.bar_left = x0 + (label_chars(p, w.column) + 2) * glyph;
            w.bar_right = w.bar_left + k_bar_chars * glyph;
        }
    }
    l.notes_top = l.top + (rows_of(p) + 1) * l.line_height;
    return l;
}

}  // namespace zv::app
